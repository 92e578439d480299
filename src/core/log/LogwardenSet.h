#pragma once

#include "core/db/DateTime.h"
#include "core/db/Recordset.h"
#include "core/log/CheckinRecord.h"

#include <QString>

class CDatabase;

// The columns of table LogwardenTab, in order, with their definitions: the one list that the table, the
// record set and the streaming queries are made from.
struct CLogColumn
{
    const char* name;
    const char* definition; // type and constraints in CREATE TABLE
};
inline constexpr int kLogColumnCount = 13;
extern const CLogColumn kLogColumns[kLogColumnCount];
// "\"ID\",\"CallSign\",...": the column list for a SELECT, in order.
QString LogColumnList();

// One check-in: a record of table LogwardenTab in Logwarden-97.db.
class CLogwardenSet : public CRecordset
{
public:
    explicit CLogwardenSet(CDatabase* database = nullptr);

    QString GetDefaultDBName() const override;
    QString GetDefaultSQL() const override;

    // Creates the table and its indexes when they are missing; the connection becomes durable.
    static void PrepareDatabase(CDatabase& db);
    // The current record's values, and all values but the ID set from a record.
    CCheckinRecord GetRecord() const;
    void SetRecord(const CCheckinRecord& record);

    static const char* const kFileName;
    static const char* const kTable;

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
