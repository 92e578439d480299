#include "core/app/AtomicFile.h"

#include "core/Exceptions.h"
#include "core/app/DataFolder.h"
#include "core/app/FdDevice.h"
#include "core/app/FileModes.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
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
    // Qt's generator, seeded by the system: the names need not be secret, only unlikely to meet.
    QRandomGenerator& random = *QRandomGenerator::global();
    QByteArray s(6, '0');
    for (char& c : s)
        c = kChars[random.bounded(int(sizeof(kChars) - 1))];
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

// The mark that makes a temporary file provably ours.
constexpr char kMark[] = ".lw-";

// What stands at name in the folder when it is not a plain file (following links); empty for a regular
// file or nothing at all.
QString NotAFile(int dirFd, const QByteArray& name)
{
    struct stat st = {};
    if (::fstatat(dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return {};
    if (S_ISLNK(st.st_mode)) {
        // /dev/stdout and the like lead to another process's open file: a rename would put a plain
        // file in the place of the system's link.
        char link[64] = {};
        const ssize_t n = ::readlinkat(dirFd, name.constData(), link, sizeof link - 1);
        if (n > 0 && std::strncmp(link, "/proc/", 6) == 0)
            return QStringLiteral("it stands for an open file of a process");
        if (::fstatat(dirFd, name.constData(), &st, 0) != 0)
            return {}; // a dangling link is replaced like a file
    }
    if (S_ISREG(st.st_mode))
        return {};
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("it is a folder");
    if (S_ISCHR(st.st_mode))
        return QStringLiteral("it is a character device, not a file");
    if (S_ISBLK(st.st_mode))
        return QStringLiteral("it is a block device, not a file");
    if (S_ISFIFO(st.st_mode))
        return QStringLiteral("it is a named pipe, not a file");
    if (S_ISSOCK(st.st_mode))
        return QStringLiteral("it is a socket, not a file");
    return QStringLiteral("it is not a regular file");
}

// A random part as earlier versions made them: 4 to 13 letters and digits of at least two of the three
// kinds (a word such as "backup" or "draft" is somebody's name, not ours).
bool LooksRandom(const QString& part)
{
    if (part.size() < 4 || part.size() > 13)
        return false;
    bool upper = false, lower = false, digit = false;
    for (const QChar c : part) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            upper = true;
        else if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            lower = true;
        else if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digit = true;
        else
            return false;
    }
    return int(upper) + int(lower) + int(digit) >= 2;
}

// Removes the files of folder whose names `match` that are stale: older than a minute, not a link, and
// not locked by a live writer (nor the companion of a locked one).
int Sweep(int dirFd, const std::function<bool(const QString&)>& match)
{
    QList<QByteArray> names;
    if (DIR* dir = ::fdopendir(::dup(dirFd))) {
        while (const dirent* e = ::readdir(dir)) {
            const QByteArray name(e->d_name);
            if (match(QFile::decodeName(name)))
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
    return removed;
}

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

    if (const QString why = NotAFile(m_dirFd, m_name); !why.isEmpty()) {
        ::close(m_dirFd);
        m_dirFd = -1;
        throw CFileException(
            QStringLiteral("Cannot replace \"%1\": %2. Nothing was written.").arg(targetPath, why),
            targetPath);
    }
    // What killed runs left beside this very target goes first.
    Sweep(m_dirFd, [this](const QString& name) { return IsTemporaryName(name, QFile::decodeName(m_name)); });

    mode_t mode = 0666 & ~FileModes::ProcessUmask();
    struct stat st = {};
    if (::fstatat(m_dirFd, m_name.constData(), &st, 0) == 0 && S_ISREG(st.st_mode))
        mode = st.st_mode & 07777 & ~mode_t(S_ISUID | S_ISGID);
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        m_tempName = "." + m_name.left(200) + kMark + RandomSuffix() + ".part";
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

QIODevice& CAtomicFile::Device()
{
    if (!m_device) {
        if (m_fd < 0)
            Fail(QStringLiteral("Cannot write \"%1\""), EBADF);
        m_device = std::make_unique<CFdDevice>(m_fd);
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
        const int error = static_cast<CFdDevice*>(m_device.get())->Error();
        if (error != 0)
            Fail(QStringLiteral("Cannot write \"%1\""), error);
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

bool CAtomicFile::IsTemporaryName(const QString& fileName, const QString& targetName)
{
    // ".<target>.lw-XXXXXX.part", perhaps with a database engine's companion suffix.
    static const QRegularExpression kPattern(
        QStringLiteral("^\\.(.+)\\.lw-[A-Za-z0-9]{6}\\.part(-journal|-wal|-shm)?$"));
    const QRegularExpressionMatch m = kPattern.match(fileName);
    return m.hasMatch() && (targetName.isEmpty() ||
                            QFile::encodeName(m.captured(1)) == QFile::encodeName(targetName).left(200));
}

bool CAtomicFile::IsEarlierTemporaryName(const QString& fileName)
{
    static const QRegularExpression kPattern(
        QStringLiteral("^(?:\\.(.+)\\.([A-Za-z0-9]+)\\.part|([^.].*)\\.([A-Za-z0-9]+)\\.part|\\.(.+\\.db)\\.("
                       "[A-Za-z0-9]+))(?:-"
                       "journal|-wal|-shm)?$"));
    const QRegularExpressionMatch m = kPattern.match(fileName);
    if (!m.hasMatch())
        return false;
    for (int group = 1; group <= 5; group += 2) {
        const QString target = m.captured(group);
        if (!target.isEmpty())
            return DataFolder::ProgramFileNames().contains(target) && LooksRandom(m.captured(group + 1));
    }
    return false;
}

int CAtomicFile::RemoveStale(const QString& dataFolder)
{
    const int dirFd = ::open(QFile::encodeName(dataFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return 0;
    const int removed = Sweep(
        dirFd, [](const QString& name) { return IsTemporaryName(name) || IsEarlierTemporaryName(name); });
    ::close(dirFd);
    return removed;
}

int CAtomicFile::RemoveStaleBeside(const QString& targetPath)
{
    const QFileInfo info(targetPath);
    const int dirFd =
        ::open(QFile::encodeName(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return 0;
    const QString target = info.fileName();
    const int removed = Sweep(dirFd, [&](const QString& name) { return IsTemporaryName(name, target); });
    ::close(dirFd);
    return removed;
}
