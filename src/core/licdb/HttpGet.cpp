#include "core/licdb/HttpGet.h"

#include "core/app/Settings.h"

#include <QUrl>
#include <curl/curl.h>
#include <memory>
#include <mutex>

namespace {

struct CBody
{
    QByteArray data;
    qint64 limit = 0;
    bool tooLarge = false;
};

size_t OnData(char* data, size_t size, size_t count, void* user)
{
    auto* body = static_cast<CBody*>(user);
    const size_t bytes = size * count;
    if (body->data.size() + qint64(bytes) > body->limit) {
        body->tooLarge = true;
        return 0; // stops the transfer
    }
    body->data.append(data, qsizetype(bytes));
    return bytes;
}

struct CCurlDeleter
{
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct CListDeleter
{
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

} // namespace

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

CHttpGetOptions HttpGetOptions(const CSettings& settings)
{
    CHttpGetOptions options;
    options.connectTimeoutMs = settings.GetInt(Setting::NetConTO);
    options.receiveTimeoutMs = settings.GetInt(Setting::NetRecTO);
    return options;
}

CCurlHttpGet::CCurlHttpGet(CHttpGetOptions options) : m_options(std::move(options))
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

CHttpGetReply CCurlHttpGet::Get(const QString& url)
{
    CHttpGetReply reply;
    const QUrl parsed(url);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() || parsed.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        reply.error = QStringLiteral("Invalid URL");
        return reply;
    }
    std::unique_ptr<CURL, CCurlDeleter> curl(curl_easy_init());
    if (!curl) {
        reply.error = QStringLiteral("libcurl cannot start");
        return reply;
    }
    CURL* c = curl.get();
    CBody body;
    body.limit = m_options.maxBodyBytes;
    char errorText[CURL_ERROR_SIZE] = {};
    const QByteArray urlBytes = parsed.toEncoded();
    const QByteArray protocol = scheme.toLatin1();
    const QByteArray caFile = m_options.caFile.toLocal8Bit();
    std::unique_ptr<curl_slist, CListDeleter> headers(
        curl_slist_append(curl_slist_append(nullptr, "Pragma: no-cache"), "Cache-Control: no-cache"));
    curl_easy_setopt(c, CURLOPT_URL, urlBytes.constData());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, protocol.constData());
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS,
                     long(m_options.connectTimeoutMs > 0 ? m_options.connectTimeoutMs : 0));
    // No byte for the receive time-out in a row ends the exchange.
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME,
                     long(m_options.receiveTimeoutMs > 0 ? (m_options.receiveTimeoutMs + 999) / 1000 : 0));
    curl_easy_setopt(c, CURLOPT_USERAGENT, "Logwarden/" LOGWARDEN_VERSION);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &OnData);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &body);
    if (!caFile.isEmpty())
        curl_easy_setopt(c, CURLOPT_CAINFO, caFile.constData());

    const CURLcode rc = curl_easy_perform(c);
    if (body.tooLarge) {
        reply.error = QStringLiteral("the reply is larger than %1 bytes").arg(m_options.maxBodyBytes);
        return reply;
    }
    if (rc != CURLE_OK) {
        reply.error = errorText[0] ? QString::fromUtf8(errorText) : QString::fromUtf8(curl_easy_strerror(rc));
        return reply;
    }
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &reply.status);
    reply.received = true;
    reply.body = std::move(body.data);
    return reply;
}
