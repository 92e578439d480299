#pragma once

#include "core/log/SharedCheckin.h"

#include <QString>
#include <QStringList>
#include <optional>
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

// Raises CNetException, saying what to do, unless the server's tables are at the version this program
// knows (not set up, older, or newer).
void CheckVersion(CPgConnection& db);

// The bounds of what is taken from the server: a field, and a row's fields together.
inline constexpr int kMaxField = 64 * 1024;
inline constexpr int kMaxRow = 128 * 1024;

struct CNet
{
    qint64 id = 0;
    QString name; // as the server spells it
};
// Net names compare without regard to case and surrounding blanks ("Monday Night Net" is "monday night net
// ").
QString NetKey(const QString& name);
std::optional<CNet> FindNet(CPgConnection& db, const QString& name);
// The net of that name, created when the server has none (one net, however many create it at once).
CNet CreateNet(CPgConnection& db, const QString& name);
// The server's nets, by name.
QStringList Nets(CPgConnection& db);
// The net of that name; made when create, else CNetException naming the server's nets.
CNet ResolveNet(CPgConnection& db, const QString& name, bool create);

// "SELECT ... FROM checkin c ... WHERE where" giving the rows FromRow reads (where may use c. and $n).
QString SelectCheckins(const QString& where);
CSharedCheckin FromRow(const CPgResult& result, int row);

} // namespace SharedServer
