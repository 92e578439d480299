#include "core/log/CheckinStore.h"

#include "core/Exceptions.h"
#include "core/db/Database.h"
#include "core/jobs/BackgroundJob.h"
#include "core/log/CheckinQuery.h"
#include "core/log/LogFilter.h"
#include "core/log/LogMaintenance.h"
#include "core/log/LogSchema.h"
#include "core/log/detail/LogwardenSet.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>

namespace {

// Calls fn(field of a, field of b, field of c) for every field of a check-in but its id.
template <typename Fn>
void ForEachField(CCheckinRecord& a, const CCheckinRecord& b, const CCheckinRecord& c, Fn fn)
{
    fn(a.callSign, b.callSign, c.callSign);
    fn(a.name, b.name, c.name);
    fn(a.street, b.street, c.street);
    fn(a.location, b.location, c.location);
    fn(a.comment, b.comment, c.comment);
    fn(a.date, b.date, c.date);
    fn(a.hasComments, b.hasComments, c.hasComments);
    fn(a.hasTraffic, b.hasTraffic, c.hasTraffic);
    fn(a.acknowledged, b.acknowledged, c.acknowledged);
    fn(a.cls, b.cls, c.cls);
    fn(a.yourGrid, b.yourGrid, c.yourGrid);
    fn(a.email, b.email, c.email);
}

bool SameValues(const CCheckinRecord& x, const CCheckinRecord& y)
{
    bool same = true;
    CCheckinRecord copy = x;
    ForEachField(copy, y, y, [&](const auto& a, const auto& b, const auto&) { same = same && a == b; });
    return same;
}

} // namespace

CCheckinStore::CCheckinStore(CDatabase& db, QObject* parent) : QObject(parent), m_db(db) {}

int CCheckinStore::Add(const CCheckinRecord& record)
{
    return AddMany({record}).front();
}

QList<int> CCheckinStore::AddMany(const std::vector<CCheckinRecord>& records, Undoable undoable)
{
    std::vector<CCheckinRecord> added;
    added.reserve(records.size());
    try {
        // One durable commit for all: a station after another costs no flush of its own.
        SQLite::Transaction transaction(m_db.Handle());
        CLogwardenSet set(&m_db);
        set.SetFilter(LogFilter::Id(-1));
        set.Open();
        for (const CCheckinRecord& record : records) {
            set.AddNew();
            set.SetRecord(record);
            set.Update();
            added.push_back(record);
            added.back().id = static_cast<int>(set.GetLastInsertedKey());
        }
        set.Close();
        transaction.commit();
    } catch (const CLogwardenException&) {
        throw;
    } catch (const std::exception& e) {
        m_db.Raise(e);
    }
    QList<int> ids;
    for (const CCheckinRecord& r : added) {
        ids << r.id;
        Q_EMIT checkinAdded(r);
    }
    if (undoable == Undoable::Yes && !added.empty())
        Remember({CUndoStep::Kind::PreNetMove, {}, added});
    return ids;
}

bool CCheckinStore::Save(const CCheckinRecord& record, Undoable undoable)
{
    CLogwardenSet set(&m_db);
    set.SetFilter(LogFilter::Id(record.id));
    set.Open();
    if (set.IsEOF())
        return false;
    const CCheckinRecord before = set.GetRecord();
    set.Edit();
    set.SetRecord(record);
    set.Update();
    const CCheckinRecord after = set.GetRecord();
    Q_EMIT checkinChanged(after);
    if (undoable == Undoable::Yes && !SameValues(before, after))
        Remember({CUndoStep::Kind::Correction, {before}, {after}});
    return true;
}

bool CCheckinStore::SetFlag(int id, LogQueries::Flag flag, bool value)
{
    CLogwardenSet set(&m_db);
    set.SetFilter(LogFilter::Id(id));
    set.Open();
    if (set.IsEOF())
        return false;
    set.Edit();
    switch (flag) {
    case LogQueries::Flag::Acknowledged:
        set.m_Acknowledged = value;
        break;
    case LogQueries::Flag::HasTraffic:
        set.m_HasTraffic = value;
        break;
    case LogQueries::Flag::HasComments:
        set.m_HasComments = value;
        break;
    }
    set.Update();
    Q_EMIT checkinChanged(set.GetRecord());
    return true;
}

int CCheckinStore::Remove(const QList<int>& ids, Undoable undoable)
{
    if (ids.isEmpty())
        return 0;
    const std::vector<CCheckinRecord> before =
        undoable == Undoable::Yes ? Fetch(ids) : std::vector<CCheckinRecord>();
    QList<int> removed;
    try {
        SQLite::Transaction transaction(m_db.Handle());
        SQLite::Statement del(
            m_db.Handle(),
            QStringLiteral("DELETE FROM %1 WHERE ID=?").arg(QLatin1String(LogSchema::kTable)).toStdString());
        for (const int id : ids) {
            del.bind(1, id);
            if (del.exec() > 0)
                removed << id;
            del.reset();
        }
        transaction.commit();
    } catch (const std::exception& e) {
        m_db.Raise(e);
    }
    if (!removed.isEmpty())
        Q_EMIT checkinsRemoved(removed);
    if (undoable == Undoable::Yes && !removed.isEmpty()) {
        CUndoStep step{CUndoStep::Kind::Delete, {}, {}};
        for (const CCheckinRecord& r : before)
            if (removed.contains(r.id))
                step.before.push_back(r);
        Remember(std::move(step));
    }
    return static_cast<int>(removed.size());
}

long CCheckinStore::Purge(const CPurgeSelection& selection)
{
    // The ids first, so that whoever shows them can let them go; then exactly what the selection counts,
    // in one statement.
    QList<int> ids;
    const CQueryFilter filter = selection.Filter();
    CheckinQuery::ForEach(m_db, filter, LogSort::kId, [&](const CCheckinRecord& r) { ids << r.id; });
    QString sql = QStringLiteral("DELETE FROM %1").arg(QLatin1String(LogSchema::kTable));
    if (!filter.IsEmpty())
        sql += QStringLiteral(" WHERE ") + filter.where;
    long purged = 0;
    try {
        SQLite::Statement stmt(m_db.Handle(), sql.toStdString());
        BindFilter(stmt, filter);
        purged = static_cast<long>(stmt.exec());
    } catch (const std::exception& e) {
        m_db.Raise(e);
    }
    if (purged > 0)
        Q_EMIT checkinsRemoved(ids);
    return purged;
}

void CCheckinStore::DeleteAll()
{
    // One statement is one transaction: a failure deletes nothing. IDs are not reused afterwards.
    m_db.Execute(QStringLiteral("DELETE FROM %1").arg(QLatin1String(LogSchema::kTable)));
    // Nothing of what was remembered can be taken back into an emptied log.
    m_undo.Clear();
    Q_EMIT undoChanged();
    Q_EMIT logReset();
}

void CCheckinStore::Empty()
{
    // The file is compacted in place, so that it exists and is a valid log at every moment.
    DeleteAll();
    m_db.Compact();
}

bool CCheckinStore::EmptyInBackground()
{
    DeleteAll();
    if (IsCompacting())
        return false;
    if (!m_compaction) {
        m_compaction = new CBackgroundJob(this);
        connect(m_compaction, &CBackgroundJob::finished, this, [this] {
            QString error;
            try {
                m_compaction->RethrowError();
            } catch (const CLogwardenException& e) {
                error = m_compaction->IsCancelled() ? QStringLiteral("Compacting the log was cancelled.")
                                                    : e.Message();
            } catch (const std::exception& e) {
                error = QString::fromUtf8(e.what());
            }
            Q_EMIT compactionFinished(error);
        });
    }
    // A connection of the job's own: a connection belongs to one thread at a time.
    m_compaction->Start([path = m_db.GetPath()](CBackgroundJob& job) {
        CDatabase db(path, CDatabase::ReadWrite);
        db.Compact([&job] { return job.Progress().Report(0, -1); });
    });
    return true;
}

bool CCheckinStore::IsCompacting() const
{
    return m_compaction && m_compaction->IsRunning();
}

void CCheckinStore::CancelCompaction()
{
    if (m_compaction)
        m_compaction->Cancel();
}

std::optional<CCheckinRecord> CCheckinStore::Get(int id)
{
    std::optional<CCheckinRecord> found;
    CheckinQuery::ForEach(
        m_db, LogFilter::Id(id), QString(), [&](const CCheckinRecord& r) { found = r; }, 1);
    return found;
}

std::vector<CCheckinRecord> CCheckinStore::Day(const QDate& day)
{
    return LogQueries::DayCheckins(m_db, day);
}

void CCheckinStore::StampNet(const QDate& day, NetTimes::Stamp stamp, const QDateTime& at)
{
    const char* column = stamp == NetTimes::Stamp::Start ? "Started" : "Ended";
    try {
        SQLite::Statement stmt(m_db.Handle(),
                               QStringLiteral("INSERT INTO %1 (Day, %2) VALUES (?, ?) "
                                              "ON CONFLICT(Day) DO UPDATE SET %2 = excluded.%2")
                                   .arg(QLatin1String(NetTimes::kTable), QLatin1String(column))
                                   .toStdString());
        stmt.bind(1, day.toString(Qt::ISODate).toStdString());
        stmt.bind(2, CDateTime(at).ToStorage().toStdString());
        stmt.exec();
    } catch (const std::exception& e) {
        m_db.Raise(e);
    }
    Q_EMIT netStamped(day);
}

void CCheckinStore::Remember(CUndoStep step)
{
    m_undo.Push(std::move(step));
    Q_EMIT undoChanged();
}

std::vector<CCheckinRecord> CCheckinStore::Fetch(const QList<int>& ids)
{
    std::vector<CCheckinRecord> records;
    for (const int id : ids)
        if (std::optional<CCheckinRecord> r = Get(id))
            records.push_back(*r);
    return records;
}

QList<int> CCheckinStore::Restore(const std::vector<CCheckinRecord>& records)
{
    std::vector<CCheckinRecord> restored;
    try {
        SQLite::Transaction transaction(m_db.Handle());
        CLogwardenSet set(&m_db);
        set.SetFilter(LogFilter::Id(-1));
        set.Open();
        // Back under its own id where that is free (ids are never handed out twice), so that the
        // check-in takes its old place in the day's order.
        SQLite::Statement taken(m_db.Handle(), QStringLiteral("SELECT 1 FROM %1 WHERE ID = ?")
                                                   .arg(QLatin1String(LogSchema::kTable))
                                                   .toStdString());
        SQLite::Statement renumber(m_db.Handle(), QStringLiteral("UPDATE %1 SET ID = ? WHERE ID = ?")
                                                      .arg(QLatin1String(LogSchema::kTable))
                                                      .toStdString());
        for (const CCheckinRecord& record : records) {
            set.AddNew();
            set.SetRecord(record);
            set.Update();
            CCheckinRecord added = record;
            added.id = static_cast<int>(set.GetLastInsertedKey());
            taken.reset();
            taken.bind(1, record.id);
            if (record.id > 0 && !taken.executeStep()) {
                renumber.reset();
                renumber.bind(1, record.id);
                renumber.bind(2, added.id);
                renumber.exec();
                added.id = record.id;
            }
            restored.push_back(added);
        }
        set.Close();
        transaction.commit();
    } catch (const CLogwardenException&) {
        throw;
    } catch (const std::exception& e) {
        m_db.Raise(e);
    }
    QList<int> ids;
    for (const CCheckinRecord& r : restored) {
        ids << r.id;
        Q_EMIT checkinAdded(r);
    }
    return ids;
}

QString CCheckinStore::UndoText() const
{
    return m_undo.IsEmpty() ? QString() : m_undo.Last().Describe();
}

QString CCheckinStore::Undo()
{
    if (m_undo.IsEmpty())
        return {};
    // Taken off first: a step that fails to undo is not offered again.
    const CUndoStep step = m_undo.TakeLast();
    Q_EMIT undoChanged();
    const QString what = step.Describe();
    switch (step.kind) {
    case CUndoStep::Kind::Delete:
        Restore(step.before);
        return QStringLiteral("Undid %1: restored.").arg(what);
    case CUndoStep::Kind::Correction: {
        const CCheckinRecord& before = step.before.front();
        const CCheckinRecord& after = step.after.front();
        std::optional<CCheckinRecord> current = Get(before.id);
        if (!current)
            return QStringLiteral("Could not undo %1: the check-in is no longer in the log.").arg(what);
        // Only what the correction changed and nobody has changed since.
        ForEachField(*current, after, before, [](auto& now, const auto& wrote, const auto& was) {
            if (now == wrote)
                now = was;
        });
        Save(*current);
        return QStringLiteral("Undid %1.").arg(what);
    }
    case CUndoStep::Kind::PreNetMove: {
        QList<int> ids;
        for (const CCheckinRecord& r : step.after)
            ids << r.id;
        const int removed = Remove(ids);
        return QStringLiteral("Undid %1: %2 removed from the log.").arg(what).arg(removed);
    }
    }
    return {};
}
