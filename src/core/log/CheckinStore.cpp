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

CCheckinStore::CCheckinStore(CDatabase& db, QObject* parent) : QObject(parent), m_db(db) {}

int CCheckinStore::Add(const CCheckinRecord& record)
{
    return AddMany({record}).front();
}

QList<int> CCheckinStore::AddMany(const std::vector<CCheckinRecord>& records)
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
    return ids;
}

CCheckinStore::CBulkAdd::CBulkAdd(CCheckinStore& store) : m_store(store)
{
    try {
        m_transaction = std::make_unique<SQLite::Transaction>(m_store.m_db.Handle());
        m_set = std::make_unique<CLogwardenSet>(&m_store.m_db);
        m_set->SetFilter(LogFilter::Id(-1));
        m_set->Open();
    } catch (const CLogwardenException&) {
        throw;
    } catch (const std::exception& e) {
        m_store.m_db.Raise(e);
    }
}

CCheckinStore::CBulkAdd::~CBulkAdd()
{
    // The record set goes before the transaction rolls back.
    m_set.reset();
    m_transaction.reset();
}

int CCheckinStore::CBulkAdd::Add(const CCheckinRecord& record)
{
    try {
        m_set->AddNew();
        m_set->SetRecord(record);
        m_set->Update();
        ++m_added;
        return static_cast<int>(m_set->GetLastInsertedKey());
    } catch (const CLogwardenException&) {
        throw;
    } catch (const std::exception& e) {
        m_store.m_db.Raise(e);
    }
}

void CCheckinStore::CBulkAdd::Commit()
{
    try {
        m_set->Close();
        m_set.reset();
        m_transaction->commit();
    } catch (const CLogwardenException&) {
        throw;
    } catch (const std::exception& e) {
        m_store.m_db.Raise(e);
    }
    if (m_added > 0)
        Q_EMIT m_store.checkinsImported();
}

bool CCheckinStore::Save(const CCheckinRecord& record)
{
    CLogwardenSet set(&m_db);
    set.SetFilter(LogFilter::Id(record.id));
    set.Open();
    if (set.IsEOF())
        return false;
    set.Edit();
    set.SetRecord(record);
    set.Update();
    Q_EMIT checkinChanged(set.GetRecord());
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

int CCheckinStore::Remove(const QList<int>& ids)
{
    if (ids.isEmpty())
        return 0;
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
