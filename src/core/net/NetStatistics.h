#pragma once

#include <QDate>
#include <QList>
#include <QString>

class CDatabase;

// A picture of a year of nets: every net (a day with check-ins) with its stations split into those new to
// the log that day and those returning, and the stations heard on the most nets.
namespace NetStatistics {

struct CNet
{
    QDate day;
    int newStations = 0;
    int returning = 0;
    int Total() const { return newStations + returning; }
};

struct CStation
{
    QString callSign;
    QString name;
    int nets = 0; // on how many of the year's nets
    QDate lastHeard;
};

struct CYear
{
    QDate from, to;
    QList<CNet> nets;         // in date order
    QList<CStation> regulars; // most nets first, at most `top` of them
};

// The year up to and including `to` (from the same day a year before, the day after it).
CYear Year(CDatabase& db, const QDate& to, int top = 20);

} // namespace NetStatistics
