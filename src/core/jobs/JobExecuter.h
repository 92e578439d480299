#pragma once

#include <condition_variable>
#include <thread>

class CJob;
class CMThreadedJobQ;

// One worker of CMThreadedJobQ: a thread that runs the jobs the queue hands to it, one at a time.
// Every member is guarded by the queue's lock; the queue creates, retires and joins its workers.
class CJobExecuter
{
public:
    explicit CJobExecuter(CMThreadedJobQ& queue);
    // Joins the thread; the queue has told it to stop first.
    ~CJobExecuter();
    CJobExecuter(const CJobExecuter&) = delete;
    CJobExecuter& operator=(const CJobExecuter&) = delete;

private:
    friend class CMThreadedJobQ;
    enum RunState
    {
        starting = 0,
        running = 1,
        stopping = -1
    };

    void Run();
    // Runs one job without any lock held and marks it finished (or deletes it).
    static void RunJob(CJob* job);

    CMThreadedJobQ& m_queue;
    CJob* m_pCurrentJob = nullptr; // handed over, not yet run
    int m_iRunState = starting;
    std::condition_variable m_wake;
    std::thread m_thread; // last: starts once the members above exist
};
