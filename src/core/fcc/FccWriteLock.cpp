#include "core/fcc/FccWriteLock.h"

#include "core/Exceptions.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

CFccWriteLock::~CFccWriteLock()
{
    Release();
}

QString CFccWriteLock::LockPath(const QString& dbPath)
{
    return dbPath + QStringLiteral(".lock");
}

bool CFccWriteLock::Acquire(const QString& dbPath, const std::function<bool()>& keepWaiting)
{
    Release();
    const QString path = LockPath(dbPath);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        throw CFileException(QStringLiteral("Cannot lock the FCC licence database: cannot open \"%1\": %2.")
                                 .arg(path, QString::fromLocal8Bit(std::strerror(errno))),
                             path);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            m_fd = fd;
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            const int error = errno;
            ::close(fd);
            throw CFileException(QStringLiteral("Cannot lock the FCC licence database \"%1\": %2.")
                                     .arg(dbPath, QString::fromLocal8Bit(std::strerror(error))),
                                 path);
        }
        if (keepWaiting && !keepWaiting()) {
            ::close(fd);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void CFccWriteLock::Release()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}
