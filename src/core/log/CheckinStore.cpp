#include "core/log/CheckinStore.h"

#include "core/Exceptions.h"
#include "core/db/Database.h"
#include "core/jobs/BackgroundJob.h"
#include "core/log/CheckinQuery.h"
#include "core/log/LogFilter.h"
#include "core/log/LogMaintenance.h"
#include "core/log/LogSchema.h"
#include "core/log/LogText.h"
#include "core/log/detail/LogwardenSet.h"
#include "core/log/detail/SyncTables.h"

#include <QElapsedTimer>
#include <QFile>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <sqlite3.h>
#include <thread>
#include <unistd.h>

namespace {

// A connection's writes not waited for on the disk while it lives (the write-ahead log keeps the file
// whole; only the last of them may be lost to a power failure), waited for again afterwards.
class CUnsynced
{
public:
    explicit CUnsynced(SQLite::Database& db) : m_db(db) { m_db.exec("PRAGMA synchronous=NORMAL"); }
    ~CUnsynced()
    {
        try {
            m_db.exec("PRAGMA synchronous=FULL");
        } catch (const std::exception&) {
            // Only inside a transaction can it fail, and the transaction is over by now.
        }
    }
    CUnsynced(const CUnsynced&) = delete;
    CUnsynced& operator=(const CUnsynced&) = delete;

private:
    SQLite::Database& m_db;
};

// Deletes one check-in by id (bind 1, exec, reset).
SQLite::Statement DeleteById(CDatabase& db)
{
    return SQLite::Statement(
        db.Handle(),
        QStringLiteral("DELETE FROM %1 WHERE ID=?").arg(QLatin1String(LogSchema::kTable)).toStdString());
}

// When the process started (since boot, in clock ticks): with the pid, it names a process once.
QString ProcessStart(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray line = stat.readAll();
    // The fields after the command's name (which may hold blanks): the start time is the 20th of them.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 19 ? QString::fromLatin1(fields[19]) : QString();
}

QString ProcessOwner(qint64 pid)
{
    return QStringLiteral("%1:%2").arg(pid).arg(ProcessStart(pid));
}

// Whether the program that owns an import still runs.
bool OwnerAlive(const QString& owner)
{
    const qint64 pid = owner.section(QLatin1Char(':'), 0, 0).toLongLong();
    return pid > 0 && ProcessOwner(pid) == owner;
}

} // namespace

CCheckinStore::CCheckinStore(CDatabase& db, QObject* parent) : QObject(parent), m_db(db)
{
    try {
        m_net = SyncTables::Meta(m_db.Handle(), "net");
        m_operator = SyncTables::Meta(m_db.Handle(), "operator");
    } catch (const std::exception&) {
        // A log from before the shared log shares nothing.
    }
    try {
        RemoveAbandonedImports();
    } catch (const std::exception&) {
        // Tried again at the next opening; meanwhile nobody sees them.
    }
}

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
        SQLite::Transaction transaction(m_db.Handle(), SQLite::TransactionBehavior::IMMEDIATE);
        std::unique_ptr<CInserter> inserter;
        for (const CCheckinRecord& record : records) {
            added.push_back(record);
            CCheckinRecord& r = added.back();
            r.id = Insert(inserter, record);
            // A new check-in is a new identity, whatever filled its values (a match, a regular, a
            // callbook answer): taking a station's fields never takes another check-in's place.
            r.uuid = SyncTables::Added(m_db.Handle(), r.id, QString(), m_operator, Queueing());
            r.loggedBy = m_operator;
            r.alsoLoggedBy.clear();
            r.conflict = false;
            r.duplicate = false;
        }
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
    if (Queueing())
        Q_EMIT sharedStateChanged();
    if (undoable == Undoable::Yes && !added.empty())
        Remember({CUndoStep::Kind::PreNetMove, {}, added});
    return ids;
}

CCheckinStore::CBulkAdd::CBulkAdd(CCheckinStore& store) : m_store(store)
{
    try {
        SQLite::Statement st(m_store.m_db.Handle(), "INSERT INTO ImportTab(Owner) VALUES(?)");
        st.bind(1, ProcessOwner(getpid()).toStdString());
        st.exec();
        m_import = m_store.m_db.Handle().getLastInsertRowid();
        // Many steps touch the same pages of the indexes again: a larger cache reads them once.
        SQLite::Database& h = m_store.m_db.Handle();
        m_cacheSize = h.execAndGet("PRAGMA cache_size").getInt();
        h.exec("PRAGMA cache_size=-8192");
    } catch (const std::exception& e) {
        m_store.m_db.Raise(e);
    }
}

CCheckinStore::CBulkAdd::~CBulkAdd()
{
    if (m_import == 0)
        return;
    try {
        m_store.m_db.Handle().exec("PRAGMA cache_size=" + std::to_string(m_cacheSize));
    } catch (const std::exception&) {
        // Only the connection's memory: nothing of the log.
    }
    if (m_committed)
        return;
    try {
        m_store.RemoveImport(m_import);
    } catch (const std::exception&) {
        // Taken away at the next opening, then: nobody sees it meanwhile.
    }
}

void CCheckinStore::CBulkAdd::Add(const CCheckinRecord& record)
{
    m_waiting.push_back(record);
    if (int(m_waiting.size()) >= m_step)
        Flush();
}

void CCheckinStore::CBulkAdd::Flush()
{
    if (m_waiting.empty())
        return;
    SQLite::Database& h = m_store.m_db.Handle();
    try {
        // Nobody sees a step before Commit(), and a step lost to a power failure is an unfinished import,
        // taken away at the next opening: the steps need not wait for the disk. Commit() does, for them all.
        const CUnsynced unsynced(h);
        QElapsedTimer held;
        SQLite::Transaction transaction(h, SQLite::TransactionBehavior::IMMEDIATE);
        held.start();
        std::unique_ptr<CInserter> inserter;
        SQLite::Statement hidden(h, "INSERT INTO ImportRowTab(CheckinID, ImportId) VALUES(?, ?)");
        SyncTables::CAdder identities(h, m_store.m_operator, m_store.Queueing());
        for (const CCheckinRecord& record : m_waiting) {
            const int id = m_store.Insert(inserter, record);
            hidden.bind(1, id);
            hidden.bind(2, static_cast<int64_t>(m_import));
            hidden.exec();
            hidden.reset();
            // Its identity (the file's, when it carries a UUID no other check-in here holds) beside it, and
            // queued when the log is shared (the club log gets it once the import is finished).
            identities.Add(id, record.uuid);
        }
        transaction.commit();
        const qint64 ms = held.elapsed();
        // A moment for those waiting for the log (F5 in another program) to take it before the next step.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (ms < kStepTime / 2)
            m_step = std::min(m_step * 2, 8 * kFirstStep);
        else if (ms > kStepTime)
            m_step = std::max(m_step / 2, 50);
    } catch (const CLogwardenException&) {
        throw;
    } catch (const std::exception& e) {
        m_store.m_db.Raise(e);
    }
    m_added += long(m_waiting.size());
    m_waiting.clear();
}

void CCheckinStore::CBulkAdd::Commit(bool tidy)
{
    Flush();
    try {
        SQLite::Statement st(m_store.m_db.Handle(), "UPDATE ImportTab SET Finished = 1 WHERE Id = ?");
        st.bind(1, static_cast<int64_t>(m_import));
        st.exec();
    } catch (const std::exception& e) {
        m_store.m_db.Raise(e);
    }
    m_committed = true;
    try {
        if (tidy)
            m_store.RemoveImport(m_import);
    } catch (const std::exception&) {
        // Only bookkeeping is left: it is tidied at the next opening.
    }
    if (m_added > 0) {
        Q_EMIT m_store.checkinsImported();
        if (m_store.Queueing())
            Q_EMIT m_store.sharedStateChanged();
    }
}

void CCheckinStore::RemoveImport(qint64 import)
{
    SQLite::Database& h = m_db.Handle();
    bool finished = false;
    {
        SQLite::Statement st(h, "SELECT Finished FROM ImportTab WHERE Id = ?");
        st.bind(1, static_cast<int64_t>(import));
        finished = st.executeStep() && st.getColumn(0).getInt() != 0;
    }
    // A step at a time, so that nobody waits long for the log. Of a finished import only the list of its
    // rows goes; of an unfinished one the rows too.
    const int step = finished ? 5000 : 1000;
    for (;;) {
        SQLite::Transaction transaction(h, SQLite::TransactionBehavior::IMMEDIATE);
        QList<int> ids;
        {
            SQLite::Statement st(h, "SELECT CheckinID FROM ImportRowTab WHERE ImportId = ? LIMIT ?");
            st.bind(1, static_cast<int64_t>(import));
            st.bind(2, step);
            while (st.executeStep())
                ids << st.getColumn(0).getInt();
        }
        if (ids.isEmpty()) {
            SQLite::Statement done(h, "DELETE FROM ImportTab WHERE Id = ?");
            done.bind(1, static_cast<int64_t>(import));
            done.exec();
            transaction.commit();
            return;
        }
        SQLite::Statement unlist(h, "DELETE FROM ImportRowTab WHERE CheckinID = ?");
        SQLite::Statement del = DeleteById(m_db);
        SQLite::Statement outbox(h, "DELETE FROM OutboxTab WHERE Uuid IN (SELECT Uuid FROM SyncTab"
                                    " WHERE CheckinID = ? AND Version = 0)");
        SQLite::Statement forget(h, "DELETE FROM SyncTab WHERE CheckinID = ? AND Version = 0");
        std::vector<SQLite::Statement*> steps{&unlist};
        if (!finished)
            steps.insert(steps.end(), {&outbox, &forget, &del});
        for (const int id : ids) {
            for (SQLite::Statement* st : steps) {
                st->bind(1, id);
                st->exec();
                st->reset();
            }
        }
        // An identity the import took back from a check-in deleted here is deleted here again.
        if (!finished)
            SyncTables::Deleted(h, ids, false);
        transaction.commit();
    }
}

void CCheckinStore::RemoveAbandonedImports()
{
    SQLite::Database& h = m_db.Handle();
    if (sqlite3_db_readonly(h.getHandle(), "main") != 0 || !m_db.TableExists(QStringLiteral("ImportTab")))
        return;
    std::vector<qint64> gone;
    {
        SQLite::Statement st(h, "SELECT Id, Owner, Finished FROM ImportTab");
        while (st.executeStep())
            if (st.getColumn(2).getInt() != 0 || !OwnerAlive(QString::fromUtf8(st.getColumn(1).getText())))
                gone.push_back(st.getColumn(0).getInt64());
    }
    for (const qint64 import : gone)
        RemoveImport(import);
}

bool CCheckinStore::Save(const CCheckinRecord& record, Undoable undoable)
{
    CCheckinRecord before;
    try {
        SQLite::Transaction transaction(m_db.Handle(), SQLite::TransactionBehavior::IMMEDIATE);
        CLogwardenSet set(&m_db);
        set.SetFilter(LogFilter::Id(record.id));
        set.Open();
        if (set.IsEOF())
            return false;
        before = set.GetRecord();
        set.Edit();
        set.SetRecord(record);
        set.Update();
        set.Close();
        SyncTables::Changed(m_db.Handle(), record.id, m_operator, Queueing());
        transaction.commit();
    } catch (const CLogwardenException&) {
        throw;
    } catch (const std::exception& e) {
        m_db.Raise(e);
    }
    const std::optional<CCheckinRecord> after = Get(record.id);
    if (after)
        Q_EMIT checkinChanged(*after);
    if (undoable == Undoable::Yes && after && !SharedFields::SameValues(before, *after))
        Remember({CUndoStep::Kind::Correction, {before}, {*after}});
    return true;
}

bool CCheckinStore::SetFlag(int id, LogQueries::Flag flag, bool value)
{
    try {
        SQLite::Transaction transaction(m_db.Handle(), SQLite::TransactionBehavior::IMMEDIATE);
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
        set.Close();
        SyncTables::Changed(m_db.Handle(), id, m_operator, Queueing());
        transaction.commit();
    } catch (const CLogwardenException&) {
        throw;
    } catch (const std::exception& e) {
        m_db.Raise(e);
    }
    EmitChanged({id});
    return true;
}

int CCheckinStore::Remove(const QList<int>& ids, Undoable undoable)
{
    if (ids.isEmpty())
        return 0;
    const std::vector<CCheckinRecord> before =
        undoable == Undoable::Yes ? Fetch(ids) : std::vector<CCheckinRecord>();
    QList<int> removed;
    QList<int> moved;
    try {
        SQLite::Transaction transaction(m_db.Handle(), SQLite::TransactionBehavior::IMMEDIATE);
        SQLite::Statement del = DeleteById(m_db);
        for (const int id : ids) {
            del.bind(1, id);
            if (del.exec() > 0)
                removed << id;
            del.reset();
        }
        // Deleted for everyone sharing the net: a tombstone goes out.
        moved = SyncTables::Deleted(m_db.Handle(), removed, Queueing());
        transaction.commit();
    } catch (const std::exception& e) {
        m_db.Raise(e);
    }
    if (!removed.isEmpty())
        Q_EMIT checkinsRemoved(removed);
    EmitChanged(moved);
    if (!removed.isEmpty() && Queueing())
        Q_EMIT sharedStateChanged();
    if (undoable == Undoable::Yes && !removed.isEmpty()) {
        CUndoStep step{CUndoStep::Kind::Delete, {}, {}};
        for (const CCheckinRecord& r : before)
            if (removed.contains(r.id))
                step.before.push_back(r);
        Remember(std::move(step));
    }
    return static_cast<int>(removed.size());
}

namespace {
// How many check-ins one step of a purge or an emptying deletes: short enough that nobody waits for the log.
constexpr int kDeleteStep = 500;
} // namespace

long CCheckinStore::Purge(const CPurgeSelection& selection)
{
    // The ids of what the selection counts (an import under way is no part of it), so that whoever shows
    // them can let them go; then deleted in steps, each a short transaction.
    QList<int> ids;
    CheckinQuery::ForEach(m_db, selection.Filter(), LogSort::kId,
                          [&](const CCheckinRecord& r) { ids << r.id; });
    long purged = 0;
    QList<int> gone;
    try {
        SQLite::Statement del = DeleteById(m_db);
        for (qsizetype at = 0; at < ids.size(); at += kDeleteStep) {
            const QList<int> step = ids.mid(at, kDeleteStep);
            SQLite::Transaction transaction(m_db.Handle(), SQLite::TransactionBehavior::IMMEDIATE);
            QList<int> deleted;
            for (const int id : step) {
                del.bind(1, id);
                if (del.exec() > 0)
                    deleted << id;
                del.reset();
            }
            // A purge tidies this computer's file: the shared net keeps the check-ins.
            SyncTables::Deleted(m_db.Handle(), deleted, false);
            transaction.commit();
            purged += deleted.size();
            gone += deleted;
        }
    } catch (const std::exception& e) {
        if (!gone.isEmpty())
            Q_EMIT checkinsRemoved(gone);
        m_db.Raise(e);
    }
    if (!gone.isEmpty())
        Q_EMIT checkinsRemoved(gone);
    return purged;
}

void CCheckinStore::DeleteAll()
{
    // In steps, each a short transaction, so that nobody waits long for the log. IDs are not reused
    // afterwards. Emptying tidies this computer's file: the shared net keeps the check-ins (changes not sent
    // yet go with them).
    try {
        SQLite::Database& h = m_db.Handle();
        for (;;) {
            SQLite::Transaction transaction(h, SQLite::TransactionBehavior::IMMEDIATE);
            QList<int> ids;
            {
                SQLite::Statement st(h, QStringLiteral("SELECT ID FROM %1 LIMIT %2")
                                            .arg(QLatin1String(LogSchema::kTable))
                                            .arg(kDeleteStep)
                                            .toStdString());
                while (st.executeStep())
                    ids << st.getColumn(0).getInt();
            }
            if (ids.isEmpty()) {
                SyncTables::ForgetAll(h);
                transaction.commit();
                break;
            }
            SQLite::Statement del = DeleteById(m_db);
            for (const int id : ids) {
                del.bind(1, id);
                del.exec();
                del.reset();
            }
            SyncTables::Deleted(h, ids, false);
            transaction.commit();
        }
    } catch (const std::exception& e) {
        m_db.Raise(e);
    }
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
    return CheckinQuery::One(m_db, id);
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
    QList<int> moved;
    try {
        SQLite::Transaction transaction(m_db.Handle(), SQLite::TransactionBehavior::IMMEDIATE);
        std::unique_ptr<CInserter> inserter;
        // Back under its own id where that is free (ids are never handed out twice), so that the
        // check-in takes its old place in the day's order.
        SQLite::Statement taken(m_db.Handle(), QStringLiteral("SELECT 1 FROM %1 WHERE ID = ?")
                                                   .arg(QLatin1String(LogSchema::kTable))
                                                   .toStdString());
        SQLite::Statement renumber(m_db.Handle(), QStringLiteral("UPDATE %1 SET ID = ? WHERE ID = ?")
                                                      .arg(QLatin1String(LogSchema::kTable))
                                                      .toStdString());
        for (const CCheckinRecord& record : records) {
            CCheckinRecord added = record;
            added.id = Insert(inserter, record);
            taken.reset();
            taken.bind(1, record.id);
            if (record.id > 0 && !taken.executeStep()) {
                renumber.reset();
                renumber.bind(1, record.id);
                renumber.bind(2, added.id);
                renumber.exec();
                added.id = record.id;
            }
            // The same identity as before: in a shared log the others get it back too.
            SyncTables::Added(m_db.Handle(), added.id, record.uuid, m_operator, Queueing());
            // Back in a shared net, it stands for another operator's check-in of the station again, or
            // that one for it: the same choice as in every other log.
            if (Queueing())
                moved += SyncTables::MarkDuplicates(m_db.Handle(), added.id);
            restored.push_back(added);
        }
        transaction.commit();
    } catch (const CLogwardenException&) {
        throw;
    } catch (const std::exception& e) {
        m_db.Raise(e);
    }
    QList<int> ids;
    for (const CCheckinRecord& r : restored) {
        ids << r.id;
        if (const auto back = Get(r.id))
            Q_EMIT checkinAdded(*back);
    }
    moved.removeIf([&](int id) { return ids.contains(id); });
    EmitChanged(moved);
    if (Queueing())
        Q_EMIT sharedStateChanged();
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
        for (int i = 0; i < SharedFields::kCount; ++i)
            if (SharedFields::Same(*current, after, SharedFields::Field(i)))
                SharedFields::Copy(*current, before, SharedFields::Field(i));
        Save(*current);
        return QStringLiteral("Undid %1.").arg(what);
    }
    case CUndoStep::Kind::Merge: {
        // The others come back under their own identity; this one's fields as they were.
        Restore({step.before.begin() + 1, step.before.end()});
        std::optional<CCheckinRecord> current = Get(step.before.front().id);
        if (current) {
            for (int i = 0; i < SharedFields::kCount; ++i)
                if (SharedFields::Same(*current, step.after.front(), SharedFields::Field(i)))
                    SharedFields::Copy(*current, step.before.front(), SharedFields::Field(i));
            Save(*current);
        }
        return QStringLiteral("Undid %1: restored.").arg(what);
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

// --- The shared club log ---

void CCheckinStore::ShareWith(const QString& net, const QString& operatorCall)
{
    m_operator = operatorCall;
    try {
        SQLite::Transaction transaction(m_db.Handle(), SQLite::TransactionBehavior::IMMEDIATE);
        SyncTables::SetMeta(m_db.Handle(), "net", net);
        SyncTables::SetMeta(m_db.Handle(), "operator", operatorCall);
        if (!net.isEmpty())
            SyncTables::QueueUnshared(m_db.Handle(), m_operator);
        transaction.commit();
    } catch (const std::exception& e) {
        m_db.Raise(e);
    }
    m_net = net;
    Q_EMIT sharedStateChanged();
}

// Appends check-ins with one prepared statement, every column written as the record set writes it (empty
// text as null but the comment, a date that is not set as null).
class CCheckinStore::CInserter
{
public:
    explicit CInserter(SQLite::Database& db)
        : m_db(db),
          m_st(db, QStringLiteral("INSERT INTO %1 (CallSign, Name, Street, Location, Comment, \"Date\","
                                  " HasComments, HasTraffic, Acknowledged, Class, YourGrid, eMailAddr)"
                                  " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                       .arg(QLatin1String(LogSchema::kTable))
                       .toStdString())
    {
    }
    int Insert(const CCheckinRecord& r)
    {
        int at = 0;
        const auto text = [&](const QString& value, bool emptyIsNull) {
            ++at;
            if (emptyIsNull && value.isEmpty())
                m_st.bind(at);
            else
                m_st.bind(at, value.toStdString());
        };
        text(r.callSign, true);
        text(r.name, true);
        text(r.street, true);
        text(r.location, true);
        text(r.comment, false);
        ++at;
        if (r.date.IsNull())
            m_st.bind(at);
        else
            m_st.bind(at, r.date.ToStorage().toStdString());
        for (const bool flag : {r.hasComments, r.hasTraffic, r.acknowledged})
            m_st.bind(++at, flag ? 1 : 0);
        text(r.cls, true);
        text(r.yourGrid, true);
        text(r.email, true);
        m_st.exec();
        m_st.reset();
        return static_cast<int>(m_db.getLastInsertRowid());
    }

private:
    SQLite::Database& m_db;
    SQLite::Statement m_st;
};

int CCheckinStore::Insert(std::unique_ptr<CInserter>& inserter, const CCheckinRecord& record)
{
    if (!inserter)
        inserter = std::make_unique<CInserter>(m_db.Handle());
    return inserter->Insert(record);
}

void CCheckinStore::Write(int id, const CCheckinRecord& values)
{
    CLogwardenSet set(&m_db);
    set.SetFilter(LogFilter::Id(id));
    set.Open();
    if (set.IsEOF())
        return;
    set.Edit();
    set.SetRecord(values);
    set.Update();
}

void CCheckinStore::EmitChanged(const QList<int>& ids)
{
    for (const int id : ids)
        if (const auto r = Get(id))
            Q_EMIT checkinChanged(*r);
}

CCheckinStore::CApplied CCheckinStore::ApplyRemote(const std::vector<CSharedCheckin>& rows,
                                                   const QString& net)
{
    CApplied applied;
    QList<int> gone;
    // What arrived new, as it now stands in the log: known without reading it back, unless another
    // operator's check-in of the same station changed its place in the list.
    std::vector<CCheckinRecord> arrived;
    SQLite::Database& h = m_db.Handle();
    try {
        SQLite::Transaction transaction(h, SQLite::TransactionBehavior::IMMEDIATE);
        SQLite::Statement del = DeleteById(m_db);
        std::unique_ptr<CInserter> adder;
        for (const CSharedCheckin& row : rows) {
            std::optional<SyncTables::CLocal> local = SyncTables::Find(h, row.uuid);
            if (!row.setAside.isEmpty()) {
                // What the log cannot hold is neither taken nor allowed to wipe anything here.
                if (local)
                    SyncTables::SetAside(h, row.uuid, row.setAside);
                else
                    SyncTables::SetAsideUnknown(h, row.uuid, row.version, net, row.setAside);
                ++applied.setAside;
                continue;
            }
            if (local && local->version == 0 && local->id > 0) {
                // Another station's check-in on the server holds this identity (a copied log, a file
                // imported twice): both stay, this one takes a new identity and goes out as new.
                const std::optional<CCheckinRecord> mine = Get(local->id);
                if (mine && !LogText::SameCallSign(mine->callSign, row.values.callSign)) {
                    SyncTables::Rekey(h, row.uuid, QString());
                    local.reset();
                }
            }
            if (local && row.version <= local->version)
                continue; // seen already
            if (!local || (local->id == 0 && local->deleted == 1)) {
                // New here, or brought back by another operator (their change beats a deletion of mine
                // that has not gone out: nothing anybody typed is lost).
                if (row.deleted) {
                    SyncTables::Record(h, row.uuid, 0, 1, row, QByteArray(), net);
                    if (local)
                        SyncTables::DropQueued(h, row.uuid);
                    continue;
                }
                const int id = Insert(adder, row.values);
                SyncTables::Record(h, row.uuid, id, 0, row, QByteArray(), net);
                SyncTables::DropQueued(h, row.uuid);
                applied.added << id;
                const QList<int> moved = SyncTables::MarkDuplicates(h, id);
                for (const int other : moved)
                    if (other != id && !applied.changed.contains(other))
                        applied.changed << other;
                if (moved.isEmpty()) {
                    CCheckinRecord r = row.values;
                    r.id = id;
                    r.uuid = row.uuid;
                    r.loggedBy = row.loggedBy;
                    arrived.push_back(std::move(r));
                } else if (const auto r = Get(id)) {
                    arrived.push_back(*r);
                }
                continue;
            }
            if (local->id == 0) {
                // Purged here: the net keeps it, this file does not.
                SyncTables::Record(h, row.uuid, 0, local->deleted, row, QByteArray(), net);
                continue;
            }
            std::optional<CCheckinRecord> mine = Get(local->id);
            if (!mine)
                continue;
            if (row.deleted && !local->pending && !local->conflict) {
                del.bind(1, local->id);
                del.exec();
                del.reset();
                SyncTables::Record(h, row.uuid, 0, 1, row, QByteArray(), net);
                gone << local->id;
                for (const int moved : SyncTables::ReleaseDuplicates(h, row.uuid))
                    if (!applied.changed.contains(moved))
                        applied.changed << moved;
                continue;
            }
            if (row.deleted) {
                // Changed here, deleted there: the change goes out and brings the check-in back.
                SyncTables::Record(h, row.uuid, local->id, 0, row, local->theirsJson, net);
                continue;
            }
            // A conflict the operator has not settled counts as a change waiting here.
            if (!local->pending && !local->conflict) {
                Write(local->id, row.values);
                SyncTables::Record(h, row.uuid, local->id, 0, row, QByteArray(), net);
                applied.changed << local->id;
                continue;
            }
            // Changes on both sides: merge against what both last agreed on.
            const CCheckinRecord base = local->hasBase ? local->base : row.values;
            const SharedFields::CMerge m = SharedFields::Merge(base, *mine, row.values);
            if (!SharedFields::SameValues(m.merged, *mine))
                Write(local->id, m.merged);
            QByteArray theirs;
            if (!m.conflicts.isEmpty()) {
                theirs = SharedFields::ConflictToJson(row.values, m.conflicts);
                ++applied.conflicts;
            }
            SyncTables::Record(h, row.uuid, local->id, 0, row, theirs, net);
            // Nothing to send when what would go out (the fields in conflict as the server has them) is what
            // the server has.
            CCheckinRecord outgoing = m.merged;
            for (const SharedFields::Field f : m.conflicts)
                SharedFields::Copy(outgoing, row.values, f);
            if (SharedFields::SameValues(outgoing, row.values))
                SyncTables::DropQueued(h, row.uuid);
            applied.changed << local->id;
        }
        // The record set goes before the transaction ends.
        adder.reset();
        transaction.commit();
    } catch (const CLogwardenException&) {
        throw;
    } catch (const std::exception& e) {
        m_db.Raise(e);
    }
    for (const CCheckinRecord& r : arrived)
        Q_EMIT checkinAdded(r);
    EmitChanged(applied.changed);
    if (!gone.isEmpty())
        Q_EMIT checkinsRemoved(gone);
    applied.removed = gone;
    Q_EMIT sharedStateChanged();
    if (!applied.added.isEmpty())
        Q_EMIT remoteCheckinsArrived(applied.added);
    return applied;
}

void CCheckinStore::AcknowledgePushes(const std::vector<std::pair<qint64, CSharedCheckin>>& acks,
                                      const QString& net)
{
    SQLite::Database& h = m_db.Handle();
    try {
        SQLite::Transaction transaction(h, SQLite::TransactionBehavior::IMMEDIATE);
        for (const auto& [seq, pushed] : acks) {
            const std::optional<SyncTables::CLocal> local = SyncTables::Find(h, pushed.uuid);
            if (local && pushed.version == 0) {
                SyncTables::DropQueued(h, pushed.uuid, seq); // added and deleted before it went out
            } else if (local && pushed.version > local->version) {
                // A conflict waiting for the operator stays (its fields went out as the server had them). A
                // tombstone leaves the values on the server as they were: they stay the base, should the
                // server ever need them again.
                CSharedCheckin agreed = pushed;
                if (pushed.deleted && local->hasBase)
                    agreed.values = local->base;
                SyncTables::Record(h, pushed.uuid, local->id, local->id ? 0 : local->deleted, agreed,
                                   local->theirsJson, net);
                SyncTables::DropQueued(h, pushed.uuid, seq);
            }
        }
        transaction.commit();
    } catch (const std::exception& e) {
        m_db.Raise(e);
    }
    Q_EMIT sharedStateChanged();
}

QList<int> CCheckinStore::Conflicts()
{
    QList<int> ids;
    try {
        if (!m_db.TableExists(QStringLiteral("SyncTab")))
            return ids; // a log that was never shared
        SQLite::Statement st(m_db.Handle(),
                             "SELECT CheckinID FROM SyncTab WHERE Theirs IS NOT NULL AND CheckinID"
                             " IS NOT NULL ORDER BY CheckinID");
        while (st.executeStep())
            ids << st.getColumn(0).getInt();
    } catch (const std::exception& e) {
        m_db.Raise(e);
    }
    return ids;
}

std::optional<CCheckinRecord> CCheckinStore::Theirs(int id)
{
    const std::optional<SyncTables::CLocal> local = SyncTables::FindById(m_db.Handle(), id);
    if (!local || !local->conflict)
        return std::nullopt;
    return local->theirs;
}

bool CCheckinStore::ResolveConflict(int id, const CCheckinRecord& values)
{
    SQLite::Database& h = m_db.Handle();
    try {
        SQLite::Transaction transaction(h, SQLite::TransactionBehavior::IMMEDIATE);
        const std::optional<SyncTables::CLocal> local = SyncTables::FindById(h, id);
        if (!local || !local->conflict)
            return false;
        Write(id, values);
        SyncTables::ClearConflict(h, local->uuid);
        SyncTables::Changed(h, id, m_operator, Queueing());
        // Theirs taken whole: nothing is left to send.
        if (SharedFields::SameValues(values, local->base))
            SyncTables::DropQueued(h, local->uuid);
        transaction.commit();
    } catch (const CLogwardenException&) {
        throw;
    } catch (const std::exception& e) {
        m_db.Raise(e);
    }
    EmitChanged({id});
    Q_EMIT sharedStateChanged();
    return true;
}

std::optional<CCheckinStore::CMergeProposal> CCheckinStore::ProposeMerge(int id)
{
    try {
        SQLite::Database& h = m_db.Handle();
        const std::optional<SyncTables::CLocal> local = SyncTables::FindById(h, id);
        std::optional<CCheckinRecord> keep = Get(id);
        if (!local || !keep)
            return std::nullopt;
        const QList<int> others = SyncTables::DuplicatesOf(h, local->uuid);
        if (others.isEmpty())
            return std::nullopt;
        CMergeProposal p;
        p.merged = *keep;
        p.theirs = *keep;
        for (const int other : others) {
            const std::optional<CCheckinRecord> o = Get(other);
            if (!o)
                continue;
            if (p.otherOperator.isEmpty())
                p.otherOperator = o->loggedBy;
            for (const SharedFields::Field f :
                 {SharedFields::Name, SharedFields::Street, SharedFields::Location, SharedFields::Comment,
                  SharedFields::Class, SharedFields::Grid, SharedFields::Email}) {
                const QString mine = SharedFields::Text(p.merged, f);
                const QString theirs = SharedFields::Text(*o, f);
                if (theirs.isEmpty() || SharedFields::Same(p.merged, *o, f))
                    continue;
                if (mine.isEmpty()) {
                    SharedFields::Copy(p.merged, *o, f);
                    SharedFields::Copy(p.theirs, *o, f);
                } else if (!p.conflicts.contains(f)) {
                    // Both typed something else: nobody's text goes without the operator's word.
                    SharedFields::Copy(p.theirs, *o, f);
                    p.conflicts << f;
                }
            }
            p.merged.hasComments |= o->hasComments;
            p.merged.hasTraffic |= o->hasTraffic;
            p.merged.acknowledged |= o->acknowledged;
        }
        p.theirs.hasComments = p.merged.hasComments;
        p.theirs.hasTraffic = p.merged.hasTraffic;
        p.theirs.acknowledged = p.merged.acknowledged;
        return p;
    } catch (const CLogwardenException&) {
        throw;
    } catch (const std::exception& e) {
        m_db.Raise(e);
    }
}

bool CCheckinStore::MergeDuplicates(int id, const CCheckinRecord& values, Undoable undoable)
{
    SQLite::Database& h = m_db.Handle();
    QList<int> merged;
    std::vector<CCheckinRecord> before;
    std::optional<CCheckinRecord> keep;
    try {
        SQLite::Transaction transaction(h, SQLite::TransactionBehavior::IMMEDIATE);
        const std::optional<SyncTables::CLocal> local = SyncTables::FindById(h, id);
        keep = Get(id);
        if (!local || !keep)
            return false;
        merged = SyncTables::DuplicatesOf(h, local->uuid);
        if (merged.isEmpty())
            return false;
        before.push_back(*keep);
        for (const int other : merged)
            if (const std::optional<CCheckinRecord> o = Get(other))
                before.push_back(*o);
        // The values chosen; the identity, the call and the time stay this check-in's.
        for (const SharedFields::Field f :
             {SharedFields::Name, SharedFields::Street, SharedFields::Location, SharedFields::Comment,
              SharedFields::Class, SharedFields::Grid, SharedFields::Email, SharedFields::HasComments,
              SharedFields::HasTraffic, SharedFields::Acknowledged})
            SharedFields::Copy(*keep, values, f);
        Write(id, *keep);
        SyncTables::Changed(h, id, m_operator, Queueing());
        SQLite::Statement del = DeleteById(m_db);
        for (const int other : merged) {
            del.bind(1, other);
            del.exec();
            del.reset();
        }
        SyncTables::Deleted(h, merged, Queueing());
        transaction.commit();
    } catch (const CLogwardenException&) {
        throw;
    } catch (const std::exception& e) {
        m_db.Raise(e);
    }
    Q_EMIT checkinsRemoved(merged);
    EmitChanged({id});
    Q_EMIT sharedStateChanged();
    if (undoable == Undoable::Yes)
        Remember({CUndoStep::Kind::Merge, before, {*keep}});
    return true;
}

void CCheckinStore::PrepareSync()
{
    if (!Queueing())
        return;
    try {
        SQLite::Transaction transaction(m_db.Handle(), SQLite::TransactionBehavior::IMMEDIATE);
        SyncTables::QueueUnshared(m_db.Handle(), m_operator);
        SyncTables::RetrySetAside(m_db.Handle());
        transaction.commit();
    } catch (const CLogwardenException&) {
        throw;
    } catch (const std::exception& e) {
        m_db.Raise(e);
    }
    Q_EMIT sharedStateChanged();
}

void CCheckinStore::SetAside(const QString& uuid, const QString& reason)
{
    try {
        SyncTables::SetAside(m_db.Handle(), uuid, reason);
    } catch (const std::exception& e) {
        m_db.Raise(e);
    }
    Q_EMIT sharedStateChanged();
}

void CCheckinStore::Rekey(const QString& uuid)
{
    try {
        SQLite::Transaction transaction(m_db.Handle(), SQLite::TransactionBehavior::IMMEDIATE);
        const std::optional<SyncTables::CLocal> local = SyncTables::Find(m_db.Handle(), uuid);
        // Only what never reached the server: an agreed identity is the server's own.
        if (local && local->version == 0)
            SyncTables::Rekey(m_db.Handle(), uuid, QString());
        transaction.commit();
    } catch (const std::exception& e) {
        m_db.Raise(e);
    }
    Q_EMIT sharedStateChanged();
}

QList<CCheckinStore::CSetAside> CCheckinStore::SetAsideList()
{
    QList<CSetAside> list;
    try {
        if (!m_db.TableExists(QStringLiteral("SyncTab")))
            return list;
        for (const SyncTables::CSetAside& a : SyncTables::SetAsideList(m_db.Handle()))
            list.append({a.id, a.uuid, a.reason});
    } catch (const CLogwardenException&) {
        throw;
    } catch (const std::exception& e) {
        m_db.Raise(e);
    }
    return list;
}
