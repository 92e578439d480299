#pragma once

#include "core/db/Recordset.h"

#include <QDate>
#include <QDateTime>

class CDatabase;

// The range of check-ins the purge dialog counts and purges: whole days, from the first day's midnight to
// the end of the last day, so that a check-in at 19:30 on the last day is in it.
//
// After each count the bounds become the days of the earliest and of the latest check-in counted (when
// there is one), which the dialog shows in its date pickers; the range they describe holds exactly the
// check-ins just counted, so changing one date later never drops check-ins at the other end. Until a
// date is changed the selection is the whole log.
class CPurgeSelection
{
public:
    struct CCount
    {
        long count = 0;
        QDate first; // date of the earliest check-in counted; invalid when none has a valid date
        QDate last;  // date of the latest
    };

    CPurgeSelection(const QDate& from, const QDate& to);

    // The whole log; the selection becomes the whole log again.
    CCount CountAll(CDatabase& db);
    // A picker changed: its day becomes the first or the last of the range; counts the range.
    CCount SetFrom(CDatabase& db, const QDate& day);
    CCount SetTo(CDatabase& db, const QDate& day);
    // Counts the current selection again, leaving the bounds as they are.
    long Recount(CDatabase& db) const;

    bool IsWholeLog() const { return m_wholeLog; }
    const QDate& From() const { return m_from; }
    const QDate& To() const { return m_to; }
    // The check-ins Recount counts (and CCheckinStore::Purge deletes).
    CQueryFilter Filter() const;

private:
    CCount CountAndNarrow(CDatabase& db);

    bool m_wholeLog = true;
    QDate m_from;
    QDate m_to; // included
};
