#pragma once

#include "core/fcc/FccRecordset.h"

#include <QString>

// Table AM of the FCC licence database: one licence's amateur data (operator class, trustee, previous
// call sign), all 18 columns.
class CFCCAMSet : public CFccRecordset
{
public:
    explicit CFCCAMSet(CDatabase* database = nullptr);

    QString GetDefaultSQL() const override;

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
