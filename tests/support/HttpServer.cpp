#include "support/HttpServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QSaveFile>
#include <QThread>

namespace TestSupport {

CHttpServer::CHttpServer(bool tls) : m_tls(tls)
{
    QStringList args{m_root.Path()};
    if (tls)
        args << QStringLiteral("--tls") << SourceDir() + QStringLiteral("/tests/support/tls/server.pem");
    m_process = std::make_unique<CServerProcess>(QStringLiteral("http_server.py"), args);
}

CHttpServer::~CHttpServer() = default;

QString CHttpServer::Host() const
{
    return QStringLiteral("127.0.0.1:%1").arg(Port());
}

QString CHttpServer::Url(const QString& path) const
{
    return QStringLiteral("%1://%2%3")
        .arg(m_tls ? QStringLiteral("https") : QStringLiteral("http"), Host(), path);
}

QString CHttpServer::CaFile()
{
    return SourceDir() + QStringLiteral("/tests/support/tls/cert.pem");
}

void CHttpServer::Route(const QString& path, const QJsonObject& route)
{
    if (route.isEmpty())
        m_routes.remove(path);
    else
        m_routes.insert(path, route);
    WriteRoutes();
}

void CHttpServer::ClearRoutes()
{
    m_routes = QJsonObject();
    WriteRoutes();
}

void CHttpServer::WriteRoutes()
{
    // Renamed into place: the server never reads half a file.
    QSaveFile f(m_root.File(QStringLiteral("routes.json")));
    if (!f.open(QIODevice::WriteOnly) || f.write(QJsonDocument(m_routes).toJson()) < 0 || !f.commit())
        qFatal("cannot write the routes");
}

void CHttpServer::Release(const QString& gate)
{
    WriteFile(m_root.File(gate), "open");
}

QList<CRecordedRequest> CHttpServer::Requests() const
{
    QList<CRecordedRequest> out;
    QFile f(m_root.File(QStringLiteral("requests.jsonl")));
    if (!f.open(QIODevice::ReadOnly))
        return out;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        CRecordedRequest r;
        r.method = o.value(QStringLiteral("method")).toString();
        r.path = o.value(QStringLiteral("path")).toString();
        r.version = o.value(QStringLiteral("version")).toString();
        const QJsonObject headers = o.value(QStringLiteral("headers")).toObject();
        for (auto it = headers.begin(); it != headers.end(); ++it)
            r.headers.insert(it.key(), it.value().toString());
        const QJsonValue body = o.value(QStringLiteral("body_b64"));
        r.bodyRead = !body.isNull();
        r.body = QByteArray::fromBase64(body.toString().toLatin1());
        out << r;
    }
    return out;
}

void CHttpServer::ClearRequests()
{
    QFile::remove(m_root.File(QStringLiteral("requests.jsonl")));
}

bool CHttpServer::WaitForRequests(int count, int timeoutMs) const
{
    QElapsedTimer t;
    t.start();
    while (Requests().size() < count) {
        if (t.elapsed() > timeoutMs)
            return false;
        QThread::msleep(10);
    }
    return true;
}

QByteArray PreNetPage(const QByteArray& items)
{
    return "<html><head><!--" + QByteArray(1400, '-') + "--></head><body><form></form><ul>" + items +
           "</ul></body></html>";
}

} // namespace TestSupport
