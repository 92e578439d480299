#include "core/fcc/FccRecordset.h"

#include "core/fcc/FccSchema.h"

CFccRecordset::CFccRecordset(CDatabase* database) : CRecordset(database)
{
    BindField("RecordType", &m_RecordType, EmptyIsNull);
    BindField("UniqueSystemIdentifier", &m_UniqueSystemIdentifier);
    BindField("ULSFileNumber", &m_ULSFileNumber, EmptyIsNull);
    BindField("EBFNumber", &m_EBFNumber, EmptyIsNull);
    BindField("CallSign", &m_CallSign, EmptyIsNull);
}

QString CFccRecordset::GetDefaultDBName() const
{
    return QString::fromLatin1(FccSchema::kFileName);
}
