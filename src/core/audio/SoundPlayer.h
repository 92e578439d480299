#pragma once

#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// Plays WAV files and built-in sounds (Qt resource names, ":/sounds/A.wav") on a playback device from a
// thread of its own, so that the caller never waits. A new request cuts off whatever is still playing.
// Failures (a missing or unreadable file, a busy device) yield silence; GetLastError() tells why.
class CSoundPlayer
{
public:
    explicit CSoundPlayer(QString device = QStringLiteral("default"));
    // Cuts off what is playing.
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
    struct CRequest
    {
        QStringList paths;
        int intervalMs = 0;
    };
    using Clock = std::chrono::steady_clock;

    void Submit(CRequest request);
    void Run();
    void RunRequest(const CRequest& request, quint64 generation);
    void PlayOne(const QString& path, quint64 generation, Clock::time_point deadline);
    bool Superseded(quint64 generation) const;
    // Waits until when, or less when a newer request comes; false then.
    bool WaitUntil(Clock::time_point when, quint64 generation);
    void SetError(const QString& error);

    mutable std::mutex m_mutex; // guards what follows
    std::condition_variable m_changed;
    QString m_device;
    CRequest m_pending;
    bool m_hasPending = false;
    bool m_busy = false;
    bool m_quit = false;
    QString m_lastError;
    std::atomic<quint64> m_generation{0};
    std::thread m_thread;
};
