#include "core/log/LogwardenSet.h"

#include "core/db/Database.h"

const char* const CLogwardenSet::kFileName = "Logwarden-97.db";
const char* const CLogwardenSet::kTable = "LogwardenTab";

namespace {
const int kSchemaVersion = 1;
}

CLogwardenSet::CLogwardenSet(CDatabase* database)
    : CRecordset(database)
{
    BindField("ID", &m_ID, AutoNumber);
    BindField("CallSign", &m_CallSign, EmptyIsNull);
    BindField("Name", &m_Name, EmptyIsNull);
    BindField("Street", &m_Street, EmptyIsNull);
    BindField("Location", &m_Location, EmptyIsNull);
    BindField("Comment", &m_Comment); // an empty comment is stored as empty text, not as null
    BindField("Date", &m_Date);
    BindField("HasComments", &m_HasComments);
    BindField("HasTraffic", &m_HasTraffic);
    BindField("Acknowledged", &m_Acknowledged);
    BindField("Class", &m_Class, EmptyIsNull);
    BindField("YourGrid", &m_YourGrid, EmptyIsNull);
    BindField("eMailAddr", &m_eMailAddr, EmptyIsNull);
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
    return {m_ID,      m_CallSign,    m_Name,       m_Street,       m_Location, m_Comment,  m_Date,
            m_HasComments, m_HasTraffic, m_Acknowledged, m_Class, m_YourGrid, m_eMailAddr};
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
    // IDs are never reused (AUTOINCREMENT); call signs compare without regard to case, as they always
    // have, and the indexes serve the day filter and the call-sign prefix search.
    db.Execute(QStringLiteral(R"(
        BEGIN;
        CREATE TABLE IF NOT EXISTS LogwardenTab (
            ID INTEGER PRIMARY KEY AUTOINCREMENT,
            CallSign TEXT COLLATE NOCASE,
            Name TEXT,
            Street TEXT,
            Location TEXT,
            Comment TEXT,
            "Date" TEXT,
            HasComments INTEGER NOT NULL DEFAULT 0,
            HasTraffic INTEGER NOT NULL DEFAULT 0,
            Acknowledged INTEGER NOT NULL DEFAULT 0,
            Class TEXT,
            YourGrid TEXT,
            eMailAddr TEXT);
        CREATE INDEX IF NOT EXISTS LogwardenTab_Date ON LogwardenTab("Date");
        CREATE INDEX IF NOT EXISTS LogwardenTab_CallSign ON LogwardenTab(CallSign);
        PRAGMA user_version=%1;
        COMMIT;)")
                   .arg(kSchemaVersion));
}
