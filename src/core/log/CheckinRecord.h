#pragma once

#include "core/db/DateTime.h"

#include <QString>

// The values of one check-in, detached from any record set.
struct CCheckinRecord
{
    int id = 0;
    QString callSign;
    QString name;
    QString street;
    QString location;
    QString comment;
    CDateTime date;
    bool hasComments = false;
    bool hasTraffic = false;
    bool acknowledged = false;
    QString cls;
    QString yourGrid;
    QString email;

    // What the shared club log adds, read along with the check-in (empty when the log is not shared):
    // its identity across every operator's log, who logged it, "N4XYZ 19:02" when another operator logged
    // the same station that day too, and whether two operators changed one field differently.
    QString uuid;
    QString loggedBy;
    QString alsoLoggedBy;
    bool conflict = false;
    // Another operator's check-in of the same station that day stands for this one in the list.
    bool duplicate = false;
};
