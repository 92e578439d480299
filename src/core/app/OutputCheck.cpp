#include "core/app/OutputCheck.h"

#include "core/Exceptions.h"
#include "core/app/AtomicFile.h"
#include "core/app/DataFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace OutputCheck {

namespace {

const char* const kCompanions[] = {"-wal", "-shm", "-journal"};

bool SameFile(const QString& a, const QString& b)
{
    struct stat sa = {}, sb = {};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// The same folder, whatever name or link leads there.
bool SameFolder(const QString& a, const QString& b)
{
    return SameFile(QFileInfo(a).absolutePath(), QFileInfo(b).absolutePath());
}

bool IsSqlite(const QString& path)
{
    QFile f(path);
    return QFileInfo(path).isFile() && f.open(QIODevice::ReadOnly) &&
           f.read(16) == QByteArray("SQLite format 3\0", 16);
}

// The tables of a database file, read without changing it; empty when it cannot be read.
QStringList Tables(const QString& path)
{
    QStringList tables;
    sqlite3* db = nullptr;
    const QByteArray uri =
        "file:" + QUrl::toPercentEncoding(QFileInfo(path).absoluteFilePath(), "/") + "?mode=ro";
    if (sqlite3_open_v2(uri.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type='table'", -1, &stmt, nullptr) ==
            SQLITE_OK) {
            while (sqlite3_step(stmt) == SQLITE_ROW)
                tables << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return tables;
}

// The name without a database engine's companion suffix, and the suffix; an empty suffix when there is
// none.
QPair<QString, QString> SplitCompanion(const QString& name)
{
    for (const char* suffix : kCompanions)
        if (name.endsWith(QLatin1String(suffix)) && name.size() > qsizetype(std::strlen(suffix)))
            return {name.left(name.size() - qsizetype(std::strlen(suffix))), QLatin1String(suffix)};
    return {name, {}};
}

// The descriptor that /dev/stdout, /dev/stderr, /dev/fd/N or /proc/self/fd/N stands for; -1 for any
// other name.
int StandsForDescriptor(const QString& path)
{
    if (path == QLatin1String("/dev/stdout"))
        return STDOUT_FILENO;
    if (path == QLatin1String("/dev/stderr"))
        return STDERR_FILENO;
    static const QRegularExpression kPattern(QStringLiteral("^/(?:dev|proc/self)/fd/([0-9]{1,6})$"));
    const QRegularExpressionMatch m = kPattern.match(path);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

[[noreturn]] void Reject(const QString& path, const QString& why)
{
    throw CFileException(
        QStringLiteral("\"%1\" %2: nothing was written. Choose another file.").arg(path, why), path);
}

} // namespace

QStringList GuardedFiles(const QString& dataFolder)
{
    return {QDir(dataFolder).filePath(QStringLiteral("Logwarden-97.db"))};
}

Way Refuse(const QString& path, Builds builds, const QStringList& guarded)
{
    const bool text = builds == Builds::Text;
    if (StandsForDescriptor(path) >= 0) {
        if (!text)
            Reject(path, QStringLiteral("is a process's open file, not a file a database can be built in"));
        return Way::Stream;
    }
    const QFileInfo info(path);
    const QString name = info.fileName();
    const auto [base, companion] = SplitCompanion(name);
    for (const QString& g : guarded) {
        if (SameFile(path, g))
            Reject(path, QStringLiteral("is the log %1").arg(QFileInfo(g).fileName()));
        // The engine plays a journal or a write-ahead log into the database it lies beside.
        if (!companion.isEmpty() && base == QFileInfo(g).fileName() && SameFolder(path, g))
            Reject(path, QStringLiteral("is the %1 file of the log %2").arg(companion.mid(1), base));
    }
    if (!companion.isEmpty() && IsSqlite(QDir(info.absolutePath()).filePath(base)))
        Reject(path, QStringLiteral("is the %1 file of the database %2").arg(companion.mid(1), base));
    // The data folder holds the program's own files; an earlier export or a new name is fine.
    for (const QString& g : guarded) {
        if (SameFolder(path, g) &&
            (name.startsWith(QLatin1Char('.')) ||
             DataFolder::ProgramFileNames().contains(companion.isEmpty() ? name : base)))
            Reject(path, QStringLiteral("is a file of the program in its data folder"));
    }

    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        // A link leading nowhere is replaced like a missing file; the atomic replace judges the rest.
        return Way::Replace;
    }
    if (S_ISFIFO(st.st_mode)) {
        if (!text)
            Reject(path, QStringLiteral("is a named pipe, not a file a database can be built in"));
        return Way::Stream;
    }
    if (S_ISDIR(st.st_mode))
        Reject(path, QStringLiteral("is a folder"));
    if (!S_ISREG(st.st_mode))
        Reject(path, S_ISCHR(st.st_mode)    ? QStringLiteral("is a character device, not a file")
                     : S_ISBLK(st.st_mode)  ? QStringLiteral("is a block device, not a file")
                     : S_ISSOCK(st.st_mode) ? QStringLiteral("is a socket, not a file")
                                            : QStringLiteral("is not a regular file"));
    if (!IsSqlite(path))
        return Way::Replace;
    const QStringList tables = Tables(path);
    const bool fcc = tables.contains(QStringLiteral("AM")) && tables.contains(QStringLiteral("EN")) &&
                     tables.contains(QStringLiteral("HD"));
    const bool qrz = tables.contains(QStringLiteral("QRZ"));
    if ((builds == Builds::FccDatabase && fcc) || (builds == Builds::QrzDatabase && qrz))
        return Way::Replace;
    const QString what = tables.contains(QStringLiteral("LogwardenTab")) ? QStringLiteral("a check-in log")
                         : fcc ? QStringLiteral("an FCC licence database")
                         : qrz ? QStringLiteral("a QRZ database")
                               : QStringLiteral("a database");
    Reject(path, QStringLiteral("is %1").arg(what));
}

int OpenStream(const QString& path)
{
    if (const int fd = StandsForDescriptor(path); fd >= 0) {
        const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
        if (copy < 0)
            throw CFileException(QStringLiteral("Cannot write \"%1\": %2.")
                                     .arg(path, QString::fromLocal8Bit(std::strerror(errno))),
                                 path);
        return copy;
    }
    // Without a reader the open would wait for ever: say so instead.
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        throw CFileException(QStringLiteral("Cannot write \"%1\": %2.")
                                 .arg(path, error == ENXIO ? QStringLiteral("nothing reads from the pipe")
                                                           : QString::fromLocal8Bit(std::strerror(error))),
                             path);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

void WriteText(const QString& path, const QByteArray& bytes, const QStringList& guarded)
{
    if (Refuse(path, Builds::Text, guarded) == Way::Replace) {
        CAtomicFile::WriteFile(path, bytes);
        return;
    }
    const int fd = OpenStream(path);
    const char* data = bytes.constData();
    qint64 left = bytes.size();
    int error = 0;
    while (left > 0 && error == 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            error = n < 0 ? errno : ENOSPC;
        else {
            data += n;
            left -= n;
        }
    }
    ::close(fd);
    if (error != 0)
        throw CFileException(QStringLiteral("Cannot write \"%1\": %2.")
                                 .arg(path, QString::fromLocal8Bit(std::strerror(error))),
                             path);
}

} // namespace OutputCheck
