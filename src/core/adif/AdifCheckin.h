#pragma once

#include "core/adif/AdifRecord.h"
#include "core/log/CheckinRecord.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QTimeZone>

class CSettings;

// A check-in as an ADIF record and back.
namespace AdifCheckin {

// A single-line ADIF field's form of a text: its line breaks and tabs as blanks (a break "\r\n" as one).
QString OneLine(const QString& text);
// Whether the text needs OneLine() (holds a line break or a tab).
bool SpansLines(QStringView text);

// What every exported record says of the station that ran the net.
struct CStation
{
    QString stationCall;
    QString operatorCall; // empty: the station's call
    QString myGrid;
    QString frequency; // MHz as the operator typed it ("146.61")
    QString mode;

    // From the net settings and the operator's own grid square.
    static CStation FromSettings(const CSettings& settings);
};

// One record per check-in: CALL, NAME, ADDRESS (street and location, one line each), QTH, STATE and CNTY
// where the location names them, GRIDSQUARE, EMAIL, COMMENT, QSO_DATE and TIME_ON in UTC (the log's local
// time read in `zone` on that date), the station's FREQ, BAND, MODE, STATION_CALLSIGN, OPERATOR and
// MY_GRIDSQUARE, and the log's own values as APP_LOGWARDEN_ fields. A check-in without a valid date has no
// QSO_DATE or TIME_ON.
CAdifRecord ToAdif(const CCheckinRecord& checkin, const CStation& station, const QTimeZone& zone);

// The parts of a location line ("Springfield, Greene County, MO 65801") ADIF has fields for.
struct CPlace
{
    QString qth;    // "Springfield"
    QString state;  // "MO", a US state's or territory's code, else empty
    QString county; // "MO,Greene", else empty
};
CPlace ParseLocation(const QString& location);

// ToAdif for many check-ins in a row, remembering what repeats: the station's fields, the places of the
// locations met (a bounded number), the zone's offset on the day of the last check-in.
class CExporter
{
public:
    CExporter(const CStation& station, const QTimeZone& zone);
    CAdifRecord Record(const CCheckinRecord& checkin);

    // The parts of a location, remembered; the UTC time of a valid local one.
    const CPlace& Place(const QString& location);
    QDateTime Utc(const CDateTime& local);
    // The station's fields as Record() writes them (empty: left out).
    const QString& Frequency() const { return m_frequency; }
    const QString& BandName() const { return m_band; }
    const QString& Mode() const { return m_mode; }
    const QString& StationCall() const { return m_stationCall; }
    const QString& Operator() const { return m_operator; }
    const QString& MyGrid() const { return m_myGrid; }

private:
    QTimeZone m_zone;
    QString m_frequency, m_band, m_mode, m_stationCall, m_operator, m_myGrid;
    QHash<QString, CPlace> m_places;
    QDate m_offsetDay;
    int m_offset = 0;      // seconds east of UTC all through m_offsetDay
    bool m_steady = false; // false: the offset changes during m_offsetDay
};

// FromAdif for many records in a row, remembering the zone's offset on the UTC day of the last one.
class CImporter
{
public:
    explicit CImporter(const QTimeZone& zone);
    bool Record(const CAdifRecord& record, CCheckinRecord& checkin, QString& reason);

private:
    // The local wall time of a UTC time, held as the log holds it (as UTC).
    QDateTime Local(const QDate& date, const QTime& time);

    QTimeZone m_zone;
    QDate m_offsetDay;
    int m_offset = 0;
    bool m_steady = false;
};

// The check-in an ADIF record describes, its time in `zone`; false (and why in `reason`) when the record
// cannot be one: no CALL, no valid QSO_DATE, a TIME_ON that is not a time.
bool FromAdif(const CAdifRecord& record, const QTimeZone& zone, CCheckinRecord& checkin, QString& reason);

// "2m" for 146.61: the ADIF band of a frequency in MHz, empty outside every band.
QString Band(double megahertz);

} // namespace AdifCheckin
