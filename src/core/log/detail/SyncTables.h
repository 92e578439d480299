#pragma once

#include "core/log/SharedCheckin.h"

#include <QList>
#include <QString>
#include <optional>

namespace SQLite {
class Database;
}

// The shared log's bookkeeping beside the check-ins (SyncTab, OutboxTab, SyncMeta; see LogSchema), written
// only by the log's one writer, inside the transaction of the change it books.
namespace SyncTables {

QString NewUuid();

QString Meta(SQLite::Database& db, const char* key);
void SetMeta(SQLite::Database& db, const char* key, const QString& value);

// A check-in was added here: it gets an identity (uuid, or a new one) and, when queue, goes out.
void Added(SQLite::Database& db, int id, const QString& uuid, const QString& by, bool queue);
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
    int deleted = 0;
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
void Record(SQLite::Database& db, const QString& uuid, int id, int deleted, const CSharedCheckin& server,
            const QByteArray& theirs);
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
