#include "core/adif/AdifCheckin.h"

#include "core/app/NetDetails.h"
#include "core/app/Settings.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <cstring>

namespace AdifCheckin {

namespace {

const char* const kStates[] = {"AL", "AK", "AZ", "AR", "CA", "CO", "CT", "DE", "DC", "FL", "GA", "HI",
                               "ID", "IL", "IN", "IA", "KS", "KY", "LA", "ME", "MD", "MA", "MI", "MN",
                               "MS", "MO", "MT", "NE", "NV", "NH", "NJ", "NM", "NY", "NC", "ND", "OH",
                               "OK", "OR", "PA", "RI", "SC", "SD", "TN", "TX", "UT", "VT", "VA", "WA",
                               "WV", "WI", "WY", "PR", "VI", "GU", "AS", "MP"};

bool IsState(const QString& code)
{
    for (const char* s : kStates)
        if (code == QLatin1String(s))
            return true;
    return false;
}

struct CBand
{
    double low, high;
    const char* name;
};
const CBand kBands[] = {
    {0.1357, 0.1378, "2190m"}, {0.472, 0.479, "630m"},    {0.501, 0.504, "560m"},
    {1.8, 2.0, "160m"},        {3.5, 4.0, "80m"},         {5.06, 5.45, "60m"},
    {7.0, 7.3, "40m"},         {10.1, 10.15, "30m"},      {14.0, 14.35, "20m"},
    {18.068, 18.168, "17m"},   {21.0, 21.45, "15m"},      {24.89, 24.99, "12m"},
    {28.0, 29.7, "10m"},       {40.0, 45.0, "8m"},        {50.0, 54.0, "6m"},
    {54.000001, 69.9, "5m"},   {70.0, 71.0, "4m"},        {144.0, 148.0, "2m"},
    {222.0, 225.0, "1.25m"},   {420.0, 450.0, "70cm"},    {902.0, 928.0, "33cm"},
    {1240.0, 1300.0, "23cm"},  {2300.0, 2450.0, "13cm"},  {3300.0, 3500.0, "9cm"},
    {5650.0, 5925.0, "6cm"},   {10000.0, 10500.0, "3cm"}, {24000.0, 24250.0, "1.25cm"},
};

// The leading number of "146.61", "146.610 MHz", "146.61-": MHz, or 0 when there is none.
double Megahertz(const QString& text, QString& digits)
{
    static const QRegularExpression number(QStringLiteral("^\\s*(\\d+(?:\\.\\d+)?)"));
    const QRegularExpressionMatch m = number.match(text);
    if (!m.hasMatch())
        return 0;
    digits = m.captured(1);
    return digits.toDouble();
}

QString Flag(bool value)
{
    return value ? QStringLiteral("Y") : QStringLiteral("N");
}

bool IsYes(const QString& value)
{
    const QString v = value.trimmed().toUpper();
    return v == QLatin1String("Y") || v == QLatin1String("YES") || v == QLatin1String("1") ||
           v == QLatin1String("TRUE");
}

bool AllDigits(const QString& text)
{
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return !text.isEmpty();
}

} // namespace

CStation CStation::FromSettings(const CSettings& settings)
{
    const CNetDetails net = CNetDetails::FromSettings(settings);
    CStation s;
    s.stationCall = net.stationCall;
    s.operatorCall = net.operatorCall;
    s.myGrid = settings.Get(Setting::MyGrid).trimmed();
    s.frequency = net.frequency;
    s.mode = net.mode;
    return s;
}

QString Band(double megahertz)
{
    for (const CBand& b : kBands)
        if (megahertz >= b.low && megahertz <= b.high)
            return QString::fromLatin1(b.name);
    return {};
}

CPlace ParseLocation(const QString& location)
{
    // "City, ST 12345", "City ST", "City, County, ST 12345-6789".
    static const QRegularExpression tail(
        QStringLiteral("^(.*?)[\\s,]+([A-Za-z]{2})(?:\\s+\\d{5}(?:-\\d{4})?)?\\s*$"));
    CPlace place;
    const QString text = location.simplified();
    const QRegularExpressionMatch m = tail.match(text);
    if (!m.hasMatch() || !IsState(m.captured(2).toUpper())) {
        place.qth = text;
        return place;
    }
    place.state = m.captured(2).toUpper();
    QStringList parts = m.captured(1).split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (QString& p : parts)
        p = p.trimmed();
    parts.removeAll(QString());
    static const QRegularExpression county(QStringLiteral("^(.+?)\\s+(?:County|Co\\.?|Parish)$"),
                                           QRegularExpression::CaseInsensitiveOption);
    for (qsizetype i = parts.size() - 1; i >= 1; --i) {
        const QRegularExpressionMatch c = county.match(parts[i]);
        if (c.hasMatch()) {
            place.county = place.state + QLatin1Char(',') + c.captured(1);
            parts.removeAt(i);
            break;
        }
    }
    place.qth = parts.join(QLatin1String(", "));
    return place;
}

CExporter::CExporter(const CStation& station, const QTimeZone& zone) : m_zone(zone)
{
    QString digits;
    const double mhz = Megahertz(station.frequency, digits);
    if (mhz > 0) {
        m_frequency = digits;
        m_band = Band(mhz);
    }
    m_mode = station.mode;
    m_stationCall = station.stationCall;
    m_operator = station.operatorCall.isEmpty() ? station.stationCall : station.operatorCall;
    m_myGrid = station.myGrid;
}

const CPlace& CExporter::Place(const QString& location)
{
    const auto found = m_places.constFind(location);
    if (found != m_places.constEnd())
        return *found;
    // Bounded: a log of a million different places must not grow this without end.
    if (m_places.size() >= 8192)
        m_places.clear();
    return *m_places.insert(location, ParseLocation(location));
}

QDateTime CExporter::Utc(const CDateTime& local)
{
    const QDate day = local.Date();
    if (day != m_offsetDay) {
        // Nets meet day after day: one look at the zone per day, unless the clocks change that day.
        m_offsetDay = day;
        const int atStart = QDateTime(day, QTime(0, 0), m_zone).offsetFromUtc();
        const int atEnd = QDateTime(day, QTime(23, 59, 59), m_zone).offsetFromUtc();
        m_steady = atStart == atEnd;
        m_offset = atStart;
    }
    if (m_steady)
        return QDateTime(day, local.Time(), Qt::UTC).addSecs(-m_offset);
    return QDateTime(day, local.Time(), m_zone).toUTC();
}

QString OneLine(const QString& text)
{
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    for (QChar& c : line)
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QLatin1Char('\t'))
            c = QLatin1Char(' ');
    return line;
}

bool SpansLines(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QLatin1Char('\t');
    });
}

CAdifRecord CExporter::Record(const CCheckinRecord& c)
{
    CAdifRecord r;
    r.Add(QByteArrayLiteral("CALL"), c.callSign.trimmed().toUpper()); // as F5 logs it
    r.Add(QByteArrayLiteral("NAME"), OneLine(c.name));
    if (!c.street.isEmpty() && !c.location.isEmpty())
        r.Add(QByteArrayLiteral("ADDRESS"), c.street + QLatin1String("\r\n") + c.location);
    else
        r.Add(QByteArrayLiteral("ADDRESS"), c.street.isEmpty() ? c.location : c.street);
    if (!c.location.trimmed().isEmpty()) {
        const CPlace& place = Place(c.location);
        r.Add(QByteArrayLiteral("QTH"), place.qth);
        r.Add(QByteArrayLiteral("STATE"), place.state);
        r.Add(QByteArrayLiteral("CNTY"), place.county);
    }
    r.Add(QByteArrayLiteral("GRIDSQUARE"), c.yourGrid.trimmed());
    r.Add(QByteArrayLiteral("EMAIL"), c.email.trimmed());
    // COMMENT holds one line; a comment of several goes whole into NOTES too, where lines may break.
    r.Add(QByteArrayLiteral("COMMENT"), OneLine(c.comment));
    if (SpansLines(c.comment))
        r.Add(QByteArrayLiteral("NOTES"), c.comment);
    if (c.date.IsValid()) {
        const QDateTime utc = Utc(c.date);
        const QDate d = utc.date();
        const QTime t = utc.time();
        r.Add(QByteArrayLiteral("QSO_DATE"), QString::asprintf("%04d%02d%02d", d.year(), d.month(), d.day()));
        r.Add(QByteArrayLiteral("TIME_ON"),
              QString::asprintf("%02d%02d%02d", t.hour(), t.minute(), t.second()));
    }
    r.Add(QByteArrayLiteral("FREQ"), m_frequency);
    r.Add(QByteArrayLiteral("BAND"), m_band);
    r.Add(QByteArrayLiteral("MODE"), m_mode);
    r.Add(QByteArrayLiteral("STATION_CALLSIGN"), m_stationCall);
    r.Add(QByteArrayLiteral("OPERATOR"), m_operator);
    r.Add(QByteArrayLiteral("MY_GRIDSQUARE"), m_myGrid);
    r.Add(QByteArrayLiteral("APP_LOGWARDEN_ACK"), Flag(c.acknowledged));
    r.Add(QByteArrayLiteral("APP_LOGWARDEN_TRAFFIC"), Flag(c.hasTraffic));
    r.Add(QByteArrayLiteral("APP_LOGWARDEN_COMMENTS"), Flag(c.hasComments));
    r.Add(QByteArrayLiteral("APP_LOGWARDEN_LICCLASS"), c.cls);
    r.Add(QByteArrayLiteral("APP_LOGWARDEN_UUID"), c.uuid);
    return r;
}

CAdifRecord ToAdif(const CCheckinRecord& checkin, const CStation& station, const QTimeZone& zone)
{
    return CExporter(station, zone).Record(checkin);
}

CImporter::CImporter(const QTimeZone& zone) : m_zone(zone) {}

QDateTime CImporter::Local(const QDate& date, const QTime& time)
{
    if (date != m_offsetDay) {
        // One look at the zone per UTC day, unless the clocks change during it.
        m_offsetDay = date;
        const int atStart = m_zone.offsetFromUtc(QDateTime(date, QTime(0, 0), Qt::UTC));
        const int atEnd = m_zone.offsetFromUtc(QDateTime(date, QTime(23, 59, 59), Qt::UTC));
        m_steady = atStart == atEnd;
        m_offset = atStart;
    }
    const QDateTime utc(date, time, Qt::UTC);
    if (m_steady)
        return utc.addSecs(m_offset);
    const QDateTime local = utc.toTimeZone(m_zone);
    return QDateTime(local.date(), local.time(), Qt::UTC);
}

bool CImporter::Record(const CAdifRecord& r, CCheckinRecord& c, QString& reason)
{
    // The fields the log has a place for, in one pass; an _INTL field wins over its plain twin.
    QString call, date, time, name, address, qth, state, grid, email, comment, ack, traffic, comments, cls,
        uuid;
    QString nameIntl, addressIntl, qthIntl, commentIntl, notes, notesIntl;
    struct CSlot
    {
        const char* name;
        QString* value;
    };
    const CSlot wanted[] = {{"CALL", &call},
                            {"QSO_DATE", &date},
                            {"TIME_ON", &time},
                            {"NAME", &name},
                            {"NAME_INTL", &nameIntl},
                            {"ADDRESS", &address},
                            {"ADDRESS_INTL", &addressIntl},
                            {"QTH", &qth},
                            {"QTH_INTL", &qthIntl},
                            {"STATE", &state},
                            {"GRIDSQUARE", &grid},
                            {"EMAIL", &email},
                            {"COMMENT", &comment},
                            {"COMMENT_INTL", &commentIntl},
                            {"NOTES", &notes},
                            {"NOTES_INTL", &notesIntl},
                            {"APP_LOGWARDEN_ACK", &ack},
                            {"APP_LOGWARDEN_TRAFFIC", &traffic},
                            {"APP_LOGWARDEN_COMMENTS", &comments},
                            {"APP_LOGWARDEN_LICCLASS", &cls},
                            {"APP_LOGWARDEN_UUID", &uuid}};
    for (const CAdifField& f : r.Fields())
        for (const CSlot& s : wanted)
            if (f.name.size() == qsizetype(std::strlen(s.name)) && f.name == s.name) {
                if (s.value->isEmpty())
                    *s.value = f.value;
                break;
            }
    const auto either = [](QString& intl, QString& plain) -> QString& {
        return intl.isEmpty() ? plain : intl;
    };

    c = CCheckinRecord();
    // Upper case, as F5 logs it; a call that holds control characters (a line break would forge lines of
    // what prints it) is no call.
    c.callSign = call.trimmed().toUpper();
    if (c.callSign.isEmpty()) {
        reason = QStringLiteral("no CALL");
        return false;
    }
    if (std::any_of(c.callSign.cbegin(), c.callSign.cend(),
                    [](QChar ch) { return ch.category() == QChar::Other_Control; })) {
        reason = QStringLiteral("CALL holds control characters");
        return false;
    }
    const QString dateText = date.trimmed();
    const QDate day =
        dateText.size() == 8 && AllDigits(dateText)
            ? QDate(dateText.left(4).toInt(), dateText.mid(4, 2).toInt(), dateText.mid(6, 2).toInt())
            : QDate();
    if (!day.isValid()) {
        reason = dateText.isEmpty() ? QStringLiteral("no QSO_DATE")
                                    : QStringLiteral("QSO_DATE \"%1\" is not a date").arg(dateText);
        return false;
    }
    // Without TIME_ON the contact is taken at 0000 UTC of its day.
    const QString timeText = time.trimmed();
    QTime at(0, 0);
    if (!timeText.isEmpty()) {
        at = AllDigits(timeText) && (timeText.size() == 4 || timeText.size() == 6)
                 ? QTime(timeText.left(2).toInt(), timeText.mid(2, 2).toInt(),
                         timeText.size() == 6 ? timeText.mid(4, 2).toInt() : 0)
                 : QTime();
        if (!at.isValid()) {
            reason = QStringLiteral("TIME_ON \"%1\" is not a time").arg(timeText);
            return false;
        }
    }
    const QDateTime local = Local(day, at);
    c.date = CDateTime(local.date(), local.time());

    c.name = either(nameIntl, name);
    // ADDRESS: the last line is the location, the lines before it the street; a single line is the
    // location when it names the QTH, else the street.
    const QString place = either(qthIntl, qth).trimmed();
    const QString region = state.trimmed();
    QString text = either(addressIntl, address);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.size() >= 2) {
        c.location = lines.takeLast();
        c.street = lines.join(QLatin1String(", "));
    } else if (lines.size() == 1 && !place.isEmpty() && lines.front().contains(place, Qt::CaseInsensitive)) {
        c.location = lines.front();
    } else if (lines.size() == 1) {
        c.street = lines.front();
    }
    if (c.location.isEmpty() && !place.isEmpty())
        c.location = region.isEmpty() ? place : place + QStringLiteral(", ") + region;
    c.yourGrid = grid.trimmed();
    c.email = email.trimmed();
    c.comment = either(commentIntl, comment);
    // The whole of a comment that was sent as one line: NOTES, where COMMENT is its one-line form.
    if (const QString& whole = either(notesIntl, notes); !whole.isEmpty() && OneLine(whole) == c.comment)
        c.comment = whole;
    c.acknowledged = IsYes(ack);
    c.hasTraffic = IsYes(traffic);
    c.hasComments = IsYes(comments);
    c.cls = cls.trimmed();
    c.uuid = uuid.trimmed();
    return true;
}

bool FromAdif(const CAdifRecord& record, const QTimeZone& zone, CCheckinRecord& checkin, QString& reason)
{
    return CImporter(zone).Record(record, checkin, reason);
}

} // namespace AdifCheckin
