#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

class CMailMessage;
class QSslSocket;
class QHostAddress;

// How the connection is protected: not at all (port 25), STARTTLS (587), TLS from the first byte (465).
enum class CSmtpSecurity
{
    None,
    StartTls,
    Tls
};

struct CSmtpOptions
{
    CSmtpSecurity security = CSmtpSecurity::None;
    QString user; // empty: no authentication
    QString password;
    QString caFile; // PEM (or DER) certificates trusted besides the system's
    int connectTimeoutMs = 20000;
    int replyTimeoutMs = 60000;
};

// One SMTP connection that delivers messages: connect and greet, envelope and data, goodbye. The plain
// dialogue is HELO, MAIL, RCPT, DATA, QUIT; with STARTTLS, TLS from the first byte or a user name it
// greets with EHLO, encrypts, and authenticates with AUTH PLAIN or LOGIN (only ever over TLS). The
// server's certificate and name are always verified, against the system's store and an optional CA file.
//
// The calls block, each step bounded by a time-out, so an object belongs to one thread (a worker): it
// creates its socket on the thread that calls Connect. Every call returns a success flag; the text of
// the last failure is GetLastError(), with the server's own words or the socket's reason in
// GetLastErrorDetail().
class CSMTP
{
public:
    using Security = CSmtpSecurity;
    using COptions = CSmtpOptions;

    CSMTP(const QString& server, int port, COptions options = {});
    virtual ~CSMTP();
    CSMTP(const CSMTP&) = delete;
    CSMTP& operator=(const CSMTP&) = delete;

    // Replaces server and port; a null server text leaves both as they are.
    void SetServerProperties(const QString& server, int port);
    bool Connect();
    bool SendMessage(CMailMessage& message);
    bool Disconnect();
    bool IsConnected() const { return m_bConnected; }
    // The last Connect() failed before a dialogue could begin: no connection, no greeting, or no TLS.
    // The server itself is out of reach (not a refusal of this message).
    bool IsConnectionFailure() const { return m_bConnectionFailure; }

    QString GetLastError() const { return m_sError; }
    QString GetLastErrorDetail() const { return m_sErrorDetail; }
    // The last error with its detail in parentheses, for a report.
    QString GetErrorText() const;
    // The EHLO keywords of the server (upper case, "AUTH PLAIN LOGIN" as "AUTH PLAIN LOGIN"); empty after
    // HELO.
    const QStringList& GetExtensions() const { return m_extensions; }

    // The name this host gives in HELO/EHLO: its fully qualified name, else the address literal of the
    // connection's local address ("[192.0.2.1]", "[IPv6:2001:db8::1]").
    static QString HeloName(const QHostAddress& localAddress);

protected:
    virtual bool FormatMailMessage(CMailMessage& message);
    virtual bool Transmit(CMailMessage& message);

private:
    enum ResponseKind
    {
        GenericSuccess,
        ConnectSuccess,
        DataSuccess,
        QuitSuccess,
        StartTlsReady,
        AuthSuccess,
        AuthContinue,
        RecipientOk
    };

    bool GetResponse(ResponseKind kind);
    bool ReadLine(QByteArray& line, qint64 deadlineMs);
    bool Send(const QByteArray& text);
    // Header and body as DATA: every line that starts with "." gets another, every line end is CR LF.
    bool SendData(const QByteArray& header, const QByteArray& body);
    bool Flush(qsizetype limit);
    bool Hello(bool extended);
    bool StartTls();
    bool Authenticate();
    void Fail(const QString& error, const QString& detail = {});
    void SocketFail(const QString& error);
    void Close();
    QString SslErrorText() const;

    QString m_sError = QStringLiteral("OK");
    QString m_sErrorDetail;
    bool m_bConnected = false;
    bool m_bBroken = false; // the dialogue is out of step (time-out, lost connection): no QUIT
    bool m_bConnectionFailure = false;
    int m_nPort;
    QString m_sServer;
    COptions m_options;
    std::unique_ptr<QSslSocket> m_socket;
    QByteArray m_pending; // received, not yet read
    QStringList m_reply;  // the lines of the last reply, codes included
    QStringList m_extensions;
};
