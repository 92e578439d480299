#pragma once

#include "core/log/CheckinRecord.h"
#include "core/web/WebRequest.h"

#include <QDate>
#include <QString>
#include <vector>

class CSettings;

// The net report the net-control operator sends to the club after the net.
struct CNetReport
{
    QString name;
    QString call;
    QString date; // "03/07/2024" (month/day/year)
    QString message;
    QString checkIns;
    QString traffic;
    bool announce = false;

    bool operator==(const CNetReport&) const = default;
};

namespace NetReport {

inline const QString kScriptPath = QStringLiteral("cgi-bin/netReport");

// What the dialog offers for the net of day: name, call, message and the announce choice from section
// "NetReport", the day's date, its number of check-ins and of check-ins ticked "Traffic" (the counts
// the log holds, not the last report's). Reads the settings only.
CNetReport Initial(const CSettings& settings, const QDate& day,
                   const std::vector<CCheckinRecord>& dayCheckins);

// Writes every field into section "NetReport" (Announce as 0 or 1): what "Send" does before it sends.
void Store(CSettings& settings, const CNetReport& report);

// Percent-encodes what would break a query (blanks, & = # % + ? ;, control characters and non-ASCII,
// the latter as UTF-8); everything else stays as typed, "/" included.
QString EncodeValue(const QString& value);

// "cgi-bin/netReport?f=NAME&s=CALL&d=DATE&m=MESSAGE&c=CHECKINS&t=TRAFFIC&a=Yes" (or "a=No").
QString ObjectPath(const CNetReport& report);

// Sends the report to the club's server: a GET of ObjectPath() there, without a port or credentials of
// its own.
CWebResponse Send(CWebRequest& request, const QString& server, const CNetReport& report);

} // namespace NetReport
