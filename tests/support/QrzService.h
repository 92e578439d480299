#pragma once

#include "support/ServerProcess.h"
#include "support/TestSupport.h"

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <memory>

namespace TestSupport {

// qrz_server.py: QRZ's XML callbook (and the FCC's weekly-transactions page) on 127.0.0.1.
class CQrzService
{
public:
    CQrzService();
    // Back to the start: the account n0tst / secret, no stations, no keys given, an empty log.
    void Reset();

    // The configuration, written for every change (the server reads it for each request).
    void SetAccount(const QString& user, const QString& password);
    // The inner XML of the station's <Callsign> record.
    void AddStation(const QString& call, const QString& recordXml);
    void SetLoginWithoutKey(bool on);
    // Every login answers with this status and body, as they stand (a service that is down); status 0:
    // logins are answered as QRZ does.
    void SetLoginReply(int status, const QString& body);
    // Every query answers with this error ("Session Timeout"); empty: none.
    void SetQueryError(const QString& error);
    void SetFccPage(const QByteArray& html);

    // "http://127.0.0.1:PORT" and the same without its scheme.
    QString HttpHost() const;
    QString BareHost() const;
    // Asks the server to answer every key given so far with "expire" (Session Timeout),
    // "invalidate" (Invalid session key) or "noaccess" (XML access is not authorized).
    void Control(const QString& what);

    // The requests received, oldest first: {"kind": "login"|"query"|"retry"|"fcc"|"invalid"|"other",
    // "path": ..., "params": {...}}; ClearLog() forgets them.
    QList<QJsonObject> Requests() const;
    QStringList Kinds() const;
    void ClearLog();
    // The whole log as received, for searching it.
    QByteArray RawLog() const;

private:
    void WriteConfig();

    CScratch m_dir;
    QJsonObject m_config;
    QMap<QString, QString> m_stations;
    std::unique_ptr<CServerProcess> m_server;
};

} // namespace TestSupport
