#include "core/log/LogQueries.h"

#include "core/db/Database.h"
#include "core/log/LogFilter.h"
#include "core/log/LogwardenSet.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

namespace LogQueries {

QStringList MatchCallSigns(CDatabase& db, const QString& prefix, int limit)
{
    QStringList taken;
    try {
        // Streamed and finished early: a one-letter prefix may match most of the log.
        const CQueryFilter f = LogFilter::CallSignPrefix(prefix);
        QString sql = QStringLiteral("SELECT CallSign FROM LogwardenTab WHERE CallSign IS NOT NULL");
        if (!f.IsEmpty())
            sql += QStringLiteral(" AND ") + f.where;
        sql += QStringLiteral(" ORDER BY CallSign DESC");
        SQLite::Statement stmt(db.Handle(), sql.toStdString());
        for (int i = 0; i < f.params.size(); ++i)
            stmt.bind(i + 1, f.params[i].toString().toStdString());
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
    CLogwardenSet set(&db);
    set.SetFilter(LogFilter::CallSignEquals(callSign));
    set.SetSort(LogSort::kIdDesc);
    set.Open();
    if (set.IsEOF())
        return std::nullopt;
    return set.GetRecord();
}

std::vector<CCheckinRecord> DayCheckins(CDatabase& db, const QDate& day)
{
    CLogwardenSet set(&db);
    set.SetFilter(LogFilter::Day(day));
    set.SetSort(LogSort::kId);
    set.Open();
    std::vector<CCheckinRecord> records;
    while (!set.IsEOF()) {
        records.push_back(set.GetRecord());
        set.MoveNext();
    }
    return records;
}

void SetFlag(CDatabase& db, int id, Flag flag, bool value)
{
    CLogwardenSet set(&db);
    set.SetFilter(LogFilter::Id(id));
    set.Open();
    if (set.IsEOF())
        return; // deleted meanwhile: nothing to keep
    set.Edit();
    switch (flag) {
    case Flag::Acknowledged:
        set.m_Acknowledged = value;
        break;
    case Flag::HasTraffic:
        set.m_HasTraffic = value;
        break;
    case Flag::HasComments:
        set.m_HasComments = value;
        break;
    }
    set.Update();
}

} // namespace LogQueries
