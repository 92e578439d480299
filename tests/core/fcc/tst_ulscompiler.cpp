// The ULS compiler: which lines of AM.dat, EN.dat and HD.dat become rows, and how a build replaces the
// database only when it has completed.
// Test labels: threads
#include "core/Exceptions.h"
#include "core/db/Database.h"
#include "core/fcc/FccDbCompiler.h"
#include "core/fcc/FccLookup.h"
#include "core/fcc/FccSchema.h"
#include "core/jobs/MThreadedJobQ.h"
#include "support/TestSupport.h"
#include "support/UlsFiles.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

using Change = QPair<int, QByteArray>; // 1-based field number, its text

// A line of `count` fields of the table, the usual values changed as given.
QByteArray Line(const QByteArray& table, const QList<Change>& changes = {}, int count = 0)
{
    QList<QByteArray> f;
    if (table == "AM") {
        f = {"AM", "1001", "", "", "K1ABC", "E", "D", "1", "", "", "", "", "", "", "", "", "", ""};
    } else if (table == "EN") {
        f = QList<QByteArray>(30);
        const QList<Change> values = {{1, "EN"},          {2, "1001"},        {5, "K1ABC"},     {6, "L"},
                                      {8, "SMITH, JOHN"}, {16, "12 MAIN ST"}, {17, "HARTFORD"}, {18, "CT"},
                                      {19, "06101"},      {22, "000"},        {24, "I"}};
        for (const Change& v : values)
            f[v.first - 1] = v.second;
    } else {
        f = QList<QByteArray>(59);
        const QList<Change> values = {{1, "HD"}, {2, "1001"}, {5, "K1ABC"},
                                      {6, "A"},  {7, "HA"},   {8, "01/23/2023"}};
        for (const Change& v : values)
            f[v.first - 1] = v.second;
    }
    if (count > 0)
        f.resize(count);
    for (const Change& c : changes) {
        if (c.first > f.size())
            f.resize(c.first);
        f[c.first - 1] = c.second;
    }
    return f.join('|');
}

QVariant Value(CDatabase& db, const QString& sql)
{
    SQLite::Statement q(db.Handle(), sql.toStdString());
    if (!q.executeStep())
        return QStringLiteral("<no row>");
    const SQLite::Column c = q.getColumn(0);
    if (c.isNull())
        return QVariant();
    if (c.isInteger())
        return QVariant(static_cast<qlonglong>(c.getInt64()));
    if (c.isFloat())
        return QVariant(c.getDouble());
    return QString::fromUtf8(c.getText());
}

qint64 Count(CDatabase& db, const QString& table)
{
    return db.Handle()
        .execAndGet(QStringLiteral("SELECT count(*) FROM %1").arg(table).toStdString())
        .getInt64();
}

int StageOf(const QString& table)
{
    return table == QLatin1String("AM") ? 0 : (table == QLatin1String("EN") ? 1 : 2);
}

} // namespace

class TestUlsCompiler : public QObject
{
    Q_OBJECT

    static constexpr int kFiller = 999999;

    std::unique_ptr<CScratch> m_scratch;
    CFccDatabase m_fcc; // keeps the file open between look-ups, as the window does

    QString Db() const { return m_scratch->File(QStringLiteral("FCC97.db")); }

    // Builds from the three contents; the database must come out complete.
    // A build whose AM or EN loads nothing fails, so an empty one is given a licence of its own.
    CBuildOutcome Build(const QByteArray& am, const QByteArray& en, const QByteArray& hd,
                        CFccDbBuild::CObserver observer = {})
    {
        WriteUlsFiles(
            m_scratch->Path(), am.isEmpty() ? CrLf({AmLine(kFiller, "K9FILL", "E")}) : am,
            en.isEmpty() ? CrLf({EnLine(kFiller, "K9FILL", "FILL", "1 ST", "X", "CT", "06001")}) : en, hd);
        const CBuildOutcome outcome = BuildFccDb(m_scratch->Path(), Db(), std::move(observer));
        if (outcome.state != CFccDbBuild::Succeeded)
            qWarning("build ended with %s", qPrintable(outcome.message));
        return outcome;
    }

    QStringList LeftoverFiles() const
    {
        return QDir(m_scratch->Path())
            .entryList({QStringLiteral(".FCC97.db.*"), QStringLiteral("*-journal")},
                       QDir::Files | QDir::Hidden);
    }

private Q_SLOTS:
    void init() { m_scratch = std::make_unique<CScratch>(); }
    void cleanup() { m_scratch.reset(); }

    void lineRules_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("loaded");
        QTest::addColumn<int>("skipped");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QVariant>("expected"); // invalid: the column is null

        const QByteArray trustee = "SMITH, JOHN";
        const QVariant trusteeText = QString::fromLatin1(trustee);
        QTest::newRow("AM: the 18th field without a final | is not taken")
            << "AM" << Line("AM", {{18, trustee}}) + "\r\n"
            << 1 << 0 << "TrusteeName" << QVariant();
        QTest::newRow("AM: a final | takes the 18th field") << "AM" << Line("AM", {{18, trustee}}) + "|\r\n"
                                                            << 1 << 0 << "TrusteeName" << trusteeText;
        QTest::newRow("AM: fields beyond the 18 columns are ignored")
            << "AM" << Line("AM", {{18, trustee}, {19, "EXTRA"}, {20, "MORE"}}) + "|\r\n"
            << 1 << 0 << "TrusteeName" << trusteeText;
        QTest::newRow("AM: an empty field is null") << "AM" << Line("AM") + "\r\n"
                                                    << 1 << 0 << "ULSFileNumber" << QVariant();
        QTest::newRow("AM: the record type is stored as it is") << "AM" << Line("AM", {{1, "XY"}}) + "\n"
                                                                << 1 << 0 << "RecordType" << QVariant("XY");
        QTest::newRow("AM: 18 characters are too short")
            << "AM" << QByteArray("AM|123456|||W1AW|E\n") << 0 << 1 << "" << QVariant();
        QTest::newRow("AM: 19 characters load what is |-terminated")
            << "AM" << QByteArray("AM|1234567|||W1AW|E\n") << 1 << 0 << "CallSign" << QVariant("W1AW");
        QTest::newRow("AM: ...and not the rest")
            << "AM" << QByteArray("AM|1234567|||W1AW|E\n") << 1 << 0 << "OperatorClass" << QVariant();
        QTest::newRow("AM: a carriage return does not count toward the length")
            << "AM" << QByteArray("AM|123456|||W1AW|E\r\n") << 0 << 1 << "" << QVariant();
        QTest::newRow("AM: identifier that is not a number") << "AM" << Line("AM", {{2, "12a"}}) + "\n"
                                                             << 0 << 1 << "" << QVariant();
        QTest::newRow("AM: identifier beyond 32 bits") << "AM" << Line("AM", {{2, "2147483648"}}) + "\n"
                                                       << 0 << 1 << "" << QVariant();
        QTest::newRow("AM: the largest identifier")
            << "AM" << Line("AM", {{2, "2147483647"}}) + "\n"
            << 1 << 0 << "UniqueSystemIdentifier" << QVariant(qlonglong(2147483647));
        QTest::newRow("AM: identifier with blanks around it")
            << "AM" << Line("AM", {{2, " 42 "}}) + "\n"
            << 1 << 0 << "UniqueSystemIdentifier" << QVariant(qlonglong(42));
        QTest::newRow("AM: identifier missing") << "AM" << Line("AM", {{2, ""}}) + "\n"
                                                << 0 << 1 << "" << QVariant();
        QTest::newRow("AM: region that is not a number") << "AM" << Line("AM", {{8, "X1"}}) + "\n"
                                                         << 0 << 1 << "" << QVariant();
        QTest::newRow("AM: region as a number") << "AM" << Line("AM", {{8, "12"}}) + "\n"
                                                << 1 << 0 << "RegionCode" << QVariant(12.0);
        QTest::newRow("AM: class longer than its column") << "AM" << Line("AM", {{6, "EX"}}) + "\n"
                                                          << 0 << 1 << "" << QVariant();
        QTest::newRow("AM: call sign longer than its column")
            << "AM" << Line("AM", {{5, "K1ABCDEFGHI"}}) + "\n"
            << 0 << 1 << "" << QVariant();
        QTest::newRow("AM: a row without call sign loads") << "AM" << Line("AM", {{5, ""}}) + "\n"
                                                           << 1 << 0 << "CallSign" << QVariant();

        QTest::newRow("EN: a row without call sign is rejected") << "EN" << Line("EN", {{5, ""}}) + "\r\n"
                                                                 << 0 << 1 << "" << QVariant();
        QTest::newRow("EN: ZIP code keeps its leading zero") << "EN" << Line("EN", {{19, "06001"}}) + "\r\n"
                                                             << 1 << 0 << "ZipCode" << QVariant("06001");
        QTest::newRow("EN: nine-digit ZIP code") << "EN" << Line("EN", {{19, "123456789"}}) + "\r\n"
                                                 << 1 << 0 << "ZipCode" << QVariant("123456789");
        QTest::newRow("EN: ten-digit ZIP code is too long")
            << "EN" << Line("EN", {{19, "1234567890"}}) + "\r\n"
            << 0 << 1 << "" << QVariant();
        QTest::newRow("EN: a double quote is an ordinary character")
            << "EN" << Line("EN", {{8, "SMITH, \"BUD\" JOHN"}}) + "\r\n"
            << 1 << 0 << "EntityName" << QVariant("SMITH, \"BUD\" JOHN");
        QTest::newRow("EN: an unbalanced quote swallows nothing")
            << "EN"
            << Line("EN", {{21, "\"C/O JONES"}}) + "\r\n" + Line("EN", {{2, "1002"}, {5, "K1ABD"}}) + "\r\n"
            << 2 << 0 << "AttentionLine" << QVariant("\"C/O JONES");
        QTest::newRow("EN: Latin-1 is stored as UTF-8")
            << "EN" << Line("EN", {{8, "MU\xD1OZ, JOS\xC9"}}) + "\r\n"
            << 1 << 0 << "EntityName" << QVariant(QStringLiteral("MU\u00D1OZ, JOS\u00C9"));
        QTest::newRow("EN: the Windows apostrophe")
            << "EN"
            << Line("EN", {{11, "O\x92"
                                "BRIEN"}}) +
                   "\r\n"
            << 1 << 0 << "LastName" << QVariant(QStringLiteral("O\u2019BRIEN"));
        QTest::newRow("EN: the width counts characters, not bytes")
            << "EN" << Line("EN", {{9, QByteArray(19, 'A') + "\xC9"}}) + "\r\n"
            << 1 << 0 << "FirstName" << QVariant(QString(19, QLatin1Char('A')) + QChar(0xC9));
        QTest::newRow("EN: 21 characters are too many for the first name")
            << "EN" << Line("EN", {{9, QByteArray(20, 'A') + "\xC9"}}) + "\r\n"
            << 0 << 1 << "" << QVariant();
        QTest::newRow("EN: the status date") << "EN" << Line("EN", {{27, "01/05/2024"}}) + "\r\n"
                                             << 1 << 0 << "StatusDate" << QVariant("2024-01-05 00:00:00");
        QTest::newRow("EN: a leap day") << "EN" << Line("EN", {{27, "2/29/2024"}}) + "\r\n"
                                        << 1 << 0 << "StatusDate" << QVariant("2024-02-29 00:00:00");
        QTest::newRow("EN: no 29 February in 2023") << "EN" << Line("EN", {{27, "02/29/2023"}}) + "\r\n"
                                                    << 0 << 1 << "" << QVariant();
        QTest::newRow("EN: a date that is no date") << "EN" << Line("EN", {{27, "13/45/2024"}}) + "\r\n"
                                                    << 0 << 1 << "" << QVariant();
        QTest::newRow("EN: the older 27-field layout leaves the status date out")
            << "EN" << Line("EN", {{27, "01/05/2024"}}, 27) + "\r\n"
            << 1 << 0 << "StatusDate" << QVariant();

        // A line no longer than the table's columns is refused, whatever ends it.
        QTest::newRow("AM: 18 characters and CR LF")
            << "AM" << QByteArray("AM|7|||K1A||||||||\r\n") << 0 << 1 << "" << QVariant();
        QTest::newRow("AM: 18 characters and LF")
            << "AM" << QByteArray("AM|7|||K1A||||||||\n") << 0 << 1 << "" << QVariant();
        QTest::newRow("AM: 19 characters and LF")
            << "AM" << QByteArray("AM|7|||K1A|||||||||\n") << 1 << 0 << "CallSign" << QVariant("K1A");
        QTest::newRow("HD: today's 59 fields store the first 50")
            << "HD" << Line("HD", {{50, "Y"}, {51, "Z"}}) + "\r\n"
            << 1 << 0 << "LicenseeNameChange" << QVariant("Y");
        QTest::newRow("HD: the older 50-field layout leaves the 50th out")
            << "HD" << Line("HD", {{50, "Y"}}, 50) + "\r\n"
            << 1 << 0 << "LicenseeNameChange" << QVariant();
        QTest::newRow("HD: dates are kept as the text of the file")
            << "HD" << Line("HD") + "\r\n"
            << 1 << 0 << "GrantDate" << QVariant("01/23/2023");
    }

    void lineRules()
    {
        QFETCH(QString, table);
        QFETCH(QByteArray, content);
        QFETCH(int, loaded);
        QFETCH(int, skipped);
        QFETCH(QString, column);
        QFETCH(QVariant, expected);

        // A build whose AM or EN loads nothing fails: both get one licence of their own before the lines
        // under test, which is left out of what is checked.
        const QByteArray amFill = CrLf({AmLine(kFiller, "K9FILL", "E")});
        const QByteArray enFill = CrLf({EnLine(kFiller, "K9FILL", "FILL", "1 ST", "X", "CT", "06001")});
        const bool filled = table != QLatin1String("HD");
        const CBuildOutcome outcome = Build(amFill + (table == QLatin1String("AM") ? content : QByteArray()),
                                            enFill + (table == QLatin1String("EN") ? content : QByteArray()),
                                            table == QLatin1String("HD") ? content : QByteArray());
        QCOMPARE(outcome.state, CFccDbBuild::Succeeded);
        const CUlsStageStats& stats = outcome.stats[StageOf(table)];
        QCOMPARE(stats.loaded, qint64(loaded + (filled ? 1 : 0)));
        QCOMPARE(stats.skipped, qint64(skipped));
        CDatabase db(Db(), CDatabase::ReadOnly);
        QCOMPARE(Count(db, table), qint64(loaded + (filled ? 1 : 0)));
        if (!column.isEmpty()) {
            const QVariant value = Value(db, QStringLiteral("SELECT \"%1\" FROM %2 WHERE coalesce("
                                                            "UniqueSystemIdentifier, 0) <> %3 ORDER BY rowid")
                                                 .arg(column, table)
                                                 .arg(kFiller));
            QCOMPARE(value, expected);
        }
    }

    void firstOfSeveralRowsWithOneIdentifierIsKept()
    {
        const QByteArray am = CrLf({AmLine(7, "K1AA", "T"), AmLine(7, "K1AA", "E"), AmLine(8, "K1AB", "G")});
        const QByteArray en = CrLf({EnLine(7, "K1AA", "FIRST", "1 A ST", "X", "CT", "06001"),
                                    EnLine(7, "K1AA", "SECOND", "2 B ST", "X", "CT", "06001")});
        const QByteArray hd = CrLf({HdLine(7, "K1AA", "E"), HdLine(7, "K1AA", "A")});
        const CBuildOutcome outcome = Build(am, en, hd);
        QCOMPARE(outcome.state, CFccDbBuild::Succeeded);
        QCOMPARE(outcome.stats[0].loaded, qint64(2));
        QCOMPARE(outcome.stats[0].skipped, qint64(1));
        QCOMPARE(outcome.stats[1].loaded, qint64(2)); // EN may hold several rows of one licence
        QCOMPARE(outcome.stats[2].loaded, qint64(1));
        CDatabase db(Db(), CDatabase::ReadOnly);
        QCOMPARE(Value(db, "SELECT OperatorClass FROM AM WHERE UniqueSystemIdentifier=7"), QVariant("T"));
        QCOMPARE(Value(db, "SELECT LicenseStatus FROM HD WHERE UniqueSystemIdentifier=7"), QVariant("E"));
    }

    void lastLineWithoutLineFeedIsLoaded()
    {
        const QByteArray am = CrLf({AmLine(1, "K1AA", "T")}) + AmLine(2, "K1AB", "E");
        const CBuildOutcome outcome = Build(am, {}, {});
        QCOMPARE(outcome.stats[0].loaded, qint64(2));
        QCOMPARE(outcome.stats[0].skipped, qint64(0));
        QVERIFY(outcome.stats[0].sawLineFeed);
        CDatabase db(Db(), CDatabase::ReadOnly);
        QCOMPARE(Value(db, "SELECT count(*) FROM AM WHERE CallSign='K1AB'"), QVariant(qlonglong(1)));
    }

    void blankLinesAreNeitherLoadedNorCounted()
    {
        const QByteArray am =
            "\r\n" + CrLf({AmLine(1, "K1AA", "T")}) + "\n\r\n" + CrLf({AmLine(2, "K1AB", "E")});
        const CBuildOutcome outcome = Build(am, {}, {});
        QCOMPARE(outcome.stats[0].loaded, qint64(2));
        QCOMPARE(outcome.stats[0].skipped, qint64(0));
    }

    void carriageReturnsInsideAFieldSplitTheLine()
    {
        // "C/O SMITH\r\r\nSUITE 2": the first part ends in the unterminated text, the second starts with a
        // record type that does not fit.
        const QByteArray en = Line("EN", {{21, "C/O SMITH\r\r\nSUITE 2"}}) + "\r\n" +
                              Line("EN", {{2, "1002"}, {5, "K1ABD"}}) + "\r\n";
        const CBuildOutcome outcome = Build({}, en, {});
        QCOMPARE(outcome.stats[1].loaded, qint64(2));
        QCOMPARE(outcome.stats[1].skipped, qint64(1));
        CDatabase db(Db(), CDatabase::ReadOnly);
        QCOMPARE(Value(db, "SELECT ZipCode FROM EN WHERE CallSign='K1ABC'"), QVariant("06101"));
        QCOMPARE(Value(db, "SELECT AttentionLine FROM EN WHERE CallSign='K1ABC'"), QVariant());
    }

    void linesAcrossReadBlocksLoadWhole()
    {
        // Far more than one read block, with lines of every length so that some cross each boundary.
        QByteArray en;
        const int rows = 12000;
        for (int i = 1; i <= rows; ++i) {
            const QByteArray street = QByteArray::number(i) + ' ' + QByteArray(i % 40, 'X') + " ST";
            en += Line("EN", {{2, QByteArray::number(i)}, {5, "W" + QByteArray::number(i)}, {16, street}}) +
                  "\r\n";
        }
        const CBuildOutcome outcome = Build({}, en, {});
        QCOMPARE(outcome.stats[1].loaded, qint64(rows));
        QCOMPARE(outcome.stats[1].skipped, qint64(0));
        CDatabase db(Db(), CDatabase::ReadOnly);
        QCOMPARE(Value(db, "SELECT count(*) FROM EN WHERE StreetAddress = UniqueSystemIdentifier || ' ' || "
                           "substr('XXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX', 1, UniqueSystemIdentifier % "
                           "40) || ' ST'"),
                 QVariant(qlonglong(rows)));
    }

    void anOverlongLineIsSkippedWithoutHoldingIt()
    {
        const QByteArray am =
            CrLf({AmLine(1, "K1AA", "T"), "AM|2|||K1AB|" + QByteArray(300 * 1024, 'Z') + "|",
                  AmLine(3, "K1AC", "E")});
        const CBuildOutcome outcome = Build(am, {}, {});
        QCOMPARE(outcome.stats[0].loaded, qint64(2));
        QCOMPARE(outcome.stats[0].skipped, qint64(1));
    }

    void progressMovesOnlyWhenThePercentageChanges()
    {
        QStringList texts;
        std::mutex lock;
        CFccDbBuild::CObserver observer;
        observer.progress = [&](const QString& text, int) {
            std::lock_guard guard(lock);
            texts << text;
        };
        QList<QByteArray> am, en, hd;
        for (int i = 1; i <= 3000; ++i) {
            am << AmLine(i, QStringLiteral("K%1").arg(i), "E");
            en << EnLine(i, QStringLiteral("K%1").arg(i), "N", "1 ST", "C", "CT", "06001");
            hd << HdLine(i, QStringLiteral("K%1").arg(i));
        }
        const CBuildOutcome outcome = Build(CrLf(am), CrLf(en), CrLf(hd), observer);
        QCOMPARE(outcome.message, QStringLiteral("Compile Complete"));
        int previousStage = 0, previousPercent = -1;
        QSet<QString> seen;
        for (const QString& text : texts) {
            static const QRegularExpression form(
                QStringLiteral("^(AM|EN|HD) \\(([123]) of 3\\) Build Current position (\\d+)%$"));
            const QRegularExpressionMatch m = form.match(text);
            QVERIFY2(m.hasMatch(), qPrintable(text));
            const int stage = m.captured(2).toInt(), percent = m.captured(3).toInt();
            QVERIFY2(!seen.contains(text), qPrintable(text + " shown twice"));
            seen.insert(text);
            if (stage != previousStage) {
                QCOMPARE(stage, previousStage + 1);
                QCOMPARE(percent, 0);
            } else {
                QVERIFY(percent > previousPercent && percent <= 99);
            }
            previousStage = stage;
            previousPercent = percent;
        }
        QCOMPARE(previousStage, 3);
        QVERIFY2(texts.size() > 3 * 50, qPrintable(QString::number(texts.size())));
    }

    void aSecondBuildStartsFromEmptyTables()
    {
        Build(CrLf({AmLine(1, "K1AA", "T")}), CrLf({EnLine(1, "K1AA", "OLD", "1 ST", "C", "CT", "1")}), {});
        QVERIFY(m_fcc.LookUp(Db(), "K1AA").found); // the look-ups now hold the file open
        const CBuildOutcome outcome = Build(CrLf({AmLine(2, "K1AB", "E")}),
                                            CrLf({EnLine(2, "K1AB", "NEW", "1 ST", "C", "CT", "1")}), {});
        QCOMPARE(outcome.state, CFccDbBuild::Succeeded);
        QVERIFY(!m_fcc.LookUp(Db(), "K1AA").found);
        QCOMPARE(m_fcc.LookUp(Db(), "K1AB").name, QStringLiteral("NEW"));
        QVERIFY(LeftoverFiles().isEmpty());
    }

    void aMissingInputFileStopsTheBuildBeforeItStarts_data()
    {
        QTest::addColumn<QString>("missing");
        QTest::newRow("AM") << "AM.dat";
        QTest::newRow("EN") << "EN.dat";
        QTest::newRow("HD") << "HD.dat";
    }
    void aMissingInputFileStopsTheBuildBeforeItStarts()
    {
        QFETCH(QString, missing);
        Build(CrLf({AmLine(1, "K1AA", "T")}), CrLf({EnLine(1, "K1AA", "OLD", "1 ST", "C", "CT", "1")}), {});
        QVERIFY(QFile::remove(m_scratch->File(missing)));
        CMThreadedJobQ queue;
        CFccDbBuild build(queue);
        try {
            build.Start(m_scratch->Path(), Db());
            QFAIL("the build started without its files");
        } catch (const CFileException& e) {
            QCOMPARE(e.Message(),
                     QStringLiteral("Couldn't open the %1 file:\nPlease make sure it is in selected "
                                    "directory, and try again.")
                         .arg(missing));
        }
        QCOMPARE(m_fcc.LookUp(Db(), "K1AA").name, QStringLiteral("OLD"));
        QVERIFY(LeftoverFiles().isEmpty());
    }

    void anOutputFolderThatDoesNotExistIsReported()
    {
        WriteUlsFiles(m_scratch->Path(), {}, {}, {});
        CMThreadedJobQ queue;
        CFccDbBuild build(queue);
        QVERIFY_THROWS_EXCEPTION(CFileException,
                                 build.Start(m_scratch->Path(), m_scratch->File("no/such/FCC97.db")));
        QCOMPARE(build.GetState(), CFccDbBuild::Idle);
    }

    void aBuildCancelledHalfWayLeavesTheOldDatabase()
    {
        Build(CrLf({AmLine(1, "K1OLD", "T")}), CrLf({EnLine(1, "K1OLD", "OLD", "1 ST", "C", "CT", "1")}), {});
        const QByteArray before = [&] {
            QFile f(Db());
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();

        QList<QByteArray> am, en;
        for (int i = 1; i <= 20000; ++i) {
            am << AmLine(i, QStringLiteral("W%1").arg(i), "E");
            en << EnLine(i, QStringLiteral("W%1").arg(i), "NEW", "1 ST", "C", "CT", "1");
        }
        WriteUlsFiles(m_scratch->Path(), CrLf(am), CrLf(en), CrLf({HdLine(1, "W1")}));
        CMThreadedJobQ queue;
        CFccDbBuild* self = nullptr;
        CFccDbBuild::CObserver observer;
        std::atomic<bool> sawEn{false};
        observer.progress = [&](const QString& text, int percent) {
            // Half-way through EN, after AM is loaded into the new file.
            if (text.startsWith(QLatin1String("EN")) && percent >= 50) {
                sawEn = true;
                self->Cancel();
            }
        };
        CFccDbBuild build(queue, observer);
        self = &build;
        build.Start(m_scratch->Path(), Db());
        QVERIFY(build.Wait(std::chrono::minutes(1)));
        QVERIFY(sawEn);
        QCOMPARE(build.GetState(), CFccDbBuild::Cancelled);
        QCOMPARE(build.GetMessage(), QStringLiteral("Compile Cancelled"));
        QFile f(Db());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll() == before);
        QCOMPARE(m_fcc.LookUp(Db(), "K1OLD").name, QStringLiteral("OLD"));
        QVERIFY(LeftoverFiles().isEmpty());
    }

    void aStageThatFailsLeavesTheOldDatabase()
    {
        Build(CrLf({AmLine(1, "K1OLD", "T")}), CrLf({EnLine(1, "K1OLD", "OLD", "1 ST", "C", "CT", "1")}), {});
        WriteUlsFiles(m_scratch->Path(), CrLf({AmLine(2, "W2NEW", "E")}),
                      CrLf({EnLine(2, "W2NEW", "NEW", "1 ST", "C", "CT", "1")}), CrLf({HdLine(2, "W2NEW")}));
        // HD.dat goes missing while the build runs.
        CFccDbBuild::CObserver observer;
        const QString hd = m_scratch->File("HD.dat");
        observer.progress = [hd](const QString& text, int) {
            if (text.startsWith(QLatin1String("EN")))
                QFile::remove(hd);
        };
        const CBuildOutcome outcome = BuildFccDb(m_scratch->Path(), Db(), observer);
        QCOMPARE(outcome.state, CFccDbBuild::Failed);
        QVERIFY2(outcome.message.contains(QLatin1String("HD.dat")), qPrintable(outcome.message));
        QCOMPARE(m_fcc.LookUp(Db(), "K1OLD").name, QStringLiteral("OLD"));
        QVERIFY(!m_fcc.LookUp(Db(), "W2NEW").found);
        QVERIFY(LeftoverFiles().isEmpty());
    }

    void aKilledBuildsTemporaryFileIsRemovedByTheNextBuild()
    {
        const auto makeTemp = [&](const QString& name, int ageSeconds) {
            const QString path = m_scratch->File(name);
            WriteFile(path, "left over");
            const QDateTime when = QDateTime::currentDateTime().addSecs(-ageSeconds);
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(when, QFileDevice::FileModificationTime));
        };
        makeTemp(".FCC97.db.lw-aaaaaa.part", 3600); // a killed build's
        makeTemp(".FCC97.db.lw-bbbbbb.part", 0);    // just created by a build starting elsewhere
        makeTemp(".FCC97.db.lw-cccccc.part", 3600); // a build still running in another process
        makeTemp(".FCC97.db.aaaaaa", 3600);         // unmarked: not provably a build's, left alone
        makeTemp(".FCC97.db.keep", 3600);           // not a name a build gives
        const int fd =
            ::open(QFile::encodeName(m_scratch->File(".FCC97.db.lw-cccccc.part")).constData(), O_RDONLY);
        QVERIFY(fd >= 0);
        QCOMPARE(::flock(fd, LOCK_EX), 0);
        QCOMPARE(Build({}, {}, {}).state, CFccDbBuild::Succeeded);
        ::close(fd);
        QCOMPARE(LeftoverFiles(), (QStringList{".FCC97.db.aaaaaa", ".FCC97.db.keep",
                                               ".FCC97.db.lw-bbbbbb.part", ".FCC97.db.lw-cccccc.part"}));
    }

    void theNewDatabaseKeepsTheOldOnesPermissions()
    {
        Build({}, {}, {});
        QVERIFY(QFile::setPermissions(Db(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                                QFile::WriteGroup));
        Build({}, {}, {});
        const QFile::Permissions permissions = QFile::permissions(Db());
        QVERIFY(permissions.testFlag(QFile::WriteGroup));
        QVERIFY(!permissions.testFlag(QFile::ReadOther));
    }

    void theDatabaseHasTheTablesColumnsAndIndex()
    {
        Build({}, {}, {});
        CDatabase db(Db(), CDatabase::ReadOnly);
        for (int t = 0; t < FccSchema::kTableCount; ++t) {
            const FccSchema::CTable& table = *FccSchema::Tables()[t];
            SQLite::Statement info(db.Handle(),
                                   QStringLiteral("PRAGMA table_info(%1)").arg(table.name).toStdString());
            int i = 0;
            while (info.executeStep()) {
                QCOMPARE(QString::fromUtf8(info.getColumn(1).getText()),
                         QString::fromLatin1(table.columns[i].name));
                const bool key = info.getColumn(5).getInt() != 0;
                QCOMPARE(key, table.uniqueIdentifier && i == 1);
                ++i;
            }
            QCOMPARE(i, table.columnCount);
        }
        QCOMPARE(Value(db, "SELECT sql FROM sqlite_master WHERE type='index' AND name='CallSign'"),
                 QVariant(FccSchema::CreateIndexSql(FccSchema::kEN)));
        QCOMPARE(Value(db, "SELECT sql FROM sqlite_master WHERE type='index' AND name='HDCallSign'"),
                 QVariant(FccSchema::CreateIndexSql(FccSchema::kHD)));
        QCOMPARE(db.GetUserVersion(), FccSchema::kSchemaVersion);
    }
};

QTEST_GUILESS_MAIN(TestUlsCompiler)
#include "tst_ulscompiler.moc"
