#include "core/db/DateTime.h"

const char* const CDateTime::kStorageFormat = "yyyy-MM-dd HH:mm:ss";

// Values are wall-clock times without a time zone, as the log has always stored them; they are
// held as UTC internally so that daylight-saving changes never shift or reject a stored time.
CDateTime::CDateTime(const QDateTime& value) : CDateTime(value.date(), value.time()) {}

CDateTime::CDateTime(const QDate& date, const QTime& time)
{
    // Valid only when the combination converts to a date-time and back without change.
    const QTime whole = time.isValid() ? QTime(time.hour(), time.minute(), time.second()) : time;
    const QDateTime dt(date, whole, Qt::UTC);
    if (date.isValid() && whole.isValid() && dt.isValid() && dt.date() == date && dt.time() == whole) {
        m_value = dt;
        m_status = Valid;
    } else {
        m_status = Invalid;
    }
}

CDateTime CDateTime::MakeInvalid()
{
    CDateTime d;
    d.m_status = Invalid;
    return d;
}

CDateTime CDateTime::FromStorage(const QString& text, bool isNull)
{
    if (isNull)
        return {};
    // The form every value is stored in, read without the format parser: reading a day's check-ins
    // would otherwise spend most of its time here.
    const auto digits = [&text](qsizetype at, int count) {
        int value = 0;
        for (int i = 0; i < count; ++i) {
            const char16_t c = text[at + i].unicode();
            if (c < u'0' || c > u'9')
                return -1;
            value = value * 10 + (c - u'0');
        }
        return value;
    };
    if (text.size() == 19 && text[4] == u'-' && text[7] == u'-' && text[10] == u' ' && text[13] == u':' &&
        text[16] == u':') {
        const int y = digits(0, 4), mo = digits(5, 2), d = digits(8, 2);
        const int h = digits(11, 2), mi = digits(14, 2), sec = digits(17, 2);
        if (y >= 0 && mo >= 0 && d >= 0 && h >= 0 && mi >= 0 && sec >= 0) {
            const QDate date(y, mo, d);
            const QTime time(h, mi, sec);
            if (!date.isValid() || !time.isValid())
                return MakeInvalid();
            return CDateTime(date, time);
        }
    }
    const QDate date = QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
    // A date without a time is read as midnight.
    const QTime time =
        text.size() > 10 ? QTime::fromString(text.mid(11), QStringLiteral("HH:mm:ss")) : QTime(0, 0);
    if (!date.isValid() || !time.isValid())
        return MakeInvalid();
    return CDateTime(date, time);
}

QString CDateTime::ToStorage() const
{
    switch (m_status) {
    case Valid: {
        // Written by hand: every check-in stored goes through here, and the format parser is slow.
        const QDate d = m_value.date();
        const QTime t = m_value.time();
        if (d.year() < 1 || d.year() > 9999)
            return m_value.toString(QString::fromLatin1(kStorageFormat));
        char text[20];
        const auto put = [&text](int at, int value, int digits) {
            for (int i = digits - 1; i >= 0; --i, value /= 10)
                text[at + i] = char('0' + value % 10);
        };
        put(0, d.year(), 4);
        text[4] = '-';
        put(5, d.month(), 2);
        text[7] = '-';
        put(8, d.day(), 2);
        text[10] = ' ';
        put(11, t.hour(), 2);
        text[13] = ':';
        put(14, t.minute(), 2);
        text[16] = ':';
        put(17, t.second(), 2);
        return QString::fromLatin1(text, 19);
    }
    case Invalid:
        return QStringLiteral("invalid");
    case Null:
        break;
    }
    return {};
}

QString CDateTime::ToListText() const
{
    switch (m_status) {
    case Valid:
        return m_value.toString(QStringLiteral("MM/dd/yyyy"));
    case Invalid:
        return QStringLiteral("Invalid DateTime");
    case Null:
        break;
    }
    return {};
}

bool CDateTime::operator==(const CDateTime& other) const
{
    if (m_status != other.m_status)
        return false;
    return m_status != Valid || m_value == other.m_value;
}
