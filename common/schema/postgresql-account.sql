-- The tools' built-in account, with read access only. Run as a superuser
-- (or the database owner) in the response database, after the schema:
--   psql -v ON_ERROR_STOP=1 -d DBNAME -f common/schema/postgresql-account.sql
DO $$
BEGIN
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'vordadba') THEN
        CREATE ROLE vordadba LOGIN PASSWORD 'qmtw4rvyle';
    END IF;
END $$;
GRANT USAGE ON SCHEMA public, rtools, truetime TO vordadba;
GRANT SELECT ON ALL TABLES IN SCHEMA public TO vordadba;
GRANT EXECUTE ON ALL FUNCTIONS IN SCHEMA rtools, truetime TO vordadba;
