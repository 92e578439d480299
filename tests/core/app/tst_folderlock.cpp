// One window per data folder, with real processes: the second is told which process holds the folder, and
// a lock left by a process that died is taken over.
#include "core/app/FolderLock.h"
#include "support/TestSupport.h"

#include <QtTest>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace TestSupport;

class TestFolderLock : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void oneHolderAtATime()
    {
        CScratch s;
        int ready[2];
        QVERIFY(::pipe(ready) == 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            CFolderLock lock;
            const char ok = lock.Acquire(s.Path()) ? '1' : '0';
            (void)::write(ready[1], &ok, 1);
            ::pause(); // holds the folder until killed
            ::_exit(0);
        }
        char ok = 0;
        QCOMPARE(::read(ready[0], &ok, 1), ssize_t(1));
        QCOMPARE(ok, '1');

        CFolderLock second;
        QString holder;
        QVERIFY(!second.Acquire(s.Path(), &holder));
        QVERIFY2(holder.contains(QStringLiteral("process %1").arg(pid)), qPrintable(holder));
        QVERIFY(CFolderLock::InUseText(s.Path(), holder).contains(s.Path()));

        // Killed, it holds nothing: its file stays, and is taken over.
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        QVERIFY(QFile::exists(s.File(QString::fromLatin1(CFolderLock::kFileName))));
        QVERIFY(second.Acquire(s.Path(), &holder));
        // Released at the end, it is free for the next window.
        second.Release();
        CFolderLock third;
        QVERIFY(third.Acquire(s.Path()));
        ::close(ready[0]);
        ::close(ready[1]);
    }
};

QTEST_GUILESS_MAIN(TestFolderLock)
#include "tst_folderlock.moc"
