// The text export: its exact bytes, the proposed file name and the replacement of the file.
#include "core/Exceptions.h"
#include "core/db/Database.h"
#include "core/log/LogExport.h"
#include "core/log/LogSchema.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QFile>
#include <QtTest>
#include <SQLiteCpp/Database.h>

using namespace TestSupport;

namespace {

const QDate kDay(2024, 3, 7);
const QByteArray kHeader = "Num|UUID|Ack|Call|Name|Street|City State Zip|Class|Date|Comment\n";

QDateTime At(const QDate& day, int hour, int minute = 0)
{
    return QDateTime(day, QTime(hour, minute));
}

} // namespace

class TestExport : public QObject
{
    Q_OBJECT

    std::unique_ptr<CScratch> m_scratch;
    std::unique_ptr<CDatabase> m_db;

    QByteArray Export(const std::optional<QDate>& day)
    {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        LogExport::Write(*m_db, day, out);
        return out.data();
    }
    // Check-ins 1..40 on another day, then 41, 42 on the day, 43, 44 elsewhere and 45 on the day.
    void LogTheExampleDay()
    {
        for (int i = 1; i <= 40; ++i)
            AddCheckin(*m_db, {QStringLiteral("K%1X").arg(i), At(kDay.addDays(-7), 19, i)});
        QCOMPARE(AddCheckin(*m_db, {"W4ABC", At(kDay, 19, 1), "Jane Doe", "mobile", false, false, false,
                                    "Springfield, IL 62701", "1 Elm St", "G"}),
                 41);
        AddCheckin(*m_db,
                   {"K1XYZ", At(kDay, 19, 2), "Bob", "", true, true, true, "Macon, GA 31201", "", "E"});
        AddCheckin(*m_db, {"N0ONE", At(kDay.addDays(1), 19, 0)});
        AddCheckin(*m_db, {"N0TWO", At(kDay.addDays(-1), 23, 59)});
        QCOMPARE(AddCheckin(*m_db, {"KH6/W4AB", At(kDay, 23, 59)}), 45);
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

    void aDayIsWrittenExactly()
    {
        LogTheExampleDay();
        QCOMPARE(Export(kDay),
                 kHeader + "1|41|0|W4ABC|Jane Doe|1 Elm St|Springfield, IL 62701|G|03/07/2024|mobile\n"
                           "2|42|1|K1XYZ|Bob||Macon, GA 31201|E|03/07/2024|\n"
                           "3|45|0|KH6/W4AB|||||03/07/2024|\n");
    }

    void theWholeLogIsWrittenWhateverDayIsSelected()
    {
        LogTheExampleDay();
        const QByteArray all = Export(std::nullopt);
        const QList<QByteArray> lines = all.split('\n');
        QCOMPARE(lines.size(), 1 + 45 + 1); // header, 45 check-ins, nothing after the last line feed
        QCOMPARE(lines.first() + '\n', kHeader);
        QCOMPARE(lines[1], QByteArray("1|1|0|K1X|||||02/29/2024|"));
        QCOMPARE(lines[45], QByteArray("45|45|0|KH6/W4AB|||||03/07/2024|"));
        QVERIFY(lines.last().isEmpty());
        // An empty day selected in the form changes nothing of the full export.
        QCOMPARE(Export(kDay.addDays(2)), QByteArray());
    }

    void emptyLogAndEmptyDay()
    {
        QCOMPARE(Export(std::nullopt), kHeader);
        QCOMPARE(Export(kDay), QByteArray());
    }

    void fieldsAreWrittenAsTheyStand_data()
    {
        QTest::addColumn<QString>("comment");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("pipe shifts the fields")
            << "traffic|for W4ABC"
            << "Ann" << QByteArray("1|1|0|K1A|Ann||||03/07/2024|traffic|for W4ABC\n");
        QTest::newRow("quotes and backslash")
            << "said \"73\" \\o/"
            << "O'Brien" << QByteArray("1|1|0|K1A|O'Brien||||03/07/2024|said \"73\" \\o/\n");
        QTest::newRow("UTF-8") << "Grüße"
                               << "José Müller"
                               << QByteArray(
                                      "1|1|0|K1A|Jos\xc3\xa9 M\xc3\xbcller||||03/07/2024|Gr\xc3\xbc\xc3\x9f"
                                      "e\n");
        QTest::newRow("line breaks keep one line")
            << "first\nsecond\r\nthird\rfourth"
            << "A" << QByteArray("1|1|0|K1A|A||||03/07/2024|first second third fourth\n");
    }
    void fieldsAreWrittenAsTheyStand()
    {
        QFETCH(QString, comment);
        QFETCH(QString, name);
        QFETCH(QByteArray, line);
        AddCheckin(*m_db, {"K1A", At(kDay, 19), name, comment});
        QCOMPARE(Export(kDay), kHeader + line);
    }

    void datesAsTheListsShowThem()
    {
        const int id = AddCheckin(*m_db, {"K1A", At(kDay, 19)});
        AddCheckin(*m_db, {"K1B", At(kDay, 20)});
        SQLite::Database& h = m_db->Handle();
        h.exec(QStringLiteral("UPDATE LogwardenTab SET \"Date\" = NULL WHERE ID = %1").arg(id).toStdString());
        h.exec("UPDATE LogwardenTab SET \"Date\" = 'invalid' WHERE CallSign = 'K1B'");
        QCOMPARE(Export(std::nullopt), kHeader + "1|1|0|K1A||||||\n"
                                                 "2|2|0|K1B|||||Invalid DateTime|\n");
    }

    void proposedFileName_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("name");
        QTest::newRow("no leading zeros") << QDate(2024, 3, 7) << "Logwarden_2024-3-7";
        QTest::newRow("two digits") << QDate(2025, 12, 25) << "Logwarden_2025-12-25";
    }
    void proposedFileName()
    {
        QFETCH(QDate, today);
        QFETCH(QString, name);
        QCOMPARE(LogExport::DefaultFileName(today), name);
    }

    void theFileIsReplacedOnlyWhenComplete()
    {
        AddCheckin(*m_db, {"K1A", At(kDay, 19)});
        const QString path = m_scratch->File(QStringLiteral("out.txt"));
        QCOMPARE(LogExport::WriteFile(*m_db, kDay, path), 1L);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), Export(kDay));
        file.close();

        // A failure of the log half-way leaves the earlier export as it was, and no stray file beside it.
        m_db->Execute(
            QStringLiteral("PRAGMA legacy_alter_table=ON; ALTER TABLE LogwardenTab RENAME TO Gone"));
        QVERIFY_THROWS_EXCEPTION(CDBException, LogExport::WriteFile(*m_db, kDay, path));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), kHeader + "1|1|0|K1A|||||03/07/2024|\n");
        QCOMPARE(QDir(m_scratch->Path()).entryList({"out.txt*"}, QDir::Files), QStringList{"out.txt"});

        // A folder that does not exist is a file error that names the file.
        const QString nowhere = m_scratch->File(QStringLiteral("no/such/folder/out.txt"));
        try {
            LogExport::WriteFile(*m_db, std::nullopt, nowhere);
            QFAIL("no error");
        } catch (const CFileException& e) {
            QCOMPARE(e.Path(), nowhere);
            QVERIFY(e.Message().contains(nowhere));
        }
    }
};

QTEST_GUILESS_MAIN(TestExport)
#include "tst_export.moc"
