#include "core/app/Clock.h"
#include "core/mail/MIMEMessage.h"
#include "core/mail/SMTP.h"
#include "support/MailSupport.h"
#include "support/ServerProcess.h"
#include "support/TestSupport.h"

#include <QHostAddress>
#include <QJsonArray>
#include <QtTest>

using namespace TestSupport;

Q_DECLARE_METATYPE(CSMTP::Security)

namespace {

const QByteArray kHeader = "From: \"N0CALL Net\" <n0call@example.org>\r\n"
                           "To: <bob@example.org>\r\n"
                           "Date: Thu, 07 Mar 2024 21:05:09 -0500\r\n"
                           "Subject: Net tonight\r\n"
                           "X-Mailer: QV Mail\r\n"
                           "Message-ID: <1@example.org>\r\n"
                           "\r\n";
// The body ".\n.x\n..\nlast" on the wire: every line that starts with a dot gets another.
const QByteArray kData = kHeader + "..\r\n..x\r\n...\r\nlast\r\n\r\n.\r\n";

void Prepare(CMailMessage& m, const CClock& clock, const QStringList& recipients)
{
    m.SetClock(&clock);
    m.SetMessageId(QStringLiteral("1@example.org"));
    m.SetFrom(QStringLiteral("\"N0CALL Net\" <n0call@example.org>"));
    m.SetSubject(QStringLiteral("Net tonight"));
    m.SetBody(QStringLiteral(".\n.x\n..\nlast"));
    for (const QString& r : recipients)
        m.AddRecipient(r);
}

CFixedClock NetNight()
{
    return CFixedClock(QDateTime(QDate(2024, 3, 7), QTime(21, 5, 9), Qt::OffsetFromUTC, -5 * 3600));
}

// The greeting and replies of a well-behaved server for one message to one recipient.
QStringList GoodDialogue()
{
    return {QStringLiteral("send:220 peer ready\\r\\n"),   QStringLiteral("read"),
            QStringLiteral("send:250 hello\\r\\n"),        QStringLiteral("read"),
            QStringLiteral("send:250 sender ok\\r\\n"),    QStringLiteral("read"),
            QStringLiteral("send:250 recipient ok\\r\\n"), QStringLiteral("read"),
            QStringLiteral("send:354 go ahead\\r\\n"),     QStringLiteral("data"),
            QStringLiteral("send:250 queued\\r\\n"),       QStringLiteral("read"),
            QStringLiteral("send:221 bye\\r\\n")};
}

const QByteArray kGoodSession =
    "HELO {helo}\r\nMAIL From: <n0call@example.org>\r\nRCPT TO: <bob@example.org>\r\nDATA\r\n" + kData +
    "QUIT\r\n";

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
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<QString>("failsAt"); // connect, send, disconnect or empty
        QTest::addColumn<QString>("error");
        QTest::addColumn<QByteArray>("session"); // what the peer received

        const QStringList bob{QStringLiteral("bob@example.org")};
        const auto replace = [](QStringList steps, int index, const QString& step) {
            steps[index] = step;
            return steps;
        };
        const QStringList good = GoodDialogue();

        QTest::newRow("plain dialogue")
            << good << bob << 10000 << QString() << QStringLiteral("OK") << kGoodSession;
        QTest::newRow("greeting not 220")
            << QStringList{QStringLiteral("send:554 no service here\\r\\n"), QStringLiteral("read")} << bob
            << 10000 << QStringLiteral("connect") << QStringLiteral("Server didn't respond.") << QByteArray();
        QTest::newRow("greeting without digits")
            << QStringList{QStringLiteral("send:hello there\\r\\n"), QStringLiteral("read")} << bob << 10000
            << QStringLiteral("connect") << QStringLiteral("Server didn't respond.") << QByteArray();
        QTest::newRow("501 to HELO")
            << replace(good, 2, QStringLiteral("send:501 bad host name\\r\\n")).mid(0, 4) << bob << 10000
            << QStringLiteral("connect") << QStringLiteral("501:SMTP server error")
            << QByteArray("HELO {helo}\r\n");
        QStringList split;
        for (const QString& step : good)
            split << (step.startsWith(QLatin1String("send:")) ? QStringLiteral("split:") + step.mid(5)
                                                              : step);
        split[0] = QStringLiteral("split:220-peer\\r\\n220 ready\\r\\n");
        QTest::newRow("replies split byte by byte")
            << split << bob << 10000 << QString() << QStringLiteral("OK") << kGoodSession;
        QStringList multi = good;
        multi[0] = QStringLiteral("send:220-peer.example ESMTP\\r\\n220-no spam please\\r\\n220 ready\\r\\n");
        multi[2] = QStringLiteral("send:250-peer.example\\r\\n250 pleased to meet you\\r\\n");
        multi[4] = QStringLiteral("send:250-sender\\r\\n250-is\\r\\n250 ok\\r\\n");
        multi[10] = QStringLiteral("send:250-queued\\r\\n250 as 12345\\r\\n");
        QTest::newRow("multi-line replies")
            << multi << bob << 10000 << QString() << QStringLiteral("OK") << kGoodSession;

        QStringList twoRcpt = good;
        twoRcpt[6] = QStringLiteral("send:550 5.1.1 no such user\\r\\n");
        twoRcpt.insert(7, QStringLiteral("read"));
        twoRcpt.insert(8, QStringLiteral("send:250 ok\\r\\n"));
        QTest::newRow("first of two recipients refused")
            << twoRcpt << QStringList{QStringLiteral("nobody@example.org"), QStringLiteral("bob@example.org")}
            << 10000 << QString() << QStringLiteral("550:SMTP server error")
            << QByteArray(
                   "HELO {helo}\r\nMAIL From: <n0call@example.org>\r\nRCPT TO: <nobody@example.org>\r\n"
                   "RCPT TO: <bob@example.org>\r\nDATA\r\n" +
                   kData.left(kHeader.indexOf("To: ")) + "To: <nobody@example.org>,<bob@example.org>\r\n" +
                   kData.mid(kHeader.indexOf("Date: ")) + "QUIT\r\n");
        QStringList noRcpt = good.mid(0, 6);
        noRcpt << QStringLiteral("send:550 5.1.1 no such user\\r\\n") << QStringLiteral("read")
               << QStringLiteral("send:250 reset\\r\\n") << QStringLiteral("read")
               << QStringLiteral("send:221 bye\\r\\n");
        QTest::newRow("only recipient refused: no DATA")
            << noRcpt << QStringList{QStringLiteral("nobody@example.org")} << 10000 << QStringLiteral("send")
            << QStringLiteral("550:SMTP server error")
            << QByteArray(
                   "HELO {helo}\r\nMAIL From: <n0call@example.org>\r\nRCPT TO: <nobody@example.org>\r\n"
                   "RSET\r\nQUIT\r\n");
        QStringList badSender = good.mid(0, 4);
        badSender << QStringLiteral("send:553 sender refused\\r\\n") << QStringLiteral("read")
                  << QStringLiteral("send:221 bye\\r\\n");
        QTest::newRow("sender refused")
            << badSender << bob << 10000 << QStringLiteral("send") << QStringLiteral("553:SMTP server error")
            << QByteArray("HELO {helo}\r\nMAIL From: <n0call@example.org>\r\nQUIT\r\n");
        QStringList noData = good.mid(0, 8);
        noData << QStringLiteral("send:451 try later\\r\\n") << QStringLiteral("read")
               << QStringLiteral("send:221 bye\\r\\n");
        QTest::newRow("DATA refused") << noData << bob << 10000 << QStringLiteral("send")
                                      << QStringLiteral("451:SMTP server not ready for data")
                                      << QByteArray("HELO {helo}\r\nMAIL From: <n0call@example.org>\r\n"
                                                    "RCPT TO: <bob@example.org>\r\nDATA\r\nQUIT\r\n");
        QTest::newRow("QUIT not answered with 221")
            << replace(good, 12, QStringLiteral("send:250 whatever\\r\\n")) << bob << 10000
            << QStringLiteral("disconnect") << QStringLiteral("250:SMTP server didn't terminate session")
            << kGoodSession;
        QTest::newRow("silence after the greeting")
            << QStringList{QStringLiteral("send:220 peer ready\\r\\n"), QStringLiteral("silence")} << bob
            << 1000 << QStringLiteral("connect") << QStringLiteral("Socket Error")
            << QByteArray("HELO {helo}\r\n");
        QTest::newRow("silence from the start")
            << QStringList{QStringLiteral("silence")} << bob << 1000 << QStringLiteral("connect")
            << QStringLiteral("Server didn't respond.") << QByteArray();
    }
    void dialogue()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, recipients);
        QFETCH(int, timeoutMs);
        QFETCH(QString, failsAt);
        QFETCH(QString, error);
        QFETCH(QByteArray, session);

        CScratch dir;
        CServerProcess peer(QStringLiteral("smtp_peer.py"), QStringList{dir.Path()} + steps);
        const CFixedClock clock = NetNight();
        CMailMessage message;
        Prepare(message, clock, recipients);
        CSMTP::COptions options;
        options.replyTimeoutMs = timeoutMs;
        {
            CSMTP smtp(QStringLiteral("127.0.0.1"), peer.Port(), options);
            QCOMPARE(smtp.GetLastError(), QStringLiteral("OK"));
            const bool connected = smtp.Connect();
            QCOMPARE(connected, failsAt != QLatin1String("connect"));
            if (connected) {
                QCOMPARE(smtp.SendMessage(message), failsAt != QLatin1String("send"));
                if (failsAt != QLatin1String("send"))
                    QCOMPARE(smtp.Disconnect(), failsAt != QLatin1String("disconnect"));
            }
            QCOMPARE(smtp.GetLastError(), error);
            if (timeoutMs < 10000)
                QVERIFY2(smtp.GetLastErrorDetail().contains(QLatin1String("no answer within 1 s")),
                         qPrintable(smtp.GetLastErrorDetail()));
        }
        session.replace("{helo}", CSMTP::HeloName(QHostAddress::LocalHost).toUtf8());
        QCOMPARE(PeerSession(dir.Path(), 1), session);
    }

    void heloName()
    {
        // A name the server can check: fully qualified, or the address literal of our end.
        const QString name = CSMTP::HeloName(QHostAddress::LocalHost);
        QVERIFY2(name == QLatin1String("[127.0.0.1]") ||
                     (name.contains(QLatin1Char('.')) && !name.startsWith(QLatin1String("localhost"))),
                 qPrintable(name));
        if (name.startsWith(QLatin1Char('[')))
            QCOMPARE(CSMTP::HeloName(QHostAddress(QStringLiteral("2001:db8::1"))),
                     QStringLiteral("[IPv6:2001:db8::1]"));
    }

    void notConnected()
    {
        CMailMessage message;
        CSMTP smtp(QStringLiteral("127.0.0.1"), ClosedPort());
        QVERIFY(!smtp.SendMessage(message));
        QCOMPARE(smtp.GetLastError(), QStringLiteral("Must be connected"));
        QVERIFY(!smtp.Connect());
        QCOMPARE(smtp.GetLastError(), QStringLiteral("Unable to connect to server"));
        QVERIFY(smtp.Disconnect());
    }

    void refusedBeforeSending_data()
    {
        QTest::addColumn<QStringList>("recipients");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("error");
        QTest::newRow("no recipients")
            << QStringList{} << QStringLiteral("Hi") << QStringLiteral("No Recipients");
        QTest::newRow("header injected in the subject")
            << QStringList{QStringLiteral("bob@example.org")} << QStringLiteral("Hi\r\nBcc: all@example.org")
            << QStringLiteral("The subject holds a line break");
        QTest::newRow("command injected in the address")
            << QStringList{QStringLiteral("bob@example.org>\r\nRCPT TO: <all@example.org")}
            << QStringLiteral("Hi") << QStringLiteral("Recipient refused");
    }
    void refusedBeforeSending()
    {
        QFETCH(QStringList, recipients);
        QFETCH(QString, subject);
        QFETCH(QString, error);
        CScratch dir;
        CServerProcess peer(QStringLiteral("smtp_peer.py"), QStringList{dir.Path()} + GoodDialogue());
        const CFixedClock clock = NetNight();
        CMailMessage message;
        Prepare(message, clock, recipients);
        message.SetSubject(subject);
        {
            CSMTP smtp(QStringLiteral("127.0.0.1"), peer.Port());
            QVERIFY(smtp.Connect());
            QVERIFY(!smtp.SendMessage(message));
            QVERIFY2(smtp.GetLastError().startsWith(error), qPrintable(smtp.GetLastError()));
        }
        QByteArray expected = "HELO {helo}\r\nQUIT\r\n";
        expected.replace("{helo}", CSMTP::HeloName(QHostAddress::LocalHost).toUtf8());
        QCOMPARE(PeerSession(dir.Path(), 1), expected);
    }

    void startTlsTrouble_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QByteArray>("session");
        const QStringList greeting{QStringLiteral("send:220 peer ready\\r\\n"), QStringLiteral("read")};
        QTest::newRow("STARTTLS not offered")
            << greeting + QStringList{QStringLiteral(
                              "send:250-peer\\r\\n250-SIZE 1000000\\r\\n250 AUTH PLAIN LOGIN\\r\\n")}
            << QStringLiteral("bob") << QStringLiteral("The server does not offer STARTTLS")
            << QStringLiteral("nothing was sent without encryption") << QByteArray("EHLO {helo}\r\n");
        QTest::newRow("data injected before the handshake")
            << greeting + QStringList{QStringLiteral("send:250-peer\\r\\n250 STARTTLS\\r\\n"),
                                      QStringLiteral("read"),
                                      QStringLiteral("send:220 go ahead\\r\\n250 injected\\r\\n")}
            << QString() << QStringLiteral("TLS handshake failed")
            << QStringLiteral("the server sent data before the handshake")
            << QByteArray("EHLO {helo}\r\nSTARTTLS\r\n");
    }
    void startTlsTrouble()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, user);
        QFETCH(QString, error);
        QFETCH(QString, detail);
        QFETCH(QByteArray, session);
        CScratch dir;
        CServerProcess peer(QStringLiteral("smtp_peer.py"), QStringList{dir.Path()} + steps);
        CSMTP::COptions options;
        options.security = CSMTP::Security::StartTls;
        options.user = user;
        options.password = QStringLiteral("secret");
        options.caFile = m_certs.caPem;
        {
            CSMTP smtp(QStringLiteral("127.0.0.1"), peer.Port(), options);
            QVERIFY(!smtp.Connect());
            QCOMPARE(smtp.GetLastError(), error);
            QCOMPARE(smtp.GetLastErrorDetail(), detail);
        }
        session.replace("{helo}", CSMTP::HeloName(QHostAddress::LocalHost).toUtf8());
        QCOMPARE(PeerSession(dir.Path(), 1), session);
    }

    void authNeedsTls()
    {
        // Refused before a connection is made: the peer never sees one.
        CScratch dir;
        CServerProcess peer(QStringLiteral("smtp_peer.py"), QStringList{dir.Path()} + GoodDialogue());
        CSMTP::COptions options;
        options.user = QStringLiteral("bob");
        options.password = QStringLiteral("secret");
        CSMTP smtp(QStringLiteral("127.0.0.1"), peer.Port(), options);
        QVERIFY(!smtp.Connect());
        QVERIFY2(
            smtp.GetLastError().startsWith(QLatin1String("Authentication needs an encrypted connection")),
            qPrintable(smtp.GetLastError()));
        QCOMPARE(PeerSession(dir.Path(), 1, 500), QByteArray("<missing>"));
    }

    void realServer()
    {
        // aiosmtpd takes the dots off again and must end with exactly what was formatted.
        CScratch dir, files;
        WriteFile(files.File(QStringLiteral("agenda.txt")), ".hidden\n.\nline\n");
        CServerProcess server(QStringLiteral("smtp_server.py"), {dir.Path()});
        CMIMEMessage message;
        message.SetFrom(QStringLiteral("\"N0CALL Net\" <n0call@example.org>"));
        message.AddRecipient(QStringLiteral("bob@example.org"), QStringLiteral("W4ABC (Bob)"));
        message.SetSubject(QStringLiteral("Net tonight"));
        message.SetBody(QStringLiteral(".signature\n.\n..\nend\n"));
        message.AddMIMEPart(files.File(QStringLiteral("agenda.txt")));
        CSMTP smtp(QStringLiteral("127.0.0.1"), server.Port());
        QVERIFY2(smtp.Connect(), qPrintable(smtp.GetErrorText()));
        QVERIFY2(smtp.SendMessage(message), qPrintable(smtp.GetErrorText()));
        QVERIFY2(smtp.Disconnect(), qPrintable(smtp.GetErrorText()));
        const auto mail = ReceivedMail(dir.Path(), 1);
        QCOMPARE(mail.size(), size_t(1));
        QCOMPARE(mail[0].meta[QLatin1String("mail_from")].toString(), QStringLiteral("n0call@example.org"));
        QCOMPARE(mail[0].meta[QLatin1String("rcpt_tos")].toArray(),
                 QJsonArray{QStringLiteral("bob@example.org")});
        QCOMPARE(mail[0].meta[QLatin1String("helo")].toString(), CSMTP::HeloName(QHostAddress::LocalHost));
        QCOMPARE(mail[0].content, message.GetHeader() + message.GetFormattedBody() + "\r\n");
        QVERIFY(mail[0].content.contains("\r\n.signature\r\n.\r\n..\r\nend\r\n"));
    }

    void tls_data()
    {
        QTest::addColumn<CSMTP::Security>("security");
        QTest::addColumn<QStringList>("serverArgs"); // {cert} {key} stand for the server's pair
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("caFile"); // "ca", "none", "missing"
        QTest::addColumn<bool>("otherName");
        QTest::addColumn<QString>("error"); // empty: sent

        const QStringList startTls{QStringLiteral("--starttls"), QStringLiteral("{cert}"),
                                   QStringLiteral("{key}")};
        const QStringList auth{QStringLiteral("--auth"), QStringLiteral("bob:s3cret:x")};
        const QStringList tls{QStringLiteral("--tls"), QStringLiteral("{cert}"), QStringLiteral("{key}")};
        const QString ok = QStringLiteral("s3cret:x");
        QTest::newRow("STARTTLS") << CSMTP::Security::StartTls << startTls << QString()
                                  << QStringLiteral("ca") << false << QString();
        QTest::newRow("STARTTLS, AUTH PLAIN") << CSMTP::Security::StartTls << startTls + auth << ok
                                              << QStringLiteral("ca") << false << QString();
        QTest::newRow("STARTTLS, AUTH LOGIN")
            << CSMTP::Security::StartTls << startTls + auth + QStringList{QStringLiteral("--no-plain")} << ok
            << QStringLiteral("ca") << false << QString();
        QTest::newRow("TLS from the first byte, AUTH")
            << CSMTP::Security::Tls << tls + auth << ok << QStringLiteral("ca") << false << QString();
        QTest::newRow("wrong password")
            << CSMTP::Security::StartTls << startTls + auth << QStringLiteral("guess") << QStringLiteral("ca")
            << false << QStringLiteral("535:SMTP authentication failed");
        QTest::newRow("certificate of an unknown CA")
            << CSMTP::Security::StartTls << startTls << QString() << QStringLiteral("none") << false
            << QStringLiteral("TLS handshake failed");
        QTest::newRow("certificate for another name")
            << CSMTP::Security::Tls << tls << QString() << QStringLiteral("ca") << true
            << QStringLiteral("TLS handshake failed");
        QTest::newRow("CA file missing")
            << CSMTP::Security::Tls << tls << QString() << QStringLiteral("missing") << false
            << QStringLiteral("Cannot read the CA file");
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
        serverArgs.replaceInStrings(QStringLiteral("{cert}"),
                                    otherName ? m_certs.otherNamePem : m_certs.serverPem);
        serverArgs.replaceInStrings(QStringLiteral("{key}"),
                                    otherName ? m_certs.otherNameKey : m_certs.serverKey);
        CServerProcess server(QStringLiteral("smtp_server.py"), QStringList{dir.Path()} + serverArgs);
        CSMTP::COptions options;
        options.security = security;
        if (!password.isEmpty()) {
            options.user = QStringLiteral("bob");
            options.password = password;
        }
        options.caFile = caFile == QLatin1String("ca")        ? m_certs.caPem
                         : caFile == QLatin1String("missing") ? dir.File(QStringLiteral("nothing.pem"))
                                                              : QString();
        const CFixedClock clock = NetNight();
        CMailMessage message;
        Prepare(message, clock, {QStringLiteral("bob@example.org")});
        CSMTP smtp(QStringLiteral("127.0.0.1"), server.Port(), options);
        const bool connected = smtp.Connect();
        const QStringList extensions = smtp.GetExtensions();
        const bool sent = connected && smtp.SendMessage(message) && smtp.Disconnect();
        if (!error.isEmpty()) {
            QVERIFY(!sent);
            QVERIFY2(smtp.GetLastError().startsWith(error), qPrintable(smtp.GetErrorText()));
            if (otherName)
                QVERIFY2(smtp.GetLastErrorDetail().contains(QLatin1String("host name"), Qt::CaseInsensitive),
                         qPrintable(smtp.GetLastErrorDetail()));
            return;
        }
        QVERIFY2(sent, qPrintable(smtp.GetErrorText()));
        QVERIFY2(extensions.contains(QLatin1String("8BITMIME")),
                 qPrintable(extensions.join(QLatin1Char(','))));
        const auto mail = ReceivedMail(dir.Path(), 1);
        QCOMPARE(mail.size(), size_t(1));
        QCOMPARE(mail[0].meta[QLatin1String("tls")].toBool(), true);
        QCOMPARE(mail[0].meta[QLatin1String("auth")].toString(),
                 password.isEmpty() ? QString() : QStringLiteral("bob"));
        QCOMPARE(mail[0].content, kHeader + ".\r\n.x\r\n..\r\nlast\r\n\r\n");
    }
};

QTEST_GUILESS_MAIN(TestSmtp)
#include "tst_smtp.moc"
