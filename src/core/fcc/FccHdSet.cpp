#include "core/fcc/FccHdSet.h"

#include "core/fcc/FccSchema.h"

CFCCHDSet::CFCCHDSet(CDatabase* database) : CFccRecordset(database)
{
    BindField("LicenseStatus", &m_LicenseStatus, EmptyIsNull);
    BindField("RadioServiceCode", &m_RadioServiceCode, EmptyIsNull);
    BindField("GrantDate", &m_GrantDate, EmptyIsNull);
    BindField("ExpiredDate", &m_ExpiredDate, EmptyIsNull);
    BindField("CancellationDate", &m_CancellationDate, EmptyIsNull);
    BindField("EligibilityRuleNum", &m_EligibilityRuleNum, EmptyIsNull);
    BindField("Reserved1", &m_Reserved1, EmptyIsNull);
    BindField("Alien", &m_Alien, EmptyIsNull);
    BindField("AlienGovernment", &m_AlienGovernment, EmptyIsNull);
    BindField("AlienCorporation", &m_AlienCorporation, EmptyIsNull);
    BindField("AlienOfficer", &m_AlienOfficer, EmptyIsNull);
    BindField("AlienControl", &m_AlienControl, EmptyIsNull);
    BindField("Revoked", &m_Revoked, EmptyIsNull);
    BindField("Convicted", &m_Convicted, EmptyIsNull);
    BindField("Adjudged", &m_Adjudged, EmptyIsNull);
    BindField("Reserved2", &m_Reserved2, EmptyIsNull);
    BindField("CommonCarrier", &m_CommonCarrier, EmptyIsNull);
    BindField("NonCommonCarrier", &m_NonCommonCarrier, EmptyIsNull);
    BindField("PrivateComm", &m_PrivateComm, EmptyIsNull);
    BindField("Fixed", &m_Fixed, EmptyIsNull);
    BindField("Mobile", &m_Mobile, EmptyIsNull);
    BindField("Radiolocation", &m_Radiolocation, EmptyIsNull);
    BindField("Satellite", &m_Satellite, EmptyIsNull);
    BindField("DevelopmentalorSTA", &m_DevelopmentalorSTA, EmptyIsNull);
    BindField("InterconnectedService", &m_InterconnectedService, EmptyIsNull);
    BindField("CertifierFirstName", &m_CertifierFirstName, EmptyIsNull);
    BindField("CertifierMI", &m_CertifierMI, EmptyIsNull);
    BindField("CertifierLastName", &m_CertifierLastName, EmptyIsNull);
    BindField("CertifierSuffix", &m_CertifierSuffix, EmptyIsNull);
    BindField("CertifierTitle", &m_CertifierTitle, EmptyIsNull);
    BindField("Female", &m_Female, EmptyIsNull);
    BindField("BlackorAfricanAmerican", &m_BlackorAfricanAmerican, EmptyIsNull);
    BindField("NativeAmerican", &m_NativeAmerican, EmptyIsNull);
    BindField("Hawaiian", &m_Hawaiian, EmptyIsNull);
    BindField("Asian", &m_Asian, EmptyIsNull);
    BindField("White", &m_White, EmptyIsNull);
    BindField("Hispanic", &m_Hispanic, EmptyIsNull);
    BindField("EffectiveDate", &m_EffectiveDate, EmptyIsNull);
    BindField("LastActionDate", &m_LastActionDate, EmptyIsNull);
    BindField("AuctionID", &m_AuctionID, EmptyIsNull);
    BindField("BroadcastServices1", &m_BroadcastServices1, EmptyIsNull);
    BindField("BandManager", &m_BandManager, EmptyIsNull);
    BindField("BroadcastServices2", &m_BroadcastServices2, EmptyIsNull);
    BindField("AlienRuling", &m_AlienRuling, EmptyIsNull);
    BindField("LicenseeNameChange", &m_LicenseeNameChange, EmptyIsNull);
}

QString CFCCHDSet::GetDefaultSQL() const
{
    return QString::fromLatin1(FccSchema::kHD.name);
}
