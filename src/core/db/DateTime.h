#pragma once

#include <QDateTime>
#include <QString>

// A date-time value with the three states the log relies on: a real value, an invalid value
// (a combination of date and time that does not exist), or no value at all.
class CDateTime
{
public:
    enum Status
    {
        Valid,
        Invalid,
        Null
    };

    CDateTime() = default;
    explicit CDateTime(const QDateTime& value);
    CDateTime(const QDate& date, const QTime& time);

    static CDateTime MakeInvalid();
    // Text as stored in the database: "YYYY-MM-DD HH:MM:SS"; an invalid value is stored as "invalid".
    static CDateTime FromStorage(const QString& text, bool isNull);
    QString ToStorage() const;

    Status GetStatus() const { return m_status; }
    bool IsValid() const { return m_status == Valid; }
    bool IsNull() const { return m_status == Null; }
    const QDateTime& Value() const { return m_value; }
    QDate Date() const { return m_value.date(); }
    QTime Time() const { return m_value.time(); }

    // "%m/%d/%Y" for the lists and the export; empty when null, "Invalid DateTime" when invalid.
    QString ToListText() const;

    bool operator==(const CDateTime& other) const;
    bool operator!=(const CDateTime& other) const { return !(*this == other); }

    static const char* const kStorageFormat;

private:
    QDateTime m_value;
    Status m_status = Null;
};
