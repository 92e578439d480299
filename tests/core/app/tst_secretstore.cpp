#include "core/app/SecretStore.h"
#include "core/app/Settings.h"
#include "support/TestSupport.h"

#include <QDirIterator>
#include <QtTest>

using namespace TestSupport;

// Without a keyring service (no session bus here), a password lives in memory for the session and is
// never written anywhere.
class TestSecretStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    }

    void sessionOnly()
    {
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

        // Another store of the same program sees it; another program and another account do not.
        QCOMPARE(CSecretStore(QStringLiteral("LogwardenTest")).Read(account),
                 std::optional<QString>(password));
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
