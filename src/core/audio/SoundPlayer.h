#pragma once

#include <QString>
#include <QStringList>
#include <memory>

// Plays WAV files and built-in sounds (Qt resource names, ":/sounds/A.wav") on a playback device from a
// thread of its own, so that the caller never waits. A new request cuts off whatever is still playing.
// Failures (a missing or unreadable file, a busy device) yield silence; GetLastError() tells why. The
// device is opened without waiting (a device another program holds is busy, not a reason to hang), and
// the destructor waits a moment at most for the thread.
class CSoundPlayer
{
public:
    explicit CSoundPlayer(QString device = QStringLiteral("default"));
    // Cuts off what is playing; returns within about a second even when the device does not answer.
    ~CSoundPlayer();
    CSoundPlayer(const CSoundPlayer&) = delete;
    CSoundPlayer& operator=(const CSoundPlayer&) = delete;

    void SetDevice(const QString& device);

    // Plays one file.
    void Play(const QString& path);
    // Plays the files one after another, each started intervalMs after the one before, which is cut off
    // then if it still plays; an empty name is a silent slot. A later request restarts from scratch.
    void PlaySequence(const QStringList& paths, int intervalMs = 600);
    // Cuts off what is playing.
    void Stop();

    bool IsPlaying() const;
    // Waits until nothing plays; false when that took longer than timeoutMs.
    bool WaitIdle(int timeoutMs);
    // Why the last request played nothing or stopped early; empty when it played.
    QString GetLastError() const;

private:
    // Everything the playing thread touches: shared with it, so that a thread still caught in a device
    // call when the player goes can be left to finish on its own.
    struct CState;
    std::shared_ptr<CState> m_state;
};
