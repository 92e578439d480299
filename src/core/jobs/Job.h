#pragma once

#include "core/jobs/Progress.h"

#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

class CMThreadedJobQ;

// A unit of work for CMThreadedJobQ. Derived classes do their work in Execute(), which runs on a worker
// thread without any lock of the queue held.
//
// Ownership: a job whose delete-when-done flag is set (the default) belongs to the queue once it has
// been added; the queue deletes it after it has run, or when the queue is destroyed before running it.
// A job with the flag cleared stays the owner's: the owner may wait for it (WaitFinished) and must not
// destroy it while it is pending or running.
class CJob
{
public:
    CJob();
    virtual ~CJob();
    CJob(const CJob&) = delete;
    CJob& operator=(const CJob&) = delete;

    virtual void Execute() = 0;

    // Free text for the job's owner.
    QString GetDescription() const;
    void SetDescription(const QString& description);

    // Numbered from 1 in the order jobs are constructed, process-wide.
    int GetJobNumber() const { return m_iJobNumber; }

    // Set these before the job is added to a queue.
    bool GetDeleteWhenDone() const { return m_bDeleteWhenDone; }
    void SetDeleteWhenDone(bool deleteWhenDone) { m_bDeleteWhenDone = deleteWhenDone; }
    // Larger runs earlier; jobs of equal priority run in the order they were added.
    int GetPriority() const { return m_iPriority; }
    void SetPriority(int priority) { m_iPriority = priority; }

    // True once Execute has returned (or thrown).
    bool IsFinished() const;
    // Waits until the job has finished; false when the time ran out first.
    bool WaitFinished(std::chrono::milliseconds timeout);
    void WaitFinished();
    // The message of an exception that escaped Execute, empty when none did.
    QString GetError() const;

    // How far Execute has come, and whether it is asked to stop (any thread may Cancel()).
    CProgress& Progress() { return m_progress; }
    const CProgress& Progress() const { return m_progress; }

private:
    friend class CJobExecuter;
    void MarkFinished(const QString& error);

    static std::atomic<int> s_jobCounter;

    mutable std::mutex m_mutex;
    std::condition_variable m_finishedChanged;
    QString m_strDescription;
    QString m_strError;
    bool m_bFinished = false;
    const int m_iJobNumber;
    bool m_bDeleteWhenDone = true;
    int m_iPriority = 5;
    CProgress m_progress;
};
