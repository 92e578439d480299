// logwarden-cli uls-update, run as the user (or a cron job) runs it: what it says, its exit status, and a
// run killed at any moment leaving the database on a whole day.
#include "core/db/Database.h"
#include "core/fcc/FccDbState.h"
#include "core/fcc/UlsDaily.h"
#include "support/HttpServer.h"
#include "support/TestSupport.h"
#include "support/UlsDailies.h"
#include "support/UlsFiles.h"

#include <QJsonObject>
#include <QProcess>
#include <QtTest>
#include <SQLiteCpp/Database.h>
#include <csignal>
#include <thread>

using namespace TestSupport;

namespace {

const QDate kTue(2025, 6, 3);
const QDate kWed(2025, 6, 4);

QString Integrity(const QString& db)
{
    CDatabase read(db, CDatabase::ReadOnly);
    return QString::fromUtf8(read.Handle().execAndGet("PRAGMA integrity_check").getText());
}

} // namespace

class TestUlsUpdateCli : public QObject
{
    Q_OBJECT

    CScratch m_data;
    CUlsDailySet m_set;
    QString m_weeklyDb;
    QStringList m_tuesdayRows; // the weekly with Monday and Tuesday applied
    QStringList m_finalRows;
    std::unique_ptr<CScratch> m_scratch;
    std::unique_ptr<CHttpServer> m_server;

    QString FreshDb()
    {
        const QString db = m_scratch->File(QStringLiteral("FCC97.db"));
        QFile::remove(db);
        if (!QFile::copy(m_weeklyDb, db))
            qFatal("cannot copy the weekly database");
        return db;
    }
    void ServeDays(const QStringList& names, const QString& gate = {})
    {
        for (const QString& name : names) {
            ServeFile(*m_server, QStringLiteral("/daily/") + name, m_set.DailyZip(name));
            if (!gate.isEmpty() && name == names.last()) {
                QFile::copy(m_set.DailyZip(name), m_server->Root() + QStringLiteral("/gated.zip"));
                m_server->Route(QStringLiteral("/daily/") + name,
                                QJsonObject{{QStringLiteral("body_file"), QStringLiteral("gated.zip")},
                                            {QStringLiteral("gate"), gate}});
            }
        }
    }
    QStringList Args(const QString& db, const QString& until) const
    {
        return {QStringLiteral("uls-update"), QStringLiteral("--fcc"),    db,
                QStringLiteral("--dir"),      m_scratch->File("dailies"), QStringLiteral("--url-base"),
                m_server->Url("/daily"),      QStringLiteral("--until"),  until};
    }
    QList<QPair<QString, QString>> Environment() const
    {
        return {{QStringLiteral("XDG_CONFIG_HOME"), m_scratch->File(QStringLiteral("config"))},
                {QStringLiteral("LOGWARDEN_DATA_DIR"), m_scratch->File(QStringLiteral("data"))}};
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(CliPath()), qPrintable(CliPath()));
        QString why;
        if (!m_set.Make(m_data.File(QStringLiteral("set")), 2000, 3, 0.01, {}, &why))
            QSKIP(qPrintable(why));
        m_weeklyDb = m_data.File(QStringLiteral("weekly.db"));
        QCOMPARE(BuildFccDb(m_set.Weekly(), m_weeklyDb).state, CFccDbBuild::Succeeded);
        const QString finalDb = m_data.File(QStringLiteral("final.db"));
        QCOMPARE(BuildFccDb(m_set.Final(), finalDb).state, CFccDbBuild::Succeeded);
        m_finalRows = FccRows(finalDb);

        // Tuesday's state, applied in this process.
        const QString tuesday = m_data.File(QStringLiteral("tuesday.db"));
        QVERIFY(QFile::copy(m_weeklyDb, tuesday));
        for (const char* day : {"1-mon", "2-tue"}) {
            const QDate date = FccDbState::ReadFile(tuesday).appliedDate.addDays(1);
            UlsDaily::ApplyDay(tuesday, m_data.File(QStringLiteral("set/daily/") + QLatin1String(day)), date,
                               UlsDaily::FileName(date));
        }
        QCOMPARE(FccDbState::ReadFile(tuesday).appliedDate, kTue);
        m_tuesdayRows = FccRows(tuesday);
        QVERIFY(m_tuesdayRows != m_finalRows);
    }

    void init()
    {
        m_scratch = std::make_unique<CScratch>();
        m_server = std::make_unique<CHttpServer>();
    }
    void cleanup()
    {
        m_server.reset();
        m_scratch.reset();
    }

    void whatARunSaysAndItsExitStatus_data()
    {
        QTest::addColumn<QStringList>("served");
        QTest::addColumn<QString>("until");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said"); // on standard output (exit 0) or standard error
        QTest::addColumn<QDate>("holds");
        const QStringList all{"l_am_mon.zip", "l_am_tue.zip", "l_am_wed.zip"};
        QTest::newRow("every day out")
            << all << "2025-06-04" << 0
            << "l_am_wed.zip: 2025-06-04 applied, "
               "%1 licences\nThe FCC licence database is current: it holds 2025-06-04.\n"
            << kWed;
        QTest::newRow("the next day not out yet")
            << all << "2025-06-05" << 0
            << "the daily file of Thursday 2025-06-05 (l_am_thu.zip) is not published yet" << kWed;
        QTest::newRow("a missing day")
            << QStringList{"l_am_mon.zip", "l_am_wed.zip"} << "2025-06-04" << 3
            << "Download, extract and compile the weekly archive" << QDate(2025, 6, 2);
        QTest::newRow("not a date") << all << "06/04/2025" << 2 << "--until takes a date"
                                    << QDate(2025, 6, 1);
    }
    void whatARunSaysAndItsExitStatus()
    {
        QFETCH(QStringList, served);
        QFETCH(QString, until);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        QFETCH(QDate, holds);
        const QString db = FreshDb();
        ServeDays(served);
        const CCliRun run = RunCli(Args(db, until), Environment());
        QCOMPARE(run.exitCode, exitCode);
        const QString text = exitCode == 0 ? run.out : run.err;
        if (said.contains(QLatin1String("%1"))) {
            // One line per day, each with the number of licences it replaced or added.
            QCOMPARE(run.out.count(QLatin1String(" applied, ")), 3);
            const int licences = run.out.section(QLatin1Char('\n'), 2, 2)
                                     .section(QLatin1String("applied, "), 1)
                                     .section(' ', 0, 0)
                                     .toInt();
            QVERIFY(licences > 0);
            said = said.arg(licences);
        }
        QVERIFY2(text.contains(said), qPrintable(text));
        QCOMPARE(FccDbState::ReadFile(db).appliedDate, holds);
    }

    void aKilledUpdateLeavesTheLastCommittedDay()
    {
        const QString db = FreshDb();
        ServeDays({"l_am_mon.zip", "l_am_tue.zip", "l_am_wed.zip"}, QStringLiteral("wednesday"));
        QProcess update;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const auto& [name, value] : Environment())
            env.insert(name, value);
        update.setProcessEnvironment(env);
        update.start(CliPath(), Args(db, QStringLiteral("2025-06-04")));
        QVERIFY(update.waitForStarted());
        QVERIFY(m_server->WaitForRequests(3));
        QCOMPARE(m_server->Requests().last().path, QStringLiteral("/daily/l_am_wed.zip"));
        Signal(update, SIGKILL);
        QVERIFY(update.waitForFinished());

        QCOMPARE(Integrity(db), QStringLiteral("ok"));
        QCOMPARE(FccDbState::ReadFile(db).appliedDate, kTue);
        QCOMPARE(FccRows(db), m_tuesdayRows);

        // The next run goes on from there.
        m_server->Release(QStringLiteral("wednesday"));
        const CCliRun again = RunCli(Args(db, QStringLiteral("2025-06-04")), Environment());
        QCOMPARE(again.exitCode, 0);
        QCOMPARE(again.out.count(QLatin1String(" applied, ")), 1);
        QCOMPARE(FccRows(db), m_finalRows);
    }

    void aRunKilledAtAnyMomentHoldsOneWholeDay_data()
    {
        QTest::addColumn<int>("afterMs"); // after the last day's file is let through
        for (int ms : {0, 5, 15, 30, 60, 120})
            QTest::addRow("%d ms", ms) << ms;
    }
    void aRunKilledAtAnyMomentHoldsOneWholeDay()
    {
        QFETCH(int, afterMs);
        const QString db = FreshDb();
        ServeDays({"l_am_mon.zip", "l_am_tue.zip", "l_am_wed.zip"}, QStringLiteral("wednesday"));
        QProcess update;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const auto& [name, value] : Environment())
            env.insert(name, value);
        update.setProcessEnvironment(env);
        update.start(CliPath(), Args(db, QStringLiteral("2025-06-04")));
        QVERIFY(update.waitForStarted());
        QVERIFY(m_server->WaitForRequests(3));
        m_server->Release(QStringLiteral("wednesday"));
        std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
        Signal(update, SIGKILL);
        update.waitForFinished();

        QCOMPARE(Integrity(db), QStringLiteral("ok"));
        const QDate holds = FccDbState::ReadFile(db).appliedDate;
        QVERIFY2(holds == kTue || holds == kWed, qPrintable(holds.toString(Qt::ISODate)));
        QCOMPARE(FccRows(db), holds == kTue ? m_tuesdayRows : m_finalRows);
    }
};

QTEST_GUILESS_MAIN(TestUlsUpdateCli)
#include "tst_ulsupdatecli.moc"
