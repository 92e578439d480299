#include "core/shared/SharedServer.h"

#include "core/shared/PgConnection.h"

#include <QDateTime>

namespace SharedServer {

namespace {

// Each migration runs once, in order, in one transaction with the version it brings the schema to.
const char* const kMigrations[] = {
    // 1: nets, their check-ins (tombstoned, versioned), the operators at work, the change notification.
    R"sql(
CREATE TABLE net (
    id bigserial PRIMARY KEY,
    name text NOT NULL UNIQUE,
    frequency text,
    ncs text,
    opened timestamptz,
    closed timestamptz
);
CREATE TABLE checkin (
    uuid uuid PRIMARY KEY,
    net_id bigint NOT NULL REFERENCES net (id),
    call_sign text NOT NULL,
    name text,
    street text,
    location text,
    comment text,
    checked_in_at timestamptz,
    has_comments boolean NOT NULL DEFAULT false,
    has_traffic boolean NOT NULL DEFAULT false,
    acknowledged boolean NOT NULL DEFAULT false,
    licence_class text,
    grid text,
    email text,
    logged_by text,
    version bigint NOT NULL DEFAULT 1,
    updated_by text,
    updated_at timestamptz NOT NULL DEFAULT now(),
    deleted boolean NOT NULL DEFAULT false
);
CREATE INDEX checkin_net ON checkin (net_id);
CREATE TABLE operator_seen (
    net_id bigint NOT NULL REFERENCES net (id),
    operator text NOT NULL,
    seen_at timestamptz NOT NULL DEFAULT now(),
    PRIMARY KEY (net_id, operator)
);
CREATE FUNCTION checkin_notify() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    PERFORM pg_notify('logwarden_checkin', NEW.net_id || ' ' || NEW.uuid || ' ' || NEW.version);
    RETURN NULL;
END
$$;
CREATE TRIGGER checkin_changed AFTER INSERT OR UPDATE ON checkin
    FOR EACH ROW EXECUTE FUNCTION checkin_notify();
)sql",
    // 2: net names are found without regard to case and surrounding blanks.
    R"sql(
CREATE INDEX net_name_folded ON net (lower(btrim(name)));
)sql",
};

// What the log can hold: a moment between these years, and fields of a bounded size (a row larger than this
// is not taken at all, so a server cannot fill the program's memory).
constexpr const char* kFirstMoment = "0100-01-01 00:00:00+00";
constexpr const char* kLastMoment = "9999-12-31 00:00:00+00";

QString NotReady(CPgConnection& db)
{
    return QStringLiteral(
               "The shared log on %1 is not set up: run \"logwarden-cli shared init --db ...\" once.")
        .arg(db.Where());
}

QString TooNew(CPgConnection& db, int version)
{
    return QStringLiteral(
               "The shared log on %1 is of a newer version (%2) than this program knows (up to %3): "
               "nothing was changed. Update Logwarden on this computer.")
        .arg(db.Where())
        .arg(version)
        .arg(LatestVersion());
}

} // namespace

int LatestVersion()
{
    return int(std::size(kMigrations));
}

std::pair<int, int> Init(CPgConnection& db)
{
    db.ExecScript(QStringLiteral("CREATE TABLE IF NOT EXISTS logwarden_schema (version integer NOT NULL);"));
    int before = -1;
    for (;;) {
        db.ExecScript(QStringLiteral("BEGIN"));
        try {
            // One migrator at a time, however many start at once.
            db.Exec(QStringLiteral("SELECT pg_advisory_xact_lock(hashtext('logwarden_schema'))"));
            const CPgResult r =
                db.Exec(QStringLiteral("SELECT coalesce(max(version), 0) FROM logwarden_schema"));
            const int current = int(r.Int(0, 0));
            if (current > LatestVersion())
                throw CNetException(TooNew(db, current));
            if (before < 0)
                before = current;
            if (current >= LatestVersion()) {
                db.ExecScript(QStringLiteral("COMMIT"));
                return {before, current};
            }
            db.ExecScript(QString::fromUtf8(kMigrations[current]));
            db.Exec(QStringLiteral("DELETE FROM logwarden_schema"));
            db.Exec(QStringLiteral("INSERT INTO logwarden_schema (version) VALUES ($1)"),
                    {QString::number(current + 1)});
            db.ExecScript(QStringLiteral("COMMIT"));
        } catch (...) {
            try {
                db.ExecScript(QStringLiteral("ROLLBACK"));
            } catch (...) {
            }
            throw;
        }
    }
}

void CheckVersion(CPgConnection& db)
{
    if (!db.Exec(QStringLiteral("SELECT to_regclass('logwarden_schema') IS NOT NULL")).Bool(0, 0))
        throw CNetException(NotReady(db));
    const int version =
        int(db.Exec(QStringLiteral("SELECT coalesce(max(version), 0) FROM logwarden_schema")).Int(0, 0));
    if (version > LatestVersion())
        throw CNetException(TooNew(db, version));
    if (version < LatestVersion())
        throw CNetException(
            QStringLiteral("The shared log on %1 is of an older version (%2) than this program (%3): run "
                           "\"logwarden-cli shared init --db ...\" once to bring it up to date.")
                .arg(db.Where())
                .arg(version)
                .arg(LatestVersion()));
}

QString NetKey(const QString& name)
{
    return name.trimmed().toLower();
}

std::optional<CNet> FindNet(CPgConnection& db, const QString& name)
{
    const CPgResult r = db.Exec(QStringLiteral("SELECT id, name FROM net WHERE lower(btrim(name)) = "
                                               "lower(btrim($1)) ORDER BY id LIMIT 1"),
                                {name});
    if (r.Rows() == 0)
        return std::nullopt;
    return CNet{r.Int(0, 0), r.Text(0, 1)};
}

CNet CreateNet(CPgConnection& db, const QString& name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        throw CNetException(QStringLiteral("A net needs a name."));
    db.ExecScript(QStringLiteral("BEGIN"));
    try {
        // Two operators creating "Monday Net" and "monday net" at once make one net.
        db.Exec(QStringLiteral("SELECT pg_advisory_xact_lock(hashtext('logwarden_net'))"));
        std::optional<CNet> net = FindNet(db, trimmed);
        if (!net) {
            const CPgResult r =
                db.Exec(QStringLiteral("INSERT INTO net (name) VALUES ($1) RETURNING id, name"), {trimmed});
            net = CNet{r.Int(0, 0), r.Text(0, 1)};
        }
        db.ExecScript(QStringLiteral("COMMIT"));
        return *net;
    } catch (...) {
        try {
            db.ExecScript(QStringLiteral("ROLLBACK"));
        } catch (...) {
        }
        throw;
    }
}

QStringList Nets(CPgConnection& db)
{
    const CPgResult r = db.Exec(QStringLiteral("SELECT name FROM net ORDER BY lower(btrim(name)), id"));
    QStringList names;
    for (int i = 0; i < r.Rows(); ++i)
        if (names.isEmpty() || NetKey(names.last()) != NetKey(r.Text(i, 0)))
            names << r.Text(i, 0);
    return names;
}

CNet ResolveNet(CPgConnection& db, const QString& name, bool create)
{
    if (std::optional<CNet> net = FindNet(db, name))
        return *net;
    if (create)
        return CreateNet(db, name);
    const QStringList nets = Nets(db);
    throw CNetException(
        QStringLiteral(
            "The shared log on %1 has no net named \"%2\"%3. Choose one of its nets, or create the "
            "net explicitly.")
            .arg(db.Where(), name.trimmed(),
                 nets.isEmpty() ? QString()
                                : QStringLiteral(" (its nets: %1)").arg(nets.join(QStringLiteral(", ")))));
}

QString SelectCheckins(const QString& where)
{
    // A row the log cannot hold comes without its values and with the reason; nothing larger than the
    // bounds crosses the network.
    return QStringLiteral(
               "SELECT c.uuid::text, c.version, c.deleted,"
               " CASE WHEN x.reason IS NULL THEN c.call_sign END, CASE WHEN x.reason IS NULL THEN c.name END,"
               " CASE WHEN x.reason IS NULL THEN c.street END, CASE WHEN x.reason IS NULL THEN c.location "
               "END,"
               " CASE WHEN x.reason IS NULL THEN c.comment END,"
               " CASE WHEN x.reason IS NULL THEN extract(epoch FROM c.checked_in_at)::bigint END,"
               " c.has_comments, c.has_traffic, c.acknowledged,"
               " CASE WHEN x.reason IS NULL THEN c.licence_class END, CASE WHEN x.reason IS NULL THEN c.grid "
               "END,"
               " CASE WHEN x.reason IS NULL THEN c.email END,"
               " CASE WHEN x.reason IS NULL THEN left(c.logged_by, 64) END,"
               " CASE WHEN x.reason IS NULL THEN left(c.updated_by, 64) END, x.reason"
               " FROM checkin c CROSS JOIN LATERAL (SELECT CASE"
               " WHEN greatest(octet_length(c.call_sign), octet_length(c.name), octet_length(c.street),"
               " octet_length(c.location), octet_length(c.comment), octet_length(c.licence_class),"
               " octet_length(c.grid), octet_length(c.email)) > %1"
               " OR coalesce(octet_length(c.call_sign), 0) + coalesce(octet_length(c.name), 0)"
               " + coalesce(octet_length(c.street), 0) + coalesce(octet_length(c.location), 0)"
               " + coalesce(octet_length(c.comment), 0) + coalesce(octet_length(c.licence_class), 0)"
               " + coalesce(octet_length(c.grid), 0) + coalesce(octet_length(c.email), 0) > %2"
               " THEN 'a field is larger than the log takes (%3 KB)'"
               " WHEN c.checked_in_at IS NOT NULL AND (NOT isfinite(c.checked_in_at) OR"
               " c.checked_in_at < '%4' OR c.checked_in_at >= '%5')"
               " THEN 'its date and time cannot be held by the log (' || left(c.checked_in_at::text, 40) || "
               "')'"
               " END AS reason) x WHERE %6")
        .arg(kMaxField)
        .arg(kMaxRow)
        .arg(kMaxField / 1024)
        .arg(QLatin1String(kFirstMoment), QLatin1String(kLastMoment), where);
}

CSharedCheckin FromRow(const CPgResult& r, int row)
{
    CSharedCheckin c;
    c.uuid = r.Text(row, 0);
    c.version = r.Int(row, 1);
    c.deleted = r.Bool(row, 2);
    if (!r.IsNull(row, 17)) {
        c.setAside = r.Text(row, 17);
        return c;
    }
    CCheckinRecord& v = c.values;
    v.callSign = r.Text(row, 3);
    v.name = r.Text(row, 4);
    v.street = r.Text(row, 5);
    v.location = r.Text(row, 6);
    v.comment = r.Text(row, 7);
    // The server keeps the moment; the log keeps this computer's wall-clock time of it.
    if (!r.IsNull(row, 8))
        v.date = CDateTime(QDateTime::fromSecsSinceEpoch(r.Int(row, 8)).toLocalTime());
    v.hasComments = r.Bool(row, 9);
    v.hasTraffic = r.Bool(row, 10);
    v.acknowledged = r.Bool(row, 11);
    v.cls = r.Text(row, 12);
    v.yourGrid = r.Text(row, 13);
    v.email = r.Text(row, 14);
    c.loggedBy = r.Text(row, 15);
    c.updatedBy = r.Text(row, 16);
    return c;
}

} // namespace SharedServer
