#include "core/web/ClubServer.h"

CClubServer::CClubServer(QObject* parent)
    : QObject(parent), m_credentials(std::make_shared<CCredentialCache>())
{
    qRegisterMetaType<CPreNetFetch>();
    qRegisterMetaType<CEchoLinkFetch>();
    qRegisterMetaType<CWebResponse>();
    connect(&m_preNet, &CWebWorker::finished, this, [this] {
        if (const QString error = m_preNet.TakeError(); !error.isEmpty()) {
            m_results.preNet.page = CPreNetPage();
            m_results.preNet.page.status = CPreNetPage::Failed;
            m_results.preNet.page.failure = error;
        }
        Q_EMIT preNetFetched(m_results.preNet);
    });
    connect(&m_echoLink, &CWebWorker::finished, this, [this] { Q_EMIT echoLinkFetched(m_results.echoLink); });
    connect(&m_report, &CWebWorker::finished, this, [this] { Q_EMIT reportSent(m_results.report); });
}

CClubServer::~CClubServer() = default;

bool CClubServer::Run(CWebWorker& worker, std::function<void(CWebRequest&)> exchange)
{
    return worker.Start(
        [options = m_options, cache = m_credentials, exchange = std::move(exchange)](CWebWorker& w) {
            CWebRequest request(options);
            request.SetCredentialCache(cache);
            w.Attach(request);
            exchange(request);
        });
}

bool CClubServer::RefreshPreNet()
{
    return Run(m_preNet, [this, server = m_server](CWebRequest& request) {
        m_results.preNet = PreNet::FetchPreNet(request, server);
    });
}

bool CClubServer::RefreshEchoLink()
{
    return Run(m_echoLink, [this, server = m_server](CWebRequest& request) {
        request.SetProgressDisplay(false); // every few seconds: no progress to show
        m_results.echoLink = PreNet::FetchEchoLink(request, server);
    });
}

bool CClubServer::SendReport(const CNetReport& report)
{
    return Run(m_report, [this, server = m_server, report](CWebRequest& request) {
        m_results.report = NetReport::Send(request, server, report);
    });
}
