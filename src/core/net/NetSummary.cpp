#include "core/net/NetSummary.h"

#include "core/db/Database.h"
#include "core/log/LogFilter.h"
#include "core/log/LogSchema.h"

#include <QLocale>
#include <QSet>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

namespace {

QString TimeText(const QDateTime& t)
{
    return t.isValid() ? t.toString(QStringLiteral("HH:mm")) : QStringLiteral("not stamped");
}

QString CallList(const QStringList& calls)
{
    return calls.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(calls.join(QStringLiteral(", ")));
}

} // namespace

QString CNetSummary::DurationText() const
{
    const qint64 secs = times.DurationSecs();
    if (secs < 0)
        return QStringLiteral("unknown");
    const qint64 minutes = (secs + 30) / 60;
    if (minutes < 60)
        return QStringLiteral("%1 min").arg(minutes);
    return QStringLiteral("%1 h %2 min").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QStringList CNetSummary::Lines() const
{
    return {
        QStringLiteral("Net of %1")
            .arg(QLocale(QLocale::English).toString(day, QStringLiteral("dddd, MMMM d, yyyy"))),
        QStringLiteral("Check-ins: %1").arg(checkins),
        QStringLiteral("New stations: %1%2").arg(newStations.size()).arg(CallList(newStations)),
        QStringLiteral("Regulars missing: %1%2").arg(regularsMissing.size()).arg(CallList(regularsMissing)),
        QStringLiteral("Traffic: %1").arg(traffic),
        QStringLiteral("Acknowledged: %1").arg(acknowledged),
        QStringLiteral("Started: %1").arg(TimeText(times.started)),
        QStringLiteral("Ended: %1").arg(TimeText(times.ended)),
        QStringLiteral("Duration: %1").arg(DurationText()),
    };
}

QString CNetSummary::Html() const
{
    const QStringList lines = Lines();
    QString html = QStringLiteral("<h2>%1</h2>\n<table>\n").arg(lines.front().toHtmlEscaped());
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(QStringLiteral(": "));
        html += QStringLiteral("<tr><th align=\"left\">%1</th><td>%2</td></tr>\n")
                    .arg(lines[i].left(colon).toHtmlEscaped(), lines[i].mid(colon + 2).toHtmlEscaped());
    }
    html += QStringLiteral("</table>\n");
    return html;
}

namespace NetSummary {

CNetSummary Summarize(CDatabase& db, const QDate& day, const NetRegulars::COptions& regulars)
{
    CNetSummary s;
    s.day = day;
    if (!day.isValid())
        return s;
    QStringList calls; // distinct, in the order first logged
    QSet<QByteArray> seen;
    try {
        // Only the columns counted, straight from the engine.
        // A station two operators logged counts once: the check-in that stands for it.
        const CQueryFilter f = LogFilter::StandingOnly(db, LogFilter::Day(day));
        SQLite::Statement stmt(db.Handle(),
                               QStringLiteral("SELECT CallSign, HasTraffic, Acknowledged FROM %1 "
                                              "WHERE %2 ORDER BY ID")
                                   .arg(QLatin1String(LogSchema::kView), f.where)
                                   .toStdString());
        BindFilter(stmt, f);
        while (stmt.executeStep()) {
            ++s.checkins;
            s.traffic += stmt.getColumn(1).getInt() != 0 ? 1 : 0;
            s.acknowledged += stmt.getColumn(2).getInt() != 0 ? 1 : 0;
            const QByteArray call = QByteArray(stmt.getColumn(0).getText()).trimmed();
            if (!call.isEmpty() && !seen.contains(call.toUpper())) {
                seen.insert(call.toUpper());
                calls << QString::fromUtf8(call);
            }
        }
    } catch (const std::exception& e) {
        db.Raise(e);
    }
    try {
        // One probe per station through the call-sign index.
        SQLite::Statement before(db.Handle(),
                                 QStringLiteral("SELECT 1 FROM %1 WHERE CallSign = ? AND \"Date\" < ? "
                                                "LIMIT 1")
                                     .arg(QLatin1String(LogSchema::kView))
                                     .toStdString());
        const std::string midnight = LogFilter::Day(day).params[0].toString().toStdString();
        for (const QString& call : std::as_const(calls)) {
            before.reset();
            before.bind(1, call.toStdString());
            before.bind(2, midnight);
            if (!before.executeStep())
                s.newStations << call;
        }
    } catch (const std::exception& e) {
        db.Raise(e);
    }
    for (const NetRegulars::CRegular& r : NetRegulars::Missing(db, day, regulars))
        s.regularsMissing << r.callSign;
    s.times = NetTimes::Get(db, day);
    return s;
}

} // namespace NetSummary
