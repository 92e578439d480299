#include "core/log/NetRoster.h"

#include "core/app/Settings.h"

namespace NetRoster {

static_assert(EntryCount == Setting::kRosterEntries, "one name and call setting per roster entry");

const char* const kLetterRangeTexts[kLetterRanges] = {"Alpha -> Delta", "Echo -> Hotel",   "India -> Lima",
                                                      "Mike -> Papa",   "Quebec -> Tango", "Uniform -> Zulu"};

namespace {

// 0 = Sunday ... 6 = Saturday.
int WeekdayIndex(const QDate& day)
{
    return day.dayOfWeek() % 7;
}

} // namespace

Entry EntryFor(const QDate& day)
{
    const int dom = day.day();
    switch (WeekdayIndex(day)) {
    case 0:
        return Sunday;
    case 1:
        return dom <= 14 ? MondayA : MondayB;
    case 2:
        return Tuesday;
    case 3:
        return Wednesday;
    case 4:
        return Thursday;
    case 5:
        return Friday;
    default:
        return dom <= 7 ? SaturdayA : dom <= 14 ? SaturdayB : SaturdayC;
    }
}

int LetterRangeIndex(const QDate& day)
{
    const int weekday = WeekdayIndex(day);
    return weekday == 6 ? 0 : weekday;
}

QString Label(const CSettings& settings, const QDate& day)
{
    const Entry entry = EntryFor(day);
    return QStringLiteral("NCS: %1 (%2)")
        .arg(settings.Get(Setting::RosterName[entry]), settings.Get(Setting::RosterCall[entry]));
}

} // namespace NetRoster
