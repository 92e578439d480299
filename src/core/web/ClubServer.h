#pragma once

#include "core/web/CredentialCache.h"
#include "core/web/NetReport.h"
#include "core/web/PreNet.h"
#include "core/web/WebRequest.h"
#include "core/web/WebWorker.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

Q_DECLARE_METATYPE(CPreNetFetch)
Q_DECLARE_METATYPE(CEchoLinkFetch)
Q_DECLARE_METATYPE(CWebResponse)

// The exchanges of the main form with the club's server (setting PreNet/Server), each run off the window's
// thread by a worker of its own: a slow pre-net page never holds up the EchoLink listing, and two
// refreshes of one kind never overlap (a refresh asked for while one runs is dropped; the running one
// brings the news). Credentials the operator gives when a server asks are kept for the session, for that
// server and realm only (CCredentialCache).
class CClubServer : public QObject
{
    Q_OBJECT
public:
    explicit CClubServer(QObject* parent = nullptr);
    ~CClubServer() override;

    // Read from the settings on the window's thread; they apply from the next exchange on.
    void SetServer(const QString& server) { m_server = server; }
    const QString& Server() const { return m_server; }
    void SetOptions(const CWebOptions& options) { m_options = options; }
    // The cache of the credentials given during this run; share it with the other web exchanges.
    const std::shared_ptr<CCredentialCache>& Credentials() const { return m_credentials; }

    // Each returns false, and does nothing, while the previous exchange of its kind still runs.
    bool RefreshPreNet();
    bool RefreshEchoLink();
    // Sends the report (store it in the settings first: NetReport::Store).
    bool SendReport(const CNetReport& report);

    CWebWorker& PreNetWorker() { return m_preNet; }
    CWebWorker& EchoLinkWorker() { return m_echoLink; }
    CWebWorker& ReportWorker() { return m_report; }

Q_SIGNALS:
    // Entries come unmarked: mark them against the day's calls (PreNet::MarkLogged).
    void preNetFetched(const CPreNetFetch& fetch);
    void echoLinkFetched(const CEchoLinkFetch& fetch);
    void reportSent(const CWebResponse& response);

private:
    struct CSlot
    {
        CPreNetFetch preNet;
        CEchoLinkFetch echoLink;
        CWebResponse report;
    };
    // Runs one exchange of the worker with the current server, options and credential cache.
    bool Run(CWebWorker& worker, std::function<void(CWebRequest&)> exchange);

    QString m_server;
    CWebOptions m_options;
    std::shared_ptr<CCredentialCache> m_credentials;
    CSlot m_results; // each written by its worker, read after that worker's finished()

    // Last: destroyed first, so running exchanges stop before what they use goes.
    CWebWorker m_preNet;
    CWebWorker m_echoLink;
    CWebWorker m_report;
};
