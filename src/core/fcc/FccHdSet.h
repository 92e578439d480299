#pragma once

#include "core/fcc/FccRecordset.h"

#include <QString>

// Table HD of the FCC licence database: the licence header (status, dates, certifier), all 50 columns.
class CFCCHDSet : public CFccRecordset
{
public:
    explicit CFCCHDSet(CDatabase* database = nullptr);

    QString GetDefaultSQL() const override;

    QString m_LicenseStatus;
    QString m_RadioServiceCode;
    QString m_GrantDate;
    QString m_ExpiredDate;
    QString m_CancellationDate;
    QString m_EligibilityRuleNum;
    QString m_Reserved1;
    QString m_Alien;
    QString m_AlienGovernment;
    QString m_AlienCorporation;
    QString m_AlienOfficer;
    QString m_AlienControl;
    QString m_Revoked;
    QString m_Convicted;
    QString m_Adjudged;
    QString m_Reserved2;
    QString m_CommonCarrier;
    QString m_NonCommonCarrier;
    QString m_PrivateComm;
    QString m_Fixed;
    QString m_Mobile;
    QString m_Radiolocation;
    QString m_Satellite;
    QString m_DevelopmentalorSTA;
    QString m_InterconnectedService;
    QString m_CertifierFirstName;
    QString m_CertifierMI;
    QString m_CertifierLastName;
    QString m_CertifierSuffix;
    QString m_CertifierTitle;
    QString m_Female;
    QString m_BlackorAfricanAmerican;
    QString m_NativeAmerican;
    QString m_Hawaiian;
    QString m_Asian;
    QString m_White;
    QString m_Hispanic;
    QString m_EffectiveDate;
    QString m_LastActionDate;
    QString m_AuctionID;
    QString m_BroadcastServices1;
    QString m_BandManager;
    QString m_BroadcastServices2;
    QString m_AlienRuling;
    QString m_LicenseeNameChange;
};
