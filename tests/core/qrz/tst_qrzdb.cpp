// The QRZ local database: how a CSV line is read, and the build of QRZ97.db from a file.
// Test labels: threads
#include "core/Exceptions.h"
#include "core/db/Database.h"
#include "core/qrz/QrzCDb.h"
#include "core/qrz/QrzCsv.h"
#include "core/qrz/QrzDbSet.h"
#include "support/TestSupport.h"

#include <QtTest>
#include <SQLiteCpp/SQLiteCpp.h>

using namespace TestSupport;

namespace {

const QString kNull = QStringLiteral("<null>");

// The fifteen values a line stores, "<null>" for an empty one, Country as its number.
QStringList Values(const QByteArray& line, QrzCsv::Reject* reject = nullptr)
{
    std::string text = "prefix"; // the parser appends to what a batch holds already
    QrzCsv::CRow row{};
    const QrzCsv::Reject r = QrzCsv::ParseLine(line.constData(), size_t(line.size()), text, row);
    if (reject)
        *reject = r;
    if (r != QrzCsv::Reject::None) {
        if (text != "prefix")
            return {QStringLiteral("text changed on a rejected line")};
        return {};
    }
    QStringList values;
    for (int i = 0; i < QrzSchema::kColumnCount; ++i) {
        if (i == QrzSchema::kCountryColumn) {
            values << QString::number(row.country);
            continue;
        }
        const QrzCsv::CCell& c = row.cells[i];
        values << (c.length < 0 ? kNull : QString::fromUtf8(text.data() + c.offset, c.length));
    }
    return values;
}

// Fifteen values from the first ones given; the rest null (Country 0).
QStringList Expect(QStringList first)
{
    while (first.size() < QrzSchema::kColumnCount)
        first << (first.size() == QrzSchema::kCountryColumn ? QStringLiteral("0") : kNull);
    return first;
}

// A record line of the CSV file: the fields, each followed by ",".
QByteArray Record(const QStringList& fields)
{
    QByteArray line;
    for (const QString& f : fields)
        line += f.toUtf8() + ',';
    return line + '\n';
}

// A header line of 150 characters (fewer than 155), as QRZ's file begins.
const QByteArray kHeader = QByteArray("CALL,LASTNAME,COUNTRY,FIRSTNAME,JPG,UNUSED,EFFECTIVE,EXPIRES,STREET,"
                                      "CITY,STATE,ZIP,CLASS,PREV1,PREV2,")
                               .leftJustified(150, ' ') +
                           '\n';

QList<QStringList> ReadTable(const QString& path)
{
    CDatabase db(path, CDatabase::ReadOnly);
    CQRZDbSet set(&db);
    set.SetSort(QStringLiteral("rowid"));
    set.Open(CRecordset::snapshot);
    QList<QStringList> rows;
    for (; !set.IsEOF(); set.MoveNext()) {
        rows << QStringList{set.m_CallSign,  set.m_LastName,         QString::number(set.m_Country),
                            set.m_FirstName, set.m_Efective,         set.m_Street,
                            set.m_State,     set.m_PreviousCallSign2};
    }
    return rows;
}

QStringList Leftovers(const QString& folder)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    names.removeAll(QStringLiteral("QRZ97.db"));
    names.removeAll(QStringLiteral("in.csv"));
    return names;
}

} // namespace

class TestQrzDb : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void csvLine_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QStringList>("expected");
        const QString street70 = QString(70, QLatin1Char('S'));
        QTest::newRow("call sign, surname, country, first name")
            << QByteArray("K1ABC,SMITH,291,JOHN,J1,U1,2010-01-01,2020-01-01,")
            << Expect({"K1ABC", "SMITH", "291", "JOHN", "J1", "U1", "2010-01-01", "2020-01-01"});
        QTest::newRow("quotes removed") << QByteArray("\"K1ABC\",\"SMITH\",\"291\",\"JOHN\",")
                                        << Expect({"K1ABC", "SMITH", "291", "JOHN"});
        QTest::newRow("quoted comma stays in its field")
            << QByteArray("K1ABC,\"SMITH, JR\",1,JOHN,") << Expect({"K1ABC", "SMITH, JR", "1", "JOHN"});
        QTest::newRow("doubled quotes") << QByteArray("K1ABC,\"O\"\"BRIEN\",1,\"SAY \"\"HI\"\"\",")
                                        << Expect({"K1ABC", "O\"BRIEN", "1", "SAY \"HI\""});
        QTest::newRow("stray quote in an unquoted field")
            << QByteArray("K1ABC,SM\"ITH,1,") << Expect({"K1ABC", "SMITH", "1"});
        QTest::newRow("text after a closing quote")
            << QByteArray("K1ABC,\"SMITH\" JR,1,") << Expect({"K1ABC", "SMITH JR", "1"});
        QTest::newRow("cut to width") << (QByteArray("K1ABCDEFGHIJK,SMITH,1,JOHN,,,,,") +
                                          street70.toLatin1() + ",HARTFORD,CTX,0610112345,")
                                      << Expect({"K1ABCDEFGH", "SMITH", "1", "JOHN", kNull, kNull, kNull,
                                                 kNull, street70.left(60), "HARTFORD", "CT", "061011234"});
        QTest::newRow("fifteen fields with the trailing comma")
            << QByteArray("C1,L,1,F,J,U,E,X,S,CI,ST,Z,O,P1,P2,")
            << QStringList{"C1", "L", "1", "F", "J", "U", "E", "X", "S", "CI", "ST", "Z", "O", "P1", "P2"};
        QTest::newRow("fifteen fields without it store fourteen")
            << QByteArray("C1,L,1,F,J,U,E,X,S,CI,ST,Z,O,P1,P2")
            << QStringList{"C1", "L", "1", "F", "J", "U", "E", "X", "S", "CI", "ST", "Z", "O", "P1", kNull};
        QTest::newRow("fields beyond fifteen ignored")
            << QByteArray("C1,L,1,F,J,U,E,X,S,CI,ST,Z,O,P1,P2,EXTRA,MORE,")
            << QStringList{"C1", "L", "1", "F", "J", "U", "E", "X", "S", "CI", "ST", "Z", "O", "P1", "P2"};
        QTest::newRow("carriage return after the last comma")
            << QByteArray("K1ABC,SMITH,7,\r") << Expect({"K1ABC", "SMITH", "7"});
        QTest::newRow("country: leading digits")
            << QByteArray("K1ABC,,12ab,,") << Expect({"K1ABC", kNull, "12"});
        QTest::newRow("country: no digits") << QByteArray("K1ABC,,USA,,") << Expect({"K1ABC", kNull, "0"});
        QTest::newRow("UTF-8 cut by characters")
            << QStringLiteral("K1ABC,%1,1,").arg(QString(25, QChar(0xDC))).toUtf8()
            << Expect({"K1ABC", QString(20, QChar(0xDC)), "1"});
        QTest::newRow("a byte-order mark at a field's start")
            << QByteArray("K1ABC,\xEF\xBB\xBFM\xC3\x9CLLER,1,")
            << Expect({"K1ABC", QStringLiteral("M\u00DCLLER"), "1"});
        QTest::newRow("Windows-1252") << QByteArray("K1ABC,M\xDCLLER \x80,1,")
                                      << Expect({"K1ABC", QStringLiteral("M\u00DCLLER \u20AC"), "1"});
    }
    void csvLine()
    {
        QFETCH(QByteArray, line);
        QFETCH(QStringList, expected);
        QCOMPARE(Values(line), expected);
    }

    void csvLineRejected_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("reject");
        const int noCall = int(QrzCsv::Reject::NoCallSign);
        QTest::newRow("begins with a comma") << QByteArray(",SMITH,1,JOHN,") << noCall;
        QTest::newRow("empty quoted call sign") << QByteArray("\"\",SMITH,1,") << noCall;
        QTest::newRow("a call sign without a comma after it") << QByteArray("K1ABC") << noCall;
        QTest::newRow("empty line") << QByteArray("") << noCall;
        QTest::newRow("quote not closed")
            << QByteArray("K1ABC,\"SMITH, JR,1,") << int(QrzCsv::Reject::UnclosedQuote);
        const int notACall = int(QrzCsv::Reject::NotACallSign);
        QTest::newRow("control characters in the call sign") << QByteArray("K1\x01\x7f,SMITH,1,") << notACall;
        QTest::newRow("binary call sign") << QByteArray("\x89PNG\xff,SMITH,1,") << notACall;
    }
    void csvLineRejected()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, reject);
        QrzCsv::Reject r = QrzCsv::Reject::None;
        QCOMPARE(Values(line, &r), QStringList());
        QCOMPARE(int(r), reject);
    }

    void compileLoadsRecordsAndCountsTheRest()
    {
        CScratch dir;
        const QString csv = dir.File(QStringLiteral("in.csv"));
        WriteFile(csv, kHeader + Record({"K1ABC", "SMITH", "291", "JOHN", "", "", "2010-01-01"}) +
                           Record({"W9XYZ", "\"SMITH, JR\"", "1", "ANNA"}) + ",NOCALL,1,\n" + "\r\n" +
                           "K3BAD,\"unclosed,\n" +
                           Record({"N0P2", "L", "1", "F", "J", "U", "E", "X", "S", "C", "ST", "Z", "O", "P1",
                                   "P2"}) +
                           Record({"K4MORE", "DOE"}) + "N0TAIL,NO LINE FEED,1,");
        CQRZCDb compiler(csv, CQRZCDb::OutputPathFor(csv));
        QList<QPair<qint64, QString>> skipped;
        compiler.SetSkipped([&](qint64 line, const QString& why) { skipped.append({line, why}); });
        const CQRZCDb::CResult result = compiler.Compile();
        QCOMPARE(result.loaded, 4);
        QCOMPARE(result.skipped, 4);
        QCOMPARE(CQRZCDb::ResultText(result), QStringLiteral("4 loaded, 4 skipped"));
        QCOMPARE(skipped.size(), 4);
        QCOMPARE(skipped[0].first, 1); // the header
        QCOMPARE(skipped[1], qMakePair(qint64(4), QStringLiteral("CallSign is missing")));
        QCOMPARE(skipped[2], qMakePair(qint64(6), QStringLiteral("a quoted field is not closed")));
        QCOMPARE(skipped[3], qMakePair(qint64(9), QStringLiteral("the last line has no line feed")));

        const QList<QStringList> rows = ReadTable(dir.File(QStringLiteral("QRZ97.db")));
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[0], (QStringList{"K1ABC", "SMITH", "291", "JOHN", "2010-01-01", "", "", ""}));
        QCOMPARE(rows[1], (QStringList{"W9XYZ", "SMITH, JR", "1", "ANNA", "", "", "", ""}));
        QCOMPARE(rows[2], (QStringList{"N0P2", "L", "1", "F", "E", "S", "ST", "P2"}));

        // The CallSign index, ascending and not unique, and the column names as the table has them.
        SQLite::Database db(dir.File(QStringLiteral("QRZ97.db")).toStdString());
        SQLite::Statement index(db, "SELECT name, \"unique\" FROM pragma_index_list('QRZ')");
        QVERIFY(index.executeStep());
        QCOMPARE(index.getColumn(0).getString(), std::string("CallSign"));
        QCOMPARE(index.getColumn(1).getInt(), 0);
        SQLite::Statement columns(db, "SELECT group_concat(name, ',') FROM pragma_table_info('QRZ')");
        QVERIFY(columns.executeStep());
        QCOMPARE(QString::fromStdString(columns.getColumn(0).getString()),
                 QStringLiteral("CallSign,LastName,Country,FirstName,JPG,Unused,Efective,Expires,Street,City,"
                                "State,ZipCode,OperatorClass,PreviousCallSign1,PreviousCallSign2"));
        QCOMPARE(Leftovers(dir.Path()), QStringList());
    }

    // The header rule: the first line is a record when its line feed lies at offset 155 or later, a
    // later line when its line feed lies beyond offset 155.
    void headerRule_data()
    {
        QTest::addColumn<int>("firstLength");  // characters before the first line feed
        QTest::addColumn<int>("secondLength"); // ... before the second one
        QTest::addColumn<int>("loaded");
        QTest::newRow("short header") << 100 << 80 << 1; // second line feed at 181
        QTest::newRow("first line of 155") << 155 << 20 << 2;
        QTest::newRow("first line of 154") << 154 << 20 << 1;
        QTest::newRow("second line feed at 155") << 100 << 54 << 0;
        QTest::newRow("second line feed at 156") << 100 << 55 << 1;
    }
    void headerRule()
    {
        QFETCH(int, firstLength);
        QFETCH(int, secondLength);
        QFETCH(int, loaded);
        const auto line = [](const char* call, int length) {
            QByteArray l = QByteArray(call) + ",NAME,1,";
            return l + QByteArray(length - l.size(), 'x') + '\n';
        };
        CScratch dir;
        WriteFile(dir.File(QStringLiteral("in.csv")),
                  line("K1ONE", firstLength) + line("K2TWO", secondLength));
        CQRZCDb compiler(dir.File(QStringLiteral("in.csv")), dir.File(QStringLiteral("QRZ97.db")));
        if (loaded == 0) {
            // Nothing to load is no database: refused, and nothing is built.
            QVERIFY_THROWS_EXCEPTION(CFileException, compiler.Compile());
            QVERIFY(!QFile::exists(dir.File(QStringLiteral("QRZ97.db"))));
            return;
        }
        const CQRZCDb::CResult result = compiler.Compile();
        QCOMPARE(result.loaded, loaded);
        QCOMPARE(result.skipped, 2 - loaded);
        QCOMPARE(ReadTable(dir.File(QStringLiteral("QRZ97.db"))).size(), loaded);
    }

    // A build that does not complete leaves the previous database as it was, and nothing beside it.
    void previousDatabaseKept_data()
    {
        QTest::addColumn<bool>("csvMissing");
        QTest::addColumn<int>("cancelAfter"); // progress calls before cancelling; -1: never
        QTest::newRow("CSV file missing") << true << -1;
        QTest::newRow("cancelled while reading") << false << 1;
        QTest::newRow("cancelled when the index is due") << false << 1000000;
    }
    void previousDatabaseKept()
    {
        QFETCH(bool, csvMissing);
        QFETCH(int, cancelAfter);
        CScratch dir;
        const QString output = dir.File(QStringLiteral("QRZ97.db"));
        WriteFile(output, "the previous database");
        QByteArray csv = kHeader;
        for (int i = 0; i < 60000; ++i)
            csv +=
                Record({QStringLiteral("K%1").arg(i), "NAME", "1", "FIRST", "", "", "", "", "1 MAIN STREET"});
        if (!csvMissing)
            WriteFile(dir.File(QStringLiteral("in.csv")), csv);
        CQRZCDb compiler(dir.File(QStringLiteral("in.csv")), output);
        int calls = 0;
        bool sawEnd = false;
        CProgress progress([&](qint64 done, qint64 total, const QString&) {
            sawEnd = sawEnd || done == total;
            // "while indexing": carry on through the reading, stop at the index.
            if (cancelAfter > 1 ? done >= total : ++calls >= cancelAfter)
                progress.Cancel();
        });
        compiler.SetProgress(&progress);
        if (csvMissing) {
            QVERIFY_THROWS_EXCEPTION(CFileException, compiler.Compile());
        } else {
            const CQRZCDb::CResult result = compiler.Compile();
            QVERIFY(result.cancelled);
            QCOMPARE(sawEnd, cancelAfter > 1);
        }
        QCOMPARE(ReadFile(output), QByteArray("the previous database"));
        QCOMPARE(Leftovers(dir.Path()), QStringList());
    }

    void outputBesideTheCsvFile()
    {
        QCOMPARE(CQRZCDb::OutputPathFor(QStringLiteral("/data/qrz/qrz_csv.csv")),
                 QStringLiteral("/data/qrz/QRZ97.db"));
        QCOMPARE(CQRZCDb::OverwriteQuestion(QStringLiteral("/data/qrz/QRZ97.db")),
                 QStringLiteral("File /data/qrz/QRZ97.db exists! Overwrite?"));
    }
};

QTEST_GUILESS_MAIN(TestQrzDb)
#include "tst_qrzdb.moc"
