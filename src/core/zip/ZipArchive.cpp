#include "core/zip/ZipArchive.h"

#include "core/Exceptions.h"
#include "core/app/AtomicFile.h"
#include "core/app/FileModes.h"
#include "core/zip/ZipBytes.h"
#include "core/zip/ZipEntryReader.h"
#include "core/zip/ZipException.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using namespace ZipBytes;

namespace {

QString ErrnoText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

// A file descriptor closed on scope exit.
struct CFd
{
    int fd = -1;
    ~CFd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    int Release()
    {
        const int f = fd;
        fd = -1;
        return f;
    }
};

} // namespace

CZipArchive::CZipArchive() = default;

CZipArchive::~CZipArchive()
{
    Close();
}

void CZipArchive::Close()
{
    m_openEntry.reset();
    m_headers.clear();
    m_spanEnd.clear();
    m_comment.clear();
    m_bytesBefore = 0;
    m_centralDirOffset = 0;
    m_fileSize = 0;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void CZipArchive::Damaged(const QString& detail) const
{
    throw CZipException(CZipException::badZipFile, m_path, detail);
}

void CZipArchive::ReadAt(qint64 offset, void* buffer, qint64 size) const
{
    auto* p = static_cast<char*>(buffer);
    if (offset < 0 || size < 0 || offset > m_fileSize || size > m_fileSize - offset)
        Damaged(QStringLiteral("the file ends unexpectedly (it may be truncated)"));
    while (size > 0) {
        const ssize_t n = ::pread(m_fd, p, static_cast<size_t>(size), offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw CFileException(QStringLiteral("Cannot read \"%1\": %2.").arg(m_path, ErrnoText(errno)),
                                 m_path);
        }
        if (n == 0)
            Damaged(QStringLiteral("the file ends unexpectedly (it may be truncated)"));
        p += n;
        offset += n;
        size -= n;
    }
}

void CZipArchive::OpenArchive(const QString& path)
{
    Close();
    m_path = path;
    // Read-only: extracting must work on an archive we may not write, and never changes it.
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        throw CFileException(
            QStringLiteral("Cannot open the archive \"%1\": %2.").arg(path, ErrnoText(errno)), path);
    struct stat st
    {
    };
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
        Close();
        throw CFileException(QStringLiteral("Cannot open the archive \"%1\": %2.").arg(path, ErrnoText(err)),
                             path);
    }
    m_fileSize = st.st_size;
    try {
        ReadCentralDirectory();
    } catch (...) {
        Close();
        throw;
    }
}

void CZipArchive::ReadCentralDirectory()
{
    // The end record is within the last 22 + 65535 bytes (its comment is at most 65535 bytes long).
    const qint64 tailSize = std::min<qint64>(m_fileSize, kEndRecordSize + kMaxCommentSize);
    if (tailSize < kEndRecordSize)
        Damaged(QStringLiteral("no end of central directory record"));
    QByteArray tail(tailSize, Qt::Uninitialized);
    const qint64 tailStart = m_fileSize - tailSize;
    ReadAt(tailStart, tail.data(), tailSize);
    const auto* t = reinterpret_cast<const unsigned char*>(tail.constData());

    // Nearest hit to the end whose comment fits in the file.
    qint64 rec = -1;
    for (qint64 p = tailSize - kEndRecordSize; p >= 0; --p) {
        if (U32(t + p) == kEndSignature && p + kEndRecordSize + U16(t + p + 20) <= tailSize) {
            rec = p;
            break;
        }
    }
    if (rec < 0)
        Damaged(QStringLiteral("no end of central directory record"));
    const unsigned char* r = t + rec;
    const uint16_t thisDisk = U16(r + 4);
    const uint16_t dirDisk = U16(r + 6);
    const uint16_t entriesHere = U16(r + 8);
    const uint16_t entries = U16(r + 10);
    const uint32_t dirSize = U32(r + 12);
    const uint32_t dirOffset = U32(r + 16);
    const uint16_t commentLength = U16(r + 20);
    const qint64 recordPos = tailStart + rec;

    if (entries == 0xffff || dirSize == 0xffffffffu || dirOffset == 0xffffffffu ||
        (rec >= 20 && U32(r - 20) == kZip64LocatorSignature))
        Damaged(QStringLiteral("ZIP64 archives are not supported"));
    if (thisDisk != 0 || dirDisk != 0 || entriesHere != entries)
        throw CZipException(CZipException::noCallback, m_path);
    if (recordPos < static_cast<qint64>(dirOffset) + dirSize)
        Damaged(QStringLiteral("the central directory does not fit before its end record"));
    m_comment =
        CFileHeader::DecodeName(QByteArray(reinterpret_cast<const char*>(r + 22), commentLength), false);
    m_bytesBefore = recordPos - dirSize - dirOffset;
    if ((dirSize == 0) != (entries == 0))
        Damaged(QStringLiteral("the central directory size and entry count disagree"));
    if (static_cast<qint64>(entries) * CFileHeader::kFixedSize > dirSize)
        Damaged(QStringLiteral("the central directory is too small for its entries"));
    m_centralDirOffset = m_bytesBefore + dirOffset;
    if (dirSize == 0)
        return;

    QByteArray dir(static_cast<qsizetype>(dirSize), Qt::Uninitialized);
    ReadAt(m_centralDirOffset, dir.data(), dirSize);
    const auto* d = reinterpret_cast<const unsigned char*>(dir.constData());
    qint64 pos = 0;
    m_headers.reserve(entries);
    for (int i = 0; i < entries; ++i) {
        if (pos + CFileHeader::kFixedSize > dirSize || U32(d + pos) != kCentralSignature)
            Damaged(QStringLiteral("central directory entry %1 is damaged").arg(i + 1));
        const unsigned char* h = d + pos;
        auto header = std::make_unique<CFileHeader>();
        header->m_signature = U32(h);
        header->m_versionMadeBy = U16(h + 4);
        header->m_versionNeeded = U16(h + 6);
        header->m_flags = U16(h + 8);
        header->m_method = U16(h + 10);
        header->m_modTime = U16(h + 12);
        header->m_modDate = U16(h + 14);
        header->m_crc32 = U32(h + 16);
        header->m_compressedSize = U32(h + 20);
        header->m_uncompressedSize = U32(h + 24);
        header->m_fileNameLength = U16(h + 28);
        header->m_extraFieldLength = U16(h + 30);
        header->m_commentLength = U16(h + 32);
        header->m_diskStart = U16(h + 34);
        header->m_internalAttributes = U16(h + 36);
        header->m_externalAttributes = U32(h + 38);
        header->m_localHeaderOffset = U32(h + 42);
        const qint64 variable =
            qint64(header->m_fileNameLength) + header->m_extraFieldLength + header->m_commentLength;
        if (pos + CFileHeader::kFixedSize + variable > dirSize)
            Damaged(QStringLiteral("central directory entry %1 is damaged").arg(i + 1));
        if (header->m_diskStart != 0)
            Damaged(QStringLiteral("central directory entry %1 lies on another volume").arg(i + 1));
        const char* v = reinterpret_cast<const char*>(h + CFileHeader::kFixedSize);
        header->m_rawFileName = QByteArray(v, header->m_fileNameLength);
        header->m_fileName = CFileHeader::DecodeName(header->m_rawFileName, header->IsUtf8());
        header->m_extraField = QByteArray(v + header->m_fileNameLength, header->m_extraFieldLength);
        header->m_comment = CFileHeader::DecodeName(
            QByteArray(v + header->m_fileNameLength + header->m_extraFieldLength, header->m_commentLength),
            header->IsUtf8());
        pos += CFileHeader::kFixedSize + variable;
        m_headers.push_back(std::move(header));
    }

    // Each entry owns the bytes from its local header to the next one (or to the central directory).
    // Entries sharing data are how "overlapping" ZIP bombs multiply their output: reject them.
    std::vector<int> order(m_headers.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<int>(i);
    std::sort(order.begin(), order.end(), [this](int a, int b) {
        return m_headers[size_t(a)]->m_localHeaderOffset < m_headers[size_t(b)]->m_localHeaderOffset;
    });
    m_spanEnd.assign(m_headers.size(), 0);
    for (size_t k = 0; k < order.size(); ++k) {
        const CFileHeader& h = *m_headers[size_t(order[k])];
        const qint64 end = k + 1 < order.size()
                               ? m_bytesBefore + m_headers[size_t(order[k + 1])]->m_localHeaderOffset
                               : m_centralDirOffset;
        const qint64 minimal = m_bytesBefore + h.m_localHeaderOffset + kLocalHeaderSize + h.m_fileNameLength +
                               h.m_compressedSize + (h.HasDataDescriptor() ? 12 : 0);
        if (minimal > end)
            Damaged(QStringLiteral("the data of \"%1\" overlaps another entry or the central directory")
                        .arg(h.m_fileName));
        m_spanEnd[size_t(order[k])] = end;
    }
}

bool CZipArchive::GetEntryInfo(CFileHeader& header, int index) const
{
    if (!IsOpen() || index < 0 || index >= GetEntryCount())
        return false;
    header = Header(index);
    return true;
}

bool CZipArchive::IsEntryDirectory(int index) const
{
    if (!IsOpen() || index < 0 || index >= GetEntryCount())
        return false;
    return Header(index).IsDirectory();
}

QString CZipArchive::SafeBaseName(const QString& entryName)
{
    // Archives made on Windows may use "\" as their separator.
    const qsizetype slash =
        std::max(entryName.lastIndexOf(QLatin1Char('/')), entryName.lastIndexOf(QLatin1Char('\\')));
    const QString base = entryName.mid(slash + 1);
    if (base.isEmpty() || base == QLatin1String(".") || base == QLatin1String("..") ||
        base.contains(QChar(0)))
        return {};
    return base;
}

bool CZipArchive::ExtractEntry(int index, const QString& folder, int bufferSize, CProgress* progress) const
{
    if (bufferSize <= 0 || !IsOpen() || index < 0 || index >= GetEntryCount())
        return false;
    const CFileHeader& header = Header(index);
    QString target = folder;
    while (target.size() > 1 && target.endsWith(QLatin1Char('/')))
        target.chop(1);
    if (header.IsDirectory()) {
        // Entries land under their base names, so a directory entry has nothing of its own to create.
        if (!QDir().mkpath(target))
            throw CFileException(QStringLiteral("Cannot create the folder \"%1\".").arg(target), target);
        return true;
    }
    const QString base = SafeBaseName(header.m_fileName);
    if (base.isEmpty())
        Damaged(QStringLiteral("the entry name \"%1\" is not a usable file name").arg(header.m_fileName));
    const QString targetPath = (target == QLatin1String("/") ? target : target + QLatin1Char('/')) + base;

    // Check the local header before anything is created.
    CZipEntryReader reader(*this, index);
    if (!QDir().mkpath(target))
        throw CFileException(QStringLiteral("Cannot create the folder \"%1\".").arg(target), target);
    CAtomicFile file(targetPath);
    const EntryWrite result = WriteEntry(reader, index, file, bufferSize, progress);
    if (result == EntryWrite::Stopped)
        return false; // the temporary file goes with the object
    file.Commit();
    return result == EntryWrite::Written;
}

CZipArchive::EntryWrite CZipArchive::WriteEntry(int index, CAtomicFile& file, int bufferSize,
                                                CProgress* progress) const
{
    if (bufferSize <= 0 || !IsOpen() || index < 0 || index >= GetEntryCount() || Header(index).IsDirectory())
        throw CZipException(CZipException::generic, m_path,
                            QStringLiteral("entry %1 is not a file").arg(index));
    CZipEntryReader reader(*this, index);
    return WriteEntry(reader, index, file, bufferSize, progress);
}

CZipArchive::EntryWrite CZipArchive::WriteEntry(CZipEntryReader& reader, int index, CAtomicFile& file,
                                                int bufferSize, CProgress* progress) const
{
    const CFileHeader& header = Header(index);
    std::unique_ptr<char[]> buffer(new char[size_t(bufferSize)]);
    while (reader.Left() > 0) {
        const qint64 n = reader.Read(buffer.get(), bufferSize);
        file.Write(buffer.get(), n);
        if (progress && !progress->Advance(n))
            return EntryWrite::Stopped;
    }
    reader.Finish();

    bool ok = ::fchmod(file.Fd(), header.Permissions() & ~FileModes::ProcessUmask()) == 0;
    const time_t mtime = header.ModificationTime();
    if (mtime != -1) {
        struct timespec times[2] = {{0, UTIME_NOW}, {mtime, 0}};
        ok = ::futimens(file.Fd(), times) == 0 && ok;
    }
    return ok ? EntryWrite::Written : EntryWrite::AttributesNotSet;
}

bool CZipArchive::OpenEntry(int index)
{
    if (!IsOpen() || index < 0 || index >= GetEntryCount() || m_openEntry)
        return false;
    m_openEntry = std::make_unique<CZipEntryReader>(*this, index);
    m_openIndex = index;
    return true;
}

qint64 CZipArchive::ReadEntry(char* buffer, qint64 size)
{
    if (!m_openEntry || size <= 0)
        return 0;
    return m_openEntry->Read(buffer, size);
}

bool CZipArchive::CloseEntry(const QString& writtenPath)
{
    if (!m_openEntry)
        return false;
    // The entry is closed whatever happens below, so that the next one can be opened.
    std::unique_ptr<CZipEntryReader> reader = std::move(m_openEntry);
    const CFileHeader& header = Header(m_openIndex);
    // A partly read entry is not checked.
    if (reader->Left() == 0)
        reader->Finish();
    bool ok = true;
    if (!writtenPath.isEmpty()) {
        const QByteArray path = QFile::encodeName(writtenPath);
        const time_t mtime = header.ModificationTime();
        if (mtime != -1) {
            struct timespec times[2] = {{0, UTIME_NOW}, {mtime, 0}};
            ok = ::utimensat(AT_FDCWD, path.constData(), times, AT_SYMLINK_NOFOLLOW) == 0;
        }
        ok = ::fchmodat(AT_FDCWD, path.constData(), header.Permissions() & ~FileModes::ProcessUmask(), 0) ==
                 0 &&
             ok;
    }
    return ok;
}
