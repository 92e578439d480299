#include "core/log/detail/SyncTables.h"

#include "core/log/LogSchema.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <functional>
#include <sqlite3.h>

namespace SyncTables {

namespace {

std::string Utf8(const QString& s)
{
    return s.toStdString();
}

QString Text(const SQLite::Column& c)
{
    return c.isNull() ? QString() : QString::fromUtf8(c.getText());
}

void BindText(SQLite::Statement& st, int index, const QString& value)
{
    if (value.isNull())
        st.bind(index);
    else
        st.bind(index, Utf8(value));
}

// A log of the version before (read by a command that only reads, and so not brought up to date) has no
// Net and Refused yet.
bool HasSetAside(SQLite::Database& db)
{
    return sqlite3_table_column_metadata(db.getHandle(), nullptr, "SyncTab", "Refused", nullptr, nullptr,
                                         nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::optional<CLocal> FindWhere(SQLite::Database& db, const char* where,
                                const std::function<void(SQLite::Statement&)>& bind)
{
    SQLite::Statement st(db, std::string("SELECT Uuid, CheckinID, Version, Deleted, Base, Theirs,"
                                         " EXISTS(SELECT 1 FROM OutboxTab o WHERE o.Uuid = SyncTab.Uuid),") +
                                 (HasSetAside(db) ? " Net, Refused" : " NULL, NULL") +
                                 " FROM SyncTab WHERE " + where);
    bind(st);
    if (!st.executeStep())
        return std::nullopt;
    CLocal l;
    l.uuid = Text(st.getColumn(0));
    l.id = st.getColumn(1).isNull() ? 0 : st.getColumn(1).getInt();
    l.version = st.getColumn(2).getInt64();
    l.deleted = st.getColumn(3).getInt();
    l.hasBase = !st.getColumn(4).isNull();
    if (l.hasBase)
        l.base = SharedFields::FromJson(QByteArray(st.getColumn(4).getText()));
    l.conflict = !st.getColumn(5).isNull();
    if (l.conflict) {
        l.theirsJson = QByteArray(st.getColumn(5).getText());
        l.theirs = SharedFields::FromJson(l.theirsJson);
    }
    l.pending = st.getColumn(6).getInt() != 0;
    l.net = Text(st.getColumn(7));
    l.refused = Text(st.getColumn(8));
    return l;
}

} // namespace

QString NewUuid()
{
    // Time-ordered (version 7): the milliseconds since 1970 first, then a count within the millisecond and
    // 62 random bits. New identities then go in at the end of the identities' index instead of anywhere in
    // it, which keeps a large import or a first share from rewriting the whole index.
    thread_local qint64 lastMs = 0;
    thread_local quint16 count = 0;
    const qint64 ms = QDateTime::currentMSecsSinceEpoch();
    QRandomGenerator* random = QRandomGenerator::global();
    if (ms > lastMs) {
        lastMs = ms;
        count = quint16(random->bounded(0x800));
    } else {
        count = quint16((count + 1) & 0xFFF);
    }
    const quint64 high = (quint64(lastMs) << 16) | 0x7000u | count;
    const quint64 low = (random->generate64() & 0x3FFFFFFFFFFFFFFFull) | 0x8000000000000000ull;
    const QString hex =
        QStringLiteral("%1%2").arg(high, 16, 16, QLatin1Char('0')).arg(low, 16, 16, QLatin1Char('0'));
    return QStringLiteral("%1-%2-%3-%4-%5")
        .arg(hex.mid(0, 8), hex.mid(8, 4), hex.mid(12, 4), hex.mid(16, 4), hex.mid(20, 12));
}

void Rekey(SQLite::Database& db, const QString& from, const QString& to)
{
    LogSchema::RenameIdentity(db, from, to.isEmpty() ? NewUuid() : to);
}

void SetAside(SQLite::Database& db, const QString& uuid, const QString& reason)
{
    SQLite::Statement st(db, "UPDATE SyncTab SET Refused = ? WHERE Uuid = ?");
    BindText(st, 1, reason);
    st.bind(2, Utf8(uuid));
    st.exec();
}

void SetAsideUnknown(SQLite::Database& db, const QString& uuid, qint64 version, const QString& net,
                     const QString& reason)
{
    SQLite::Statement st(db,
                         "INSERT INTO SyncTab(Uuid, Version, Deleted, Net, Refused) VALUES(?1, ?2, 3, ?3, ?4)"
                         " ON CONFLICT(Uuid) DO UPDATE SET Refused = ?4");
    st.bind(1, Utf8(uuid));
    st.bind(2, static_cast<int64_t>(version));
    BindText(st, 3, net);
    BindText(st, 4, reason);
    st.exec();
}

void RetrySetAside(SQLite::Database& db)
{
    // What was never taken is forgotten, so that it is fetched again; the rest goes out again.
    db.exec("DELETE FROM SyncTab WHERE Deleted = 3 AND CheckinID IS NULL;"
            "UPDATE SyncTab SET Refused = NULL WHERE Refused IS NOT NULL;");
}

QList<CSetAside> SetAsideList(SQLite::Database& db)
{
    if (!HasSetAside(db))
        return {};
    SQLite::Statement st(db, "SELECT Uuid, CheckinID, Refused FROM SyncTab WHERE Refused IS NOT NULL"
                             " ORDER BY CheckinID, Uuid");
    QList<CSetAside> list;
    while (st.executeStep())
        list.append({Text(st.getColumn(0)), st.getColumn(1).isNull() ? 0 : st.getColumn(1).getInt(),
                     Text(st.getColumn(2))});
    return list;
}

QString Meta(SQLite::Database& db, const char* key)
{
    SQLite::Statement st(db, "SELECT Value FROM SyncMeta WHERE Key = ?");
    st.bind(1, key);
    return st.executeStep() ? Text(st.getColumn(0)) : QString();
}

void SetMeta(SQLite::Database& db, const char* key, const QString& value)
{
    SQLite::Statement st(db, "INSERT OR REPLACE INTO SyncMeta(Key, Value) VALUES(?, ?)");
    st.bind(1, key);
    BindText(st, 2, value);
    st.exec();
}

void Queue(SQLite::Database& db, const QString& uuid)
{
    SQLite::Statement st(db, "INSERT INTO OutboxTab(Uuid) VALUES(?)");
    st.bind(1, Utf8(uuid));
    st.exec();
}

struct CAdder::CStatements
{
    explicit CStatements(SQLite::Database& db)
        // An identity another check-in here still holds is never taken from it: this one gets a new one. A
        // check-in brought back (an undo of its deletion) keeps its identity and the server's version.
        : upsert(db, "INSERT INTO SyncTab(Uuid, CheckinID, LoggedBy, UpdatedBy) VALUES(?1, ?2, ?3, ?3)"
                     " ON CONFLICT(Uuid) DO UPDATE SET CheckinID = ?2, Deleted = 0, UpdatedBy = ?3,"
                     " Refused = NULL WHERE SyncTab.CheckinID IS NULL"),
          queue(db, "INSERT INTO OutboxTab(Uuid) VALUES(?)")
    {
    }
    SQLite::Statement upsert;
    SQLite::Statement queue;
};

CAdder::CAdder(SQLite::Database& db, const QString& by, bool queue)
    : m_st(std::make_unique<CStatements>(db)), m_by(by.toStdString()), m_queue(queue)
{
    if (by.isNull())
        m_by.clear();
}

CAdder::~CAdder() = default;

QString CAdder::Add(int id, const QString& uuid)
{
    QString u = NormalUuid(uuid);
    if (u.isEmpty())
        u = NewUuid();
    SQLite::Statement& st = m_st->upsert;
    st.bind(1, Utf8(u));
    st.bind(2, id);
    if (m_by.empty())
        st.bind(3);
    else
        st.bind(3, m_by);
    if (st.exec() == 0) {
        u = NewUuid();
        st.reset();
        st.bind(1, Utf8(u));
        st.exec();
    }
    st.reset();
    if (m_queue) {
        m_st->queue.bind(1, Utf8(u));
        m_st->queue.exec();
        m_st->queue.reset();
    }
    return u;
}

QString Added(SQLite::Database& db, int id, const QString& uuid, const QString& by, bool queue)
{
    return CAdder(db, by, queue).Add(id, uuid);
}

void Changed(SQLite::Database& db, int id, const QString& by, bool queue)
{
    // A change here is worth another try of what was set aside.
    SQLite::Statement st(db, "UPDATE SyncTab SET UpdatedBy = ?, Refused = NULL WHERE CheckinID = ?");
    BindText(st, 1, by);
    st.bind(2, id);
    if (st.exec() == 0) {
        // A check-in from before the log kept identities.
        Added(db, id, QString(), by, queue);
        return;
    }
    if (queue) {
        SQLite::Statement q(db, "INSERT INTO OutboxTab(Uuid) SELECT Uuid FROM SyncTab WHERE CheckinID = ?");
        q.bind(1, id);
        q.exec();
    }
}

QList<int> Deleted(SQLite::Database& db, const QList<int>& ids, bool queue)
{
    // Gone for everyone: a tombstone goes out. Gone here only: nothing of it goes out any more.
    SQLite::Statement q(db, queue ? "INSERT INTO OutboxTab(Uuid) SELECT Uuid FROM SyncTab WHERE CheckinID = ?"
                                  : "DELETE FROM OutboxTab WHERE Uuid IN (SELECT Uuid FROM SyncTab"
                                    " WHERE CheckinID = ?)");
    SQLite::Statement st(db, "UPDATE SyncTab SET CheckinID = NULL, Deleted = ?, DuplicateOf = NULL"
                             " WHERE CheckinID = ? RETURNING Uuid");
    QStringList gone;
    for (const int id : ids) {
        q.bind(1, id);
        q.exec();
        q.reset();
        st.bind(1, queue ? 1 : 2);
        st.bind(2, id);
        while (st.executeStep())
            gone << Text(st.getColumn(0));
        st.reset();
    }
    QList<int> moved;
    for (const QString& uuid : gone)
        for (const int id : ReleaseDuplicates(db, uuid))
            if (!moved.contains(id))
                moved << id;
    return moved;
}

void ForgetAll(SQLite::Database& db)
{
    db.exec(
        "UPDATE SyncTab SET CheckinID = NULL, Deleted = 2, DuplicateOf = NULL WHERE CheckinID IS NOT NULL;"
        "DELETE FROM OutboxTab;");
}

void QueueUnshared(SQLite::Database& db, const QString& by)
{
    SQLite::Statement ids(db, "SELECT ID FROM LogwardenTab WHERE ID NOT IN (SELECT CheckinID FROM SyncTab"
                              " WHERE CheckinID IS NOT NULL)");
    QList<int> missing;
    while (ids.executeStep())
        missing << ids.getColumn(0).getInt();
    for (const int id : missing)
        Added(db, id, QString(), by, false);
    db.exec("INSERT INTO OutboxTab(Uuid) SELECT Uuid FROM SyncTab WHERE Version = 0 AND Deleted = 0"
            " AND Uuid NOT IN (SELECT Uuid FROM OutboxTab)");
}

std::optional<CLocal> Find(SQLite::Database& db, const QString& uuid)
{
    return FindWhere(db, "Uuid = ?", [&](SQLite::Statement& st) { st.bind(1, Utf8(uuid)); });
}

std::optional<CLocal> FindById(SQLite::Database& db, int id)
{
    return FindWhere(db, "CheckinID = ?", [&](SQLite::Statement& st) { st.bind(1, id); });
}

void Record(SQLite::Database& db, const QString& uuid, int id, int deleted, const CSharedCheckin& server,
            const QByteArray& theirs, const QString& net)
{
    // Who logged a check-in is never forgotten: an answer that does not say keeps what is known.
    SQLite::Statement st(
        db, "INSERT INTO SyncTab(Uuid, CheckinID, Version, Base, LoggedBy, UpdatedBy, Deleted, Theirs, Net)"
            " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9) ON CONFLICT(Uuid) DO UPDATE SET CheckinID = ?2,"
            " Version = ?3, Base = ?4, LoggedBy = coalesce(nullif(?5, ''), LoggedBy),"
            " UpdatedBy = coalesce(nullif(?6, ''), UpdatedBy), Deleted = ?7, Theirs = ?8,"
            " Net = coalesce(?9, Net), Refused = NULL");
    st.bind(1, Utf8(uuid));
    if (id > 0)
        st.bind(2, id);
    else
        st.bind(2);
    st.bind(3, static_cast<int64_t>(server.version));
    st.bind(4, SharedFields::ToJson(server.values).toStdString());
    BindText(st, 5, server.loggedBy);
    BindText(st, 6, server.updatedBy);
    st.bind(7, id > 0 ? 0 : deleted);
    if (!theirs.isEmpty())
        st.bind(8, theirs.toStdString());
    else
        st.bind(8);
    BindText(st, 9, net);
    st.exec();
}

void SetCheckinId(SQLite::Database& db, const QString& uuid, int id, int deleted)
{
    SQLite::Statement st(db, "UPDATE SyncTab SET CheckinID = ?, Deleted = ? WHERE Uuid = ?");
    if (id > 0)
        st.bind(1, id);
    else
        st.bind(1);
    st.bind(2, deleted);
    st.bind(3, Utf8(uuid));
    st.exec();
}

void ClearConflict(SQLite::Database& db, const QString& uuid)
{
    SQLite::Statement st(db, "UPDATE SyncTab SET Theirs = NULL WHERE Uuid = ?");
    st.bind(1, Utf8(uuid));
    st.exec();
}

void DropQueued(SQLite::Database& db, const QString& uuid, qint64 upToSeq)
{
    SQLite::Statement st(db, "DELETE FROM OutboxTab WHERE Uuid = ? AND (? < 0 OR Seq <= ?)");
    st.bind(1, Utf8(uuid));
    st.bind(2, static_cast<int64_t>(upToSeq));
    st.bind(3, static_cast<int64_t>(upToSeq));
    st.exec();
}

void SetDuplicateOf(SQLite::Database& db, const QString& uuid, const QString& of)
{
    SQLite::Statement st(db, "UPDATE SyncTab SET DuplicateOf = ? WHERE Uuid = ?");
    BindText(st, 1, of);
    st.bind(2, Utf8(uuid));
    st.exec();
}

QList<int> MarkDuplicates(SQLite::Database& db, int id)
{
    SQLite::Statement st(db, "SELECT l.ID, s.Uuid FROM LogwardenTab l JOIN SyncTab s ON s.CheckinID = l.ID"
                             " WHERE l.CallSign = (SELECT CallSign FROM LogwardenTab WHERE ID = ?1)"
                             " AND substr(l.Date, 1, 10) = (SELECT substr(Date, 1, 10) FROM LogwardenTab"
                             " WHERE ID = ?1) AND s.DuplicateOf IS NULL ORDER BY l.Date, s.Uuid");
    st.bind(1, id);
    QString first;
    int firstId = 0;
    QList<int> touched;
    while (st.executeStep()) {
        const QString uuid = Text(st.getColumn(1));
        if (first.isEmpty()) {
            first = uuid;
            firstId = st.getColumn(0).getInt();
        } else {
            SetDuplicateOf(db, uuid, first);
            if (touched.isEmpty())
                touched << firstId;
            touched << st.getColumn(0).getInt();
        }
    }
    return touched;
}

QList<int> ReleaseDuplicates(SQLite::Database& db, const QString& uuid)
{
    SQLite::Statement st(db, "UPDATE SyncTab SET DuplicateOf = NULL WHERE DuplicateOf = ?"
                             " AND CheckinID IN (SELECT ID FROM LogwardenTab) RETURNING CheckinID");
    st.bind(1, Utf8(uuid));
    QList<int> released;
    while (st.executeStep())
        released << st.getColumn(0).getInt();
    if (released.isEmpty())
        return released;
    QList<int> moved = released;
    for (const int id : MarkDuplicates(db, released.first()))
        if (!moved.contains(id))
            moved << id;
    return moved;
}

QList<int> DuplicatesOf(SQLite::Database& db, const QString& uuid)
{
    SQLite::Statement st(db, "SELECT CheckinID FROM SyncTab WHERE DuplicateOf = ? AND CheckinID IS NOT NULL");
    st.bind(1, Utf8(uuid));
    QList<int> ids;
    while (st.executeStep())
        ids << st.getColumn(0).getInt();
    return ids;
}

} // namespace SyncTables
