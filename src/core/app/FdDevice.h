#pragma once

#include <QIODevice>

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
