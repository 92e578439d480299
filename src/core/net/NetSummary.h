#pragma once

#include "core/net/NetRegulars.h"
#include "core/net/NetTimes.h"

#include <QDate>
#include <QStringList>

class CDatabase;

// What a net came to: check-ins, stations new to the log, regulars not heard, traffic, acknowledged and
// how long it ran. Read from the log in one go when the net ends, and offered as text for the net report
// and as a small HTML page for the club's site.
struct CNetSummary
{
    QDate day;
    int checkins = 0;
    QStringList newStations; // call signs with no check-in before the day, in the order first logged
    QStringList regularsMissing;
    int traffic = 0;
    int acknowledged = 0;
    NetTimes::CTimes times;

    // "Check-ins: 12", "New stations: 2 (K1ABC, W4XYZ)", ... one line per value.
    QStringList Lines() const;
    QString Text() const { return Lines().join(QLatin1Char('\n')) + QLatin1Char('\n'); }
    // The same values as a self-contained HTML fragment; call signs are escaped.
    QString Html() const;
    // "42 min", "1 h 05 min"; "unknown" when the net was not stamped from start to end.
    QString DurationText() const;
};

namespace NetSummary {
CNetSummary Summarize(CDatabase& db, const QDate& day, const NetRegulars::COptions& regulars = {});
} // namespace NetSummary
