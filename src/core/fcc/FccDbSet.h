#pragma once

#include "core/fcc/FccRecordset.h"

#include <QString>

// Table EN of the FCC licence database: licensee name and mailing address, the first 26 columns (not
// StatusDate). ZipCode and SGIN are read as the text stored, so a ZIP code keeps its leading zeros.
class CFCCDbSet : public CFccRecordset
{
public:
    explicit CFCCDbSet(CDatabase* database = nullptr);

    QString GetDefaultSQL() const override;

    QString m_EntityType;
    QString m_LicenseID;
    QString m_EntityName;
    QString m_FirstName;
    QString m_MI;
    QString m_LastName;
    QString m_Suffix;
    QString m_Phone;
    QString m_Fax;
    QString m_Email;
    QString m_StreetAddress;
    QString m_City;
    QString m_State;
    QString m_ZipCode;
    QString m_POBox;
    QString m_AttentionLine;
    QString m_SGIN;
    QString m_FRN;
    QString m_ApplicantTypeCode;
    QString m_ApplicantTypeCodeOther;
    QString m_StatusCode;
};
