#pragma once

#include "core/log/CheckinRecord.h"
#include "core/log/LogQueries.h"

#include <QDate>
#include <QList>
#include <QObject>
#include <memory>
#include <optional>
#include <vector>

class CBackgroundJob;
class CDatabase;
class CLogwardenSet;
class CPurgeSelection;
namespace SQLite {
class Transaction;
}

// The one writer of the log (the record set with the write path lives in core/log/detail, which nothing
// else includes). Every add, save, delete, flag change, purge and emptying goes through it,
// is committed (and on disk) before the call returns, and is announced by a signal, so that everything
// that follows the log — the form, the day list, the history, uploads, marks — listens here instead of
// being called by whoever changed it. Reads go through LogQueries and CheckinQuery on Database().
class CCheckinStore : public QObject
{
    Q_OBJECT
public:
    explicit CCheckinStore(CDatabase& db, QObject* parent = nullptr);

    CDatabase& Database() { return m_db; }

    // Appends the check-in (its id is ignored) and returns the new id. Raises CDBException.
    int Add(const CCheckinRecord& record);
    // Appends the check-ins in one transaction (all or none) and returns their new ids, in order.
    QList<int> AddMany(const std::vector<CCheckinRecord>& records);
    // Writes every field of record over the check-in with record.id; false when it is gone.
    bool Save(const CCheckinRecord& record);
    // One of the three flags, at once; false when the check-in is gone.
    bool SetFlag(int id, LogQueries::Flag flag, bool value);
    // Deletes the check-ins in one transaction; returns how many went.
    int Remove(const QList<int>& ids);
    // Deletes what the purge selection counts; returns how many went.
    long Purge(const CPurgeSelection& selection);
    // Deletes every check-in and compacts the file, on this thread.
    void Empty();
    // Deletes every check-in (one statement: a failure deletes nothing) and compacts the file on a thread
    // and connection of their own, for the window: reads go on meanwhile, a write waits for the end of the
    // rewrite. compactionFinished() tells the end. False when no compaction was started because one is
    // running already (the check-ins are deleted all the same).
    bool EmptyInBackground();
    bool IsCompacting() const;
    // Stops the compaction under way; the file stays as it was before it, emptied and valid.
    void CancelCompaction();

    // A long run of additions that is all or nothing (an import): one transaction from the object's making
    // to Commit(), each Add() through the same path as AddMany. An object that goes without Commit() (the
    // run was cancelled, or failed) rolls back, leaving the log as it was. Reads on the same connection see
    // what was added so far. The additions are announced by checkinsImported() once committed.
    class CBulkAdd
    {
    public:
        explicit CBulkAdd(CCheckinStore& store);
        ~CBulkAdd();
        CBulkAdd(const CBulkAdd&) = delete;
        CBulkAdd& operator=(const CBulkAdd&) = delete;
        int Add(const CCheckinRecord& record);
        long Added() const { return m_added; }
        void Commit();

    private:
        CCheckinStore& m_store;
        std::unique_ptr<SQLite::Transaction> m_transaction;
        std::unique_ptr<CLogwardenSet> m_set;
        long m_added = 0;
    };
    // Tells those who follow the log that many check-ins came in at once (by another connection, or a
    // CBulkAdd): whatever shows the log reads it again.
    void AnnounceImport() { Q_EMIT checkinsImported(); }

    std::optional<CCheckinRecord> Get(int id);
    std::vector<CCheckinRecord> Day(const QDate& day);

Q_SIGNALS:
    void checkinAdded(const CCheckinRecord& record);
    void checkinChanged(const CCheckinRecord& record);
    void checkinsRemoved(const QList<int>& ids);
    // The log was emptied: everything shown from it is gone.
    void logReset();
    // Check-ins were added in bulk (an import): read the log again.
    void checkinsImported();
    // The compaction of EmptyInBackground ended: error is empty when the file was compacted, else it says
    // why not (cancelled, the disk full).
    void compactionFinished(const QString& error);

private:
    void DeleteAll();

    CDatabase& m_db;
    CBackgroundJob* m_compaction = nullptr;
};
