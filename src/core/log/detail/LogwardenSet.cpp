#include "core/log/detail/LogwardenSet.h"

#include "core/log/LogSchema.h"

#include "core/db/Database.h"

#include <QStringList>

CLogwardenSet::CLogwardenSet(CDatabase* database) : CRecordset(database)
{
    // In the order of LogSchema::kColumns.
    const std::pair<FieldPointer, int> fields[LogSchema::kColumnCount] = {
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
    for (int i = 0; i < LogSchema::kColumnCount; ++i)
        BindField(LogSchema::kColumns[i].name, fields[i].first, fields[i].second);
}

QString CLogwardenSet::GetDefaultDBName() const
{
    return QString::fromLatin1(LogSchema::kFileName);
}

QString CLogwardenSet::GetDefaultSQL() const
{
    return QString::fromLatin1(LogSchema::kTable);
}

CCheckinRecord CLogwardenSet::GetRecord() const
{
    return {m_ID,          m_CallSign,   m_Name,         m_Street, m_Location, m_Comment,   m_Date,
            m_HasComments, m_HasTraffic, m_Acknowledged, m_Class,  m_YourGrid, m_eMailAddr, {}};
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
