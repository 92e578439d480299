#include "core/log/LogSchema.h"

#include "core/db/Database.h"
#include "core/net/NetTimes.h"

#include <QStringList>

namespace LogSchema {

const char* const kFileName = "Logwarden-97.db";
const char* const kTable = "LogwardenTab";

namespace {
// The conflicts are counted after every change, and are few: they have an index of their own.
const char* const kConflictIndex =
    "CREATE INDEX IF NOT EXISTS SyncTab_Conflict ON SyncTab(Uuid) WHERE Theirs IS NOT NULL;";
// The shared club log's bookkeeping. SyncTab: per check-in its identity across the operators' logs, the
// server's version this copy stands on (0: not on the server yet), the values at that version (JSON, the
// base of a merge), who logged and last changed it, whether it is deleted (1, for everyone) or purged here
// only (2), the other operator's values while two changes of one field wait for the operator (Theirs), and
// the check-in of the same station by another operator that day it duplicates (DuplicateOf). CheckinID is
// null once the check-in is gone here. OutboxTab: the changes not yet on the server, in order, written in
// the same transaction as the change. SyncMeta: the net this log shares, and the like.
const char* const kSyncTables =
    "CREATE TABLE IF NOT EXISTS SyncTab(Uuid TEXT PRIMARY KEY, CheckinID INTEGER UNIQUE,"
    " Version INTEGER NOT NULL DEFAULT 0, Base TEXT, LoggedBy TEXT, UpdatedBy TEXT,"
    " Deleted INTEGER NOT NULL DEFAULT 0, Theirs TEXT, DuplicateOf TEXT);"
    "CREATE INDEX IF NOT EXISTS SyncTab_DuplicateOf ON SyncTab(DuplicateOf) WHERE DuplicateOf IS NOT NULL;"
    "%1"
    "CREATE TABLE IF NOT EXISTS OutboxTab(Seq INTEGER PRIMARY KEY AUTOINCREMENT, Uuid TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS SyncMeta(Key TEXT PRIMARY KEY, Value TEXT);";

// 1: the check-in table; 2: the shared log's bookkeeping beside it.
const int kSchemaVersion = 2;
} // namespace

const CColumn kColumns[kColumnCount] = {
    // IDs are never reused (AUTOINCREMENT); call signs compare without regard to case, as they always have.
    {"ID", "INTEGER PRIMARY KEY AUTOINCREMENT"},
    {"CallSign", "TEXT COLLATE NOCASE"},
    {"Name", "TEXT"},
    {"Street", "TEXT"},
    {"Location", "TEXT"},
    {"Comment", "TEXT"},
    {"Date", "TEXT"},
    {"HasComments", "INTEGER NOT NULL DEFAULT 0"},
    {"HasTraffic", "INTEGER NOT NULL DEFAULT 0"},
    {"Acknowledged", "INTEGER NOT NULL DEFAULT 0"},
    {"Class", "TEXT"},
    {"YourGrid", "TEXT"},
    {"eMailAddr", "TEXT"},
};

QString ColumnList()
{
    QStringList names;
    for (const CColumn& c : kColumns)
        names << QLatin1Char('"') + QLatin1String(c.name) + QLatin1Char('"');
    return names.join(QLatin1Char(','));
}

void PrepareNetTables(CDatabase& db)
{
    // Tables beside the check-ins that a log of any version may lack; each creates itself when missing.
    NetTimes::Prepare(db);
}

void Prepare(CDatabase& db)
{
    db.MakeDurable();
    PrepareNetTables(db);
    if (db.GetUserVersion() >= kSchemaVersion && db.TableExists(QString::fromLatin1(kTable))) {
        // A log made before the conflict index gets it now.
        db.Execute(QString::fromLatin1(kConflictIndex));
        return;
    }
    // The indexes serve the day filter and the call-sign prefix search.
    QStringList columns;
    for (const CColumn& c : kColumns)
        columns << QStringLiteral("\"%1\" %2").arg(QLatin1String(c.name), QLatin1String(c.definition));
    db.Execute(QStringLiteral("BEGIN;"
                              "CREATE TABLE IF NOT EXISTS %1 (%2);"
                              "CREATE INDEX IF NOT EXISTS LogwardenTab_Date ON LogwardenTab(\"Date\");"
                              "CREATE INDEX IF NOT EXISTS LogwardenTab_CallSign ON LogwardenTab(CallSign);"
                              "%4"
                              "PRAGMA user_version=%3;"
                              "COMMIT;")
                   .arg(QLatin1String(kTable), columns.join(QLatin1Char(',')))
                   .arg(kSchemaVersion)
                   .arg(QString::fromLatin1(kSyncTables).arg(QLatin1String(kConflictIndex))));
}

} // namespace LogSchema
