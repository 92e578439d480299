#include "core/net/NetTimes.h"

#include "core/db/Database.h"
#include "core/db/DateTime.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

namespace NetTimes {

const char* const kTable = "NetTimes";

namespace {

QDateTime FromColumn(const SQLite::Column& c)
{
    if (c.isNull())
        return {};
    const CDateTime value = CDateTime::FromStorage(QString::fromUtf8(c.getText()), false);
    if (!value.IsValid())
        return {};
    // Stored as the wall clock showed it, like the check-ins.
    return QDateTime(value.Date(), value.Time());
}

} // namespace

qint64 CTimes::DurationSecs() const
{
    if (!started.isValid() || !ended.isValid())
        return -1;
    const qint64 secs = started.secsTo(ended);
    return secs > 0 ? secs : -1;
}

void Prepare(CDatabase& db)
{
    // The day as "YYYY-MM-DD"; the stamps in the log's date-time form.
    db.Execute(
        QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (Day TEXT PRIMARY KEY, Started TEXT, Ended TEXT)")
            .arg(QLatin1String(kTable)));
}

CTimes Get(CDatabase& db, const QDate& day)
{
    CTimes times;
    if (!day.isValid())
        return times;
    try {
        if (!db.TableExists(QString::fromLatin1(kTable)))
            return times;
        SQLite::Statement stmt(db.Handle(), QStringLiteral("SELECT Started, Ended FROM %1 WHERE Day = ?")
                                                .arg(QLatin1String(kTable))
                                                .toStdString());
        stmt.bind(1, day.toString(Qt::ISODate).toStdString());
        if (stmt.executeStep()) {
            times.started = FromColumn(stmt.getColumn(0));
            times.ended = FromColumn(stmt.getColumn(1));
        }
    } catch (const std::exception& e) {
        db.Raise(e);
    }
    return times;
}

} // namespace NetTimes
