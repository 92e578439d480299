#include "core/qrz/HttpGet.h"

#include <QUrl>

CHttpGet::CHttpGet(const CWebOptions& options) : m_request(options)
{
    // These answers are small and nobody watches them arrive.
    m_request.SetProgressDisplay(false);
    m_request.SetCancelCheck([this] { return m_cancelled.load(); });
}

CHttpGet::~CHttpGet() = default;

void CHttpGet::Cancel()
{
    m_cancelled = true;
    m_request.Cancel();
}

bool CHttpGet::Split(const QString& url, QString& server, QString& port, QString& object)
{
    const qsizetype schemeEnd = url.indexOf(QLatin1String("://"));
    if (schemeEnd <= 0)
        return false;
    const QString scheme = url.left(schemeEnd).toLower();
    const bool https = scheme == QLatin1String("https");
    if (!https && scheme != QLatin1String("http"))
        return false;
    const qsizetype hostStart = schemeEnd + 3;
    qsizetype hostEnd = hostStart;
    while (hostEnd < url.size() && url[hostEnd] != QLatin1Char('/') && url[hostEnd] != QLatin1Char('?') &&
           url[hostEnd] != QLatin1Char('#'))
        ++hostEnd;
    QString authority = url.mid(hostStart, hostEnd - hostStart);
    // Credentials are never part of these addresses; a user part would only be dropped by the client.
    if (authority.contains(QLatin1Char('@')))
        authority = authority.mid(authority.lastIndexOf(QLatin1Char('@')) + 1);
    // host, host:port, [v6], [v6]:port
    QString host = authority, portText;
    const qsizetype bracket = authority.lastIndexOf(QLatin1Char(']'));
    const qsizetype colon = authority.lastIndexOf(QLatin1Char(':'));
    if (colon > bracket) {
        host = authority.left(colon);
        portText = authority.mid(colon + 1);
        bool ok = false;
        const int number = portText.toInt(&ok);
        if (!ok || number < 1 || number > 65535)
            return false;
        portText = QString::number(number);
    }
    if (host.isEmpty() || host == QLatin1String("[]"))
        return false;

    // The port text counts for plain http only; an https port stays part of the server.
    server = scheme + QLatin1String("://") + host;
    if (https) {
        if (!portText.isEmpty())
            server += QLatin1Char(':') + portText;
        port.clear();
    } else {
        port = portText.isEmpty() ? QStringLiteral("80") : portText;
    }
    object = url.mid(hostEnd);
    const qsizetype fragment = object.indexOf(QLatin1Char('#'));
    if (fragment >= 0)
        object.truncate(fragment);
    while (object.startsWith(QLatin1Char('/')))
        object.remove(0, 1);
    return true;
}

CHttpGetReply CHttpGet::Get(const QString& url)
{
    CHttpGetReply reply;
    QString server, port, object;
    if (!Split(url, server, port, object)) {
        reply.error = QStringLiteral("Invalid URL");
        return reply;
    }
    if (m_cancelled) {
        reply.error = QStringLiteral("Cancelled");
        return reply;
    }
    m_request.SetServer(server);
    m_request.SetPort(port);
    m_request.SetObjectPath(object);
    // Never an https request answered over plain http: the address asked must keep the scheme given.
    const QString asked = CWebRequest::BuildUrl(server, port, object);
    if (asked.isEmpty() || !asked.startsWith(server.left(server.indexOf(QLatin1Char(':')) + 3))) {
        reply.error = QStringLiteral("Invalid URL");
        return reply;
    }
    const CWebResponse response = m_request.Get();
    if (!response.Answered()) {
        reply.error = response.Message().isEmpty() ? response.FailureText() : response.Message();
        return reply;
    }
    reply.received = true;
    reply.status = response.Status();
    reply.statusText = response.StatusText();
    reply.body = response.Body();
    return reply;
}

QString HttpBaseUrl(const QString& host)
{
    QString base = host.trimmed();
    const qsizetype scheme = base.indexOf(QLatin1String("://"));
    if (scheme < 0) {
        base.prepend(QLatin1String("https://"));
    } else {
        const QString name = base.left(scheme).toLower();
        if (name != QLatin1String("http") && name != QLatin1String("https"))
            return {};
        base = name + base.mid(scheme);
    }
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    const QUrl url(base, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || url.hasQuery() || url.hasFragment() ||
        !url.userInfo().isEmpty())
        return {};
    return base;
}
