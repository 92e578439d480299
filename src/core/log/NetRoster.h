#pragma once

#include <QDate>
#include <QString>

class CSettings;

// Who runs the net on a given day, and which of the six letter ranges belongs to that day.
//
// One roster entry per weekday, with two rotations: on Mondays entry A runs the net on days 1-14 of the
// month and entry B on days 15-31; on Saturdays A on days 1-7, B on 8-14 and C on 15-31. The names and
// call signs are the user's, kept in the settings (Setting::RosterName and RosterCall, by entry).
namespace NetRoster {

enum Entry
{
    Sunday,
    MondayA,
    MondayB,
    Tuesday,
    Wednesday,
    Thursday,
    Friday,
    SaturdayA,
    SaturdayB,
    SaturdayC,
    EntryCount
};

inline constexpr int kLetterRanges = 6;
// "Alpha -> Delta" ... "Uniform -> Zulu", in index order.
extern const char* const kLetterRangeTexts[kLetterRanges];

Entry EntryFor(const QDate& day);
// The letter range of the day: Sunday 0 ... Friday 5; Saturday shares Sunday's, 0.
int LetterRangeIndex(const QDate& day);
// "NCS: " + first name + " (" + call sign + ")".
QString Label(const CSettings& settings, const QDate& day);

} // namespace NetRoster
