#include "core/jobs/BackgroundJob.h"

CBackgroundJob::CBackgroundJob(QObject* parent) : QObject(parent)
{
    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, &CBackgroundJob::OnTick);
}

CBackgroundJob::~CBackgroundJob()
{
    m_progress.Cancel();
    if (m_thread.joinable())
        m_thread.join();
}

bool CBackgroundJob::Start(std::function<void(CBackgroundJob& job)> work)
{
    if (m_running)
        return false;
    if (m_thread.joinable())
        m_thread.join();
    m_running = true;
    m_progress.Restart();
    m_error = nullptr;
    m_thread = std::thread([this, work = std::move(work)] {
        std::exception_ptr error;
        try {
            work(*this);
        } catch (...) {
            error = std::current_exception();
        }
        // Back on the window's thread; dropped if this object is gone by then.
        QMetaObject::invokeMethod(
            this,
            [this, error] {
                if (m_thread.joinable())
                    m_thread.join();
                m_error = error;
                m_running = false;
                m_timer.stop();
                OnTick();
                Q_EMIT finished();
            },
            Qt::QueuedConnection);
    });
    m_timer.start();
    return true;
}

void CBackgroundJob::RethrowError() const
{
    if (m_error)
        std::rethrow_exception(m_error);
}

void CBackgroundJob::OnTick()
{
    Q_EMIT progress(m_progress.Done(), m_progress.Total());
}
