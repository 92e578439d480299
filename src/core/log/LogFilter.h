#pragma once

#include "core/db/Recordset.h"

#include <QDate>
#include <QString>

class CDatabase;

// The filters and sorts applied to the check-in table, each a typed query with bound values.
namespace LogFilter {

// Every check-in of the calendar day, as an indexed date range.
CQueryFilter Day(const QDate& day);
// The selected day as the document holds it, "%Y %m %d" ("2024 03 07"). Text that does not name a real
// day gives a filter that matches nothing.
CQueryFilter Day(const QString& dayText);
// Call signs beginning with the prefix (case-insensitive); an empty prefix matches every check-in.
CQueryFilter CallSignPrefix(const QString& prefix);
// Exactly this call sign (case-insensitive, as the old engine compared text).
CQueryFilter CallSignEquals(const QString& callSign);
CQueryFilter Id(qint64 id);
// Check-ins from midnight of the first day to midnight of the last day, both bounds included.
CQueryFilter DateBetween(const QDate& from, const QDate& to);
// Every check-in of the days from first to last, both whole.
CQueryFilter Days(const QDate& first, const QDate& last);
// Check-ins whose date and time equal the value exactly.
CQueryFilter DateEquals(const QDateTime& value);

// The filter, keeping only the check-in that stands for each station in a shared log: another operator's
// check-in of a station already logged that day is left out (what counts and exports take). Unchanged for
// a log that was never shared.
CQueryFilter StandingOnly(CDatabase& db, const CQueryFilter& filter);

// Parses "%Y %m %d" the way the day filter reads it: year from characters 0-3, month 5-6, day 8-9.
QDate ParseDayText(const QString& dayText);
QString DayText(const QDate& day);

} // namespace LogFilter

namespace LogSort {
inline const QString kNone;
inline const QString kId = QStringLiteral("ID");
inline const QString kIdDesc = QStringLiteral("ID DESC");
// Check-in time order (a check-in logged elsewhere during an outage takes its place by its time).
inline const QString kTime = QStringLiteral("\"Date\", ID");
inline const QString kCallSignDesc = QStringLiteral("CallSign DESC, ID DESC");
} // namespace LogSort
