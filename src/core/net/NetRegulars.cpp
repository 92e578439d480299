#include "core/net/NetRegulars.h"

#include "core/db/Database.h"
#include "core/db/DateTime.h"
#include "core/log/LogFilter.h"
#include "core/log/LogSchema.h"

#include <QHash>
#include <QSet>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <algorithm>

namespace NetRegulars {

namespace {

std::string DayRangeSql(const char* columns)
{
    return QStringLiteral("SELECT %1 FROM %2 WHERE %3")
        .arg(QLatin1String(columns), QLatin1String(LogSchema::kTable),
             LogFilter::Day(QDate(2000, 1, 1)).where)
        .toStdString();
}

void BindDay(SQLite::Statement& stmt, const QDate& day)
{
    stmt.reset();
    const CQueryFilter f = LogFilter::Day(day);
    stmt.bind(1, f.params[0].toString().toStdString());
    stmt.bind(2, f.params[1].toString().toStdString());
}

QString Text(const SQLite::Column& c)
{
    return c.isNull() ? QString() : QString::fromUtf8(c.getText());
}

} // namespace

QList<QDate> PreviousNets(CDatabase& db, const QDate& day, int nets, int lookBackWeeks)
{
    QList<QDate> found;
    if (!day.isValid() || nets <= 0)
        return found;
    try {
        // One indexed probe per week: weeks are counted in calendar days, so a change of the clocks in
        // between moves no net to another weekday.
        SQLite::Statement probe(db.Handle(), DayRangeSql("1") + " LIMIT 1");
        for (int week = 1; week <= lookBackWeeks && found.size() < nets; ++week) {
            const QDate d = day.addDays(-7 * week);
            BindDay(probe, d);
            if (probe.executeStep())
                found << d;
        }
    } catch (const std::exception& e) {
        db.Raise(e);
    }
    return found;
}

std::vector<CRegular> Regulars(CDatabase& db, const QDate& day, const COptions& options)
{
    std::vector<CRegular> regulars;
    const QList<QDate> nets = PreviousNets(db, day, options.nets, options.lookBackWeeks);
    QHash<QString, CRegular> byCall;
    try {
        SQLite::Statement stmt(db.Handle(), DayRangeSql("CallSign, Name, \"Date\""));
        for (const QDate& net : nets) {
            BindDay(stmt, net);
            QSet<QString> counted;
            while (stmt.executeStep()) {
                const QString call = Text(stmt.getColumn(0)).trimmed();
                if (call.isEmpty())
                    continue;
                const QString key = call.toUpper();
                const CDateTime when = CDateTime::FromStorage(Text(stmt.getColumn(2)), false);
                const QDateTime at(when.Date(), when.Time());
                CRegular& r = byCall[key];
                if (!counted.contains(key)) {
                    counted.insert(key);
                    ++r.times;
                }
                if (r.callSign.isEmpty() || at > r.lastHeard) {
                    r.callSign = call;
                    r.name = Text(stmt.getColumn(1));
                    r.lastHeard = at;
                }
            }
        }
    } catch (const std::exception& e) {
        db.Raise(e);
    }
    for (const CRegular& r : std::as_const(byCall))
        if (r.times >= options.minTimes)
            regulars.push_back(r);
    std::sort(regulars.begin(), regulars.end(), [](const CRegular& a, const CRegular& b) {
        if (a.lastHeard != b.lastHeard)
            return a.lastHeard > b.lastHeard;
        if (a.times != b.times)
            return a.times > b.times;
        return a.callSign < b.callSign;
    });
    return regulars;
}

std::vector<CRegular> Missing(CDatabase& db, const QDate& day, const COptions& options)
{
    std::vector<CRegular> regulars = Regulars(db, day, options);
    if (regulars.empty())
        return regulars;
    QSet<QString> tonight;
    try {
        SQLite::Statement stmt(db.Handle(), DayRangeSql("CallSign"));
        BindDay(stmt, day);
        while (stmt.executeStep())
            tonight.insert(Text(stmt.getColumn(0)).trimmed().toUpper());
    } catch (const std::exception& e) {
        db.Raise(e);
    }
    std::erase_if(regulars, [&](const CRegular& r) { return tonight.contains(r.callSign.toUpper()); });
    return regulars;
}

} // namespace NetRegulars
