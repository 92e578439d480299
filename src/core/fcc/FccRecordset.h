#pragma once

#include "core/db/Recordset.h"

#include <QString>

// What the three tables of the FCC licence database (AM, EN, HD) begin with: the record type, the
// licence's identifier, its file numbers and the call sign. Each table's set binds these first, then its
// own columns. Opens the database path given to SetDatabasePath, else FCC97.db in the working directory.
class CFccRecordset : public CRecordset
{
public:
    QString GetDefaultDBName() const override;

    QString m_RecordType;
    int m_UniqueSystemIdentifier = 0;
    QString m_ULSFileNumber;
    QString m_EBFNumber;
    QString m_CallSign;

protected:
    explicit CFccRecordset(CDatabase* database);
};
