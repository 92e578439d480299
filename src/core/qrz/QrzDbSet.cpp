#include "core/qrz/QrzDbSet.h"

#include "core/qrz/QrzSchema.h"

CQRZDbSet::CQRZDbSet(CDatabase* database) : CRecordset(database)
{
    BindField("CallSign", &m_CallSign, EmptyIsNull);
    BindField("LastName", &m_LastName, EmptyIsNull);
    BindField("Country", &m_Country);
    BindField("FirstName", &m_FirstName, EmptyIsNull);
    BindField("JPG", &m_JPG, EmptyIsNull);
    BindField("Unused", &m_Unused, EmptyIsNull);
    BindField("Efective", &m_Efective, EmptyIsNull);
    BindField("Expires", &m_Expires, EmptyIsNull);
    BindField("Street", &m_Street, EmptyIsNull);
    BindField("City", &m_City, EmptyIsNull);
    BindField("State", &m_State, EmptyIsNull);
    BindField("ZipCode", &m_ZipCode, EmptyIsNull);
    BindField("OperatorClass", &m_OperatorClass, EmptyIsNull);
    BindField("PreviousCallSign1", &m_PreviousCallSign1, EmptyIsNull);
    BindField("PreviousCallSign2", &m_PreviousCallSign2, EmptyIsNull);
}

QString CQRZDbSet::GetDefaultDBName() const
{
    return QString::fromLatin1(QrzSchema::kFileName);
}

QString CQRZDbSet::GetDefaultSQL() const
{
    return QString::fromLatin1(QrzSchema::kTable);
}
