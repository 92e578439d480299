// logwarden-cli add, sync, conflicts and shared init against a real PostgreSQL server.
#include "core/db/Database.h"
#include "core/log/CheckinStore.h"
#include "support/PgServer.h"
#include "support/TestSupport.h"

#include <QProcess>
#include <QtTest>
#include <signal.h>

using namespace TestSupport;

class TestSharedCli : public QObject
{
    Q_OBJECT

    std::unique_ptr<CPgServer> m_server;
    std::unique_ptr<CScratch> m_scratch;

    CCliRun Sync(const QString& log, const QString& op, const QString& mode = QStringLiteral("--once"))
    {
        return RunCli({QStringLiteral("sync"), QStringLiteral("--log"), log, QStringLiteral("--db"),
                       m_server->ConnInfo(), QStringLiteral("--net"), QStringLiteral("Tuesday Net"),
                       QStringLiteral("--operator"), op, QStringLiteral("--create-net"), mode});
    }
    CCliRun Add(const QString& log, const QString& call, const QStringList& more = {})
    {
        return RunCli(QStringList{QStringLiteral("add"), QStringLiteral("--log"), log,
                                  QStringLiteral("--call"), call, QStringLiteral("--date"),
                                  QStringLiteral("2026-12-08 19:00:00")} +
                      more);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_server = std::make_unique<CPgServer>();
        QVERIFY2(m_server->Error().isEmpty(), qPrintable(m_server->Error()));
        const CCliRun first = RunCli(
            {QStringLiteral("shared"), QStringLiteral("init"), QStringLiteral("--db"), m_server->ConnInfo()});
        QCOMPARE(first.exitCode, 0);
        QVERIFY2(first.out.contains(QLatin1String("went from version 0 to")), qPrintable(first.out));
        const CCliRun again = RunCli(
            {QStringLiteral("shared"), QStringLiteral("init"), QStringLiteral("--db"), m_server->ConnInfo()});
        QCOMPARE(again.exitCode, 0);
        QVERIFY2(again.out.contains(QLatin1String("is up to date")), qPrintable(again.out));
    }
    void init()
    {
        m_scratch = std::make_unique<CScratch>();
        QCOMPARE(m_server->Exec(QStringLiteral("DELETE FROM checkin")), QString());
    }

    void addKeepsTheFormsRules_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("says");
        QTest::newRow("a new station")
            << QStringList{QStringLiteral("--call"), QStringLiteral("k1abc"), QStringLiteral("--traffic")}
            << 0 << "K1ABC logged as check-in #2";
        QTest::newRow("the same station that day")
            << QStringList{QStringLiteral("--call"), QStringLiteral("W1AW")} << 1 << "Already logged";
        QTest::newRow("no call sign")
            << QStringList{QStringLiteral("--call"), QStringLiteral(" ")} << 2 << "--call CALL";
        QTest::newRow("not a date") << QStringList{QStringLiteral("--call"), QStringLiteral("N2DEF"),
                                                   QStringLiteral("--date"), QStringLiteral("8/12/2026")}
                                    << 2 << "not a date";
    }
    void addKeepsTheFormsRules()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, says);
        const QString log = m_scratch->File(QStringLiteral("a.db"));
        QCOMPARE(Add(log, QStringLiteral("W1AW")).exitCode, 0);
        QStringList all{QStringLiteral("add"), QStringLiteral("--log"), log};
        all << args;
        if (!args.contains(QLatin1String("--date")))
            all << QStringLiteral("--date") << QStringLiteral("2026-12-08 19:05:00");
        const CCliRun run = RunCli(all);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2((run.out + run.err).contains(says), qPrintable(run.out + run.err));
    }

    void syncOnceAndFollow()
    {
        const QString a = m_scratch->File(QStringLiteral("a.db"));
        const QString b = m_scratch->File(QStringLiteral("b.db"));
        QCOMPARE(Add(a, QStringLiteral("W1AW")).exitCode, 0);
        QCOMPARE(Sync(a, QStringLiteral("N4NCS")).out.trimmed(),
                 QStringLiteral("pushed 1, pulled 0, conflicts 0"));
        QCOMPARE(Sync(b, QStringLiteral("K4LOG")).out.trimmed(),
                 QStringLiteral("pushed 0, pulled 1, conflicts 0"));
        // b follows; what is logged into b meanwhile (by another program) goes out, and a SIGTERM flushes.
        QProcess follow;
        follow.start(CliPath(), {QStringLiteral("sync"), QStringLiteral("--log"), b, QStringLiteral("--db"),
                                 m_server->ConnInfo(), QStringLiteral("--net"), QStringLiteral("Tuesday Net"),
                                 QStringLiteral("--follow")});
        QVERIFY(follow.waitForStarted());
        QCOMPARE(Add(b, QStringLiteral("K1ABC")).exitCode, 0);
        // (Counted: the macro asks again after it succeeded.)
        int pulled = 0;
        QTRY_VERIFY_WITH_TIMEOUT(
            (pulled += Sync(a, QStringLiteral("N4NCS")).out.contains(QLatin1String("pulled 1"))) > 0, 20000);
        QCOMPARE(Add(b, QStringLiteral("N2DEF")).exitCode, 0);
        Signal(follow, SIGTERM);
        QVERIFY(follow.waitForFinished(20000));
        QCOMPARE(follow.exitCode(), 0);
        QVERIFY2(QString::fromUtf8(follow.readAllStandardOutput()).startsWith(QLatin1String("pushed 2,")),
                 qPrintable(QString::fromUtf8(follow.readAllStandardError())));
        QCOMPARE(Sync(a, QStringLiteral("N4NCS")).out.trimmed(),
                 QStringLiteral("pushed 0, pulled 1, conflicts 0"));
    }

    void conflictsAreListed()
    {
        const QString a = m_scratch->File(QStringLiteral("a.db"));
        const QString b = m_scratch->File(QStringLiteral("b.db"));
        QCOMPARE(Add(a, QStringLiteral("W1AW"), {QStringLiteral("--name"), QStringLiteral("Hiram")}).exitCode,
                 0);
        Sync(a, QStringLiteral("N4NCS"));
        Sync(b, QStringLiteral("K4LOG"));
        // Another operator renames the station; a does too before it hears of it.
        QCOMPARE(m_server->Exec(QStringLiteral("UPDATE checkin SET name = 'Percy', version = version + 1")),
                 QString());
        const CCliRun clean = RunCli({QStringLiteral("conflicts"), QStringLiteral("--log"), a});
        QCOMPARE(clean.out, QString());
        {
            CDatabase db(a);
            CCheckinStore store(db);
            CCheckinRecord r = *store.Get(1);
            r.name = QStringLiteral("H. P.");
            QVERIFY(store.Save(r));
        }
        QCOMPARE(Sync(a, QStringLiteral("N4NCS")).out.trimmed(),
                 QStringLiteral("pushed 0, pulled 1, conflicts 1"));
        const CCliRun listed = RunCli({QStringLiteral("conflicts"), QStringLiteral("--log"), a});
        QCOMPARE(listed.exitCode, 0);
        QCOMPARE(listed.out.trimmed(), QStringLiteral("1|W1AW|2026-12-08 19:00:00|Name|H. P.|Percy"));
    }
};

QTEST_GUILESS_MAIN(TestSharedCli)
#include "tst_sharedcli.moc"
