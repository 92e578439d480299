// logwarden-cli qrz-compile, qrz and fcc-status, run as the user runs them.
#include "support/QrzService.h"
#include "support/ServerProcess.h"
#include "support/TestSupport.h"

#include <QtTest>

using namespace TestSupport;

class TestQrzCli : public QObject
{
    Q_OBJECT

    std::unique_ptr<CQrzService> m_qrz;
    std::unique_ptr<CScratch> m_home; // settings and data folder of one test

    // The command with its own settings and data folder, and the password in the environment.
    // A null password leaves the variable out: the keyring is asked, and there is none here.
    CCliRun Cli(const QStringList& args, const QString& password = QStringLiteral("secret"))
    {
        return RunCli(args,
                      {{QStringLiteral("XDG_CONFIG_HOME"), m_home->File(QStringLiteral("config"))},
                       {QStringLiteral("LOGWARDEN_DATA_DIR"), m_home->File(QStringLiteral("data"))},
                       {QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent")},
                       {QStringLiteral("LOGWARDEN_QRZ_PASSWORD"), password}});
    }

    void WriteSettings(const QByteArray& ini)
    {
        QVERIFY(QDir().mkpath(m_home->File(QStringLiteral("config/Logwarden"))));
        WriteFile(m_home->File(QStringLiteral("config/Logwarden/Logwarden.ini")), ini);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(CliPath()), qPrintable(CliPath()));
        m_qrz = std::make_unique<CQrzService>();
    }

    void init()
    {
        m_qrz->Reset();
        m_qrz->AddStation(QStringLiteral("W1AW"),
                          QStringLiteral("<call>W1AW</call><fname>Hiram P</fname><name>Maxim</name>"
                                         "<addr1>225 Main St</addr1><addr2>Newington</addr2><state>CT</state>"
                                         "<country>United States</country><class>E</class><grid>FN31pr</grid>"
                                         "<email>w1aw@example.org</email><expdate>2030-06-01</expdate>"));
        m_home = std::make_unique<CScratch>();
        WriteSettings("[StorageSettings]\nGridSquare=EM84CX\n");
    }

    void compileEndsWithItsCounts()
    {
        const QString csv = m_home->File(QStringLiteral("qrz.csv"));
        WriteFile(csv, QByteArray("CALL,LASTNAME,COUNTRY,").leftJustified(150, ' ') +
                           "\nK1ABC,SMITH,291,JOHN,\n,NOCALL,1,\nW9XYZ,\"DOE, JR\",1,ANN,\n");
        CCliRun run = Cli({QStringLiteral("qrz-compile"), QStringLiteral("--input"), csv,
                           QStringLiteral("--output"), m_home->File(QStringLiteral("out.db"))});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("QRZ: 2 loaded, 2 skipped\n"));
        QVERIFY(QFile::exists(m_home->File(QStringLiteral("out.db"))));

        // Without --output, QRZ97.db beside the CSV file.
        run =
            Cli({QStringLiteral("qrz-compile"), QStringLiteral("--input"), csv, QStringLiteral("--verbose")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(QFile::exists(m_home->File(QStringLiteral("QRZ97.db"))));
        QVERIFY2(run.err.contains(QLatin1String("line 3: CallSign is missing")), qPrintable(run.err));
    }

    void lookUpPrintsWhatThePullFills()
    {
        const CCliRun run = Cli({QStringLiteral("qrz"), QStringLiteral("w1aw"), QStringLiteral("--host"),
                                 m_qrz->HttpHost(), QStringLiteral("--user"), QStringLiteral("n0tst")});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out,
                 QStringLiteral("Name: Maxim, Hiram P\nStreet: 225 Main St\n"
                                "Location: Newington, CT (United States)\nClass: E\nGrid: FN31pr\n"
                                "Email: w1aw@example.org\nExpires: 2030-06-01\nDistance: 760 miles\n"));
        QVERIFY(QFile::exists(m_home->File(QStringLiteral("data/QrzSessionKey.xml"))));
        QVERIFY(QFile::exists(m_home->File(QStringLiteral("data/QrzCallData.xml"))));
    }

    void lookUpTakesTheAccountFromTheSettings()
    {
        WriteSettings(
            QStringLiteral("[QrzAccount]\nXmlHost=%1\nUserName=n0tst\n").arg(m_qrz->HttpHost()).toUtf8());
        const CCliRun run = Cli({QStringLiteral("qrz"), QStringLiteral("W1AW")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.startsWith(QLatin1String("Name: Maxim, Hiram P\n")));
    }

    // "qrz W1AW --host A --user n0cal" then "--host B --user other": A's key goes neither to B nor with
    // the other user; and a callbook's fields cannot print lines of their own.
    void keyStaysWithItsAccount_data()
    {
        QTest::addColumn<bool>("otherHost");
        QTest::addColumn<QString>("user");
        QTest::newRow("another host") << true << "n0tst";
        QTest::newRow("another user") << false << "k2new";
    }
    void keyStaysWithItsAccount()
    {
        QFETCH(bool, otherHost);
        QFETCH(QString, user);
        CQrzService other;
        other.AddStation(QStringLiteral("W1AW"),
                         QStringLiteral("<call>W1AW</call><name>Maxim\nName: Forged</name>"
                                        "<addr1>1|2</addr1>"));
        QCOMPARE(Cli({QStringLiteral("qrz"), QStringLiteral("W1AW"), QStringLiteral("--host"),
                      m_qrz->HttpHost(), QStringLiteral("--user"), QStringLiteral("n0tst")})
                     .exitCode,
                 0);
        m_qrz->ClearLog();
        CQrzService& second = otherHost ? other : *m_qrz;
        second.SetAccount(user, QStringLiteral("secret"));
        if (!otherHost)
            m_qrz->AddStation(QStringLiteral("W1AW"),
                              QStringLiteral("<call>W1AW</call><name>Maxim\nName: Forged</name>"
                                             "<addr1>1|2</addr1>"));
        const CCliRun run = Cli({QStringLiteral("qrz"), QStringLiteral("W1AW"), QStringLiteral("--host"),
                                 second.HttpHost(), QStringLiteral("--user"), user});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(second.Kinds(), (QStringList{"login", "query"}));
        QCOMPARE(
            second.Requests()[0][QStringLiteral("params")].toObject()[QStringLiteral("username")].toString(),
            user);
        QCOMPARE(run.out.split(QLatin1Char('\n')).mid(0, 2),
                 (QStringList{"Name: Maxim\\x0aName: Forged,  ", "Street: 1\\x7c2"}));
    }

    void lookUpFailures_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::newRow("not found") << "N0NONE"
                                   << "secret"
                                   << "logwarden-cli qrz: Not found: N0NONE\n";
        QTest::newRow("wrong password") << "W1AW"
                                        << "wrong"
                                        << "logwarden-cli qrz: Username/password incorrect\n";
        const QString needs = QStringLiteral(
            "logwarden-cli qrz: The QRZ account needs a user name and a password. Give the user name with "
            "--user (or the QrzAccount/UserName setting) and the password in LOGWARDEN_QRZ_PASSWORD or the "
            "desktop keyring (the window's QRZ account dialog keeps it there).");
        QTest::newRow("empty password") << "W1AW"
                                        << "" << needs + "\n";
        QTest::newRow("no password, no keyring")
            << "W1AW" << QString() << needs + " (The keyring cannot be reached: ";
    }
    void lookUpFailures()
    {
        QFETCH(QString, call);
        QFETCH(QString, password);
        QFETCH(QString, message);
        const CCliRun run = Cli({QStringLiteral("qrz"), call, QStringLiteral("--host"), m_qrz->HttpHost(),
                                 QStringLiteral("--user"), QStringLiteral("n0tst")},
                                password);
        QCOMPARE(run.exitCode, 1);
        if (password.isNull())
            QVERIFY2(run.err.startsWith(message), qPrintable(run.err));
        else
            QCOMPARE(run.err, message);
        QCOMPARE(run.out, QString());
    }

    void statusPrintsBothLines()
    {
        m_qrz->SetFccPage("<table><tr><td>l_amat.zip</td><td class=\"note\">123.4 MB</td>"
                          "<td class=\"note\">06/30/2011</td></tr></table>");
        const QStringList args{QStringLiteral("fcc-status"), QStringLiteral("--host"), m_qrz->HttpHost()};
        CCliRun run = Cli(args);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("Available: 06/30/2011 at 123.4 MB\nCurrent: Unknown\n"));
        QVERIFY2(run.err.startsWith(QLatin1String("There is no l_amat.zip in ")), qPrintable(run.err));

        QVERIFY(QDir().mkpath(m_home->File(QStringLiteral("data"))));
        QFile archive(m_home->File(QStringLiteral("data/l_amat.zip")));
        QVERIFY(archive.open(QIODevice::WriteOnly) && archive.resize(123456789));
        QVERIFY(archive.setFileTime(QDateTime(QDate(2011, 7, 3), QTime(12, 0)),
                                    QFileDevice::FileModificationTime));
        archive.close();
        run = Cli(args);
        QCOMPARE(run.out, QStringLiteral("Available: 06/30/2011 at 123.4 MB\nCurrent: 7/3/2011 at 123 MB\n"));

        run = Cli({QStringLiteral("fcc-status"), QStringLiteral("--host"),
                   QStringLiteral("http://127.0.0.1:%1").arg(ClosedPort())});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.out, QStringLiteral("Available: Unknown\nCurrent: 7/3/2011 at 123 MB\n"));
        QVERIFY2(run.err.startsWith(QLatin1String("The FCC's page cannot be read: ")), qPrintable(run.err));
    }
};

QTEST_GUILESS_MAIN(TestQrzCli)
#include "tst_qrzcli.moc"
