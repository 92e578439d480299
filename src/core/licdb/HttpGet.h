#pragma once

#include <QByteArray>
#include <QString>

class CSettings;

// What one HTTP GET brought back.
struct CHttpGetReply
{
    bool received = false; // the server answered (with any status); false: no answer, see error
    long status = 0;       // the HTTP status when received
    QByteArray body;
    // Why nothing was received (no connection, time-out, TLS failure). Never holds the URL, which may
    // carry a password.
    QString error;
};

// The one HTTP exchange the callbook look-up and the database status check need: GET a URL, get the
// body back. The callers build whole URLs ("https://host/path?query"); the transport keeps to the
// URL's scheme (never an https request answered over plain http), follows no redirection and keeps no
// cache. Calls come from one thread at a time.
class CHttpGet
{
public:
    virtual ~CHttpGet() = default;
    virtual CHttpGetReply Get(const QString& url) = 0;
};

struct CHttpGetOptions
{
    int connectTimeoutMs = 15000;
    // An answer that stalls this long is given up.
    int receiveTimeoutMs = 5000;
    // A body larger than this is cut off and reported as an error (pages and callbook replies are small).
    qint64 maxBodyBytes = 16 * 1024 * 1024;
    // Certificate authorities to trust instead of the system's (for a test server); empty: the system's.
    QString caFile;
};

// The address of a host setting: "https://" is put in front of a host that names no scheme, a trailing
// "/" is dropped. Empty when the host is empty, names a scheme other than http and https, or carries
// a user, a query or a fragment.
QString HttpBaseUrl(const QString& host);

// The time-outs of the settings (NetSettings/NetConTO and NetRecTO).
CHttpGetOptions HttpGetOptions(const CSettings& settings);

// A plain libcurl GET, HTTP/1.0, no cache, no redirection.
class CCurlHttpGet final : public CHttpGet
{
public:
    explicit CCurlHttpGet(CHttpGetOptions options = {});
    CHttpGetReply Get(const QString& url) override;

private:
    CHttpGetOptions m_options;
};
