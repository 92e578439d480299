#include "core/app/FdDevice.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

CFdDevice::CFdDevice(int fd) : m_fd(fd)
{
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

CFdDevice::~CFdDevice() = default;

qint64 CFdDevice::readData(char*, qint64)
{
    return -1;
}

qint64 CFdDevice::writeData(const char* data, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::write(m_fd, data + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // A write that takes nothing on a regular file means the disk is full.
            const int error = n < 0 ? errno : ENOSPC;
            if (m_error == 0)
                m_error = error;
            setErrorString(QString::fromLocal8Bit(std::strerror(error)));
            return -1;
        }
        done += n;
    }
    return done;
}
