#!/bin/sh
# Shows SQLite's query plan for every statement text in the tools' sources,
# so that a statement that scans a whole table stands out.
# Usage: bench/explain_plans.sh        (needs the sqlite3 program)
set -eu
cd "$(dirname "$0")/.."
db=$(mktemp /tmp/explain-XXXXXX.db)
trap 'rm -f "$db"' EXIT
rm -f "$db"
sqlite3 "$db" < common/schema/sqlite.sql

# Literals that start like a statement; the INTO list goes, :bN stays a
# parameter. The DUAL expressions use functions the sqlite3 shell lacks.
grep -rhoE '"(select|SELECT) [^"]*"' generator drivers reports 2>/dev/null |
  sed -e 's/^"//' -e 's/"$//' |
  grep -v ' DUAL' | grep -v '%s' | sort -u |
  sed -E 's/ into :b[0-9]+(:b[0-9]+)?(,:b[0-9]+(:b[0-9]+)?)*//' |
  while IFS= read -r sql; do
    printf '%s\n' "$sql"
    sqlite3 "$db" "EXPLAIN QUERY PLAN $sql" | sed 's/^/    /'
  done
