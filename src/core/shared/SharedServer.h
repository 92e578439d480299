#pragma once

#include "core/log/SharedCheckin.h"

#include <QString>
#include <vector>

class CPgConnection;
class CPgResult;

// The shared club log on the club's PostgreSQL server: its tables, their migrations, and the statements
// every operator's program runs against them.
namespace SharedServer {

// The notification channel: every change of a check-in sends "net-id uuid version" on it.
inline constexpr const char* kChannel = "logwarden_checkin";
// How far the migrations go.
int LatestVersion();

// Creates the tables or brings them up to date; safe to run again, and from two places at once.
// Returns the versions it stood at before and after.
std::pair<int, int> Init(CPgConnection& db);

// The net's id, the net created when it is new.
qint64 NetId(CPgConnection& db, const QString& net);

// The columns that make a CSharedCheckin, for a SELECT ... FROM checkin.
QString SelectColumns();
CSharedCheckin FromRow(const CPgResult& result, int row);

} // namespace SharedServer
