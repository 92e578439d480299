#pragma once

#include "core/log/SharedCheckin.h"

#include <QList>
#include <QString>
#include <memory>
#include <optional>
#include <string>

namespace SQLite {
class Database;
}

// The shared log's bookkeeping beside the check-ins (SyncTab, OutboxTab, SyncMeta; see LogSchema), written
// only by the log's one writer, inside the transaction of the change it books.
namespace SyncTables {

QString NewUuid();
// The check-in takes a new identity (another check-in on the server has its old one): the bookkeeping and
// what waits to go out move with it.
void Rekey(SQLite::Database& db, const QString& from, const QString& to);
// The server refused the check-in, or it could not be taken from the server: set aside with the reason until
// the next connection or a change here.
void SetAside(SQLite::Database& db, const QString& uuid, const QString& reason);
// Check-ins the server sent that the log cannot hold, never here (not pulled, nothing of them wiped).
void SetAsideUnknown(SQLite::Database& db, const QString& uuid, qint64 version, const QString& net,
                     const QString& reason);
// Every check-in set aside is tried again (a new connection).
void RetrySetAside(SQLite::Database& db);
struct CSetAside
{
    QString uuid;
    int id = 0; // 0: not in the log
    QString reason;
};
QList<CSetAside> SetAsideList(SQLite::Database& db);

QString Meta(SQLite::Database& db, const char* key);
void SetMeta(SQLite::Database& db, const char* key, const QString& value);

// A check-in was added here: it gets an identity (uuid when it is one, else a new one) and, when queue,
// goes out. Returns the identity.
QString Added(SQLite::Database& db, int id, const QString& uuid, const QString& by, bool queue);
// The same for many check-ins in one transaction, its statements prepared once.
class CAdder
{
public:
    CAdder(SQLite::Database& db, const QString& by, bool queue);
    ~CAdder();
    QString Add(int id, const QString& uuid);

private:
    struct CStatements;
    std::unique_ptr<CStatements> m_st;
    std::string m_by;
    bool m_queue;
};
// The check-in was changed here.
void Changed(SQLite::Database& db, int id, const QString& by, bool queue);
// The check-ins were deleted here: for everyone (tombstones that go out when queue) or, for purge and
// emptying, here only.
// Returns the check-ins whose place in the list changed (see ReleaseDuplicates).
QList<int> Deleted(SQLite::Database& db, const QList<int>& ids, bool queue);
void ForgetAll(SQLite::Database& db);
// Queues every check-in that is not on the server yet (giving those without one an identity).
void QueueUnshared(SQLite::Database& db, const QString& by);

struct CLocal
{
    QString uuid;
    int id = 0; // 0: not here (deleted or purged)
    qint64 version = 0;
    int deleted = 0; // 1 for everyone, 2 here only, 3 never taken (set aside)
    QString net;
    QString refused;
    CCheckinRecord base;
    bool hasBase = false;
    bool pending = false;  // changes wait in the outbox
    bool conflict = false; // Theirs is set
    CCheckinRecord theirs;
    QByteArray theirsJson;
};
std::optional<CLocal> Find(SQLite::Database& db, const QString& uuid);
std::optional<CLocal> FindById(SQLite::Database& db, int id);

// Books the server's state of a check-in: its version and values (the next merge's base), whether it is
// deleted here, who logged and changed it, the other side of a conflict or none.
// theirs: the other side of a conflict (ConflictToJson), empty for none.
// net: the net it was agreed in (empty: as it was).
void Record(SQLite::Database& db, const QString& uuid, int id, int deleted, const CSharedCheckin& server,
            const QByteArray& theirs, const QString& net = QString());
void SetCheckinId(SQLite::Database& db, const QString& uuid, int id, int deleted);
void ClearConflict(SQLite::Database& db, const QString& uuid);
void Queue(SQLite::Database& db, const QString& uuid);
void DropQueued(SQLite::Database& db, const QString& uuid, qint64 upToSeq = -1);
void SetDuplicateOf(SQLite::Database& db, const QString& uuid, const QString& of);
// Another check-in of the same station on the same day, logged by another operator, when one arrives: the
// one logged first stays in the list, the other is marked its duplicate (the same choice in every log).
// Returns the check-ins whose place in the list changed: those marked and the one that stays.
QList<int> MarkDuplicates(SQLite::Database& db, int id);
// A check-in that left the log gives its place in the list back to the duplicates it stood for: the
// earliest of them now stands for the rest. Returns the check-ins whose place in the list changed.
QList<int> ReleaseDuplicates(SQLite::Database& db, const QString& uuid);
// The check-ins marked duplicates of the one with this uuid.
QList<int> DuplicatesOf(SQLite::Database& db, const QString& uuid);

} // namespace SyncTables
