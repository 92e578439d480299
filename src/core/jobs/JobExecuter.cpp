#include "core/jobs/JobExecuter.h"

#include "core/Exceptions.h"
#include "core/jobs/Job.h"
#include "core/jobs/MThreadedJobQ.h"

CJobExecuter::CJobExecuter(CMThreadedJobQ& queue) : m_queue(queue), m_thread(&CJobExecuter::Run, this) {}

CJobExecuter::~CJobExecuter()
{
    if (m_thread.joinable())
        m_thread.join();
}

void CJobExecuter::RunJob(CJob* job)
{
    // Read the flag first: once a kept job is marked finished its owner may destroy it.
    const bool deleteWhenDone = job->GetDeleteWhenDone();
    QString error;
    try {
        job->Execute();
    } catch (const CLogwardenException& e) {
        error = e.Message();
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    } catch (...) {
        error = QStringLiteral("The job failed with an unknown error.");
    }
    if (deleteWhenDone)
        delete job;
    else
        job->MarkFinished(error);
}

void CJobExecuter::Run()
{
    std::unique_lock lock(m_queue.m_lock);
    if (m_iRunState == starting)
        m_iRunState = running;
    for (;;) {
        // A job handed over is run even when the worker has been told to stop meanwhile.
        m_wake.wait(lock, [this] { return m_pCurrentJob != nullptr || m_iRunState == stopping; });
        if (!m_pCurrentJob)
            return;
        CJob* job = m_pCurrentJob;
        lock.unlock();
        RunJob(job);
        lock.lock();
        m_pCurrentJob = nullptr;
        if (m_queue.WorkerBecameIdle(*this))
            return;
    }
}
