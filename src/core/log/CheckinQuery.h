#pragma once

#include "core/db/Recordset.h"
#include "core/log/CheckinRecord.h"

#include <QString>
#include <functional>
#include <optional>

class CDatabase;

// Streaming reads of whole check-ins, for the operations that walk many of them at once (the export,
// the history list, the purge counts) and must stay fast on a log of hundreds of thousands.
namespace CheckinQuery {

// How many check-ins the filter selects.
long Count(CDatabase& db, const CQueryFilter& filter);
// Calls fn for each selected check-in in the order given (an ORDER BY clause without the keywords),
// skipping the first `offset` and stopping after `limit` of them when limit >= 0.
void ForEach(CDatabase& db, const CQueryFilter& filter, const QString& orderBy,
             const std::function<void(const CCheckinRecord&)>& fn, long limit = -1, long offset = 0);
// As ForEach, for the day's list: a check-in that another operator logged for a station already in the
// list that day is left out, and the one shown says who else logged it ("N4XYZ 19:02").
void ForEachListed(CDatabase& db, const CQueryFilter& filter, const QString& orderBy,
                   const std::function<void(const CCheckinRecord&)>& fn);
// One check-in as the list and the boxes show it (who else logged it included); none when it is gone.
std::optional<CCheckinRecord> One(CDatabase& db, int id);

} // namespace CheckinQuery
