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
    QString uuid;
};
