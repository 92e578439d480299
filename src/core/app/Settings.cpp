#include "core/app/Settings.h"

#include <QDir>
#include <algorithm>
#include <array>
#include <limits>
#include <string_view>

namespace {

constexpr std::size_t kSettingCount = 0
#define LW_SETTING(name, ...) +1
#define LW_TEXT_SETTING(name, ...) +1
#define LW_SETTING_ARRAY(name, ...) +std::size(Setting::name)
#include "core/app/SettingList.h"
#undef LW_SETTING
#undef LW_TEXT_SETTING
#undef LW_SETTING_ARRAY
    ;

constexpr std::array<const CSettingDef*, kSettingCount> MakeTable()
{
    std::array<const CSettingDef*, kSettingCount> table{};
    std::size_t i = 0;
#define LW_SETTING(name, ...) table[i++] = &Setting::name;
#define LW_TEXT_SETTING(name, ...) table[i++] = &Setting::name;
#define LW_SETTING_ARRAY(name, ...)                                                                          \
    for (const CSettingDef& def : Setting::name)                                                             \
        table[i++] = &def;
#include "core/app/SettingList.h"
#undef LW_SETTING
#undef LW_TEXT_SETTING
#undef LW_SETTING_ARRAY
    return table;
}

constexpr std::array<const CSettingDef*, kSettingCount> kTable = MakeTable();

constexpr bool SameText(const char* a, const char* b)
{
    return std::string_view(a) == std::string_view(b);
}

// Two keys of one section and name would read and write the same value with two defaults.
constexpr bool EveryKeyOnce()
{
    for (std::size_t i = 0; i < kTable.size(); ++i) {
        for (std::size_t j = i + 1; j < kTable.size(); ++j) {
            if (SameText(kTable[i]->section, kTable[j]->section) && SameText(kTable[i]->key, kTable[j]->key))
                return false;
        }
    }
    return true;
}
static_assert(EveryKeyOnce(), "a section and key named by two settings");

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

std::span<const CSettingDef* const> CSettings::Table()
{
    return kTable;
}

const CSettingDef* CSettings::Find(const QString& section, const QString& key)
{
    for (const CSettingDef* def : kTable) {
        if (section == QLatin1String(def->section) && key == QLatin1String(def->key))
            return def;
    }
    return nullptr;
}

QString CSettings::Path(const CSettingDef& setting)
{
    return QLatin1String(setting.section) + QLatin1Char('/') + QLatin1String(setting.key);
}

QString CSettings::DefaultText(const CSettingDef& setting) const
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

QString CSettings::Text(const CSettingDef& setting) const
{
    const QVariant v = m_settings.value(Path(setting));
    return v.isValid() ? v.toString() : DefaultText(setting);
}

void CSettings::Write(const CSettingDef& setting, const QVariant& number)
{
    m_settings.setValue(
        Path(setting), setting.storage == SettingStorage::NumericText ? QVariant(number.toString()) : number);
}

template <SettingValue T> T CSettings::Get(const Key<T>& key) const
{
    if constexpr (std::same_as<T, QString>)
        return Text(key);
    else if constexpr (std::same_as<T, bool>)
        return LeadingDigits64(Text(key)) != 0;
    else if constexpr (std::same_as<T, int>)
        return LeadingDigits(Text(key));
    else
        return LeadingDigits64(Text(key));
}

template <SettingValue T> void CSettings::Set(const Key<T>& key, const std::type_identity_t<T>& value)
{
    if constexpr (std::same_as<T, QString>)
        m_settings.setValue(Path(key), value);
    else if constexpr (std::same_as<T, bool>)
        Write(key, QVariant(value ? 1 : 0)); // flags were always the numbers 0 and 1
    else
        Write(key, QVariant(value));
}

template <SettingValue T> T CSettings::GetDefault(const Key<T>& key) const
{
    const QString text = DefaultText(key);
    if constexpr (std::same_as<T, QString>)
        return text;
    else if constexpr (std::same_as<T, bool>)
        return LeadingDigits64(text) != 0;
    else if constexpr (std::same_as<T, int>)
        return LeadingDigits(text);
    else
        return LeadingDigits64(text);
}

template int CSettings::Get(const Key<int>&) const;
template bool CSettings::Get(const Key<bool>&) const;
template qint64 CSettings::Get(const Key<qint64>&) const;
template QString CSettings::Get(const Key<QString>&) const;
template void CSettings::Set(const Key<int>&, const int&);
template void CSettings::Set(const Key<bool>&, const bool&);
template void CSettings::Set(const Key<qint64>&, const qint64&);
template void CSettings::Set(const Key<QString>&, const QString&);
template int CSettings::GetDefault(const Key<int>&) const;
template bool CSettings::GetDefault(const Key<bool>&) const;
template qint64 CSettings::GetDefault(const Key<qint64>&) const;
template QString CSettings::GetDefault(const Key<QString>&) const;

void CSettings::Sync()
{
    m_settings.sync();
}

int CSettings::LeadingDigits(const QString& text)
{
    return static_cast<int>(std::clamp<qint64>(LeadingDigits64(text), std::numeric_limits<int>::min(),
                                               std::numeric_limits<int>::max()));
}

qint64 CSettings::LeadingDigits64(const QString& text)
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
    constexpr quint64 kMost = quint64(std::numeric_limits<qint64>::max()) + 1; // the magnitude of the least
    quint64 value = 0;
    while (i < n && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9')) {
        const quint64 digit = text[i].unicode() - '0';
        value = value > (kMost - digit) / 10 ? kMost : value * 10 + digit;
        ++i;
    }
    if (negative)
        return value == kMost ? std::numeric_limits<qint64>::min() : -qint64(value);
    return qint64(std::min(value, kMost - 1));
}
