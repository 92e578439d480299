// The net aids on a real log: the regulars not yet heard, the net's summary and stamps, and taking the
// operator's last actions back through the store.
#include "core/db/Database.h"
#include "core/log/CheckinStore.h"
#include "core/log/LogFilter.h"
#include "core/log/LogQueries.h"
#include "core/log/LogSchema.h"
#include "core/net/NetDays.h"
#include "core/net/NetRegulars.h"
#include "core/net/NetStatistics.h"
#include "core/net/NetSummary.h"
#include "core/net/NetTimes.h"
#include "support/TestSupport.h"

#include <QtTest>
#include <ctime>

using namespace TestSupport;

namespace {

// "2024-10-31 19:05 K1ABC" (optionally followed by flags: "ack", "traffic").
CCheckin Parse(const QString& line)
{
    const QStringList parts = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    CCheckin c{parts.at(2), QDateTime(QDate::fromString(parts.at(0), Qt::ISODate),
                                      QTime::fromString(parts.at(1), QStringLiteral("HH:mm")))};
    c.name = QStringLiteral("Name of ") + parts.at(2);
    c.ack = parts.contains(QStringLiteral("ack"));
    c.traffic = parts.contains(QStringLiteral("traffic"));
    return c;
}

} // namespace

class TestNetRules : public QObject
{
    Q_OBJECT

    std::unique_ptr<CScratch> m_scratch;
    std::unique_ptr<CDatabase> m_db;

    void Load(const QStringList& lines)
    {
        for (const QString& line : lines)
            AddCheckin(*m_db, Parse(line));
    }

private Q_SLOTS:
    void initTestCase()
    {
        // A zone with daylight-saving changes between the nets of the tables below.
        qputenv("TZ", "America/New_York");
        tzset();
    }
    void init()
    {
        m_scratch = std::make_unique<CScratch>();
        m_db = std::make_unique<CDatabase>(m_scratch->File(QStringLiteral("Logwarden-97.db")));
        LogSchema::Prepare(*m_db);
    }
    void cleanup()
    {
        m_db.reset();
        m_scratch.reset();
    }

    void regularsNotYetHeard_data()
    {
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<QDate>("day");
        QTest::addColumn<int>("nets");
        QTest::addColumn<int>("minTimes");
        QTest::addColumn<QStringList>("expected"); // CALL|LAST-HEARD|TIMES, newest first

        // Thursday nets before Thursday 2024-11-07 (the clocks went back on Sunday 2024-11-03).
        const QStringList fourNets{"2024-10-31 19:00 K1AAA", "2024-10-31 19:05 K2BBB",
                                   "2024-10-24 19:00 K1AAA", "2024-10-24 19:02 K3CCC",
                                   "2024-10-17 19:00 K2BBB", "2024-10-10 19:00 K4DDD",
                                   "2024-10-03 19:00 K3CCC", "2024-10-03 19:01 K4DDD"};
        const QDate thursday(2024, 11, 7);
        QTest::newRow("two of the last four")
            << fourNets << thursday << 4 << 2
            << QStringList{"K2BBB|2024-10-31 19:05|2", "K1AAA|2024-10-31 19:00|2"};
        QTest::newRow("logged tonight, in other case")
            << (fourNets + QStringList{"2024-11-07 19:00 k1aaa"}) << thursday << 4 << 2
            << QStringList{"K2BBB|2024-10-31 19:05|2"};
        QTest::newRow("a fifth net back counts with five")
            << fourNets << thursday << 5 << 2
            << QStringList{"K2BBB|2024-10-31 19:05|2", "K1AAA|2024-10-31 19:00|2", "K3CCC|2024-10-24 19:02|2",
                           "K4DDD|2024-10-10 19:00|2"};
        QTest::newRow("one of them is enough with min 1")
            << fourNets << thursday << 2 << 1
            << QStringList{"K2BBB|2024-10-31 19:05|1", "K1AAA|2024-10-31 19:00|2",
                           "K3CCC|2024-10-24 19:02|1"};
        QTest::newRow("other weekdays are other nets")
            << QStringList{"2024-10-30 19:00 W1XYZ", "2024-10-23 19:00 W1XYZ", "2024-10-31 19:00 K1AAA",
                           "2024-10-24 19:00 K9ZZZ"}
            << thursday << 4 << 2 << QStringList{};
        QTest::newRow("weeks without a net are skipped")
            << QStringList{"2024-10-31 19:00 K1AAA", "2024-10-03 19:00 K5EEE", "2024-09-26 19:00 K5EEE",
                           "2024-09-19 19:00 K6FFF", "2024-09-12 19:00 K6FFF"}
            << thursday << 4 << 2 << QStringList{"K5EEE|2024-10-03 19:00|2"};
        QTest::newRow("twice on one net counts once")
            << QStringList{"2024-10-31 19:00 K7GGG", "2024-10-31 19:40 K7GGG", "2024-10-24 19:00 K1AAA"}
            << thursday << 4 << 2 << QStringList{};
        QTest::newRow("late and early check-ins stay on their calendar day")
            << QStringList{"2024-10-31 00:10 K8HHH", "2024-10-24 23:50 K8HHH", "2024-10-30 23:50 K9III",
                           "2024-10-25 00:05 K9III", "2024-10-24 20:00 K9III"}
            << thursday << 4 << 2 << QStringList{"K8HHH|2024-10-31 00:10|2"};
        // The clocks went forward on Sunday 2024-03-10.
        QTest::newRow("across the spring change")
            << QStringList{"2024-03-14 19:00 N1JJJ", "2024-03-07 19:00 N1JJJ", "2024-03-13 19:00 N2KKK",
                           "2024-03-06 19:00 N2KKK"}
            << QDate(2024, 3, 21) << 4 << 2 << QStringList{"N1JJJ|2024-03-14 19:00|2"};
        QTest::newRow("no earlier net")
            << QStringList{"2024-11-07 19:00 K1AAA"} << thursday << 4 << 2 << QStringList{};
        QTest::newRow("a later net is not an earlier one")
            << QStringList{"2024-11-14 19:00 K1AAA", "2024-11-21 19:00 K1AAA"} << thursday << 4 << 2
            << QStringList{};
    }
    void regularsNotYetHeard()
    {
        QFETCH(QStringList, log);
        QFETCH(QDate, day);
        QFETCH(int, nets);
        QFETCH(int, minTimes);
        QFETCH(QStringList, expected);
        Load(log);
        QStringList got;
        for (const NetRegulars::CRegular& r : NetRegulars::Missing(*m_db, day, {nets, minTimes}))
            got << QStringLiteral("%1|%2|%3")
                       .arg(r.callSign, r.lastHeard.toString(QStringLiteral("yyyy-MM-dd HH:mm")))
                       .arg(r.times);
        QCOMPARE(got, expected);
    }

    void summaryCounts_data()
    {
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<QStringList>("stamps"); // "start HH:mm", "end HH:mm" on the day
        QTest::addColumn<QStringList>("expected");

        const QStringList history{"2024-10-31 19:00 K1AAA", "2024-10-24 19:00 K1AAA",
                                  "2024-10-31 19:00 K2BBB", "2024-10-24 19:00 K2BBB",
                                  "2024-06-01 10:00 K3CCC"};
        QTest::newRow("a net with everything")
            << (history + QStringList{"2024-11-07 19:01 K1AAA ack", "2024-11-07 19:02 K3CCC ack traffic",
                                      "2024-11-07 19:03 N0NEW", "2024-11-07 19:04 N0NEW ack",
                                      "2024-11-07 19:05 N1NEW traffic"})
            << QStringList{"start 19:00", "end 19:47"}
            << QStringList{"Net of Thursday, November 7, 2024",
                           "Check-ins: 5",
                           "New stations: 2 (N0NEW, N1NEW)",
                           "Regulars missing: 1 (K2BBB)",
                           "Traffic: 2",
                           "Acknowledged: 3",
                           "Started: 19:00",
                           "Ended: 19:47",
                           "Duration: 47 min"};
        QTest::newRow("an empty day, not stamped") << history << QStringList{}
                                                   << QStringList{"Net of Thursday, November 7, 2024",
                                                                  "Check-ins: 0",
                                                                  "New stations: 0",
                                                                  "Regulars missing: 2 (K1AAA, K2BBB)",
                                                                  "Traffic: 0",
                                                                  "Acknowledged: 0",
                                                                  "Started: not stamped",
                                                                  "Ended: not stamped",
                                                                  "Duration: unknown"};
        QTest::newRow("ended only, over an hour")
            << QStringList{"2024-11-07 19:01 K1AAA"} << QStringList{"start 18:30", "end 19:35"}
            << QStringList{"Net of Thursday, November 7, 2024",
                           "Check-ins: 1",
                           "New stations: 1 (K1AAA)",
                           "Regulars missing: 0",
                           "Traffic: 0",
                           "Acknowledged: 0",
                           "Started: 18:30",
                           "Ended: 19:35",
                           "Duration: 1 h 05 min"};
        QTest::newRow("an end before the start has no duration")
            << QStringList{} << QStringList{"start 20:00", "end 19:00"}
            << QStringList{"Net of Thursday, November 7, 2024",
                           "Check-ins: 0",
                           "New stations: 0",
                           "Regulars missing: 0",
                           "Traffic: 0",
                           "Acknowledged: 0",
                           "Started: 20:00",
                           "Ended: 19:00",
                           "Duration: unknown"};
    }
    void summaryCounts()
    {
        QFETCH(QStringList, log);
        QFETCH(QStringList, stamps);
        QFETCH(QStringList, expected);
        Load(log);
        CCheckinStore store(*m_db);
        const QDate day(2024, 11, 7);
        for (const QString& s : stamps) {
            const QStringList p = s.split(QLatin1Char(' '));
            store.StampNet(day,
                           p[0] == QLatin1String("start") ? NetTimes::Stamp::Start : NetTimes::Stamp::End,
                           QDateTime(day, QTime::fromString(p[1], QStringLiteral("HH:mm"))));
        }
        const CNetSummary summary = NetSummary::Summarize(*m_db, day);
        QCOMPARE(summary.Lines(), expected);
        // The page for the club's site holds the same values, escaped.
        QVERIFY(summary.Html().contains(
            QStringLiteral("<th align=\"left\">Check-ins</th><td>%1</td>").arg(expected[1].mid(11))));
    }

    void stampingAgainReplacesOnlyThatStamp()
    {
        CCheckinStore store(*m_db);
        QSignalSpy stamped(&store, &CCheckinStore::netStamped);
        const QDate day(2024, 11, 7);
        store.StampNet(day, NetTimes::Stamp::Start, QDateTime(day, QTime(19, 0)));
        store.StampNet(day, NetTimes::Stamp::End, QDateTime(day, QTime(19, 40)));
        store.StampNet(day, NetTimes::Stamp::Start, QDateTime(day, QTime(19, 10)));
        QCOMPARE(stamped.size(), 3);
        const NetTimes::CTimes t = NetTimes::Get(*m_db, day);
        QCOMPARE(t.started, QDateTime(day, QTime(19, 10)));
        QCOMPARE(t.ended, QDateTime(day, QTime(19, 40)));
        QVERIFY(!NetTimes::Get(*m_db, day.addDays(1)).started.isValid());
        // Kept in the log file, across a new connection.
        m_db = std::make_unique<CDatabase>(m_scratch->File(QStringLiteral("Logwarden-97.db")),
                                           CDatabase::ReadOnly);
        QCOMPARE(NetTimes::Get(*m_db, day).DurationSecs(), 30 * 60);
    }

    void undoTakesTheActionBack_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("said");
        QTest::addColumn<QStringList>("afterUndo"); // id:call of the day

        QTest::newRow("deletion of one") << "delete 2"
                                         << "Undid the deletion of 1 check-in (K2BBB): restored."
                                         << QStringList{"1:K1AAA", "2:K2BBB", "3:K3CCC"};
        QTest::newRow("deletion of two") << "delete 1 3"
                                         << "Undid the deletion of 2 check-ins (K1AAA, K3CCC): restored."
                                         << QStringList{"1:K1AAA", "2:K2BBB", "3:K3CCC"};
        QTest::newRow("deletion, then a new check-in")
            << "delete 3; add N0NEW"
            << "Undid the deletion of 1 check-in (K3CCC): restored."
            << QStringList{"1:K1AAA", "2:K2BBB", "3:K3CCC", "4:N0NEW"};
        QTest::newRow("correction") << "correct 2 W2BBB"
                                    << "Undid the correction of K2BBB."
                                    << QStringList{"1:K1AAA", "2:K2BBB", "3:K3CCC"};
        QTest::newRow("correction, then ticked: the tick stays")
            << "correct 2 W2BBB; ack 2"
            << "Undid the correction of K2BBB." << QStringList{"1:K1AAA", "2:K2BBB ack", "3:K3CCC"};
        QTest::newRow("correction changed again elsewhere: that change stays")
            << "correct 2 W2BBB; plain 2 N2BBB"
            << "Undid the correction of K2BBB." << QStringList{"1:K1AAA", "2:N2BBB", "3:K3CCC"};
        QTest::newRow("correction of a deleted check-in")
            << "correct 2 W2BBB; plaindelete 2"
            << "Could not undo the correction of K2BBB: the check-in is no longer in the log."
            << QStringList{"1:K1AAA", "3:K3CCC"};
        QTest::newRow("pre-net move")
            << "move N0NEW N1NEW"
            << "Undid the pre-net move of 2 check-ins (N0NEW, N1NEW): 2 removed from the log."
            << QStringList{"1:K1AAA", "2:K2BBB", "3:K3CCC"};
        QTest::newRow("only the last action")
            << "delete 1; delete 2"
            << "Undid the deletion of 1 check-in (K2BBB): restored." << QStringList{"2:K2BBB", "3:K3CCC"};
        QTest::newRow("a save that changes nothing is no action")
            << "delete 1; correct 2 K2BBB"
            << "Undid the deletion of 1 check-in (K1AAA): restored."
            << QStringList{"1:K1AAA", "2:K2BBB", "3:K3CCC"};
        QTest::newRow("an emptied log has nothing to undo") << "delete 1; empty"
                                                            << "" << QStringList{};
        QTest::newRow("nothing done") << ""
                                      << "" << QStringList{"1:K1AAA", "2:K2BBB", "3:K3CCC"};
    }
    void undoTakesTheActionBack()
    {
        QFETCH(QString, action);
        QFETCH(QString, said);
        QFETCH(QStringList, afterUndo);
        const QDate day(2024, 11, 7);
        Load({"2024-11-07 19:01 K1AAA", "2024-11-07 19:02 K2BBB", "2024-11-07 19:03 K3CCC"});
        CCheckinStore store(*m_db);
        using U = CCheckinStore::Undoable;
        for (const QString& step : action.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QStringList w = step.trimmed().split(QLatin1Char(' '));
            if (w[0] == QLatin1String("delete") || w[0] == QLatin1String("plaindelete")) {
                QList<int> ids;
                for (qsizetype i = 1; i < w.size(); ++i)
                    ids << w[i].toInt();
                store.Remove(ids, w[0] == QLatin1String("delete") ? U::Yes : U::No);
            } else if (w[0] == QLatin1String("correct") || w[0] == QLatin1String("plain")) {
                CCheckinRecord r = *store.Get(w[1].toInt());
                r.callSign = w[2];
                store.Save(r, w[0] == QLatin1String("correct") ? U::Yes : U::No);
            } else if (w[0] == QLatin1String("ack")) {
                store.SetFlag(w[1].toInt(), LogQueries::Flag::Acknowledged, true);
            } else if (w[0] == QLatin1String("add") || w[0] == QLatin1String("move")) {
                std::vector<CCheckinRecord> records;
                for (qsizetype i = 1; i < w.size(); ++i) {
                    CCheckinRecord r;
                    r.callSign = w[i];
                    r.date = CDateTime(day, QTime(19, 30));
                    records.push_back(r);
                }
                store.AddMany(records, w[0] == QLatin1String("move") ? U::Yes : U::No);
            } else if (w[0] == QLatin1String("empty")) {
                store.Empty();
            }
        }
        QCOMPARE(store.Undo(), said);
        QStringList got;
        for (const CCheckinRecord& r : LogQueries::DayCheckins(*m_db, day))
            got << QStringLiteral("%1:%2%3").arg(r.id).arg(r.callSign, r.acknowledged ? " ack" : "");
        QCOMPARE(got, afterUndo);
        // A step is undone once.
        if (!said.isEmpty() && action.count(QLatin1Char(';')) == 0) {
            QVERIFY(!store.CanUndo());
            QCOMPARE(store.Undo(), QString());
        }
    }

    void yearOfNets_data()
    {
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<QStringList>("nets");     // day:new+returning
        QTest::addColumn<QStringList>("regulars"); // call:nets
        QTest::newRow("new, returning, and heard before the year")
            << QStringList{"2023-06-01 19:00 K0OLD", "2024-10-31 19:00 K0OLD", "2024-10-31 19:01 N1NEW",
                           "2024-10-31 19:02 n1new", "2024-11-07 19:00 N1NEW", "2024-11-07 19:01 W2NEW",
                           "2024-11-07 19:02 K0OLD"}
            << QStringList{"2024-10-31:1+1", "2024-11-07:1+2"}
            << QStringList{"K0OLD:2", "N1NEW:2", "W2NEW:1"};
        QTest::newRow("the year's edges")
            << QStringList{"2023-11-07 23:59 K1OUT", "2023-11-08 00:00 K2IN", "2024-11-07 23:59 K3IN",
                           "2024-11-08 00:00 K4OUT"}
            << QStringList{"2023-11-08:1+0", "2024-11-07:1+0"} << QStringList{"K3IN:1", "K2IN:1"};
        QTest::newRow("an empty year")
            << QStringList{"2022-01-01 19:00 K1OLD"} << QStringList{} << QStringList{};
    }
    void yearOfNets()
    {
        QFETCH(QStringList, log);
        QFETCH(QStringList, nets);
        QFETCH(QStringList, regulars);
        Load(log);
        const NetStatistics::CYear year = NetStatistics::Year(*m_db, QDate(2024, 11, 7), 3);
        QStringList gotNets, gotRegulars, gotDays;
        for (const NetStatistics::CNet& n : year.nets) {
            gotNets << QStringLiteral("%1:%2+%3")
                           .arg(n.day.toString(Qt::ISODate))
                           .arg(n.newStations)
                           .arg(n.returning);
            gotDays << n.day.toString(Qt::ISODate);
        }
        for (const NetStatistics::CStation& r : year.regulars)
            gotRegulars << QStringLiteral("%1:%2").arg(r.callSign).arg(r.nets);
        QCOMPARE(gotNets, nets);
        QCOMPARE(gotRegulars, regulars);
        // The days with a log are the same nets.
        QStringList days;
        for (const QDate& d : NetDays::Between(*m_db, year.from, year.to))
            days << d.toString(Qt::ISODate);
        QCOMPARE(days, gotDays);
    }

    void undoKeepsTheLastTwentyActions()
    {
        const QDate day(2024, 11, 7);
        for (int i = 0; i < 25; ++i)
            AddCheckin(*m_db, {QStringLiteral("K%1AA").arg(i), QDateTime(day, QTime(19, i))});
        CCheckinStore store(*m_db);
        for (int id = 1; id <= 25; ++id)
            store.Remove({id}, CCheckinStore::Undoable::Yes);
        int undone = 0;
        while (!store.Undo().isEmpty())
            ++undone;
        QCOMPARE(undone, CUndoJournal::kDepth);
        // The newest twenty came back, in their places; the oldest five stay deleted.
        QCOMPARE(LogQueries::DayCheckins(*m_db, day).size(), size_t(20));
        QCOMPARE(LogQueries::DayCheckins(*m_db, day).front().id, 6);
    }
};

QTEST_GUILESS_MAIN(TestNetRules)
#include "tst_netrules.moc"
