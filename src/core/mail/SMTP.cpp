#include "core/mail/SMTP.h"

#include "core/mail/Base64.h"
#include "core/mail/MailMessage.h"
#include "core/mail/MailText.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QNetworkProxy>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QThread>
#include <cstring>
#include <netdb.h>
#include <unistd.h>

namespace {

struct CReplyKind
{
    int code;
    int alternative; // another code that also means success, or 0
    const char* failure;
};

// Indexed by CSMTP's ResponseKind.
const CReplyKind kReplies[] = {
    {250, 0, "SMTP server error"},
    {220, 0, "SMTP server not available"},
    {354, 0, "SMTP server not ready for data"},
    {221, 0, "SMTP server didn't terminate session"},
    {220, 0, "SMTP server refused STARTTLS"},
    {235, 0, "SMTP authentication failed"},
    {334, 0, "SMTP authentication failed"},
    {250, 251, "SMTP server error"}, // 251: not local, will be forwarded
};

// Longest reply line taken (RFC 5321 allows 512 octets); a longer one means the peer is not speaking SMTP.
constexpr qsizetype kMaxLine = 4096;
// Bytes handed to the socket at a time, and how many may wait in its buffer.
constexpr qsizetype kChunk = 64 * 1024;
constexpr qsizetype kMaxBuffered = 1024 * 1024;

// The reply code: blanks, an optional sign, then the digits among the first three characters.
int ReplyCode(const QByteArray& line)
{
    const QByteArray head = line.left(3);
    qsizetype i = 0;
    while (i < head.size() && (head[i] == ' ' || head[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < head.size() && (head[i] == '+' || head[i] == '-'))
        negative = head[i++] == '-';
    int code = 0;
    for (; i < head.size() && head[i] >= '0' && head[i] <= '9'; ++i)
        code = code * 10 + (head[i] - '0');
    return negative ? -code : code;
}

QString HostFqdn()
{
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0)
        return {};
    QString name = QString::fromLocal8Bit(host);
    addrinfo hints{};
    hints.ai_flags = AI_CANONNAME;
    addrinfo* result = nullptr;
    if (::getaddrinfo(host, nullptr, &hints, &result) == 0 && result) {
        if (result->ai_canonname)
            name = QString::fromLocal8Bit(result->ai_canonname);
        ::freeaddrinfo(result);
    }
    // A short name, or one of the loopback names, fails the checks of many servers.
    if (!name.contains(QLatin1Char('.')) || name.startsWith(QLatin1String("localhost")) ||
        name.endsWith(QLatin1Char('.')))
        return {};
    return name;
}

} // namespace

CSMTP::CSMTP(const QString& server, int port, COptions options)
    : m_nPort(port), m_sServer(server), m_options(std::move(options))
{
}

CSMTP::~CSMTP()
{
    Disconnect();
    Close();
}

void CSMTP::SetServerProperties(const QString& server, int port)
{
    if (server.isNull())
        return;
    m_sServer = server;
    m_nPort = port;
}

QString CSMTP::GetErrorText() const
{
    return m_sErrorDetail.isEmpty() ? m_sError : QStringLiteral("%1 (%2)").arg(m_sError, m_sErrorDetail);
}

QString CSMTP::HeloName(const QHostAddress& localAddress)
{
    static const QString fqdn = HostFqdn();
    if (!fqdn.isEmpty())
        return fqdn;
    bool isV4 = false;
    const quint32 v4 = localAddress.toIPv4Address(&isV4);
    if (isV4)
        return QStringLiteral("[%1]").arg(QHostAddress(v4).toString());
    QHostAddress plain(localAddress);
    plain.setScopeId({});
    return QStringLiteral("[IPv6:%1]").arg(plain.toString());
}

void CSMTP::Fail(const QString& error, const QString& detail)
{
    m_sError = error;
    m_sErrorDetail = detail;
}

void CSMTP::SocketFail(const QString& error)
{
    QString detail = m_socket ? m_socket->errorString() : QString();
    if (m_socket && m_socket->error() == QAbstractSocket::SocketTimeoutError)
        detail = QStringLiteral("no answer within %1 s").arg(m_options.replyTimeoutMs / 1000.0);
    Fail(error, detail);
    m_bBroken = true;
}

QString CSMTP::SslErrorText() const
{
    QStringList texts;
    for (const QSslError& e : m_socket->sslHandshakeErrors())
        texts << e.errorString();
    if (texts.isEmpty())
        texts << m_socket->errorString();
    texts.removeDuplicates();
    return texts.join(QStringLiteral("; "));
}

void CSMTP::Close()
{
    if (m_socket) {
        m_socket->abort();
        m_socket.reset();
    }
    m_pending.clear();
    m_extensions.clear();
    m_bConnected = false;
    m_bBroken = false;
}

bool CSMTP::ReadLine(QByteArray& line, qint64 deadlineMs)
{
    const QDeadlineTimer deadline(deadlineMs);
    for (;;) {
        m_pending += m_socket->readAll();
        const qsizetype end = m_pending.indexOf('\n');
        if (end >= 0) {
            line = m_pending.left(end);
            m_pending.remove(0, end + 1);
            if (line.endsWith('\r'))
                line.chop(1);
            return true;
        }
        if (m_pending.size() > kMaxLine) {
            Fail(QStringLiteral("Socket Error"),
                 QStringLiteral("the server sent a line of more than %1 bytes").arg(kMaxLine));
            m_bBroken = true;
            return false;
        }
        const qint64 left = deadline.remainingTime();
        if (left == 0 || !m_socket->waitForReadyRead(static_cast<int>(left))) {
            if (m_socket->bytesAvailable() > 0)
                continue;
            SocketFail(QStringLiteral("Socket Error"));
            if (left == 0 || deadline.hasExpired())
                m_sErrorDetail =
                    QStringLiteral("no answer within %1 s").arg(m_options.replyTimeoutMs / 1000.0);
            return false;
        }
    }
}

bool CSMTP::GetResponse(ResponseKind kind)
{
    // A reply is every line up to the first whose fourth character is not "-" ("250-..." continues,
    // "250 ..." ends it); all lines carry the same code.
    m_reply.clear();
    const QDeadlineTimer deadline(m_options.replyTimeoutMs);
    QByteArray line;
    for (;;) {
        if (!ReadLine(line, std::max<qint64>(deadline.remainingTime(), 0)))
            return false;
        m_reply << QString::fromUtf8(line);
        if (line.size() < 4 || line[3] != '-')
            break;
        if (m_reply.size() > 1000) {
            Fail(QStringLiteral("Socket Error"), QStringLiteral("the server's reply does not end"));
            m_bBroken = true;
            return false;
        }
    }
    const CReplyKind& expected = kReplies[kind];
    const int code = ReplyCode(line);
    if (code == expected.code || (expected.alternative != 0 && code == expected.alternative))
        return true;
    Fail(QStringLiteral("%1:%2").arg(code).arg(QLatin1String(expected.failure)),
         m_reply.join(QStringLiteral(" / ")));
    return false;
}

bool CSMTP::Flush(qsizetype limit)
{
    while (m_socket->bytesToWrite() > limit) {
        if (!m_socket->waitForBytesWritten(m_options.replyTimeoutMs)) {
            SocketFail(QStringLiteral("Socket Error"));
            return false;
        }
    }
    return true;
}

bool CSMTP::Send(const QByteArray& text)
{
    if (m_socket->write(text) != text.size()) {
        SocketFail(QStringLiteral("Socket Error"));
        return false;
    }
    return Flush(0);
}

bool CSMTP::SendData(const QByteArray& header, const QByteArray& body)
{
    QByteArray out;
    out.reserve(kChunk + 1024);
    bool lineStart = true;
    const auto put = [&](const QByteArray& text) {
        const char* p = text.constData();
        const qsizetype n = text.size();
        qsizetype i = 0;
        while (i < n) {
            // Transparency: the receiver removes the first dot of every line that starts with one.
            if (lineStart && p[i] == '.')
                out += '.';
            const auto* lf = static_cast<const char*>(std::memchr(p + i, '\n', static_cast<size_t>(n - i)));
            const qsizetype lineEnd = lf ? lf - p : n;
            const auto* cr =
                static_cast<const char*>(std::memchr(p + i, '\r', static_cast<size_t>(lineEnd - i)));
            const qsizetype contentEnd = cr ? cr - p : lineEnd;
            out.append(p + i, contentEnd - i);
            if (contentEnd < n) {
                // CR LF, a lone CR or a lone LF: all go as CR LF.
                out += "\r\n";
                i = (cr && contentEnd + 1 == lineEnd) ? lineEnd + 1 : contentEnd + 1;
                lineStart = true;
            } else {
                i = n;
                lineStart = false;
            }
            if (out.size() >= kChunk) {
                if (m_socket->write(out) != out.size()) {
                    SocketFail(QStringLiteral("Socket Error"));
                    return false;
                }
                out.clear();
                if (!Flush(kMaxBuffered))
                    return false;
            }
        }
        return true;
    };
    if (!put(header) || !put(body))
        return false;
    return Send(out);
}

bool CSMTP::Hello(bool extended)
{
    const QString name = HeloName(m_socket->localAddress());
    if (!Send((extended ? "EHLO " : "HELO ") + name.toUtf8() + "\r\n") || !GetResponse(GenericSuccess))
        return false;
    m_extensions.clear();
    if (extended) {
        for (qsizetype i = 1; i < m_reply.size(); ++i)
            m_extensions << m_reply[i].mid(4).trimmed().toUpper();
    }
    return true;
}

bool CSMTP::StartTls()
{
    const bool offered = std::any_of(m_extensions.begin(), m_extensions.end(), [](const QString& e) {
        return e.section(QLatin1Char(' '), 0, 0) == QLatin1String("STARTTLS");
    });
    if (!offered) {
        Fail(QStringLiteral("The server does not offer STARTTLS"),
             QStringLiteral("nothing was sent without encryption"));
        return false;
    }
    if (!Send("STARTTLS\r\n") || !GetResponse(StartTlsReady))
        return false;
    // Anything the server sent after its 220 came before encryption and may have been injected.
    if (!m_pending.isEmpty() || m_socket->bytesAvailable() > 0) {
        Fail(QStringLiteral("TLS handshake failed"),
             QStringLiteral("the server sent data before the handshake"));
        m_bBroken = true;
        return false;
    }
    m_socket->startClientEncryption();
    if (!m_socket->waitForEncrypted(m_options.connectTimeoutMs)) {
        Fail(QStringLiteral("TLS handshake failed"), SslErrorText());
        m_bConnectionFailure = true;
        m_bBroken = true;
        return false;
    }
    // What the server said before the handshake no longer counts.
    return Hello(true);
}

bool CSMTP::Authenticate()
{
    if (!m_socket->isEncrypted()) {
        Fail(QStringLiteral("Authentication needs an encrypted connection: choose STARTTLS or TLS"));
        return false;
    }
    QStringList mechanisms;
    for (const QString& e : m_extensions) {
        if (e.startsWith(QLatin1String("AUTH ")) || e.startsWith(QLatin1String("AUTH=")))
            mechanisms << e.mid(5).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    }
    const QByteArray user = m_options.user.toUtf8();
    const QByteArray password = m_options.password.toUtf8();
    if (mechanisms.contains(QLatin1String("PLAIN"))) {
        const QByteArray token = CBase64::Encode(QByteArray(1, '\0') + user + QByteArray(1, '\0') + password);
        return Send("AUTH PLAIN " + token + "\r\n") && GetResponse(AuthSuccess);
    }
    if (mechanisms.contains(QLatin1String("LOGIN"))) {
        return Send("AUTH LOGIN\r\n") && GetResponse(AuthContinue) && Send(CBase64::Encode(user) + "\r\n") &&
               GetResponse(AuthContinue) && Send(CBase64::Encode(password) + "\r\n") &&
               GetResponse(AuthSuccess);
    }
    Fail(QStringLiteral("The server offers neither AUTH PLAIN nor AUTH LOGIN"),
         mechanisms.isEmpty() ? QStringLiteral("it offers no authentication")
                              : mechanisms.join(QLatin1Char(' ')));
    return false;
}

bool CSMTP::Connect()
{
    if (m_bConnected)
        return true;
    Close();
    m_bConnectionFailure = false;
    const bool tls = m_options.security != Security::None;
    if (!m_options.user.isEmpty() && !tls) {
        Fail(QStringLiteral("Authentication needs an encrypted connection: choose STARTTLS or TLS"),
             QStringLiteral("the password is never sent in the clear"));
        return false;
    }
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    if (tls) {
        if (!QSslSocket::supportsSsl()) {
            Fail(QStringLiteral("TLS is not available on this system"));
            return false;
        }
        QList<QSslCertificate> cas = QSslConfiguration::systemCaCertificates();
        if (!m_options.caFile.isEmpty()) {
            QFile file(m_options.caFile);
            if (!file.open(QIODevice::ReadOnly)) {
                Fail(QStringLiteral("Cannot read the CA file \"%1\"").arg(m_options.caFile),
                     file.errorString());
                return false;
            }
            const QByteArray data = file.readAll();
            QList<QSslCertificate> own = QSslCertificate::fromData(data, QSsl::Pem);
            if (own.isEmpty())
                own = QSslCertificate::fromData(data, QSsl::Der);
            if (own.isEmpty()) {
                Fail(QStringLiteral("Cannot read the CA file \"%1\"").arg(m_options.caFile),
                     QStringLiteral("it holds no certificate"));
                return false;
            }
            cas += own;
        }
        config.setCaCertificates(cas);
        config.setPeerVerifyMode(QSslSocket::VerifyPeer);
        config.setProtocol(QSsl::TlsV1_2OrLater);
    }

    // The socket's notifiers want an event dispatcher on this thread; a worker started as a plain
    // thread has none until an event loop is made.
    if (!QThread::currentThread()->eventDispatcher())
        QEventLoop makesDispatcher;
    m_socket = std::make_unique<QSslSocket>();
    m_socket->setProxy(QNetworkProxy::NoProxy);
    m_socket->setSslConfiguration(config);
    m_socket->setPeerVerifyName(m_sServer);
    if (m_options.security == Security::Tls)
        m_socket->connectToHostEncrypted(m_sServer, static_cast<quint16>(m_nPort));
    else
        m_socket->connectToHost(m_sServer, static_cast<quint16>(m_nPort));
    if (!m_socket->waitForConnected(m_options.connectTimeoutMs)) {
        Fail(QStringLiteral("Unable to connect to server"),
             m_socket->error() == QAbstractSocket::SocketTimeoutError
                 ? QStringLiteral("no connection within %1 s").arg(m_options.connectTimeoutMs / 1000.0)
                 : m_socket->errorString());
        m_bConnectionFailure = true;
        Close();
        return false;
    }
    if (m_options.security == Security::Tls && !m_socket->waitForEncrypted(m_options.connectTimeoutMs)) {
        Fail(QStringLiteral("TLS handshake failed"), SslErrorText());
        m_bConnectionFailure = true;
        Close();
        return false;
    }
    if (!GetResponse(ConnectSuccess)) {
        m_sError = QStringLiteral("Server didn't respond.");
        m_bConnectionFailure = true;
        Close();
        return false;
    }
    // The plain dialogue greets with HELO; anything more needs the server's extensions.
    const bool extended = tls || !m_options.user.isEmpty();
    if (!Hello(extended) || (m_options.security == Security::StartTls && !StartTls()) ||
        (!m_options.user.isEmpty() && !Authenticate())) {
        Close();
        return false;
    }
    m_bConnected = true;
    return true;
}

bool CSMTP::FormatMailMessage(CMailMessage& message)
{
    if (message.GetNumRecipients() == 0) {
        Fail(QStringLiteral("No Recipients"));
        return false;
    }
    const QString refused = message.Check();
    if (!refused.isEmpty()) {
        Fail(refused);
        return false;
    }
    if (!message.FormatMessage()) {
        Fail(message.GetFormatError());
        return false;
    }
    return true;
}

bool CSMTP::SendMessage(CMailMessage& message)
{
    if (!m_bConnected) {
        Fail(QStringLiteral("Must be connected"));
        return false;
    }
    if (!FormatMailMessage(message))
        return false;
    return Transmit(message);
}

bool CSMTP::Transmit(CMailMessage& message)
{
    if (!m_bConnected) {
        Fail(QStringLiteral("Must be connected"));
        return false;
    }
    // The envelope takes the address alone; the header keeps the display form.
    if (!Send("MAIL From: <" + message.GetEnvelopeSender().toUtf8() + ">\r\n") ||
        !GetResponse(GenericSuccess))
        return false;
    int accepted = 0;
    for (int i = 0; i < message.GetNumRecipients(); ++i) {
        QString address, name;
        message.GetRecipient(i, address, name);
        if (!Send("RCPT TO: <" + MailText::WireAddress(address).toLatin1() + ">\r\n"))
            return false;
        // A refused recipient leaves its text in the last error; the others still get the message.
        if (GetResponse(RecipientOk))
            ++accepted;
        else if (m_bBroken)
            return false;
    }
    if (accepted == 0) {
        // No one to deliver to: the refusal says more than DATA's "no valid recipients" would.
        const QString error = m_sError, detail = m_sErrorDetail;
        if (Send("RSET\r\n"))
            GetResponse(GenericSuccess);
        if (!m_bBroken)
            Fail(error, detail);
        return false;
    }
    if (!Send("DATA\r\n") || !GetResponse(DataSuccess))
        return false;
    if (!SendData(message.GetHeader(), message.GetFormattedBody()) || !Send("\r\n.\r\n"))
        return false;
    return GetResponse(GenericSuccess);
}

bool CSMTP::Disconnect()
{
    if (!m_bConnected)
        return true;
    bool ok = false;
    if (!m_bBroken)
        ok = Send("QUIT\r\n") && GetResponse(QuitSuccess);
    Close();
    return ok;
}
