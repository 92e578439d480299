#include "core/fcc/FccDbSet.h"

#include "core/fcc/FccSchema.h"

CFCCDbSet::CFCCDbSet(CDatabase* database) : CFccRecordset(database)
{
    BindField("EntityType", &m_EntityType, EmptyIsNull);
    BindField("LicenseID", &m_LicenseID, EmptyIsNull);
    BindField("EntityName", &m_EntityName, EmptyIsNull);
    BindField("FirstName", &m_FirstName, EmptyIsNull);
    BindField("MI", &m_MI, EmptyIsNull);
    BindField("LastName", &m_LastName, EmptyIsNull);
    BindField("Suffix", &m_Suffix, EmptyIsNull);
    BindField("Phone", &m_Phone, EmptyIsNull);
    BindField("Fax", &m_Fax, EmptyIsNull);
    BindField("Email", &m_Email, EmptyIsNull);
    BindField("StreetAddress", &m_StreetAddress, EmptyIsNull);
    BindField("City", &m_City, EmptyIsNull);
    BindField("State", &m_State, EmptyIsNull);
    BindField("ZipCode", &m_ZipCode, EmptyIsNull);
    BindField("POBox", &m_POBox, EmptyIsNull);
    BindField("AttentionLine", &m_AttentionLine, EmptyIsNull);
    BindField("SGIN", &m_SGIN, EmptyIsNull);
    BindField("FRN", &m_FRN, EmptyIsNull);
    BindField("ApplicantTypeCode", &m_ApplicantTypeCode, EmptyIsNull);
    BindField("ApplicantTypeCodeOther", &m_ApplicantTypeCodeOther, EmptyIsNull);
    BindField("StatusCode", &m_StatusCode, EmptyIsNull);
}

QString CFCCDbSet::GetDefaultSQL() const
{
    return QString::fromLatin1(FccSchema::kEN.name);
}
