#include "core/web/HttpTransport.h"

#include <QFile>
#include <algorithm>

namespace HttpTransport {

void CEasyDeleter::operator()(CURL* c) const
{
    curl_easy_cleanup(c);
}

void Init()
{
    // A function-local static is initialised exactly once, even when threads race to it.
    static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
    (void)initialised;
}

CEasy NewEasy()
{
    Init();
    return CEasy(curl_easy_init());
}

void Apply(CURL* c, const QByteArray& url, const CHttpPolicy& policy, char* errorBuffer)
{
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    if (errorBuffer)
        curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_USERAGENT, "Logwarden/" LOGWARDEN_VERSION);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, policy.protocols);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, policy.followRedirects ? 1L : 0L);
    if (policy.followRedirects) {
        curl_easy_setopt(c, CURLOPT_MAXREDIRS, long(policy.maxRedirects));
        // A secure address is never redirected to an insecure one.
        curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR,
                         url.left(6).toLower() == "https:" ? "https" : "http,https");
        curl_easy_setopt(c, CURLOPT_UNRESTRICTED_AUTH, 0L);
    }
    if (policy.http10)
        curl_easy_setopt(c, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(policy.connectTimeoutMs));
    if (policy.stallSeconds > 0) {
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, long(std::max(1, policy.minBytesPerSecond)));
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, long(policy.stallSeconds));
    }
    if (policy.maxBytes > 0)
        curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(policy.maxBytes));
    if (!policy.caFile.isEmpty()) {
        // libcurl copies the text. The built-in certificate folder stays in use beside the file, so the
        // system's authorities keep counting.
        curl_easy_setopt(c, CURLOPT_CAINFO, QFile::encodeName(policy.caFile).constData());
    }
}

bool IsConnectFailure(CURLcode rc)
{
    switch (rc) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT: // before any byte moved, only the connect time-out is libcurl's own
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
        return true;
    default:
        return false;
    }
}

QString ErrorText(CURLcode rc, const char* errorBuffer)
{
    if (errorBuffer && errorBuffer[0])
        return QString::fromUtf8(errorBuffer);
    const char* s = curl_easy_strerror(rc);
    return s ? QString::fromUtf8(s) : QString();
}

} // namespace HttpTransport
