// Test labels: threads
// The rig: addresses as the settings and the command line give them, the radio's frequency and mode in
// ADIF's terms, and the controller against a real rigctld serving Hamlib's dummy radio.
#include "core/rig/RigAddress.h"
#include "core/rig/RigAdif.h"
#include "core/rig/RigController.h"
#include "support/RigServer.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>
#include <memory>

using namespace TestSupport;

namespace {

// The longest stretch the owner's thread went without running its timer: a thread that waited for the
// radio shows it.
class CTicker
{
public:
    CTicker()
    {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this] { m_longest = std::max(m_longest, m_since.restart()); });
        m_since.start();
        m_timer.start();
    }
    qint64 LongestGapMs() const { return std::max(m_longest, m_since.elapsed()); }

private:
    QTimer m_timer;
    QElapsedTimer m_since;
    qint64 m_longest = 0;
};

} // namespace

class TestRig : public QObject
{
    Q_OBJECT

    std::unique_ptr<CRigServer> StartServer(const QString& pttType = QStringLiteral("RIG"))
    {
        auto server = std::make_unique<CRigServer>(pttType);
        if (!server->Error().isEmpty())
            qWarning("%s", qPrintable(server->Error()));
        return server;
    }

    // A controller on the server that has answered once.
    static std::unique_ptr<CRigController> Connect(const CRigServer& server,
                                                   int timeOutMs = CRigController::kDefaultTimeOutMs)
    {
        auto rig = std::make_unique<CRigController>(nullptr, timeOutMs);
        rig->SetAddress(CRigAddress::Network(QStringLiteral("127.0.0.1"), server.Port()));
        return rig;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!CRigServer::Available())
            QSKIP("rigctld and rigctl are not installed (Debian's libhamlib-utils)");
    }

    void addressReading_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("readBack"); // ToString(); empty when it is not an address
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("pathName");
        QTest::addColumn<int>("speed");
        QTest::addColumn<QString>("error"); // part of the error text

        QTest::newRow("rigctld by address") << "127.0.0.1:4532"
                                            << "127.0.0.1:4532" << 2 << "127.0.0.1:4532" << 0 << "";
        QTest::newRow("rigctld by name, blanks around")
            << "  shack-pi.local:4533 "
            << "shack-pi.local:4533" << 2 << "shack-pi.local:4533" << 0 << "";
        QTest::newRow("rigctld over IPv6") << "[::1]:4532"
                                           << "[::1]:4532" << 2 << "[::1]:4532" << 0 << "";
        QTest::newRow("a radio with its speed")
            << "1035:/dev/ttyUSB0@9600"
            << "1035:/dev/ttyUSB0@9600" << 1035 << "/dev/ttyUSB0" << 9600 << "";
        QTest::newRow("a radio at its own speed") << "3073:/dev/serial/by-id/usb-Icom_IC-7300"
                                                  << "3073:/dev/serial/by-id/usb-Icom_IC-7300" << 3073
                                                  << "/dev/serial/by-id/usb-Icom_IC-7300" << 0 << "";
        QTest::newRow("nothing: no rig") << ""
                                         << "" << 0 << "" << 0 << "";

        QTest::newRow("no port") << "127.0.0.1"
                                 << "" << 0 << "" << 0 << "HOST:PORT";
        QTest::newRow("an empty port") << "localhost:"
                                       << "" << 0 << "" << 0 << "from 1 to 65535";
        QTest::newRow("port out of range") << "localhost:70000"
                                           << "" << 0 << "" << 0 << "from 1 to 65535";
        QTest::newRow("port zero") << "localhost:0"
                                   << "" << 0 << "" << 0 << "from 1 to 65535";
        QTest::newRow("port with letters") << "localhost:45x2"
                                           << "" << 0 << "" << 0 << "from 1 to 65535";
        QTest::newRow("a blank inside") << "shack pi:4532"
                                        << "" << 0 << "" << 0 << "blank";
        QTest::newRow("a host like an option") << "-oProxy:4532"
                                               << "" << 0 << "" << 0 << "not a host name";
        QTest::newRow("IPv6 without brackets' end") << "[::1:4532"
                                                    << "" << 0 << "" << 0 << "[ADDRESS]:PORT";
        QTest::newRow("a device that is no path") << "1035:ttyUSB0"
                                                  << "" << 0 << "" << 0 << "/dev/ttyUSB0";
        QTest::newRow("an odd speed") << "1035:/dev/ttyUSB0@9601"
                                      << "" << 0 << "" << 0 << "not a serial speed";
        QTest::newRow("a speed that is no number") << "1035:/dev/ttyUSB0@fast"
                                                   << "" << 0 << "" << 0 << "not a serial speed";
        QTest::newRow("a model Hamlib does not know")
            << "999999:/dev/ttyUSB0"
            << "" << 0 << "" << 0 << "no radio model of Hamlib's list";
        QTest::newRow("rigctld's model on a serial port") << "2:/dev/ttyUSB0"
                                                          << "" << 0 << "" << 0 << "give its HOST:PORT";
    }
    void addressReading()
    {
        QFETCH(QString, text);
        QFETCH(QString, readBack);
        QFETCH(int, model);
        QFETCH(QString, pathName);
        QFETCH(int, speed);
        QFETCH(QString, error);
        QString why = QStringLiteral("(untouched)");
        const CRigAddress address = CRigAddress::Parse(text, &why);
        QCOMPARE(address.IsSet(), !readBack.isEmpty());
        if (error.isEmpty()) {
            QCOMPARE(why, QString());
        } else {
            QVERIFY2(why.contains(error), qPrintable(why));
            QVERIFY2(why.contains(text.trimmed()), qPrintable(why)); // says which input
        }
        QCOMPARE(address.ToString(), readBack);
        QCOMPARE(address.Model(), model);
        QCOMPARE(address.PathName(), pathName);
        QCOMPARE(address.Speed(), speed);
        // What is written back reads as the same address.
        QCOMPARE(CRigAddress::Parse(address.ToString()), address);
    }

    void bandAndFrequency_data()
    {
        QTest::addColumn<qint64>("hz");
        QTest::addColumn<QString>("band");
        QTest::addColumn<QString>("freq");
        QTest::newRow("2 m repeater") << qint64(146'610'000) << "2m"
                                      << "146.61";
        QTest::newRow("40 m") << qint64(7'100'000) << "40m"
                              << "7.1";
        QTest::newRow("20 m to the Hz") << qint64(14'074'001) << "20m"
                                        << "14.074001";
        QTest::newRow("80 m") << qint64(3'900'000) << "80m"
                              << "3.9";
        QTest::newRow("70 cm") << qint64(446'000'000) << "70cm"
                               << "446";
        QTest::newRow("160 m, lower edge") << qint64(1'800'000) << "160m"
                                           << "1.8";
        QTest::newRow("10 m, upper edge") << qint64(29'700'000) << "10m"
                                          << "29.7";
        QTest::newRow("just above 10 m") << qint64(29'700'001) << ""
                                         << "29.700001";
        QTest::newRow("6 m against 5 m") << qint64(54'000'000) << "6m"
                                         << "54";
        QTest::newRow("60 m channel") << qint64(5'357'000) << "60m"
                                      << "5.357";
        QTest::newRow("1.25 m") << qint64(223'500'000) << "1.25m"
                                << "223.5";
        QTest::newRow("23 cm") << qint64(1'296'200'000) << "23cm"
                               << "1296.2";
        QTest::newRow("3 cm") << qint64(10'368'100'000) << "3cm"
                              << "10368.1";
        QTest::newRow("broadcast FM, no band") << qint64(98'100'000) << ""
                                               << "98.1";
        QTest::newRow("nothing") << qint64(0) << ""
                                 << "";
        QTest::newRow("below zero") << qint64(-7'100'000) << ""
                                    << "";
    }
    void bandAndFrequency()
    {
        QFETCH(qint64, hz);
        QFETCH(QString, band);
        QFETCH(QString, freq);
        QCOMPARE(RigAdif::Band(hz), band);
        QCOMPARE(RigAdif::FrequencyMHz(hz), freq);
    }

    void adifMode_data()
    {
        QTest::addColumn<QString>("hamlib");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("submode");
        QTest::newRow("FM") << "FM"
                            << "FM"
                            << "";
        QTest::newRow("narrow FM") << "FMN"
                                   << "FM"
                                   << "";
        QTest::newRow("AM") << "AM"
                            << "AM"
                            << "";
        QTest::newRow("synchronous AM") << "SAM"
                                        << "AM"
                                        << "";
        QTest::newRow("upper sideband") << "USB"
                                        << "SSB"
                                        << "USB";
        QTest::newRow("lower sideband") << "LSB"
                                        << "SSB"
                                        << "LSB";
        QTest::newRow("CW reverse") << "CWR"
                                    << "CW"
                                    << "";
        QTest::newRow("RTTY reverse") << "RTTYR"
                                      << "RTTY"
                                      << "";
        QTest::newRow("PSK") << "PSK"
                             << "PSK"
                             << "PSK31";
        QTest::newRow("FM packet") << "PKTFM"
                                   << "PKT"
                                   << "";
        QTest::newRow("FM packet, Hamlib's newer name") << "FM-D"
                                                        << "PKT"
                                                        << "";
        QTest::newRow("D-STAR") << "D-STAR"
                                << "DIGITALVOICE"
                                << "DSTAR";
        QTest::newRow("C4FM") << "C4FM"
                              << "DIGITALVOICE"
                              << "C4FM";
        QTest::newRow("data on USB names no mode") << "PKTUSB"
                                                   << ""
                                                   << "";
        QTest::newRow("data on LSB names no mode") << "PKTLSB"
                                                   << ""
                                                   << "";
        QTest::newRow("nothing") << ""
                                 << ""
                                 << "";
        QTest::newRow("lower case") << "usb"
                                    << "SSB"
                                    << "USB";
    }
    void adifMode()
    {
        QFETCH(QString, hamlib);
        QFETCH(QString, mode);
        QFETCH(QString, submode);
        const RigAdif::CMode adif = RigAdif::Mode(hamlib);
        QCOMPARE(adif.mode, mode);
        QCOMPARE(adif.submode, submode);
    }

    // What is done at the radio's knobs shows in the status within a poll or two.
    void radioShowsInTheStatus_data()
    {
        QTest::addColumn<QStringList>("rigctl");
        QTest::addColumn<qint64>("hz");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("text");
        QTest::newRow("as it starts") << QStringList() << qint64(145'000'000) << "FM"
                                      << "Rig: 145.000 MHz FM";
        QTest::newRow("the net's repeater")
            << QStringList{QStringLiteral("F"), QStringLiteral("146610000")} << qint64(146'610'000) << "FM"
            << "Rig: 146.610 MHz FM";
        QTest::newRow("20 m sideband")
            << QStringList{QStringLiteral("F"), QStringLiteral("14200000"), QStringLiteral("M"),
                           QStringLiteral("USB"), QStringLiteral("2400")}
            << qint64(14'200'000) << "USB"
            << "Rig: 14.200 MHz USB";
        QTest::newRow("80 m, the Hz kept")
            << QStringList{QStringLiteral("F"), QStringLiteral("3912345"), QStringLiteral("M"),
                           QStringLiteral("LSB"), QStringLiteral("2400")}
            << qint64(3'912'345) << "LSB"
            << "Rig: 3.912 MHz LSB";
    }
    void radioShowsInTheStatus()
    {
        QFETCH(QStringList, rigctl);
        QFETCH(qint64, hz);
        QFETCH(QString, mode);
        QFETCH(QString, text);
        const auto server = StartServer();
        QVERIFY2(server->Error().isEmpty(), qPrintable(server->Error()));
        const auto rig = Connect(*server);
        QSignalSpy changes(rig.get(), &CRigController::statusChanged);
        QTRY_VERIFY_WITH_TIMEOUT(rig->Status().connected, 5000);
        if (!rigctl.isEmpty())
            server->Rigctl(rigctl);
        QTRY_COMPARE_WITH_TIMEOUT(rig->Status().Text(), text, 3000);
        QCOMPARE(rig->Status().frequencyHz, hz);
        QCOMPARE(rig->Status().mode, mode);
        QCOMPARE(rig->Status().ptt, false);
        QCOMPARE(changes.last().at(0).value<CRigStatus>(), rig->Status());
    }

    // A command reaches the radio, and what is reported is what the radio says afterwards.
    void commandsReachTheRadio_data()
    {
        QTest::addColumn<QString>("pttType");
        QTest::addColumn<QString>("command");
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QString>("query");  // rigctl's reading afterwards
        QTest::addColumn<QString>("answer"); // ... and what it must say
        QTest::addColumn<bool>("ptt");       // the PTT reported
        QTest::addColumn<QString>("text");   // the status
        QTest::newRow("PTT keyed") << "RIG"
                                   << "ptt" << qint64(1) << "t"
                                   << "1" << true << "Rig: 145.000 MHz FM";
        QTest::newRow("PTT keyed, then unkeyed") << "RIG"
                                                 << "ptt" << qint64(0) << "t"
                                                 << "0" << false << "Rig: 145.000 MHz FM";
        QTest::newRow("frequency set") << "RIG"
                                       << "freq" << qint64(146'610'000) << "f"
                                       << "146610000" << false << "Rig: 146.610 MHz FM";
        QTest::newRow("a radio that cannot key")
            << "NONE"
            << "ptt" << qint64(1) << "f"
            << "145000000" << false << "Rig: PTT refused: Invalid parameter";
    }
    void commandsReachTheRadio()
    {
        QFETCH(QString, pttType);
        QFETCH(QString, command);
        QFETCH(qint64, value);
        QFETCH(QString, query);
        QFETCH(QString, answer);
        QFETCH(bool, ptt);
        QFETCH(QString, text);
        const auto server = StartServer(pttType);
        QVERIFY2(server->Error().isEmpty(), qPrintable(server->Error()));
        const auto rig = Connect(*server);
        QSignalSpy finished(rig.get(), &CRigController::finished);
        if (command == QLatin1String("ptt") && value == 0) {
            // Unkeying means something only after a key.
            const int keyed = rig->SetPtt(true);
            QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), 5000);
            QCOMPARE(finished.takeFirst().at(0).toInt(), keyed);
            QCOMPARE(server->Rigctl({QStringLiteral("t")}), QStringLiteral("1"));
        }
        const int request =
            command == QLatin1String("ptt") ? rig->SetPtt(value != 0) : rig->SetFrequency(value);
        QVERIFY(request > 0);
        QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), 5000);
        const QList<QVariant> done = finished.takeFirst();
        QCOMPARE(done.at(0).toInt(), request);
        const CRigStatus status = done.at(1).value<CRigStatus>();
        QVERIFY2(status.connected, qPrintable(status.error));
        QCOMPARE(status.ptt, ptt);
        QCOMPARE(status.Text(), text);
        QCOMPARE(server->Rigctl({query}), answer);
        // The refusal stays in view at the polls that follow, until the next command.
        QTest::qWait(1500);
        QCOMPARE(rig->Status().Text(), text);
    }

    // A PTT keyed through the controller is not left on when it goes, unless that is asked for (the
    // command line's "ptt on").
    void closingReleasesThePtt_data()
    {
        QTest::addColumn<bool>("release");
        QTest::addColumn<QString>("afterwards");
        QTest::newRow("released") << true << "0";
        QTest::newRow("left keyed when asked") << false << "1";
    }
    void closingReleasesThePtt()
    {
        QFETCH(bool, release);
        QFETCH(QString, afterwards);
        const auto server = StartServer();
        QVERIFY2(server->Error().isEmpty(), qPrintable(server->Error()));
        auto rig = Connect(*server);
        rig->SetReleasePttOnClose(release);
        QSignalSpy finished(rig.get(), &CRigController::finished);
        rig->SetPtt(true);
        QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), 5000);
        const CRigStatus keyed = finished.first().at(1).value<CRigStatus>();
        QVERIFY2(keyed.ptt, qPrintable(keyed.Text() + QLatin1Char(' ') + keyed.error));
        rig.reset();
        QCOMPARE(server->Rigctl({QStringLiteral("t")}), afterwards);
    }

    // A radio that stops answering (rigctld killed, or frozen so that it takes connections and answers
    // nothing) is said to be so, the owner's thread never waits for it, and the radio is found again when
    // it is back.
    void lostRadio_data()
    {
        QTest::addColumn<bool>("frozen");
        QTest::newRow("stopped") << false;
        QTest::newRow("never answers") << true;
    }
    void lostRadio()
    {
        QFETCH(bool, frozen);
        const int timeOutMs = 2000;
        const auto server = StartServer();
        QVERIFY2(server->Error().isEmpty(), qPrintable(server->Error()));
        auto rig = Connect(*server, timeOutMs);
        QTRY_VERIFY_WITH_TIMEOUT(rig->Status().connected, 5000);
        server->Rigctl({QStringLiteral("F"), QStringLiteral("146610000")});
        QTRY_COMPARE_WITH_TIMEOUT(rig->Status().Text(), QStringLiteral("Rig: 146.610 MHz FM"), 3000);

        if (frozen)
            server->Pause();
        else
            server->Kill();
        CTicker ticker;
        QTRY_COMPARE_WITH_TIMEOUT(rig->Status().Text(), QStringLiteral("Rig: not answering"), 10000);
        QVERIFY2(!rig->Status().error.isEmpty(), "says why");
        // Commands to a radio that does not answer are answered "not answering", in their turn.
        QSignalSpy finished(rig.get(), &CRigController::finished);
        const int request = rig->SetPtt(true);
        QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), 15000);
        QCOMPARE(finished.first().at(0).toInt(), request);
        QVERIFY(!finished.first().at(1).value<CRigStatus>().connected);
        QVERIFY2(ticker.LongestGapMs() < timeOutMs,
                 qPrintable(
                     QStringLiteral("the owner's thread stood still for %1 ms").arg(ticker.LongestGapMs())));

        // Back again: a frozen rigctld keeps its radio, a new one starts afresh.
        if (frozen) {
            server->Resume();
            QTRY_COMPARE_WITH_TIMEOUT(rig->Status().Text(), QStringLiteral("Rig: 146.610 MHz FM"), 15000);
        } else {
            QVERIFY2(server->Start(), qPrintable(server->Error()));
            QTRY_COMPARE_WITH_TIMEOUT(rig->Status().Text(), QStringLiteral("Rig: 145.000 MHz FM"), 15000);
        }

        // Going away while the radio keeps it waiting does not wait for the radio.
        server->Pause();
        QTest::qWait(300);
        rig->Refresh();
        QTest::qWait(300);
        QElapsedTimer closing;
        closing.start();
        rig.reset();
        QVERIFY2(closing.elapsed() < timeOutMs, qPrintable(QString::number(closing.elapsed())));
        server->Resume();
    }

    // With the rig taken away, the status says so and the radio is no longer polled.
    void noRigNoPolling()
    {
        const auto server = StartServer();
        QVERIFY2(server->Error().isEmpty(), qPrintable(server->Error()));
        const auto rig = Connect(*server);
        QTRY_VERIFY_WITH_TIMEOUT(rig->Status().connected, 5000);
        QSignalSpy changes(rig.get(), &CRigController::statusChanged);
        rig->SetAddress(CRigAddress());
        QCOMPARE(changes.size(), 1);
        QCOMPARE(rig->Status().Text(), QStringLiteral("Rig: none"));
        QCOMPARE(rig->SetPtt(true), 0);
        server->Rigctl({QStringLiteral("F"), QStringLiteral("7100000")});
        QTest::qWait(2500);
        QCOMPARE(changes.size(), 1);
        QCOMPARE(server->Rigctl({QStringLiteral("t")}), QStringLiteral("0"));
    }
};

QTEST_GUILESS_MAIN(TestRig)
#include "tst_rig.moc"
