#pragma once

#include <QString>
#include <functional>

// The one writer of an FCC licence database at a time: a daily update applying a day, or a build putting
// a new file in place. Replacing the file under an update that is writing it would lose the update's
// day and mix the two files' journals. The lock is the kernel's (an flock on "<database>.lock"), so a
// writer that was killed holds nothing.
class CFccWriteLock
{
public:
    CFccWriteLock() = default;
    ~CFccWriteLock();
    CFccWriteLock(const CFccWriteLock&) = delete;
    CFccWriteLock& operator=(const CFccWriteLock&) = delete;

    // Waits until the lock of the database at dbPath is held. keepWaiting (when set) is asked a few
    // times a second while another writer holds it; false gives up. Raises CFileException when the lock
    // file cannot be made; false when given up.
    bool Acquire(const QString& dbPath, const std::function<bool()>& keepWaiting = {});
    void Release();
    bool IsHeld() const { return m_fd >= 0; }

    static QString LockPath(const QString& dbPath);

private:
    int m_fd = -1;
};
