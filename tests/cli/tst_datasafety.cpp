// What a slip or a hostile file can do to the user's data through logwarden-cli: never write over the log
// or another database, never replace good files with bad or partial ones, never leave a mix of old and new,
// never fill the disk or hang, never let a name drive the terminal.
#include "core/db/Database.h"
#include "core/log/LogwardenSet.h"
#include "support/HttpServer.h"
#include "support/TestSupport.h"
#include "support/UlsFiles.h"
#include "support/ZipMaker.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QtTest>
#include <sys/statvfs.h>
#include <utime.h>

using namespace TestSupport;

namespace {

QJsonObject Entry(const QString& name, const QString& data, int repeat = 1)
{
    return {{"name", name}, {"data", data}, {"repeat", repeat}};
}

QStringList Files(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// A log with one check-in, the way the window leaves it.
QString MakeLog(const CScratch& s)
{
    const QString path = s.File(QStringLiteral("Logwarden-97.db"));
    CDatabase db(path);
    CLogwardenSet::PrepareDatabase(db);
    AddCheckin(db, {"K1KEEP", QDateTime(QDate(2024, 3, 7), QTime(19, 0))});
    return path;
}

bool StillALog(const QString& path)
{
    CDatabase db(path, CDatabase::ReadOnly);
    return db.TableExists(QStringLiteral("LogwardenTab"));
}

void MakeOld(const QString& path)
{
    struct utimbuf times = {time(nullptr) - 600, time(nullptr) - 600};
    QVERIFY(::utime(QFile::encodeName(path).constData(), &times) == 0);
}

} // namespace

class TestDataSafety : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void outputsNeverReplaceALog_data()
    {
        QTest::addColumn<QStringList>("command"); // LOG stands for the log's path, OTHER for another database
        QTest::newRow("export onto the log")
            << QStringList{"export", "--log", "LOG", "--all", "--out", "LOG"};
        QTest::newRow("export through a link to the log")
            << QStringList{"export", "--log", "LOG", "--all", "--out", "LINK"};
        QTest::newRow("export onto another database")
            << QStringList{"export", "--log", "LOG", "--all", "--out", "OTHER"};
        QTest::newRow("the FCC build onto the log")
            << QStringList{"uls-compile", "--input", "DIR", "--output", "LOG"};
        QTest::newRow("the QRZ build onto the log")
            << QStringList{"qrz-compile", "--input", "CSV", "--output", "LOG"};
        QTest::newRow("the net-log page onto the log")
            << QStringList{"netlog", "--log", "LOG", "--day", "2024-03-07", "--out", "LOG"};
    }
    void outputsNeverReplaceALog()
    {
        QFETCH(QStringList, command);
        CScratch s;
        const QString log = MakeLog(s);
        const QString other = s.File(QStringLiteral("other.db"));
        {
            CDatabase db(other);
            db.Execute(QStringLiteral("CREATE TABLE Mine(x)"));
        }
        QVERIFY(QFile::link(log, s.File(QStringLiteral("link.txt"))));
        WriteUlsFiles(s.Path(), CrLf({AmLine(1, "K1A", "E")}),
                      CrLf({EnLine(1, "K1A", "A", "1 ST", "X", "CT", "06001")}), CrLf({HdLine(1, "K1A")}));
        WriteFile(s.File(QStringLiteral("qrz.csv")), "K1A,A\n");
        const QByteArray logBefore = ReadFile(log), otherBefore = ReadFile(other);
        for (QString& arg : command) {
            if (arg == QLatin1String("LOG"))
                arg = log;
            else if (arg == QLatin1String("LINK"))
                arg = s.File(QStringLiteral("link.txt"));
            else if (arg == QLatin1String("OTHER"))
                arg = other;
            else if (arg == QLatin1String("DIR"))
                arg = s.Path();
            else if (arg == QLatin1String("CSV"))
                arg = s.File(QStringLiteral("qrz.csv"));
        }
        const CCliRun run = RunCli(command);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QLatin1String("nothing was written")), qPrintable(run.err));
        QCOMPARE(ReadFile(log), logBefore);
        QCOMPARE(ReadFile(other), otherBefore);
        QVERIFY(StillALog(log));
    }

    void aBuildThatLoadsNoLicenceKeepsTheDatabase_data()
    {
        QTest::addColumn<QByteArray>("am");
        QTest::addColumn<QByteArray>("en");
        QTest::addColumn<QString>("named");
        QTest::newRow("empty AM.dat")
            << QByteArray() << CrLf({EnLine(1, "K1A", "A", "1 ST", "X", "CT", "06001")}) << "AM.dat";
        QTest::newRow("blank EN.dat")
            << CrLf({AmLine(1, "K1A", "E")}) << QByteArray("\r\n\r\n   \r\n") << "EN.dat";
        QTest::newRow("binary AM.dat")
            << QByteArray("\x7f"
                          "ELF\x02\x01\x01\0\0\0\xff\xfe\n\x01\x02",
                          16)
            << CrLf({EnLine(1, "K1A", "A", "1 ST", "X", "CT", "06001")}) << "AM.dat";
    }
    void aBuildThatLoadsNoLicenceKeepsTheDatabase()
    {
        QFETCH(QByteArray, am);
        QFETCH(QByteArray, en);
        QFETCH(QString, named);
        CScratch s;
        WriteUlsFiles(s.Path(), CrLf({AmLine(7, "K1OLD", "E")}),
                      CrLf({EnLine(7, "K1OLD", "OLD", "1 ST", "X", "CT", "06001")}),
                      CrLf({HdLine(7, "K1OLD")}));
        const QString db = s.File(QStringLiteral("FCC97.db"));
        QCOMPARE(BuildFccDb(s.Path(), db).state, CFccDbBuild::Succeeded);
        const QByteArray before = ReadFile(db);
        WriteUlsFiles(s.Path(), am, en, CrLf({HdLine(1, "K1A")}));
        const CCliRun run = RunCli({"uls-compile", "--input", s.Path(), "--output", db});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(s.File(named)), qPrintable(run.err));
        QCOMPARE(ReadFile(db), before);
        QCOMPARE(Files(s.Path()).filter(QStringLiteral(".part")), QStringList());
    }

    void extractionIsAllOrNothing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("a bad CRC in the last file") << "crc";
        QTest::newRow("an archive without HD.dat") << "missing";
        QTest::newRow("more than the disk holds") << "room";
    }
    void extractionIsAllOrNothing()
    {
        QFETCH(QString, how);
        CScratch s;
        const QString dir = s.File(QStringLiteral("uls"));
        QVERIFY(QDir().mkpath(dir));
        for (const char* name : {"AM.dat", "EN.dat", "HD.dat"})
            WriteFile(dir + QLatin1Char('/') + QLatin1String(name), "last week");
        QJsonArray entries{Entry("AM.dat", "new AM\n", 1000), Entry("EN.dat", "new EN\n", 1000)};
        if (how == QLatin1String("crc")) {
            QJsonObject hd = Entry("HD.dat", "new HD\n", 200000);
            hd["crc_xor"] = 1;
            entries.append(hd);
        } else if (how == QLatin1String("room")) {
            // Entries declaring more than the folder's file system has free, four gigabytes each.
            struct statvfs fs = {};
            QVERIFY(::statvfs(QFile::encodeName(dir).constData(), &fs) == 0);
            const qint64 free = qint64(fs.f_bavail) * qint64(fs.f_frsize);
            const qint64 big = 0xFFFFFF00LL;
            entries.append(Entry("HD.dat", "x"));
            for (qint64 i = 0; i <= free / big + 1; ++i) {
                QJsonObject e = Entry(QStringLiteral("x%1AM.dat").arg(i), "x");
                e["declared_size"] = big;
                entries.append(e);
            }
        }
        const QString zip = MakeZip({{"out", s.File(QStringLiteral("l_amat.zip"))}, {"entries", entries}});
        const CCliRun run = RunCli({"uls-extract", "--archive", zip, "--dir", dir});
        QCOMPARE(run.exitCode, 1);
        if (how == QLatin1String("room"))
            QVERIFY2(run.err.contains(QLatin1String("MB are needed")), qPrintable(run.err));
        if (how == QLatin1String("missing"))
            QVERIFY2(run.err.contains(QLatin1String("HD.dat")), qPrintable(run.err));
        for (const char* name : {"AM.dat", "EN.dat", "HD.dat"})
            QCOMPARE(ReadFile(dir + QLatin1Char('/') + QLatin1String(name)), QByteArray("last week"));
        QCOMPARE(Files(dir), (QStringList{"AM.dat", "EN.dat", "HD.dat"}));
    }

    void whatKilledRunsLeftIsClearedAtTheNextRun()
    {
        CScratch s;
        for (const char* name : {".HD.dat.k1l2m3n4.part", ".AM.dat.aB3dE9.part", ".FCC97.db.Xy12Ab",
                                 ".FCC97.db.Xy12Ab-journal"}) {
            WriteFile(s.File(QLatin1String(name)), QByteArray(4096, 'x'));
            MakeOld(s.File(QLatin1String(name)));
        }
        MakeZip({{"out", s.File(QStringLiteral("l_amat.zip"))},
                 {"entries", QJsonArray{Entry("AM.dat", "AM|1|||K1A|E||||||||||||\n"),
                                        Entry("EN.dat", "EN|1|||K1A|L||A||||||||1 ST|X|CT|06001|||||||\n"),
                                        Entry("HD.dat", "HD|1|||K1A|A|HA|01/23/2023|01/23/2033|||\n")}}});
        QCOMPARE(RunCli({"uls-extract", "--archive", s.File(QStringLiteral("l_amat.zip")), "--dir", s.Path()})
                     .exitCode,
                 0);
        QCOMPARE(RunCli({"uls-compile", "--input", s.Path(), "--output", s.File(QStringLiteral("FCC97.db"))})
                     .exitCode,
                 0);
        QCOMPARE(Files(s.Path()), (QStringList{"AM.dat", "EN.dat", "FCC97.db", "HD.dat", "l_amat.zip"}));
    }

    void downloadsThatMustNotReplaceTheArchive_data()
    {
        QTest::addColumn<QString>("route");
        QTest::addColumn<QString>("says");
        QTest::newRow("a ZIP without the licence files") << "other"
                                                         << "holds no AM.dat, EN.dat, HD.dat";
        QTest::newRow("a server that trickles") << "trickle"
                                                << "The download was given up";
    }
    void downloadsThatMustNotReplaceTheArchive()
    {
        QFETCH(QString, route);
        QFETCH(QString, says);
        CHttpServer server;
        CScratch s;
        MakeZip({{"out", server.Root() + QStringLiteral("/other.zip")},
                 {"entries", QJsonArray{Entry("error.html", "<html>Service unavailable</html>")}}});
        server.Route(QStringLiteral("/other"), {{"body_file", "other.zip"}});
        server.Route(QStringLiteral("/trickle"),
                     {{"body", QString(400, QLatin1Char('x'))}, {"trickle_ms", 400}, {"chunk", 1}});
        // The least speed and how long a download may stay below it are settings.
        QVERIFY(QDir().mkpath(s.File(QStringLiteral("config/Logwarden"))));
        WriteFile(s.File(QStringLiteral("config/Logwarden/Logwarden.ini")),
                  "[Settings]\nDownloadMinBytesPerSecond=100\nDownloadStallSeconds=2\n");
        WriteFile(s.File(QStringLiteral("l_amat.zip")), "the good archive");
        const CCliRun run =
            RunCli({"uls-download", "--url", server.Url(QLatin1Char('/') + route), "--dir", s.Path()},
                   {{QStringLiteral("XDG_CONFIG_HOME"), s.File(QStringLiteral("config"))}});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(says), qPrintable(run.err));
        QCOMPARE(ReadFile(s.File(QStringLiteral("l_amat.zip"))), QByteArray("the good archive"));
        QCOMPARE(Files(s.Path()).filter(QStringLiteral("l_amat")), QStringList{"l_amat.zip"});
    }

    void namesCannotDriveTheTerminal()
    {
        CScratch s;
        MakeZip(
            {{"out", s.File(QStringLiteral("a.zip"))},
             {"entries", QJsonArray{QJsonObject{
                             {"name_hex", QString::fromLatin1(QByteArray("\x1b]0;owned\x07x.txt").toHex())},
                             {"data", "x"}}}}});
        const CCliRun run = RunCli({"unzip", s.File(QStringLiteral("a.zip")), s.File(QStringLiteral("out"))});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(!run.rawOut.contains('\x1b') && !run.rawOut.contains('\x07'), run.rawOut.constData());
        QVERIFY2(run.out.contains(QLatin1String("\\x1b]0;owned\\x07x.txt")), qPrintable(run.out));
    }
};

QTEST_GUILESS_MAIN(TestDataSafety)
#include "tst_datasafety.moc"
