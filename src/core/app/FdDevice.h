#pragma once

#include <QIODevice>

// PWriteAll's offset that writes at the descriptor's own position, as write() does.
inline constexpr qint64 kAtPosition = -1;

// Writes all size bytes of data to fd at offset, going on after a signal or a short write. Returns 0 when
// all of it was written, else the errno of the failure (ENOSPC when the system took nothing, as a full disk
// does); *written, when given, counts the bytes that made it either way.
int PWriteAll(int fd, const char* data, qint64 size, qint64 offset, qint64* written = nullptr);

// A write-only QIODevice straight onto a file descriptor it does not own, without a buffer of its own: a
// failed write says why in the system's words ("No space left on device"), where a QFile opened on a
// descriptor may only say "Unknown error".
class CFdDevice : public QIODevice
{
public:
    explicit CFdDevice(int fd);
    ~CFdDevice() override;

    bool isSequential() const override { return true; }
    // The errno of the first failed write; 0 while none failed.
    int Error() const { return m_error; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    int m_fd;
    int m_error = 0;
};
