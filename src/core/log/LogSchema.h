#pragma once

#include <QString>

class CDatabase;
namespace SQLite {
class Database;
}

// The log's file and table: what every reader and the one writer (CCheckinStore) share.
namespace LogSchema {

extern const char* const kFileName; // "Logwarden-97.db"
extern const char* const kTable;    // "LogwardenTab", written only by the store
// "Checkins": what every reader reads, the check-ins of the table but those of an import not finished yet.
extern const char* const kView;

// The columns of the table, in order, with their definitions: the one list that the table, the record set
// and the streaming queries are made from.
struct CColumn
{
    const char* name;
    const char* definition; // type and constraints in CREATE TABLE
};
inline constexpr int kColumnCount = 13;
extern const CColumn kColumns[kColumnCount];
// "\"ID\",\"CallSign\",...": the column list for a SELECT, in order.
QString ColumnList();

// The tables of the net beside the check-ins (the start and end stamps), created when missing; Prepare
// calls it.
void PrepareNetTables(CDatabase& db);
// Creates the table and its indexes when they are missing, or brings an older log up to date; the
// connection becomes durable. A log of a newer version raises CDBException and is not touched.
void Prepare(CDatabase& db);
// For a connection that only reads a log that may be of a version before (not brought up to date): the view
// readers read, on this connection only.
void PrepareReader(CDatabase& db);
// The shared log's bookkeeping of a check-in (SyncTab, the outbox, the duplicates' marks) under another
// identity.
void RenameIdentity(SQLite::Database& db, const QString& from, const QString& to);
// Raises CDBException for a log written by a newer version (what every reader checks before it reads).
void RefuseNewer(CDatabase& db);

} // namespace LogSchema
