#include "core/adif/AdifRecord.h"

void CAdifRecord::Add(const QByteArray& upperName, const QString& value)
{
    if (!value.isEmpty())
        m_fields.append({upperName, value});
}

QString CAdifRecord::Value(const char* upperName) const
{
    for (const CAdifField& f : m_fields)
        if (f.name == upperName)
            return f.value;
    return {};
}

bool CAdifRecord::Has(const char* upperName) const
{
    for (const CAdifField& f : m_fields)
        if (f.name == upperName)
            return true;
    return false;
}
