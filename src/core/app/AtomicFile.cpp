#include "core/app/AtomicFile.h"

#include "core/Exceptions.h"
#include "core/app/FileModes.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

QString ErrnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray RandomSuffix()
{
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static thread_local std::mt19937_64 random{std::random_device{}()};
    QByteArray s(6, '0');
    for (char& c : s)
        c = kChars[random() % (sizeof(kChars) - 1)];
    return s;
}

bool WriteAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

const char* const kCompanions[] = {"-journal", "-wal", "-shm"};

// The temporary file a name belongs to: the name without a database engine's companion suffix.
QByteArray BaseOf(const QByteArray& name)
{
    for (const char* suffix : kCompanions)
        if (name.endsWith(suffix))
            return name.left(name.size() - qsizetype(std::strlen(suffix)));
    return name;
}

constexpr time_t kStaleAfterSeconds = 60;

} // namespace

CAtomicFile::CAtomicFile(const QString& targetPath) : m_target(targetPath)
{
    const QFileInfo info(targetPath);
    m_folder = QFile::encodeName(info.absolutePath());
    m_name = QFile::encodeName(info.fileName());
    if (m_name.isEmpty())
        throw CFileException(QStringLiteral("\"%1\" is not a file name.").arg(targetPath), targetPath);
    m_dirFd = ::open(m_folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_dirFd < 0)
        Fail(QStringLiteral("Cannot open the folder of \"%1\""), errno);

    mode_t mode = 0666 & ~FileModes::ProcessUmask();
    struct stat st = {};
    if (::fstatat(m_dirFd, m_name.constData(), &st, 0) == 0 && S_ISREG(st.st_mode))
        mode = st.st_mode & 07777 & ~mode_t(S_ISUID | S_ISGID);
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        m_tempName = "." + m_name.left(200) + "." + RandomSuffix() + ".part";
        m_fd = ::openat(m_dirFd, m_tempName.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        0600);
        if (m_fd < 0 && errno != EEXIST)
            break;
    }
    if (m_fd < 0) {
        const int error = errno;
        ::close(m_dirFd);
        m_dirFd = -1;
        Fail(QStringLiteral("Cannot create a file beside \"%1\""), error);
    }
    // Held while this object lives: RemoveStale leaves a locked file alone.
    ::flock(m_fd, LOCK_EX | LOCK_NB);
    ::fchmod(m_fd, mode);
}

CAtomicFile::~CAtomicFile()
{
    m_device.reset();
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_committed && m_dirFd >= 0) {
        ::unlinkat(m_dirFd, m_tempName.constData(), 0);
        for (const char* suffix : kCompanions)
            ::unlinkat(m_dirFd, (m_tempName + suffix).constData(), 0);
    }
    if (m_dirFd >= 0)
        ::close(m_dirFd);
}

void CAtomicFile::Fail(const QString& what, int error) const
{
    throw CFileException(what.arg(m_target) + QStringLiteral(": ") + ErrnoText(error) + QLatin1Char('.'),
                         m_target);
}

QString CAtomicFile::TempPath() const
{
    return QFile::decodeName(m_folder + "/" + m_tempName);
}

QFile& CAtomicFile::Device()
{
    if (!m_device) {
        m_device = std::make_unique<QFile>();
        if (m_fd < 0 || !m_device->open(m_fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
            Fail(QStringLiteral("Cannot write \"%1\""), m_fd < 0 ? EBADF : EIO);
    }
    return *m_device;
}

void CAtomicFile::Write(const char* data, qint64 size)
{
    if (m_fd < 0 || !WriteAll(m_fd, data, size))
        Fail(QStringLiteral("Cannot write \"%1\""), m_fd < 0 ? EBADF : errno);
}

void CAtomicFile::Commit()
{
    if (m_committed)
        return;
    if (m_fd < 0)
        Fail(QStringLiteral("Cannot write \"%1\""), EBADF);
    if (m_device) {
        if (!m_device->flush())
            Fail(QStringLiteral("Cannot write \"%1\""), EIO);
        m_device.reset();
    }
    // The data must be on disk before the name points at it.
    if (::fsync(m_fd) != 0)
        Fail(QStringLiteral("Cannot write \"%1\""), errno);
    // rename() replaces a link at the target rather than following it.
    if (::renameat(m_dirFd, m_tempName.constData(), m_dirFd, m_name.constData()) != 0)
        Fail(QStringLiteral("Cannot replace \"%1\""), errno);
    m_committed = true;
    ::fsync(m_dirFd); // the rename itself
    ::close(m_fd);
    m_fd = -1;
}

void CAtomicFile::WriteFile(const QString& path, const QByteArray& bytes)
{
    CAtomicFile file(path);
    file.Write(bytes);
    file.Commit();
}

void CAtomicFile::RequireFreeSpace(const QString& folder, qint64 bytes)
{
    struct statvfs fs = {};
    if (::statvfs(QFile::encodeName(folder).constData(), &fs) != 0)
        return; // the writing itself will say what is wrong
    const qint64 available = qint64(fs.f_bavail) * qint64(fs.f_frsize);
    if (available >= bytes)
        return;
    auto megabytes = [](qint64 n) { return QString::number(double(n) / (1024.0 * 1024.0), 'f', 1); };
    throw CFileException(QStringLiteral("Not enough room in \"%1\": %2 MB are needed, %3 MB are free.")
                             .arg(folder, megabytes(bytes), megabytes(available)),
                         folder);
}

bool CAtomicFile::IsTemporaryName(const QString& fileName)
{
    // Also the names of earlier versions: a random part of 4 to 13 characters, the download's visible
    // "<name>.XXXXXX.part", and the licence database build's ".<name>.db.XXXXXX".
    static const QRegularExpression kPattern(QStringLiteral(
        "^(\\..+\\.[A-Za-z0-9]{4,13}\\.part|[^.].*\\.[A-Za-z0-9]{6}\\.part|\\..+\\.db\\.[A-Za-z0-9]{6})"
        "(-journal|-wal|-shm)?$"));
    return kPattern.match(fileName).hasMatch();
}

int CAtomicFile::RemoveStale(const QString& folder)
{
    const int dirFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return 0;
    QList<QByteArray> names;
    if (DIR* dir = ::fdopendir(::dup(dirFd))) {
        while (const dirent* e = ::readdir(dir)) {
            const QByteArray name(e->d_name);
            if (IsTemporaryName(QFile::decodeName(name)))
                names << name;
        }
        ::closedir(dir);
    }
    const time_t now = std::time(nullptr);
    int removed = 0;
    for (const QByteArray& name : names) {
        struct stat st = {};
        if (::fstatat(dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_mtime > now - kStaleAfterSeconds)
            continue;
        const QByteArray base = BaseOf(name);
        // A temporary file its writer still holds is not stale, nor are the companions of one.
        const int fd = ::openat(dirFd, base.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        bool held = false;
        if (fd >= 0) {
            held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
            ::close(fd);
        }
        if (!held && ::unlinkat(dirFd, name.constData(), 0) == 0)
            ++removed;
    }
    ::close(dirFd);
    return removed;
}
