#pragma once

#include <QString>

// One window per data folder: two windows on one log would each overwrite the other's edits and list only
// their own check-ins. The lock is the kernel's (an flock on a file in the folder), held for the window's
// life: a window that crashed or was killed holds nothing, so its leftover file is simply taken over. The
// command-line tool does not take it; its commands that only read work beside the window.
class CFolderLock
{
public:
    static constexpr char kFileName[] = ".logwarden.lock";

    CFolderLock() = default;
    ~CFolderLock();
    CFolderLock(const CFolderLock&) = delete;
    CFolderLock& operator=(const CFolderLock&) = delete;

    // True when this process now holds the folder. False when another process does: *holder then says
    // which ("process 4711 on host"), as far as it wrote that down.
    bool Acquire(const QString& folder, QString* holder = nullptr);
    void Release();
    bool IsHeld() const { return m_fd >= 0; }

    // What the second window tells the operator before it closes.
    static QString InUseText(const QString& folder, const QString& holder);

private:
    int m_fd = -1;
};
