#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class CJob;
class CJobExecuter;

// Runs jobs on a small pool of worker threads, highest priority first.
//
// A manager thread hands pending jobs to idle workers, creating workers up to the pool limit (2 to 10,
// 2 at start); at most that many jobs run at once. Lowering the limit retires the surplus workers: idle
// ones at once, busy ones when their current job has finished (a running job is never interrupted).
// While paused no job is handed out; added jobs stay pending. A job handed to a worker is always run.
//
// Destroying the queue waits for the running jobs to finish (ask them to stop first), deletes the
// pending jobs that the queue owns (delete-when-done) and leaves the others to their owners.
class CMThreadedJobQ
{
public:
    static constexpr int kMinThreads = 2;
    static constexpr int kMaxThreads = 10;

    CMThreadedJobQ();
    ~CMThreadedJobQ();
    CMThreadedJobQ(const CMThreadedJobQ&) = delete;
    CMThreadedJobQ& operator=(const CMThreadedJobQ&) = delete;

    // Inserts the job after every pending job of equal or higher priority.
    void AddJob(CJob* job);
    // Takes a job that has not been handed out yet off the queue; false when it is not pending (running,
    // finished or never added). The job is not deleted.
    bool RemoveJob(CJob* job);
    // Accepts 2 to 10; any other value leaves the limit as it is.
    void SetMaxThreads(int maxThreads);
    int GetMaxThreads() const;
    void Pause();
    void Resume();
    bool IsPaused() const;

    int GetWorkerCount() const;  // workers in existence
    int GetRunningCount() const; // jobs running now
    int GetPendingCount() const;

    // Called on the manager thread, without the lock held, each time a job is handed to a worker, with
    // that job's number (the job itself may already have run and been deleted).
    void SetRefreshCallback(std::function<void(int jobNumber)> callback);
    // Waits until no job is pending or running and every refresh notice has been delivered; false when
    // the time ran out first.
    bool WaitIdle(std::chrono::milliseconds timeout);

private:
    friend class CJobExecuter;

    bool CanHandOut() const;
    void ManagerLoop();
    // Called by a worker under the lock after its job: true when the worker is to leave.
    bool WorkerBecameIdle(CJobExecuter& worker);
    void Retire(CJobExecuter& worker);
    void JoinRetired(std::unique_lock<std::mutex>& lock);

    mutable std::mutex m_lock;
    std::condition_variable m_managerWake;
    std::condition_variable m_idleChanged;
    std::list<CJob*> m_pending;
    bool m_bPaused = false;
    int m_iMaxThreads = kMinThreads;
    int m_iWorkerCount = 0;
    int m_iRunning = 0;
    int m_iNotifying = 0; // refresh notices being delivered
    bool m_bStopping = false;
    std::vector<CJobExecuter*> m_idle; // last in, first out
    std::list<std::unique_ptr<CJobExecuter>> m_allWorkers;
    std::vector<std::unique_ptr<CJobExecuter>> m_retired; // left their loop, to be joined
    std::function<void(int)> m_refresh;
    std::thread m_manager;
};
