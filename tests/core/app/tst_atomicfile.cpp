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
        QTest::addColumn<bool>("temporary");
        QTest::newRow("ours") << ".HD.dat.aB3dE9.part" << true;
        QTest::newRow("a database's journal of ours") << ".FCC97.db.aB3dE9.part-journal" << true;
        QTest::newRow("an earlier extraction's") << ".HD.dat.1z2y3x4w.part" << true;
        QTest::newRow("an earlier download's") << "l_amat.zip.Xy12Ab.part" << true;
        QTest::newRow("an earlier build's") << ".FCC97.db.Xy12Ab" << true;
        QTest::newRow("the log") << "Logwarden-97.db" << false;
        QTest::newRow("the log's journal") << "Logwarden-97.db-wal" << false;
        QTest::newRow("a file the user named .part") << "notes.part" << false;
        QTest::newRow("a hidden file of the user") << ".profile" << false;
    }
    void temporaryNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, temporary);
        QCOMPARE(CAtomicFile::IsTemporaryName(name), temporary);
    }
};

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "tst_atomicfile.moc"
