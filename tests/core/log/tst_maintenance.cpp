// Purge counts and deletions over date ranges, and emptying the log.
// Test labels: threads
#include "core/db/Database.h"
#include "core/log/CheckinQuery.h"
#include "core/log/CheckinStore.h"
#include "core/log/LogMaintenance.h"
#include "core/log/LogSchema.h"
#include "support/TestSupport.h"

#include <QFileInfo>
#include <QtTest>
#include <SQLiteCpp/Database.h>

using namespace TestSupport;

namespace {

QDateTime At(int month, int day, int hour, int minute = 0)
{
    return QDateTime(QDate(2024, month, day), QTime(hour, minute));
}

} // namespace

class TestMaintenance : public QObject
{
    Q_OBJECT

    std::unique_ptr<CScratch> m_scratch;
    std::unique_ptr<CDatabase> m_db;
    std::unique_ptr<CCheckinStore> m_store;

    QString LogPath() const { return m_scratch->File(QStringLiteral("Logwarden-97.db")); }
    // Nets on 3/1, 3/7 (two, one of them at midnight sharp) and 3/14, and one on 2/1 logged last.
    void LogNets()
    {
        AddCheckin(*m_db, {"K1A", At(3, 1, 19)});
        AddCheckin(*m_db, {"K1B", At(3, 7, 0)});
        AddCheckin(*m_db, {"K1C", At(3, 7, 19, 30)});
        AddCheckin(*m_db, {"K1D", At(3, 14, 19)});
        AddCheckin(*m_db, {"K1E", At(2, 1, 19)});
    }
    long Total() { return CheckinQuery::Count(*m_db, {}); }
    // The log's writer, as the window has it.
    CCheckinStore& Store()
    {
        if (!m_store)
            m_store = std::make_unique<CCheckinStore>(*m_db);
        return *m_store;
    }

private Q_SLOTS:
    void init()
    {
        m_scratch = std::make_unique<CScratch>();
        m_db = std::make_unique<CDatabase>(LogPath());
        LogSchema::Prepare(*m_db);
    }
    void cleanup()
    {
        m_store.reset();
        m_db.reset();
        m_scratch.reset();
    }

    void theWholeLogGivesItsCountAndOuterDates()
    {
        LogNets();
        CPurgeSelection s(QDate(2025, 1, 1), QDate(2025, 1, 1));
        const auto c = s.CountAll(*m_db);
        QCOMPARE(c.count, 5L);
        // The earliest and latest dates, not those of the first and last check-in logged.
        QCOMPARE(c.first, QDate(2024, 2, 1));
        QCOMPARE(c.last, QDate(2024, 3, 14));
        QVERIFY(s.IsWholeLog());
    }

    void rangesAreWholeDays_data()
    {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<long>("count");
        QTest::addColumn<QDate>("first");
        QTest::addColumn<QDate>("last");
        QTest::newRow("to 3/7 holds its 19:30 check-in")
            << QDate(2024, 3, 1) << QDate(2024, 3, 7) << 3L << QDate(2024, 3, 1) << QDate(2024, 3, 7);
        QTest::newRow("to 3/8 holds all of 3/7")
            << QDate(2024, 3, 1) << QDate(2024, 3, 8) << 3L << QDate(2024, 3, 1) << QDate(2024, 3, 7);
        QTest::newRow("from a day counts it from midnight")
            << QDate(2024, 3, 7) << QDate(2024, 3, 15) << 3L << QDate(2024, 3, 7) << QDate(2024, 3, 14);
        QTest::newRow("one day to itself")
            << QDate(2024, 3, 7) << QDate(2024, 3, 7) << 2L << QDate(2024, 3, 7) << QDate(2024, 3, 7);
        QTest::newRow("nothing in the range")
            << QDate(2024, 4, 1) << QDate(2024, 5, 1) << 0L << QDate() << QDate();
        QTest::newRow("from after to") << QDate(2024, 3, 14) << QDate(2024, 3, 1) << 0L << QDate() << QDate();
    }
    void rangesAreWholeDays()
    {
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(long, count);
        QFETCH(QDate, first);
        QFETCH(QDate, last);
        LogNets();
        CPurgeSelection s(from, to);
        s.SetFrom(*m_db, from);
        const auto c = s.SetTo(*m_db, to);
        QCOMPARE(c.count, count);
        QCOMPARE(c.first, first);
        QCOMPARE(c.last, last);
        QCOMPARE(s.Recount(*m_db), count);
    }

    void changingOneDateKeepsTheOtherEndOfTheRange()
    {
        LogNets();
        CPurgeSelection s(QDate(2025, 1, 1), QDate(2025, 1, 1));
        s.CountAll(*m_db); // the pickers now show 2/1 and 3/14
        // The 3/14 check-in at 19:00 stays inside when only the FROM date moves.
        auto c = s.SetFrom(*m_db, QDate(2024, 3, 2));
        QCOMPARE(c.count, 3L);
        QCOMPARE(c.first, QDate(2024, 3, 7));
        QCOMPARE(c.last, QDate(2024, 3, 14));
        c = s.SetFrom(*m_db, QDate(2024, 3, 1));
        QCOMPARE(c.count, 4L);
        c = s.SetTo(*m_db, QDate(2024, 3, 14)); // the whole of the TO day
        QCOMPARE(c.count, 4L);
        QCOMPARE(c.last, QDate(2024, 3, 14));
        c = s.SetTo(*m_db, QDate(2024, 3, 13));
        QCOMPARE(c.count, 3L);
        QCOMPARE(c.last, QDate(2024, 3, 7));
    }

    void datesThatAreNotDatesCountOnlyInTheWholeLog()
    {
        LogNets();
        AddCheckin(*m_db, {"K1N", At(3, 7, 20)});
        AddCheckin(*m_db, {"K1I", At(3, 7, 21)});
        m_db->Execute(QStringLiteral("UPDATE LogwardenTab SET \"Date\" = NULL WHERE CallSign = 'K1N'"));
        m_db->Execute(QStringLiteral("UPDATE LogwardenTab SET \"Date\" = 'invalid' WHERE CallSign = 'K1I'"));
        CPurgeSelection s(QDate(2024, 1, 1), QDate(2025, 1, 1));
        const auto all = s.CountAll(*m_db);
        QCOMPARE(all.count, 7L);
        QCOMPARE(all.last, QDate(2024, 3, 14));
        QCOMPARE(s.SetFrom(*m_db, QDate(2024, 1, 1)).count, 5L);
    }

    void purgingDeletesExactlyTheRange()
    {
        LogNets();
        CPurgeSelection s(QDate(2024, 3, 1), QDate(2024, 3, 7));
        s.SetFrom(*m_db, QDate(2024, 3, 1));
        s.SetTo(*m_db, QDate(2024, 3, 7));
        QCOMPARE(Store().Purge(s), 3L);
        QCOMPARE(Total(), 2L);
        QCOMPARE(s.Recount(*m_db), 0L);
        QCOMPARE(Store().Purge(s), 0L);
        // The whole log, when no date was changed.
        CPurgeSelection all{QDate(), QDate()};
        all.CountAll(*m_db);
        QCOMPARE(Store().Purge(all), 2L);
        QCOMPARE(Total(), 0L);
    }

    void emptyLogCountsZero()
    {
        CPurgeSelection s(QDate(2024, 3, 1), QDate(2024, 3, 7));
        const auto c = s.CountAll(*m_db);
        QCOMPARE(c.count, 0L);
        QVERIFY(!c.first.isValid());
        QCOMPARE(s.SetTo(*m_db, QDate(2024, 3, 8)).count, 0L);
        QCOMPARE(Store().Purge(s), 0L);
    }

    void emptyingTwiceCompactsInPlace_data()
    {
        QTest::addColumn<bool>("inBackground");
        QTest::newRow("on this thread") << false;
        QTest::newRow("in the background, as the window does") << true;
    }

    void emptyingTwiceCompactsInPlace()
    {
        QFETCH(bool, inBackground);
        const auto empty = [&] {
            if (!inBackground)
                return Store().Empty();
            QSignalSpy done(&Store(), &CCheckinStore::compactionFinished);
            QVERIFY(Store().EmptyInBackground());
            QVERIFY(Store().IsCompacting());
            QVERIFY(done.wait(20000));
            QCOMPARE(done.first().first().toString(), QString());
        };
        // Enough check-ins to give the file some size.
        m_db->Execute(QStringLiteral("BEGIN"));
        for (int i = 0; i < 3000; ++i)
            AddCheckin(*m_db,
                       {QStringLiteral("K%1").arg(i), At(3, 1 + i % 28, 19), QString(200, QLatin1Char('x'))});
        m_db->Execute(QStringLiteral("COMMIT"));
        m_db->Execute(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        const qint64 before = QFileInfo(LogPath()).size();

        empty();
        QCOMPARE(Total(), 0L);
        QVERIFY(QFileInfo(LogPath()).size() < before / 4);
        // Nothing is left beside the log that would stand in the way of the next emptying.
        QCOMPARE(QDir(m_scratch->Path()).entryList({"*Compressed*"}), QStringList());
        empty();
        QCOMPARE(Total(), 0L);

        // The log is still a log: check-ins are added, with IDs after every earlier one.
        QCOMPARE(AddCheckin(*m_db, {"K1NEW", At(3, 7, 19)}), 3001);
        m_store.reset();
        m_db.reset();
        CDatabase again(LogPath(), CDatabase::ReadWrite);
        QCOMPARE(CheckinQuery::Count(again, {}), 1L);
    }
};

QTEST_GUILESS_MAIN(TestMaintenance)
#include "tst_maintenance.moc"
