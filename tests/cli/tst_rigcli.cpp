// logwarden-cli rig against a real rigctld serving Hamlib's dummy radio.
#include "support/RigServer.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QtTest>

using namespace TestSupport;

class TestRigCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!CRigServer::Available())
            QSKIP("rigctld and rigctl are not installed (Debian's libhamlib-utils)");
    }

    void rigVerb_data()
    {
        QTest::addColumn<QString>("pttType");
        QTest::addColumn<QStringList>("before"); // rigctl at the radio first
        QTest::addColumn<QStringList>("args");   // after "rig --rig ADDRESS"
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");    // part of standard error
        QTest::addColumn<QString>("query");  // rigctl's reading afterwards
        QTest::addColumn<QString>("answer"); // ... and what it must say
        const QStringList none;
        QTest::newRow("status") << "RIG" << none << QStringList{QStringLiteral("status")} << 0
                                << "145000000|FM|0"
                                << ""
                                << "f"
                                << "145000000";
        QTest::newRow("status after the knobs were turned")
            << "RIG" << QStringList{QStringLiteral("F"),   QStringLiteral("14200000"), QStringLiteral("M"),
                                    QStringLiteral("USB"), QStringLiteral("2400"),     QStringLiteral("T"),
                                    QStringLiteral("1")}
            << QStringList{QStringLiteral("status")} << 0 << "14200000|USB|1"
            << ""
            << "t"
            << "1";
        QTest::newRow("frequency read")
            << "RIG" << none << QStringList{QStringLiteral("freq")} << 0 << "145000000|FM|0"
            << ""
            << "f"
            << "145000000";
        QTest::newRow("frequency set")
            << "RIG" << none << QStringList{QStringLiteral("freq"), QStringLiteral("146610000")} << 0
            << "146610000|FM|0"
            << ""
            << "f"
            << "146610000";
        QTest::newRow("PTT keyed, and it stays keyed")
            << "RIG" << none << QStringList{QStringLiteral("ptt"), QStringLiteral("on")} << 0
            << "145000000|FM|1"
            << ""
            << "t"
            << "1";
        QTest::newRow("PTT unkeyed") << "RIG" << QStringList{QStringLiteral("T"), QStringLiteral("1")}
                                     << QStringList{QStringLiteral("ptt"), QStringLiteral("off")} << 0
                                     << "145000000|FM|0"
                                     << ""
                                     << "t"
                                     << "0";
        QTest::newRow("a radio that cannot key")
            << "NONE" << none << QStringList{QStringLiteral("ptt"), QStringLiteral("on")} << 1
            << "145000000|FM|0"
            << "PTT refused: Invalid parameter"
            << "f"
            << "145000000";
    }
    void rigVerb()
    {
        QFETCH(QString, pttType);
        QFETCH(QStringList, before);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(QString, query);
        QFETCH(QString, answer);
        CRigServer server(pttType);
        QVERIFY2(server.Error().isEmpty(), qPrintable(server.Error()));
        if (!before.isEmpty())
            server.Rigctl(before);
        const CCliRun run =
            RunCli(QStringList{QStringLiteral("rig"), QStringLiteral("--rig"), server.Address()} + args);
        QVERIFY2(run.exitCode == exitCode, qPrintable(run.err));
        QCOMPARE(run.out.trimmed(), out);
        if (err.isEmpty())
            QCOMPARE(run.err, QString());
        else
            QVERIFY2(run.err.contains(err), qPrintable(run.err));
        QCOMPARE(server.Rigctl({query}), answer);
    }

    void badInput_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("err");
        QTest::newRow("no --rig") << QStringList{QStringLiteral("status")} << "--rig is required";
        QTest::newRow("no port") << QStringList{QStringLiteral("--rig"), QStringLiteral("127.0.0.1"),
                                                QStringLiteral("status")}
                                 << "HOST:PORT";
        QTest::newRow("port out of range")
            << QStringList{QStringLiteral("--rig"), QStringLiteral("localhost:70000"),
                           QStringLiteral("status")}
            << "from 1 to 65535";
        QTest::newRow("a model Hamlib does not know")
            << QStringList{QStringLiteral("--rig"), QStringLiteral("999999:/dev/ttyUSB0"),
                           QStringLiteral("status")}
            << "no radio model";
        QTest::newRow("nothing to do")
            << QStringList{QStringLiteral("--rig"), QStringLiteral("localhost:4532")} << "say what to do";
        QTest::newRow("unknown subcommand")
            << QStringList{QStringLiteral("--rig"), QStringLiteral("localhost:4532"), QStringLiteral("tune")}
            << "unknown subcommand 'tune'";
        QTest::newRow("ptt, neither on nor off")
            << QStringList{QStringLiteral("--rig"), QStringLiteral("localhost:4532"), QStringLiteral("ptt"),
                           QStringLiteral("maybe")}
            << "\"ptt on\" or \"ptt off\"";
        QTest::newRow("a frequency in MHz")
            << QStringList{QStringLiteral("--rig"), QStringLiteral("localhost:4532"), QStringLiteral("freq"),
                           QStringLiteral("146.61")}
            << "in Hz";
        QTest::newRow("a frequency of nothing")
            << QStringList{QStringLiteral("--rig"), QStringLiteral("localhost:4532"), QStringLiteral("freq"),
                           QStringLiteral("0")}
            << "in Hz";
        QTest::newRow("an unknown option")
            << QStringList{QStringLiteral("--rig"), QStringLiteral("localhost:4532"),
                           QStringLiteral("--speed"), QStringLiteral("status")}
            << "unknown option --speed";
    }
    void badInput()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, err);
        const CCliRun run = RunCli(QStringList{QStringLiteral("rig")} + args);
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.out, QString());
        QVERIFY2(run.err.contains(err), qPrintable(run.err));
        QVERIFY2(run.err.contains(QLatin1String("Usage: logwarden-cli rig")), qPrintable(run.err));
    }

    // A rig that is gone or silent ends the command with an error instead of keeping it waiting.
    void deadRig_data()
    {
        QTest::addColumn<bool>("frozen");
        QTest::addColumn<QStringList>("args");
        QTest::newRow("nothing listens, status") << false << QStringList{QStringLiteral("status")};
        QTest::newRow("nothing listens, ptt on")
            << false << QStringList{QStringLiteral("ptt"), QStringLiteral("on")};
        QTest::newRow("never answers, status") << true << QStringList{QStringLiteral("status")};
        QTest::newRow("never answers, freq")
            << true << QStringList{QStringLiteral("freq"), QStringLiteral("7100000")};
    }
    void deadRig()
    {
        QFETCH(bool, frozen);
        QFETCH(QStringList, args);
        CRigServer server;
        QVERIFY2(server.Error().isEmpty(), qPrintable(server.Error()));
        if (frozen)
            server.Pause();
        else
            server.Kill();
        QElapsedTimer took;
        took.start();
        const CCliRun run =
            RunCli(QStringList{QStringLiteral("rig"), QStringLiteral("--rig"), server.Address()} + args);
        // Well short of a hang: Hamlib's time-out is a second, the command's own limit a few.
        QVERIFY2(took.elapsed() < 15000, qPrintable(QString::number(took.elapsed())));
        server.Resume();
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.out, QString());
        QVERIFY2(run.err.contains(QStringLiteral("the rig at %1 is not answering").arg(server.Address())),
                 qPrintable(run.err));
    }
};

QTEST_GUILESS_MAIN(TestRigCli)
#include "tst_rigcli.moc"
