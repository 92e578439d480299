#include "core/app/Settings.h"

#include <QDir>

namespace {

std::vector<const CSettingDef*> MakeTable()
{
    using namespace Setting;
    std::vector<const CSettingDef*> table = {
        &WindowLeft,
        &WindowTop,
        &WindowWidth,
        &WindowHeight,
        &WindowMaximized,
        &BarState,
        &HistLeft,
        &HistTop,
        &HistRight,
        &HistBottom,
        &PreambleLeft,
        &PreambleTop,
        &PreambleWidth,
        &PreambleHeight,
        &PreambleSampleInstalled,
        &MyGrid,
        &QrzHomeGrid,
        &QrzMeasurementUnit,
        &FccInputFile,
        &FccOutputFile,
        &FccStorageLocation,
        &FccArchiveUrl,
        &DownloadMinBytesPerSecond,
        &DownloadStallSeconds,
        &DownloadMaxBytes,
        &FccLicenseHost,
        &QrzWebHost,
        &FccUlsWebHost,
        &QrzXmlHost,
        &QrzUserName,
        &NetConTO,
        &NetRetNum,
        &NetCtrlRecTO,
        &NetCtrlSndTO,
        &NetDataRecTO,
        &NetDataSndTO,
        &NetRecTO,
        &NetSndTO,
        &NetExchangeTO,
        &PreNetServer,
        &NetLogServer,
        &NetLogAutoMode,
        &NetLogReverse,
        &ClubName,
        &NetName,
        &NetFrequency,
        &NetStartTime,
        &ReportAnnounce,
        &ReportCall,
        &ReportCheckIns,
        &ReportMessage,
        &ReportName,
        &ReportTraffic,
        &ReportDate,
        &TransmitterProgram,
        &TransmitterScript,
        &TransmitterHost,
        &TransmitterTimeOut,
        &WaveName,
        &WavePath,
        &WaveRemember,
        &CaptureDevice,
        &PlaybackDevice,
        &MixerCard,
        &MailServer,
        &MailPort,
        &MailSecurity,
        &MailUser,
        &MailFrom,
        &MailPause,
        &MailCaFile,
        &MailConnectTimeOut,
        &MailReplyTimeOut,
        &MailSubject,
    };
    for (const CSettingDef& def : ColumnWidth)
        table.push_back(&def);
    for (int i = 0; i < kRosterEntries; ++i) {
        table.push_back(&RosterName[i]);
        table.push_back(&RosterCall[i]);
    }
    return table;
}

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

const std::vector<const CSettingDef*>& CSettings::Table()
{
    static const std::vector<const CSettingDef*> table = MakeTable();
    return table;
}

const CSettingDef* CSettings::Find(const QString& section, const QString& key)
{
    for (const CSettingDef* def : Table()) {
        if (section == QLatin1String(def->section) && key == QLatin1String(def->key))
            return def;
    }
    return nullptr;
}

QString CSettings::Path(const CSettingDef& setting)
{
    return QLatin1String(setting.section) + QLatin1Char('/') + QLatin1String(setting.key);
}

QString CSettings::GetDefault(const CSettingDef& setting) const
{
    QString value = QString::fromUtf8(setting.defaultValue);
    if (value.contains(QLatin1String("%s")))
        value.replace(QLatin1String("%s"), m_dataFolder);
    return value;
}

bool CSettings::Contains(const CSettingDef& setting) const
{
    return m_settings.contains(Path(setting));
}

QString CSettings::GetString(const CSettingDef& setting) const
{
    const QVariant v = m_settings.value(Path(setting));
    return v.isValid() ? v.toString() : GetDefault(setting);
}

int CSettings::GetInt(const CSettingDef& setting) const
{
    // Integers and numbers kept as text are both read with the leading-digits rule, so a hand-edited
    // "5000ms" still gives 5000.
    return LeadingDigits(GetString(setting));
}

void CSettings::SetString(const CSettingDef& setting, const QString& value)
{
    m_settings.setValue(Path(setting), value);
}

void CSettings::SetInt(const CSettingDef& setting, int value)
{
    if (setting.type == CSettingDef::NumericText)
        m_settings.setValue(Path(setting), QString::number(value));
    else
        m_settings.setValue(Path(setting), value);
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
