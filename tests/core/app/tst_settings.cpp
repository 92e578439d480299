// Settings store, data folder and window placement rules.
#include "core/app/DataFolder.h"
#include "core/app/Placement.h"
#include "core/app/Settings.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QtTest>
#include <limits>
#include <map>
#include <variant>

using namespace TestSupport;

namespace {

// A key of any value type, so that one table can name keys of all of them.
using AnyKey = std::variant<const Key<int>*, const Key<bool>*, const Key<qint64>*, const Key<QString>*>;

// The keys the tables below name, by their place in the file.
AnyKey KeyAt(const QString& path)
{
    static const std::map<QString, AnyKey> keys = {
        {"WindowSettings/SizeX", &Setting::WindowWidth},
        {"WindowSettings/Maximized", &Setting::WindowMaximized},
        {"NetSettings/NetConTO", &Setting::NetConTO},
        {"Settings/DownloadMaxBytes", &Setting::DownloadMaxBytes},
        {"Settings/InputFolder", &Setting::FccInputFile},
        {"UserSetting/MyGrid", &Setting::MyGrid},
        {"NetReport/Call", &Setting::ReportCall},
        {"NetLog/AutoMode", &Setting::NetLogAutoMode},
    };
    return keys.at(path);
}

QVariant Read(const CSettings& settings, const QString& path)
{
    return std::visit([&](auto* key) { return QVariant::fromValue(settings.Get(*key)); }, KeyAt(path));
}

void Write(CSettings& settings, const QString& path, const QVariant& value)
{
    std::visit(
        [&](auto* key) {
            using Value = typename std::remove_pointer_t<decltype(key)>::Value;
            settings.Set(*key, value.value<Value>());
        },
        KeyAt(path));
}

} // namespace

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
        QCOMPARE(settings.DefaultText(*setting), expected);
        QVERIFY(!settings.Contains(*setting));
    }

    void everyDefaultOfTheTableReads()
    {
        CScratch scratch;
        CSettings settings(scratch.File(QStringLiteral("Logwarden.ini")), scratch.Path());
        for (const CSettingDef* def : CSettings::Table()) {
            const QString section = QString::fromLatin1(def->section), key = QString::fromLatin1(def->key);
            QVERIFY2(CSettings::Find(section, key) == def, def->key); // no key twice
            // A number's default is a number as it would stand in the file.
            if (def->storage != SettingStorage::Text)
                QCOMPARE(QString::number(CSettings::LeadingDigits64(settings.DefaultText(*def))),
                         settings.DefaultText(*def));
        }
    }

    void valuesSurviveARestart()
    {
        CScratch scratch;
        const QString ini = scratch.File(QStringLiteral("sub/Logwarden.ini"));
        {
            CSettings settings(ini, scratch.Path());
            settings.Set(Setting::WindowWidth, 1024);
            settings.Set(Setting::MyGrid, QStringLiteral("EM84CX"));
            settings.Set(Setting::NetConTO, 2500);
            settings.Set(Setting::NetLogReverse, true);
            settings.Sync();
        }
        CSettings settings(ini, scratch.Path());
        QCOMPARE(settings.Get(Setting::WindowWidth), 1024);
        QCOMPARE(settings.Get(Setting::MyGrid), QStringLiteral("EM84CX"));
        QCOMPARE(settings.Get(Setting::NetConTO), 2500);
        QCOMPARE(settings.Get(Setting::NetLogReverse), true);
        // Network numbers are kept as text in the file.
        QFile f(ini);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QVERIFY2(text.contains("[NetSettings]") && text.contains("NetConTO=2500"), text.constData());
        QVERIFY(text.contains("[WindowSettings]"));
    }

    void numericTextUsesTheLeadingDigits_data()
    {
        constexpr qint64 kMost = std::numeric_limits<qint64>::max();
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        QTest::addColumn<qint64>("expected64");
        QTest::newRow("plain") << "15000" << 15000 << 15000LL;
        QTest::newRow("leading blanks") << "  42" << 42 << 42LL;
        QTest::newRow("trailing text") << "5000ms" << 5000 << 5000LL;
        QTest::newRow("no digits") << "fast" << 0 << 0LL;
        QTest::newRow("empty") << "" << 0 << 0LL;
        QTest::newRow("negative") << "-5" << -5 << -5LL;
        QTest::newRow("plus sign") << "+7" << 7 << 7LL;
        QTest::newRow("too large") << "99999999999" << 2147483647 << 99999999999LL;
        QTest::newRow("too small") << "-99999999999" << -2147483647 - 1 << -99999999999LL;
        QTest::newRow("too large for 64 bits") << "123456789012345678901234567890" << 2147483647 << kMost;
        QTest::newRow("least 64-bit") << "-9223372036854775808" << -2147483647 - 1 << -kMost - 1;
        QTest::newRow("below the least") << "-9223372036854775809" << -2147483647 - 1 << -kMost - 1;
    }
    void numericTextUsesTheLeadingDigits()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        QFETCH(qint64, expected64);
        QCOMPARE(CSettings::LeadingDigits(text), expected);
        QCOMPARE(CSettings::LeadingDigits64(text), expected64);
    }

    // Files written by earlier versions, or by hand, read as they always did.
    void storedTextReads_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QVariant>("stored"); // invalid: not in the file
        QTest::addColumn<QVariant>("expected");
        QTest::newRow("number missing") << "WindowSettings/SizeX" << QVariant() << QVariant(875);
        QTest::newRow("number") << "WindowSettings/SizeX" << QVariant("1024") << QVariant(1024);
        QTest::newRow("number as text") << "NetSettings/NetConTO" << QVariant("750ms") << QVariant(750);
        QTest::newRow("text missing, data folder")
            << "Settings/InputFolder" << QVariant() << QVariant("/data/AM.dat");
        QTest::newRow("text missing")
            << "NetReport/Call" << QVariant() << QVariant("Replace with Your Call Sign");
        QTest::newRow("text") << "UserSetting/MyGrid" << QVariant("EM84CX") << QVariant("EM84CX");
        QTest::newRow("text of digits") << "UserSetting/MyGrid" << QVariant("0042") << QVariant("0042");
        QTest::newRow("flag missing") << "WindowSettings/Maximized" << QVariant() << QVariant(false);
        QTest::newRow("flag 1") << "WindowSettings/Maximized" << QVariant("1") << QVariant(true);
        QTest::newRow("flag 0") << "WindowSettings/Maximized" << QVariant("0") << QVariant(false);
        QTest::newRow("flag 2") << "NetLog/AutoMode" << QVariant("2") << QVariant(true);
        QTest::newRow("flag of words") << "NetLog/AutoMode" << QVariant("true") << QVariant(false);
        QTest::newRow("64-bit missing")
            << "Settings/DownloadMaxBytes" << QVariant() << QVariant::fromValue(qint64(1073741824));
        QTest::newRow("64-bit") << "Settings/DownloadMaxBytes" << QVariant("5000000000")
                                << QVariant::fromValue(qint64(5000000000));
        QTest::newRow("64-bit with a unit")
            << "Settings/DownloadMaxBytes" << QVariant(" 2048 bytes") << QVariant::fromValue(qint64(2048));
    }
    void storedTextReads()
    {
        QFETCH(QString, path);
        QFETCH(QVariant, stored);
        QFETCH(QVariant, expected);
        CScratch scratch;
        const QString ini = scratch.File(QStringLiteral("Logwarden.ini"));
        if (stored.isValid()) {
            QSettings file(ini, QSettings::IniFormat);
            file.setValue(path, stored);
        }
        const CSettings settings(ini, QStringLiteral("/data"));
        QCOMPARE(Read(settings, path), expected);
    }

    // What is written stands in the file as earlier versions wrote it, and reads back the same.
    void writesKeepTheStoredForm_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("line");
        QTest::newRow("number") << "WindowSettings/SizeX" << QVariant(1024) << "SizeX=1024";
        QTest::newRow("negative number") << "WindowSettings/SizeX" << QVariant(-4) << "SizeX=-4";
        QTest::newRow("number as text") << "NetSettings/NetConTO" << QVariant(2500) << "NetConTO=2500";
        QTest::newRow("flag set") << "WindowSettings/Maximized" << QVariant(true) << "Maximized=1";
        QTest::newRow("flag clear") << "NetLog/AutoMode" << QVariant(false) << "AutoMode=0";
        QTest::newRow("64-bit") << "Settings/DownloadMaxBytes" << QVariant::fromValue(qint64(5000000000))
                                << "DownloadMaxBytes=5000000000";
        QTest::newRow("text") << "UserSetting/MyGrid" << QVariant("EM84CX") << "MyGrid=EM84CX";
    }
    void writesKeepTheStoredForm()
    {
        QFETCH(QString, path);
        QFETCH(QVariant, value);
        QFETCH(QString, line);
        CScratch scratch;
        const QString ini = scratch.File(QStringLiteral("Logwarden.ini"));
        {
            CSettings settings(ini, scratch.Path());
            Write(settings, path, value);
            settings.Sync();
        }
        QFile f(ini);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        QVERIFY2(text.split('\n').contains(line), qPrintable(text));
        const CSettings settings(ini, scratch.Path());
        QCOMPARE(Read(settings, path), value);
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
