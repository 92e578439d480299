// The shared club log against a real PostgreSQL server started for the test.
// Test labels: threads
#include "core/Exceptions.h"
#include "core/app/Clock.h"
#include "core/db/Database.h"
#include "core/log/CheckinForm.h"
#include "core/log/CheckinStore.h"
#include "core/log/LogSchema.h"
#include "core/net/NetTimes.h"
#include "core/shared/PgConnection.h"
#include "core/shared/SharedServer.h"
#include "core/shared/SyncEngine.h"
#include "support/PgServer.h"
#include "support/ServerProcess.h"
#include "support/TestSupport.h"

#include <QSet>
#include <QtTest>
#include <SQLiteCpp/Database.h>

using TestSupport::CPgServer;

namespace {

// One operator's computer: a log file of its own and the engine that shares it.
struct COperator
{
    COperator(const QString& path, const QString& conninfo, const QString& call)
        : db(path), store(db), form(store, clock)
    {
        LogSchema::Prepare(db);
        form.SelectDay(QDate(2026, 12, 8));
        store.ShareWith(QStringLiteral("Tuesday Net"), call);
        engine = std::make_unique<CSyncEngine>(
            store,
            CSharedLogOptions{conninfo, QString(), QStringLiteral("Tuesday Net"), call, QString(), true});
    }
    int Add(const QString& call, const QString& time = QStringLiteral("19:00:00"))
    {
        CCheckinRecord r;
        r.callSign = call;
        r.name = QStringLiteral("Op ") + call;
        r.date = CDateTime(QDate(2026, 12, 8), QTime::fromString(time));
        return store.Add(r);
    }
    QStringList Calls(const QDate& day = QDate(2026, 12, 8))
    {
        QStringList calls;
        for (const CCheckinRecord& r : store.Day(day))
            calls << r.callSign;
        calls.sort();
        return calls;
    }
    std::optional<CCheckinRecord> ByCall(const QString& call)
    {
        for (const CCheckinRecord& r : store.Day(QDate(2026, 12, 8)))
            if (r.callSign == call)
                return r;
        return std::nullopt;
    }
    // What the list shows, as the window's form follows the store.
    QStringList Listed()
    {
        QStringList calls;
        for (const CCheckinRecord& r : form.Rows())
            calls << r.callSign +
                         (r.alsoLoggedBy.isEmpty() ? QString() : QStringLiteral(" +") + r.alsoLoggedBy);
        calls.sort();
        return calls;
    }
    CDatabase db;
    CCheckinStore store;
    CFixedClock clock{QDateTime(QDate(2026, 12, 8), QTime(19, 30))};
    CCheckinForm form;
    std::unique_ptr<CSyncEngine> engine;
};

} // namespace

class TestSharedLog : public QObject
{
    Q_OBJECT

    std::unique_ptr<CPgServer> m_server;
    std::unique_ptr<TestSupport::CScratch> m_scratch;
    int m_logs = 0;

    std::unique_ptr<COperator> Operator(const QString& call)
    {
        return std::make_unique<COperator>(m_scratch->File(QStringLiteral("log%1.db").arg(++m_logs)),
                                           m_server->ClubConnInfo(), call);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_server = std::make_unique<CPgServer>();
        QVERIFY2(m_server->Error().isEmpty(), qPrintable(m_server->Error()));
        CPgConnection owner(m_server->ConnInfo(), QString(), QStringLiteral("test"));
        QCOMPARE(SharedServer::Init(owner), std::make_pair(0, SharedServer::LatestVersion()));
        // Again: nothing to do.
        QCOMPARE(SharedServer::Init(owner),
                 std::make_pair(SharedServer::LatestVersion(), SharedServer::LatestVersion()));
        // The club's role, with exactly the grants the README gives.
        QCOMPARE(m_server->GrantClubRole(), QString());
    }

    void init()
    {
        m_scratch = std::make_unique<TestSupport::CScratch>();
        // Every case on a net of its own is simpler: one net, emptied.
        QCOMPARE(m_server->Exec(QStringLiteral("DELETE FROM checkin; DELETE FROM operator_seen")), QString());
    }

    void cleanupTestCase() { m_server.reset(); }

    void twoLogsFollowEachOther()
    {
        auto a = Operator(QStringLiteral("N4NCS"));
        auto b = Operator(QStringLiteral("K4LOG"));
        a->Add(QStringLiteral("W1AW"));
        a->engine->Start();
        b->engine->Start();
        QTRY_COMPARE_WITH_TIMEOUT(b->Calls(), QStringList{QStringLiteral("W1AW")}, 15000);
        b->Add(QStringLiteral("K1ABC"), QStringLiteral("19:01:00"));
        QTRY_COMPARE_WITH_TIMEOUT(a->Calls(), (QStringList{QStringLiteral("K1ABC"), QStringLiteral("W1AW")}),
                                  15000);
        // Who logged it travels with it; a change and a flag travel too.
        QCOMPARE(a->ByCall(QStringLiteral("K1ABC"))->loggedBy, QStringLiteral("K4LOG"));
        const int id = b->ByCall(QStringLiteral("W1AW"))->id;
        CCheckinRecord r = *b->store.Get(id);
        r.name = QStringLiteral("Hiram");
        QVERIFY(b->store.Save(r));
        QVERIFY(b->store.SetFlag(id, LogQueries::Flag::HasTraffic, true));
        QTRY_COMPARE_WITH_TIMEOUT(a->ByCall(QStringLiteral("W1AW"))->name, QStringLiteral("Hiram"), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(a->ByCall(QStringLiteral("W1AW"))->hasTraffic, 15000);
        // A deletion reaches everyone as a tombstone; bringing the check-in back (same identity) does too.
        const CCheckinRecord gone = *a->ByCall(QStringLiteral("K1ABC"));
        QCOMPARE(a->store.Remove({gone.id}, CCheckinStore::Undoable::Yes), 1);
        QTRY_COMPARE_WITH_TIMEOUT(b->Calls(), QStringList{QStringLiteral("W1AW")}, 15000);
        QCOMPARE(m_server->Exec(
                     QStringLiteral("DO $$ BEGIN IF NOT (SELECT deleted FROM checkin WHERE uuid = '%1') "
                                    "THEN RAISE 'not a tombstone'; END IF; END $$")
                         .arg(gone.uuid)),
                 QString());
        QVERIFY(!a->store.Undo().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(b->Calls(), (QStringList{QStringLiteral("K1ABC"), QStringLiteral("W1AW")}),
                                  15000);
        QCOMPARE(b->ByCall(QStringLiteral("K1ABC"))->uuid, gone.uuid);
        QTRY_COMPARE_WITH_TIMEOUT(a->engine->Status().pending, 0, 15000);
        QCOMPARE(a->engine->Status().online, true);
        QTRY_COMPARE_WITH_TIMEOUT(a->engine->Status().operators, 2, 15000);
        // The net opened and closed here: the server's net says when, and who ran it.
        const QDateTime opened = QDateTime::currentDateTime().addSecs(-600);
        a->store.StampNet(QDate::currentDate(), NetTimes::Stamp::Start, opened);
        a->store.StampNet(QDate::currentDate(), NetTimes::Stamp::End, opened.addSecs(300));
        QTRY_COMPARE_WITH_TIMEOUT(
            m_server->Exec(
                QStringLiteral("DO $$ BEGIN IF NOT EXISTS (SELECT FROM net WHERE name = 'Tuesday Net'"
                               " AND ncs = 'N4NCS' AND opened = to_timestamp(%1) AND closed = "
                               "to_timestamp(%1) + interval '300 seconds') THEN RAISE 'not stamped';"
                               " END IF; END $$")
                    .arg(opened.toSecsSinceEpoch())),
            QString(), 15000);
    }

    void concurrentCheckinsAreNeitherLostNorDoubled()
    {
        auto a = Operator(QStringLiteral("N4NCS"));
        auto b = Operator(QStringLiteral("K4LOG"));
        a->engine->Start();
        b->engine->Start();
        for (int i = 0; i < 500; ++i) {
            a->Add(QStringLiteral("A%1").arg(i, 3, 10, QLatin1Char('0')));
            b->Add(QStringLiteral("B%1").arg(i, 3, 10, QLatin1Char('0')));
            if (i % 50 == 0)
                QCoreApplication::processEvents();
        }
        QTRY_COMPARE_WITH_TIMEOUT(a->Calls().size(), 1000, 60000);
        QTRY_COMPARE_WITH_TIMEOUT(b->Calls().size(), 1000, 60000);
        const QStringList calls = a->Calls();
        QCOMPARE(calls, b->Calls());
        QCOMPARE(QSet<QString>(calls.begin(), calls.end()).size(), 1000);
    }

    void pendingChangesSurviveTheServerGoingAway_data()
    {
        QTest::addColumn<bool>("restartServer"); // else the listening connection is killed
        QTest::newRow("server stopped (immediate) and started") << true;
        QTest::newRow("listening connection terminated") << false;
    }
    void pendingChangesSurviveTheServerGoingAway()
    {
        QFETCH(bool, restartServer);
        auto a = Operator(QStringLiteral("N4NCS"));
        auto b = Operator(QStringLiteral("K4LOG"));
        a->engine->Start();
        b->engine->Start();
        a->Add(QStringLiteral("W1AW"));
        QTRY_COMPARE_WITH_TIMEOUT(b->Calls().size(), 1, 15000);
        if (restartServer) {
            QVERIFY(m_server->Stop(true));
            // Logged while the server is away: queued, and the window says so.
            a->Add(QStringLiteral("K1ABC"));
            b->Add(QStringLiteral("N2DEF"));
            QTRY_VERIFY_WITH_TIMEOUT(!a->engine->Status().online, 15000);
            QCOMPARE(a->engine->Status().pending, 1);
            QVERIFY(m_server->Start());
        } else {
            QCOMPARE(
                m_server->Exec(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                                              "query LIKE 'LISTEN%'")),
                QString());
            // Changed while b is reconnecting: b must not miss it.
            a->Add(QStringLiteral("K1ABC"));
            b->Add(QStringLiteral("N2DEF"));
        }
        const QStringList all{QStringLiteral("K1ABC"), QStringLiteral("N2DEF"), QStringLiteral("W1AW")};
        QTRY_COMPARE_WITH_TIMEOUT(a->Calls(), all, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(b->Calls(), all, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(a->engine->Status().pending, 0, 15000);
        QCOMPARE(
            m_server->Exec(QStringLiteral("DO $$ BEGIN IF (SELECT count(*) FROM checkin) <> 3 THEN RAISE "
                                          "'doubled'; END IF; END $$")),
            QString());
    }

    // Both operators change one check-in while apart; the second to push merges.
    void aLogHeldByAnotherProgramMissesNothing()
    {
        auto a = Operator(QStringLiteral("N4NCS"));
        auto b = Operator(QStringLiteral("K4LOG"));
        b->engine->Start();
        QTRY_VERIFY_WITH_TIMEOUT(b->engine->Status().online, 15000);
        {
            // Another program writes to B's log for longer than the log waits for it.
            SQLite::Database other(b->db.GetPath().toStdString(), SQLite::OPEN_READWRITE);
            other.exec("BEGIN IMMEDIATE");
            a->Add(QStringLiteral("W2HELD"));
            a->engine->SyncOnce();
            QTRY_VERIFY_WITH_TIMEOUT(b->engine->Status().error.contains(QLatin1String("locked")), 20000);
            other.exec("ROLLBACK");
        }
        QTRY_COMPARE_WITH_TIMEOUT(b->Calls(), QStringList{QStringLiteral("W2HELD")}, 15000);
        QTRY_COMPARE_WITH_TIMEOUT(b->engine->Status().error, QString(), 15000);
    }

    void changesMergeFieldByFieldAndConflictsWait_data()
    {
        QTest::addColumn<QString>("mineName");
        QTest::addColumn<QString>("mineGrid");
        QTest::addColumn<QString>("theirName");
        QTest::addColumn<QString>("theirGrid");
        QTest::addColumn<QString>("name"); // after the merge, on both sides ("" when in conflict)
        QTest::addColumn<QString>("grid");
        QTest::addColumn<bool>("conflict");
        QTest::newRow("different fields merge") << "Hiram"
                                                << ""
                                                << ""
                                                << "FN31"
                                                << "Hiram"
                                                << "FN31" << false;
        QTest::newRow("the same change twice") << "Hiram"
                                               << ""
                                               << "Hiram"
                                               << ""
                                               << "Hiram"
                                               << "" << false;
        QTest::newRow("one field two ways") << "Hiram"
                                            << ""
                                            << "Percy"
                                            << ""
                                            << ""
                                            << "" << true;
        QTest::newRow("a merge beside a conflict") << "Hiram"
                                                   << "EM73"
                                                   << "Percy"
                                                   << ""
                                                   << ""
                                                   << "EM73" << true;
    }
    void changesMergeFieldByFieldAndConflictsWait()
    {
        QFETCH(QString, mineName);
        QFETCH(QString, mineGrid);
        QFETCH(QString, theirName);
        QFETCH(QString, theirGrid);
        QFETCH(QString, name);
        QFETCH(QString, grid);
        QFETCH(bool, conflict);
        auto a = Operator(QStringLiteral("N4NCS"));
        auto b = Operator(QStringLiteral("K4LOG"));
        a->Add(QStringLiteral("W1AW"));
        a->engine->SyncOnce();
        b->engine->SyncOnce();
        const auto edit = [](COperator& op, const QString& newName, const QString& newGrid) {
            CCheckinRecord r = *op.ByCall(QStringLiteral("W1AW"));
            if (!newName.isEmpty())
                r.name = newName;
            if (!newGrid.isEmpty())
                r.yourGrid = newGrid;
            QVERIFY(op.store.Save(r));
        };
        edit(*b, theirName, theirGrid);
        edit(*a, mineName, mineGrid);
        b->engine->SyncOnce();
        a->engine->SyncOnce(); // refused, merged, pushed
        b->engine->SyncOnce();
        const CCheckinRecord mine = *a->ByCall(QStringLiteral("W1AW"));
        const CCheckinRecord theirs = *b->ByCall(QStringLiteral("W1AW"));
        QCOMPARE(mine.conflict, conflict);
        QCOMPARE(mine.yourGrid, grid);
        QCOMPARE(theirs.yourGrid, grid);
        if (!conflict) {
            QCOMPARE(mine.name, name);
            QCOMPARE(theirs.name, name);
            QCOMPARE(a->store.Conflicts(), QList<int>());
            return;
        }
        // In the field in conflict mine stays here and theirs there until the operator decides; the rest of
        // the change went out.
        QCOMPARE(mine.name, mineName);
        QCOMPARE(theirs.name, theirName);
        QCOMPARE(a->store.Conflicts(), QList<int>{mine.id});
        QCOMPARE(a->store.Theirs(mine.id)->name, theirName);
        CCheckinRecord chosen = mine;
        chosen.name = QStringLiteral("Hiram Percy");
        QVERIFY(a->store.ResolveConflict(mine.id, chosen));
        a->engine->SyncOnce();
        b->engine->SyncOnce();
        QCOMPARE(b->ByCall(QStringLiteral("W1AW"))->name, QStringLiteral("Hiram Percy"));
        QCOMPARE(b->ByCall(QStringLiteral("W1AW"))->yourGrid, grid);
        QVERIFY(!a->ByCall(QStringLiteral("W1AW"))->conflict);
    }

    void theSameStationLoggedTwiceShowsOnce()
    {
        auto a = Operator(QStringLiteral("N4NCS"));
        auto b = Operator(QStringLiteral("K4LOG"));
        a->Add(QStringLiteral("W1AW"), QStringLiteral("19:01:00"));
        const int bId = b->Add(QStringLiteral("W1AW"), QStringLiteral("19:02:00"));
        CCheckinRecord withGrid = *b->store.Get(bId);
        withGrid.yourGrid = QStringLiteral("FN31");
        QVERIFY(b->store.Save(withGrid));
        a->engine->SyncOnce();
        b->engine->SyncOnce();
        a->engine->SyncOnce();
        for (COperator* op : {a.get(), b.get()}) {
            QCOMPARE(op->Calls(), QStringList{QStringLiteral("W1AW")});
            QCOMPARE(op->ByCall(QStringLiteral("W1AW"))->loggedBy, QStringLiteral("N4NCS"));
        }
        QCOMPARE(a->ByCall(QStringLiteral("W1AW"))->alsoLoggedBy, QStringLiteral("K4LOG 19:02"));
        // The open lists follow without a reload.
        QCOMPARE(a->Listed(), QStringList{QStringLiteral("W1AW +K4LOG 19:02")});
        QCOMPARE(b->Listed(), QStringList{QStringLiteral("W1AW +K4LOG 19:02")});
        const int keep = a->ByCall(QStringLiteral("W1AW"))->id;
        const auto proposal = a->store.ProposeMerge(keep);
        QVERIFY(proposal && proposal->conflicts.isEmpty());
        QVERIFY(a->store.MergeDuplicates(keep, proposal->merged));
        a->engine->SyncOnce();
        b->engine->SyncOnce();
        for (COperator* op : {a.get(), b.get()}) {
            const CCheckinRecord r = *op->ByCall(QStringLiteral("W1AW"));
            QCOMPARE(r.yourGrid, QStringLiteral("FN31"));
            QCOMPARE(r.alsoLoggedBy, QString());
        }
        QCOMPARE(m_server->Exec(
                     QStringLiteral("DO $$ BEGIN IF (SELECT count(*) FROM checkin WHERE NOT deleted) <> 1 "
                                    "THEN RAISE 'not merged'; END IF; END $$")),
                 QString());
        // The one that stood for both deleted: the other operator's comes back into every list.
        a->Add(QStringLiteral("K9DEL"), QStringLiteral("19:05:00"));
        b->Add(QStringLiteral("K9DEL"), QStringLiteral("19:06:00"));
        a->engine->SyncOnce();
        b->engine->SyncOnce();
        a->engine->SyncOnce();
        QCOMPARE(b->Listed(), (QStringList{QStringLiteral("K9DEL +K4LOG 19:06"), QStringLiteral("W1AW")}));
        QCOMPARE(a->store.Remove({a->ByCall(QStringLiteral("K9DEL"))->id}, CCheckinStore::Undoable::Yes), 1);
        a->engine->SyncOnce();
        b->engine->SyncOnce();
        for (COperator* op : {a.get(), b.get()}) {
            QCOMPARE(op->Listed(), (QStringList{QStringLiteral("K9DEL"), QStringLiteral("W1AW")}));
            QCOMPARE(op->ByCall(QStringLiteral("K9DEL"))->loggedBy, QStringLiteral("K4LOG"));
        }
        // Undone, it stands for the other one again, here at once and everywhere after a sync.
        QVERIFY(!a->store.Undo().isEmpty());
        QCOMPARE(a->Listed(), (QStringList{QStringLiteral("K9DEL +K4LOG 19:06"), QStringLiteral("W1AW")}));
        a->engine->SyncOnce();
        b->engine->SyncOnce();
        QCOMPARE(b->Listed(), (QStringList{QStringLiteral("K9DEL +K4LOG 19:06"), QStringLiteral("W1AW")}));
    }

    void refusedConnectionsSayWhy_data()
    {
        QTest::addColumn<QString>("conninfo");
        QTest::addColumn<QString>("says");
        QTest::newRow("wrong password")
            << m_server->ClubConnInfo(QStringLiteral("guess")) << "refused the user name or password";
        QTest::newRow("untrusted certificate") << m_server->TlsConnInfo(m_server->OtherCertificate())
                                               << "did not show a certificate this computer trusts";
        QTest::newRow("nobody listening")
            << QStringLiteral("host=127.0.0.1 port=%1 dbname=club connect_timeout=3")
                   .arg(TestSupport::ClosedPort())
            << "cannot be reached";
        QTest::newRow("unreadable connection string")
            << QStringLiteral("host='unterminated") << "cannot be read";
    }
    void refusedConnectionsSayWhy()
    {
        QFETCH(QString, conninfo);
        QFETCH(QString, says);
        auto a = std::make_unique<COperator>(m_scratch->File(QStringLiteral("refused.db")), conninfo,
                                             QStringLiteral("N4NCS"));
        a->Add(QStringLiteral("W1AW"));
        try {
            a->engine->SyncOnce();
            QFAIL("connected");
        } catch (const CNetException& e) {
            QVERIFY2(e.Message().contains(says), qPrintable(e.Message()));
        }
        // Nothing lost: the check-in still waits to go out.
        a->engine->Start();
        QTRY_VERIFY_WITH_TIMEOUT(!a->engine->Status().error.isEmpty(), 15000);
        QCOMPARE(a->engine->Status().pending, 1);
        // And the right certificate does work.
        if (conninfo.contains(QLatin1String("sslrootcert"))) {
            COperator good(m_scratch->File(QStringLiteral("good.db")),
                           m_server->TlsConnInfo(m_server->ServerCertificate()), QStringLiteral("N4NCS"));
            good.engine->SyncOnce();
        }
    }
};

QTEST_GUILESS_MAIN(TestSharedLog)
#include "tst_sharedlog.moc"
