// The net day's roster and letter range, and the transmitter toggle's command, its refusals and its
// outcomes with a stand-in program in place of ssh.
#include "core/app/Settings.h"
#include "core/log/NetRoster.h"
#include "core/log/TransmitterToggle.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QSignalSpy>
#include <QtTest>

using namespace TestSupport;

namespace {

// An executable shell script standing in for ssh: it writes its arguments, one a line, to args.txt
// beside itself, then runs the body.
QString StandIn(const CScratch& scratch, const QString& name, const QByteArray& body)
{
    const QString path = scratch.File(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write the stand-in");
    f.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args.txt\"\n" + body + "\n");
    f.close();
    f.setPermissions(f.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser);
    return path;
}

QStringList ArgsSeen(const CScratch& scratch)
{
    QFile f(scratch.File(QStringLiteral("args.txt")));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

class TestNetDay : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roster_data()
    {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<int>("entry");
        QTest::addColumn<int>("range");
        QTest::newRow("Saturday 1st") << QDate(2025, 3, 1) << int(NetRoster::SaturdayA) << 0;
        QTest::newRow("Saturday 7th") << QDate(2024, 12, 7) << int(NetRoster::SaturdayA) << 0;
        QTest::newRow("Saturday 8th") << QDate(2025, 3, 8) << int(NetRoster::SaturdayB) << 0;
        QTest::newRow("Saturday 14th") << QDate(2024, 12, 14) << int(NetRoster::SaturdayB) << 0;
        QTest::newRow("Saturday 15th") << QDate(2025, 3, 15) << int(NetRoster::SaturdayC) << 0;
        QTest::newRow("Saturday 21st") << QDate(2024, 12, 21) << int(NetRoster::SaturdayC) << 0;
        QTest::newRow("Monday 5th") << QDate(2026, 1, 5) << int(NetRoster::MondayA) << 1;
        QTest::newRow("Monday 14th") << QDate(2024, 10, 14) << int(NetRoster::MondayA) << 1;
        QTest::newRow("Monday 15th") << QDate(2024, 4, 15) << int(NetRoster::MondayB) << 1;
        QTest::newRow("Monday 31st") << QDate(2025, 3, 31) << int(NetRoster::MondayB) << 1;
        QTest::newRow("Sunday") << QDate(2024, 3, 3) << int(NetRoster::Sunday) << 0;
        QTest::newRow("Tuesday") << QDate(2024, 3, 5) << int(NetRoster::Tuesday) << 2;
        QTest::newRow("Wednesday") << QDate(2024, 3, 6) << int(NetRoster::Wednesday) << 3;
        QTest::newRow("Thursday") << QDate(2024, 3, 7) << int(NetRoster::Thursday) << 4;
        QTest::newRow("Friday") << QDate(2024, 3, 8) << int(NetRoster::Friday) << 5;
    }
    void roster()
    {
        QFETCH(QDate, day);
        QFETCH(int, entry);
        QFETCH(int, range);
        QCOMPARE(int(NetRoster::EntryFor(day)), entry);
        QCOMPARE(NetRoster::LetterRangeIndex(day), range);
    }

    void labelsComeFromTheSettings()
    {
        CScratch scratch;
        CSettings settings(scratch.File(QStringLiteral("Logwarden.ini")), scratch.Path());
        QCOMPARE(NetRoster::Label(settings, QDate(2025, 3, 8)), QStringLiteral("NCS: Saturday B (N0CALL)"));
        settings.Set(Setting::RosterName[8], QStringLiteral("Pat"));
        settings.Set(Setting::RosterCall[8], QStringLiteral("W4PAT"));
        QCOMPARE(NetRoster::Label(settings, QDate(2025, 3, 8)), QStringLiteral("NCS: Pat (W4PAT)"));
        QCOMPARE(NetRoster::Label(settings, QDate(2025, 3, 15)), QStringLiteral("NCS: Saturday C (N0CALL)"));
    }

    void commandIsAnArgumentList()
    {
        const auto c = CTransmitterToggle::BuildCommand(
            QStringLiteral("ssh"), QStringLiteral("bin/TXToggle.bash"), QStringLiteral("pi@tx.example.org"));
        QCOMPARE(c.program, QStringLiteral("ssh"));
        QCOMPARE(c.arguments, (QStringList{"-Y", "--", "pi@tx.example.org", "bin/TXToggle.bash"}));
    }

    void hosts_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("name") << "tx.example.org" << true;
        QTest::newRow("user and host") << "pi@txpi.local" << true;
        QTest::newRow("IPv4") << "192.168.1.20" << true;
        QTest::newRow("IPv6") << "fe80::1" << true;
        QTest::newRow("alias with underscore") << "tx_box" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("option") << "-oProxyCommand=touch /tmp/x" << false;
        QTest::newRow("user as option") << "-l@host" << false;
        QTest::newRow("host as option after user") << "pi@-oProxyCommand=x" << false;
        QTest::newRow("two hosts") << "tx.example.org other" << false;
        QTest::newRow("command separator") << "tx;reboot" << false;
        QTest::newRow("shell substitution") << "$(reboot)" << false;
        QTest::newRow("new line") << "tx\nreboot" << false;
        QTest::newRow("label ending in a hyphen") << "tx-.example.org" << false;
        QTest::newRow("two dots") << "tx..example.org" << false;
        QTest::newRow("empty user") << "@tx" << false;
        QTest::newRow("empty host after user") << "pi@" << false;
        QTest::newRow("too long") << QString(64, QLatin1Char('a')) + ".org" << false;
    }
    void hosts()
    {
        QFETCH(QString, host);
        QFETCH(bool, accepted);
        const QString why = CTransmitterToggle::CheckHost(host);
        QCOMPARE(why.isEmpty(), accepted);
        CScratch scratch;
        CTransmitterToggle toggle;
        QSignalSpy done(&toggle, &CTransmitterToggle::finished);
        const QString program = StandIn(scratch, QStringLiteral("ssh"), "exit 0");
        QString error;
        QCOMPARE(toggle.Start(program, QStringLiteral("bin/TXToggle.bash"), host, 5, &error), accepted);
        if (accepted) {
            QVERIFY(done.wait(5000));
            QCOMPARE(ArgsSeen(scratch), (QStringList{"-Y", "--", host, "bin/TXToggle.bash"}));
        } else {
            // Refused before anything runs.
            QCOMPARE(error, why);
            QVERIFY(!toggle.IsRunning());
            QTest::qWait(50);
            QVERIFY(ArgsSeen(scratch).isEmpty());
        }
    }

    void outcomes_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("message");
        QTest::newRow("success") << QByteArray("exit 0") << true << "Transmitter toggled on tx.example.org.";
        QTest::newRow("exit code with a reason")
            << QByteArray("echo 'first' >&2; echo 'ssh: connect to host tx.example.org port 22: No route to "
                          "host' >&2; exit 255")
            << false
            << "The transmitter command failed on tx.example.org (exit code 255): ssh: connect to host "
               "tx.example.org "
               "port 22: No route to host";
        QTest::newRow("exit code alone") << QByteArray("exit 3") << false
                                         << "The transmitter command failed on tx.example.org (exit code 3).";
        QTest::newRow("killed") << QByteArray("kill -9 $$") << false
                                << "The transmitter command \"%1\" crashed.";
    }
    void outcomes()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, ok);
        QFETCH(QString, message);
        CScratch scratch;
        const QString program = StandIn(scratch, QStringLiteral("ssh"), body);
        CTransmitterToggle toggle;
        QSignalSpy done(&toggle, &CTransmitterToggle::finished);
        QVERIFY(
            toggle.Start(program, QStringLiteral("bin/TXToggle.bash"), QStringLiteral("tx.example.org"), 5));
        QVERIFY(toggle.IsRunning());
        QString error;
        QVERIFY(!toggle.Start(program, QStringLiteral("x"), QStringLiteral("tx.example.org"), 5, &error));
        QCOMPARE(error, QStringLiteral("The transmitter command is still running."));
        QVERIFY(done.wait(5000));
        QCOMPARE(done.size(), 1);
        QCOMPARE(done[0][0].toBool(), ok);
        QCOMPARE(done[0][1].toString(),
                 message.contains(QLatin1String("%1")) ? message.arg(program) : message);
        QVERIFY(!toggle.IsRunning());
    }

    void aProgramThatCannotStartIsReported()
    {
        CScratch scratch;
        CTransmitterToggle toggle;
        QSignalSpy done(&toggle, &CTransmitterToggle::finished);
        const QString missing = scratch.File(QStringLiteral("no-such-ssh"));
        QVERIFY(toggle.Start(missing, QStringLiteral("bin/TXToggle.bash"), QStringLiteral("tx"), 5));
        QVERIFY(done.size() == 1 || done.wait(5000));
        QCOMPARE(done[0][0].toBool(), false);
        QVERIFY2(done[0][1].toString().startsWith(
                     QStringLiteral("Cannot start the transmitter command \"%1\"").arg(missing)),
                 qPrintable(done[0][1].toString()));
    }
};

QTEST_GUILESS_MAIN(TestNetDay)
#include "tst_netday.moc"
