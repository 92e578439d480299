#pragma once

#include "core/db/DateTime.h"
#include "core/db/Recordset.h"
#include "core/log/CheckinRecord.h"

#include <QString>

class CDatabase;

// One check-in: a record of table LogwardenTab in Logwarden-97.db, with the record set's write path.
// Only the log's one writer (CCheckinStore) uses it; readers go through LogQueries and CheckinQuery, and a
// test fails when a file elsewhere in the program includes this folder.
class CLogwardenSet : public CRecordset
{
public:
    explicit CLogwardenSet(CDatabase* database = nullptr);

    QString GetDefaultDBName() const override;
    QString GetDefaultSQL() const override;

    // The current record's values, and all values but the ID set from a record.
    CCheckinRecord GetRecord() const;
    void SetRecord(const CCheckinRecord& record);

    int m_ID = 0;
    QString m_CallSign;
    QString m_Name;
    QString m_Street;
    QString m_Location;
    QString m_Comment;
    CDateTime m_Date;
    bool m_HasComments = false;
    bool m_HasTraffic = false;
    bool m_Acknowledged = false;
    QString m_Class;
    QString m_YourGrid;
    QString m_eMailAddr;
};
