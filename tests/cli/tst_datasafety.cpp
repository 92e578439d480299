// What a slip or a hostile file can do to the user's data through logwarden-cli: never write over the log
// or another database, never replace good files with bad or partial ones, never leave a mix of old and new,
// never fill the disk or hang, never let a name drive the terminal.
#include "core/db/Database.h"
#include "core/log/LogSchema.h"
#include "support/HttpServer.h"
#include "support/TestSupport.h"
#include "support/UlsFiles.h"
#include "support/ZipMaker.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QtTest>
#include <SQLiteCpp/SQLiteCpp.h>
#include <fcntl.h>
#include <random>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
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
    LogSchema::Prepare(db);
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

QByteArray Sha256(const QString& path)
{
    return QCryptographicHash::hash(ReadFile(path), QCryptographicHash::Sha256).toHex();
}

// A 2 MB file system of its own (a tmpfs, which needs root), unmounted again at the end.
class CSmallDisk
{
public:
    explicit CSmallDisk(const QString& path) : m_path(path)
    {
        QDir().mkpath(path);
        m_mounted = ::mount("tmpfs", QFile::encodeName(path).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                            "size=2m") == 0;
    }
    ~CSmallDisk()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
    }
    bool IsMounted() const { return m_mounted; }
    const QString& Path() const { return m_path; }
    QString File(const QString& name) const { return m_path + QLatin1Char('/') + name; }
    // Takes up all the room there is.
    void Fill() const
    {
        QFile f(File(QStringLiteral("filler")));
        if (!f.open(QIODevice::WriteOnly))
            return;
        const QByteArray block(4096, 'f');
        while (f.write(block) == block.size() && f.flush()) {
        }
    }

private:
    QString m_path;
    bool m_mounted = false;
};

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

    // Beside the file it writes, a command clears away what killed runs left for that file (names with
    // our mark), and nothing of the user's, however the names look.
    void commandsTouchOnlyTheirOwnTemporaries_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("ours"); // stale temporaries of the files the command writes
        QTest::newRow("uls-extract") << "uls-extract"
                                     << QStringList{".HD.dat.lw-k1l2m3.part", ".AM.dat.lw-aB3dE9.part"};
        QTest::newRow("uls-compile") << "uls-compile"
                                     << QStringList{".FCC97.db.lw-Xy12Ab.part",
                                                    ".FCC97.db.lw-Xy12Ab.part-journal"};
        QTest::newRow("qrz-compile") << "qrz-compile" << QStringList{".QRZ97.db.lw-Qz12Ab.part"};
        QTest::newRow("uls-download, failing") << "uls-download" << QStringList{".l_amat.zip.lw-Dl12Ab.part"};
    }
    void commandsTouchOnlyTheirOwnTemporaries()
    {
        QFETCH(QString, command);
        QFETCH(QStringList, ours);
        CScratch s; // the user's ~/Downloads, say
        const QStringList users{"dump.sqlite.part",  "Report.backup.part", ".photos.db.backup",
                                ".notes.draft.part", ".FCC97.db.Xy12Ab",   ".HD.dat.aB3dE9.part"};
        QMap<QString, QByteArray> before;
        for (const QString& name : users + ours) {
            before[name] = QByteArray(4096, 'u') + name.toUtf8();
            WriteFile(s.File(name), before[name]);
            MakeOld(s.File(name));
        }
        MakeZip({{"out", s.File(QStringLiteral("l_amat.zip"))},
                 {"entries", QJsonArray{Entry("AM.dat", "AM|1|||K1A|E||||||||||||\n"),
                                        Entry("EN.dat", "EN|1|||K1A|L||A||||||||1 ST|X|CT|06001|||||||\n"),
                                        Entry("HD.dat", "HD|1|||K1A|A|HA|01/23/2023|01/23/2033|||\n")}}});
        WriteUlsFiles(s.Path(), CrLf({AmLine(1, "K1A", "E")}),
                      CrLf({EnLine(1, "K1A", "A", "1 ST", "X", "CT", "06001")}), CrLf({HdLine(1, "K1A")}));
        WriteFile(s.File(QStringLiteral("qrz.csv")), QByteArray(160, 'h') + "\nK1A,A,1,B,\nK1B,C,1,D,\n");
        CHttpServer server;
        CCliRun run;
        if (command == QLatin1String("uls-extract"))
            run =
                RunCli({"uls-extract", "--archive", s.File(QStringLiteral("l_amat.zip")), "--dir", s.Path()});
        else if (command == QLatin1String("uls-compile"))
            run =
                RunCli({"uls-compile", "--input", s.Path(), "--output", s.File(QStringLiteral("FCC97.db"))});
        else if (command == QLatin1String("qrz-compile"))
            run = RunCli({"qrz-compile", "--input", s.File(QStringLiteral("qrz.csv"))});
        else
            run = RunCli(
                {"uls-download", "--url", server.Url(QStringLiteral("/files/none.zip")), "--dir", s.Path()});
        QCOMPARE(run.exitCode, command == QLatin1String("uls-download") ? 1 : 0);
        for (const QString& name : users)
            QVERIFY2(ReadFile(s.File(name)) == before[name], qPrintable(name));
        for (const QString& name : ours)
            QVERIFY2(!QFile::exists(s.File(name)), qPrintable(name));
        QCOMPARE(Files(s.Path()).filter(QStringLiteral(".lw-")), QStringList());
    }

    // A QRZ file that yields no record, or more rejected lines than records, replaces nothing.
    void qrzFilesThatAreNoLicenceListKeepTheDatabase_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QString>("says");
        QTest::newRow("empty") << QByteArray() << "holds no QRZ record (0 loaded, 0 skipped)";
        QTest::newRow("only a header") << QByteArray("CALL,LASTNAME,COUNTRY,FIRSTNAME,\n")
                                       << "holds no QRZ record (0 loaded, 1 skipped)";
        QByteArray noise(2 * 1024 * 1024, '\0');
        std::mt19937 random(97);
        for (char& c : noise)
            c = char(random() & 0xff);
        QTest::newRow("random bytes") << noise << "were skipped than loaded";
        QByteArray rejected = QByteArray(160, 'h') + "\nK1A,A,1,B,\n";
        for (int i = 0; i < 5; ++i)
            rejected += ",NO CALL,1,\n";
        QTest::newRow("mostly rejected lines") << rejected << "(1 loaded, 6 skipped)";
    }
    void qrzFilesThatAreNoLicenceListKeepTheDatabase()
    {
        QFETCH(QByteArray, csv);
        QFETCH(QString, says);
        CScratch s;
        WriteFile(s.File(QStringLiteral("good.csv")),
                  QByteArray(160, 'h') + "\nK1KEEP,A,1,B,\nK1ALSO,C,1,D,\n");
        const QString db = s.File(QStringLiteral("QRZ97.db"));
        QCOMPARE(
            RunCli({"qrz-compile", "--input", s.File(QStringLiteral("good.csv")), "--output", db}).exitCode,
            0);
        const QByteArray before = Sha256(db);
        WriteFile(s.File(QStringLiteral("e.csv")), csv);
        const CCliRun run =
            RunCli({"qrz-compile", "--input", s.File(QStringLiteral("e.csv")), "--output", db});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(says), qPrintable(run.err));
        QVERIFY2(run.err.contains(QStringLiteral("%1 was left as it was.").arg(db)), qPrintable(run.err));
        QCOMPARE(Sha256(db), before);
        QCOMPARE(Files(s.Path()), (QStringList{"QRZ97.db", "e.csv", "good.csv"}));
    }

    // Beside a log that a window holds in WAL mode, and in the data folder, an output may not take the
    // name of a file the database engine or the program reads.
    void outputsNeverLandOnCompanionsOrProgramFiles_data()
    {
        QTest::addColumn<QStringList>("command"); // DIR stands for the log's folder, LOG for the log
        QTest::addColumn<QString>("says");
        QTest::newRow("export onto the log's -wal")
            << QStringList{"export", "--log", "LOG", "--all", "--out", "DIR/Logwarden-97.db-wal"}
            << "wal file of the log";
        QTest::newRow("export onto the log's -shm")
            << QStringList{"export", "--log", "LOG", "--all", "--out", "DIR/Logwarden-97.db-shm"}
            << "shm file of the log";
        QTest::newRow("export onto the log's -journal")
            << QStringList{"export", "--log", "LOG", "--all", "--out", "DIR/Logwarden-97.db-journal"}
            << "journal file of the log";
        QTest::newRow("the net-log page onto the log's -wal") << QStringList{"netlog",
                                                                             "--log",
                                                                             "LOG",
                                                                             "--day",
                                                                             "2024-03-07",
                                                                             "--out",
                                                                             "DIR/Logwarden-97.db-wal"}
                                                              << "wal file of the log";
        QTest::newRow("export onto FCC97.db's -journal")
            << QStringList{"export", "--log", "LOG", "--all", "--out", "DIR/FCC97.db-journal"}
            << "journal file of the database FCC97.db";
        QTest::newRow("the QRZ build onto the log's -wal")
            << QStringList{"qrz-compile", "--input", "DIR/qrz.csv", "--output", "DIR/Logwarden-97.db-wal"}
            << "wal file of the database Logwarden-97.db";
        QTest::newRow("export onto the preamble")
            << QStringList{"export", "--log", "LOG", "--all", "--out", "DIR/preamble.rtf"}
            << "file of the program in its data folder";
        QTest::newRow("export onto the folder's lock")
            << QStringList{"export", "--log", "LOG", "--all", "--out", "DIR/.logwarden.lock"}
            << "file of the program in its data folder";
    }
    void outputsNeverLandOnCompanionsOrProgramFiles()
    {
        QFETCH(QStringList, command);
        QFETCH(QString, says);
        CScratch s;
        const QString log = MakeLog(s);
        // The window: the log in WAL mode, its last check-in still in the -wal file.
        CDatabase window(log);
        window.MakeDurable();
        window.Execute(QStringLiteral("PRAGMA wal_autocheckpoint=0"));
        AddCheckin(window, {"K1LAST", QDateTime(QDate(2024, 3, 7), QTime(19, 30))});
        {
            CDatabase fcc(s.File(QStringLiteral("FCC97.db")));
            fcc.Execute(QStringLiteral("CREATE TABLE AM(x)"));
        }
        WriteFile(s.File(QStringLiteral("FCC97.db-journal")), "the engine's journal");
        WriteFile(s.File(QStringLiteral("preamble.rtf")), "{\\rtf1 Good evening}");
        WriteFile(s.File(QStringLiteral(".logwarden.lock")), "4242");
        WriteFile(s.File(QStringLiteral("qrz.csv")), QByteArray(160, 'h') + "\nK1A,A,1,B,\n");
        QStringList names = Files(s.Path());
        QMap<QString, QByteArray> before;
        for (const QString& name : names)
            before[name] = Sha256(s.File(name));
        for (QString& arg : command) {
            arg.replace(QLatin1String("DIR"), s.Path());
            if (arg == QLatin1String("LOG"))
                arg = log;
        }
        const CCliRun run = RunCli(command);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(says) && run.err.contains(QLatin1String("nothing was written")),
                 qPrintable(run.err));
        QCOMPARE(Files(s.Path()), names);
        // (Readers of the log mark the shared-memory file; its own contents are the engine's business.)
        for (const QString& name : names)
            QVERIFY2(name.endsWith(QLatin1String("-shm")) || Sha256(s.File(name)) == before[name],
                     qPrintable(name));
        // The window has not checkpointed: its last check-in lives in the -wal file, still there.
        CDatabase reader(log, CDatabase::ReadOnly);
        QCOMPARE(
            reader.Handle().execAndGet("SELECT count(*) FROM LogwardenTab WHERE CallSign='K1LAST'").getInt(),
            1);
    }

    // An output that exists and is not a regular file is never replaced by one; a pipe or standard output
    // is written through.
    void outputsThatAreNoFiles_data()
    {
        QTest::addColumn<QStringList>("command"); // LOG: the log; FIFO: a named pipe being read
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("says");
        QTest::newRow("export onto a device")
            << QStringList{"export", "--log", "LOG", "--all", "--out", "/dev/null"} << 1
            << "character device";
        QTest::newRow("the net-log page onto a device")
            << QStringList{"netlog", "--log", "LOG", "--day", "2024-03-07", "--out", "NULL"} << 1
            << "character device";
        QTest::newRow("the QRZ build onto a device")
            << QStringList{"qrz-compile", "--input", "CSV", "--output", "/dev/null"} << 1
            << "character device";
        QTest::newRow("the FCC build onto a device")
            << QStringList{"uls-compile", "--input", "DIR", "--output", "/dev/zero"} << 1
            << "character device";
        QTest::newRow("the QRZ build into a pipe")
            << QStringList{"qrz-compile", "--input", "CSV", "--output", "FIFO"} << 1 << "named pipe";
        QTest::newRow("export into a pipe")
            << QStringList{"export", "--log", "LOG", "--all", "--out", "FIFO"} << 0 << "";
        QTest::newRow("export to /dev/fd/1")
            << QStringList{"export", "--log", "LOG", "--all", "--out", "/dev/fd/1"} << 0 << "";
    }
    void outputsThatAreNoFiles()
    {
        QFETCH(QStringList, command);
        QFETCH(int, exitCode);
        QFETCH(QString, says);
        CScratch s;
        const QString log = MakeLog(s);
        const QString fifo = s.File(QStringLiteral("pipe"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        // A device of our own, like /dev/null (making one needs root): a fault here replaces only it.
        const QString device = s.File(QStringLiteral("null"));
        if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
            QSKIP("no device node can be made here");
        WriteUlsFiles(s.Path(), CrLf({AmLine(1, "K1A", "E")}),
                      CrLf({EnLine(1, "K1A", "A", "1 ST", "X", "CT", "06001")}), CrLf({HdLine(1, "K1A")}));
        WriteFile(s.File(QStringLiteral("qrz.csv")), QByteArray(160, 'h') + "\nK1A,A,1,B,\n");
        const bool intoPipe = command.contains(QStringLiteral("FIFO"));
        for (QString& arg : command) {
            if (arg == QLatin1String("LOG"))
                arg = log;
            else if (arg == QLatin1String("FIFO"))
                arg = fifo;
            else if (arg == QLatin1String("NULL"))
                arg = device;
            else if (arg == QLatin1String("DIR"))
                arg = s.Path();
            else if (arg == QLatin1String("CSV"))
                arg = s.File(QStringLiteral("qrz.csv"));
        }
        // A reader at the pipe's other end, for as long as the command runs.
        QProcess reader;
        if (intoPipe) {
            reader.setStandardOutputFile(s.File(QStringLiteral("read.txt")));
            reader.start(QStringLiteral("cat"), {fifo});
            QVERIFY(reader.waitForStarted());
        }
        const CCliRun run = RunCli(command);
        if (intoPipe) {
            // A build refused never opens the pipe: let the reader go.
            if (exitCode != 0) {
                const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0)
                    ::close(fd);
            }
            if (!reader.waitForFinished(20000))
                reader.kill();
            reader.waitForFinished();
        }
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(says), qPrintable(run.err));
        struct stat node = {};
        QVERIFY(::lstat(QFile::encodeName(device).constData(), &node) == 0 && S_ISCHR(node.st_mode) &&
                node.st_rdev == makedev(1, 3));
        struct stat pipe = {};
        QVERIFY(::lstat(QFile::encodeName(fifo).constData(), &pipe) == 0 && S_ISFIFO(pipe.st_mode));
        QCOMPARE(Files(s.Path()).filter(QStringLiteral(".lw-")), QStringList());
        if (exitCode == 0) {
            // The same bytes as the export to standard output.
            const QByteArray expected = RunCli({"export", "--log", log, "--all", "--out", "-"}).rawOut;
            QVERIFY(expected.contains("K1KEEP"));
            QCOMPARE(intoPipe ? ReadFile(s.File(QStringLiteral("read.txt"))) : run.rawOut, expected);
        }
    }

    // An export onto a full disk says why in the system's words and leaves the earlier export as it was.
    void anExportOntoAFullDiskSaysWhy_data()
    {
        QTest::addColumn<bool>("toStandardOutput");
        QTest::newRow("a file on a full disk") << false;
        QTest::newRow("standard output onto a full device") << true;
    }
    void anExportOntoAFullDiskSaysWhy()
    {
        QFETCH(bool, toStandardOutput);
        CScratch s;
        const QString log = MakeLog(s);
        if (toStandardOutput) {
            QProcess p;
            p.setStandardOutputFile(QStringLiteral("/dev/full"));
            p.start(CliPath(), {"export", "--log", log, "--all", "--out", "-"});
            QVERIFY(p.waitForFinished(60000));
            const QString err = QString::fromUtf8(p.readAllStandardError());
            QCOMPARE(p.exitCode(), 1);
            QVERIFY2(err.contains(QLatin1String("No space left on device")), qPrintable(err));
            return;
        }
        CSmallDisk disk(s.File(QStringLiteral("disk")));
        if (!disk.IsMounted())
            QSKIP("no tmpfs can be mounted here");
        const QString out = disk.File(QStringLiteral("export.txt"));
        WriteFile(out, "the earlier export\n");
        const QByteArray before = Sha256(out);
        disk.Fill();
        const CCliRun run = RunCli({"export", "--log", log, "--all", "--out", out});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QLatin1String("No space left on device")), qPrintable(run.err));
        QCOMPARE(Sha256(out), before);
        QCOMPARE(Files(disk.Path()), (QStringList{"export.txt", "filler"}));
    }

    void downloadsThatMustNotReplaceTheArchive_data()
    {
        QTest::addColumn<QString>("route");
        QTest::addColumn<QString>("says");
        QTest::newRow("a ZIP without the licence files") << "other"
                                                         << "holds no AM.dat, EN.dat, HD.dat";
        QTest::newRow("a server that trickles") << "trickle"
                                                << "The download was given up";
        QTest::newRow("a server that sends without end")
            << "endless"
            << "The download was given up: it grew past 3.0 MB, the most a download may take";
        QTest::newRow("an announced length beyond the limit")
            << "big"
            << "The download was given up: the server announced more than 3.0 MB";
        QTest::newRow("a disk with too little room left")
            << "small disk"
            << "The download was given up: the disk would keep less than 64.0 MB free";
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
                  "[Settings]\nDownloadMinBytesPerSecond=100\nDownloadStallSeconds=2\n"
                  "DownloadMaxBytes=3145728\n");
        WriteFile(server.Root() + QStringLiteral("/big.zip"), QByteArray(5 * 1024 * 1024, 'b'));
        server.Route(QStringLiteral("/big"), {{"body_file", "big.zip"}});
        QString url = server.Url(QLatin1Char('/') + route);
        if (route == QLatin1String("endless"))
            url = server.Url(QStringLiteral("/endless/l_amat.zip"));
        QString dir = s.Path();
        std::unique_ptr<CSmallDisk> disk;
        if (route == QLatin1String("small disk")) {
            disk = std::make_unique<CSmallDisk>(s.File(QStringLiteral("disk")));
            if (!disk->IsMounted())
                QSKIP("no tmpfs can be mounted here");
            dir = disk->Path();
            WriteFile(server.Root() + QStringLiteral("/small.zip"), QByteArray(1024 * 1024, 's'));
            url = server.Url(QStringLiteral("/files/small.zip"));
        }
        WriteFile(dir + QStringLiteral("/l_amat.zip"), "the good archive");
        const QByteArray before = Sha256(dir + QStringLiteral("/l_amat.zip"));
        const CCliRun run = RunCli({"uls-download", "--url", url, "--dir", dir},
                                   {{QStringLiteral("XDG_CONFIG_HOME"), s.File(QStringLiteral("config"))}});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(says), qPrintable(run.err));
        QCOMPARE(Sha256(dir + QStringLiteral("/l_amat.zip")), before);
        QCOMPARE(Files(dir).filter(QStringLiteral("l_amat")), QStringList{"l_amat.zip"});
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
