#pragma once

#include "core/log/CheckinRecord.h"
#include "core/log/LogQueries.h"
#include "core/log/SharedCheckin.h"
#include "core/net/NetTimes.h"
#include "core/net/UndoJournal.h"

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

    // Whether an action is remembered so that Undo() can take it back: the operator's deletions (Remove),
    // corrections (Save) and pre-net moves (AddMany); the last CUndoJournal::kDepth, for this run only.
    enum class Undoable
    {
        No,
        Yes
    };

    CDatabase& Database() { return m_db; }

    // Appends the check-in (its id is ignored) and returns the new id. Raises CDBException.
    int Add(const CCheckinRecord& record);
    // Appends the check-ins in one transaction (all or none) and returns their new ids, in order.
    QList<int> AddMany(const std::vector<CCheckinRecord>& records, Undoable undoable = Undoable::No);
    // Writes every field of record over the check-in with record.id; false when it is gone.
    bool Save(const CCheckinRecord& record, Undoable undoable = Undoable::No);
    // One of the three flags, at once; false when the check-in is gone.
    bool SetFlag(int id, LogQueries::Flag flag, bool value);
    // Deletes the check-ins in one transaction; returns how many went.
    int Remove(const QList<int>& ids, Undoable undoable = Undoable::No);
    // Deletes what the purge selection counts, in steps of a few hundred (nobody waits long for the log);
    // returns how many went.
    long Purge(const CPurgeSelection& selection);
    // Deletes every check-in and compacts the file, on this thread.
    void Empty();
    // Deletes every check-in (in steps, as a purge) and compacts the file on a thread
    // and connection of their own, for the window: reads go on meanwhile, a write waits for the end of the
    // rewrite. compactionFinished() tells the end. False when no compaction was started because one is
    // running already (the check-ins are deleted all the same).
    bool EmptyInBackground();
    bool IsCompacting() const;
    // Stops the compaction under way; the file stays as it was before it, emptied and valid.
    void CancelCompaction();

    // Stamps the start or the end of the day's net (kept in the log, one row per day).
    void StampNet(const QDate& day, NetTimes::Stamp stamp, const QDateTime& at);

    bool CanUndo() const { return !m_undo.IsEmpty(); }
    // What Undo() would take back ("the deletion of 1 check-in (K4LMN)"); empty when nothing.
    QString UndoText() const;
    // Takes the last remembered action back and says what it did: a deletion is undone by adding the
    // check-ins again under their own ids (and, in a shared log, their own identity), a correction by
    // restoring the fields it changed that nobody has changed since, a pre-net move by deleting what it
    // added. Empty when there was nothing to undo.
    QString Undo();

    // A long run of additions that is all or nothing (an import) without holding the log: the check-ins go in
    // steps, each a short transaction of its own, so that F5, the sync and other programs get the
    // log between them (a step grows or shrinks so that it takes about kStepTime), and nobody sees any of
    // them (the lists, the counts, the club log) until Commit()
    // shows them all at once. An object that goes without Commit() (cancelled, failed) takes what it added
    // away again; an import whose program was killed is taken away when the log is next opened for writing.
    // The additions are announced by checkinsImported() once committed.
    class CBulkAdd
    {
    public:
        static constexpr int kFirstStep = 400;
        static constexpr int kStepTime = 12; // ms
        explicit CBulkAdd(CCheckinStore& store);
        ~CBulkAdd();
        CBulkAdd(const CBulkAdd&) = delete;
        CBulkAdd& operator=(const CBulkAdd&) = delete;
        void Add(const CCheckinRecord& record);
        long Added() const { return m_added + long(m_waiting.size()); }
        // tidy: the import's bookkeeping goes at once (in steps), else at the log's next opening (the
        // window, which must not stop for it).
        void Commit(bool tidy = true);

    private:
        void Flush();

        CCheckinStore& m_store;
        qint64 m_import = 0;
        int m_step = kFirstStep;
        int m_cacheSize = 0;
        std::vector<CCheckinRecord> m_waiting;
        long m_added = 0;
        bool m_committed = false;
    };
    // Tells those who follow the log that many check-ins came in at once (by another connection, or a
    // CBulkAdd): whatever shows the log reads it again.
    void AnnounceImport() { Q_EMIT checkinsImported(); }

    std::optional<CCheckinRecord> Get(int id);
    std::vector<CCheckinRecord> Day(const QDate& day);

    // --- The shared club log ---
    // Who logs at this computer: the "By" of what is added or changed here.
    void SetOperator(const QString& call) { m_operator = call; }
    const QString& Operator() const { return m_operator; }
    // The net this log shares (empty: none). While it shares one, every change also waits in the outbox,
    // written in the same transaction, until the server has it.
    QString SharedNet() const { return m_net; }
    // Shares the log with the net, as this operator (kept in the log for the next start): what is not on
    // the server yet is queued. An empty net stops sharing.
    void ShareWith(const QString& net, const QString& operatorCall);
    // The check-ins where two operators changed a field differently, by id.
    QList<int> Conflicts();

    struct CApplied
    {
        QList<int> added, changed, removed;
        int conflicts = 0;
        int setAside = 0;
    };
    // What other operators changed, from the server's net (its name as the server spells it), in one
    // transaction: each check-in merged field by field with what waits here to go out.
    CApplied ApplyRemote(const std::vector<CSharedCheckin>& rows, const QString& net = QString());
    // The server took what was queued for each pushed.uuid up to its seq (0: nothing of the outbox, the
    // agreed state sent again): the check-in now stands at pushed.version with pushed.values, in net. In
    // one transaction.
    void AcknowledgePushes(const std::vector<std::pair<qint64, CSharedCheckin>>& pushed,
                           const QString& net = QString());
    // Before a connection's comparison: check-ins without an identity get one and go out (a log from before
    // sharing, or one whose check-in lost its identity), and what was set aside is tried again.
    void PrepareSync();
    // The server refused the check-in: it is set aside with the reason, and the rest goes on.
    void SetAside(const QString& uuid, const QString& reason);
    // Another check-in on the server has this identity: this one takes a new one.
    void Rekey(const QString& uuid);
    // The check-ins set aside, with their reasons.
    struct CSetAside
    {
        int id = 0; // 0: on the server only
        QString uuid;
        QString reason;
    };
    QList<CSetAside> SetAsideList();
    // The operator's answer to a conflict: the values the check-in keeps (theirs, mine, or edited).
    bool ResolveConflict(int id, const CCheckinRecord& values);
    // The values of the other side of a conflict, and the fields in conflict.
    std::optional<CCheckinRecord> Theirs(int id);
    // What merging the check-ins other operators logged for the same station that day into this one would
    // give: empty fields filled from them, the flags of both; conflicts, the fields they hold differently
    // (the operator chooses, as for a conflict), with the other operator's values in theirs.
    struct CMergeProposal
    {
        CCheckinRecord merged;
        CCheckinRecord theirs;
        QList<SharedFields::Field> conflicts;
        QString otherOperator;
    };
    std::optional<CMergeProposal> ProposeMerge(int id);
    // Makes the check-in one with those values, the others deleted for everyone; undoable (they come back
    // under their own identity, this one's fields as they were).
    bool MergeDuplicates(int id, const CCheckinRecord& values, Undoable undoable = Undoable::Yes);

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
    // The outbox or the conflicts changed (the shared log's status follows them).
    void sharedStateChanged();
    // Check-ins that other operators logged arrived (after checkinAdded for each).
    void remoteCheckinsArrived(const QList<int>& ids);
    // The start or end of the day's net was stamped.
    void netStamped(const QDate& day);
    // CanUndo() or UndoText() may read differently.
    void undoChanged();

private:
    void DeleteAll();
    // Takes the check-ins of an import away, in steps; finished, only its bookkeeping.
    void RemoveImport(qint64 import);
    // Imports whose program is gone without finishing them.
    void RemoveAbandonedImports();
    bool Queueing() const { return !m_net.isEmpty(); }
    // Appends a check-in through the statement given, prepared on first use (one for many additions).
    class CInserter;
    int Insert(std::unique_ptr<CInserter>& inserter, const CCheckinRecord& record);
    void Write(int id, const CCheckinRecord& values);
    void EmitChanged(const QList<int>& ids);
    void Remember(CUndoStep step);
    std::vector<CCheckinRecord> Fetch(const QList<int>& ids);
    QList<int> Restore(const std::vector<CCheckinRecord>& records);

    CDatabase& m_db;
    QString m_operator;
    QString m_net;
    CBackgroundJob* m_compaction = nullptr;
    CUndoJournal m_undo;
};
