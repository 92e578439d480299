#include "core/shared/SyncEngine.h"

#include "core/Exceptions.h"
#include "core/db/Database.h"
#include "core/log/CheckinStore.h"
#include "core/log/LogText.h"
#include "core/net/NetTimes.h"
#include "core/shared/PgConnection.h"
#include "core/shared/SharedServer.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHash>
#include <QSet>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <chrono>
#include <functional>
#include <limits>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

constexpr int kBatch = 500;
// Rows of what the server sent written at a time on the store's thread (a few milliseconds).
constexpr size_t kApplyPiece = 100;

QString Text(const SQLite::Column& c)
{
    return c.isNull() ? QString() : QString::fromUtf8(c.getText());
}

QString Flag(bool b)
{
    return b ? QStringLiteral("true") : QStringLiteral("false");
}

struct CPending
{
    qint64 seq = 0;
    CSharedCheckin row; // version: the server's version it stands on
    bool here = false;  // the check-in is in the log (else it was deleted here)
};

// While the operator has not settled a conflict, the fields in conflict go out as the server has them:
// the rest of the change need not wait.
void KeepTheirs(CCheckinRecord& values, const QByteArray& theirsJson)
{
    const CCheckinRecord theirs = SharedFields::FromJson(theirsJson);
    for (const SharedFields::Field f : SharedFields::ConflictFields(theirsJson))
        SharedFields::Copy(values, theirs, f);
}

// The check-in's values as the log holds them (columns from l.CallSign on, in this order).
const char* const kCheckinColumns = "l.CallSign, l.Name, l.Street, l.Location, l.Comment, l.\"Date\","
                                    " l.HasComments, l.HasTraffic, l.Acknowledged, l.Class, l.YourGrid,"
                                    " l.eMailAddr";

void ReadValues(SQLite::Statement& st, int first, CCheckinRecord& v)
{
    v.callSign = Text(st.getColumn(first));
    v.name = Text(st.getColumn(first + 1));
    v.street = Text(st.getColumn(first + 2));
    v.location = Text(st.getColumn(first + 3));
    v.comment = Text(st.getColumn(first + 4));
    v.date = CDateTime::FromStorage(Text(st.getColumn(first + 5)), st.getColumn(first + 5).isNull());
    v.hasComments = st.getColumn(first + 6).getInt() != 0;
    v.hasTraffic = st.getColumn(first + 7).getInt() != 0;
    v.acknowledged = st.getColumn(first + 8).getInt() != 0;
    v.cls = Text(st.getColumn(first + 9));
    v.yourGrid = Text(st.getColumn(first + 10));
    v.email = Text(st.getColumn(first + 11));
}

// Not a check-in of an import that has not finished: nobody sees it before the whole import is there.
const std::string kNotImporting =
    "NOT EXISTS (SELECT 1 FROM ImportRowTab r JOIN ImportTab i ON i.Id = r.ImportId WHERE r.CheckinID ="
    " s.CheckinID AND i.Finished = 0)";

// Changes of this net waiting to go out, one per check-in (the newest queued), oldest first, after the
// one queued at seq after; not those waiting for the operator to settle a conflict, nor those set aside,
// nor those of another net.
std::vector<CPending> ReadPending(CDatabase& db, const QString& netKey, qint64 after)
{
    SQLite::Statement st(
        db.Handle(),
        std::string("SELECT o.Seq, s.Uuid, s.Version, s.Deleted, s.LoggedBy, s.UpdatedBy, l.ID, s.Theirs, ") +
            kCheckinColumns +
            " FROM OutboxTab o JOIN SyncTab s ON s.Uuid = o.Uuid LEFT JOIN LogwardenTab l ON l.ID = "
            "s.CheckinID"
            " WHERE NOT EXISTS (SELECT 1 FROM OutboxTab later WHERE later.Uuid = o.Uuid AND later.Seq > "
            "o.Seq)"
            " AND s.Deleted NOT IN (2, 3)"
            " AND s.Refused IS NULL AND (s.Version = 0 OR s.Net IS NULL OR s.Net = ?) AND o.Seq > ? AND " +
            kNotImporting + " ORDER BY o.Seq LIMIT " + std::to_string(kBatch));
    st.bind(1, netKey.toStdString());
    st.bind(2, static_cast<int64_t>(after));
    std::vector<CPending> pending;
    while (st.executeStep()) {
        CPending p;
        p.seq = st.getColumn(0).getInt64();
        p.row.uuid = Text(st.getColumn(1));
        p.row.version = st.getColumn(2).getInt64();
        p.row.loggedBy = Text(st.getColumn(4));
        p.row.updatedBy = Text(st.getColumn(5));
        p.here = !st.getColumn(6).isNull();
        p.row.deleted = !p.here;
        ReadValues(st, 8, p.row.values);
        if (!st.getColumn(7).isNull() && p.here)
            KeepTheirs(p.row.values, QByteArray(st.getColumn(7).getText()));
        pending.push_back(p);
    }
    return pending;
}

QString Epoch(const CDateTime& d)
{
    if (!d.IsValid())
        return QString();
    return QString::number(QDateTime(d.Date(), d.Time()).toSecsSinceEpoch());
}

QString UuidArray(const QStringList& uuids)
{
    return QLatin1Char('{') + uuids.join(QLatin1Char(',')) + QLatin1Char('}');
}

int CountOf(CDatabase& db, const char* sql, const QString& bind = QString())
{
    SQLite::Statement st(db.Handle(), sql);
    if (!bind.isNull())
        st.bind(1, bind.toStdString());
    return st.executeStep() ? st.getColumn(0).getInt() : 0;
}

const std::string kPendingCount =
    "SELECT count(DISTINCT o.Uuid) FROM OutboxTab o JOIN SyncTab s ON s.Uuid = o.Uuid"
    " WHERE s.Deleted NOT IN (2, 3) AND (s.Version = 0 OR s.Net IS NULL OR s.Net = ?) AND " +
    kNotImporting;
const char* const kSetAsideCount = "SELECT count(*) FROM SyncTab WHERE Refused IS NOT NULL";

// What the status counts, read from the log (on the engine's thread: on a large log, or during an import,
// the counts take longer than a key may wait).
struct CCounts
{
    int pending = 0;
    int conflicts = 0;
    int setAside = 0;
    QString setAsideText;
};

CCounts Count(CDatabase& db, const QString& netKey)
{
    CCounts c;
    c.pending = CountOf(db, kPendingCount.c_str(), netKey);
    c.conflicts = CountOf(db, "SELECT count(*) FROM SyncTab WHERE Theirs IS NOT NULL");
    c.setAside = CountOf(db, kSetAsideCount);
    if (c.setAside > 0) {
        SQLite::Statement st(db.Handle(),
                             "SELECT l.CallSign, s.Refused FROM SyncTab s LEFT JOIN LogwardenTab l"
                             " ON l.ID = s.CheckinID WHERE s.Refused IS NOT NULL LIMIT 6");
        QStringList lines;
        while (st.executeStep()) {
            if (lines.size() == 5) {
                lines << QStringLiteral("...");
                break;
            }
            const QString call = Text(st.getColumn(0));
            lines << QStringLiteral("%1 set aside: %2")
                         .arg(call.isEmpty() ? QStringLiteral("A check-in of the server") : call,
                              Text(st.getColumn(1)));
        }
        c.setAsideText = lines.join(QLatin1Char('\n'));
    }
    return c;
}

// Whether another connection changed the log since the last call.
class CChangeWatch
{
public:
    explicit CChangeWatch(CDatabase& db) : m_db(db) {}
    bool Changed()
    {
        const qint64 now = m_db.Handle().execAndGet("PRAGMA data_version").getInt64();
        return std::exchange(m_seen, now) != now;
    }

private:
    CDatabase& m_db;
    qint64 m_seen = -1;
};

} // namespace

// Where a session hands what it finds: the store directly, or the store's thread.
struct CSyncSink
{
    std::function<void(std::vector<CSharedCheckin>, QString net)> apply;
    // What the server took: (outbox seq, the check-in as it now stands there), a batch at a time.
    std::function<void(std::vector<std::pair<qint64, CSharedCheckin>> pushed, QString net)> ack;
    std::function<void(QString uuid, QString reason)> setAside;
    std::function<void(QString uuid)> rekey;
};

// One connection's worth of work: everything the engine does against the server.
class CSyncEngine::CSession
{
public:
    using CSink = CSyncSink;

    CSession(const CSharedLogOptions& options, const QString& logPath, CSink sink)
        : m_options(options), m_local(logPath, CDatabase::ReadOnly), m_sink(std::move(sink))
    {
    }

    void Connect(bool listen)
    {
        if (m_options.operatorCall.trimmed().isEmpty())
            throw CNetException(QStringLiteral("No operator is set for the shared log: give the call sign of "
                                               "who logs at this computer."));
        const QString app = QStringLiteral("logwarden %1").arg(m_options.operatorCall).trimmed();
        m_db = std::make_unique<CPgConnection>(m_options.conninfo, m_options.password, app);
        SharedServer::CheckVersion(*m_db);
        const SharedServer::CNet net = SharedServer::ResolveNet(*m_db, m_options.net, m_options.createNet);
        m_netId = net.id;
        m_netName = net.name;
        m_netKey = SharedServer::NetKey(net.name);
        if (!m_options.frequency.isEmpty())
            m_db->Exec(QStringLiteral(
                           "UPDATE net SET frequency = $2 WHERE id = $1 AND frequency IS DISTINCT FROM $2"),
                       {QString::number(m_netId), m_options.frequency});
        if (listen) {
            m_listen = std::make_unique<CPgConnection>(m_options.conninfo, m_options.password, app);
            m_listen->ExecScript(QStringLiteral("LISTEN %1").arg(QLatin1String(SharedServer::kChannel)));
        }
        m_inflight.clear();
        m_skip.clear();
    }

    const QString& NetName() const { return m_netName; }
    int ListenSocket() const { return m_listen ? m_listen->Socket() : -1; }

    // The whole net by identity and version, both ways: whatever the server has newer is pulled; whatever
    // it lacks, or holds at an older version than this log agreed on (a server restored from a backup, a
    // standby that lagged, a row deleted by hand), goes up again as this log agreed on it.
    void Resync()
    {
        const CPgResult server =
            m_db->Exec(QStringLiteral("SELECT uuid::text, version FROM checkin WHERE net_id = $1"),
                       {QString::number(m_netId)});
        QHash<QString, qint64> onServer;
        onServer.reserve(server.Rows());
        for (int i = 0; i < server.Rows(); ++i)
            onServer.insert(server.Text(i, 0), server.Int(i, 1));
        QStringList wanted;
        std::vector<std::pair<QString, qint64>> lost; // identity, the server's version (0: none)
        {
            SQLite::Statement st(m_local.Handle(),
                                 "SELECT Uuid, Version, Net, Deleted FROM SyncTab WHERE Version > 0");
            QSet<QString> local;
            while (st.executeStep()) {
                const QString uuid = Text(st.getColumn(0));
                const qint64 version = st.getColumn(1).getInt64();
                local.insert(uuid);
                const auto there = onServer.constFind(uuid);
                if (there != onServer.constEnd() && *there > version) {
                    wanted << uuid;
                    continue;
                }
                const QString net = Text(st.getColumn(2));
                if (st.getColumn(3).getInt() == 3 || (!net.isEmpty() && net != m_netKey))
                    continue;
                if (there == onServer.constEnd() || *there < version)
                    lost.emplace_back(uuid, there == onServer.constEnd() ? 0 : *there);
            }
            for (auto it = onServer.constBegin(); it != onServer.constEnd(); ++it)
                if (!local.contains(it.key()))
                    wanted << it.key();
        }
        Fetch(wanted);
        SendAgain(lost);
    }

    // Pushes what the outbox holds, a batch at a time; returns how many went.
    int PushAll()
    {
        int total = 0;
        qint64 after = 0;
        for (;;) {
            std::vector<CPending> pending = ReadPending(m_local, m_netKey, after);
            if (pending.empty())
                return total;
            after = pending.back().seq;
            std::vector<CPending> batch;
            const auto now = std::chrono::steady_clock::now();
            for (CPending& p : pending) {
                if (m_skip.contains(p.row.uuid))
                    continue; // set aside or taking a new identity: the log has not booked it yet
                const auto it = m_inflight.find(p.row.uuid);
                if (it != m_inflight.end()) {
                    // The server's answer is on its way into the log: the next push stands on it. (Not for
                    // ever: a log that could not take it is tried again.)
                    if (p.row.version < it->second.waitVersion && now < it->second.until)
                        continue;
                    m_inflight.erase(it);
                }
                batch.push_back(std::move(p));
            }
            if (!batch.empty())
                total += PushBatch(batch);
        }
    }

    // Notifications "net uuid version": what is newer than the log's copy is pulled. Anything else on the
    // channel (another net, a payload that is not one) is ignored.
    void Pull(const QStringList& payloads)
    {
        QStringList wanted;
        QSet<QString> seen;
        SQLite::Statement st(m_local.Handle(), "SELECT Version FROM SyncTab WHERE Uuid = ?");
        for (const QString& payload : payloads) {
            const QStringList parts = payload.split(QLatin1Char(' '));
            if (parts.size() != 3)
                continue;
            bool netOk = false, versionOk = false;
            const qint64 net = parts[0].toLongLong(&netOk);
            const qint64 version = parts[2].toLongLong(&versionOk);
            const QString uuid = NormalUuid(parts[1]);
            if (!netOk || !versionOk || net != m_netId || uuid.isEmpty() || version <= 0)
                continue;
            if (m_own.contains(uuid + QLatin1Char(' ') + QString::number(version)) || seen.contains(uuid))
                continue;
            st.bind(1, uuid.toStdString());
            const qint64 known = st.executeStep() ? st.getColumn(0).getInt64() : 0;
            st.reset();
            if (version > known) {
                wanted << uuid;
                seen.insert(uuid);
            }
        }
        Fetch(wanted);
    }

    QStringList TakeNotifications() { return m_listen->TakeNotifications(); }

    // The day's start and end of the net as stamped here, when they are newer than the server's: whoever
    // opened the net last is its NCS.
    void PushNetTimes()
    {
        const NetTimes::CTimes times = NetTimes::Get(m_local, QDate::currentDate());
        const QString net = QString::number(m_netId);
        if (times.started.isValid())
            m_db->Exec(QStringLiteral("UPDATE net SET opened = to_timestamp($2::bigint), ncs = $3,"
                                      " closed = CASE WHEN closed < to_timestamp($2::bigint) THEN NULL"
                                      " ELSE closed END WHERE id = $1 AND (opened IS NULL OR"
                                      " opened < to_timestamp($2::bigint))"),
                       {net, QString::number(times.started.toSecsSinceEpoch()), m_options.operatorCall});
        if (times.ended.isValid())
            m_db->Exec(QStringLiteral("UPDATE net SET closed = to_timestamp($2::bigint) WHERE id = $1 AND"
                                      " (closed IS NULL OR closed < to_timestamp($2::bigint)) AND"
                                      " (opened IS NULL OR opened <= to_timestamp($2::bigint))"),
                       {net, QString::number(times.ended.toSecsSinceEpoch())});
    }

    int Heartbeat()
    {
        m_db->Exec(QStringLiteral("INSERT INTO operator_seen (net_id, operator) VALUES ($1, $2) ON CONFLICT "
                                  "(net_id, operator) DO UPDATE SET seen_at = now()"),
                   {QString::number(m_netId), m_options.operatorCall});
        return int(m_db->Exec(QStringLiteral("SELECT count(*) FROM operator_seen WHERE net_id = $1 AND "
                                             "seen_at > now() - interval '60 seconds'"),
                              {QString::number(m_netId)})
                       .Int(0, 0));
    }

private:
    struct CInflight
    {
        qint64 waitVersion; // skipped until the log's copy stands at this version
        std::chrono::steady_clock::time_point until;
    };
    static std::chrono::steady_clock::time_point Soon()
    {
        return std::chrono::steady_clock::now() + std::chrono::seconds(5);
    }

    void Fetch(const QStringList& uuids)
    {
        static const QString select =
            SharedServer::SelectCheckins(QStringLiteral("c.uuid = ANY($1::uuid[]) AND c.net_id = $2"));
        for (qsizetype at = 0; at < uuids.size(); at += kBatch) {
            const CPgResult r =
                m_db->Exec(select, {UuidArray(uuids.mid(at, kBatch)), QString::number(m_netId)});
            std::vector<CSharedCheckin> rows;
            for (int i = 0; i < r.Rows(); ++i)
                rows.push_back(SharedServer::FromRow(r, i));
            if (!rows.empty())
                m_sink.apply(std::move(rows), m_netKey);
        }
    }

    QStringList Values(const CSharedCheckin& c) const
    {
        const CCheckinRecord& v = c.values;
        return {c.uuid,
                QString::number(m_netId),
                v.callSign,
                v.name,
                v.street,
                v.location,
                v.comment,
                Epoch(v.date),
                Flag(v.hasComments),
                Flag(v.hasTraffic),
                Flag(v.acknowledged),
                v.cls,
                v.yourGrid,
                v.email,
                c.loggedBy.isEmpty() ? m_options.operatorCall : c.loggedBy,
                c.updatedBy.isEmpty() ? m_options.operatorCall : c.updatedBy,
                Flag(c.deleted)};
    }

    // $1..$17 as Values(), $18 the version a new row starts at.
    static const QString& InsertSql()
    {
        static const QString sql = QStringLiteral(
            "INSERT INTO checkin (uuid, net_id, call_sign, name, street, location, comment, checked_in_at,"
            " has_comments, has_traffic, acknowledged, licence_class, grid, email, logged_by, updated_by,"
            " deleted, version) VALUES ($1::uuid, $2, $3, $4, $5, $6, $7, to_timestamp($8::bigint),"
            " $9::boolean, $10::boolean, $11::boolean, $12, $13, $14, $15, $16, $17::boolean, $18::bigint)"
            " ON CONFLICT (uuid) DO NOTHING RETURNING version");
        return sql;
    }
    // $1 and $3..$17 as Values(), $2 the version it stands on, $18 the net, $19 the new version (null: the
    // next one).
    static const QString& UpdateSql()
    {
        static const QString sql = QStringLiteral(
            "UPDATE checkin SET call_sign = $3, name = $4, street = $5, location = $6, comment = $7,"
            " checked_in_at = to_timestamp($8::bigint), has_comments = $9::boolean,"
            " has_traffic = $10::boolean, acknowledged = $11::boolean, licence_class = $12, grid = $13,"
            " email = $14, logged_by = coalesce(logged_by, $15), updated_by = $16, deleted = $17::boolean,"
            " version = coalesce($19::bigint, version + 1), updated_at = now()"
            " WHERE uuid = $1::uuid AND version = $2 AND net_id = $18 RETURNING version");
        return sql;
    }

    // Runs one row's statement inside the batch's transaction; a statement the server refuses because of
    // this row sets the row aside (with the reason) and the batch goes on. Returns the result, or nothing
    // when it was refused.
    std::optional<CPgResult> Guarded(const QString& uuid, const std::function<CPgResult()>& statement)
    {
        if (!m_guard)
            return statement();
        m_db->ExecScript(QStringLiteral("SAVEPOINT one_row"));
        try {
            CPgResult r = statement();
            m_db->ExecScript(QStringLiteral("RELEASE SAVEPOINT one_row"));
            return r;
        } catch (const CPgStatementError& e) {
            if (!m_db->IsOk() || !e.RefusesTheRow())
                throw;
            m_db->ExecScript(QStringLiteral("ROLLBACK TO SAVEPOINT one_row"));
            m_setAside.emplace_back(uuid, e.Message());
            m_skip.insert(uuid);
            return std::nullopt;
        }
    }

    // The batch in one transaction, fast; when the server refuses one of its rows, the batch goes again a row
    // at a time, each behind a savepoint, so that the refused row is set aside and the others go. The body
    // starts afresh each time.
    template <typename Body> void RowByRow(Body body)
    {
        for (const bool guarded : {false, true}) {
            m_guard = guarded;
            try {
                InTransaction(body);
                m_guard = false;
                return;
            } catch (const CPgStatementError& e) {
                m_guard = false;
                if (guarded || !m_db->IsOk() || !e.RefusesTheRow())
                    throw;
            }
        }
    }

    template <typename Body> void InTransaction(Body body)
    {
        m_db->ExecScript(QStringLiteral("BEGIN"));
        try {
            body();
            m_db->ExecScript(QStringLiteral("COMMIT"));
        } catch (...) {
            try {
                m_db->ExecScript(QStringLiteral("ROLLBACK"));
            } catch (...) {
            }
            throw;
        }
    }

    struct CDone
    {
        qint64 seq;
        CSharedCheckin pushed;
    };

    // What has been decided in the transaction reaches the log only once it is committed.
    void Report(std::vector<CDone>& done)
    {
        if (m_own.size() > 20000)
            m_own.clear();
        std::vector<std::pair<qint64, CSharedCheckin>> pushed;
        pushed.reserve(done.size());
        for (CDone& d : done) {
            m_own.insert(d.pushed.uuid + QLatin1Char(' ') + QString::number(d.pushed.version));
            m_inflight[d.pushed.uuid] = {d.pushed.version, Soon()};
            pushed.emplace_back(d.seq, std::move(d.pushed));
        }
        if (!pushed.empty())
            m_sink.ack(std::move(pushed), m_netKey);
        for (auto& [uuid, reason] : m_setAside)
            m_sink.setAside(uuid, reason);
        m_setAside.clear();
    }

    int PushBatch(std::vector<CPending>& batch)
    {
        static const QString tombstone = QStringLiteral(
            "UPDATE checkin SET deleted = true, version = version + 1, updated_by = $3, updated_at = now()"
            " WHERE uuid = $1::uuid AND version = $2 AND net_id = $4 RETURNING version");
        std::vector<CDone> done;
        QStringList refused;
        QStringList taken; // identities another check-in on the server holds
        RowByRow([&] {
            done.clear();
            refused.clear();
            taken.clear();
            m_setAside.clear();
            for (CPending& p : batch) {
                CSharedCheckin& c = p.row;
                if (c.version == 0 && !p.here) {
                    done.push_back({p.seq, c}); // added and deleted before it ever went out
                    continue;
                }
                if (c.updatedBy.isEmpty())
                    c.updatedBy = m_options.operatorCall;
                const std::optional<CPgResult> r = Guarded(c.uuid, [&] {
                    if (c.version == 0) {
                        QStringList v = Values(c);
                        v << QStringLiteral("1");
                        return m_db->Exec(InsertSql(), v);
                    }
                    if (!p.here)
                        return m_db->Exec(tombstone, {c.uuid, QString::number(c.version), c.updatedBy,
                                                      QString::number(m_netId)});
                    QStringList v = Values(c);
                    v[1] = QString::number(c.version);
                    v << QString::number(m_netId) << QString();
                    return m_db->Exec(UpdateSql(), v);
                });
                if (!r)
                    continue;
                if (r->Rows() == 1) {
                    CSharedCheckin pushed = c;
                    pushed.version = r->Int(0, 0);
                    done.push_back({p.seq, pushed});
                } else if (c.version == 0 && HeldByAnother(c)) {
                    taken << c.uuid;
                    m_skip.insert(c.uuid);
                } else {
                    refused << c.uuid; // someone changed it first: merge with theirs, then try again
                    m_inflight[c.uuid] = {c.version + 1, Soon()};
                }
            }
        });
        Report(done);
        for (const QString& uuid : taken)
            m_sink.rekey(uuid);
        Fetch(refused);
        return int(done.size());
    }

    // The server has a check-in with this identity that is not this one: of another net, or of another
    // station.
    bool HeldByAnother(const CSharedCheckin& c)
    {
        const CPgResult r = m_db->Exec(
            QStringLiteral("SELECT net_id, call_sign FROM checkin WHERE uuid = $1::uuid"), {c.uuid});
        if (r.Rows() == 0)
            return false;
        return r.Int(0, 0) != m_netId || !LogText::SameCallSign(r.Text(0, 1), c.values.callSign);
    }

    // The check-ins the server lost go up again as this log agreed on them, one version past it, so that
    // every log that agreed on it takes it as news and nobody's copy goes back.
    void SendAgain(const std::vector<std::pair<QString, qint64>>& lost)
    {
        SQLite::Statement st(
            m_local.Handle(),
            "SELECT Version, Base, LoggedBy, UpdatedBy, Deleted FROM SyncTab WHERE Uuid = ?");
        for (size_t at = 0; at < lost.size(); at += kBatch) {
            std::vector<CDone> done;
            QStringList refetch;
            RowByRow([&] {
                done.clear();
                refetch.clear();
                m_setAside.clear();
                for (size_t i = at; i < std::min(lost.size(), at + kBatch); ++i) {
                    const QString uuid = lost[i].first;
                    const qint64 serverVersion = lost[i].second;
                    st.bind(1, uuid.toStdString());
                    if (!st.executeStep() || st.getColumn(1).isNull()) {
                        st.reset();
                        continue;
                    }
                    CSharedCheckin c;
                    c.uuid = uuid;
                    c.version = st.getColumn(0).getInt64();
                    c.values = SharedFields::FromJson(QByteArray(st.getColumn(1).getText()));
                    c.loggedBy = Text(st.getColumn(2));
                    c.updatedBy = Text(st.getColumn(3));
                    c.deleted = st.getColumn(4).getInt() == 1;
                    st.reset();
                    if (c.version == std::numeric_limits<qint64>::max())
                        continue;
                    const QString next = QString::number(c.version + 1);
                    const std::optional<CPgResult> r = Guarded(uuid, [&] {
                        QStringList v = Values(c);
                        if (serverVersion == 0) {
                            v << next;
                            return m_db->Exec(InsertSql(), v);
                        }
                        v[1] = QString::number(serverVersion);
                        v << QString::number(m_netId) << next;
                        return m_db->Exec(UpdateSql(), v);
                    });
                    if (!r)
                        continue;
                    if (r->Rows() == 1) {
                        c.version = r->Int(0, 0);
                        done.push_back({0, c});
                    } else {
                        refetch << uuid; // another log was quicker: take what it sent
                    }
                }
            });
            Report(done);
            Fetch(refetch);
        }
    }

    CSharedLogOptions m_options;
    CDatabase m_local;
    CSink m_sink;
    std::unique_ptr<CPgConnection> m_db;
    std::unique_ptr<CPgConnection> m_listen;
    qint64 m_netId = 0;
    QString m_netName;
    QString m_netKey;
    std::map<QString, CInflight> m_inflight;
    QSet<QString> m_skip; // set aside or re-keyed in this connection: not pushed again in it
    std::vector<std::pair<QString, QString>> m_setAside;
    bool m_guard = false; // each row behind a savepoint (a batch the server refused a row of)
    QSet<QString> m_own;  // "uuid version" this log pushed: their notifications need no pull
};

CSyncEngine::CSyncEngine(CCheckinStore& store, CSharedLogOptions options, QObject* parent)
    : QObject(parent), m_store(store), m_options(std::move(options))
{
    qRegisterMetaType<CSyncStatus>("CSyncStatus");
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    // The thread pushes what changed and counts again.
    connect(&m_store, &CCheckinStore::sharedStateChanged, this, &CSyncEngine::Wake);
    connect(&m_store, &CCheckinStore::netStamped, this, [this] {
        m_netStamped = true;
        Wake();
    });
}

CSyncEngine::~CSyncEngine()
{
    Stop(false);
    if (m_wakeFd >= 0)
        close(m_wakeFd);
}

CSyncStatus CSyncEngine::Status() const
{
    return m_status;
}

void CSyncEngine::Wake()
{
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(m_wakeFd, &one, sizeof one);
}

QString CSyncEngine::NetName() const
{
    std::lock_guard lock(m_netMutex);
    return m_netName;
}

int CSyncEngine::Pending()
{
    return CountOf(m_store.Database(), kPendingCount.c_str(), SharedServer::NetKey(m_options.net));
}

int CSyncEngine::SetAside()
{
    return CountOf(m_store.Database(), kSetAsideCount);
}

void CSyncEngine::PostCounts(CDatabase& log)
{
    CCounts c;
    try {
        c = Count(log, SharedServer::NetKey(m_options.net));
    } catch (const std::exception&) {
        return; // counted again at the next change
    }
    QMetaObject::invokeMethod(
        this,
        [this, c] {
            m_status.pending = c.pending;
            m_status.conflicts = c.conflicts;
            m_status.setAside = c.setAside;
            m_status.setAsideText = c.setAsideText;
            Q_EMIT statusChanged(m_status);
        },
        Qt::QueuedConnection);
}

void CSyncEngine::PostStatus(bool online, int operators, const QString& error)
{
    QMetaObject::invokeMethod(
        this,
        [this, online, operators, error] {
            m_status.online = online;
            m_status.operators = operators;
            m_status.error = error;
            Q_EMIT statusChanged(m_status);
        },
        Qt::QueuedConnection);
}

void CSyncEngine::Apply(const std::vector<CSharedCheckin>& rows, const QString& net)
{
    const CCheckinStore::CApplied a = m_store.ApplyRemote(rows, net);
    m_pulled += a.added.size() + a.changed.size() + a.removed.size();
    m_conflicts += a.conflicts;
}

void CSyncEngine::Take(const std::function<void()>& write)
{
    try {
        write();
    } catch (const CLogwardenException& e) {
        // The log could not take what the server sent (another program holds it, say): the status says
        // why, and the whole net is compared again a little later, so nothing is missed.
        m_status.error = e.Message();
        m_notTaken = true;
        Q_EMIT statusChanged(m_status);
        m_resyncWanted = true;
        Wake();
        return;
    }
    if (m_notTaken) {
        m_notTaken = false;
        m_status.error.clear();
        Q_EMIT statusChanged(m_status);
    }
}

CSyncSink CSyncEngine::DirectSink()
{
    return {[this](std::vector<CSharedCheckin> rows, QString net) { Apply(rows, net); },
            [this](std::vector<std::pair<qint64, CSharedCheckin>> pushed, QString net) {
                m_store.AcknowledgePushes(pushed, net);
                m_pushed += qint64(pushed.size());
            },
            [this](QString uuid, QString reason) { m_store.SetAside(uuid, reason); },
            [this](QString uuid) { m_store.Rekey(uuid); }};
}

void CSyncEngine::SyncOnce()
{
    m_store.PrepareSync();
    CSession session(m_options, m_store.Database().GetPath(), DirectSink());
    session.Connect(false);
    {
        std::lock_guard lock(m_netMutex);
        m_netName = session.NetName();
    }
    session.Heartbeat();
    session.Resync();
    session.PushAll();
    // Identities taken anew go out in the same run.
    session.PushAll();
    session.PushNetTimes();
}

void CSyncEngine::Start()
{
    if (m_thread.joinable())
        return;
    try {
        m_store.PrepareSync();
    } catch (const CLogwardenException& e) {
        m_status.error = e.Message();
    }
    m_stop = false;
    m_thread = std::thread([this] { Run(); });
}

void CSyncEngine::Stop(bool flush)
{
    if (!m_thread.joinable())
        return;
    m_flush = flush;
    {
        std::lock_guard lock(m_applyMutex);
        m_stop = true;
    }
    m_applied.notify_all();
    Wake();
    m_thread.join();
    // What the thread found last enters the log now.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void CSyncEngine::Run()
{
    // Everything the session finds goes to the store's thread, in order; the thread never waits for it.
    const CSession::CSink direct = DirectSink();
    const auto later = [this](std::function<void()> write) {
        QMetaObject::invokeMethod(
            this, [this, write = std::move(write)] { Take(write); }, Qt::QueuedConnection);
    };
    CSession::CSink sink{
        [this, direct](std::vector<CSharedCheckin> rows, QString net) {
            for (size_t at = 0; at < rows.size(); at += kApplyPiece) {
                std::vector<CSharedCheckin> piece(rows.begin() + qsizetype(at),
                                                  rows.begin() +
                                                      qsizetype(std::min(rows.size(), at + kApplyPiece)));
                {
                    // On stopping nobody writes the pieces until the thread is gone: they are posted all the
                    // same, and Stop() writes them.
                    std::unique_lock lock(m_applyMutex);
                    m_applied.wait(lock, [this] { return m_applying == 0 || m_stop; });
                    ++m_applying;
                }
                QMetaObject::invokeMethod(
                    this,
                    [this, direct, piece = std::move(piece), net] {
                        Take([&] { direct.apply(piece, net); });
                        {
                            std::lock_guard lock(m_applyMutex);
                            --m_applying;
                        }
                        m_applied.notify_all();
                    },
                    Qt::QueuedConnection);
            }
        },
        [this, later](std::vector<std::pair<qint64, CSharedCheckin>> pushed, QString net) {
            m_pushed += qint64(pushed.size());
            later([this, pushed = std::move(pushed), net] { m_store.AcknowledgePushes(pushed, net); });
        },
        [later, direct](QString uuid, QString reason) { later([=] { direct.setAside(uuid, reason); }); },
        [later, direct](QString uuid) { later([=] { direct.rekey(uuid); }); }};
    using Clock = std::chrono::steady_clock;
    int backoffMs = 500;
    std::unique_ptr<CSession> session;
    // The counts of the status, read again whenever the log changed (here or in another program).
    std::unique_ptr<CDatabase> counter;
    std::unique_ptr<CChangeWatch> watch;
    const auto recount = [&] {
        try {
            if (!counter) {
                counter = std::make_unique<CDatabase>(m_store.Database().GetPath(), CDatabase::ReadOnly);
                watch = std::make_unique<CChangeWatch>(*counter);
            }
            if (watch->Changed() || m_countsWanted.exchange(false))
                PostCounts(*counter);
        } catch (const std::exception&) {
            counter.reset(); // opened again at the next turn
        }
    };
    while (!m_stop) {
        recount();
        try {
            if (session || backoffMs > 500) // a reconnection: what was set aside is tried again
                later([this] { m_store.PrepareSync(); });
            session = std::make_unique<CSession>(m_options, m_store.Database().GetPath(), sink);
            session->Connect(true);
            {
                std::lock_guard lock(m_netMutex);
                m_netName = session->NetName();
            }
            int operators = session->Heartbeat();
            PostStatus(true, operators, QString());
            session->Resync();
            QMetaObject::invokeMethod(
                this, [this] { Q_EMIT resynced(); }, Qt::QueuedConnection);
            backoffMs = 500;
            auto lastBeat = Clock::now();
            auto resyncNoSooner = Clock::now();
            m_netStamped = true;
            while (!m_stop) {
                session->PushAll();
                if (m_netStamped.exchange(false))
                    session->PushNetTimes();
                // Not at once: the log stays busy a while, and the window waits for it each time.
                if (m_resyncWanted && Clock::now() >= resyncNoSooner) {
                    m_resyncWanted = false;
                    resyncNoSooner = Clock::now() + std::chrono::seconds(5);
                    session->Resync();
                }
                if (Clock::now() - lastBeat > std::chrono::seconds(5)) {
                    const int now = session->Heartbeat();
                    if (now != operators)
                        PostStatus(true, now, QString());
                    operators = now;
                    lastBeat = Clock::now();
                }
                pollfd fds[2] = {{session->ListenSocket(), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
                // Changes queued by another program on the same log are noticed within a second.
                poll(fds, 2, 1000);
                if (fds[1].revents & POLLIN) {
                    uint64_t count;
                    [[maybe_unused]] const ssize_t n = read(m_wakeFd, &count, sizeof count);
                }
                // Every notification that arrived, in one pull.
                session->Pull(session->TakeNotifications());
                recount();
            }
            if (m_flush)
                session->PushAll();
        } catch (const std::exception& e) {
            const QString why = dynamic_cast<const CLogwardenException*>(&e)
                                    ? static_cast<const CLogwardenException&>(e).Message()
                                    : QString::fromUtf8(e.what());
            PostStatus(false, 0, why);
            session.reset();
            if (m_stop)
                break;
            recount();
            pollfd fd{m_wakeFd, POLLIN, 0};
            poll(&fd, 1, backoffMs);
            if (fd.revents & POLLIN) {
                uint64_t count;
                [[maybe_unused]] const ssize_t n = read(m_wakeFd, &count, sizeof count);
            }
            recount();
            backoffMs = std::min(backoffMs * 2, 8000);
        }
    }
}
