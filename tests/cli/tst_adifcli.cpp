// logwarden-cli adif-export and adif-import: days in the machine's time zone, counts, refusals.
#include "core/db/Database.h"
#include "core/log/CheckinQuery.h"
#include "core/log/LogFilter.h"
#include "core/log/LogSchema.h"
#include "support/TestSupport.h"

#include <QtTest>
#include <SQLiteCpp/Database.h>

using namespace TestSupport;

class TestAdifCli : public QObject
{
    Q_OBJECT

    std::unique_ptr<CScratch> m_scratch;
    QString m_log;

    CCliRun Cli(const QStringList& args)
    {
        // The clocks of New York, the settings and data of the test's own.
        return RunCli(args,
                      {{QStringLiteral("TZ"), QStringLiteral("America/New_York")},
                       {QStringLiteral("XDG_CONFIG_HOME"), m_scratch->File(QStringLiteral("config"))},
                       {QStringLiteral("LOGWARDEN_DATA_DIR"), m_scratch->File(QStringLiteral("data"))}});
    }
    QString Arg(const QString& a) const
    {
        if (a == QLatin1String("LOG"))
            return m_log;
        if (a.startsWith(QLatin1String("FILE:")))
            return m_scratch->File(a.mid(5));
        return a;
    }
    QStringList Args(const QStringList& args) const
    {
        QStringList out;
        for (const QString& a : args)
            out << Arg(a);
        return out;
    }
    std::vector<CCheckinRecord> LogOf(const QString& path)
    {
        CDatabase db(path, CDatabase::ReadOnly);
        std::vector<CCheckinRecord> all;
        CheckinQuery::ForEach(db, {}, LogSort::kId, [&](const CCheckinRecord& r) { all.push_back(r); });
        return all;
    }

private Q_SLOTS:
    void init()
    {
        m_scratch = std::make_unique<CScratch>();
        m_log = m_scratch->File(QStringLiteral("Logwarden-97.db"));
        CDatabase db(m_log);
        LogSchema::Prepare(db);
        // Evenings in New York: in UTC the next day.
        AddCheckin(db, {"W4ABC", QDateTime(QDate(2024, 1, 15), QTime(21, 30)), "Jane", "", true});
        AddCheckin(db, {"K1XYZ", QDateTime(QDate(2024, 1, 16), QTime(19, 5)), QString::fromUtf8("José")});
        AddCheckin(db, {"N0CALL", QDateTime(QDate(2024, 1, 17), QTime(23, 59))});
        QDir().mkpath(m_scratch->File(QStringLiteral("config/Logwarden")));
        WriteFile(m_scratch->File(QStringLiteral("config/Logwarden/Logwarden.ini")),
                  "[Club]\nStationCall=w4net\nFrequency=146.61\n[UserSetting]\nMyGrid=EM73\n");
    }
    void cleanup() { m_scratch.reset(); }

    void exportScopes_data()
    {
        QTest::addColumn<QStringList>("scope");
        QTest::addColumn<QStringList>("qsoDates");
        QTest::newRow("day") << QStringList{"--day", "2024-01-15"} << QStringList{"20240116"};
        QTest::newRow("range") << QStringList{"--from", "2024-01-16", "--to", "2024-01-17"}
                               << QStringList{"20240117", "20240118"};
        QTest::newRow("all") << QStringList{"--all"} << QStringList{"20240116", "20240117", "20240118"};
        QTest::newRow("empty day") << QStringList{"--day", "2024-01-18"} << QStringList{};
    }
    void exportScopes()
    {
        QFETCH(QStringList, scope);
        QFETCH(QStringList, qsoDates);
        const CCliRun run =
            Cli(QStringList{"adif-export", "--log", m_log} + scope + QStringList{"--out", "-"});
        QCOMPARE(run.exitCode, 0);
        QStringList dates;
        for (const QString& part : run.out.split(QStringLiteral("<QSO_DATE:8>")).mid(1))
            dates << part.left(8);
        QCOMPARE(dates, qsoDates);
        QVERIFY(!run.out.startsWith(QLatin1Char('<')));
        if (!qsoDates.isEmpty()) {
            QVERIFY(run.out.contains(QLatin1String("<STATION_CALLSIGN:5>W4NET")));
            QVERIFY(run.out.contains(QLatin1String("<MY_GRIDSQUARE:4>EM73")));
            QVERIFY(run.out.contains(QLatin1String("<BAND:2>2m")));
        }
    }

    // A file of another logger: its UTC times land on the right local day, and a second import adds
    // nothing.
    void importOtherLoggersFile()
    {
        const QString file = m_scratch->File(QStringLiteral("other.ADI"));
        WriteFile(file, "\xEF\xBB\xBF"
                        "Exported by another logger\r\n<adif_ver:5>3.1.0\r\n<eoh>\r\n"
                        "<call:4>K2AA <qso_date:8>20240120 <time_on:4>0130 <name:4>Zoë <eor>\r\n"
                        "<call:4>K2AB <qso_date:8>20240120 <time_on:6>013000 <eor>\r\n"
                        "<qso_date:8>20240120 <time_on:4>0130 <eor>\r\n"
                        "<call:4>K2AC <qso_date:8>2024012 <eor>\r\n"
                        "<call:5>w4abc <qso_date:8>20240116 <time_on:4>0231 <eor>\r\n");
        const QString fresh = m_scratch->File(QStringLiteral("fresh.db"));
        CCliRun run = Cli({"adif-import", "--log", fresh, "--in", file, "--verbose"});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("skipped record 3: no CALL\n"
                                         "skipped record 4 (K2AC): QSO_DATE \"2024012\" is not a date\n"
                                         "3 added, 0 already in the log, 2 skipped\n"));
        const std::vector<CCheckinRecord> log = LogOf(fresh);
        QCOMPARE(log.size(), size_t(3));
        QCOMPARE(log[0].date, CDateTime(QDate(2024, 1, 19), QTime(20, 30)));
        QCOMPARE(log[0].name, QString::fromUtf8("Zoë"));
        // Into the log that has W4ABC at 21:30 local already.
        run = Cli({"adif-import", "--log", m_log, "--in", file});
        QCOMPARE(run.out, QStringLiteral("2 added, 1 already in the log, 2 skipped\n"));
        run = Cli({"adif-import", "--log", m_log, "--in", file});
        QCOMPARE(run.out, QStringLiteral("0 added, 3 already in the log, 2 skipped\n"));
        QCOMPARE(LogOf(m_log).size(), size_t(5));
    }

    void roundTripThroughFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("ADI") << "net.adi";
        QTest::newRow("ADX") << "net.adx";
    }
    void roundTripThroughFiles()
    {
        QFETCH(QString, name);
        const QString file = m_scratch->File(name);
        CCliRun run = Cli({"adif-export", "--log", m_log, "--all", "--out", file});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.contains(QLatin1String("3 check-ins written")), qPrintable(run.err));
        QCOMPARE(ReadFile(file).startsWith("<?xml"), name.endsWith(QLatin1String(".adx")));
        const QString copy = m_scratch->File(QStringLiteral("copy.db"));
        run = Cli({"adif-import", "--log", copy, "--in", file, "--dry-run"});
        QCOMPARE(run.exitCode, 1); // a dry run makes no log
        QVERIFY(!QFile::exists(copy));
        run = Cli({"adif-import", "--log", copy, "--in", file});
        QCOMPARE(run.out, QStringLiteral("3 added, 0 already in the log, 0 skipped\n"));
        const std::vector<CCheckinRecord> a = LogOf(m_log), b = LogOf(copy);
        QCOMPARE(b.size(), a.size());
        for (size_t i = 0; i < a.size(); ++i) {
            QCOMPARE(b[i].callSign, a[i].callSign);
            QCOMPARE(b[i].name, a[i].name);
            QCOMPARE(b[i].date, a[i].date);
            QCOMPARE(b[i].acknowledged, a[i].acknowledged);
        }
        run = Cli({"adif-import", "--log", copy, "--in", file, "--dry-run"});
        QCOMPARE(run.out,
                 QStringLiteral("0 added, 3 already in the log, 0 skipped (dry run: nothing written)\n"));
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("export without scope")
            << QStringList{"adif-export", "--log", "LOG", "--out", "-"} << 2 << "give one of --day";
        QTest::newRow("export with two scopes")
            << QStringList{"adif-export", "--log", "LOG", "--all", "--day", "2024-01-15", "--out", "-"} << 2
            << "give one of --day";
        QTest::newRow("from without to")
            << QStringList{"adif-export", "--log", "LOG", "--from", "2024-01-15", "--out", "-"} << 2
            << "--from and --to go together";
        QTest::newRow("range backwards")
            << QStringList{"adif-export", "--log",      "LOG",   "--from", "2024-01-15",
                           "--to",        "2024-01-14", "--out", "-"}
            << 2 << "--to is before --from";
        QTest::newRow("bad day") << QStringList{"adif-export", "--log", "LOG", "--day",
                                                "2024-02-30",  "--out", "-"}
                                 << 2 << "'2024-02-30' is not a day";
        QTest::newRow("export over the log")
            << QStringList{"adif-export", "--log", "LOG", "--all", "--out", "LOG"} << 1 << "";
        QTest::newRow("import without file")
            << QStringList{"adif-import", "--log", "LOG"} << 2 << "--in FILE is required";
        QTest::newRow("import of a missing file")
            << QStringList{"adif-import", "--log", "LOG", "--in", "FILE:none.adi"} << 1 << "cannot open";
        QTest::newRow("import into another database")
            << QStringList{"adif-import", "--log", "FILE:other.db", "--in", "FILE:one.adi"} << 1
            << "holds no check-in log";
        QTest::newRow("unknown option") << QStringList{"adif-import", "--log", "LOG", "--in", "x", "--force"}
                                        << 2 << "unknown option --force";
    }
    void refusals()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, message);
        {
            SQLite::Database other(m_scratch->File(QStringLiteral("other.db")).toStdString(),
                                   SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
            other.exec("CREATE TABLE AM (x)");
        }
        WriteFile(m_scratch->File(QStringLiteral("one.adi")), "<CALL:4>W1AW<QSO_DATE:8>20240101<EOR>");
        const QByteArray logBefore = ReadFile(m_log);
        const CCliRun run = Cli(Args(args));
        QCOMPARE(run.exitCode, code);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(ReadFile(m_log), logBefore);
        CDatabase other(m_scratch->File(QStringLiteral("other.db")), CDatabase::ReadOnly);
        QVERIFY(!other.TableExists(QString::fromLatin1(LogSchema::kTable)));
    }
};

QTEST_GUILESS_MAIN(TestAdifCli)
#include "tst_adifcli.moc"
