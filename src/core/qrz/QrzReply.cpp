#include "core/qrz/QrzReply.h"

#include <QXmlStreamReader>
#include <climits>

namespace {

bool Is(QStringView name, const char* wanted)
{
    return name.compare(QLatin1String(wanted), Qt::CaseInsensitive) == 0;
}

// The first value of each element counts; a record that repeats one keeps the first.
void Take(QString& field, bool& seen, const QString& value)
{
    if (!seen) {
        field = value;
        seen = true;
    }
}

// The decimal digits at `from` (at most `count` of them), 0 when there are none; large values stop
// growing at the largest int.
int LeadingNumber(const QString& text, qsizetype from, qsizetype count)
{
    qint64 value = 0;
    for (qsizetype i = from; i < from + count && i < text.size(); ++i) {
        const QChar c = text[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        value = qMin<qint64>(value * 10 + (c.unicode() - '0'), INT_MAX);
    }
    return int(value);
}

void ReadRecord(QXmlStreamReader& xml, CQRZReply& reply)
{
    CQRZCallData& d = reply.data;
    QString fname, expdate, views;
    enum
    {
        Call,
        Fname,
        Name,
        Addr1,
        Addr2,
        State,
        Zip,
        Email,
        Class,
        Country,
        County,
        Grid,
        Expdate,
        Views,
        Count
    };
    bool seen[Count] = {};
    static const char* const kNames[Count] = {"call",   "fname", "name",    "addr1",  "addr2",
                                              "state",  "zip",   "email",   "class",  "country",
                                              "county", "grid",  "expdate", "u_views"};
    QString* const fields[Count] = {&d.call,  &fname, &d.name,    &d.addr1,  &d.addr2, &d.state, &d.zip,
                                    &d.email, &d.cls, &d.country, &d.county, &d.grid,  &expdate, &views};
    while (xml.readNextStartElement()) {
        int which = -1;
        for (int i = 0; i < Count; ++i) {
            if (Is(xml.name(), kNames[i])) {
                which = i;
                break;
            }
        }
        const QString value = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        if (which >= 0)
            Take(*fields[which], seen[which], value);
    }
    const qsizetype blank = fname.indexOf(QLatin1Char(' '));
    if (blank >= 0) {
        d.restOfFirstName = fname.mid(blank + 1);
        d.fname = fname.left(blank);
    } else {
        d.fname = fname;
    }
    d.views = LeadingNumber(views, 0, views.size());
    d.expires = QrzExpiryDate(expdate);
}

void ReadSession(QXmlStreamReader& xml, CQRZReply& reply)
{
    bool key = false, error = false, message = false;
    while (xml.readNextStartElement()) {
        const QString value = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        if (Is(xml.name(), "Key"))
            Take(reply.key, key, value);
        else if (Is(xml.name(), "Error"))
            Take(reply.error, error, value);
        else if (Is(xml.name(), "Message"))
            Take(reply.message, message, value);
    }
}

} // namespace

CQRZReply ParseQrzReply(const QByteArray& bytes)
{
    CQRZReply reply;
    QXmlStreamReader xml(bytes);
    bool haveRecord = false, haveSession = false;
    if (xml.readNextStartElement()) {
        while (xml.readNextStartElement()) {
            if (!haveRecord && Is(xml.name(), "Callsign")) {
                haveRecord = true;
                ReadRecord(xml, reply);
            } else if (!haveSession && Is(xml.name(), "Session")) {
                haveSession = true;
                ReadSession(xml, reply);
            } else {
                xml.skipCurrentElement();
            }
        }
    }
    // Whatever follows the root element must still be well-formed.
    while (!xml.atEnd() && !xml.hasError())
        xml.readNext();
    if (xml.hasError()) {
        CQRZReply bad;
        bad.xmlError = xml.errorString();
        return bad;
    }
    reply.wellFormed = true;
    reply.hasRecord = haveRecord;
    return reply;
}

QDate QrzExpiryDate(const QString& text)
{
    const int year = LeadingNumber(text, 0, 4);
    const int month = LeadingNumber(text, 5, 2);
    const int day = LeadingNumber(text, 8, 2);
    const QDate date(year, month, day);
    if (!date.isValid() || date.year() != year || date.month() != month || date.day() != day)
        return {};
    return date;
}

bool IsQrzSessionError(const CQRZReply& reply, const QByteArray& raw)
{
    static const char* const kMarkers[] = {"<Error>Session Timeout</Error>",
                                           "<Error>Invalid session key</Error>",
                                           "<Error>XML access is not autho"};
    for (const char* marker : kMarkers) {
        if (raw.contains(marker))
            return true;
    }
    // The same errors written with entities or another spelling of the tag.
    return reply.error == QLatin1String("Session Timeout") ||
           reply.error == QLatin1String("Invalid session key") ||
           reply.error.startsWith(QLatin1String("XML access is not autho"));
}
