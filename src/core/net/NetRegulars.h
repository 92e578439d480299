#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <vector>

class CDatabase;

// The regulars of a net: the stations heard on at least `minTimes` of the last `nets` nets held on the
// same weekday before the day (a net is a day with at least one check-in; weeks without one are skipped).
namespace NetRegulars {

struct CRegular
{
    QString callSign;
    QString name;        // from the newest of those check-ins
    QDateTime lastHeard; // the newest of those check-ins
    int times = 0;       // on how many of those nets
};

struct COptions
{
    int nets = 4;
    int minTimes = 2;
    // How far back to look for the weekday's nets: two years of weeks.
    int lookBackWeeks = 104;
};

// The days of the weekday's last nets before `day`, newest first.
QList<QDate> PreviousNets(CDatabase& db, const QDate& day, int nets, int lookBackWeeks = 104);
// Every regular of the day's net, newest first.
std::vector<CRegular> Regulars(CDatabase& db, const QDate& day, const COptions& options = {});
// The regulars not yet logged on the day (call signs compared without regard to case), newest first.
std::vector<CRegular> Missing(CDatabase& db, const QDate& day, const COptions& options = {});

} // namespace NetRegulars
