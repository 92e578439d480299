#include "core/app/FolderLock.h"

#include "core/app/FdDevice.h"

#include <QDir>
#include <QFile>
#include <QHostInfo>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

CFolderLock::~CFolderLock()
{
    Release();
}

bool CFolderLock::Acquire(const QString& folder, QString* holder)
{
    Release();
    const QByteArray path = QFile::encodeName(QDir(folder).filePath(QString::fromLatin1(kFileName)));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        if (holder)
            *holder = QStringLiteral("unknown (the lock file cannot be opened)");
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (holder) {
            char text[256] = {};
            const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
            *holder = n > 0 ? QString::fromUtf8(text, int(n)).trimmed() : QStringLiteral("another process");
        }
        ::close(fd);
        return false;
    }
    // Who holds it, for the window that finds it taken.
    const QByteArray who =
        QStringLiteral("process %1 on %2\n").arg(::getpid()).arg(QHostInfo::localHostName()).toUtf8();
    // Only a note for the message; the lock holds whether or not it could be written.
    if (::ftruncate(fd, 0) == 0)
        (void)PWriteAll(fd, who.constData(), who.size(), 0);
    m_fd = fd;
    return true;
}

void CFolderLock::Release()
{
    if (m_fd < 0)
        return;
    ::close(m_fd); // the kernel lets go of the lock with the last descriptor
    m_fd = -1;
}

QString CFolderLock::InUseText(const QString& folder, const QString& holder)
{
    return QStringLiteral(
               "Logwarden is already running on the data folder %1 (%2).\n\nUse that window, or start "
               "Logwarden with --data-dir for another folder.")
        .arg(folder, holder);
}
