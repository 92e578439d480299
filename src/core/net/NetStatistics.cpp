#include "core/net/NetStatistics.h"

#include "core/db/Database.h"
#include "core/db/DateTime.h"
#include "core/log/LogSchema.h"

#include <QHash>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <algorithm>

namespace NetStatistics {

namespace {

std::string Midnight(const QDate& d)
{
    return CDateTime(d, QTime(0, 0)).ToStorage().toStdString();
}

struct CSeen
{
    CStation station;
    QDate first;         // first day in the year
    QDate lastCounted;   // the last net it was counted on
    bool before = false; // heard before the year began
};

} // namespace

CYear Year(CDatabase& db, const QDate& to, int top)
{
    CYear year;
    year.to = to;
    year.from = to.addYears(-1).addDays(1);
    if (!to.isValid())
        return year;
    QHash<QString, CSeen> seen;
    QList<QPair<QDate, QString>> checkins; // day, call key: in date order
    try {
        // The year in date order through the date index: only the call, the name and the day are read.
        SQLite::Statement stmt(db.Handle(),
                               QStringLiteral("SELECT CallSign, Name, substr(\"Date\", 1, 10) FROM %1 "
                                              "WHERE \"Date\" >= ? AND \"Date\" < ? ORDER BY \"Date\"")
                                   .arg(QLatin1String(LogSchema::kTable))
                                   .toStdString());
        stmt.bind(1, Midnight(year.from));
        stmt.bind(2, Midnight(to.addDays(1)));
        QString dayText;
        QDate day;
        while (stmt.executeStep()) {
            const char* call = stmt.getColumn(0).getText();
            if (!*call)
                continue;
            const char* text = stmt.getColumn(2).getText();
            if (dayText != QLatin1String(text)) {
                dayText = QString::fromLatin1(text);
                day = QDate::fromString(dayText, Qt::ISODate);
            }
            const QString key = QString::fromUtf8(call).trimmed().toUpper();
            if (key.isEmpty() || !day.isValid())
                continue;
            CSeen& s = seen[key];
            if (s.station.callSign.isEmpty()) {
                s.station.callSign = QString::fromUtf8(call).trimmed();
                s.first = day;
            }
            s.station.name = QString::fromUtf8(stmt.getColumn(1).getText());
            s.station.lastHeard = day;
            if (s.lastCounted != day) {
                s.lastCounted = day;
                ++s.station.nets;
                checkins.append({day, key});
            }
        }
        // New to the log is new before the year too: one probe per station through the call-sign index.
        SQLite::Statement before(db.Handle(),
                                 QStringLiteral("SELECT 1 FROM %1 WHERE CallSign = ? AND \"Date\" < ? "
                                                "LIMIT 1")
                                     .arg(QLatin1String(LogSchema::kTable))
                                     .toStdString());
        const std::string start = Midnight(year.from);
        for (auto it = seen.begin(); it != seen.end(); ++it) {
            before.reset();
            before.bind(1, it->station.callSign.toStdString());
            before.bind(2, start);
            it->before = before.executeStep();
        }
    } catch (const std::exception& e) {
        db.Raise(e);
    }
    for (const auto& [day, key] : std::as_const(checkins)) {
        if (year.nets.isEmpty() || year.nets.back().day != day)
            year.nets.append({day, 0, 0});
        const CSeen& s = seen[key];
        if (!s.before && s.first == day)
            ++year.nets.back().newStations;
        else
            ++year.nets.back().returning;
    }
    QList<CStation> stations;
    stations.reserve(seen.size());
    for (const CSeen& s : std::as_const(seen))
        stations.append(s.station);
    std::sort(stations.begin(), stations.end(), [](const CStation& a, const CStation& b) {
        if (a.nets != b.nets)
            return a.nets > b.nets;
        if (a.lastHeard != b.lastHeard)
            return a.lastHeard > b.lastHeard;
        return a.callSign < b.callSign;
    });
    year.regulars = stations.mid(0, top);
    return year;
}

} // namespace NetStatistics
