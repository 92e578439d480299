#include "core/jobs/Job.h"

std::atomic<int> CJob::s_jobCounter{0};

CJob::CJob() : m_iJobNumber(++s_jobCounter) {}

CJob::~CJob() = default;

QString CJob::GetDescription() const
{
    std::lock_guard lock(m_mutex);
    return m_strDescription;
}

void CJob::SetDescription(const QString& description)
{
    std::lock_guard lock(m_mutex);
    m_strDescription = description;
}

bool CJob::IsFinished() const
{
    std::lock_guard lock(m_mutex);
    return m_bFinished;
}

bool CJob::WaitFinished(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_finishedChanged.wait_for(lock, timeout, [this] { return m_bFinished; });
}

void CJob::WaitFinished()
{
    std::unique_lock lock(m_mutex);
    m_finishedChanged.wait(lock, [this] { return m_bFinished; });
}

QString CJob::GetError() const
{
    std::lock_guard lock(m_mutex);
    return m_strError;
}

void CJob::MarkFinished(const QString& error)
{
    // Notify while holding the lock: a waiter may destroy the job as soon as it sees the flag, so the
    // worker must not touch the job once the lock is released.
    std::lock_guard lock(m_mutex);
    m_strError = error;
    m_bFinished = true;
    m_finishedChanged.notify_all();
}
