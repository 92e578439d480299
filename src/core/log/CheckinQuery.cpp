#include "core/log/CheckinQuery.h"

#include "core/Exceptions.h"
#include "core/db/Database.h"
#include "core/log/LogFilter.h"
#include "core/log/LogSchema.h"

#include <QStringList>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

namespace CheckinQuery {

namespace {

QString Text(const SQLite::Column& c)
{
    return c.isNull() ? QString() : QString::fromUtf8(c.getText());
}

} // namespace

long Count(CDatabase& db, const CQueryFilter& filter)
{
    QString sql = QStringLiteral("SELECT count(*) FROM %1").arg(QLatin1String(LogSchema::kView));
    if (!filter.IsEmpty())
        sql += QStringLiteral(" WHERE ") + filter.where;
    try {
        SQLite::Statement stmt(db.Handle(), sql.toStdString());
        BindFilter(stmt, filter);
        stmt.executeStep();
        return static_cast<long>(stmt.getColumn(0).getInt64());
    } catch (const std::exception& e) {
        db.Raise(e);
    }
}

namespace {

enum class View
{
    Plain,  // the check-ins as stored
    Listed, // as the day's list shows them: duplicates left out, who else logged each
    One     // one check-in as the list shows it, even a duplicate
};

void Walk(CDatabase& db, const CQueryFilter& filter, const QString& orderBy,
          const std::function<void(const CCheckinRecord&)>& fn, long limit, long offset, View view)
{
    // Read in the columns' order; the fields below follow it. The shared log's bookkeeping comes along
    // where the log has it (a log from before it is read as it is).
    const bool shared = db.TableExists(QStringLiteral("SyncTab"));
    QString sql = QStringLiteral("SELECT %1").arg(LogSchema::ColumnList());
    if (shared) {
        sql += QStringLiteral(", s.Uuid, s.LoggedBy, s.Theirs IS NOT NULL, s.DuplicateOf IS NOT NULL");
        if (view != View::Plain)
            sql += QStringLiteral(
                       ", (SELECT d.LoggedBy || ' ' || substr(l2.\"Date\", 12, 5) FROM SyncTab d JOIN %1 l2"
                       " ON l2.ID = d.CheckinID WHERE d.DuplicateOf = s.Uuid ORDER BY l2.\"Date\" LIMIT 1)")
                       .arg(QLatin1String(LogSchema::kView));
        sql += QStringLiteral(" FROM %1 LEFT JOIN SyncTab s ON s.CheckinID = %1.ID")
                   .arg(QLatin1String(LogSchema::kView));
    } else {
        sql += QStringLiteral(" FROM %1").arg(QLatin1String(LogSchema::kView));
    }
    QStringList where;
    if (!filter.IsEmpty())
        where << QStringLiteral("(") + filter.where + QStringLiteral(")");
    if (shared && view == View::Listed)
        where << QStringLiteral("s.DuplicateOf IS NULL");
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    if (!orderBy.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + orderBy;
    if (limit >= 0 || offset > 0)
        sql += QStringLiteral(" LIMIT %1 OFFSET %2").arg(limit).arg(offset);
    try {
        SQLite::Statement stmt(db.Handle(), sql.toStdString());
        BindFilter(stmt, filter);
        while (stmt.executeStep()) {
            CCheckinRecord r;
            r.id = stmt.getColumn(0).getInt();
            r.callSign = Text(stmt.getColumn(1));
            r.name = Text(stmt.getColumn(2));
            r.street = Text(stmt.getColumn(3));
            r.location = Text(stmt.getColumn(4));
            r.comment = Text(stmt.getColumn(5));
            const SQLite::Column date = stmt.getColumn(6);
            r.date = CDateTime::FromStorage(Text(date), date.isNull());
            r.hasComments = stmt.getColumn(7).getInt() != 0;
            r.hasTraffic = stmt.getColumn(8).getInt() != 0;
            r.acknowledged = stmt.getColumn(9).getInt() != 0;
            r.cls = Text(stmt.getColumn(10));
            r.yourGrid = Text(stmt.getColumn(11));
            r.email = Text(stmt.getColumn(12));
            if (shared) {
                r.uuid = Text(stmt.getColumn(13));
                r.loggedBy = Text(stmt.getColumn(14));
                r.conflict = stmt.getColumn(15).getInt() != 0;
                r.duplicate = stmt.getColumn(16).getInt() != 0;
                if (view != View::Plain)
                    r.alsoLoggedBy = Text(stmt.getColumn(17));
            }
            fn(r);
        }
    } catch (const CLogwardenException&) {
        throw; // from fn
    } catch (const std::exception& e) {
        db.Raise(e);
    }
}

} // namespace

void ForEach(CDatabase& db, const CQueryFilter& filter, const QString& orderBy,
             const std::function<void(const CCheckinRecord&)>& fn, long limit, long offset)
{
    Walk(db, filter, orderBy, fn, limit, offset, View::Plain);
}

void ForEachListed(CDatabase& db, const CQueryFilter& filter, const QString& orderBy,
                   const std::function<void(const CCheckinRecord&)>& fn)
{
    Walk(db, filter, orderBy, fn, -1, 0, View::Listed);
}

std::optional<CCheckinRecord> One(CDatabase& db, int id)
{
    std::optional<CCheckinRecord> found;
    Walk(
        db, LogFilter::Id(id), QString(), [&](const CCheckinRecord& r) { found = r; }, 1, 0, View::One);
    return found;
}

} // namespace CheckinQuery
