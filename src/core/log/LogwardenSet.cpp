#include "core/log/LogwardenSet.h"

#include "core/db/Database.h"

#include <QStringList>

const char* const CLogwardenSet::kFileName = "Logwarden-97.db";
const char* const CLogwardenSet::kTable = "LogwardenTab";

const CLogColumn kLogColumns[kLogColumnCount] = {
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

QString LogColumnList()
{
    QStringList names;
    for (const CLogColumn& c : kLogColumns)
        names << QLatin1Char('"') + QLatin1String(c.name) + QLatin1Char('"');
    return names.join(QLatin1Char(','));
}

namespace {
const int kSchemaVersion = 1;
}

CLogwardenSet::CLogwardenSet(CDatabase* database) : CRecordset(database)
{
    // In the order of kLogColumns.
    const std::pair<FieldPointer, int> fields[kLogColumnCount] = {
        {&m_ID, AutoNumber},
        {&m_CallSign, EmptyIsNull},
        {&m_Name, EmptyIsNull},
        {&m_Street, EmptyIsNull},
        {&m_Location, EmptyIsNull},
        {&m_Comment, None}, // an empty comment is stored as empty text, not as null
        {&m_Date, None},
        {&m_HasComments, None},
        {&m_HasTraffic, None},
        {&m_Acknowledged, None},
        {&m_Class, EmptyIsNull},
        {&m_YourGrid, EmptyIsNull},
        {&m_eMailAddr, EmptyIsNull},
    };
    for (int i = 0; i < kLogColumnCount; ++i)
        BindField(kLogColumns[i].name, fields[i].first, fields[i].second);
}

QString CLogwardenSet::GetDefaultDBName() const
{
    return QString::fromLatin1(kFileName);
}

QString CLogwardenSet::GetDefaultSQL() const
{
    return QString::fromLatin1(kTable);
}

CCheckinRecord CLogwardenSet::GetRecord() const
{
    return {m_ID,          m_CallSign,   m_Name,         m_Street, m_Location, m_Comment,  m_Date,
            m_HasComments, m_HasTraffic, m_Acknowledged, m_Class,  m_YourGrid, m_eMailAddr};
}

void CLogwardenSet::SetRecord(const CCheckinRecord& r)
{
    m_CallSign = r.callSign;
    m_Name = r.name;
    m_Street = r.street;
    m_Location = r.location;
    m_Comment = r.comment;
    m_Date = r.date;
    m_HasComments = r.hasComments;
    m_HasTraffic = r.hasTraffic;
    m_Acknowledged = r.acknowledged;
    m_Class = r.cls;
    m_YourGrid = r.yourGrid;
    m_eMailAddr = r.email;
}

void CLogwardenSet::PrepareDatabase(CDatabase& db)
{
    db.MakeDurable();
    if (db.GetUserVersion() >= kSchemaVersion && db.TableExists(QString::fromLatin1(kTable)))
        return;
    // The indexes serve the day filter and the call-sign prefix search.
    QStringList columns;
    for (const CLogColumn& c : kLogColumns)
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
