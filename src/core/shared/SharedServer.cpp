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
};

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

qint64 NetId(CPgConnection& db, const QString& net)
{
    db.Exec(QStringLiteral("INSERT INTO net (name) VALUES ($1) ON CONFLICT (name) DO NOTHING"), {net});
    return db.Exec(QStringLiteral("SELECT id FROM net WHERE name = $1"), {net}).Int(0, 0);
}

QString SelectColumns()
{
    return QStringLiteral(
        "uuid::text, version, deleted, call_sign, name, street, location, comment,"
        " extract(epoch FROM checked_in_at)::bigint, has_comments, has_traffic, acknowledged,"
        " licence_class, grid, email, logged_by, updated_by");
}

CSharedCheckin FromRow(const CPgResult& r, int row)
{
    CSharedCheckin c;
    c.uuid = r.Text(row, 0);
    c.version = r.Int(row, 1);
    c.deleted = r.Bool(row, 2);
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
