#pragma once

#include "core/db/Recordset.h"

#include <QString>

// Table AM of the FCC licence database: one licence's amateur data (operator class, trustee, previous
// call sign), all 18 columns. Opens the database path given to SetDatabasePath, else FCC97.db in the
// working directory.
class CFCCAMSet : public CRecordset
{
public:
    explicit CFCCAMSet(CDatabase* database = nullptr);

    QString GetDefaultDBName() const override;
    QString GetDefaultSQL() const override;

    QString m_RecordType;
    int m_UniqueSystemIdentifier = 0;
    QString m_ULSFileNumber;
    QString m_EBFNumber;
    QString m_CallSign;
    QString m_OperatorClass;
    QString m_GroupCode;
    float m_RegionCode = 0;
    QString m_TrusteeCallSign;
    QString m_TrusteeIndicator;
    QString m_PhysicianCertification;
    QString m_VESignature;
    QString m_SystematicCallSignChange;
    QString m_VanityCallSignChange;
    QString m_VanityRelationship;
    QString m_PreviousCallSign;
    QString m_PreviousOperatorClass;
    QString m_TrusteeName;
};
