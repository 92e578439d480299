#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <exception>
#include <functional>
#include <thread>

// One piece of long work (a download, an extraction) on its own thread, so that the window stays
// responsive. The work reports its progress through Report(), which also tells it whether to stop;
// the window learns of it through progress() a few times a second, and of the end through finished().
class CBackgroundJob : public QObject
{
    Q_OBJECT
public:
    explicit CBackgroundJob(QObject* parent = nullptr);
    // Asks the work to stop and waits for it.
    ~CBackgroundJob() override;

    // Runs work on a new thread; false when a job is already running.
    bool Start(std::function<void(CBackgroundJob& job)> work);
    bool IsRunning() const { return m_running; }
    void Cancel() { m_cancel = true; }
    bool IsCancelled() const { return m_cancel; }

    // For the work, on its thread: records the progress; false when it should stop.
    bool Report(qint64 done, qint64 total);

    // After finished(): raises what the work raised, if anything.
    void RethrowError() const;

Q_SIGNALS:
    void progress(qint64 done, qint64 total);
    void finished();

private:
    void OnTick();

    std::thread m_thread;
    bool m_running = false;
    std::atomic<bool> m_cancel{false};
    std::atomic<qint64> m_done{0};
    std::atomic<qint64> m_total{-1};
    std::exception_ptr m_error;
    QTimer m_timer;
};
