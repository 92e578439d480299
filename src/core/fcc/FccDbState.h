#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

class CDatabase;

// What the FCC licence database holds: the weekly archive it was built from and the last daily file
// applied to it since, as its meta table records them. A database built before the table existed
// knows neither.
struct CFccDbState
{
    QDate weeklyDate;    // the day the weekly archive was made
    QString weeklyFile;  // "l_amat.zip"
    QDate appliedDate;   // the newest day the tables hold: the weekly's, then each daily's
    QString appliedFile; // the file of that day: "l_amat.zip", "l_am_tue.zip"
    QDateTime appliedAt; // when that file was applied (UTC)

    bool IsKnown() const { return weeklyDate.isValid() && appliedDate.isValid(); }
    // Whether a daily newer than what is applied should be out: the database is more than a day behind.
    bool IsBehind(const QDate& today) const { return IsKnown() && appliedDate < today.addDays(-1); }
    // "2025-06-01 (l_amat.zip)"; "Unknown".
    QString WeeklyText() const;
    // "2025-06-04 (l_am_wed.zip)"; "None" when only the weekly is applied; "Unknown".
    QString DailyText() const;
};

namespace FccDbState {

inline constexpr char kWeeklyDate[] = "WeeklyDate";
inline constexpr char kWeeklyFile[] = "WeeklyFile";
inline constexpr char kAppliedDate[] = "AppliedDate";
inline constexpr char kAppliedFile[] = "AppliedFile";
inline constexpr char kAppliedAt[] = "AppliedAt";

// The state recorded in an open database; an empty state when it has no meta table.
CFccDbState Read(CDatabase& db);
// The state of the database file (opened read-only for the purpose); empty when there is no such file or
// it cannot be read.
CFccDbState ReadFile(const QString& path);
// A fresh build: the weekly's date is also the applied date. In the caller's transaction, if any.
void WriteWeekly(CDatabase& db, const QDate& weeklyDate, const QString& weeklyFile);
// One more day applied. In the caller's transaction.
void WriteApplied(CDatabase& db, const QDate& day, const QString& file, const QDateTime& at);

} // namespace FccDbState
