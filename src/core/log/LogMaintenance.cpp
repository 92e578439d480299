#include "core/log/LogMaintenance.h"

#include "core/Exceptions.h"
#include "core/db/Database.h"
#include "core/db/DateTime.h"
#include "core/log/CheckinQuery.h"
#include "core/log/LogSchema.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

namespace {

QDateTime Midnight(const QDate& day)
{
    return QDateTime(day, QTime(0, 0), Qt::UTC);
}

QString Storage(const QDateTime& value)
{
    return CDateTime(value).ToStorage();
}

} // namespace

CPurgeSelection::CPurgeSelection(const QDate& from, const QDate& to) : m_from(from), m_to(to) {}

CQueryFilter CPurgeSelection::Filter() const
{
    if (m_wholeLog)
        return {};
    return {QStringLiteral("\"Date\" >= ? AND \"Date\" < ?"),
            {Storage(Midnight(m_from)), Storage(Midnight(m_to.addDays(1)))}};
}

CPurgeSelection::CCount CPurgeSelection::CountAndNarrow(CDatabase& db)
{
    const CQueryFilter filter = Filter();
    // Only stored dates that are real date-times take part in the earliest and the latest.
    QString sql = QStringLiteral("SELECT count(*), min(CASE WHEN \"Date\" GLOB '[0-9]*' THEN \"Date\" END), "
                                 "max(CASE WHEN \"Date\" GLOB '[0-9]*' THEN \"Date\" END) FROM %1")
                      .arg(QLatin1String(LogSchema::kView));
    if (!filter.IsEmpty())
        sql += QStringLiteral(" WHERE ") + filter.where;
    CCount result;
    QString first, last;
    try {
        SQLite::Statement stmt(db.Handle(), sql.toStdString());
        BindFilter(stmt, filter);
        stmt.executeStep();
        result.count = static_cast<long>(stmt.getColumn(0).getInt64());
        if (!stmt.getColumn(1).isNull()) {
            first = QString::fromUtf8(stmt.getColumn(1).getText());
            last = QString::fromUtf8(stmt.getColumn(2).getText());
        }
    } catch (const std::exception& e) {
        db.Raise(e);
    }
    const CDateTime firstValue = CDateTime::FromStorage(first, first.isEmpty());
    const CDateTime lastValue = CDateTime::FromStorage(last, last.isEmpty());
    if (firstValue.IsValid() && lastValue.IsValid()) {
        m_from = firstValue.Date();
        m_to = lastValue.Date();
        result.first = firstValue.Date();
        result.last = lastValue.Date();
    }
    return result;
}

CPurgeSelection::CCount CPurgeSelection::CountAll(CDatabase& db)
{
    m_wholeLog = true;
    return CountAndNarrow(db);
}

CPurgeSelection::CCount CPurgeSelection::SetFrom(CDatabase& db, const QDate& day)
{
    m_wholeLog = false;
    m_from = day;
    return CountAndNarrow(db);
}

CPurgeSelection::CCount CPurgeSelection::SetTo(CDatabase& db, const QDate& day)
{
    m_wholeLog = false;
    m_to = day;
    return CountAndNarrow(db);
}

long CPurgeSelection::Recount(CDatabase& db) const
{
    return CheckinQuery::Count(db, Filter());
}
