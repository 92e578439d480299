#include "core/log/LogQueries.h"

#include "core/db/Database.h"
#include "core/log/CheckinQuery.h"
#include "core/log/LogFilter.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

namespace LogQueries {

QStringList MatchCallSigns(CDatabase& db, const QString& prefix, int limit)
{
    QStringList taken;
    try {
        // Streamed and finished early: a one-letter prefix may match most of the log.
        const CQueryFilter f = LogFilter::CallSignPrefix(prefix);
        QString sql = QStringLiteral("SELECT CallSign FROM Checkins WHERE CallSign IS NOT NULL");
        if (!f.IsEmpty())
            sql += QStringLiteral(" AND ") + f.where;
        sql += QStringLiteral(" ORDER BY CallSign DESC");
        SQLite::Statement stmt(db.Handle(), sql.toStdString());
        BindFilter(stmt, f);
        QString previous;
        while (taken.size() < limit && stmt.executeStep()) {
            const QString call = QString::fromUtf8(stmt.getColumn(0).getText());
            if (call == previous) // the same station, logged again
                continue;
            previous = call;
            const bool covered = std::any_of(taken.begin(), taken.end(), [&](const QString& t) {
                return t.startsWith(call, Qt::CaseInsensitive);
            });
            if (!covered)
                taken << call;
        }
    } catch (const std::exception& e) {
        db.Raise(e);
    }
    std::sort(taken.begin(), taken.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return taken;
}

std::optional<CCheckinRecord> NewestCheckin(CDatabase& db, const QString& callSign)
{
    std::optional<CCheckinRecord> newest;
    CheckinQuery::ForEach(
        db, LogFilter::CallSignEquals(callSign), LogSort::kIdDesc,
        [&](const CCheckinRecord& r) { newest = r; }, 1);
    return newest;
}

std::vector<CCheckinRecord> DayCheckins(CDatabase& db, const QDate& day)
{
    std::vector<CCheckinRecord> records;
    CheckinQuery::ForEachListed(db, LogFilter::Day(day), LogSort::kTime,
                                [&](const CCheckinRecord& r) { records.push_back(r); });
    return records;
}

} // namespace LogQueries
