#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One ADIF record (or the header): its fields in file order. Names are kept in upper case, as ADIF names
// compare without regard to case; an application field read from ADX is named as in ADI
// ("APP_LOGWARDEN_TRAFFIC").
struct CAdifField
{
    QByteArray name;
    QString value;
};

class CAdifRecord
{
public:
    void Clear() { m_fields.clear(); }
    bool IsEmpty() const { return m_fields.isEmpty(); }
    const QList<CAdifField>& Fields() const { return m_fields; }

    // Adds a field; an empty value is left out, as ADIF has no use for it. A name given twice keeps the
    // first value (Value() finds the first).
    void Add(const QByteArray& upperName, const QString& value);
    // The value of the field, empty when the record has none.
    QString Value(const char* upperName) const;
    bool Has(const char* upperName) const;

private:
    QList<CAdifField> m_fields;
};
