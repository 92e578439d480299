#pragma once

// Every setting the program reads or writes, as a typed key: Setting::WindowWidth is a Key<int>,
// Setting::MyGrid a Key<QString>, so settings.Get(Setting::WindowWidth) is an int and reading it as text,
// or writing a bool flag as a number, does not compile. The keys come from SettingList.h, which also makes
// the table of all settings in Settings.cpp: a key can be neither misspelt nor listed with two defaults.

#include <QString>
#include <QtGlobal>
#include <concepts>
#include <iterator>

// How a value is kept in the INI file. Stored files depend on it: change it for no existing key.
enum class SettingStorage
{
    Integer,     // a number
    Text,        // text
    NumericText, // a number kept as text, read with the leading-digits rule
};

// What every key has, whatever its type: enough to find it in the file and to list it.
struct CSettingDef
{
    const char* section;
    const char* key;
    SettingStorage storage;
    // The default as it would stand in the file; in a text default "%s" stands for the data folder.
    const char* defaultValue;
};

// The value types a setting can have.
template <typename T>
concept SettingValue =
    std::same_as<T, int> || std::same_as<T, bool> || std::same_as<T, qint64> || std::same_as<T, QString>;

template <SettingValue T> struct Key : CSettingDef
{
    using Value = T;

    // A number or flag is kept as a number and text as text, unless the key says otherwise.
    constexpr Key(const char* section, const char* key, const char* defaultValue,
                  SettingStorage storage = std::same_as<T, QString> ? SettingStorage::Text
                                                                    : SettingStorage::Integer)
        : CSettingDef{section, key, storage, defaultValue}
    {
    }
};

namespace Setting {

#define LW_SETTING(name, type, section, key, defaultValue)                                                   \
    inline constexpr Key<type> name{section, key, defaultValue};
#define LW_TEXT_SETTING(name, type, section, key, defaultValue)                                              \
    static_assert(!std::same_as<type, QString> && !std::same_as<type, bool>,                                 \
                  "numbers only are kept as text");                                                          \
    inline constexpr Key<type> name{section, key, defaultValue, SettingStorage::NumericText};
#define LW_SETTING_ARRAY(name, type, ...) inline constexpr Key<type> name[] = {__VA_ARGS__};
#include "core/app/SettingList.h"
#undef LW_SETTING
#undef LW_TEXT_SETTING
#undef LW_SETTING_ARRAY

inline constexpr int kDayListColumns = int(std::size(ColumnWidth));
// Entries of the net-control roster (see NetRoster.h).
inline constexpr int kRosterEntries = int(std::size(RosterName));
static_assert(std::size(RosterCall) == std::size(RosterName), "a call for every roster name");

} // namespace Setting
