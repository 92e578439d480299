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
    if (const int error = PWriteAll(m_fd, data, size, kAtPosition)) {
        if (m_error == 0)
            m_error = error;
        setErrorString(QString::fromLocal8Bit(std::strerror(error)));
        return -1;
    }
    return size;
}

int PWriteAll(int fd, const char* data, qint64 size, qint64 offset, qint64* written)
{
    qint64 done = 0;
    int error = 0;
    while (done < size) {
        const size_t count = size_t(size - done);
        const ssize_t n = offset == kAtPosition ? ::write(fd, data + done, count)
                                                : ::pwrite(fd, data + done, count, offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // A write that takes nothing on a regular file means the disk is full.
            error = n < 0 ? errno : ENOSPC;
            break;
        }
        done += n;
    }
    if (written)
        *written = done;
    return error;
}
