// logwarden-cli blast: one message per station of the day, a line per station, and clear refusals.
#include "core/db/Database.h"
#include "core/log/LogwardenSet.h"
#include "support/MailSupport.h"
#include "support/ServerProcess.h"
#include "support/TestSupport.h"

#include <QJsonArray>
#include <QtTest>

using namespace TestSupport;

class TestBlastCli : public QObject
{
    Q_OBJECT

    std::unique_ptr<CScratch> m_scratch;
    QString m_log;
    QString m_message;

    CCliRun Blast(const QStringList& args, const QList<QPair<QString, QString>>& env = {})
    {
        QList<QPair<QString, QString>> environment{
            {QStringLiteral("XDG_CONFIG_HOME"), m_scratch->File(QStringLiteral("config"))},
            {QStringLiteral("LOGWARDEN_DATA_DIR"), m_scratch->File(QStringLiteral("data"))}};
        return RunCli(QStringList{QStringLiteral("blast")} + args, environment + env);
    }
    QStringList Common(int port) const
    {
        return {QStringLiteral("--log"),     m_log,
                QStringLiteral("--day"),     QStringLiteral("2024-03-07"),
                QStringLiteral("--server"),  QStringLiteral("smtp://127.0.0.1:%1").arg(port),
                QStringLiteral("--from"),    QStringLiteral("\"N0CALL Net\" <n0call@example.org>"),
                QStringLiteral("--subject"), QStringLiteral("Invitation"),
                QStringLiteral("--message"), m_message,
                QStringLiteral("--pause"),   QStringLiteral("0")};
    }

private Q_SLOTS:
    void init()
    {
        m_scratch = std::make_unique<CScratch>();
        m_log = m_scratch->File(QStringLiteral("Logwarden-97.db"));
        CDatabase db(m_log);
        CLogwardenSet::PrepareDatabase(db);
        const QDate day(2024, 3, 7);
        AddCheckin(db, {.call = QStringLiteral("W4ABC"),
                        .when = QDateTime(day, QTime(21, 0)),
                        .name = QStringLiteral("Bob"),
                        .email = QStringLiteral("bob@example.org")});
        AddCheckin(db, {.call = QStringLiteral("K1REF"),
                        .when = QDateTime(day, QTime(21, 1)),
                        .name = QStringLiteral("Ann"),
                        .email = QStringLiteral("nobody@example.org")});
        AddCheckin(db, {.call = QStringLiteral("K1XYZ"), .when = QDateTime(day, QTime(21, 2))});
        AddCheckin(db, {.call = QStringLiteral("W4ABC"),
                        .when = QDateTime(day, QTime(21, 3)),
                        .name = QStringLiteral("Bob"),
                        .email = QStringLiteral("bob@example.org")});
        m_message = m_scratch->File(QStringLiteral("invite.msg"));
        // Written on Windows: Windows-1252, CR LF.
        WriteFile(m_message, "Dear <NAME> (<CALL>),\r\nsee you at the caf\xe9.\r\n");
    }

    void blast()
    {
        CScratch dir;
        CServerProcess server(QStringLiteral("smtp_server.py"),
                              {dir.Path(), QStringLiteral("--refuse"), QStringLiteral("nobody@example.org")});
        WriteFile(m_scratch->File(QStringLiteral("a.txt")), "abc");
        const CCliRun run =
            Blast(Common(server.Port()) +
                  QStringList{QStringLiteral("--attach"), m_scratch->File(QStringLiteral("a.txt"))});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.out,
                 QStringLiteral("sent W4ABC <bob@example.org>\n"
                                "failed K1REF <nobody@example.org>: 550:SMTP server error (550 5.1.1 "
                                "<nobody@example.org>: no such user here)\n"));
        QVERIFY2(run.err.contains(QLatin1String("1 of 2 messages sent")), qPrintable(run.err));
        const auto mail = ReceivedMail(dir.Path(), 1);
        QCOMPARE(mail.size(), size_t(1));
        QCOMPARE(mail[0].meta[QLatin1String("rcpt_tos")].toArray(),
                 QJsonArray{QStringLiteral("bob@example.org")});
        QVERIFY(mail[0].content.contains("Content-Type: text/plain; charset=UTF-8\r\n"
                                         "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
                                         "Dear Bob (W4ABC),\r\nsee you at the caf=C3=A9.\r\n"));
        QVERIFY(mail[0].content.contains("filename=a.txt\r\n\r\nYWJj\r\n"));
    }

    void startTlsWithAuth()
    {
        CScratch dir, certDir;
        const CTestCertificates certs = MakeTestCertificates(certDir.Path());
        CServerProcess server(QStringLiteral("smtp_server.py"),
                              {dir.Path(), QStringLiteral("--starttls"), certs.serverPem, certs.serverKey,
                               QStringLiteral("--auth"), QStringLiteral("n0call:s3cret")});
        QStringList args = Common(server.Port());
        args << QStringLiteral("--starttls") << QStringLiteral("--user") << QStringLiteral("n0call")
             << QStringLiteral("--cafile") << certs.caPem;
        const CCliRun run =
            Blast(args, {{QStringLiteral("LOGWARDEN_SMTP_PASSWORD"), QStringLiteral("s3cret")}});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("sent W4ABC <bob@example.org>\nsent K1REF <nobody@example.org>\n"));
        const auto mail = ReceivedMail(dir.Path(), 2);
        QCOMPARE(mail.size(), size_t(2));
        QCOMPARE(mail[1].meta[QLatin1String("auth")].toString(), QStringLiteral("n0call"));

        const CCliRun wrong =
            Blast(args, {{QStringLiteral("LOGWARDEN_SMTP_PASSWORD"), QStringLiteral("guess")}});
        QCOMPARE(wrong.exitCode, 1);
        QVERIFY2(wrong.out.startsWith(
                     QLatin1String("failed W4ABC <bob@example.org>: 535:SMTP authentication failed")),
                 qPrintable(wrong.out));
    }

    void refused_data()
    {
        QTest::addColumn<QStringList>("change"); // option, value ("" removes the option, "+" adds a flag)
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("error");
        QTest::newRow("no server") << QStringList{QStringLiteral("--server"), QString()} << 2
                                   << QStringLiteral("--server is required");
        QTest::newRow("not an smtp URL")
            << QStringList{QStringLiteral("--server"), QStringLiteral("http://127.0.0.1:25")} << 2
            << QStringLiteral("is not a mail server");
        QTest::newRow("no day") << QStringList{QStringLiteral("--day"), QStringLiteral("7/3/2024")} << 2
                                << QStringLiteral("is not a day");
        QTest::newRow("user without TLS") << QStringList{QStringLiteral("--user"), QStringLiteral("n0call")}
                                          << 2 << QStringLiteral("--user needs --starttls or --tls");
        QTest::newRow("user without password")
            << QStringList{QStringLiteral("--user"), QStringLiteral("n0call"), QStringLiteral("--tls"),
                           QStringLiteral("+")}
            << 2 << QStringLiteral("LOGWARDEN_SMTP_PASSWORD");
        QTest::newRow("both TLS modes") << QStringList{QStringLiteral("--tls"), QStringLiteral("+"),
                                                       QStringLiteral("--starttls"), QStringLiteral("+")}
                                        << 2 << QStringLiteral("not both");
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--bcc"), QStringLiteral("+")} << 2
                                        << QStringLiteral("unknown option --bcc");
        QTest::newRow("missing log") << QStringList{QStringLiteral("--log"),
                                                    QStringLiteral("/nonexistent/log.db")}
                                     << 1 << QStringLiteral("does not exist");
        QTest::newRow("missing message")
            << QStringList{QStringLiteral("--message"), QStringLiteral("/nonexistent/a.msg")} << 1
            << QStringLiteral("Cannot read \"/nonexistent/a.msg\"");
        QTest::newRow("unreadable attachment")
            << QStringList{QStringLiteral("--attach"), QStringLiteral("/nonexistent/agenda.pdf")} << 1
            << QStringLiteral("Cannot read the attachment \"/nonexistent/agenda.pdf\"");
        QTest::newRow("subject with a line break")
            << QStringList{QStringLiteral("--subject"), QStringLiteral("Hi\nBcc: all@example.org")} << 1
            << QStringLiteral("The subject holds a line break");
        QTest::newRow("no station with an address")
            << QStringList{QStringLiteral("--day"), QStringLiteral("2024-03-08")} << 0
            << QStringLiteral("nothing sent");
    }
    void refused()
    {
        QFETCH(QStringList, change);
        QFETCH(int, exitCode);
        QFETCH(QString, error);
        CScratch dir;
        CServerProcess peer(QStringLiteral("smtp_peer.py"),
                            {dir.Path(), QStringLiteral("send:220 hi\\r\\n")});
        QStringList args = Common(peer.Port());
        for (int i = 0; i + 1 < change.size(); i += 2) {
            const qsizetype at = args.indexOf(change[i]);
            if (change[i + 1] == QLatin1String("+"))
                args << change[i];
            else if (change[i + 1].isEmpty())
                args.remove(at, 2);
            else if (at >= 0)
                args[at + 1] = change[i + 1];
            else
                args << change[i] << change[i + 1];
        }
        const CCliRun run = Blast(args);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(error), qPrintable(run.err));
        QCOMPARE(run.out, QString());
        QCOMPARE(PeerSession(dir.Path(), 1, 200), QByteArray("<missing>"));
    }
};

QTEST_GUILESS_MAIN(TestBlastCli)
#include "tst_blastcli.moc"
