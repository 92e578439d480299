// Replacing a file atomically: a writer killed at any moment leaves the old file or the whole new one,
// and the temporary files of killed writers are cleared away later, never those of a live one.
#include "core/Exceptions.h"
#include "core/app/AtomicFile.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QtTest>
#include <csignal>
#include <random>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

using namespace TestSupport;

namespace {

QStringList Temporaries(const QString& folder)
{
    QStringList found;
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
        if (CAtomicFile::IsTemporaryName(name))
            found << name;
    return found;
}

void MakeOld(const QString& path)
{
    struct utimbuf times = {time(nullptr) - 600, time(nullptr) - 600};
    QVERIFY(::utime(QFile::encodeName(path).constData(), &times) == 0);
}

} // namespace

class TestAtomicFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void aKilledReplaceLeavesTheOldOrTheNewFile()
    {
        CScratch s;
        const QString target = s.File(QStringLiteral("FCC97.db"));
        const QByteArray before(256 * 1024, 'o');
        const QByteArray after(2 * 1024 * 1024, 'n');
        WriteFile(target, before);
        std::mt19937 random(7);
        int replaced = 0, kept = 0;
        for (int round = 0; round < 24; ++round) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                try {
                    CAtomicFile file(target);
                    for (qsizetype at = 0; at < after.size(); at += 4096)
                        file.Write(after.mid(at, 4096));
                    file.Commit();
                } catch (...) {
                }
                ::_exit(0);
            }
            QVERIFY(pid > 0);
            ::usleep(random() % 30000);
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            const QByteArray now = ReadFile(target);
            QVERIFY2(now == before || now == after,
                     qPrintable(QStringLiteral("round %1: %2 bytes of a mix").arg(round).arg(now.size())));
            if (now == after) {
                ++replaced;
                CAtomicFile::WriteFile(target, before);
            } else {
                ++kept;
            }
        }
        QVERIFY(replaced + kept == 24);
        // What the killed writers left behind goes once it is old enough to be nobody's.
        const QStringList left = Temporaries(s.Path());
        for (const QString& name : left)
            MakeOld(s.File(name));
        QCOMPARE(CAtomicFile::RemoveStale(s.Path()), int(left.size()));
        QCOMPARE(Temporaries(s.Path()), QStringList());
        QCOMPARE(ReadFile(target), before);
    }

    void aLiveWritersFileIsNotStale()
    {
        CScratch s;
        CAtomicFile writing(s.File(QStringLiteral("l_amat.zip")));
        writing.Write(QByteArrayLiteral("part of an archive"));
        MakeOld(writing.TempPath());
        // A database being built beside it leaves a journal of the temporary file: it is the writer's too.
        WriteFile(writing.TempPath() + QStringLiteral("-journal"), "journal");
        MakeOld(writing.TempPath() + QStringLiteral("-journal"));
        QCOMPARE(CAtomicFile::RemoveStale(s.Path()), 0);
        QVERIFY(QFile::exists(writing.TempPath()));
        writing.Commit();
        QCOMPARE(ReadFile(s.File(QStringLiteral("l_amat.zip"))), QByteArray("part of an archive"));
        // Once committed, the journal left beside is an orphan.
        QCOMPARE(CAtomicFile::RemoveStale(s.Path()), 1);
    }

    void anAbandonedReplaceRemovesItsFile()
    {
        CScratch s;
        WriteFile(s.File(QStringLiteral("export.txt")), "old export");
        {
            CAtomicFile file(s.File(QStringLiteral("export.txt")));
            file.Write(QByteArrayLiteral("half of it"));
        }
        QCOMPARE(ReadFile(s.File(QStringLiteral("export.txt"))), QByteArray("old export"));
        QCOMPARE(QDir(s.Path()).entryList(QDir::Files | QDir::Hidden), QStringList{"export.txt"});
        // A folder that cannot be written is said so, naming the file.
        QVERIFY_THROWS_EXCEPTION(CFileException, CAtomicFile(s.File(QStringLiteral("no/such/folder/x.txt"))));
    }

    void theNewFileKeepsTheOldOnesPermissions()
    {
        CScratch s;
        const QString path = s.File(QStringLiteral("preamble.rtf"));
        WriteFile(path, "old");
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);
        CAtomicFile::WriteFile(path, "new");
        struct stat st = {};
        QVERIFY(::stat(QFile::encodeName(path).constData(), &st) == 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0640));
    }

    void temporaryNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("marked");  // a temporary file of this version
        QTest::addColumn<bool>("earlier"); // an unmarked one of an earlier version
        QTest::newRow("ours") << ".HD.dat.lw-aB3dE9.part" << true << false;
        QTest::newRow("a database's journal of ours") << ".FCC97.db.lw-aB3dE9.part-journal" << true << false;
        QTest::newRow("an earlier extraction's") << ".HD.dat.1z2y3x4w.part" << false << true;
        QTest::newRow("an earlier download's") << "l_amat.zip.Xy12Ab.part" << false << true;
        QTest::newRow("an earlier build's") << ".FCC97.db.Xy12Ab" << false << true;
        QTest::newRow("an earlier build's journal") << ".QRZ97.db.Xy12Ab-journal" << false << true;
        QTest::newRow("the log") << "Logwarden-97.db" << false << false;
        QTest::newRow("the log's journal") << "Logwarden-97.db-wal" << false << false;
        QTest::newRow("a file the user named .part") << "notes.part" << false << false;
        QTest::newRow("a hidden file of the user") << ".profile" << false << false;
        QTest::newRow("a user's dump") << "dump.sqlite.part" << false << false;
        QTest::newRow("a user's report") << "Report.backup.part" << false << false;
        QTest::newRow("a user's hidden backup") << ".photos.db.backup" << false << false;
        QTest::newRow("a user's draft") << ".notes.draft.part" << false << false;
        QTest::newRow("a word beside a program file") << ".FCC97.db.backup" << false << false;
        QTest::newRow("a random part beside a user's file") << ".mine.txt.aB3dE9.part" << false << false;
    }
    void temporaryNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, marked);
        QFETCH(bool, earlier);
        QCOMPARE(CAtomicFile::IsTemporaryName(name), marked);
        QCOMPARE(CAtomicFile::IsEarlierTemporaryName(name), earlier);
    }

    // Old enough to be nobody's, only what is provably ours goes: anything marked in the data folder
    // (and the earlier versions' names of the program's files there), and beside a target only the marked
    // temporaries of that very target.
    void sweepsTakeOnlyWhatIsOurs_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("goesInTheDataFolder");
        QTest::addColumn<bool>("goesBesideFcc97"); // when FCC97.db is about to be written
        QTest::newRow("ours for FCC97.db") << ".FCC97.db.lw-aB3dE9.part" << true << true;
        QTest::newRow("its journal") << ".FCC97.db.lw-aB3dE9.part-journal" << true << true;
        QTest::newRow("ours for HD.dat") << ".HD.dat.lw-Xy12Ab.part" << true << false;
        QTest::newRow("an earlier build's") << ".FCC97.db.Xy12Ab" << true << false;
        QTest::newRow("an earlier extraction's") << ".HD.dat.1z2y3x4w.part" << true << false;
        QTest::newRow("an earlier download's") << "l_amat.zip.Xy12Ab.part" << true << false;
        QTest::newRow("dump.sqlite.part") << "dump.sqlite.part" << false << false;
        QTest::newRow("Report.backup.part") << "Report.backup.part" << false << false;
        QTest::newRow(".photos.db.backup") << ".photos.db.backup" << false << false;
        QTest::newRow(".notes.draft.part") << ".notes.draft.part" << false << false;
        QTest::newRow(".FCC97.db.backup") << ".FCC97.db.backup" << false << false;
        QTest::newRow(".mine.txt.aB3dE9.part") << ".mine.txt.aB3dE9.part" << false << false;
    }
    void sweepsTakeOnlyWhatIsOurs()
    {
        QFETCH(QString, name);
        QFETCH(bool, goesInTheDataFolder);
        QFETCH(bool, goesBesideFcc97);
        const QByteArray bytes(4096, 'u');
        {
            CScratch s;
            WriteFile(s.File(name), bytes);
            MakeOld(s.File(name));
            CAtomicFile::RemoveStale(s.Path());
            QCOMPARE(ReadFile(s.File(name)), goesInTheDataFolder ? QByteArray("<missing>") : bytes);
        }
        {
            CScratch s;
            WriteFile(s.File(name), bytes);
            MakeOld(s.File(name));
            CAtomicFile about(s.File(QStringLiteral("FCC97.db")));
            QCOMPARE(ReadFile(s.File(name)), goesBesideFcc97 ? QByteArray("<missing>") : bytes);
        }
    }

    // A name that stands for something other than a file is never replaced by one. (Our own device node
    // and link to standard output, like /dev/null and /dev/stdout: a fault replaces only those.)
    void onlyRegularFilesAreReplaced_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("says");
        QTest::newRow("a device") << "null"
                                  << "character device";
        QTest::newRow("standard output") << "stdout"
                                         << "open file of a process";
        QTest::newRow("a folder") << "folder"
                                  << "folder";
        QTest::newRow("a named pipe") << "fifo"
                                      << "named pipe";
    }
    void onlyRegularFilesAreReplaced()
    {
        QFETCH(QString, target);
        QFETCH(QString, says);
        CScratch s;
        QVERIFY(QDir().mkpath(s.File(QStringLiteral("folder"))));
        QVERIFY(::mkfifo(QFile::encodeName(s.File(QStringLiteral("fifo"))).constData(), 0600) == 0);
        QVERIFY(QFile::link(QStringLiteral("/proc/self/fd/1"), s.File(QStringLiteral("stdout"))));
        if (::mknod(QFile::encodeName(s.File(QStringLiteral("null"))).constData(), S_IFCHR | 0666,
                    makedev(1, 3)) != 0 &&
            target == QLatin1String("null"))
            QSKIP("no device node can be made here");
        target = s.File(target);
        struct stat before = {};
        QVERIFY(::lstat(QFile::encodeName(target).constData(), &before) == 0);
        try {
            CAtomicFile::WriteFile(target, "replacement");
            QFAIL("replaced");
        } catch (const CFileException& e) {
            QVERIFY2(e.Message().contains(says), qPrintable(e.Message()));
        }
        struct stat after = {};
        QVERIFY(::lstat(QFile::encodeName(target).constData(), &after) == 0);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(QDir(QFileInfo(target).absolutePath())
                     .entryList({QStringLiteral(".*.lw-*")}, QDir::Files | QDir::Hidden),
                 QStringList());
    }
};

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "tst_atomicfile.moc"
