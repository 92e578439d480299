#pragma once

#include "core/app/SettingKeys.h"

#include <QSettings>
#include <QString>
#include <vector>

// The per-user settings, an INI file read and written through QSettings. Every setting the program uses
// is declared in SettingKeys.h and listed in the table of Settings.cpp; reading a missing key gives its
// default.
class CSettings
{
public:
    // iniPath: the file; dataFolder: what "%s" in a default stands for.
    CSettings(const QString& iniPath, const QString& dataFolder);

    // $XDG_CONFIG_HOME/Logwarden/Logwarden.ini (~/.config/Logwarden/Logwarden.ini).
    static QString DefaultPath();
    // Every setting, each once.
    static const std::vector<const CSettingDef*>& Table();
    // The setting of that section and key; nullptr when the program has none.
    static const CSettingDef* Find(const QString& section, const QString& key);

    QString GetString(const CSettingDef& setting) const;
    // Integers and numbers kept as text, with the leading-digits rule.
    int GetInt(const CSettingDef& setting) const;
    void SetString(const CSettingDef& setting, const QString& value);
    void SetInt(const CSettingDef& setting, int value);
    QString GetDefault(const CSettingDef& setting) const;
    bool Contains(const CSettingDef& setting) const;

    void Sync();
    QString FileName() const { return m_settings.fileName(); }
    const QString& DataFolder() const { return m_dataFolder; }

    // The usual leading-digits conversion: blanks, an optional sign, then digits; anything else
    // ends the number, and text without leading digits gives 0.
    static int LeadingDigits(const QString& text);

private:
    static QString Path(const CSettingDef& setting);

    mutable QSettings m_settings;
    QString m_dataFolder;
};
