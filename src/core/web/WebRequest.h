#pragma once

#include "core/jobs/Progress.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

class CCredentialCache;
class CSettings;

// Time-outs and retries of an HTTP exchange, in milliseconds. Read them from the settings on the thread
// that owns the settings (FromSettings) and hand the values to a request that may run elsewhere.
//
// What each limit means:
//   connectTimeoutMs     making the connection, TLS handshake included, per attempt
//   connectRetries       extra attempts when no connection could be made at all (a request is never
//                        sent twice: once connected, a failure is final)
//   sendTimeoutMs        longest silence while the request head is going out
//   dataSendTimeoutMs    longest silence while the request body is going out
//   receiveTimeoutMs     longest wait for the answer's status line and head once the request is sent
//   dataReceiveTimeoutMs longest silence between two pieces of the answer's body
// The four silences are inactivity limits. Beside them, the whole exchange (the answer to a 401 included)
// ends after exchangeTimeoutMs, and a server that keeps the transfer alive with a byte now and then (less
// than minBytesPerSecond over any rateWindowMs while the request or the answer is moving) is given up.
struct CWebOptions
{
    int connectTimeoutMs = 15000;
    int connectRetries = 1;
    int sendTimeoutMs = 5000;
    int dataSendTimeoutMs = 5000;
    int receiveTimeoutMs = 5000;
    int dataReceiveTimeoutMs = 5000;
    // 0: no limit.
    int exchangeTimeoutMs = 60000;
    int minBytesPerSecond = 64;
    int rateWindowMs = 10000;
    // An answer larger than this is abandoned (a misbehaving server cannot fill the memory).
    qint64 maxBodyBytes = 32LL * 1024 * 1024;
    // Certificate authorities to trust for https, in PEM; empty: the system's.
    QString caFile;

    // Section "NetSettings": NetConTO, NetRetNum, NetSndTO, NetDataSndTO, NetRecTO, NetDataRecTO,
    // NetExchangeTO.
    // NetCtrlSndTO and NetCtrlRecTO are read first and always superseded by NetSndTO and NetRecTO. A value
    // of 0 or less, or text that is no number, takes the setting's default.
    static CWebOptions FromSettings(const CSettings& settings);
};

// The outcome of one exchange.
class CWebResponse
{
public:
    enum class Outcome
    {
        Answered,       // the server answered; Status() tells with what
        NoSession,      // the transport could not be set up
        InvalidUrl,     // the server text names no http or https server
        ConnectFailed,  // no connection (refused, unknown host, connect time-out, TLS failure)
        AccessDenied,   // 401 and no (or no accepted) credentials
        TimedOut,       // connected, then the server fell silent past a limit
        TransportError, // connected, then the exchange broke off
        Cancelled,      // Cancel() or the progress callback stopped it
    };

    Outcome GetOutcome() const { return m_outcome; }
    bool Answered() const { return m_outcome == Outcome::Answered; }
    // Answered with a 2xx status.
    bool IsSuccess() const { return Answered() && m_status >= 200 && m_status < 300; }
    int Status() const { return m_status; }
    // The status line's reason phrase as the server sent it ("Service Unavailable").
    const QString& Reason() const { return m_reason; }
    // "503 Service Unavailable".
    QString StatusText() const;

    // The answer's body as it arrived.
    const QByteArray& Body() const { return m_body; }
    // The body without carriage returns (line feeds kept), as the readers of club pages take it.
    QByteArray BodyWithoutCr() const;
    // The same as text: UTF-8 when it is valid UTF-8, else ISO-8859-1.
    QString Text() const;
    // A header of the answer (the last one of that name, case ignored); empty when absent.
    QByteArray Header(const QByteArray& name) const;
    const QList<QPair<QByteArray, QByteArray>>& Headers() const { return m_headers; }

    // What went wrong, for the operator: "Invalid URL", "Access denied: Invalid password", the
    // transport's own reason...; empty when the server answered.
    const QString& Message() const { return m_message; }
    // Why the exchange did not succeed: the status text for a non-2xx answer, else Message(); empty on
    // success.
    QString FailureText() const;
    // What the old request operation returned: the body text when the server answered, else the fixed
    // text of the failure ("Not a good session identifier", "Invalid URL", "Access denied: Invalid
    // password"), else nothing.
    QString FetchText() const;

    // Seconds from sending the request to the end of the answer, on a monotonic clock.
    double Seconds() const { return m_seconds; }
    // "Post took 0.123 seconds." for the status bar.
    QString TookText() const;
    // The address asked for (after the server text was read).
    const QString& Url() const { return m_url; }

private:
    friend class CWebRequest;
    Outcome m_outcome = Outcome::NoSession;
    int m_status = 0;
    QString m_reason;
    QByteArray m_body;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    QString m_message;
    double m_seconds = 0;
    QString m_url;
};

// One HTTP exchange with a server: the only HTTP client of the program (net-log upload, pre-net and
// station listings, net report, callbook and database-status queries).
//
// Configure it with a server text, a port text and an object path, then call Get() or Post(). Values
// persist across exchanges until set again; one object may run any number of exchanges, one at a time
// and on one thread at a time (build it on one thread and use it on another if you like). Only Cancel()
// may be called from another thread while an exchange runs.
//
// The address: the server text may carry a scheme ("https://club.example.org"), a port
// ("club.example.org:8080") and a path below which the object path lies ("club.example.org/net");
// without a scheme it is http. The port text applies to plain http only and only when the server text
// has no port of its own (a scheme sets its own default port). A "user@host" server text connects to the
// host; its user part is never sent. An empty object path fetches the server text's address itself, so a
// whole URL may be given as the server text. Characters that may not stand in a URL (blanks, controls,
// non-ASCII) are percent-encoded; everything else is sent as given.
//
// The exchange: HTTP/1.0, "Pragma: no-cache" and "Cache-Control: no-cache", redirections are not followed
// (a 3xx is an answer like any other), the proxy from the environment, the time-outs of CWebOptions. An
// answer of any status is read whole (unless SetAnswerBodyNeeded(false)); IsSuccess() tells a 2xx from
// the rest.
//
// Credentials go only to the server that asks for them, and only in answer to its 401, never ahead of it:
// a user name and password are tried in the scheme of the server's challenge (Digest when it offers
// Digest, else Basic; nothing for other schemes). Answering a 401, the request tries, each at most once:
// what the credential cache holds for that server (scheme, host, port) and realm, then the user name and
// password set with SetUserName()/SetPassword(), then the credentials prompt. "Access denied: Invalid
// password" when none of them is there or accepted. Credentials the server accepted go into the cache
// (the object's own unless one is shared with SetCredentialCache()); a cached one it refuses is dropped.
class CWebRequest
{
public:
    // Called on the exchange's thread when the server asks for credentials. url: the address; realm: the
    // server's realm text. Fill user and password (they come preset with the ones last used) and return
    // true to try them; false cancels.
    using CredentialsPrompt =
        std::function<bool(const QString& url, const QString& realm, QString& user, QString& password)>;

    CWebRequest();
    explicit CWebRequest(const CWebOptions& options);
    virtual ~CWebRequest();
    CWebRequest(const CWebRequest&) = delete;
    CWebRequest& operator=(const CWebRequest&) = delete;

    void SetServer(const QString& server) { m_server = server; }
    void SetPort(const QString& port) { m_port = port; }
    void SetObjectPath(const QString& path) { m_objectPath = path; }
    void SetUserName(const QString& user) { m_user = user; }
    void SetPassword(const QString& password) { m_password = password; }
    void SetOptions(const CWebOptions& options) { m_options = options; }
    // With progress display off, the progress is not told how far the exchange has come (it is still
    // asked whether to stop).
    void SetProgressDisplay(bool on) { m_progressDisplay = on; }
    // Told on the exchange's thread a few times a second and whenever bytes move: the bytes of the
    // request body sent plus those of the answer's body received, of both totals (-1 while the answer's
    // is unknown). Looked at every few milliseconds: cancelling it stops the exchange. Null: none.
    void SetProgress(CProgress* progress) { m_progress = progress; }
    void SetCredentialsPrompt(CredentialsPrompt prompt) { m_prompt = std::move(prompt); }
    // Where accepted credentials are kept, keyed by server and realm; null: the object's own.
    void SetCredentialCache(std::shared_ptr<CCredentialCache> cache);
    const std::shared_ptr<CCredentialCache>& CredentialCache() const { return m_cache; }
    // False: the exchange ends as soon as the answer's status and head have arrived (an upload whose
    // answer page nobody reads); Body() is then empty.
    void SetAnswerBodyNeeded(bool needed) { m_answerBodyNeeded = needed; }

    const QString& GetServer() const { return m_server; }
    const QString& GetPort() const { return m_port; }
    const QString& GetObjectPath() const { return m_objectPath; }
    const QString& GetUserName() const { return m_user; }
    const QString& GetPassword() const { return m_password; }
    const CWebOptions& GetOptions() const { return m_options; }
    bool GetProgressDisplay() const { return m_progressDisplay; }

    CWebResponse Get();
    // Sends body with a "Content-Type: contentType" header ("text/html; charset=iso-8859-1").
    CWebResponse Post(const QByteArray& body, const QByteArray& contentType);
    // A GET, returning its FetchText().
    QString Fetch();
    // A GET of a whole "http(s)://host[:port]/path?query" address: the address becomes the server text,
    // port text and object path (SplitUrl), so its scheme is kept and an https address is never asked
    // over plain http. "Invalid URL" when it names no http or https host.
    CWebResponse GetUrl(const QString& url);

    // Stops a running exchange from any thread; it ends as Cancelled within a fraction of a second. The
    // flag is cleared when the next exchange starts.
    void Cancel() { m_cancel = true; }
    // Stops the exchange under way and refuses every later one, which ends as Cancelled without being
    // sent (the owner is going away).
    void Close()
    {
        m_closed = true;
        m_cancel = true;
    }

    // The address an exchange would ask for; empty when the texts name no http or https server.
    static QString BuildUrl(const QString& server, const QString& port, const QString& objectPath);
    // The server text, port text and object path a whole address is asked with; false when it names no
    // http or https host. The port text counts for plain http only; an https port stays in the server.
    static bool SplitUrl(const QString& url, QString& server, QString& port, QString& object);

private:
    CWebResponse Run(const QByteArray* body, const QByteArray& contentType);
    bool Cancelled() const { return m_cancel || m_closed || (m_progress && m_progress->IsCancelled()); }

    CWebOptions m_options;
    QString m_server;
    QString m_port;
    QString m_objectPath;
    QString m_user;
    QString m_password;
    std::shared_ptr<CCredentialCache> m_cache;
    bool m_answerBodyNeeded = true;
    bool m_progressDisplay = true;
    CProgress* m_progress = nullptr;
    CredentialsPrompt m_prompt;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_closed{false};
};

// The address of a host setting: "https://" is put in front of a host that names no scheme, a trailing
// "/" is dropped. Empty when the host is empty, names a scheme other than http and https, or carries
// a user, a query or a fragment.
QString HttpBaseUrl(const QString& host);
