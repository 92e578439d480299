#pragma once

#include "support/ServerProcess.h"
#include "support/TestSupport.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <memory>

namespace TestSupport {

// One request as the test HTTP server received it.
struct CRecordedRequest
{
    QString method;
    QString path; // with its query
    QString version;
    QMap<QString, QString> headers; // names in lower case
    QByteArray body;
    bool bodyRead = true;
};

// http_server.py in a scratch folder of its own, with scripted answers and a record of every request
// (see the script for the keys of a route).
class CHttpServer
{
public:
    explicit CHttpServer(bool tls = false);
    ~CHttpServer();

    int Port() const { return m_process->Port(); }
    // "127.0.0.1:PORT", as a server text.
    QString Host() const;
    // "http://127.0.0.1:PORT/path" (https with TLS).
    QString Url(const QString& path) const;
    QString Root() const { return m_root.Path(); }
    // The certificate to trust for the TLS server.
    static QString CaFile();

    // What the path answers from now on; an empty object removes the route.
    void Route(const QString& path, const QJsonObject& route);
    void ClearRoutes();
    // Opens the gate a route waits at.
    void Release(const QString& gate);

    QList<CRecordedRequest> Requests() const;
    void ClearRequests();
    // Waits until at least count requests have been recorded; false after timeoutMs.
    bool WaitForRequests(int count, int timeoutMs = 20000) const;

private:
    void WriteRoutes();

    CScratch m_root;
    QJsonObject m_routes;
    bool m_tls;
    std::unique_ptr<CServerProcess> m_process;
};

// A pre-net page as the club's server sends it: long enough to hold stations, the items after the form.
QByteArray PreNetPage(const QByteArray& items);

} // namespace TestSupport
