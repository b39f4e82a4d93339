#!/bin/sh
# Prints the rows of a SQLite response database as INSERT statements that
# load into a PostgreSQL database made with postgresql.sql (the two schemas
# have the same tables and columns in the same order).
#
#   common/schema/sqlite-to-postgresql.sh response.db | psql -v ON_ERROR_STOP=1 -d DBNAME
set -eu
db=$1
[ -r "$db" ] || { echo "cannot read $db" >&2; exit 1; }
echo "BEGIN;"
sqlite3 "$db" "SELECT name FROM sqlite_master WHERE type = 'table' AND name <> 'DUAL' ORDER BY rowid" |
  while IFS= read -r table; do
    # Unquoted names fold to lower case in PostgreSQL.
    lower=$(printf '%s' "$table" | tr 'A-Z' 'a-z')
    sqlite3 -cmd ".mode insert $lower" "$db" "SELECT * FROM \"$table\""
  done
echo "COMMIT;"
