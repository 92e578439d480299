#pragma once

#include <QString>
#include <atomic>
#include <functional>
#include <mutex>

// How far one piece of long work has come, and whether it is to stop: the one thing the work, the window's
// progress pane and the command line's bar share.
//
// The work reports on its own thread (Report, Advance, SetStage) and looks at IsCancelled(); anyone may
// read the figures and call Cancel() from any thread. A listener, when given, is told on the reporting
// thread each time figures are reported (the command line draws its bar from it); the window polls
// instead. Reports from several threads at once are fine; the listener is then called under a lock, one
// call at a time.
class CProgress
{
public:
    // done of total (-1 while unknown), and the stage text.
    using Listener = std::function<void(qint64 done, qint64 total, const QString& stage)>;

    CProgress() = default;
    explicit CProgress(Listener listener) : m_listener(std::move(listener)) {}
    CProgress(const CProgress&) = delete;
    CProgress& operator=(const CProgress&) = delete;

    // The work's side. Sets the figures; false once the work is to stop.
    bool Report(qint64 done, qint64 total);
    // Adds bytes to what is done (several threads may add at once); false once the work is to stop.
    bool Advance(qint64 bytes);
    void SetTotal(qint64 total) { m_total = total; }
    // What the work is at now, for the one watching ("Loading EN.dat").
    void SetStage(const QString& stage);
    bool IsCancelled() const { return m_cancelled.load(std::memory_order_relaxed); }

    // The watcher's side.
    void Cancel() { m_cancelled = true; }
    qint64 Done() const { return m_done; }
    qint64 Total() const { return m_total; }
    QString Stage() const;
    // 0..100 of the total, -1 while the total is unknown.
    int Percent() const;

    // Ready for another run: nothing done, total unknown, no stage, not cancelled.
    void Restart();

private:
    void Tell();

    Listener m_listener;
    std::atomic<qint64> m_done{0};
    std::atomic<qint64> m_total{-1};
    std::atomic<bool> m_cancelled{false};
    mutable std::mutex m_stageMutex;
    QString m_stage;
    std::mutex m_listenerMutex; // one listener call at a time
};
