// logwarden-cli export: the same bytes as the program's export, and clear refusals.
#include "core/db/Database.h"
#include "core/log/LogExport.h"
#include "core/log/LogSchema.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QProcess>
#include <QtTest>

using namespace TestSupport;

namespace {

CCliRun Cli(const QStringList& args)
{
    return RunCli(QStringList{QStringLiteral("export")} + args);
}

} // namespace

class TestCliExport : public QObject
{
    Q_OBJECT

    std::unique_ptr<CScratch> m_scratch;
    QString m_log;

private Q_SLOTS:
    void init()
    {
        m_scratch = std::make_unique<CScratch>();
        m_log = m_scratch->File(QStringLiteral("Logwarden-97.db"));
        CDatabase db(m_log);
        LogSchema::Prepare(db);
        const QDate day(2024, 3, 7);
        AddCheckin(db, {"W4ABC", QDateTime(day, QTime(19, 1)), "Jane Doe", "a|b", true});
        AddCheckin(db, {"K1XYZ", QDateTime(day.addDays(-7), QTime(19, 2)), QString::fromUtf8("José")});
        AddCheckin(db, {"N0CALL", QDateTime(day, QTime(23, 59)), "", "late\ncomment"});
    }
    void cleanup() { m_scratch.reset(); }

    void sameBytesAsTheProgram_data()
    {
        QTest::addColumn<QStringList>("scope");
        QTest::addColumn<QString>("day");
        QTest::newRow("day") << QStringList{"--day", "2024-03-07"} << "2024-03-07";
        QTest::newRow("day with =") << QStringList{"--day=2024-02-29"} << "2024-02-29";
        QTest::newRow("empty day") << QStringList{"--day", "2024-03-08"} << "2024-03-08";
        QTest::newRow("all") << QStringList{"--all"} << "";
    }
    void sameBytesAsTheProgram()
    {
        QFETCH(QStringList, scope);
        QFETCH(QString, day);
        const QString ours = m_scratch->File(QStringLiteral("ours.txt"));
        {
            CDatabase db(m_log);
            std::optional<QDate> d;
            if (!day.isEmpty())
                d = QDate::fromString(day, Qt::ISODate);
            LogExport::WriteFile(db, d, ours);
        }
        const QString out = m_scratch->File(QStringLiteral("cli.txt"));
        const CCliRun run = Cli(QStringList{"--log", m_log} + scope + QStringList{"--out", out});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(ReadFile(out), ReadFile(ours));
        // "-" writes to standard output.
        const CCliRun toStdout = Cli(QStringList{"--log", m_log} + scope + QStringList{"--out", "-"});
        QCOMPARE(toStdout.exitCode, 0);
        QCOMPARE(toStdout.rawOut, ReadFile(ours));
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("no scope") << QStringList{"--log", "LOG", "--out", "OUT"} << 2 << "either --day";
        QTest::newRow("both scopes") << QStringList{"--log",      "LOG",   "--all", "--day",
                                                    "2024-03-07", "--out", "OUT"}
                                     << 2 << "either --day";
        QTest::newRow("bad day") << QStringList{"--log", "LOG", "--day", "2024-02-30", "--out", "OUT"} << 2
                                 << "'2024-02-30' is not a day";
        QTest::newRow("no log") << QStringList{"--all", "--out", "OUT"} << 2 << "--log FILE is required";
        QTest::newRow("no out") << QStringList{"--log", "LOG", "--all"} << 2 << "--out FILE is required";
        QTest::newRow("unknown option")
            << QStringList{"--log", "LOG", "--all", "--out", "OUT", "--zip"} << 2 << "unknown option --zip";
        QTest::newRow("missing log") << QStringList{"--log", "MISSING", "--all", "--out", "OUT"} << 1
                                     << "does not exist";
        QTest::newRow("not a log") << QStringList{"--log", "NOTALOG", "--all", "--out", "OUT"} << 1
                                   << "not a Logwarden";
        QTest::newRow("folder missing")
            << QStringList{"--log", "LOG", "--all", "--out", "NOWHERE"} << 1 << "Cannot";
    }
    void refusals()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, message);
        {
            QFile text(m_scratch->File(QStringLiteral("text.db")));
            QVERIFY(text.open(QIODevice::WriteOnly));
            text.write("just some text, not a database\n");
        }
        const QString out = m_scratch->File(QStringLiteral("out.txt"));
        for (QString& a : args) {
            if (a == QLatin1String("LOG"))
                a = m_log;
            else if (a == QLatin1String("MISSING"))
                a = m_scratch->File(QStringLiteral("missing.db"));
            else if (a == QLatin1String("NOTALOG"))
                a = m_scratch->File(QStringLiteral("text.db"));
            else if (a == QLatin1String("OUT"))
                a = out;
            else if (a == QLatin1String("NOWHERE"))
                a = m_scratch->File(QStringLiteral("no/folder/out.txt"));
        }
        const CCliRun run = Cli(args);
        QCOMPARE(run.exitCode, code);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(!QFile::exists(out));
        // The log is never created by an export.
        QVERIFY(!QFile::exists(m_scratch->File(QStringLiteral("missing.db"))));
    }
};

QTEST_GUILESS_MAIN(TestCliExport)
#include "tst_cliexport.moc"
