// The check-in store: its file and table, the day filter, call-sign searches, durability.
#include "core/Exceptions.h"
#include "core/db/Database.h"
#include "core/log/LogFilter.h"
#include "core/log/LogSchema.h"
#include "core/log/detail/LogwardenSet.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QtTest>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace TestSupport;

class TestLogStore : public QObject
{
    Q_OBJECT

    std::unique_ptr<CScratch> m_scratch;
    std::unique_ptr<CDatabase> m_db;

    QStringList Calls(const CQueryFilter& filter, const QString& sort = LogSort::kId)
    {
        CLogwardenSet set(m_db.get());
        set.SetFilter(filter);
        set.SetSort(sort);
        set.Open();
        QStringList calls;
        while (!set.IsEOF()) {
            calls << set.m_CallSign;
            set.MoveNext();
        }
        return calls;
    }

private Q_SLOTS:
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

    void tableHasTheThirteenColumnsInOrder()
    {
        SQLite::Statement info(m_db->Handle(), "PRAGMA table_info(LogwardenTab)");
        QStringList names;
        while (info.executeStep())
            names << QString::fromUtf8(info.getColumn(1).getText());
        QCOMPARE(names, (QStringList{"ID", "CallSign", "Name", "Street", "Location", "Comment", "Date",
                                     "HasComments", "HasTraffic", "Acknowledged", "Class", "YourGrid",
                                     "eMailAddr"}));
        // Preparing an existing log again changes nothing.
        AddCheckin(*m_db, {"K1A", QDateTime(QDate(2024, 3, 7), QTime(19, 0))});
        LogSchema::Prepare(*m_db);
        QCOMPARE(Calls({}), QStringList{"K1A"});
    }

    void dayFilterSelectsTheCalendarDay_data()
    {
        QTest::addColumn<QString>("dayText");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("10/5 and not 10/15 or 1/5") << "2024 10 05" << QStringList{"NOON", "MIDNIGHT", "LAST"};
        QTest::newRow("10/15") << "2024 10 15" << QStringList{"OCT15"};
        QTest::newRow("1/5") << "2024 01 05" << QStringList{"JAN5"};
        QTest::newRow("empty day") << "2024 10 07" << QStringList{};
        QTest::newRow("no such day") << "2024 02 30" << QStringList{};
        QTest::newRow("not a day") << "today" << QStringList{};
        QTest::newRow("empty text") << "" << QStringList{};
    }
    void dayFilterSelectsTheCalendarDay()
    {
        QFETCH(QString, dayText);
        QFETCH(QStringList, expected);
        // Inserted out of time order: the day's records come back in ID order, not time order.
        AddCheckin(*m_db, {"NOON", QDateTime(QDate(2024, 10, 5), QTime(12, 0))});
        AddCheckin(*m_db, {"OCT15", QDateTime(QDate(2024, 10, 15), QTime(19, 0))});
        AddCheckin(*m_db, {"MIDNIGHT", QDateTime(QDate(2024, 10, 5), QTime(0, 0))});
        AddCheckin(*m_db, {"JAN5", QDateTime(QDate(2024, 1, 5), QTime(19, 0))});
        AddCheckin(*m_db, {"BEFORE", QDateTime(QDate(2024, 10, 4), QTime(23, 59, 59))});
        AddCheckin(*m_db, {"LAST", QDateTime(QDate(2024, 10, 5), QTime(23, 59, 59))});
        AddCheckin(*m_db, {"AFTER", QDateTime(QDate(2024, 10, 6), QTime(0, 0))});
        AddCheckin(*m_db, {"NODATE", QDateTime()});
        const QStringList got = Calls(LogFilter::Day(dayText));
        QCOMPARE(got, expected);
    }

    void dayTextIsReadByPosition()
    {
        QCOMPARE(LogFilter::ParseDayText(QStringLiteral("2024 03 07")), QDate(2024, 3, 7));
        QCOMPARE(LogFilter::DayText(QDate(2024, 3, 7)), QStringLiteral("2024 03 07"));
        QVERIFY(!LogFilter::ParseDayText(QStringLiteral("2024-3-7")).isValid());
    }

    void callSignPrefixAndEquality_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("prefix W4") << "prefix"
                                   << "W4" << QStringList{"W4XYZ", "W4ABC", "W4AB", "W4'Q"};
        QTest::newRow("prefix lower case") << "prefix"
                                           << "w4a" << QStringList{"W4ABC", "W4AB"};
        QTest::newRow("prefix empty matches all")
            << "prefix"
            << "" << QStringList{"W4XYZ", "W4ABC", "W4AB", "W4'Q", "KW4AB", "K_1%"};
        QTest::newRow("prefix with wildcard characters") << "prefix"
                                                         << "K_" << QStringList{"K_1%"};
        QTest::newRow("prefix percent is literal") << "prefix"
                                                   << "%" << QStringList{};
        QTest::newRow("prefix with a quote") << "prefix"
                                             << "W4'" << QStringList{"W4'Q"};
        QTest::newRow("exact") << "equals"
                               << "W4AB" << QStringList{"W4AB"};
        QTest::newRow("exact, other case") << "equals"
                                           << "w4abc" << QStringList{"W4ABC"};
        QTest::newRow("exact with a quote") << "equals"
                                            << "W4'Q" << QStringList{"W4'Q"};
        QTest::newRow("exact, no trailing match") << "equals"
                                                  << "W4A" << QStringList{};
    }
    void callSignPrefixAndEquality()
    {
        QFETCH(QString, mode);
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        for (const char* c : {"W4AB", "KW4AB", "W4ABC", "W4'Q", "K_1%", "W4XYZ"})
            AddCheckin(*m_db, {QString::fromLatin1(c), QDateTime(QDate(2024, 3, 7), QTime(19, 0))});
        const CQueryFilter f = mode == QLatin1String("prefix") ? LogFilter::CallSignPrefix(text)
                                                               : LogFilter::CallSignEquals(text);
        QCOMPARE(Calls(f, LogSort::kCallSignDesc), expected);
    }

    void searchesUseTheIndexes()
    {
        auto plan = [this](const CQueryFilter& f) {
            SQLite::Statement stmt(
                m_db->Handle(),
                ("EXPLAIN QUERY PLAN SELECT rowid FROM LogwardenTab WHERE " + f.where).toStdString());
            for (int i = 0; i < f.params.size(); ++i)
                stmt.bind(i + 1, f.params[i].toString().toStdString());
            QString text;
            while (stmt.executeStep())
                text += QString::fromUtf8(stmt.getColumn(3).getText());
            return text;
        };
        QVERIFY2(plan(LogFilter::Day(QDate(2024, 3, 7))).contains(QLatin1String("LogwardenTab_Date")),
                 qPrintable(plan(LogFilter::Day(QDate(2024, 3, 7)))));
        QVERIFY2(plan(LogFilter::CallSignPrefix(QStringLiteral("W4")))
                     .contains(QLatin1String("LogwardenTab_CallSign")),
                 qPrintable(plan(LogFilter::CallSignPrefix(QStringLiteral("W4")))));
        QVERIFY(plan(LogFilter::CallSignEquals(QStringLiteral("W4")))
                    .contains(QLatin1String("LogwardenTab_CallSign")));
    }

    void dateRangeIncludesMidnightOfTheLastDayOnly()
    {
        AddCheckin(*m_db, {"FIRST", QDateTime(QDate(2024, 3, 1), QTime(0, 0))});
        AddCheckin(*m_db, {"INSIDE", QDateTime(QDate(2024, 3, 2), QTime(19, 0))});
        AddCheckin(*m_db, {"ENDMIDNIGHT", QDateTime(QDate(2024, 3, 3), QTime(0, 0))});
        AddCheckin(*m_db, {"ENDEVENING", QDateTime(QDate(2024, 3, 3), QTime(19, 0))});
        QCOMPARE(Calls(LogFilter::DateBetween(QDate(2024, 3, 1), QDate(2024, 3, 3))),
                 (QStringList{"FIRST", "INSIDE", "ENDMIDNIGHT"}));
        QCOMPARE(Calls(LogFilter::DateEquals(QDateTime(QDate(2024, 3, 3), QTime(0, 0)))),
                 QStringList{"ENDMIDNIGHT"});
    }

    void aFileThatIsNotADatabaseIsNamedInTheError()
    {
        const QString path = m_scratch->File(QStringLiteral("Logwarden-97.mdb"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QByteArray jet(4096, '\0');
        jet.replace(4, 15, "Standard Jet DB");
        f.write(jet);
        f.close();
        try {
            CDatabase db(path);
            QFAIL("opened an Access file as a log");
        } catch (const CDBException& e) {
            QVERIFY2(e.Message().contains(path), qPrintable(e.Message()));
            QVERIFY2(e.Message().contains(QLatin1String("not")), qPrintable(e.Message()));
        }
    }

    void logIsDurable()
    {
        QCOMPARE(QString::fromStdString(m_db->Handle().execAndGet("PRAGMA journal_mode").getString()),
                 QStringLiteral("wal"));
        QCOMPARE(m_db->Handle().execAndGet("PRAGMA synchronous").getInt(), 2); // FULL
        // A check-in added by a process that then dies without any clean-up is in the log.
        const QString path = m_db->GetPath();
        const pid_t child = fork();
        if (child == 0) {
            CDatabase db(path);
            LogSchema::Prepare(db);
            AddCheckin(db, {"CRASH", QDateTime(QDate(2024, 3, 7), QTime(19, 0))});
            _exit(0); // no destructors, no checkpoint
        }
        int status = 0;
        waitpid(child, &status, 0);
        QVERIFY(WIFEXITED(status));
        m_db.reset();
        m_db = std::make_unique<CDatabase>(path);
        QCOMPARE(Calls(LogFilter::CallSignEquals(QStringLiteral("CRASH"))), QStringList{"CRASH"});
    }
};

QTEST_GUILESS_MAIN(TestLogStore)
#include "tst_logstore.moc"
