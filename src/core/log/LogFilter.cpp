#include "core/log/LogFilter.h"

#include "core/db/Database.h"
#include "core/db/DateTime.h"

namespace LogFilter {

namespace {

QString Midnight(const QDate& day)
{
    return CDateTime(day, QTime(0, 0)).ToStorage();
}

CQueryFilter MatchNothing()
{
    return {QStringLiteral("0"), {}};
}

QString EscapeLike(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

} // namespace

QDate ParseDayText(const QString& dayText)
{
    if (dayText.size() < 10)
        return {};
    bool okYear = false, okMonth = false, okDay = false;
    const int year = dayText.left(4).toInt(&okYear);
    const int month = dayText.mid(5, 2).trimmed().toInt(&okMonth);
    const int day = dayText.mid(8, 2).trimmed().toInt(&okDay);
    if (!okYear || !okMonth || !okDay)
        return {};
    return QDate(year, month, day); // invalid for 2024 02 30 and the like
}

QString DayText(const QDate& day)
{
    return day.toString(QStringLiteral("yyyy MM dd"));
}

CQueryFilter Day(const QDate& day)
{
    if (!day.isValid())
        return MatchNothing();
    return {QStringLiteral("\"Date\" >= ? AND \"Date\" < ?"), {Midnight(day), Midnight(day.addDays(1))}};
}

CQueryFilter Day(const QString& dayText)
{
    return Day(ParseDayText(dayText));
}

CQueryFilter CallSignPrefix(const QString& prefix)
{
    if (prefix.isEmpty())
        return {};
    return {QStringLiteral("CallSign LIKE ? ESCAPE '\\'"), {EscapeLike(prefix) + QLatin1Char('%')}};
}

CQueryFilter CallSignEquals(const QString& callSign)
{
    return {QStringLiteral("CallSign = ?"), {callSign}};
}

CQueryFilter Id(qint64 id)
{
    return {QStringLiteral("ID = ?"), {id}};
}

CQueryFilter DateBetween(const QDate& from, const QDate& to)
{
    return {QStringLiteral("\"Date\" BETWEEN ? AND ?"), {Midnight(from), Midnight(to)}};
}

CQueryFilter Days(const QDate& first, const QDate& last)
{
    return {QStringLiteral("\"Date\" >= ? AND \"Date\" < ?"), {Midnight(first), Midnight(last.addDays(1))}};
}

CQueryFilter DateEquals(const QDateTime& value)
{
    return {QStringLiteral("\"Date\" = ?"), {CDateTime(value).ToStorage()}};
}

CQueryFilter StandingOnly(CDatabase& db, const CQueryFilter& filter)
{
    if (!db.TableExists(QStringLiteral("SyncTab")))
        return filter;
    CQueryFilter f = filter;
    const QString standing =
        QStringLiteral("ID NOT IN (SELECT CheckinID FROM SyncTab WHERE DuplicateOf IS NOT"
                       " NULL AND CheckinID IS NOT NULL)");
    f.where = f.IsEmpty() ? standing : QStringLiteral("(%1) AND %2").arg(filter.where, standing);
    return f;
}

} // namespace LogFilter
