#include "core/jobs/MThreadedJobQ.h"

#include "core/jobs/Job.h"
#include "core/jobs/JobExecuter.h"

#include <QtGlobal>
#include <algorithm>
#include <system_error>

CMThreadedJobQ::CMThreadedJobQ() : m_manager(&CMThreadedJobQ::ManagerLoop, this) {}

CMThreadedJobQ::~CMThreadedJobQ()
{
    {
        std::lock_guard lock(m_lock);
        m_bStopping = true;
        for (auto& worker : m_allWorkers) {
            worker->m_iRunState = CJobExecuter::stopping;
            worker->m_wake.notify_one();
        }
        m_managerWake.notify_all();
    }
    m_manager.join();
    // Busy workers finish their job first. Once stopping, workers no longer touch the lists below.
    m_allWorkers.clear();
    m_retired.clear();
    // Jobs never handed out, including any that a finishing job added meanwhile.
    for (CJob* job : m_pending) {
        if (job->GetDeleteWhenDone())
            delete job;
    }
    m_pending.clear();
}

void CMThreadedJobQ::AddJob(CJob* job)
{
    if (!job)
        return;
    std::lock_guard lock(m_lock);
    const auto lower = std::find_if(m_pending.begin(), m_pending.end(), [&](const CJob* pending) {
        return pending->GetPriority() < job->GetPriority();
    });
    m_pending.insert(lower, job);
    m_managerWake.notify_one();
}

bool CMThreadedJobQ::RemoveJob(CJob* job)
{
    std::lock_guard lock(m_lock);
    const auto it = std::find(m_pending.begin(), m_pending.end(), job);
    if (it == m_pending.end())
        return false;
    m_pending.erase(it);
    m_idleChanged.notify_all();
    return true;
}

void CMThreadedJobQ::SetMaxThreads(int maxThreads)
{
    std::lock_guard lock(m_lock);
    if (maxThreads < kMinThreads || maxThreads > kMaxThreads)
        return;
    m_iMaxThreads = maxThreads;
    // Idle workers beyond the new limit leave now; busy ones when their job is done.
    while (m_iWorkerCount > m_iMaxThreads && !m_idle.empty())
        Retire(*m_idle.back());
    m_managerWake.notify_one();
}

int CMThreadedJobQ::GetMaxThreads() const
{
    std::lock_guard lock(m_lock);
    return m_iMaxThreads;
}

void CMThreadedJobQ::Pause()
{
    std::lock_guard lock(m_lock);
    m_bPaused = true;
}

void CMThreadedJobQ::Resume()
{
    std::lock_guard lock(m_lock);
    m_bPaused = false;
    m_managerWake.notify_one();
}

bool CMThreadedJobQ::IsPaused() const
{
    std::lock_guard lock(m_lock);
    return m_bPaused;
}

int CMThreadedJobQ::GetWorkerCount() const
{
    std::lock_guard lock(m_lock);
    return m_iWorkerCount;
}

int CMThreadedJobQ::GetRunningCount() const
{
    std::lock_guard lock(m_lock);
    return m_iRunning;
}

int CMThreadedJobQ::GetPendingCount() const
{
    std::lock_guard lock(m_lock);
    return static_cast<int>(m_pending.size());
}

void CMThreadedJobQ::SetRefreshCallback(std::function<void(int)> callback)
{
    std::lock_guard lock(m_lock);
    m_refresh = std::move(callback);
}

bool CMThreadedJobQ::WaitIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_lock);
    return m_idleChanged.wait_for(
        lock, timeout, [this] { return m_pending.empty() && m_iRunning == 0 && m_iNotifying == 0; });
}

bool CMThreadedJobQ::CanHandOut() const
{
    return !m_bPaused && !m_pending.empty() && m_iRunning < m_iMaxThreads &&
           (!m_idle.empty() || m_iWorkerCount < m_iMaxThreads);
}

void CMThreadedJobQ::ManagerLoop()
{
    std::unique_lock lock(m_lock);
    for (;;) {
        m_managerWake.wait(lock, [this] { return m_bStopping || CanHandOut() || !m_retired.empty(); });
        if (m_bStopping)
            return;
        JoinRetired(lock);
        while (!m_bStopping && CanHandOut()) {
            CJobExecuter* worker = nullptr;
            if (!m_idle.empty()) {
                worker = m_idle.back();
                m_idle.pop_back();
            } else {
                try {
                    m_allWorkers.push_back(std::make_unique<CJobExecuter>(*this));
                } catch (const std::system_error& e) {
                    // No thread to be had now: try again when a worker frees up or a little later.
                    qWarning("job queue: cannot start a worker thread: %s", e.what());
                    m_managerWake.wait_for(lock, std::chrono::milliseconds(100));
                    break;
                }
                worker = m_allWorkers.back().get();
                ++m_iWorkerCount;
            }
            CJob* job = m_pending.front();
            m_pending.pop_front();
            // The job may have run and been deleted by the time the callback sees its number.
            const int number = job->GetJobNumber();
            worker->m_pCurrentJob = job;
            ++m_iRunning;
            worker->m_wake.notify_one();
            if (m_refresh) {
                const auto refresh = m_refresh;
                ++m_iNotifying; // the queue is not idle until the notice is out
                lock.unlock();
                refresh(number);
                lock.lock();
                --m_iNotifying;
                m_idleChanged.notify_all();
            }
        }
    }
}

bool CMThreadedJobQ::WorkerBecameIdle(CJobExecuter& worker)
{
    --m_iRunning;
    m_idleChanged.notify_all();
    if (m_bStopping || worker.m_iRunState == CJobExecuter::stopping)
        return true;
    if (m_iWorkerCount > m_iMaxThreads) {
        Retire(worker);
        return true;
    }
    m_idle.push_back(&worker);
    m_managerWake.notify_one();
    return false;
}

void CMThreadedJobQ::Retire(CJobExecuter& worker)
{
    worker.m_iRunState = CJobExecuter::stopping;
    worker.m_wake.notify_one();
    m_idle.erase(std::remove(m_idle.begin(), m_idle.end(), &worker), m_idle.end());
    const auto it = std::find_if(m_allWorkers.begin(), m_allWorkers.end(),
                                 [&](const auto& w) { return w.get() == &worker; });
    if (it != m_allWorkers.end()) {
        m_retired.push_back(std::move(*it));
        m_allWorkers.erase(it);
    }
    --m_iWorkerCount;
    m_managerWake.notify_one();
}

void CMThreadedJobQ::JoinRetired(std::unique_lock<std::mutex>& lock)
{
    if (m_retired.empty())
        return;
    auto retired = std::move(m_retired);
    m_retired.clear();
    lock.unlock();
    retired.clear(); // joins: each has left its loop and no longer needs the lock
    lock.lock();
}
