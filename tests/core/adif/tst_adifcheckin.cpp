// A check-in as an ADIF record and back: UTC times across the clock changes, the places of a location,
// the records that cannot be check-ins.
#include "core/adif/AdifCheckin.h"

#include <QtTest>

namespace {

CCheckinRecord At(const QDate& day, const QTime& time)
{
    CCheckinRecord r;
    r.callSign = QStringLiteral("W4ABC");
    r.date = CDateTime(day, time);
    return r;
}

} // namespace

class TestAdifCheckin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void localTimeToUtc_data()
    {
        QTest::addColumn<QString>("zone");
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QTime>("time");
        QTest::addColumn<QString>("qsoDate");
        QTest::addColumn<QString>("timeOn");
        const QString ny = QStringLiteral("America/New_York");
        const QString berlin = QStringLiteral("Europe/Berlin");
        QTest::newRow("winter evening, next day in UTC")
            << ny << QDate(2024, 1, 15) << QTime(21, 30, 5) << "20240116"
            << "023005";
        QTest::newRow("summer evening") << ny << QDate(2024, 7, 1) << QTime(19, 0) << "20240701"
                                        << "230000";
        QTest::newRow("last minute before spring forward")
            << ny << QDate(2024, 3, 10) << QTime(1, 59) << "20240310"
            << "065900";
        QTest::newRow("first minute after spring forward")
            << ny << QDate(2024, 3, 10) << QTime(3, 0) << "20240310"
            << "070000";
        QTest::newRow("evening of the spring-forward day")
            << ny << QDate(2024, 3, 10) << QTime(21, 0) << "20240311"
            << "010000";
        QTest::newRow("before fall back") << ny << QDate(2024, 11, 3) << QTime(0, 30) << "20241103"
                                          << "043000";
        QTest::newRow("after fall back") << ny << QDate(2024, 11, 3) << QTime(3, 0) << "20241103"
                                         << "080000";
        QTest::newRow("evening of the fall-back day")
            << ny << QDate(2024, 11, 3) << QTime(19, 0) << "20241104"
            << "000000";
        QTest::newRow("Berlin before the change")
            << berlin << QDate(2024, 3, 31) << QTime(1, 30) << "20240331"
            << "003000";
        QTest::newRow("Berlin after the change") << berlin << QDate(2024, 3, 31) << QTime(3, 30) << "20240331"
                                                 << "013000";
        QTest::newRow("UTC itself") << "UTC" << QDate(2024, 2, 29) << QTime(23, 59, 59) << "20240229"
                                    << "235959";
    }
    void localTimeToUtc()
    {
        QFETCH(QString, zone);
        QFETCH(QDate, day);
        QFETCH(QTime, time);
        QFETCH(QString, qsoDate);
        QFETCH(QString, timeOn);
        const QTimeZone tz(zone.toLatin1());
        QVERIFY(tz.isValid());
        const CAdifRecord r = AdifCheckin::ToAdif(At(day, time), {}, tz);
        QCOMPARE(r.Value("QSO_DATE"), qsoDate);
        QCOMPARE(r.Value("TIME_ON"), timeOn);
        // And back to the same local time, on the same local day.
        CCheckinRecord back;
        QString reason;
        QVERIFY(AdifCheckin::FromAdif(r, tz, back, reason));
        QCOMPARE(back.date, CDateTime(day, time));
    }

    // One exporter over the days around both clock changes gives what each check-in gives on its own.
    void exporterFollowsTheClockChanges()
    {
        const QTimeZone tz("America/New_York");
        AdifCheckin::CExporter exporter({}, tz);
        for (const QDate& first : {QDate(2024, 3, 9), QDate(2024, 11, 2)})
            for (int hour = 0; hour < 72; ++hour) {
                const CCheckinRecord c = At(first.addDays(hour / 24), QTime(hour % 24, 15));
                const CAdifRecord alone = AdifCheckin::ToAdif(c, {}, tz);
                const CAdifRecord inRow = exporter.Record(c);
                QCOMPARE(inRow.Value("QSO_DATE") + inRow.Value("TIME_ON"),
                         alone.Value("QSO_DATE") + alone.Value("TIME_ON"));
            }
    }

    // And one importer over the UTC hours around them gives what each record gives on its own.
    void importerFollowsTheClockChanges()
    {
        const QTimeZone tz("America/New_York");
        AdifCheckin::CImporter importer(tz);
        QString reason;
        for (const QDate& first : {QDate(2024, 3, 9), QDate(2024, 11, 2)})
            for (int hour = 0; hour < 72; ++hour) {
                CAdifRecord r;
                r.Add("CALL", QStringLiteral("W4ABC"));
                r.Add("QSO_DATE", first.addDays(hour / 24).toString(QStringLiteral("yyyyMMdd")));
                r.Add("TIME_ON", QStringLiteral("%1%2").arg(hour % 24, 2, 10, QLatin1Char('0')).arg(15));
                CCheckinRecord alone, inRow;
                QVERIFY(AdifCheckin::FromAdif(r, tz, alone, reason));
                QVERIFY(importer.Record(r, inRow, reason));
                const QDateTime local =
                    QDateTime(first.addDays(hour / 24), QTime(hour % 24, 15), Qt::UTC).toTimeZone(tz);
                QCOMPARE(inRow.date, CDateTime(local.date(), local.time()));
                QCOMPARE(alone.date, inRow.date);
            }
    }

    void locationParts_data()
    {
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("qth");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("county");
        QTest::newRow("city, state zip") << "Springfield, IL 62701"
                                         << "Springfield"
                                         << "IL"
                                         << "";
        QTest::newRow("zip+4") << "Macon GA 31201-1234"
                               << "Macon"
                               << "GA"
                               << "";
        QTest::newRow("lower-case state") << "Macon, ga"
                                          << "Macon"
                                          << "GA"
                                          << "";
        QTest::newRow("county") << "Springfield, Greene County, MO 65801"
                                << "Springfield"
                                << "MO"
                                << "MO,Greene";
        QTest::newRow("parish") << "Houma, Terrebonne Parish, LA"
                                << "Houma"
                                << "LA"
                                << "LA,Terrebonne";
        QTest::newRow("no state") << "Paris"
                                  << "Paris"
                                  << ""
                                  << "";
        QTest::newRow("two letters that are no state") << "Berlin, XY 10115"
                                                       << "Berlin, XY 10115"
                                                       << ""
                                                       << "";
        QTest::newRow("blanks") << "  Macon ,  GA  "
                                << "Macon"
                                << "GA"
                                << "";
    }
    void locationParts()
    {
        QFETCH(QString, location);
        QFETCH(QString, qth);
        QFETCH(QString, state);
        QFETCH(QString, county);
        const AdifCheckin::CPlace p = AdifCheckin::ParseLocation(location);
        QCOMPARE(p.qth, qth);
        QCOMPARE(p.state, state);
        QCOMPARE(p.county, county);
    }

    void stationFields_data()
    {
        QTest::addColumn<QString>("frequency");
        QTest::addColumn<QString>("freq");
        QTest::addColumn<QString>("band");
        QTest::newRow("2 m") << "146.61"
                             << "146.61"
                             << "2m";
        QTest::newRow("with unit and offset") << "146.610 MHz -"
                                              << "146.610"
                                              << "2m";
        QTest::newRow("70 cm") << "442.1"
                               << "442.1"
                               << "70cm";
        QTest::newRow("80 m") << "3.916"
                              << "3.916"
                              << "80m";
        QTest::newRow("between bands") << "100.1"
                                       << "100.1"
                                       << "";
        QTest::newRow("no number") << "the repeater"
                                   << ""
                                   << "";
    }
    void stationFields()
    {
        QFETCH(QString, frequency);
        QFETCH(QString, freq);
        QFETCH(QString, band);
        AdifCheckin::CStation station;
        station.frequency = frequency;
        station.stationCall = QStringLiteral("W4NET");
        station.mode = QStringLiteral("FM");
        const CAdifRecord r =
            AdifCheckin::ToAdif(At(QDate(2024, 3, 7), QTime(19, 0)), station, QTimeZone::utc());
        QCOMPARE(r.Value("FREQ"), freq);
        QCOMPARE(r.Value("BAND"), band);
        QCOMPARE(r.Value("MODE"), QStringLiteral("FM"));
        // The operator is the station when none is named.
        QCOMPARE(r.Value("OPERATOR"), QStringLiteral("W4NET"));
        QVERIFY(!r.Has("CLASS"));
    }

    void recordsThatAreNoCheckin_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("reason"); // empty: taken
        QTest::newRow("complete") << "W1AW"
                                  << "20240307"
                                  << "1900"
                                  << "";
        QTest::newRow("lower case, taken upper case") << "ve3/k1abc"
                                                      << "20240307"
                                                      << "1900"
                                                      << "";
        QTest::newRow("seconds") << "W1AW"
                                 << "20240307"
                                 << "190059"
                                 << "";
        QTest::newRow("no time: midnight UTC") << "W1AW"
                                               << "20240307"
                                               << ""
                                               << "";
        QTest::newRow("no call") << " "
                                 << "20240307"
                                 << "1900"
                                 << "no CALL";
        QTest::newRow("a line break in the call") << "K1\nCheck-ins: 999"
                                                  << "20240307"
                                                  << "1900"
                                                  << "CALL holds control characters";
        QTest::newRow("no date") << "W1AW"
                                 << ""
                                 << "1900"
                                 << "no QSO_DATE";
        QTest::newRow("February 30") << "W1AW"
                                     << "20240230"
                                     << "1900"
                                     << "QSO_DATE \"20240230\" is not a date";
        QTest::newRow("date with dashes") << "W1AW"
                                          << "2024-03-07"
                                          << "1900"
                                          << "QSO_DATE \"2024-03-07\" is not a date";
        QTest::newRow("short date") << "W1AW"
                                    << "2024037"
                                    << "1900"
                                    << "QSO_DATE \"2024037\" is not a date";
        QTest::newRow("hour 24") << "W1AW"
                                 << "20240307"
                                 << "2400"
                                 << "TIME_ON \"2400\" is not a time";
        QTest::newRow("time with colon") << "W1AW"
                                         << "20240307"
                                         << "19:00"
                                         << "TIME_ON \"19:00\" is not a time";
    }
    void recordsThatAreNoCheckin()
    {
        QFETCH(QString, call);
        QFETCH(QString, date);
        QFETCH(QString, time);
        QFETCH(QString, reason);
        CAdifRecord r;
        r.Add("CALL", call);
        r.Add("QSO_DATE", date);
        r.Add("TIME_ON", time);
        CCheckinRecord c;
        QString why;
        QCOMPARE(AdifCheckin::FromAdif(r, QTimeZone::utc(), c, why), reason.isEmpty());
        QCOMPARE(why, reason);
        if (reason.isEmpty())
            QCOMPARE(c.callSign, call.trimmed().toUpper());
    }

    void otherLoggersAddresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("qth");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("street");
        QTest::addColumn<QString>("location");
        QTest::newRow("street and place") << "1 Elm St\r\nMacon, GA"
                                          << "Macon"
                                          << "GA"
                                          << "1 Elm St"
                                          << "Macon, GA";
        QTest::newRow("three lines, LF") << "Bob\n1 Elm St\nMacon, GA"
                                         << ""
                                         << ""
                                         << "Bob, 1 Elm St"
                                         << "Macon, GA";
        QTest::newRow("place only") << "Macon, GA 31201"
                                    << "Macon"
                                    << "GA"
                                    << ""
                                    << "Macon, GA 31201";
        QTest::newRow("street only") << "1 Elm St"
                                     << ""
                                     << ""
                                     << "1 Elm St"
                                     << "";
        QTest::newRow("street, place from QTH") << "1 Elm St"
                                                << "Macon"
                                                << "GA"
                                                << "1 Elm St"
                                                << "Macon, GA";
        QTest::newRow("QTH alone") << ""
                                   << "Macon"
                                   << ""
                                   << ""
                                   << "Macon";
    }
    void otherLoggersAddresses()
    {
        QFETCH(QString, address);
        QFETCH(QString, qth);
        QFETCH(QString, state);
        QFETCH(QString, street);
        QFETCH(QString, location);
        CAdifRecord r;
        r.Add("CALL", QStringLiteral("W1AW"));
        r.Add("QSO_DATE", QStringLiteral("20240307"));
        r.Add("ADDRESS", address);
        r.Add("QTH", qth);
        r.Add("STATE", state);
        CCheckinRecord c;
        QString why;
        QVERIFY(AdifCheckin::FromAdif(r, QTimeZone::utc(), c, why));
        QCOMPARE(c.street, street);
        QCOMPARE(c.location, location);
    }
};

QTEST_GUILESS_MAIN(TestAdifCheckin)
#include "tst_adifcheckin.moc"
