-- The club's role for the shared log: it may read and write the shared log's tables and nothing else.
-- Run as the database's owner after "logwarden-cli shared init", e.g.
--   psql "host=db.example.org dbname=club user=owner" -v pw="'a long passphrase'" -f shared-log-role.sql
-- (without -v pw the role is created without a password: give it one with \password club).
DO $$ BEGIN
  IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'club') THEN CREATE ROLE club LOGIN; END IF;
END $$;
\if :{?pw}
ALTER ROLE club PASSWORD :pw;
\endif
REVOKE ALL ON ALL TABLES IN SCHEMA public FROM club;
GRANT USAGE ON SCHEMA public TO club;
GRANT SELECT ON logwarden_schema TO club;
GRANT SELECT, INSERT ON net TO club;
GRANT UPDATE (frequency, ncs, opened, closed) ON net TO club;
GRANT USAGE ON SEQUENCE net_id_seq TO club;
GRANT SELECT, INSERT, UPDATE ON checkin TO club;
GRANT SELECT, INSERT, UPDATE ON operator_seen TO club;
