#include "core/app/Clock.h"
#include "core/mail/MIMEMessage.h"
#include "core/mail/MIMETypeManager.h"
#include "core/mail/SMTP.h"
#include "support/MailSupport.h"
#include "support/ServerProcess.h"
#include "support/TestSupport.h"

#include <QHostAddress>
#include <QJsonArray>
#include <QtTest>

using namespace TestSupport;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(CSMTP::Security)

namespace {

const QByteArray kHeader =
    "From: \"N0CALL Net\" <n0call@example.org>\r\nTo: <bob@example.org>\r\n"
    "Date: Thu, 07 Mar 2024 21:05:09 -0500\r\nSubject: Net tonight\r\nX-Mailer: QV Mail\r\n"
    "Message-ID: <1@example.org>\r\n\r\n"_ba;
// The body ".\n.x\n..\nlast" on the wire: every line that starts with a dot gets another.
const QByteArray kData = kHeader + "..\r\n..x\r\n...\r\nlast\r\n\r\n.\r\n";
const QByteArray kEnvelope =
    "HELO {helo}\r\nMAIL From: <n0call@example.org>\r\nRCPT TO: <bob@example.org>\r\n"_ba;

// One message to the recipients given, dated 2024-03-07 21:05:09 -0500.
struct CTestMessage : CMailMessage
{
    CFixedClock clock{QDateTime(QDate(2024, 3, 7), QTime(21, 5, 9), Qt::OffsetFromUTC, -5 * 3600)};
    explicit CTestMessage(const QStringList& recipients)
    {
        SetClock(&clock);
        SetMessageId(u"1@example.org"_s);
        SetFrom(uR"("N0CALL Net" <n0call@example.org>)"_s);
        SetSubject(u"Net tonight"_s);
        SetBody(u".\n.x\n..\nlast"_s);
        for (const QString& r : recipients)
            AddRecipient(r);
    }
};

// A well-behaved server's side of one message: the replies at 0, 2, 4, 6, 8, 10 and 12.
QStringList Good()
{
    return {u"send:220 peer ready\\r\\n"_s, u"read"_s, u"send:250 hello\\r\\n"_s,   u"read"_s,
            u"send:250 sender ok\\r\\n"_s,  u"read"_s, u"send:250 rcpt ok\\r\\n"_s, u"read"_s,
            u"send:354 go ahead\\r\\n"_s,   u"data"_s, u"send:250 queued\\r\\n"_s,  u"read"_s,
            u"send:221 bye\\r\\n"_s};
}
QStringList With(QStringList steps, int at, const QString& step)
{
    steps[at] = step;
    return steps;
}
QByteArray Helo(QByteArray session)
{
    return session.replace("{helo}", CSMTP::HeloName(QHostAddress::LocalHost).toUtf8());
}

} // namespace

class TestSmtp : public QObject
{
    Q_OBJECT

    CScratch m_certDir;
    CTestCertificates m_certs;

private Q_SLOTS:
    void initTestCase() { m_certs = MakeTestCertificates(m_certDir.Path()); }

    void dialogue_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("recipients");
        QTest::addColumn<QString>("failsAt"); // connect, send, disconnect or empty
        QTest::addColumn<QString>("error");
        QTest::addColumn<QByteArray>("session"); // what the peer received
        const QStringList bob{u"bob@example.org"_s}, good = Good();
        const QByteArray sent = kEnvelope + "DATA\r\n" + kData + "QUIT\r\n";

        QTest::newRow("plain dialogue") << good << bob << QString() << u"OK"_s << sent;
        QTest::newRow("greeting not 220") << QStringList{u"send:554 go away\\r\\n"_s, u"read"_s} << bob
                                          << u"connect"_s << u"Server didn't respond."_s << QByteArray();
        QTest::newRow("greeting without digits")
            << QStringList{u"send:hello\\r\\n"_s, u"read"_s} << bob << u"connect"_s
            << u"Server didn't respond."_s << QByteArray();
        QTest::newRow("501 to HELO") << With(good, 2, u"send:501 bad name\\r\\n"_s).mid(0, 4) << bob
                                     << u"connect"_s << u"501:SMTP server error"_s << "HELO {helo}\r\n"_ba;
        QStringList split = good;
        split.replaceInStrings(QRegularExpression(u"^send:"_s), u"split:"_s);
        split[0] = u"split:220-peer\\r\\n220 ready\\r\\n"_s;
        QTest::newRow("replies split byte by byte") << split << bob << QString() << u"OK"_s << sent;
        QStringList multi =
            With(good, 0, u"send:220-peer.example ESMTP\\r\\n220-no spam\\r\\n220 ready\\r\\n"_s);
        multi[2] = u"send:250-peer.example\\r\\n250 pleased to meet you\\r\\n"_s;
        multi[10] = u"send:250-queued\\r\\n250 as 12345\\r\\n"_s;
        QTest::newRow("multi-line replies") << multi << bob << QString() << u"OK"_s << sent;
        QStringList two = With(good, 6, u"send:550 no such user\\r\\n"_s);
        two.insert(7, u"read"_s);
        two.insert(8, u"send:250 ok\\r\\n"_s);
        QByteArray twoData = kData;
        twoData.replace("To: <bob@example.org>", "To: <nobody@example.org>,<bob@example.org>");
        QTest::newRow("first of two recipients refused")
            << two << QStringList{u"nobody@example.org"_s, u"bob@example.org"_s} << QString()
            << u"550:SMTP server error"_s
            << "HELO {helo}\r\nMAIL From: <n0call@example.org>\r\nRCPT TO: <nobody@example.org>\r\n"
               "RCPT TO: <bob@example.org>\r\nDATA\r\n" +
                   twoData + "QUIT\r\n";
        QTest::newRow("only recipient refused: no DATA")
            << (With(good, 6, u"send:550 no such user\\r\\n"_s).mid(0, 8)
                << u"send:250 reset\\r\\n"_s << u"read"_s << u"send:221 bye\\r\\n"_s)
            << bob << u"send"_s << u"550:SMTP server error"_s << kEnvelope + "RSET\r\nQUIT\r\n";
        QTest::newRow("DATA refused")
            << (With(good, 8, u"send:451 later\\r\\n"_s).mid(0, 10) << u"send:221 bye\\r\\n"_s) << bob
            << u"send"_s << u"451:SMTP server not ready for data"_s << kEnvelope + "DATA\r\nQUIT\r\n";
        QTest::newRow("QUIT without 221")
            << With(good, 12, u"send:250 what\\r\\n"_s) << bob << u"disconnect"_s
            << u"250:SMTP server didn't terminate session"_s << sent;
        QTest::newRow("silence after the greeting")
            << QStringList{u"send:220 hi\\r\\n"_s, u"silence"_s} << bob << u"connect"_s << u"Socket Error"_s
            << "HELO {helo}\r\n"_ba;
        QTest::newRow("silence from the start") << QStringList{u"silence"_s} << bob << u"connect"_s
                                                << u"Server didn't respond."_s << QByteArray();
    }
    void dialogue()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, recipients);
        QFETCH(QString, failsAt);
        QFETCH(QString, error);
        QFETCH(QByteArray, session);
        CScratch dir;
        CServerProcess peer(u"smtp_peer.py"_s, QStringList{dir.Path()} + steps);
        CTestMessage message(recipients);
        CSMTP::COptions options;
        options.replyTimeoutMs = 1000; // the silent server is given up after a second
        {
            CSMTP smtp(u"127.0.0.1"_s, peer.Port(), options);
            QCOMPARE(smtp.GetLastError(), u"OK"_s);
            const bool connected = smtp.Connect();
            QCOMPARE(connected, failsAt != u"connect"_s);
            if (connected && smtp.SendMessage(message) == (failsAt != u"send"_s) && failsAt != u"send"_s)
                QCOMPARE(smtp.Disconnect(), failsAt != u"disconnect"_s);
            QCOMPARE(smtp.GetLastError(), error);
            if (steps.contains(u"silence"_s))
                QCOMPARE(smtp.GetLastErrorDetail(), u"no answer within 1 s"_s);
        }
        QCOMPARE(PeerSession(dir.Path(), 1), Helo(session));
    }

    void notConnected()
    {
        CTestMessage message({});
        CSMTP smtp(u"127.0.0.1"_s, ClosedPort());
        QVERIFY(!smtp.SendMessage(message));
        QCOMPARE(smtp.GetLastError(), u"Must be connected"_s);
        QVERIFY(!smtp.Connect());
        QCOMPARE(smtp.GetLastError(), u"Unable to connect to server"_s);

        CScratch dir;
        CServerProcess peer(u"smtp_peer.py"_s, QStringList{dir.Path()} + Good());
        CSMTP connected(u"127.0.0.1"_s, peer.Port());
        QVERIFY(connected.Connect());
        QVERIFY(!connected.SendMessage(message));
        QCOMPARE(connected.GetLastError(), u"No Recipients"_s);
    }

    void heloName()
    {
        // A name the server can check: fully qualified, or the address literal of our end.
        const QString name = CSMTP::HeloName(QHostAddress::LocalHost);
        QVERIFY2(name == u"[127.0.0.1]"_s || (name.contains(u'.') && !name.startsWith(u"localhost"_s)),
                 qPrintable(name));
        if (name.startsWith(u'['))
            QCOMPARE(CSMTP::HeloName(QHostAddress(u"2001:db8::1"_s)), u"[IPv6:2001:db8::1]"_s);
    }

    void tlsRefusals_data()
    {
        QTest::addColumn<CSMTP::Security>("security");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QByteArray>("session");
        const QStringList greeting{u"send:220 peer ready\\r\\n"_s, u"read"_s};
        QTest::newRow("STARTTLS not offered")
            << CSMTP::Security::StartTls << u"bob"_s
            << (QStringList(greeting) << u"send:250-peer\\r\\n250 AUTH PLAIN LOGIN\\r\\n"_s)
            << u"The server does not offer STARTTLS"_s << u"nothing was sent without encryption"_s
            << "EHLO {helo}\r\n"_ba;
        QTest::newRow("data injected before the handshake")
            << CSMTP::Security::StartTls << QString()
            << (QStringList(greeting) << u"send:250-peer\\r\\n250 STARTTLS\\r\\n"_s << u"read"_s
                                      << u"send:220 go\\r\\n250 injected\\r\\n"_s)
            << u"TLS handshake failed"_s << u"the server sent data before the handshake"_s
            << "EHLO {helo}\r\nSTARTTLS\r\n"_ba;
        QTest::newRow("AUTH without TLS: no connection")
            << CSMTP::Security::None << u"bob"_s << Good()
            << u"Authentication needs an encrypted connection: choose STARTTLS or TLS"_s
            << u"the password is never sent in the clear"_s << "<missing>"_ba;
    }
    void tlsRefusals()
    {
        QFETCH(CSMTP::Security, security);
        QFETCH(QString, user);
        QFETCH(QStringList, steps);
        QFETCH(QString, error);
        QFETCH(QString, detail);
        QFETCH(QByteArray, session);
        CScratch dir;
        CServerProcess peer(u"smtp_peer.py"_s, QStringList{dir.Path()} + steps);
        {
            CSMTP smtp(
                u"127.0.0.1"_s, peer.Port(),
                {.security = security, .user = user, .password = u"secret"_s, .caFile = m_certs.caPem});
            QVERIFY(!smtp.Connect());
            QCOMPARE(smtp.GetLastError(), error);
            QCOMPARE(smtp.GetLastErrorDetail(), detail);
        }
        QCOMPARE(PeerSession(dir.Path(), 1, session == "<missing>" ? 500 : 20000), Helo(session));
    }

    void realServer()
    {
        // aiosmtpd takes the added dots off again and ends with exactly what was formatted.
        CScratch dir, files;
        WriteFile(files.File(u"agenda.txt"_s), ".hidden\n.\nline\n");
        CServerProcess server(u"smtp_server.py"_s, {dir.Path()});
        const CMIMETypeManager types;
        CMIMEMessage message(types);
        message.SetFrom(uR"("N0CALL Net" <n0call@example.org>)"_s);
        message.AddRecipient(u"bob@example.org"_s, u"W4ABC (Bob)"_s);
        message.SetBody(u".signature\n.\n..\nend\n"_s);
        message.AddMIMEPart(files.File(u"agenda.txt"_s));
        CSMTP smtp(u"127.0.0.1"_s, server.Port());
        QVERIFY2(smtp.Connect() && smtp.SendMessage(message) && smtp.Disconnect(),
                 qPrintable(smtp.GetErrorText()));
        const auto mail = ReceivedMail(dir.Path(), 1);
        QCOMPARE(mail.size(), size_t(1));
        QCOMPARE(mail[0].meta["mail_from"_L1].toString(), u"n0call@example.org"_s);
        QCOMPARE(mail[0].meta["rcpt_tos"_L1].toArray(), QJsonArray{u"bob@example.org"_s});
        QCOMPARE(mail[0].meta["helo"_L1].toString(), CSMTP::HeloName(QHostAddress::LocalHost));
        QCOMPARE(mail[0].content, message.GetHeader() + message.GetFormattedBody() + "\r\n");
        QVERIFY(mail[0].content.contains("\r\n.signature\r\n.\r\n..\r\nend\r\n"));
    }

    void tls_data()
    {
        QTest::addColumn<CSMTP::Security>("security");
        QTest::addColumn<QStringList>("serverArgs"); // {cert} {key}: the server's pair
        QTest::addColumn<QString>("password");       // empty: no AUTH
        QTest::addColumn<QString>("caFile");         // ca, none, missing
        QTest::addColumn<bool>("otherName");
        QTest::addColumn<QString>("error"); // empty: sent
        const QStringList startTls{u"--starttls"_s, u"{cert}"_s, u"{key}"_s},
            tls{u"--tls"_s, u"{cert}"_s, u"{key}"_s};
        const QStringList auth{u"--auth"_s, u"bob:s3cret:x"_s};
        const QString ok = u"s3cret:x"_s, ca = u"ca"_s;
        using S = CSMTP::Security;
        QTest::newRow("STARTTLS") << S::StartTls << startTls << QString() << ca << false << QString();
        QTest::newRow("STARTTLS, AUTH PLAIN")
            << S::StartTls << startTls + auth << ok << ca << false << QString();
        QTest::newRow("STARTTLS, AUTH LOGIN") << S::StartTls << startTls + auth + QStringList{u"--no-plain"_s}
                                              << ok << ca << false << QString();
        QTest::newRow("TLS, AUTH") << S::Tls << tls + auth << ok << ca << false << QString();
        QTest::newRow("wrong password") << S::StartTls << startTls + auth << u"guess"_s << ca << false
                                        << u"535:SMTP authentication failed"_s;
        QTest::newRow("unknown CA") << S::StartTls << startTls << QString() << u"none"_s << false
                                    << u"TLS handshake failed"_s;
        QTest::newRow("certificate for another name")
            << S::Tls << tls << QString() << ca << true << u"TLS handshake failed"_s;
        QTest::newRow("CA file missing")
            << S::Tls << tls << QString() << u"missing"_s << false << u"Cannot read the CA file"_s;
    }
    void tls()
    {
        QFETCH(CSMTP::Security, security);
        QFETCH(QStringList, serverArgs);
        QFETCH(QString, password);
        QFETCH(QString, caFile);
        QFETCH(bool, otherName);
        QFETCH(QString, error);
        CScratch dir;
        serverArgs.replaceInStrings(u"{cert}"_s, otherName ? m_certs.otherNamePem : m_certs.serverPem);
        serverArgs.replaceInStrings(u"{key}"_s, otherName ? m_certs.otherNameKey : m_certs.serverKey);
        CServerProcess server(u"smtp_server.py"_s, QStringList{dir.Path()} + serverArgs);
        CSMTP::COptions options{.security = security,
                                .user = password.isEmpty() ? QString() : u"bob"_s,
                                .password = password,
                                .caFile = {}};
        options.caFile = caFile == u"ca"_s        ? m_certs.caPem
                         : caFile == u"missing"_s ? dir.File(u"no.pem"_s)
                                                  : QString();
        CTestMessage message({u"bob@example.org"_s});
        CSMTP smtp(u"127.0.0.1"_s, server.Port(), options);
        const bool connected = smtp.Connect();
        const QStringList extensions = smtp.GetExtensions();
        const bool sent = connected && smtp.SendMessage(message) && smtp.Disconnect();
        if (!error.isEmpty()) {
            QVERIFY(!sent);
            QVERIFY2(smtp.GetLastError().startsWith(error), qPrintable(smtp.GetErrorText()));
            if (otherName)
                QVERIFY2(smtp.GetLastErrorDetail().contains(u"host name"_s, Qt::CaseInsensitive),
                         qPrintable(smtp.GetLastErrorDetail()));
            return;
        }
        QVERIFY2(sent, qPrintable(smtp.GetErrorText()));
        QVERIFY(extensions.contains(u"8BITMIME"_s));
        const auto mail = ReceivedMail(dir.Path(), 1);
        QCOMPARE(mail.size(), size_t(1));
        QCOMPARE(mail[0].meta["tls"_L1].toBool(), true);
        QCOMPARE(mail[0].meta["auth"_L1].toString(), password.isEmpty() ? QString() : u"bob"_s);
        QCOMPARE(mail[0].content, kHeader + ".\r\n.x\r\n..\r\nlast\r\n\r\n");
    }
};

QTEST_GUILESS_MAIN(TestSmtp)
#include "tst_smtp.moc"
