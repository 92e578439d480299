#include "core/zip/ZipEntryReader.h"

#include "core/zip/ZipArchive.h"
#include "core/zip/ZipBytes.h"
#include "core/zip/ZipException.h"

#include <algorithm>
#include <cstring>
#include <zlib.h>

using namespace ZipBytes;

CZipEntryReader::CZipEntryReader(const CZipArchive& archive, int index)
    : m_archive(archive), m_header(archive.Header(index))
{
    const CFileHeader& h = m_header;
    if (h.IsEncrypted())
        Damaged(QStringLiteral("\"%1\" is encrypted, which is not supported").arg(h.m_fileName));
    if (h.m_method != 0 && h.m_method != 8)
        Damaged(QStringLiteral("\"%1\" uses compression method %2, which is not supported")
                    .arg(h.m_fileName)
                    .arg(h.m_method));
    const qint64 local = archive.m_bytesBefore + h.m_localHeaderOffset;
    unsigned char l[kLocalHeaderSize];
    archive.ReadAt(local, l, kLocalHeaderSize);
    const uint16_t flags = U16(l + 6);
    m_descriptor = (flags & 0x0008) != 0;
    if (U32(l) != kLocalSignature || U16(l + 8) != h.m_method || U16(l + 26) != h.m_fileNameLength)
        Damaged(QStringLiteral("the local header of \"%1\" does not match its directory entry")
                    .arg(h.m_fileName));
    if (!m_descriptor && (U32(l + 14) != h.m_crc32 || U32(l + 18) != h.m_compressedSize ||
                          U32(l + 22) != h.m_uncompressedSize))
        Damaged(QStringLiteral("the local header of \"%1\" does not match its directory entry")
                    .arg(h.m_fileName));
    if (h.m_method == 0 && h.m_compressedSize != h.m_uncompressedSize)
        Damaged(QStringLiteral("the sizes of the stored entry \"%1\" differ").arg(h.m_fileName));
    m_dataStart = local + kLocalHeaderSize + U16(l + 26) + U16(l + 28);
    const qint64 end = m_dataStart + h.m_compressedSize + (m_descriptor ? 12 : 0);
    if (end > archive.m_spanEnd[size_t(index)])
        Damaged(QStringLiteral("the data of \"%1\" overlaps another entry or the central directory")
                    .arg(h.m_fileName));
    m_readPos = m_dataStart;
    m_compressedLeft = h.m_compressedSize;
    m_uncompressedLeft = h.m_uncompressedSize;
    m_crc = crc32(0, nullptr, 0);
    m_input.reset(new unsigned char[CZipArchive::kReadBufferSize]);
    if (h.m_method == 8) {
        m_stream = std::make_unique<z_stream>();
        std::memset(m_stream.get(), 0, sizeof(z_stream));
        const int rc = inflateInit2(m_stream.get(), -MAX_WBITS);
        if (rc != Z_OK) {
            m_stream.reset();
            throw CZipException::FromZlib(rc, archive.GetArchivePath(), h.m_fileName);
        }
    }
}

CZipEntryReader::~CZipEntryReader()
{
    if (m_stream)
        inflateEnd(m_stream.get());
}

void CZipEntryReader::Damaged(const QString& detail) const
{
    throw CZipException(CZipException::badZipFile, m_archive.GetArchivePath(), detail);
}

void CZipEntryReader::Refill()
{
    const uint32_t n = std::min<uint32_t>(CZipArchive::kReadBufferSize, m_compressedLeft);
    m_archive.ReadAt(m_readPos, m_input.get(), n);
    m_readPos += n;
    m_compressedLeft -= n;
    if (m_stream) {
        m_stream->next_in = m_input.get();
        m_stream->avail_in = n;
    } else {
        m_stored = m_input.get();
        m_storedAvail = n;
    }
}

qint64 CZipEntryReader::Read(char* buffer, qint64 size)
{
    const qint64 want = std::min<qint64>(size, m_uncompressedLeft);
    qint64 produced = 0;
    auto* out = reinterpret_cast<unsigned char*>(buffer);
    while (produced < want) {
        uint32_t got = 0;
        if (!m_stream) {
            if (m_storedAvail == 0)
                Refill();
            got = static_cast<uint32_t>(std::min<qint64>(want - produced, m_storedAvail));
            std::memcpy(out + produced, m_stored, got);
            m_stored += got;
            m_storedAvail -= got;
        } else {
            if (m_stream->avail_in == 0 && m_compressedLeft > 0)
                Refill();
            const uInt space = static_cast<uInt>(std::min<qint64>(want - produced, 1 << 30));
            m_stream->next_out = out + produced;
            m_stream->avail_out = space;
            const uInt inBefore = m_stream->avail_in;
            const int rc = inflate(m_stream.get(), Z_SYNC_FLUSH);
            got = space - m_stream->avail_out;
            if (rc == Z_STREAM_END) {
                m_streamEnded = true;
                if (produced + got < want)
                    Damaged(QStringLiteral("\"%1\" holds fewer bytes than its header declares")
                                .arg(m_header.m_fileName));
            } else if (rc == Z_BUF_ERROR || (rc == Z_OK && got == 0 && inBefore == m_stream->avail_in)) {
                if (m_stream->avail_in == 0 && m_compressedLeft == 0)
                    Damaged(QStringLiteral("the compressed data of \"%1\" ends too early")
                                .arg(m_header.m_fileName));
                if (rc != Z_OK)
                    throw CZipException::FromZlib(rc, m_archive.GetArchivePath(), m_header.m_fileName);
            } else if (rc != Z_OK) {
                throw CZipException::FromZlib(rc, m_archive.GetArchivePath(), m_header.m_fileName);
            }
        }
        m_crc = crc32(m_crc, out + produced, got);
        produced += got;
        m_uncompressedLeft -= got;
    }
    if (m_uncompressedLeft == 0 && m_stream && !m_streamEnded)
        ExpectStreamEnd();
    return produced;
}

// All declared bytes are out: the deflate stream must end here, without producing anything more.
void CZipEntryReader::ExpectStreamEnd()
{
    unsigned char extra[1];
    for (;;) {
        if (m_stream->avail_in == 0 && m_compressedLeft > 0)
            Refill();
        m_stream->next_out = extra;
        m_stream->avail_out = sizeof extra;
        const uInt inBefore = m_stream->avail_in;
        const int rc = inflate(m_stream.get(), Z_SYNC_FLUSH);
        if (m_stream->avail_out == 0)
            Damaged(
                QStringLiteral("\"%1\" holds more bytes than its header declares").arg(m_header.m_fileName));
        if (rc == Z_STREAM_END) {
            m_streamEnded = true;
            return;
        }
        if (rc == Z_BUF_ERROR || (rc == Z_OK && inBefore == m_stream->avail_in)) {
            if (m_stream->avail_in == 0 && m_compressedLeft == 0)
                Damaged(
                    QStringLiteral("the compressed data of \"%1\" ends too early").arg(m_header.m_fileName));
            if (rc != Z_OK)
                throw CZipException::FromZlib(rc, m_archive.GetArchivePath(), m_header.m_fileName);
        } else if (rc != Z_OK) {
            throw CZipException::FromZlib(rc, m_archive.GetArchivePath(), m_header.m_fileName);
        }
    }
}

void CZipEntryReader::Finish()
{
    if (m_uncompressedLeft != 0)
        Damaged(QStringLiteral("\"%1\" was not read to its end").arg(m_header.m_fileName));
    // An entry declared empty is never read; its stream must still end at once.
    if (m_stream && !m_streamEnded)
        ExpectStreamEnd();
    if (m_crc != m_header.m_crc32)
        throw CZipException(CZipException::badCrc, m_archive.GetArchivePath(),
                            QStringLiteral("\"%1\"").arg(m_header.m_fileName));
    if (!m_descriptor)
        return;
    // The descriptor follows the data, with or without its signature.
    const qint64 at = m_dataStart + m_header.m_compressedSize;
    const qint64 room = std::min<qint64>(16, m_archive.m_fileSize - at);
    unsigned char d[16] = {};
    m_archive.ReadAt(at, d, std::max<qint64>(12, room));
    auto matches = [this](const unsigned char* f) {
        return U32(f) == m_header.m_crc32 && U32(f + 4) == m_header.m_compressedSize &&
               U32(f + 8) == m_header.m_uncompressedSize;
    };
    const bool signedOk = room >= 16 && U32(d) == kDescriptorSignature && matches(d + 4);
    if (!signedOk && !matches(d))
        Damaged(QStringLiteral("the data descriptor of \"%1\" does not match its directory entry")
                    .arg(m_header.m_fileName));
}
