#pragma once

#include "core/web/CredentialCache.h"
#include "core/web/UploadLog.h"
#include "core/web/WebRequest.h"
#include "core/web/WebWorker.h"

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QString>

class CClock;

// The end of one upload, as uploadFinished() reports it.
struct CNetLogUpload
{
    NetLog::CResult result;
    // The first failure after a success (or after the start): the one to show in a message box in auto
    // mode; the failures that follow it only go to the status bar.
    bool firstFailureOfRun = false;
    QDateTime finishedAt;
};
Q_DECLARE_METATYPE(CNetLogUpload)

// Publishes the day's net log ("OSTRA", and auto mode after every check-in) off the window's thread.
//
// RequestUpload() returns at once. The upload reads the day's check-ins from the log file through a
// connection of its own, writes "NetLog.html" into the folder and posts the page to the club's server.
// A request made while an upload runs is remembered: when that upload ends, one more follows with the
// newest day and order and the log as it is then, however many requests came meanwhile. So no change is
// ever left unpublished, and the server never gets two uploads at once.
class CNetLogUploader : public QObject
{
    Q_OBJECT
public:
    // logPath: the log database; folder: where "NetLog.html" goes; clock: the time of the last good upload.
    CNetLogUploader(QString logPath, QString folder, const CClock& clock, QObject* parent = nullptr);
    ~CNetLogUploader() override;

    // The club's upload server (setting NetLog/Server) and the time-outs (NetSettings); read them from the
    // settings on the window's thread. They apply from the next upload on.
    void SetServer(const QString& server) { m_server = server; }
    void SetOptions(const CWebOptions& options) { m_options = options; }
    // Where the credentials the operator gives are kept (for that server and realm only); share the
    // club server's cache.
    void SetCredentialCache(std::shared_ptr<CCredentialCache> cache);
    // The club's and the net's names on the page (section "Club"), read the same way.
    void SetNet(const CNetDetails& net) { m_net = net; }

    void RequestUpload(const QDate& day, bool reverse);
    bool IsBusy() const { return m_worker.IsBusy(); }
    bool HasPending() const { return m_pending; }
    // Invalid until an upload has succeeded.
    QDateTime LastGoodUpload() const { return m_lastGood; }
    // Its progress() and credentialsNeeded() signals are those of the running upload.
    CWebWorker& Worker() { return m_worker; }

Q_SIGNALS:
    void uploadStarted();
    void uploadFinished(const CNetLogUpload& upload);

private:
    void StartNext();
    void OnFinished();

    QString m_logPath;
    QString m_folder;
    const CClock& m_clock;
    QString m_server;
    CWebOptions m_options;
    CNetDetails m_net;

    bool m_pending = false;
    QDate m_pendingDay;
    bool m_pendingReverse = false;

    // Shared with the running upload: written before it starts, read after it has finished.
    NetLog::CResult m_result;
    std::shared_ptr<CCredentialCache> m_credentials;

    bool m_failing = false;
    QDateTime m_lastGood;
    // Last: destroyed first, so the running upload is stopped before what it uses goes.
    CWebWorker m_worker;
};
