// logwarden-cli regulars and net-summary on a real log: what they print, and clear refusals.
#include "core/db/Database.h"
#include "core/log/CheckinStore.h"
#include "core/log/LogSchema.h"
#include "support/TestSupport.h"

#include <QtTest>

using namespace TestSupport;

class TestNetCli : public QObject
{
    Q_OBJECT

    std::unique_ptr<CScratch> m_scratch;
    QString m_log;

private Q_SLOTS:
    void init()
    {
        m_scratch = std::make_unique<CScratch>();
        m_log = m_scratch->File(QStringLiteral("Logwarden-97.db"));
        CDatabase db(m_log);
        LogSchema::Prepare(db);
        // Thursday nets; the last one before 2024-03-07 is 2024-02-29.
        const QDate day(2024, 3, 7);
        AddCheckin(db, {"K1AAA", QDateTime(day.addDays(-7), QTime(19, 0)), "Ann"});
        AddCheckin(db, {"K1AAA", QDateTime(day.addDays(-14), QTime(19, 0)), "Ann"});
        AddCheckin(db, {"W2B|B", QDateTime(day.addDays(-7), QTime(19, 1)), "Bob\nSmith"});
        AddCheckin(db, {"W2B|B", QDateTime(day.addDays(-21), QTime(19, 1)), "Bob"});
        AddCheckin(db, {"N3CCC", QDateTime(day.addDays(-28), QTime(19, 1)), "Cy"});
        AddCheckin(db, {"N3CCC", QDateTime(day.addDays(-35), QTime(19, 1)), "Cy"});
        AddCheckin(db, {"N3CCC", QDateTime(day, QTime(19, 2)), "Cy", {}, true, true});
        AddCheckin(db, {"N0NEW", QDateTime(day, QTime(19, 3)), "Nu"});
        // Stored by an import of an older version: a call with a line break in it.
        AddCheckin(db, {"K1\nCheck-ins: 999", QDateTime(day.addDays(2), QTime(19, 0)), "Forger"});
        CCheckinStore store(db);
        store.StampNet(day, NetTimes::Stamp::Start, QDateTime(day, QTime(19, 0)));
        store.StampNet(day, NetTimes::Stamp::End, QDateTime(day, QTime(19, 30)));
    }
    void cleanup() { m_scratch.reset(); }

    void prints_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("out");
        QTest::newRow("regulars") << QStringList{"regulars", "--day", "2024-03-07"}
                                  << "W2B\\x7cB|Bob\\x0aSmith|2024-02-29|2\nK1AAA|Ann|2024-02-29|2\n";
        QTest::newRow("regulars of five nets, three times")
            << QStringList{"regulars", "--day", "2024-03-07", "--nets", "5", "--min", "3"} << "";
        QTest::newRow("regulars of one net, once")
            << QStringList{"regulars", "--day=2024-03-07", "--nets=1", "--min=1"}
            << "W2B\\x7cB|Bob\\x0aSmith|2024-02-29|1\nK1AAA|Ann|2024-02-29|1\n";
        QTest::newRow("summary") << QStringList{"net-summary", "--day", "2024-03-07"}
                                 << "Net of Thursday, March 7, 2024\nCheck-ins: 2\nNew stations: 1 (N0NEW)\n"
                                    "Regulars missing: 2 (W2B|B, K1AAA)\nTraffic: 1\nAcknowledged: 1\n"
                                    "Started: 19:00\nEnded: 19:30\nDuration: 30 min\n";
        QTest::newRow("summary as HTML, escaped")
            << QStringList{"net-summary", "--day", "2024-03-07", "--html"}
            << "<h2>Net of Thursday, March 7, 2024</h2>\n<table>\n"
               "<tr><th align=\"left\">Check-ins</th><td>2</td></tr>\n"
               "<tr><th align=\"left\">New stations</th><td>1 (N0NEW)</td></tr>\n"
               "<tr><th align=\"left\">Regulars missing</th><td>2 (W2B|B, K1AAA)</td></tr>\n"
               "<tr><th align=\"left\">Traffic</th><td>1</td></tr>\n"
               "<tr><th align=\"left\">Acknowledged</th><td>1</td></tr>\n"
               "<tr><th align=\"left\">Started</th><td>19:00</td></tr>\n"
               "<tr><th align=\"left\">Ended</th><td>19:30</td></tr>\n"
               "<tr><th align=\"left\">Duration</th><td>30 min</td></tr>\n</table>\n";
        QTest::newRow("summary, a line break in a call")
            << QStringList{"net-summary", "--day", "2024-03-09"}
            << "Net of Saturday, March 9, 2024\nCheck-ins: 1\nNew stations: 1 (K1\\nCheck-ins: 999)\n"
               "Regulars missing: 0\nTraffic: 0\nAcknowledged: 0\nStarted: not stamped\nEnded: not stamped\n"
               "Duration: unknown\n";
        QTest::newRow("summary of a day without a net")
            << QStringList{"net-summary", "--day", "2024-03-08"}
            << "Net of Friday, March 8, 2024\nCheck-ins: 0\nNew stations: 0\nRegulars missing: 0\nTraffic: "
               "0\n"
               "Acknowledged: 0\nStarted: not stamped\nEnded: not stamped\nDuration: unknown\n";
    }
    void prints()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, out);
        const CCliRun run = RunCli(args + QStringList{"--log", m_log});
        QCOMPARE(run.err, QString());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, out);
    }

    void refuses_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        QTest::newRow("no day") << QStringList{"regulars", "--log", "LOG"} << 2
                                << "--day YYYY-MM-DD is required";
        QTest::newRow("no log") << QStringList{"net-summary", "--day", "2024-03-07"} << 2
                                << "--log FILE is required";
        QTest::newRow("not a day") << QStringList{"regulars", "--log", "LOG", "--day", "2024-02-30"} << 2
                                   << "'2024-02-30' is not a day";
        QTest::newRow("nets not a number")
            << QStringList{"regulars", "--log", "LOG", "--day", "2024-03-07", "--nets", "four"} << 2
            << "--nets takes a number from 1 to 52";
        QTest::newRow("min above nets")
            << QStringList{"regulars", "--log", "LOG", "--day", "2024-03-07", "--nets", "2", "--min", "3"}
            << 2 << "--min 3 is more than --nets 2";
        QTest::newRow("unknown option")
            << QStringList{"net-summary", "--log", "LOG", "--day", "2024-03-07", "--x"} << 2 << "--x";
        QTest::newRow("missing log") << QStringList{"regulars", "--log", "MISSING", "--day", "2024-03-07"}
                                     << 1 << "does not exist";
        QTest::newRow("not a log") << QStringList{"net-summary", "--log", "EMPTYDB", "--day", "2024-03-07"}
                                   << 1 << "holds no check-in log";
    }
    void refuses()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, says);
        {
            CDatabase other(m_scratch->File("other.db"));
            other.Execute(QStringLiteral("CREATE TABLE t (x)"));
        }
        args.replaceInStrings(QStringLiteral("EMPTYDB"), m_scratch->File("other.db"));
        args.replaceInStrings(QStringLiteral("MISSING"), m_scratch->File("missing.db"));
        args.replaceInStrings(QStringLiteral("LOG"), m_log);
        const CCliRun run = RunCli(args);
        QCOMPARE(run.exitCode, status);
        QVERIFY2(run.err.contains(says), qPrintable(run.err));
        QCOMPARE(run.out, QString());
    }
};

QTEST_GUILESS_MAIN(TestNetCli)
#include "tst_netcli.moc"
