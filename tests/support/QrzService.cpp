#include "support/QrzService.h"

#include "core/web/WebRequest.h"

#include <QJsonDocument>
#include <QtTest>

namespace TestSupport {

CQrzService::CQrzService()
{
    m_config[QStringLiteral("user")] = QStringLiteral("n0tst");
    m_config[QStringLiteral("password")] = QStringLiteral("secret");
    WriteConfig();
    ClearLog();
    m_server = std::make_unique<CServerProcess>(
        QStringLiteral("qrz_server.py"),
        QStringList{m_dir.File(QStringLiteral("config.json")), m_dir.File(QStringLiteral("log"))});
}

void CQrzService::Reset()
{
    m_config = QJsonObject();
    m_stations.clear();
    SetAccount(QStringLiteral("n0tst"), QStringLiteral("secret"));
    CWebRequest http;
    const CWebResponse reply = http.GetUrl(HttpHost() + QStringLiteral("/control/reset"));
    QVERIFY(reply.Answered() && reply.Status() == 200);
    ClearLog();
}

void CQrzService::WriteConfig()
{
    QJsonObject stations;
    for (auto it = m_stations.cbegin(); it != m_stations.cend(); ++it)
        stations[it.key()] = it.value();
    m_config[QStringLiteral("stations")] = stations;
    WriteFile(m_dir.File(QStringLiteral("config.json")), QJsonDocument(m_config).toJson());
}

void CQrzService::SetAccount(const QString& user, const QString& password)
{
    m_config[QStringLiteral("user")] = user;
    m_config[QStringLiteral("password")] = password;
    WriteConfig();
}

void CQrzService::AddStation(const QString& call, const QString& recordXml)
{
    m_stations[call] = recordXml;
    WriteConfig();
}

void CQrzService::SetLoginWithoutKey(bool on)
{
    m_config[QStringLiteral("login_without_key")] = on;
    WriteConfig();
}

void CQrzService::SetLoginReply(int status, const QString& body)
{
    if (status == 0)
        m_config.remove(QStringLiteral("login_reply"));
    else
        m_config[QStringLiteral("login_reply")] = QJsonObject{{"status", status}, {"body", body}};
    WriteConfig();
}

void CQrzService::SetQueryError(const QString& error)
{
    m_config[QStringLiteral("query_error")] = error;
    WriteConfig();
}

void CQrzService::SetFccPage(const QByteArray& html)
{
    WriteFile(m_dir.File(QStringLiteral("page.html")), html);
    m_config[QStringLiteral("fcc_page")] = m_dir.File(QStringLiteral("page.html"));
    WriteConfig();
}

QString CQrzService::HttpHost() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server->Port());
}

QString CQrzService::BareHost() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_server->Port());
}

void CQrzService::Control(const QString& what)
{
    CWebRequest http;
    const CWebResponse reply = http.GetUrl(HttpHost() + QStringLiteral("/control/") + what);
    QVERIFY2(reply.Answered() && reply.Status() == 200, qPrintable(what));
    ClearLog();
}

QByteArray CQrzService::RawLog() const
{
    return ReadFile(m_dir.File(QStringLiteral("log")));
}

QList<QJsonObject> CQrzService::Requests() const
{
    QList<QJsonObject> requests;
    for (const QByteArray& line : RawLog().split('\n')) {
        if (!line.isEmpty())
            requests << QJsonDocument::fromJson(line).object();
    }
    return requests;
}

QStringList CQrzService::Kinds() const
{
    QStringList kinds;
    for (const QJsonObject& r : Requests())
        kinds << r[QStringLiteral("kind")].toString();
    return kinds;
}

void CQrzService::ClearLog()
{
    WriteFile(m_dir.File(QStringLiteral("log")), {});
}

} // namespace TestSupport
