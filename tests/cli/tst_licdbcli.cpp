// logwarden-cli uls-compile and lookup, run as the user runs them.
#include "support/TestSupport.h"
#include "support/UlsFiles.h"

#include <QtTest>

using namespace TestSupport;

namespace {

// Without an explicit database, the command works in the data folder.
CCliRun Cli(const QStringList& args, const QString& dataDir = {})
{
    if (dataDir.isEmpty())
        return RunCli(args);
    return RunCli(args, {{QStringLiteral("LOGWARDEN_DATA_DIR"), dataDir}});
}

} // namespace

class TestLicdbCli : public QObject
{
    Q_OBJECT

    CScratch m_scratch;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(CliPath()), qPrintable(CliPath()));
        WriteUlsFiles(
            m_scratch.Path(),
            CrLf({AmLine(1, "K1ABC", "E"), AmLine(2, "W9XYZ", "T"), "AM|3|short", AmLine(1, "K1DUP", "G")}),
            CrLf({EnLine(1, "K1ABC", QStringLiteral("M\u00DCLLER, ANNA"), "12 MAIN ST", "HARTFORD", "CT",
                         "06101"),
                  EnLine(2, "W9XYZ", "DOE, JOHN", "", "SPRINGFIELD", "IL", "627011234", "55")}),
            CrLf({HdLine(1, "K1ABC"), HdLine(2, "W9XYZ")}) + HdLine(3, "K1LAST"));
    }

    void compileReportsEachTable()
    {
        const QString db = m_scratch.File(QStringLiteral("out/FCC97.db"));
        QVERIFY(QDir().mkpath(m_scratch.File(QStringLiteral("out"))));
        const CCliRun run = Cli({QStringLiteral("uls-compile"), QStringLiteral("--input"), m_scratch.Path(),
                                 QStringLiteral("--output"), db});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral(
                              "AM: 2 loaded, 2 skipped\nEN: 2 loaded, 0 skipped\nHD: 3 loaded, 0 skipped\n"));
        QVERIFY(QFile::exists(db));
    }

    void compileListsSkippedLinesWhenVerbose()
    {
        const CCliRun run = Cli({QStringLiteral("uls-compile"), QStringLiteral("--input"),
                                 m_scratch.File(QStringLiteral("AM.dat")), QStringLiteral("--output"),
                                 m_scratch.File(QStringLiteral("v.db")), QStringLiteral("--verbose")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.contains(QLatin1String("AM.dat line 3: shorter than 19 characters")),
                 qPrintable(run.err));
        QVERIFY2(run.err.contains(QLatin1String("AM.dat line 4: UniqueSystemIdentifier is already loaded")),
                 qPrintable(run.err));
        // A last line without a line feed is loaded like the others.
        QVERIFY2(!run.err.contains(QLatin1String("HD.dat")), qPrintable(run.err));
    }

    void compileUsesTheDataFolderByDefault()
    {
        CScratch data;
        for (const char* name : {"AM.dat", "EN.dat", "HD.dat"})
            QVERIFY(QFile::copy(m_scratch.File(QLatin1String(name)), data.File(QLatin1String(name))));
        const CCliRun run = Cli({QStringLiteral("uls-compile")}, data.Path());
        QCOMPARE(run.exitCode, 0);
        QVERIFY(QFile::exists(data.File(QStringLiteral("FCC97.db"))));
        const CCliRun lookup = Cli({QStringLiteral("lookup"), QStringLiteral("K1ABC")}, data.Path());
        QCOMPARE(lookup.exitCode, 0);
    }

    void compileWithoutItsFilesChangesNothing()
    {
        CScratch empty;
        const QString db = m_scratch.File(QStringLiteral("keep.db"));
        WriteFile(db, "not touched");
        const CCliRun run = Cli({QStringLiteral("uls-compile"), QStringLiteral("--input"), empty.Path(),
                                 QStringLiteral("--output"), db});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QLatin1String("Couldn't open the AM.dat file:")), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
        QFile f(db);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("not touched"));
    }

    void lookupPrintsWhatF7Fills_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("expected");
        QTest::newRow("street") << "K1ABC"
                                << QStringLiteral("Call: K1ABC\nName: M\u00DCLLER, ANNA\nAddr1: 12 MAIN ST\n"
                                                  "Addr2: HARTFORD, CT 06101\nClass: E\nStatus: Active\n");
        QTest::newRow("P.O. Box, lower case typed")
            << "w9xyz"
            << "Call: W9XYZ\nName: DOE, JOHN\nAddr1: P.O. Box 55\n"
               "Addr2: SPRINGFIELD, IL 62701-1234\nClass: T\nStatus: Active\n";
    }
    void lookupPrintsWhatF7Fills()
    {
        QFETCH(QString, call);
        QFETCH(QString, expected);
        const CCliRun run = Cli({QStringLiteral("lookup"), call, QStringLiteral("--fcc"),
                                 m_scratch.File(QStringLiteral("out/FCC97.db"))});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, expected);
    }

    void lookupOfAnUnknownCallSign()
    {
        const CCliRun run = Cli({QStringLiteral("lookup"), QStringLiteral("n0one"), QStringLiteral("--fcc"),
                                 m_scratch.File(QStringLiteral("out/FCC97.db"))});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.out, QStringLiteral("Not found: N0ONE\n"));
    }

    void lookupWithoutDatabase()
    {
        const CCliRun run = Cli({QStringLiteral("lookup"), QStringLiteral("K1ABC"), QStringLiteral("--fcc"),
                                 m_scratch.File(QStringLiteral("missing.db"))});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QLatin1String("does not exist")), qPrintable(run.err));
    }

    void badArguments_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("lookup without call sign") << QStringList{QStringLiteral("lookup")};
        QTest::newRow("lookup with two")
            << QStringList{QStringLiteral("lookup"), QStringLiteral("A"), QStringLiteral("B")};
        QTest::newRow("compile with a stray word")
            << QStringList{QStringLiteral("uls-compile"), QStringLiteral("now")};
        QTest::newRow("compile option without value")
            << QStringList{QStringLiteral("uls-compile"), QStringLiteral("--input")};
    }
    void badArguments()
    {
        QFETCH(QStringList, args);
        const CCliRun run = Cli(args);
        QCOMPARE(run.exitCode, 2);
        QVERIFY(!run.err.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestLicdbCli)
#include "tst_licdbcli.moc"
