#include "core/log/LogSchema.h"

#include "core/db/Database.h"
#include "core/net/NetTimes.h"

#include <QStringList>

namespace LogSchema {

const char* const kFileName = "Logwarden-97.db";
const char* const kTable = "LogwardenTab";

namespace {
const int kSchemaVersion = 1;
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
    db.MakeDurable();
    PrepareNetTables(db);
    if (db.GetUserVersion() >= kSchemaVersion && db.TableExists(QString::fromLatin1(kTable)))
        return;
    // The indexes serve the day filter and the call-sign prefix search.
    QStringList columns;
    for (const CColumn& c : kColumns)
        columns << QStringLiteral("\"%1\" %2").arg(QLatin1String(c.name), QLatin1String(c.definition));
    db.Execute(QStringLiteral("BEGIN;"
                              "CREATE TABLE IF NOT EXISTS %1 (%2);"
                              "CREATE INDEX IF NOT EXISTS LogwardenTab_Date ON LogwardenTab(\"Date\");"
                              "CREATE INDEX IF NOT EXISTS LogwardenTab_CallSign ON LogwardenTab(CallSign);"
                              "PRAGMA user_version=%3;"
                              "COMMIT;")
                   .arg(QLatin1String(kTable), columns.join(QLatin1Char(',')))
                   .arg(kSchemaVersion));
}

} // namespace LogSchema
