#pragma once

#include "core/db/Recordset.h"
#include "core/log/CheckinRecord.h"

#include <QString>
#include <functional>

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

} // namespace CheckinQuery
