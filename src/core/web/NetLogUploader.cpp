#include "core/web/NetLogUploader.h"

#include "core/app/Clock.h"
#include "core/db/Database.h"

CNetLogUploader::CNetLogUploader(QString logPath, QString folder, const CClock& clock, QObject* parent)
    : QObject(parent), m_logPath(std::move(logPath)), m_folder(std::move(folder)), m_clock(clock),
      m_credentials(std::make_shared<CCredentialCache>())
{
    qRegisterMetaType<CNetLogUpload>();
    connect(&m_worker, &CWebWorker::finished, this, &CNetLogUploader::OnFinished);
}

CNetLogUploader::~CNetLogUploader() = default;

void CNetLogUploader::SetCredentialCache(std::shared_ptr<CCredentialCache> cache)
{
    m_credentials = cache ? std::move(cache) : std::make_shared<CCredentialCache>();
}

void CNetLogUploader::RequestUpload(const QDate& day, bool reverse)
{
    m_pending = true;
    m_pendingDay = day;
    m_pendingReverse = reverse;
    if (!m_worker.IsBusy())
        StartNext();
}

void CNetLogUploader::StartNext()
{
    if (!m_pending)
        return;
    m_pending = false;
    m_result = NetLog::CResult();
    const QDate day = m_pendingDay;
    const bool reverse = m_pendingReverse;
    const CNetDetails net = m_net;
    const bool started = m_worker.Start([this, day, reverse, net, server = m_server, options = m_options,
                                         cache = m_credentials](CWebWorker& worker) {
        CWebRequest request(options);
        NetLog::ConfigureUpload(request, server);
        request.SetCredentialCache(cache);
        worker.Attach(request);
        CDatabase log(m_logPath, CDatabase::ReadOnly);
        m_result = NetLog::Publish(log, day, reverse, m_folder, request, net);
    });
    if (started)
        Q_EMIT uploadStarted();
    else
        m_pending = true; // cannot happen: only called while idle
}

void CNetLogUploader::OnFinished()
{
    CNetLogUpload upload;
    upload.result = m_result;
    const QString error = m_worker.TakeError();
    if (!error.isEmpty()) {
        upload.result.ok = false;
        upload.result.message = error;
    }
    upload.finishedAt = m_clock.Now();
    if (upload.result.ok) {
        m_failing = false;
        m_lastGood = upload.finishedAt;
    } else {
        upload.firstFailureOfRun = !m_failing;
        m_failing = true;
    }
    Q_EMIT uploadFinished(upload);
    StartNext();
}
