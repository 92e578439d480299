// Settings store, data folder and window placement rules.
#include "core/app/DataFolder.h"
#include "core/app/Placement.h"
#include "core/app/Settings.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QtTest>

using namespace TestSupport;

class TestSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void missingKeysGiveTheirDefaults_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("window left") << "WindowSettings"
                                     << "TopLeftX"
                                     << "200";
        QTest::newRow("window top") << "WindowSettings"
                                    << "TopLeftY"
                                    << "100";
        QTest::newRow("window width") << "WindowSettings"
                                      << "SizeX"
                                      << "875";
        QTest::newRow("window height") << "WindowSettings"
                                       << "SizeY"
                                       << "700";
        QTest::newRow("history bottom") << "WindowSettings"
                                        << "HistBottom"
                                        << "800";
        QTest::newRow("preamble width") << "PreambleSettings"
                                        << "SizeX"
                                        << "1000";
        QTest::newRow("my grid") << "UserSetting"
                                 << "MyGrid"
                                 << "";
        QTest::newRow("first column") << "LogGridSettings"
                                      << "Column00Width"
                                      << "22";
        QTest::newRow("comment column") << "LogGridSettings"
                                        << "Column11Width"
                                        << "400";
        QTest::newRow("unit") << "StorageSettings"
                              << "MeasurementUnit"
                              << "miles";
        QTest::newRow("connect time-out") << "NetSettings"
                                          << "NetConTO"
                                          << "15000";
        QTest::newRow("retries") << "NetSettings"
                                 << "NetRetNum"
                                 << "1";
        QTest::newRow("input file") << "Settings"
                                    << "InputFolder"
                                    << "/data/AM.dat";
        QTest::newRow("output file") << "Settings"
                                     << "OutputFolder"
                                     << "/data/FCC97.db";
        QTest::newRow("storage") << "Settings"
                                 << "StorageLocation"
                                 << "";
        QTest::newRow("report call") << "NetReport"
                                     << "Call"
                                     << "Replace with Your Call Sign";
        QTest::newRow("wave name") << "WaveFile"
                                   << "Name"
                                   << "Test01.wav";
    }
    void missingKeysGiveTheirDefaults()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        CScratch scratch;
        CSettings settings(scratch.File(QStringLiteral("Logwarden.ini")), QStringLiteral("/data"));
        const CSettingDef* setting = CSettings::Find(section, key);
        QVERIFY(setting);
        QCOMPARE(settings.GetString(*setting), expected);
        QVERIFY(!settings.Contains(*setting));
    }

    void everyDefaultOfTheTableReads()
    {
        CScratch scratch;
        CSettings settings(scratch.File(QStringLiteral("Logwarden.ini")), scratch.Path());
        for (const CSettingDef* def : CSettings::Table()) {
            const QString section = QString::fromLatin1(def->section), key = QString::fromLatin1(def->key);
            QVERIFY2(CSettings::Find(section, key) == def, def->key); // no key twice
            if (def->type != CSettingDef::String)
                QCOMPARE(QString::number(settings.GetInt(*def)), settings.GetString(*def));
        }
    }

    void valuesSurviveARestart()
    {
        CScratch scratch;
        const QString ini = scratch.File(QStringLiteral("sub/Logwarden.ini"));
        {
            CSettings settings(ini, scratch.Path());
            settings.SetInt(Setting::WindowWidth, 1024);
            settings.SetString(Setting::MyGrid, QStringLiteral("EM84CX"));
            settings.SetInt(Setting::NetConTO, 2500);
            settings.Sync();
        }
        CSettings settings(ini, scratch.Path());
        QCOMPARE(settings.GetInt(Setting::WindowWidth), 1024);
        QCOMPARE(settings.GetString(Setting::MyGrid), QStringLiteral("EM84CX"));
        QCOMPARE(settings.GetInt(Setting::NetConTO), 2500);
        // Network numbers are kept as text in the file.
        QFile f(ini);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QVERIFY2(text.contains("[NetSettings]") && text.contains("NetConTO=2500"), text.constData());
        QVERIFY(text.contains("[WindowSettings]"));
    }

    void numericTextUsesTheLeadingDigits_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        QTest::newRow("plain") << "15000" << 15000;
        QTest::newRow("leading blanks") << "  42" << 42;
        QTest::newRow("trailing text") << "5000ms" << 5000;
        QTest::newRow("no digits") << "fast" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("negative") << "-5" << -5;
        QTest::newRow("plus sign") << "+7" << 7;
        QTest::newRow("too large") << "99999999999" << 2147483647;
    }
    void numericTextUsesTheLeadingDigits()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        QCOMPARE(CSettings::LeadingDigits(text), expected);
        CScratch scratch;
        CSettings settings(scratch.File(QStringLiteral("Logwarden.ini")), scratch.Path());
        settings.SetString(Setting::NetRecTO, text);
        QCOMPARE(settings.GetInt(Setting::NetRecTO), expected);
    }

    void unknownKeysAreNotInTheTable()
    {
        QVERIFY(!CSettings::Find(QStringLiteral("WindowSettings"), QStringLiteral("TopLeftZ")));
        QVERIFY(!CSettings::Find(QStringLiteral("Nope"), QStringLiteral("SizeX")));
    }

    void placementRange_data()
    {
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("savable");
        QTest::newRow("defaults") << 200 << 100 << 875 << 700 << true;
        QTest::newRow("lowest corner") << -4 << -4 << 1 << 1 << true;
        QTest::newRow("highest") << 1999 << 1999 << 1999 << 1999 << true;
        QTest::newRow("left too small") << -5 << 0 << 800 << 600 << false;
        QTest::newRow("top too large") << 0 << 2000 << 800 << 600 << false;
        QTest::newRow("zero width") << 0 << 0 << 0 << 600 << false;
        QTest::newRow("too tall") << 0 << 0 << 800 << 2000 << false;
        QTest::newRow("minimised far away") << -32000 << -32000 << 160 << 28 << false;
    }
    void placementRange()
    {
        QFETCH(int, left);
        QFETCH(int, top);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, savable);
        QCOMPARE((CPlacement{left, top, width, height}.IsSavable()), savable);
    }

    void dataFolderRule()
    {
        CScratch scratch;
        qputenv("LOGWARDEN_DATA_DIR", scratch.File(QStringLiteral("env")).toLocal8Bit());
        qputenv("XDG_DATA_HOME", scratch.File(QStringLiteral("xdg")).toLocal8Bit());
        QCOMPARE(DataFolder::Resolve({"logwarden", "--data-dir", scratch.File("arg")}), scratch.File("arg"));
        QCOMPARE(DataFolder::Resolve({"logwarden", "--data-dir=" + scratch.File("arg2")}),
                 scratch.File("arg2"));
        QCOMPARE(DataFolder::Resolve({"logwarden"}), scratch.File("env"));
        qunsetenv("LOGWARDEN_DATA_DIR");
        QCOMPARE(DataFolder::Resolve({"logwarden"}), scratch.File("xdg/logwarden"));
        qunsetenv("XDG_DATA_HOME");
        QCOMPARE(DataFolder::Resolve({"logwarden"}), QDir::homePath() + "/.local/share/logwarden");

        const QString original = QDir::currentPath();
        DataFolder::Enter(scratch.File("made/here"));
        QCOMPARE(QDir::currentPath(), scratch.File("made/here"));
        QDir::setCurrent(original);

        qputenv("XDG_CONFIG_HOME", scratch.File("cfg").toLocal8Bit());
        QCOMPARE(CSettings::DefaultPath(), scratch.File("cfg/Logwarden/Logwarden.ini"));
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(CSettings::DefaultPath(), QDir::homePath() + "/.config/Logwarden/Logwarden.ini");
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
