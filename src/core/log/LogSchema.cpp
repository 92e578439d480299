#include "core/log/LogSchema.h"

#include "core/Exceptions.h"
#include "core/db/Database.h"
#include "core/log/SharedCheckin.h"
#include "core/net/NetTimes.h"

#include <QStringList>
#include <QUuid>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>

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
// null once the check-in is gone here. Net: the net the identity was agreed in (null until the server has
// it): a log moved to another net sends nothing of the first one there. Refused: why the server refused this
// check-in or why it could not be taken from the server (it is set aside, and tried again at the next
// connection or change). OutboxTab: the changes not yet on the server, in order, written in
// the same transaction as the change. SyncMeta: the net this log shares, and the like.
const char* const kSyncTables =
    "CREATE TABLE IF NOT EXISTS SyncTab(Uuid TEXT PRIMARY KEY, CheckinID INTEGER UNIQUE,"
    " Version INTEGER NOT NULL DEFAULT 0, Base TEXT, LoggedBy TEXT, UpdatedBy TEXT,"
    " Deleted INTEGER NOT NULL DEFAULT 0, Theirs TEXT, DuplicateOf TEXT, Net TEXT, Refused TEXT);"
    "CREATE INDEX IF NOT EXISTS SyncTab_DuplicateOf ON SyncTab(DuplicateOf) WHERE DuplicateOf IS NOT NULL;"
    "%1"
    "CREATE TABLE IF NOT EXISTS OutboxTab(Seq INTEGER PRIMARY KEY AUTOINCREMENT, Uuid TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS SyncMeta(Key TEXT PRIMARY KEY, Value TEXT);";

// An import is added in steps, each a short transaction, and shows only once it is whole: its check-ins are
// listed in ImportRowTab until its row in ImportTab is marked finished, and every reader reads the view
// Checkins, which leaves them out. Owner is the process that imports ("pid:start time"); an import whose
// owner is gone without finishing is removed when the log is next opened for writing.
const char* const kImportTables =
    "CREATE TABLE IF NOT EXISTS ImportTab(Id INTEGER PRIMARY KEY AUTOINCREMENT, Owner TEXT,"
    " Finished INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE IF NOT EXISTS ImportRowTab(CheckinID INTEGER PRIMARY KEY, ImportId INTEGER NOT NULL);"
    "CREATE INDEX IF NOT EXISTS ImportRowTab_Import ON ImportRowTab(ImportId);"
    "CREATE VIEW IF NOT EXISTS Checkins AS SELECT * FROM LogwardenTab WHERE NOT EXISTS (SELECT 1 FROM"
    " ImportRowTab r JOIN ImportTab i ON i.Id = r.ImportId WHERE r.CheckinID = LogwardenTab.ID AND"
    " i.Finished = 0);"
    // The newest change of each check-in in the outbox, found without reading all of it.
    "CREATE INDEX IF NOT EXISTS OutboxTab_Uuid ON OutboxTab(Uuid, Seq);";

// 1: the check-in table; 2: the shared log's bookkeeping beside it; 3: the net of each identity, and the
// check-ins set aside; 4: imports in steps.
const int kSchemaVersion = 4;

bool HasColumn(CDatabase& db, const char* table, const char* column)
{
    SQLite::Statement st(db.Handle(),
                         std::string("SELECT 1 FROM pragma_table_info('") + table + "') WHERE name = ?");
    st.bind(1, column);
    return st.executeStep();
}

// 2 -> 3: the new columns, and identities that are not lower-case UUIDs (an import took them as they came)
// replaced, when they never reached the server, so that the server can take them.
void UpgradeTo3(CDatabase& db)
{
    SQLite::Transaction transaction(db.Handle(), SQLite::TransactionBehavior::IMMEDIATE);
    for (const char* column : {"Net", "Refused"})
        if (!HasColumn(db, "SyncTab", column))
            db.Execute(QStringLiteral("ALTER TABLE SyncTab ADD COLUMN %1 TEXT").arg(QLatin1String(column)));
    QStringList odd;
    {
        SQLite::Statement st(db.Handle(), "SELECT Uuid FROM SyncTab WHERE Version = 0");
        while (st.executeStep()) {
            const QString uuid = QString::fromUtf8(st.getColumn(0).getText());
            if (NormalUuid(uuid) != uuid)
                odd << uuid;
        }
    }
    SQLite::Statement taken(db.Handle(), "SELECT 1 FROM SyncTab WHERE Uuid = ?");
    for (const QString& uuid : odd) {
        // Its lower-case form, unless another check-in holds that already; what waits to go out moves too.
        QString target = NormalUuid(uuid);
        taken.reset();
        taken.bind(1, target.toStdString());
        if (target.isEmpty() || taken.executeStep())
            target = QUuid::createUuid().toString(QUuid::WithoutBraces);
        RenameIdentity(db.Handle(), uuid, target);
    }
    db.Execute(QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion));
    transaction.commit();
}
void UpgradeTo4(CDatabase& db)
{
    db.Execute(
        QStringLiteral("BEGIN IMMEDIATE;%1PRAGMA user_version=4;COMMIT;").arg(QLatin1String(kImportTables)));
}

bool HasView(CDatabase& db)
{
    SQLite::Statement st(db.Handle(),
                         "SELECT 1 FROM sqlite_master WHERE type = 'view' AND name = 'Checkins'");
    return st.executeStep();
}
} // namespace

const char* const kView = "Checkins";

void RenameIdentity(SQLite::Database& db, const QString& from, const QString& to)
{
    for (const char* sql :
         {"UPDATE SyncTab SET Uuid = ?1 WHERE Uuid = ?2", "UPDATE OutboxTab SET Uuid = ?1 WHERE Uuid = ?2",
          "UPDATE SyncTab SET DuplicateOf = ?1 WHERE DuplicateOf = ?2"}) {
        SQLite::Statement st(db, sql);
        st.bind(1, to.toStdString());
        st.bind(2, from.toStdString());
        st.exec();
    }
}

void PrepareReader(CDatabase& db)
{
    // A log of a version before, read without being brought up to date, has no imports under way.
    try {
        if (!HasView(db))
            db.Execute(QStringLiteral("CREATE TEMP VIEW IF NOT EXISTS Checkins AS SELECT * FROM %1")
                           .arg(QLatin1String(kTable)));
    } catch (const CLogwardenException&) {
    }
}

void RefuseNewer(CDatabase& db)
{
    const int version = db.GetUserVersion();
    if (version > kSchemaVersion)
        throw CDBException(QStringLiteral("The log \"%1\" was written by a newer version of Logwarden (log "
                                          "format %2; this version reads up to %3): it is left as it is. "
                                          "Open it with the newer version.")
                               .arg(db.GetPath())
                               .arg(version)
                               .arg(kSchemaVersion));
}

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
    RefuseNewer(db);
    db.MakeDurable();
    PrepareNetTables(db);
    if (db.GetUserVersion() == 2 && db.TableExists(QString::fromLatin1(kTable)))
        UpgradeTo3(db);
    if (db.GetUserVersion() == 3 && db.TableExists(QString::fromLatin1(kTable)))
        UpgradeTo4(db);
    if (db.GetUserVersion() >= kSchemaVersion && db.TableExists(QString::fromLatin1(kTable))) {
        // A log made before the conflict index gets it now.
        db.Execute(QString::fromLatin1(kConflictIndex));
        return;
    }
    // The indexes serve the day filter and the call-sign prefix search.
    QStringList columns;
    for (const CColumn& c : kColumns)
        columns << QStringLiteral("\"%1\" %2").arg(QLatin1String(c.name), QLatin1String(c.definition));
    db.Execute(QStringLiteral("BEGIN IMMEDIATE;"
                              "CREATE TABLE IF NOT EXISTS %1 (%2);"
                              "CREATE INDEX IF NOT EXISTS LogwardenTab_Date ON LogwardenTab(\"Date\");"
                              "CREATE INDEX IF NOT EXISTS LogwardenTab_CallSign ON LogwardenTab(CallSign);"
                              "%4%5"
                              "PRAGMA user_version=%3;"
                              "COMMIT;")
                   .arg(QLatin1String(kTable), columns.join(QLatin1Char(',')))
                   .arg(kSchemaVersion)
                   .arg(QString::fromLatin1(kSyncTables).arg(QLatin1String(kConflictIndex)),
                        QLatin1String(kImportTables)));
}

} // namespace LogSchema
