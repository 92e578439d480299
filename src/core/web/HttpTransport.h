#pragma once

#include <QByteArray>
#include <QString>
#include <curl/curl.h>
#include <memory>

// What every transfer of the program agrees on, whoever starts it (a file download, a page exchange):
// the protocols allowed, redirections, trust, time-outs and the size an answer may have.
struct CHttpPolicy
{
    // The protocols the address may name, in libcurl's list form.
    const char* protocols = "http,https";
    // Redirections are a per-request choice. A followed one never leaves https for plain http, and
    // credentials are never carried on to another host.
    bool followRedirects = false;
    int maxRedirects = 5;
    int connectTimeoutMs = 15000;
    // A transfer slower than minBytesPerSecond for stallSeconds in a row is ended as timed out.
    // stallSeconds 0: not applied here (the caller measures the rate itself).
    int minBytesPerSecond = 0;
    int stallSeconds = 0;
    // A length announced beyond this is refused before the first byte; 0: no limit. The caller still
    // counts what arrives, since a server need not announce anything.
    qint64 maxBytes = 0;
    // Certificate authorities trusted for https in addition to the system's (PEM); empty: the system's.
    QString caFile;
    bool http10 = false;
};

// The one libcurl transport. Proxies come from the environment (http_proxy, https_proxy, no_proxy) as
// libcurl reads them; libcurl is initialised once per process, on first use.
namespace HttpTransport {

struct CEasyDeleter
{
    void operator()(CURL* c) const;
};
using CEasy = std::unique_ptr<CURL, CEasyDeleter>;

// Runs curl_global_init the first time it is called, from whichever thread.
void Init();

// A new handle (null when libcurl cannot make one).
CEasy NewEasy();

// Puts the policy on a handle, with the address to ask for and a buffer of CURL_ERROR_SIZE bytes for
// libcurl's own reason. Options already set stay unless the policy names them.
void Apply(CURL* c, const QByteArray& url, const CHttpPolicy& policy, char* errorBuffer);

// No connection was made: refused, unknown host, connect time-out, TLS handshake or trust failure.
bool IsConnectFailure(CURLcode rc);

// libcurl's reason for rc: the error buffer's text when it has one, else the code's text.
QString ErrorText(CURLcode rc, const char* errorBuffer);

} // namespace HttpTransport
