#pragma once

#include "core/log/CheckinRecord.h"
#include "core/log/LogQueries.h"

#include <QDate>
#include <QList>
#include <QObject>
#include <optional>
#include <vector>

class CDatabase;
class CPurgeSelection;

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
    // Deletes every check-in and compacts the file.
    void Empty();

    std::optional<CCheckinRecord> Get(int id);
    std::vector<CCheckinRecord> Day(const QDate& day);

Q_SIGNALS:
    void checkinAdded(const CCheckinRecord& record);
    void checkinChanged(const CCheckinRecord& record);
    void checkinsRemoved(const QList<int>& ids);
    // The log was emptied: everything shown from it is gone.
    void logReset();

private:
    CDatabase& m_db;
};
