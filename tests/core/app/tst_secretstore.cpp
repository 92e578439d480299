#include "core/app/SecretStore.h"
#include "core/app/Settings.h"
#include "support/TestSupport.h"

#include <QDirIterator>
#include <QProcess>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using namespace TestSupport;

// Without a keyring service (no session bus here), a password lives in memory for the session and is
// never written anywhere.
class TestSecretStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // First, while no bus connection was made in this process: a keyring whose bus accepts but does not
    // answer holds up neither the caller's thread nor its event loop. The answers come later, by signal,
    // in the order asked, and what was written is known to the store at once.
    void aSilentKeyringLeavesTheLoopRunning()
    {
        CScratch dir;
        const QString bus = dir.File(QStringLiteral("bus"));
        const QString release = dir.File(QStringLiteral("release"));
        QProcess server;
        server.start(QStringLiteral("/usr/bin/python3"),
                     {SourceDir() + QStringLiteral("/tests/support/slow_bus.py"), bus, release});
        QVERIFY(server.waitForReadyRead(10000));
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + bus.toUtf8());

        CSecretStore store(QStringLiteral("LogwardenTest"));
        QSignalSpy written(&store, &CSecretStore::writeDone);
        QSignalSpy read(&store, &CSecretStore::readDone);
        const QString account = CSecretStore::QrzAccount(QStringLiteral("n0call"));
        const QString other = CSecretStore::QrzAccount(QStringLiteral("k2new"));
        const int writeTicket = store.WriteLater(account, QStringLiteral("pw1"));
        const int readTicket = store.ReadLater(other);
        QVERIFY(store.IsBusy());
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(1);
        QTRY_VERIFY(ticks >= 5);
        QVERIFY(store.IsBusy());
        QVERIFY(written.isEmpty() && read.isEmpty());

        WriteFile(release, {});
        QTRY_VERIFY_WITH_TIMEOUT(!store.IsBusy(), 30000);
        QCOMPARE(written.size(), 1);
        QCOMPARE(written[0][0].toInt(), writeTicket);
        QCOMPARE(written[0][2].value<CSecretStore::Where>(), CSecretStore::Where::Session);
        QCOMPARE(read.size(), 1);
        QCOMPARE(read[0][0].toInt(), readTicket);
        QCOMPARE(read[0][2].toBool(), false);
        QVERIFY(store.IsSessionOnly());
        QCOMPARE(store.Read(account), std::optional<QString>(QStringLiteral("pw1")));
        server.kill();
        server.waitForFinished();
    }

    void sessionOnly()
    {
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");

        CScratch home;
        qputenv("HOME", home.Path().toUtf8());
        qputenv("XDG_CONFIG_HOME", home.File(QStringLiteral("config")).toUtf8());
        qputenv("XDG_DATA_HOME", home.File(QStringLiteral("data")).toUtf8());
        const QString account =
            CSecretStore::MailAccount(QStringLiteral("n0call"), QStringLiteral("SMTP.example.org"));
        QCOMPARE(account, QStringLiteral("smtp:n0call@smtp.example.org"));
        const QString password = QStringLiteral("pa55-%1").arg(QCoreApplication::applicationPid());

        CSecretStore store(QStringLiteral("LogwardenTest"));
        QVERIFY(!store.Read(account));
        QCOMPARE(store.Write(account, password), CSecretStore::Where::Session);
        QVERIFY(store.IsSessionOnly());
        QVERIFY(!store.KeyringError().isEmpty());
        QCOMPARE(store.Read(account), std::optional<QString>(password));

        // The memory is the store's own: the next run (another store) and another program know nothing.
        QVERIFY(!CSecretStore(QStringLiteral("LogwardenTest")).Read(account));
        QVERIFY(!CSecretStore(QStringLiteral("Other")).Read(account));
        QVERIFY(!store.Read(CSecretStore::QrzAccount(QStringLiteral("n0call"))));

        // Nothing of it on disk.
        QDirIterator files(home.Path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            QVERIFY2(!ReadFile(path).contains(password.toUtf8()), qPrintable(path));
        }

        store.Remove(account);
        QVERIFY(!store.Read(account));
    }
};

QTEST_GUILESS_MAIN(TestSecretStore)
#include "tst_secretstore.moc"
