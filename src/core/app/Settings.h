#pragma once

#include "core/app/SettingKeys.h"

#include <QSettings>
#include <QString>
#include <span>
#include <type_traits>

// A number given for a flag, or a flag for a number.
template <typename V, typename T>
concept FlagNumberSlip = std::is_arithmetic_v<std::remove_cvref_t<V>> &&
    (std::same_as<T, bool> != std::same_as<std::remove_cvref_t<V>, bool>);

// The per-user settings, an INI file read and written through QSettings. Every setting the program uses
// is a typed key of SettingKeys.h; reading a missing key gives its default.
class CSettings
{
public:
    // iniPath: the file; dataFolder: what "%s" in a default stands for.
    CSettings(const QString& iniPath, const QString& dataFolder);

    // $XDG_CONFIG_HOME/Logwarden/Logwarden.ini (~/.config/Logwarden/Logwarden.ini).
    static QString DefaultPath();
    // Every setting, each once, in the order of SettingList.h.
    static std::span<const CSettingDef* const> Table();
    // The setting of that section and key; nullptr when the program has none.
    static const CSettingDef* Find(const QString& section, const QString& key);

    // The stored value, or the default when the file has none. Numbers are read with the leading-digits
    // rule, so a hand-edited "5000ms" still gives 5000; a flag is set when its number is not 0.
    template <SettingValue T> T Get(const Key<T>& key) const;
    template <SettingValue T> void Set(const Key<T>& key, const std::type_identity_t<T>& value);
    // A flag written as a number, or a number as a flag, is a slip: the key says which it is.
    template <SettingValue T, FlagNumberSlip<T> V> void Set(const Key<T>& key, V&& value) = delete;
    template <SettingValue T> T GetDefault(const Key<T>& key) const;
    // The default as text, "%s" replaced.
    QString DefaultText(const CSettingDef& setting) const;
    bool Contains(const CSettingDef& setting) const;

    void Sync();
    QString FileName() const { return m_settings.fileName(); }
    const QString& DataFolder() const { return m_dataFolder; }

    // The usual leading-digits conversion: blanks, an optional sign, then digits; anything else
    // ends the number, and text without leading digits gives 0. Too large a number gives the largest.
    static int LeadingDigits(const QString& text);
    static qint64 LeadingDigits64(const QString& text);

private:
    static QString Path(const CSettingDef& setting);
    // The stored text, or the default's.
    QString Text(const CSettingDef& setting) const;
    void Write(const CSettingDef& setting, const QVariant& number);

    mutable QSettings m_settings;
    QString m_dataFolder;
};

// Defined for every SettingValue type in Settings.cpp.
extern template int CSettings::Get(const Key<int>&) const;
extern template bool CSettings::Get(const Key<bool>&) const;
extern template qint64 CSettings::Get(const Key<qint64>&) const;
extern template QString CSettings::Get(const Key<QString>&) const;
extern template void CSettings::Set(const Key<int>&, const int&);
extern template void CSettings::Set(const Key<bool>&, const bool&);
extern template void CSettings::Set(const Key<qint64>&, const qint64&);
extern template void CSettings::Set(const Key<QString>&, const QString&);
extern template int CSettings::GetDefault(const Key<int>&) const;
extern template bool CSettings::GetDefault(const Key<bool>&) const;
extern template qint64 CSettings::GetDefault(const Key<qint64>&) const;
extern template QString CSettings::GetDefault(const Key<QString>&) const;
