// logwarden-cli netlog, prenet and echolink against a local club server.
#include "core/db/Database.h"
#include "core/log/LogSchema.h"
#include "core/web/UploadLog.h"
#include "support/HttpServer.h"

#include <QtTest>

using namespace TestSupport;

namespace {

const QDate kDay(2024, 3, 7);

} // namespace

class TestWebCli : public QObject
{
    Q_OBJECT

    std::unique_ptr<CScratch> m_scratch;
    std::unique_ptr<CHttpServer> m_server;
    QString m_log;

    // Each run gets settings of its own (short time-outs), never the user's.
    CCliRun Cli(const QStringList& args) { return RunCli(args, {{"XDG_CONFIG_HOME", m_scratch->Path()}}); }

private Q_SLOTS:
    void initTestCase() { m_server = std::make_unique<CHttpServer>(); }
    void cleanupTestCase() { m_server.reset(); }
    void init()
    {
        m_scratch = std::make_unique<CScratch>();
        QDir().mkpath(m_scratch->File("Logwarden"));
        WriteFile(m_scratch->File("Logwarden/Logwarden.ini"),
                  "[NetSettings]\nNetRecTO=500\nNetDataRecTO=500\n");
        m_log = m_scratch->File("Logwarden-97.db");
        CDatabase db(m_log);
        LogSchema::Prepare(db);
        AddCheckin(db, {"W4ABC", QDateTime(kDay, QTime(19, 1)), "Zoë <b>", "", false, false, true});
        AddCheckin(db, {"K1XYZ", QDateTime(kDay.addDays(-7), QTime(19, 2))});
        AddCheckin(db, {"KH6/W4AB", QDateTime(kDay, QTime(23, 59)), "Kai"});
        m_server->ClearRoutes();
        m_server->ClearRequests();
    }
    void cleanup() { m_scratch.reset(); }

    void netlogWritesThePage_data()
    {
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<bool>("reverse");
        QTest::newRow("in order") << QStringList{} << false;
        QTest::newRow("reversed") << QStringList{"--reverse"} << true;
    }

    void netlogWritesThePage()
    {
        QFETCH(QStringList, order);
        QFETCH(bool, reverse);
        QByteArray expected;
        {
            CDatabase db(m_log, CDatabase::ReadOnly);
            expected = NetLog::BuildPage(db, kDay, reverse).value();
        }
        const QString out = m_scratch->File("page.html");
        CCliRun run = Cli(QStringList{"netlog", "--log", m_log, "--day", "2024-03-07", "--out", out} + order);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(ReadFile(out), expected);
        run = Cli(QStringList{"netlog", "--log", m_log, "--day=2024-03-07", "--out", "-"} + order);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.rawOut, expected);
        QCOMPARE(m_server->Requests().size(), 0);
    }

    void netlogUploads_data()
    {
        QTest::addColumn<QJsonObject>("route");
        QTest::addColumn<bool>("withOut");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("error");
        QTest::newRow("accepted") << QJsonObject{{"body", "ok"}} << true << 0 << "";
        QTest::newRow("accepted, upload only") << QJsonObject{{"status", 201}} << false << 0 << "";
        QTest::newRow("unavailable") << QJsonObject{{"status", 503}} << true << 1
                                     << "logwarden-cli netlog: Upload failed: 503 Service Unavailable";
        QTest::newRow("never answers") << QJsonObject{{"hang", true}} << false << 1
                                       << "logwarden-cli netlog: Upload failed: Timed out: ";
        // The status is all an upload needs: a page trickled after it is not waited for.
        QTest::newRow("accepted, then trickles its page")
            << QJsonObject{{"body", QString(40, QLatin1Char('x'))}, {"trickle_ms", 1000}} << false << 0 << "";
    }

    void netlogUploads()
    {
        QFETCH(QJsonObject, route);
        QFETCH(bool, withOut);
        QFETCH(int, exitCode);
        QFETCH(QString, error);
        m_server->Route("/club/cgi-bin/netlog.cgi", route);
        const QString out = m_scratch->File("page.html");
        QStringList args{"netlog",
                         "--log",
                         m_log,
                         "--day",
                         "2024-03-07",
                         "--upload",
                         m_server->Url("/club/cgi-bin/netlog.cgi")};
        if (withOut)
            args << "--out" << out;
        const CCliRun run = Cli(args);
        QCOMPARE(run.exitCode, exitCode);
        if (!error.isEmpty())
            QVERIFY2(run.err.startsWith(error), qPrintable(run.err));
        const QList<CRecordedRequest> seen = m_server->Requests();
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen[0].method, QStringLiteral("POST"));
        QCOMPARE(seen[0].headers.value("content-type"), QStringLiteral("text/html; charset=iso-8859-1"));
        QVERIFY(seen[0].body.contains("Zo\xeb &lt;b&gt;"));
        if (withOut)
            QCOMPARE(seen[0].body, ReadFile(out));
    }

    void netlogRefusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("error");
        QTest::newRow("nothing to do")
            << QStringList{"--day", "2024-03-07"} << 2 << "give --out FILE, --upload URL or both";
        QTest::newRow("no day") << QStringList{"--out", "-"} << 2 << "--day YYYY-MM-DD is required";
        QTest::newRow("unknown option") << QStringList{"--day", "2024-03-07", "--out", "-", "--reversed"} << 2
                                        << "unknown option --reversed";
        QTest::newRow("day without check-ins")
            << QStringList{"--day", "2024-03-08", "--out", "-"} << 1
            << "No Matching Records for Date like '3/8/2024*' to upload...";
    }

    void netlogRefusals()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, error);
        const CCliRun run = Cli(QStringList{"netlog", "--log", m_log} + args);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(error), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
    }

    void prenet_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QStringList>("logOf"); // --log and --day, or nothing
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const QByteArray items =
            "<li>w4abc, Jo+Ann, Springfield</li>\n<li>W4AB, Al</li>\n<li>KH6/W4AB, Kai, Hilo, HI</li>";
        QTest::newRow("without a log") << PreNetPage(items) << QStringList{} << 0
                                       << "0|w4abc|Jo Ann|Springfield\n0|W4AB|Al|\n0|KH6/W4AB|Kai|Hilo, HI\n"
                                       << "";
        QTest::newRow("marked against the day")
            << PreNetPage(items) << QStringList{"--log", "LOG", "--day", "2024-03-07"} << 0
            << "1|w4abc|Jo Ann|Springfield\n0|W4AB|Al|\n1|KH6/W4AB|Kai|Hilo, HI\n"
            << "";
        QTest::newRow("another day") << PreNetPage(items)
                                     << QStringList{"--log", "LOG", "--day", "2024-02-29"} << 0
                                     << "0|w4abc|Jo Ann|Springfield\n0|W4AB|Al|\n0|KH6/W4AB|Kai|Hilo, HI\n"
                                     << "";
        QTest::newRow("no entries") << PreNetPage("") << QStringList{} << 1 << ""
                                    << "Nothing found so far for today\n";
        QTest::newRow("short page") << QByteArray("<html>Welcome</html>") << QStringList{} << 1 << ""
                                    << "Bad Server Name perhaps?\n";
        QTest::newRow("log without day") << PreNetPage(items) << QStringList{"--log", "LOG"} << 2 << ""
                                         << "";
        // A page cannot forge a record, shift the columns or turn a line round.
        QTest::newRow("forged record")
            << PreNetPage("<li>W4ABC, Al, Here&#10;1|FORGED|Mallory|Nowhere</li>") << QStringList{} << 0
            << "0|W4ABC|Al|Here 1\\x7cFORGED\\x7cMallory\\x7cNowhere\n"
            << "";
        QTest::newRow("separator, backslash and bidi override in fields")
            << PreNetPage("<li>W4|ABC, A\\l, &#x202e;ereH</li>") << QStringList{} << 0
            << "0|W4\\x7cABC|A\\\\l|\\u202eereH\n"
            << "";
    }

    void prenet()
    {
        QFETCH(QByteArray, page);
        QFETCH(QStringList, logOf);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        m_server->Route("/cgi-bin/preCheckIn", QJsonObject{{"body", QString::fromLatin1(page)}});
        logOf.replaceInStrings("LOG", m_log);
        const CCliRun run = Cli(QStringList{"prenet", "--server", m_server->Host()} + logOf);
        QCOMPARE(run.exitCode, exitCode);
        QCOMPARE(run.out, out);
        if (exitCode != 2)
            QCOMPARE(run.err, err);
    }

    void echolink_data()
    {
        QTest::addColumn<QJsonObject>("route");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::newRow("stations") << QJsonObject{{"body", "<html><body>W1AW-R K1ABC-L N0CALL </body></html>"}}
                                  << 0 << "W1AW-R\nK1ABC-L\nN0CALL\n";
        QTest::newRow("none connected") << QJsonObject{{"body", "<html><body></body></html>"}} << 0 << "";
        QTest::newRow("server error")
            << QJsonObject{{"status", 500}, {"body", "<body>Traceback </body>"}} << 1 << "";
        QTest::newRow("a line feed in a name")
            << QJsonObject{{"body", "<html><body>W1AW-R\nK9FAKE N0CALL </body></html>"}} << 0
            << "W1AW-R\\x0aK9FAKE\nN0CALL\n";
    }

    void echolink()
    {
        QFETCH(QJsonObject, route);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        m_server->Route("/cgi-bin/echoLogin", route);
        const CCliRun run = Cli({"echolink", "--server", "http://" + m_server->Host()});
        QCOMPARE(run.exitCode, exitCode);
        QCOMPARE(run.out, out);
        QCOMPARE(m_server->Requests().value(0).path, QStringLiteral("/cgi-bin/echoLogin"));
    }

    // Without --server the club's server of the settings; none set: nothing is asked of anybody.
    void clubServerFromTheSettings_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("serverSet");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("prenet, none set") << "prenet" << false << 1;
        QTest::newRow("echolink, none set") << "echolink" << false << 1;
        QTest::newRow("prenet, set") << "prenet" << true << 0;
        QTest::newRow("echolink, set") << "echolink" << true << 0;
    }

    void clubServerFromTheSettings()
    {
        QFETCH(QString, command);
        QFETCH(bool, serverSet);
        QFETCH(int, exitCode);
        m_server->Route("/cgi-bin/preCheckIn",
                        QJsonObject{{"body", QString::fromLatin1(PreNetPage("<li>W4ABC, Al</li>"))}});
        m_server->Route("/cgi-bin/echoLogin", QJsonObject{{"body", "<body>W1AW </body>"}});
        if (serverSet)
            WriteFile(m_scratch->File("Logwarden/Logwarden.ini"),
                      "[NetSettings]\nNetRecTO=500\n[PreNet]\nServer=" + m_server->Host().toLatin1() + "\n");
        const CCliRun run = Cli({command});
        QCOMPARE(run.exitCode, exitCode);
        if (serverSet) {
            QCOMPARE(m_server->Requests().size(), 1);
        } else {
            QCOMPARE(run.err,
                     QStringLiteral("logwarden-cli %1: Set the club's server first (--server HOST, or the "
                                    "club's server in the window)\n")
                         .arg(command));
            QVERIFY(m_server->Requests().isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(TestWebCli)
#include "tst_webcli.moc"
