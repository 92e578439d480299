// logwarden-cli blast: one message per station of the day, a line per station, and clear refusals.
#include "core/db/Database.h"
#include "core/log/LogSchema.h"
#include "support/MailSupport.h"
#include "support/ServerProcess.h"
#include "support/TestSupport.h"

#include <QJsonArray>
#include <QtTest>

using namespace TestSupport;
using namespace Qt::StringLiterals;

class TestBlastCli : public QObject
{
    Q_OBJECT

    std::unique_ptr<CScratch> m_scratch;

    CCliRun Blast(const QStringList& args, const QString& password = {})
    {
        QList<QPair<QString, QString>> env{{u"XDG_CONFIG_HOME"_s, m_scratch->File(u"config"_s)},
                                           {u"LOGWARDEN_DATA_DIR"_s, m_scratch->File(u"data"_s)}};
        if (!password.isEmpty())
            env.append({u"LOGWARDEN_SMTP_PASSWORD"_s, password});
        return RunCli(QStringList{u"blast"_s} + args, env);
    }
    QStringList Args(int port) const
    {
        return {u"--log"_s,     m_scratch->File(u"Logwarden-97.db"_s),
                u"--day"_s,     u"2024-03-07"_s,
                u"--server"_s,  u"smtp://127.0.0.1:%1"_s.arg(port),
                u"--from"_s,    uR"("N0CALL Net" <n0call@example.org>)"_s,
                u"--subject"_s, u"Invitation"_s,
                u"--message"_s, m_scratch->File(u"invite.msg"_s),
                u"--pause"_s,   u"0"_s};
    }

private Q_SLOTS:
    void init()
    {
        m_scratch = std::make_unique<CScratch>();
        CDatabase db(m_scratch->File(u"Logwarden-97.db"_s));
        LogSchema::Prepare(db);
        const auto at = [](int minute) { return QDateTime(QDate(2024, 3, 7), QTime(21, minute)); };
        AddCheckin(db, {.call = u"W4ABC"_s, .when = at(0), .name = u"Bob"_s, .email = u"bob@example.org"_s});
        AddCheckin(db,
                   {.call = u"K1REF"_s, .when = at(1), .name = u"Ann"_s, .email = u"nobody@example.org"_s});
        AddCheckin(db, {.call = u"K1XYZ"_s, .when = at(2)});
        AddCheckin(db, {.call = u"W4ABC"_s, .when = at(3), .name = u"Bob"_s, .email = u"bob@example.org"_s});
        // Written on Windows: Windows-1252, CR LF.
        WriteFile(m_scratch->File(u"invite.msg"_s), "Dear <NAME> (<CALL>),\r\nsee you at the caf\xe9.\r\n");
    }

    void blast()
    {
        CScratch dir;
        CServerProcess server(u"smtp_server.py"_s, {dir.Path(), u"--refuse"_s, u"nobody@example.org"_s});
        WriteFile(m_scratch->File(u"a.txt"_s), "abc");
        const CCliRun run = Blast(Args(server.Port()) << u"--attach"_s << m_scratch->File(u"a.txt"_s));
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.out,
                 u"sent W4ABC <bob@example.org>\nfailed K1REF <nobody@example.org>: 550:SMTP server error "
                 "(550 5.1.1 <nobody@example.org>: no such user here)\n"_s);
        QVERIFY2(run.err.contains(u"1 of 2 messages sent"_s), qPrintable(run.err));
        const auto mail = ReceivedMail(dir.Path(), 1);
        QCOMPARE(mail.size(), size_t(1));
        QVERIFY(mail[0].content.contains("Content-Transfer-Encoding: quoted-printable\r\n\r\n"
                                         "Dear Bob (W4ABC),\r\nsee you at the caf=C3=A9.\r\n"));
        QVERIFY(mail[0].content.contains("filename=a.txt\r\n\r\nYWJj\r\n"));
    }

    void startTlsWithAuth()
    {
        CScratch dir, certDir;
        const CTestCertificates certs = MakeTestCertificates(certDir.Path());
        CServerProcess server(u"smtp_server.py"_s, {dir.Path(), u"--starttls"_s, certs.serverPem,
                                                    certs.serverKey, u"--auth"_s, u"n0call:s3cret"_s});
        const QStringList args = Args(server.Port()) << u"--starttls"_s << u"--user"_s << u"n0call"_s
                                                     << u"--cafile"_s << certs.caPem;
        const CCliRun run = Blast(args, u"s3cret"_s);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, u"sent W4ABC <bob@example.org>\nsent K1REF <nobody@example.org>\n"_s);
        QCOMPARE(ReceivedMail(dir.Path(), 2)[1].meta["auth"_L1].toString(), u"n0call"_s);
        const CCliRun wrong = Blast(args, u"guess"_s);
        QCOMPARE(wrong.exitCode, 1);
        QVERIFY(wrong.out.startsWith(u"failed W4ABC <bob@example.org>: 535:SMTP authentication failed"_s));
    }

    // A station's address and the server's words print on the station's own line, whatever they hold.
    void fieldsStayOnTheirLine()
    {
        {
            CDatabase db(m_scratch->File(u"Logwarden-97.db"_s));
            AddCheckin(db, {.call = u"W9EVL"_s,
                            .when = QDateTime(QDate(2024, 3, 7), QTime(21, 9)),
                            .name = u"Eve"_s,
                            .email = u"evil@example.org\r\nsent K9FAKE <x@example.org>"_s});
        }
        CScratch dir;
        CServerProcess server(u"smtp_server.py"_s, {dir.Path()});
        const CCliRun run = Blast(Args(server.Port()));
        QCOMPARE(run.exitCode, 1);
        const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY2(
            lines[2].startsWith(u"failed W9EVL <evil@example.org\\x0d\\x0asent K9FAKE <x@example.org>>: "_s),
            qPrintable(lines[2]));
    }

    // A server that takes the connection and never greets: two stations, then the blast stops and says
    // which stations it did not try.
    void stopsWhenTheServerIsOutOfReach()
    {
        {
            CDatabase db(m_scratch->File(u"Logwarden-97.db"_s));
            AddCheckin(db, {.call = u"N0NEW"_s,
                            .when = QDateTime(QDate(2024, 3, 7), QTime(21, 9)),
                            .name = u"Ned"_s,
                            .email = u"ned@example.org"_s});
        }
        QVERIFY(QDir().mkpath(m_scratch->File(u"config/Logwarden"_s)));
        WriteFile(m_scratch->File(u"config/Logwarden/Logwarden.ini"_s), "[Mail]\nReplyTimeOut=1000\n");
        CScratch dir;
        CServerProcess peer(u"smtp_peer.py"_s, {dir.Path(), u"silence"_s});
        const CCliRun run = Blast(Args(peer.Port()));
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.out.startsWith(u"failed W4ABC <bob@example.org>: Server didn't respond."_s),
                 qPrintable(run.out));
        QCOMPARE(run.out.count(u'\n'), 2);
        QVERIFY2(
            run.err.contains(u"logwarden-cli blast: stopped: the mail server could not be reached for two "
                             "stations in a row; not tried: N0NEW\n"_s),
            qPrintable(run.err));
    }

    void refused_data()
    {
        QTest::addColumn<QStringList>("change"); // option and value; no value removes it, "+" adds a flag
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("error");
        QTest::newRow("no server") << QStringList{u"--server"_s} << 2 << u"--server is required"_s;
        QTest::newRow("not smtp://") << QStringList{u"--server"_s, u"http://127.0.0.1:25"_s} << 2
                                     << u"is not a mail server"_s;
        QTest::newRow("user without TLS")
            << QStringList{u"--user"_s, u"n0call"_s} << 2 << u"needs --starttls or --tls"_s;
        QTest::newRow("user without password")
            << QStringList{u"--user"_s, u"n0call"_s, u"--tls"_s, u"+"_s} << 2 << u"LOGWARDEN_SMTP_PASSWORD"_s;
        QTest::newRow("missing log") << QStringList{u"--log"_s, u"/no/log.db"_s} << 1 << u"does not exist"_s;
        QTest::newRow("unreadable attachment") << QStringList{u"--attach"_s, u"/no/agenda.pdf"_s} << 1
                                               << u"Cannot read the attachment \"/no/agenda.pdf\""_s;
        QTest::newRow("no station with an address")
            << QStringList{u"--day"_s, u"2024-03-08"_s} << 0 << u"nothing sent"_s;
    }
    void refused()
    {
        QFETCH(QStringList, change);
        QFETCH(int, exitCode);
        QFETCH(QString, error);
        CScratch dir;
        CServerProcess peer(u"smtp_peer.py"_s, {dir.Path(), u"send:220 hi\\r\\n"_s});
        QStringList args = Args(peer.Port());
        for (int i = 0; i < change.size(); i += 2) {
            const qsizetype at = args.indexOf(change[i]);
            if (i + 1 == change.size())
                args.remove(at, 2);
            else if (change[i + 1] == u"+"_s)
                args << change[i];
            else if (at >= 0)
                args[at + 1] = change[i + 1];
            else
                args << change[i] << change[i + 1];
        }
        const CCliRun run = Blast(args);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(error), qPrintable(run.err));
        QCOMPARE(run.out, QString());
        QCOMPARE(PeerSession(dir.Path(), 1, 200), "<missing>"_ba);
    }
};

QTEST_GUILESS_MAIN(TestBlastCli)
#include "tst_blastcli.moc"
