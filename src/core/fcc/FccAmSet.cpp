#include "core/fcc/FccAmSet.h"

#include "core/fcc/FccSchema.h"

CFCCAMSet::CFCCAMSet(CDatabase* database) : CFccRecordset(database)
{
    BindField("OperatorClass", &m_OperatorClass, EmptyIsNull);
    BindField("GroupCode", &m_GroupCode, EmptyIsNull);
    BindField("RegionCode", &m_RegionCode);
    BindField("TrusteeCallSign", &m_TrusteeCallSign, EmptyIsNull);
    BindField("TrusteeIndicator", &m_TrusteeIndicator, EmptyIsNull);
    BindField("PhysicianCertification", &m_PhysicianCertification, EmptyIsNull);
    BindField("VESignature", &m_VESignature, EmptyIsNull);
    BindField("SystematicCallSignChange", &m_SystematicCallSignChange, EmptyIsNull);
    BindField("VanityCallSignChange", &m_VanityCallSignChange, EmptyIsNull);
    BindField("VanityRelationship", &m_VanityRelationship, EmptyIsNull);
    BindField("PreviousCallSign", &m_PreviousCallSign, EmptyIsNull);
    BindField("PreviousOperatorClass", &m_PreviousOperatorClass, EmptyIsNull);
    BindField("TrusteeName", &m_TrusteeName, EmptyIsNull);
}

QString CFCCAMSet::GetDefaultSQL() const
{
    return QString::fromLatin1(FccSchema::kAM.name);
}
