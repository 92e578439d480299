#include "core/app/Settings.h"

#include <QDir>
#include <stdexcept>

namespace {

// Every setting, with its type and default.
const std::vector<CSettingDef> kSettings = {
    // Main window placement, pixels.
    {"WindowSettings", "TopLeftX", CSettingDef::Integer, "200"},
    {"WindowSettings", "TopLeftY", CSettingDef::Integer, "100"},
    {"WindowSettings", "SizeX", CSettingDef::Integer, "875"},
    {"WindowSettings", "SizeY", CSettingDef::Integer, "700"},
    // Which bars are shown and where (the main window's own encoding).
    {"LogwardenApp", "BarState", CSettingDef::String, ""},
    // History dialog rectangle, screen coordinates.
    {"WindowSettings", "HistLeft", CSettingDef::Integer, "100"},
    {"WindowSettings", "HistTop", CSettingDef::Integer, "100"},
    {"WindowSettings", "HistRight", CSettingDef::Integer, "600"},
    {"WindowSettings", "HistBottom", CSettingDef::Integer, "800"},
    // Net preamble window.
    {"PreambleSettings", "TopLeftX", CSettingDef::Integer, "100"},
    {"PreambleSettings", "TopLeftY", CSettingDef::Integer, "50"},
    {"PreambleSettings", "SizeX", CSettingDef::Integer, "1000"},
    {"PreambleSettings", "SizeY", CSettingDef::Integer, "700"},
    // 1 once the sample preamble was put into the data folder: it is offered once, never again.
    {"PreambleSettings", "SampleInstalled", CSettingDef::Integer, "0"},
    // The operator's own grid square.
    {"UserSetting", "MyGrid", CSettingDef::String, ""},
    // Widths of the day list's twelve columns.
    {"LogGridSettings", "Column00Width", CSettingDef::Integer, "20"},
    {"LogGridSettings", "Column01Width", CSettingDef::Integer, "30"},
    {"LogGridSettings", "Column02Width", CSettingDef::Integer, "40"},
    {"LogGridSettings", "Column03Width", CSettingDef::Integer, "80"},
    {"LogGridSettings", "Column04Width", CSettingDef::Integer, "180"},
    {"LogGridSettings", "Column05Width", CSettingDef::Integer, "180"},
    {"LogGridSettings", "Column06Width", CSettingDef::Integer, "180"},
    {"LogGridSettings", "Column07Width", CSettingDef::Integer, "40"},
    {"LogGridSettings", "Column08Width", CSettingDef::Integer, "80"},
    {"LogGridSettings", "Column09Width", CSettingDef::Integer, "40"},
    {"LogGridSettings", "Column10Width", CSettingDef::Integer, "40"},
    {"LogGridSettings", "Column11Width", CSettingDef::Integer, "500"},
    // Home grid and unit of the callbook look-up's distance.
    {"StorageSettings", "GridSquare", CSettingDef::String, ""},
    {"StorageSettings", "MeasurementUnit", CSettingDef::String, "miles"},
    // FCC licence database: input file, database to build, folder of the downloaded archive.
    {"Settings", "InputFolder", CSettingDef::String, "%s/AM.dat"},
    {"Settings", "OutputFolder", CSettingDef::String, "%s/FCC97.db"},
    {"Settings", "StorageLocation", CSettingDef::String, ""},
    // Where "DLoad" fetches the FCC's complete amateur licence archive from (http, https or ftp).
    {"Settings", "FccArchiveUrl", CSettingDef::String, "https://data.fcc.gov/download/pub/uls/complete/l_amat.zip"},
    // Web hosts of the FCC licence page and the QRZ callbook page ("&FCC Lookup", "&QRZ Lookup").
    {"Settings", "FccLicenseHost", CSettingDef::String, "wireless2.fcc.gov"},
    {"Settings", "QrzWebHost", CSettingDef::String, "www.qrz.com"},
    // Network time-outs (milliseconds) and retries.
    {"NetSettings", "NetConTO", CSettingDef::NumericText, "15000"},
    {"NetSettings", "NetRetNum", CSettingDef::NumericText, "1"},
    {"NetSettings", "NetCtrlRecTO", CSettingDef::NumericText, "5000"},
    {"NetSettings", "NetCtrlSndTO", CSettingDef::NumericText, "5000"},
    {"NetSettings", "NetDataRecTO", CSettingDef::NumericText, "5000"},
    {"NetSettings", "NetDataSndTO", CSettingDef::NumericText, "5000"},
    {"NetSettings", "NetRecTO", CSettingDef::NumericText, "5000"},
    {"NetSettings", "NetSndTO", CSettingDef::NumericText, "5000"},
    // The club's web server for pre-net check-ins and the station listing.
    {"PreNet", "Server", CSettingDef::String, "www.example.org"},
    // Net report.
    {"NetReport", "Announce", CSettingDef::Integer, "0"},
    {"NetReport", "Call", CSettingDef::String, "Replace with Your Call Sign"},
    {"NetReport", "CheckIns", CSettingDef::String, "Your Check In Count Here"},
    {"NetReport", "Message", CSettingDef::String, "Your Message Number Here"},
    {"NetReport", "Name", CSettingDef::String, "Replace with Your First Name"},
    {"NetReport", "Traffic", CSettingDef::String, "Your Traffic Count Here"},
    {"NetReport", "Date", CSettingDef::String, ""},
    // The net-control roster (see NetRoster.h): first name and call sign of each entry. The defaults
    // are placeholders for the user's own roster.
    {"NcsRoster", "SundayName", CSettingDef::String, "Sunday"},
    {"NcsRoster", "SundayCall", CSettingDef::String, "N0CALL"},
    {"NcsRoster", "MondayAName", CSettingDef::String, "Monday A"},
    {"NcsRoster", "MondayACall", CSettingDef::String, "N0CALL"},
    {"NcsRoster", "MondayBName", CSettingDef::String, "Monday B"},
    {"NcsRoster", "MondayBCall", CSettingDef::String, "N0CALL"},
    {"NcsRoster", "TuesdayName", CSettingDef::String, "Tuesday"},
    {"NcsRoster", "TuesdayCall", CSettingDef::String, "N0CALL"},
    {"NcsRoster", "WednesdayName", CSettingDef::String, "Wednesday"},
    {"NcsRoster", "WednesdayCall", CSettingDef::String, "N0CALL"},
    {"NcsRoster", "ThursdayName", CSettingDef::String, "Thursday"},
    {"NcsRoster", "ThursdayCall", CSettingDef::String, "N0CALL"},
    {"NcsRoster", "FridayName", CSettingDef::String, "Friday"},
    {"NcsRoster", "FridayCall", CSettingDef::String, "N0CALL"},
    {"NcsRoster", "SaturdayAName", CSettingDef::String, "Saturday A"},
    {"NcsRoster", "SaturdayACall", CSettingDef::String, "N0CALL"},
    {"NcsRoster", "SaturdayBName", CSettingDef::String, "Saturday B"},
    {"NcsRoster", "SaturdayBCall", CSettingDef::String, "N0CALL"},
    {"NcsRoster", "SaturdayCName", CSettingDef::String, "Saturday C"},
    {"NcsRoster", "SaturdayCCall", CSettingDef::String, "N0CALL"},
    // The transmitter toggle: the program run, the script it runs on the host, the host offered at
    // start (the last one used), and how many seconds the command may take.
    {"Transmitter", "Program", CSettingDef::String, "ssh"},
    {"Transmitter", "Script", CSettingDef::String, "bin/TXToggle.bash"},
    {"Transmitter", "Host", CSettingDef::String, "transmitter.example.org"},
    {"Transmitter", "TimeOut", CSettingDef::Integer, "30"},
    // Net recordings.
    {"WaveFile", "Name", CSettingDef::String, "Test01.wav"},
    {"WaveFile", "Path", CSettingDef::String, "%s/AudioFiles"},
    {"WaveFile", "Remember", CSettingDef::Integer, "0"},
};

} // namespace

CSettings::CSettings(const QString& iniPath, const QString& dataFolder)
    : m_settings(iniPath, QSettings::IniFormat), m_dataFolder(dataFolder)
{
}

QString CSettings::DefaultPath()
{
    QString config = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
    if (config.isEmpty() || !QDir::isAbsolutePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/Logwarden/Logwarden.ini");
}

const std::vector<CSettingDef>& CSettings::Table()
{
    return kSettings;
}

const CSettingDef* CSettings::Find(const QString& section, const QString& key)
{
    for (const auto& def : kSettings) {
        if (section == QLatin1String(def.section) && key == QLatin1String(def.key))
            return &def;
    }
    return nullptr;
}

const CSettingDef& CSettings::Require(const QString& section, const QString& key) const
{
    const CSettingDef* def = Find(section, key);
    if (!def)
        throw std::logic_error("unknown setting " + section.toStdString() + "/" + key.toStdString());
    return *def;
}

QString CSettings::GetDefault(const QString& section, const QString& key) const
{
    QString value = QString::fromUtf8(Require(section, key).defaultValue);
    if (value.contains(QLatin1String("%s")))
        value.replace(QLatin1String("%s"), m_dataFolder);
    return value;
}

bool CSettings::Contains(const QString& section, const QString& key) const
{
    Require(section, key);
    return m_settings.contains(section + QLatin1Char('/') + key);
}

QString CSettings::GetString(const QString& section, const QString& key) const
{
    const QVariant v = m_settings.value(section + QLatin1Char('/') + key);
    return v.isValid() ? v.toString() : GetDefault(section, key);
}

int CSettings::GetInt(const QString& section, const QString& key) const
{
    // Integers and numbers kept as text are both read with the leading-digits rule, so a hand-edited
    // "5000ms" still gives 5000.
    return LeadingDigits(GetString(section, key));
}

void CSettings::SetString(const QString& section, const QString& key, const QString& value)
{
    Require(section, key);
    m_settings.setValue(section + QLatin1Char('/') + key, value);
}

void CSettings::SetInt(const QString& section, const QString& key, int value)
{
    const CSettingDef& def = Require(section, key);
    if (def.type == CSettingDef::NumericText)
        m_settings.setValue(section + QLatin1Char('/') + key, QString::number(value));
    else
        m_settings.setValue(section + QLatin1Char('/') + key, value);
}

void CSettings::Sync()
{
    m_settings.sync();
}

int CSettings::LeadingDigits(const QString& text)
{
    int i = 0;
    const int n = static_cast<int>(text.size());
    while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    long long value = 0;
    while (i < n && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9')) {
        value = value * 10 + (text[i].unicode() - '0');
        if (value > 2147483648LL)
            value = 2147483648LL;
        ++i;
    }
    if (negative)
        value = -value;
    if (value > 2147483647LL)
        value = 2147483647LL;
    return static_cast<int>(value);
}
