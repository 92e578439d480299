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
        .arg(QLatin1String(columns), QLatin1String(LogSchema::kView), LogFilter::Day(QDate(2000, 1, 1)).where)
        .toStdString();
}

void BindDay(SQLite::Statement& stmt, const QDate& day)
{
    stmt.reset();
    const CQueryFilter f = LogFilter::Day(day);
    stmt.bind(1, f.params[0].toString().toStdString());
    stmt.bind(2, f.params[1].toString().toStdString());
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
    // Kept as the engine hands them out (UTF-8, the stored date text, which sorts as time does) and turned
    // into text and times only for the regulars found: a net of a thousand stations is read in a blink.
    struct CSeen
    {
        QByteArray call;
        QByteArray name;
        QByteArray lastHeard;
        int times = 0;
        int lastNet = -1;
    };
    QHash<QByteArray, CSeen> byCall;
    try {
        SQLite::Statement stmt(db.Handle(), DayRangeSql("CallSign, Name, \"Date\""));
        for (int net = 0; net < nets.size(); ++net) {
            BindDay(stmt, nets[net]);
            while (stmt.executeStep()) {
                const QByteArray call = QByteArray(stmt.getColumn(0).getText()).trimmed();
                if (call.isEmpty())
                    continue;
                CSeen& r = byCall[call.toUpper()];
                if (r.lastNet != net) {
                    r.lastNet = net;
                    ++r.times;
                }
                const char* when = stmt.getColumn(2).getText();
                if (r.call.isEmpty() || r.lastHeard < when) {
                    r.call = call;
                    r.name = stmt.getColumn(1).getText();
                    r.lastHeard = when;
                }
            }
        }
    } catch (const std::exception& e) {
        db.Raise(e);
    }
    for (const CSeen& s : std::as_const(byCall)) {
        if (s.times < options.minTimes)
            continue;
        const CDateTime when = CDateTime::FromStorage(QString::fromLatin1(s.lastHeard), false);
        regulars.push_back({QString::fromUtf8(s.call), QString::fromUtf8(s.name),
                            QDateTime(when.Date(), when.Time()), s.times});
    }
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
    QSet<QByteArray> tonight;
    try {
        SQLite::Statement stmt(db.Handle(), DayRangeSql("CallSign"));
        BindDay(stmt, day);
        while (stmt.executeStep())
            tonight.insert(QByteArray(stmt.getColumn(0).getText()).trimmed().toUpper());
    } catch (const std::exception& e) {
        db.Raise(e);
    }
    std::erase_if(regulars,
                  [&](const CRegular& r) { return tonight.contains(r.callSign.toUtf8().toUpper()); });
    return regulars;
}

} // namespace NetRegulars
