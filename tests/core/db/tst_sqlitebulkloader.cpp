// The bulk loader of the database builds: how a file is split into lines and fields, what it does with
// a file it cannot read, and that a stopped load leaves the table as it was.
// Test labels: threads
#include "core/Exceptions.h"
#include "core/db/SqliteBulkLoader.h"

#include "support/TestSupport.h"

#include <QtTest>
#include <sqlite3.h>

using TestSupport::CScratch;

namespace {

// Keeps each line as "<number> <end> <fields joined by />", or "<number> <end> !quote" for an
// unclosed quote.
class CLineRecords final : public CBulkRecords
{
public:
    explicit CLineRecords(bool csv) : m_csv(csv) {}
    std::vector<std::string> lines;

    void Clear() override { lines.clear(); }

    void Add(const CBulkLine& line) override
    {
        static const char* const kEnds[] = {"LF", "EOF", "long"};
        std::string out = std::to_string(line.number) + ' ' + kEnds[int(line.end)] + ' ';
        CFieldSplitter fields(line.text, line.length, m_csv ? ',' : '|');
        for (bool first = true;; first = false) {
            std::string field;
            if (m_csv) {
                const CFieldSplitter::Csv r = fields.NextCsv(field);
                if (r == CFieldSplitter::Csv::UnclosedQuote)
                    field = "!quote";
                else if (r == CFieldSplitter::Csv::End)
                    break;
            } else {
                const char* b = nullptr;
                const char* e = nullptr;
                if (!fields.Next(b, e))
                    break;
                field.assign(b, size_t(e - b));
            }
            out += (first ? "" : "/") + field;
            if (field == "!quote")
                break;
        }
        lines.push_back(out);
    }

private:
    const bool m_csv;
};

struct CDb
{
    sqlite3* db = nullptr;
    explicit CDb(const QString& path)
    {
        sqlite3_open(QFile::encodeName(path).constData(), &db);
        sqlite3_exec(db, "CREATE TABLE T (Line TEXT UNIQUE)", nullptr, nullptr, nullptr);
    }
    ~CDb() { sqlite3_close(db); }
    QStringList Rows() const
    {
        QStringList rows;
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, "SELECT Line FROM T ORDER BY rowid", -1, &s, nullptr);
        while (sqlite3_step(s) == SQLITE_ROW)
            rows << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
        sqlite3_finalize(s);
        return rows;
    }
};

// Loads the file into T, one row a line; returns what Load() returned.
bool LoadLines(CSqliteBulkLoader& loader, sqlite3* db, bool csv,
               const std::function<bool(qint64)>& afterBlock = {})
{
    loader.SetDatabase(db, QStringLiteral("T: "), {});
    loader.Begin(QStringLiteral("T"), 1);
    const auto write = [&](CBulkRecords& records) {
        for (const std::string& line : static_cast<CLineRecords&>(records).lines) {
            loader.BindText(0, line.data(), int(line.size()));
            loader.Insert();
        }
    };
    const bool complete =
        loader.Load([csv] { return std::make_unique<CLineRecords>(csv); }, write, nullptr, afterBlock);
    if (complete)
        loader.Commit();
    return complete;
}

} // namespace

class TestSqliteBulkLoader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void linesAndFields_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("csv");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<bool>("sawLineFeed");
        QTest::newRow("empty file") << QByteArray() << false << QStringList() << false;
        QTest::newRow("CR LF ends like LF")
            << QByteArray("a|b|\r\nc||\r\n") << false << QStringList{"1 LF a/b", "2 LF c/"} << true;
        QTest::newRow("final line without a line feed")
            << QByteArray("a|b|\nc|d|") << false << QStringList{"1 LF a/b", "2 EOF c/d"} << true;
        QTest::newRow("final line with CR only")
            << QByteArray("x|\r") << false << QStringList{"1 EOF x"} << false;
        QTest::newRow("blank lines are counted, not handed on")
            << QByteArray("\n\r\nz|\n\n") << false << QStringList{"3 LF z"} << true;
        QTest::newRow("text after the last delimiter is no field")
            << QByteArray("a|b|c\n") << false << QStringList{"1 LF a/b"} << true;
        QTest::newRow("a double quote is ordinary without CSV")
            << QByteArray("\"a|b\"|\n") << false << QStringList{"1 LF \"a/b\""} << true;
        QTest::newRow("CSV: the delimiter inside quotes is data")
            << QByteArray("K1ABC,\"SMITH, JOHN\",x,\n") << true << QStringList{"1 LF K1ABC/SMITH, JOHN/x"}
            << true;
        QTest::newRow("CSV: doubled quote, text after the closing one, quotes dropped outside")
            << QByteArray("\"say \"\"hi\"\"\",\"a\"b,c\"d\",\n") << true
            << QStringList{"1 LF say \"hi\"/ab/cd"} << true;
        QTest::newRow("CSV: a line feed inside quotes ends the line")
            << QByteArray("\"a\nb\",\n") << true << QStringList{"1 LF !quote", "2 LF b"} << true;
        QTest::newRow("CSV: CR LF") << QByteArray("a,\"b,c\",\r\n") << true << QStringList{"1 LF a/b,c"}
                                    << true;
        const QByteArray overlong(int(CSqliteBulkLoader::kMaxLine) * 5, 'x');
        QTest::newRow("an overlong line is skipped, the next one read")
            << overlong + "|\nb|\n"
            << false << QStringList{"1 long ", "2 LF b"} << true;
    }

    void linesAndFields()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, csv);
        QFETCH(QStringList, rows);
        QFETCH(bool, sawLineFeed);
        const CScratch scratch;
        const QString input = scratch.File(QStringLiteral("in.txt"));
        TestSupport::WriteFile(input, content);
        const CDb db(scratch.File(QStringLiteral("out.db")));
        CSqliteBulkLoader loader(input);
        QCOMPARE(loader.FileSize(), qint64(content.size()));
        QVERIFY(LoadLines(loader, db.db, csv));
        QCOMPARE(db.Rows(), rows);
        QCOMPARE(loader.SawLineFeed(), sawLineFeed);
    }

    void aFileThatCannotBeReadIsReported_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "missing.txt"
                                 << "No such file or directory";
        QTest::newRow("folder") << "folder"
                                << "it is a folder";
        QTest::newRow("link to itself") << "loop"
                                        << "Too many levels of symbolic links";
        // Opens, but every read fails.
        QTest::newRow("read fails") << "/proc/self/mem"
                                    << "Input/output error";
    }

    void aFileThatCannotBeReadIsReported()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        const CScratch scratch;
        QVERIFY(QDir(scratch.Path()).mkdir(QStringLiteral("folder")));
        QVERIFY(QFile::link(scratch.File(QStringLiteral("loop")), scratch.File(QStringLiteral("loop"))));
        const QString path = name.startsWith(QLatin1Char('/')) ? name : scratch.File(name);
        const CDb db(scratch.File(QStringLiteral("out.db")));
        try {
            CSqliteBulkLoader loader(path);
            LoadLines(loader, db.db, false);
            QFAIL("no error");
        } catch (const CFileException& e) {
            QCOMPARE(e.Message(), QStringLiteral("Cannot read \"%1\": %2").arg(path, reason));
        }
        QCOMPARE(db.Rows(), QStringList());
    }

    void aStoppedLoadLeavesTheTableAsItWas()
    {
        const CScratch scratch;
        const QString input = scratch.File(QStringLiteral("in.txt"));
        QByteArray content;
        for (int i = 0; i < 100000; ++i)
            content += QByteArray::number(i) + "|\n";
        TestSupport::WriteFile(input, content);
        const CDb db(scratch.File(QStringLiteral("out.db")));
        QList<qint64> done;
        {
            CSqliteBulkLoader loader(input);
            QVERIFY(!LoadLines(loader, db.db, false, [&](qint64 bytes) {
                done << bytes;
                return false;
            }));
        }
        QCOMPARE(done.size(), 1);
        QVERIFY(done[0] > 0 && done[0] < content.size());
        QCOMPARE(db.Rows(), QStringList());
    }

    void aDatabaseErrorCarriesItsContext()
    {
        const CScratch scratch;
        const CDb db(scratch.File(QStringLiteral("out.db")));
        CSqliteBulkLoader loader(scratch.File(QStringLiteral("out.db")));
        loader.SetDatabase(db.db, QStringLiteral("Cannot build \"x\": "), QStringLiteral(" (table N)"));
        try {
            loader.Begin(QStringLiteral("N"), 2);
            QFAIL("no error");
        } catch (const CDBException& e) {
            QCOMPARE(e.Message(), QStringLiteral("Cannot build \"x\": no such table: N (table N)"));
        }
    }
};

QTEST_GUILESS_MAIN(TestSqliteBulkLoader)
#include "tst_sqlitebulkloader.moc"
