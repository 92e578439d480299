#pragma once

#include "core/jobs/Progress.h"

#include <QObject>
#include <QTimer>
#include <exception>
#include <functional>
#include <thread>

// One piece of long work (a download, an extraction) on its own thread, so that the window stays
// responsive. The work reports to Progress(), which also tells it whether to stop; the window learns of
// it through progress() a few times a second, and of the end through finished().
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
    void Cancel() { m_progress.Cancel(); }
    bool IsCancelled() const { return m_progress.IsCancelled(); }

    // For the work, on its thread: where it reports, and learns whether to stop.
    CProgress& Progress() { return m_progress; }

    // After finished(): raises what the work raised, if anything.
    void RethrowError() const;

Q_SIGNALS:
    void progress(qint64 done, qint64 total);
    void finished();

private:
    void OnTick();

    std::thread m_thread;
    bool m_running = false;
    CProgress m_progress;
    std::exception_ptr m_error;
    QTimer m_timer;
};
