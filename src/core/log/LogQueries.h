#pragma once

#include "core/log/CheckinRecord.h"

#include <QDate>
#include <QStringList>
#include <optional>

class CDatabase;

// Queries of the check-in form that must stay fast on a log of hundreds of thousands of check-ins.
namespace LogQueries {

inline constexpr int kMaxMatches = 22;

// The call signs offered while the operator types: walking the logged call signs that begin with the
// prefix from the highest down, a call sign is taken only when no call sign already taken begins with it
// (case-insensitive), until 22 are taken. Returned in ascending order. An empty prefix matches every call.
QStringList MatchCallSigns(CDatabase& db, const QString& prefix, int limit = kMaxMatches);

// The newest check-in of exactly this call sign.
std::optional<CCheckinRecord> NewestCheckin(CDatabase& db, const QString& callSign);

// The check-ins of one calendar day, in the order they were logged.
std::vector<CCheckinRecord> DayCheckins(CDatabase& db, const QDate& day);

// The three flags of a check-in ("Ack", "Traffic", "Comments"); CCheckinStore::SetFlag writes them.
enum class Flag
{
    Acknowledged,
    HasTraffic,
    HasComments
};

} // namespace LogQueries
