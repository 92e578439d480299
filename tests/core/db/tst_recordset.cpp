// The record-set layer: cursor moves, positions, buffered edits and deletes, as the log relies on them.
#include "core/Exceptions.h"
#include "core/db/Database.h"
#include "core/log/LogFilter.h"
#include "core/log/LogSchema.h"
#include "core/log/detail/LogwardenSet.h"
#include "support/TestSupport.h"

#include <QFileInfo>
#include <QtTest>
#include <SQLiteCpp/Database.h>

using namespace TestSupport;

class TestRecordset : public QObject
{
    Q_OBJECT

    std::unique_ptr<CScratch> m_scratch;
    std::unique_ptr<CDatabase> m_db;

    QList<int> AddDay(const QDate& day, const QStringList& calls)
    {
        QList<int> ids;
        int minute = 0;
        for (const QString& c : calls)
            ids << AddCheckin(*m_db, {c, QDateTime(day, QTime(19, minute++))});
        return ids;
    }

private Q_SLOTS:
    void init()
    {
        m_scratch = std::make_unique<CScratch>();
        m_db = std::make_unique<CDatabase>(m_scratch->File(QStringLiteral("log.db")));
        LogSchema::Prepare(*m_db);
    }
    void cleanup()
    {
        m_db.reset();
        m_scratch.reset();
    }

    void emptySetHasNoCurrentRecord()
    {
        CLogwardenSet set(m_db.get());
        set.SetFilter(LogFilter::Day(QDate(2024, 3, 7)));
        set.SetSort(LogSort::kId);
        set.Open();
        QVERIFY(set.IsOpen());
        QVERIFY(set.IsEOF());
        QVERIFY(set.IsBOF());
        QCOMPARE(set.GetAbsolutePosition(), -1L);
        QCOMPARE(set.GetRecordCount(), 0L);
        QVERIFY_THROWS_EXCEPTION(CDBException, set.MoveFirst());
        QVERIFY_THROWS_EXCEPTION(CDBException, set.MoveNext());
        QVERIFY_THROWS_EXCEPTION(CDBException, set.MovePrev());
        QVERIFY_THROWS_EXCEPTION(CDBException, set.MoveLast());
        QVERIFY_THROWS_EXCEPTION(CDBException, set.Edit());
        QVERIFY_THROWS_EXCEPTION(CDBException, set.Delete());
    }

    void movesAndPositions()
    {
        const QList<int> ids = AddDay(QDate(2024, 3, 7), {"K1A", "K1B", "K1C", "K1D", "K1E"});
        CLogwardenSet set(m_db.get());
        set.SetFilter(LogFilter::Day(QDate(2024, 3, 7)));
        set.SetSort(LogSort::kId);
        set.Open();
        QVERIFY(!set.IsEOF() && !set.IsBOF());
        QCOMPARE(set.GetAbsolutePosition(), 0L);
        QCOMPARE(set.m_ID, ids[0]);
        QCOMPARE(set.GetRecordCount(), 5L);

        for (int i = 1; i < 5; ++i) {
            set.MoveNext();
            QCOMPARE(set.GetAbsolutePosition(), long(i));
            QCOMPARE(set.m_CallSign, QStringLiteral("K1") + QChar('A' + i));
        }
        set.MoveNext();
        QVERIFY(set.IsEOF());
        QVERIFY(!set.IsBOF());
        QCOMPARE(set.GetAbsolutePosition(), -1L);
        QVERIFY_THROWS_EXCEPTION(CDBException, set.MoveNext());
        set.MovePrev();
        QCOMPARE(set.m_ID, ids[4]);

        set.MoveFirst();
        set.MovePrev();
        QVERIFY(set.IsBOF());
        QVERIFY_THROWS_EXCEPTION(CDBException, set.MovePrev());

        set.SetAbsolutePosition(2);
        QCOMPARE(set.m_ID, ids[2]);
        QVERIFY_THROWS_EXCEPTION(CDBException, set.SetAbsolutePosition(5));
        set.MoveLast();
        QCOMPARE(set.m_ID, ids[4]);
        QVERIFY(set.MoveToKey(ids[1]));
        QCOMPARE(set.GetAbsolutePosition(), 1L);
        QVERIFY(!set.MoveToKey(9999));

        set.SetSort(LogSort::kIdDesc);
        set.Requery();
        QCOMPARE(set.m_ID, ids[4]);
    }

    void updateWritesOnlyChangedFields()
    {
        const int id = AddCheckin(*m_db, {"W4ABC", QDateTime(QDate(2024, 3, 7), QTime(19, 2, 30)), "John"});
        CLogwardenSet a(m_db.get()), b(m_db.get());
        for (CLogwardenSet* s : {&a, &b}) {
            s->SetFilter(LogFilter::Id(id));
            s->Open();
        }
        // b changes the name behind a's back; a's later edit of the comment must not undo it.
        b.Edit();
        b.m_Name = QStringLiteral("Jane");
        b.Update();
        a.Edit();
        a.m_Comment = QStringLiteral("portable");
        a.Update();
        QCOMPARE(a.m_Name, QStringLiteral("Jane"));
        QCOMPARE(a.m_Comment, QStringLiteral("portable"));

        // A field marked dirty is written even when the buffer holds the value it started with.
        b.Edit();
        b.m_CallSign = QStringLiteral("W4XYZ");
        b.Update();
        a.Edit();
        a.m_CallSign = QStringLiteral("W4ABC");
        a.SetFieldDirty(&a.m_CallSign);
        a.m_CallSign = QStringLiteral("W4ABC");
        a.Update();
        b.Requery();
        QCOMPARE(b.m_CallSign, QStringLiteral("W4ABC"));

        // Nothing changed: nothing written, nothing lost.
        a.Edit();
        a.Update();
        QCOMPARE(a.m_Comment, QStringLiteral("portable"));
    }

    void addNewAppendsWithGrowingIds()
    {
        const QList<int> ids = AddDay(QDate(2024, 3, 7), {"K1A", "K1B"});
        CLogwardenSet set(m_db.get());
        set.SetFilter(LogFilter::Day(QDate(2024, 3, 7)));
        set.SetSort(LogSort::kId);
        set.Open();
        set.AddNew();
        set.m_CallSign = QStringLiteral("N0NEW");
        set.m_Date = CDateTime(QDateTime(QDate(2024, 3, 7), QTime(20, 0)));
        set.Update();
        // The record that was current stays current; the new one is at the end of the set.
        QCOMPARE(set.m_ID, ids[0]);
        QCOMPARE(set.GetRecordCount(), 3L);
        set.MoveLast();
        QCOMPARE(set.m_CallSign, QStringLiteral("N0NEW"));
        QVERIFY(set.m_ID > ids[1]);

        // IDs are never reused, not even the highest after it was deleted.
        const int newest = set.m_ID;
        set.Delete();
        QCOMPARE(AddCheckin(*m_db, {"K1Z", QDateTime(QDate(2024, 3, 7), QTime(21, 0))}), newest + 1);
    }

    void addNewOnEmptySetStaysWithoutCurrentRecord()
    {
        CLogwardenSet set(m_db.get());
        set.SetFilter(LogFilter::Day(QDate(2024, 3, 7)));
        set.Open();
        set.AddNew();
        set.m_CallSign = QStringLiteral("K1A");
        set.Update();
        QCOMPARE(set.GetAbsolutePosition(), -1L);
        set.MoveLast();
        QCOMPARE(set.m_CallSign, QStringLiteral("K1A"));
    }

    void deleteStaysOnRecordUntilNextMove_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("move");      // next, previous, first, last, or the position to go to
        QTest::addColumn<int>("expectedIndex"); // index into the original five, -1 for EOF/BOF
        QTest::newRow("middle, next") << 2 << "next" << 3;
        QTest::newRow("middle, previous") << 2 << "previous" << 1;
        QTest::newRow("first, next") << 0 << "next" << 1;
        QTest::newRow("first, previous") << 0 << "previous" << -1;
        QTest::newRow("last, next") << 4 << "next" << -1;
        QTest::newRow("last, previous") << 4 << "previous" << 3;
        QTest::newRow("first, first") << 0 << "first" << 1;
        QTest::newRow("last, last") << 4 << "last" << 3;
        QTest::newRow("middle, first") << 2 << "first" << 0;
        QTest::newRow("middle, to its own place") << 2 << "2" << 3;
        QTest::newRow("first, to the last place") << 0 << "3" << 4;
    }
    void deleteStaysOnRecordUntilNextMove()
    {
        QFETCH(int, position);
        QFETCH(QString, move);
        QFETCH(int, expectedIndex);
        const QList<int> ids = AddDay(QDate(2024, 3, 7), {"K1A", "K1B", "K1C", "K1D", "K1E"});
        CLogwardenSet set(m_db.get());
        set.SetFilter(LogFilter::Day(QDate(2024, 3, 7)));
        set.SetSort(LogSort::kId);
        set.Open();
        set.SetAbsolutePosition(position);
        set.Delete();
        QCOMPARE(set.m_ID, ids[position]); // still on the deleted record
        QCOMPARE(set.GetRecordCount(), 4L);
        if (move == "next")
            set.MoveNext();
        else if (move == "previous")
            set.MovePrev();
        else if (move == "first")
            set.MoveFirst();
        else if (move == "last")
            set.MoveLast();
        else
            set.SetAbsolutePosition(move.toLong());
        if (expectedIndex < 0) {
            QVERIFY(move == "next" ? set.IsEOF() : set.IsBOF());
            QCOMPARE(set.GetAbsolutePosition(), -1L);
        } else {
            QCOMPARE(set.m_ID, ids[expectedIndex]);
        }
        set.MoveFirst();
        int count = 0;
        while (!set.IsEOF()) {
            QVERIFY(set.m_ID != ids[position]);
            ++count;
            set.MoveNext();
        }
        QCOMPARE(count, 4);
    }

    void snapshotIsReadOnly()
    {
        AddDay(QDate(2024, 3, 7), {"K1A"});
        CLogwardenSet set(m_db.get());
        set.Open(CRecordset::snapshot);
        QVERIFY(!set.CanUpdate());
        QVERIFY_THROWS_EXCEPTION(CDBException, set.Edit());
        QVERIFY_THROWS_EXCEPTION(CDBException, set.AddNew());
    }

    void nullsAndDateStates()
    {
        CLogwardenSet set(m_db.get());
        set.Open();
        set.AddNew();
        set.m_CallSign = QStringLiteral("K1A");
        set.Update();
        set.AddNew();
        set.m_CallSign = QStringLiteral("K1B");
        set.m_Date = CDateTime::MakeInvalid();
        set.Update();
        set.Requery();
        // Empty text boxes become nulls, except the comment, which is empty text.
        SQLite::Database& h = m_db->Handle();
        QCOMPARE(h.execAndGet("SELECT count(*) FROM LogwardenTab WHERE Name IS NULL").getInt(), 2);
        QCOMPARE(h.execAndGet("SELECT count(*) FROM LogwardenTab WHERE Comment = ''").getInt(), 2);
        QVERIFY(set.m_Date.IsNull());
        QCOMPARE(set.m_Date.ToListText(), QString());
        set.MoveNext();
        QCOMPARE(set.m_Date.GetStatus(), CDateTime::Invalid);
        QCOMPARE(set.m_Date.ToListText(), QStringLiteral("Invalid DateTime"));
    }

    void ownConnectionFromDefaultName()
    {
        AddDay(QDate(2024, 3, 7), {"K1A"});
        CLogwardenSet set;
        set.SetDatabasePath(m_db->GetPath());
        set.Open();
        QCOMPARE(set.m_CallSign, QStringLiteral("K1A"));
        set.Close();
        QVERIFY(!set.IsOpen());

        CLogwardenSet missing;
        missing.SetDatabasePath(m_scratch->File(QStringLiteral("nowhere/none.db")));
        QVERIFY_THROWS_EXCEPTION(CDBException, missing.Open());
        QVERIFY(!missing.IsOpen());
    }

    void compactionShrinksInPlace()
    {
        {
            SQLite::Database& h = m_db->Handle();
            h.exec("BEGIN");
            for (int i = 0; i < 3000; ++i)
                AddCheckin(*m_db, {QStringLiteral("K%1").arg(i), QDateTime(QDate(2024, 3, 7), QTime(19, 0)),
                                   QString(200, QLatin1Char('x'))});
            h.exec("COMMIT");
            h.exec("DELETE FROM LogwardenTab");
        }
        m_db->Execute(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        const QString path = m_db->GetPath();
        const qint64 before = QFileInfo(path).size();
        m_db->Compact();
        const qint64 after = QFileInfo(path).size();
        QVERIFY2(after < before / 4, qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(after)));
        // Compacting twice works, and the log is a valid, empty log afterwards.
        m_db.reset();
        CDatabase::CompactDatabase(path);
        m_db = std::make_unique<CDatabase>(path);
        CLogwardenSet set(m_db.get());
        set.Open();
        QVERIFY(set.IsEOF() && set.IsBOF());
        QVERIFY(!QFileInfo::exists(path + QStringLiteral("-compressed")));
    }
};

QTEST_GUILESS_MAIN(TestRecordset)
#include "tst_recordset.moc"
