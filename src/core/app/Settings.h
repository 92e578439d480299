#pragma once

#include <QSettings>
#include <QString>
#include <QVariant>
#include <vector>

// One setting the program reads or writes.
struct CSettingDef
{
    enum Type {
        Integer, // stored as an integer
        String,  // stored as text
        NumericText, // an integer stored as text, read with the leading-digits rule
    };
    const char* section;
    const char* key;
    Type type;
    // The default; in a String default "%s" stands for the data folder.
    const char* defaultValue;
};

// The per-user settings, an INI file read and written through QSettings. Every (section, key) the
// program uses is in one table (Settings.cpp); reading a missing key gives its default, and asking for a
// key that is not in the table is a programming error (it raises std::logic_error).
class CSettings
{
public:
    // iniPath: the file; dataFolder: what "%s" in a default stands for.
    CSettings(const QString& iniPath, const QString& dataFolder);

    // $XDG_CONFIG_HOME/Logwarden/Logwarden.ini (~/.config/Logwarden/Logwarden.ini).
    static QString DefaultPath();
    static const std::vector<CSettingDef>& Table();
    static const CSettingDef* Find(const QString& section, const QString& key);

    QString GetString(const QString& section, const QString& key) const;
    int GetInt(const QString& section, const QString& key) const;
    void SetString(const QString& section, const QString& key, const QString& value);
    void SetInt(const QString& section, const QString& key, int value);
    QString GetDefault(const QString& section, const QString& key) const;
    bool Contains(const QString& section, const QString& key) const;

    void Sync();
    QString FileName() const { return m_settings.fileName(); }
    const QString& DataFolder() const { return m_dataFolder; }

    // The usual leading-digits conversion: blanks, an optional sign, then digits; anything else
    // ends the number, and text without leading digits gives 0.
    static int LeadingDigits(const QString& text);

private:
    const CSettingDef& Require(const QString& section, const QString& key) const;

    mutable QSettings m_settings;
    QString m_dataFolder;
};
