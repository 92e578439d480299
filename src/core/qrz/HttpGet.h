#pragma once

#include "core/web/WebRequest.h"

#include <QByteArray>
#include <QString>
#include <atomic>

// What one HTTP GET brought back.
struct CHttpGetReply
{
    bool received = false; // the server answered (with any status); false: no answer, see error
    long status = 0;       // the HTTP status when received
    QString statusText;    // "404 Not Found"
    QByteArray body;
    // Why nothing was received (no connection, time-out, TLS failure). Never holds the URL, which may
    // carry a password.
    QString error;
};

// The one HTTP exchange the callbook look-up and the database status check need: GET a whole URL
// ("https://host:port/path?query"), get the body back. It goes through the program's HTTP client
// (CWebRequest, with its time-outs, no cache and no redirection): the URL is split into the request's
// server, port and object, and the URL's scheme is kept, so an https address is never asked over plain
// http. Calls come from one thread at a time; Cancel() from any thread.
class CHttpGet
{
public:
    explicit CHttpGet(const CWebOptions& options = {});
    ~CHttpGet();
    CHttpGet(const CHttpGet&) = delete;
    CHttpGet& operator=(const CHttpGet&) = delete;

    CHttpGetReply Get(const QString& url);

    // Stops the exchange under way and refuses every later one (the owner is going away).
    void Cancel();

    // The server text, port text and object path a URL is asked with; false when the URL names no
    // http or https host.
    static bool Split(const QString& url, QString& server, QString& port, QString& object);

private:
    CWebRequest m_request;
    std::atomic<bool> m_cancelled{false};
};

// The address of a host setting: "https://" is put in front of a host that names no scheme, a trailing
// "/" is dropped. Empty when the host is empty, names a scheme other than http and https, or carries
// a user, a query or a fragment.
QString HttpBaseUrl(const QString& host);
