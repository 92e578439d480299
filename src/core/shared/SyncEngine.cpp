#include "core/shared/SyncEngine.h"

#include "core/Exceptions.h"
#include "core/db/Database.h"
#include "core/log/CheckinStore.h"
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
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

constexpr int kBatch = 500;

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

// Changes waiting to go out, one per check-in (the newest queued), oldest first; not those waiting for the
// operator to settle a conflict.
std::vector<CPending> ReadPending(CDatabase& db)
{
    SQLite::Statement st(
        db.Handle(),
        "SELECT o.Seq, s.Uuid, s.Version, s.Deleted, s.LoggedBy, s.UpdatedBy, l.ID, l.CallSign, l.Name,"
        " l.Street, l.Location, l.Comment, l.\"Date\", l.HasComments, l.HasTraffic, l.Acknowledged, l.Class,"
        " l.YourGrid, l.eMailAddr, s.Theirs"
        " FROM (SELECT Uuid, max(Seq) AS Seq FROM OutboxTab GROUP BY Uuid) o JOIN SyncTab s ON s.Uuid = "
        "o.Uuid"
        " LEFT JOIN LogwardenTab l ON l.ID = s.CheckinID WHERE s.Deleted <> 2"
        " ORDER BY o.Seq LIMIT " +
            std::to_string(kBatch));
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
        CCheckinRecord& v = p.row.values;
        v.callSign = Text(st.getColumn(7));
        v.name = Text(st.getColumn(8));
        v.street = Text(st.getColumn(9));
        v.location = Text(st.getColumn(10));
        v.comment = Text(st.getColumn(11));
        v.date = CDateTime::FromStorage(Text(st.getColumn(12)), st.getColumn(12).isNull());
        v.hasComments = st.getColumn(13).getInt() != 0;
        v.hasTraffic = st.getColumn(14).getInt() != 0;
        v.acknowledged = st.getColumn(15).getInt() != 0;
        v.cls = Text(st.getColumn(16));
        v.yourGrid = Text(st.getColumn(17));
        v.email = Text(st.getColumn(18));
        if (!st.getColumn(19).isNull() && p.here)
            KeepTheirs(v, QByteArray(st.getColumn(19).getText()));
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

int CountOf(CDatabase& db, const char* sql)
{
    SQLite::Statement st(db.Handle(), sql);
    return st.executeStep() ? st.getColumn(0).getInt() : 0;
}

} // namespace

// One connection's worth of work: everything the engine does against the server, with what it finds
// handed to a sink (the store directly, or the store's thread).
class CSyncEngine::CSession
{
public:
    struct CSink
    {
        std::function<void(std::vector<CSharedCheckin>)> apply;
        std::function<void(qint64 seq, CSharedCheckin pushed)> ack;
    };

    CSession(const CSharedLogOptions& options, const QString& logPath, CSink sink)
        : m_options(options), m_local(logPath, CDatabase::ReadOnly), m_sink(std::move(sink))
    {
    }

    void Connect(bool listen)
    {
        const QString app = QStringLiteral("logwarden %1").arg(m_options.operatorCall).trimmed();
        m_db = std::make_unique<CPgConnection>(m_options.conninfo, m_options.password, app);
        const CPgResult schema =
            m_db->Exec(QStringLiteral("SELECT to_regclass('logwarden_schema') IS NOT NULL"));
        const bool ready =
            schema.Bool(0, 0) &&
            m_db->Exec(QStringLiteral("SELECT coalesce(max(version), 0) FROM logwarden_schema")).Int(0, 0) >=
                SharedServer::LatestVersion();
        if (!ready)
            throw CNetException(QStringLiteral("The shared log on %1 is not set up (or is older than this "
                                               "program): run \"logwarden-cli shared init --db ...\" once.")
                                    .arg(m_db->Where()));
        m_netId = SharedServer::NetId(*m_db, m_options.net);
        if (!m_options.frequency.isEmpty())
            m_db->Exec(QStringLiteral(
                           "UPDATE net SET frequency = $2 WHERE id = $1 AND frequency IS DISTINCT FROM $2"),
                       {QString::number(m_netId), m_options.frequency});
        if (listen) {
            m_listen = std::make_unique<CPgConnection>(m_options.conninfo, m_options.password, app);
            m_listen->ExecScript(QStringLiteral("LISTEN %1").arg(QLatin1String(SharedServer::kChannel)));
        }
        m_inflight.clear();
    }

    int ListenSocket() const { return m_listen ? m_listen->Socket() : -1; }

    // The whole net by identity and version: whatever the server has newer is pulled.
    void Resync()
    {
        const CPgResult server =
            m_db->Exec(QStringLiteral("SELECT uuid::text, version FROM checkin WHERE net_id = $1"),
                       {QString::number(m_netId)});
        QHash<QString, qint64> local;
        {
            SQLite::Statement st(m_local.Handle(), "SELECT Uuid, Version FROM SyncTab");
            while (st.executeStep())
                local.insert(Text(st.getColumn(0)), st.getColumn(1).getInt64());
        }
        QStringList wanted;
        for (int i = 0; i < server.Rows(); ++i) {
            const QString uuid = server.Text(i, 0);
            if (server.Int(i, 1) > local.value(uuid, 0))
                wanted << uuid;
        }
        Fetch(wanted);
    }

    // Pushes what the outbox holds, a batch at a time; returns how many went.
    int PushAll()
    {
        int total = 0;
        for (;;) {
            std::vector<CPending> pending = ReadPending(m_local);
            std::vector<CPending> batch;
            const auto now = std::chrono::steady_clock::now();
            for (CPending& p : pending) {
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
            if (batch.empty())
                return total;
            total += PushBatch(batch);
        }
    }

    // Notifications "net uuid version": what is newer than the log's copy is pulled.
    void Pull(const QStringList& payloads)
    {
        QStringList wanted;
        QSet<QString> seen;
        SQLite::Statement st(m_local.Handle(), "SELECT Version FROM SyncTab WHERE Uuid = ?");
        for (const QString& payload : payloads) {
            const QStringList parts = payload.split(QLatin1Char(' '));
            if (parts.size() != 3 || parts[0].toLongLong() != m_netId)
                continue;
            const QString& uuid = parts[1];
            const qint64 version = parts[2].toLongLong();
            if (m_own.contains(uuid + QLatin1Char(' ') + parts[2]) || seen.contains(uuid))
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
        for (qsizetype at = 0; at < uuids.size(); at += kBatch) {
            const CPgResult r =
                m_db->Exec(QStringLiteral("SELECT %1 FROM checkin WHERE uuid = ANY($1::uuid[])")
                               .arg(SharedServer::SelectColumns()),
                           {UuidArray(uuids.mid(at, kBatch))});
            std::vector<CSharedCheckin> rows;
            for (int i = 0; i < r.Rows(); ++i)
                rows.push_back(SharedServer::FromRow(r, i));
            if (!rows.empty())
                m_sink.apply(std::move(rows));
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

    int PushBatch(std::vector<CPending>& batch)
    {
        static const QString insert = QStringLiteral(
            "INSERT INTO checkin (uuid, net_id, call_sign, name, street, location, comment, checked_in_at,"
            " has_comments, has_traffic, acknowledged, licence_class, grid, email, logged_by, updated_by, "
            "deleted,"
            " version) VALUES ($1::uuid, $2, $3, $4, $5, $6, $7, to_timestamp($8::bigint), $9::boolean,"
            " $10::boolean, $11::boolean, $12, $13, $14, $15, $16, $17::boolean, 1)"
            " ON CONFLICT (uuid) DO NOTHING RETURNING version");
        static const QString update = QStringLiteral(
            "UPDATE checkin SET call_sign = $3, name = $4, street = $5, location = $6, comment = $7,"
            " checked_in_at = to_timestamp($8::bigint), has_comments = $9::boolean, has_traffic = "
            "$10::boolean,"
            " acknowledged = $11::boolean, licence_class = $12, grid = $13, email = $14, logged_by = "
            "coalesce(logged_by, $15), updated_by = $16,"
            " deleted = $17::boolean, version = version + 1, updated_at = now()"
            " WHERE uuid = $1::uuid AND version = $2 AND net_id = $18 RETURNING version");
        static const QString tombstone = QStringLiteral(
            "UPDATE checkin SET deleted = true, version = version + 1, updated_by = $3, updated_at = now()"
            " WHERE uuid = $1::uuid AND version = $2 RETURNING version");
        struct CDone
        {
            qint64 seq;
            CSharedCheckin pushed;
        };
        std::vector<CDone> done;
        QStringList refused;
        m_db->ExecScript(QStringLiteral("BEGIN"));
        try {
            for (CPending& p : batch) {
                CSharedCheckin& c = p.row;
                if (c.version == 0 && !p.here) {
                    done.push_back({p.seq, c}); // added and deleted before it ever went out
                    continue;
                }
                if (c.updatedBy.isEmpty())
                    c.updatedBy = m_options.operatorCall;
                CPgResult r(nullptr);
                if (c.version == 0) {
                    r = m_db->Exec(insert, Values(c));
                } else if (!p.here) {
                    r = m_db->Exec(tombstone, {c.uuid, QString::number(c.version), c.updatedBy});
                } else {
                    QStringList v = Values(c);
                    v[1] = QString::number(c.version);
                    v << QString::number(m_netId);
                    r = m_db->Exec(update, v);
                }
                if (r.Rows() == 1) {
                    CSharedCheckin pushed = c;
                    pushed.version = r.Int(0, 0);
                    done.push_back({p.seq, pushed});
                } else {
                    refused << c.uuid; // someone changed it first: merge with theirs, then try again
                    m_inflight[c.uuid] = {c.version + 1, Soon()};
                }
            }
            m_db->ExecScript(QStringLiteral("COMMIT"));
        } catch (...) {
            try {
                m_db->ExecScript(QStringLiteral("ROLLBACK"));
            } catch (...) {
            }
            throw;
        }
        if (m_own.size() > 20000)
            m_own.clear();
        for (CDone& d : done) {
            m_own.insert(d.pushed.uuid + QLatin1Char(' ') + QString::number(d.pushed.version));
            m_inflight[d.pushed.uuid] = {d.pushed.version, Soon()};
            m_sink.ack(d.seq, std::move(d.pushed));
        }
        Fetch(refused);
        return int(done.size());
    }

    CSharedLogOptions m_options;
    CDatabase m_local;
    CSink m_sink;
    std::unique_ptr<CPgConnection> m_db;
    std::unique_ptr<CPgConnection> m_listen;
    qint64 m_netId = 0;
    std::map<QString, CInflight> m_inflight;
    QSet<QString> m_own; // "uuid version" this log pushed: their notifications need no pull
};

CSyncEngine::CSyncEngine(CCheckinStore& store, CSharedLogOptions options, QObject* parent)
    : QObject(parent), m_store(store), m_options(std::move(options))
{
    qRegisterMetaType<CSyncStatus>("CSyncStatus");
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    connect(&m_store, &CCheckinStore::sharedStateChanged, this, [this] {
        Wake();
        UpdateCounts();
    });
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

void CSyncEngine::UpdateCounts()
{
    CDatabase& db = m_store.Database();
    m_status.pending = CountOf(db, "SELECT count(DISTINCT Uuid) FROM OutboxTab");
    m_status.conflicts = CountOf(db, "SELECT count(*) FROM SyncTab WHERE Theirs IS NOT NULL");
    Q_EMIT statusChanged(m_status);
}

void CSyncEngine::PostStatus(bool online, int operators, const QString& error)
{
    QMetaObject::invokeMethod(
        this,
        [this, online, operators, error] {
            m_status.online = online;
            m_status.operators = operators;
            m_status.error = error;
            UpdateCounts();
        },
        Qt::QueuedConnection);
}

void CSyncEngine::Apply(const std::vector<CSharedCheckin>& rows)
{
    const CCheckinStore::CApplied a = m_store.ApplyRemote(rows);
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

void CSyncEngine::SyncOnce()
{
    CSession session(m_options, m_store.Database().GetPath(),
                     {[this](std::vector<CSharedCheckin> rows) { Apply(rows); },
                      [this](qint64 seq, CSharedCheckin pushed) {
                          m_store.AcknowledgePush(seq, pushed);
                          ++m_pushed;
                      }});
    session.Connect(false);
    session.Heartbeat();
    session.Resync();
    session.PushAll();
    session.PushNetTimes();
}

void CSyncEngine::Start()
{
    if (m_thread.joinable())
        return;
    m_stop = false;
    m_thread = std::thread([this] { Run(); });
}

void CSyncEngine::Stop(bool flush)
{
    if (!m_thread.joinable())
        return;
    m_flush = flush;
    m_stop = true;
    Wake();
    m_thread.join();
    // What the thread found last enters the log now.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void CSyncEngine::Run()
{
    // Everything the session finds goes to the store's thread, in order; the thread never waits for it.
    CSession::CSink sink{[this](std::vector<CSharedCheckin> rows) {
                             QMetaObject::invokeMethod(
                                 this, [this, rows = std::move(rows)] { Take([&] { Apply(rows); }); },
                                 Qt::QueuedConnection);
                         },
                         [this](qint64 seq, CSharedCheckin pushed) {
                             ++m_pushed;
                             QMetaObject::invokeMethod(
                                 this,
                                 [this, seq, pushed = std::move(pushed)] {
                                     Take([&] { m_store.AcknowledgePush(seq, pushed); });
                                 },
                                 Qt::QueuedConnection);
                         }};
    using Clock = std::chrono::steady_clock;
    int backoffMs = 500;
    std::unique_ptr<CSession> session;
    while (!m_stop) {
        try {
            session = std::make_unique<CSession>(m_options, m_store.Database().GetPath(), sink);
            session->Connect(true);
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
            pollfd fd{m_wakeFd, POLLIN, 0};
            poll(&fd, 1, backoffMs);
            if (fd.revents & POLLIN) {
                uint64_t count;
                [[maybe_unused]] const ssize_t n = read(m_wakeFd, &count, sizeof count);
            }
            backoffMs = std::min(backoffMs * 2, 8000);
        }
    }
}
