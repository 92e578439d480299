#include "core/web/WebWorker.h"

#include "core/Exceptions.h"
#include "core/web/WebRequest.h"

#include <QMetaMethod>
#include <chrono>

CWebWorker::CWebWorker(QObject* parent) : QObject(parent)
{
    connect(&m_job, &CBackgroundJob::progress, this, &CWebWorker::progress);
    connect(&m_job, &CBackgroundJob::finished, this, &CWebWorker::finished);
}

CWebWorker::~CWebWorker()
{
    Cancel();
    // m_job's destructor waits for the work.
}

bool CWebWorker::Start(std::function<void(CWebWorker& worker)> work)
{
    return m_job.Start([this, work = std::move(work)](CBackgroundJob&) { work(*this); });
}

void CWebWorker::Cancel()
{
    m_job.Cancel();
    std::lock_guard lock(m_lock);
    m_answered.notify_all();
}

QString CWebWorker::TakeError()
{
    try {
        m_job.RethrowError();
    } catch (const CLogwardenException& e) {
        return e.Message();
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    }
    return {};
}

void CWebWorker::Attach(CWebRequest& request)
{
    request.SetProgress(&m_job.Progress());
    request.SetCredentialsPrompt(
        [this](const QString& url, const QString& realm, QString& user, QString& password) {
            return AskCredentials(url, realm, user, password);
        });
}

bool CWebWorker::AskCredentials(const QString& url, const QString& realm, QString& user, QString& password)
{
    {
        std::lock_guard lock(m_lock);
        m_ask = Ask::Waiting;
    }
    const QString lastUser = user;
    QMetaObject::invokeMethod(
        this,
        [this, url, realm, lastUser] {
            if (isSignalConnected(QMetaMethod::fromSignal(&CWebWorker::credentialsNeeded)))
                Q_EMIT credentialsNeeded(url, realm, lastUser);
            else
                AnswerCredentials(false, {}, {});
        },
        Qt::QueuedConnection);
    std::unique_lock lock(m_lock);
    while (m_ask == Ask::Waiting && !m_job.IsCancelled())
        m_answered.wait_for(lock, std::chrono::milliseconds(50));
    const bool ok = m_ask == Ask::Accepted && !m_job.IsCancelled();
    if (ok) {
        user = m_user;
        password = m_password;
    }
    m_ask = Ask::None;
    m_password.clear();
    return ok;
}

void CWebWorker::AnswerCredentials(bool ok, const QString& user, const QString& password)
{
    std::lock_guard lock(m_lock);
    if (m_ask != Ask::Waiting)
        return; // the work gave up meanwhile
    m_ask = ok ? Ask::Accepted : Ask::Refused;
    m_user = user;
    m_password = password;
    m_answered.notify_all();
}
