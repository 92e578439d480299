#include "core/web/ClubServer.h"

CClubServer::CClubServer(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<CPreNetFetch>();
    qRegisterMetaType<CEchoLinkFetch>();
    qRegisterMetaType<CWebResponse>();
    connect(&m_preNet, &CWebWorker::finished, this, [this] {
        if (const QString error = m_preNet.TakeError(); !error.isEmpty())
            m_results.preNet.page = CPreNetPage();
        Q_EMIT preNetFetched(m_results.preNet);
    });
    connect(&m_echoLink, &CWebWorker::finished, this, [this] { Q_EMIT echoLinkFetched(m_results.echoLink); });
    connect(&m_report, &CWebWorker::finished, this, [this] { Q_EMIT reportSent(m_results.report); });
}

CClubServer::~CClubServer() = default;

bool CClubServer::Run(CWebWorker& worker, std::function<void(CWebRequest&)> exchange)
{
    QString user, password;
    {
        std::lock_guard lock(m_credentialsLock);
        user = m_user;
        password = m_password;
    }
    return worker.Start([options = m_options, user, password, exchange = std::move(exchange)](CWebWorker& w) {
        CWebRequest request(options);
        request.SetUserName(user);
        request.SetPassword(password);
        w.Attach(request);
        exchange(request);
    });
}

void CClubServer::KeepCredentials(const CWebRequest& request, const CWebResponse& response)
{
    if (!response.Answered() || response.Status() == 401)
        return;
    std::lock_guard lock(m_credentialsLock);
    m_user = request.GetUserName();
    m_password = request.GetPassword();
}

bool CClubServer::RefreshPreNet()
{
    return Run(m_preNet, [this, server = m_server](CWebRequest& request) {
        m_results.preNet = PreNet::FetchPreNet(request, server);
        KeepCredentials(request, m_results.preNet.response);
    });
}

bool CClubServer::RefreshEchoLink()
{
    return Run(m_echoLink, [this, server = m_server](CWebRequest& request) {
        request.SetProgressDisplay(false); // every few seconds: no progress to show
        m_results.echoLink = PreNet::FetchEchoLink(request, server);
        KeepCredentials(request, m_results.echoLink.response);
    });
}

bool CClubServer::SendReport(const CNetReport& report)
{
    return Run(m_report, [this, server = m_server, report](CWebRequest& request) {
        m_results.report = NetReport::Send(request, server, report);
        KeepCredentials(request, m_results.report);
    });
}
