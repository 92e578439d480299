#pragma once

#include "core/db/Recordset.h"

#include <QString>

// Table QRZ of the QRZ local database: one licensee per record, as the CSV file gave it. Opens the
// database path given to SetDatabasePath, else QRZ97.db in the working directory. Empty text is
// stored as null; CallSign must not be empty.
class CQRZDbSet : public CRecordset
{
public:
    explicit CQRZDbSet(CDatabase* database = nullptr);

    QString GetDefaultDBName() const override;
    QString GetDefaultSQL() const override;

    QString m_CallSign;
    QString m_LastName;
    qint32 m_Country = 0;
    QString m_FirstName;
    QString m_JPG;
    QString m_Unused;
    QString m_Efective;
    QString m_Expires;
    QString m_Street;
    QString m_City;
    QString m_State;
    QString m_ZipCode;
    QString m_OperatorClass;
    QString m_PreviousCallSign1;
    QString m_PreviousCallSign2;
};
