#!/bin/sh
# Compares the two backends on this machine: the statement rate of the
# generator's statement kinds, and the end-to-end time of the demo request
# file (Mebrisk on demo/req), on SQLite and on PostgreSQL over the local
# socket, in a throw-away cluster. The two header trees must be identical.
# Usage: bench/backends.sh [BUILD_DIR]    (after cmake --build)
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d /tmp/rtools-bench-XXXXXX)
pg=$(mktemp -d /tmp/rtools-bench-pg-XXXXXX)  # the server's user must reach it
port=$((20000 + $$ % 20000))
cleanup() {
  tests/pg-cluster.sh stop "$pg" 2>/dev/null || true
  rm -rf "$work" "$pg"
}
trap cleanup EXIT INT TERM
tests/pg-cluster.sh start "$pg" "$port"
psql="psql -X -q -v ON_ERROR_STOP=1 -h $pg -p $port -U postgres"

load_postgresql() {  # DBNAME, then SQL on standard input
  $psql -d postgres -c "CREATE DATABASE $1"
  $psql -d "$1" -f common/schema/postgresql.sql -f common/schema/postgresql-account.sql
  $psql -d "$1"
  $psql -d "$1" -c "ANALYZE"
}

"$build/bin/bench_statement_rate" --sql | load_postgresql bench
echo "== statement rate, SQLite"
"$build/bin/bench_statement_rate" 100000
echo "== statement rate, PostgreSQL over the Unix socket"
"$build/bin/bench_statement_rate" --db "postgresql://$(printf '%s' "$pg" | sed 's|/|%2F|g'):$port/bench" 20000

cat demo/*.sql | load_postgresql demo

run_demo() {  # NAME RESPONSE_DB
  mkdir -p "$work/$1"
  cp demo/req "$work/$1/req"
  start=$(date +%s.%N)
  (cd "$work/$1" && RESPONSE_DB=$2 DATA_ROOT="$work/$1/tree" "$build/bin/Mebrisk" >"$work/$1/out" 2>&1) ||
    echo "Mebrisk on $1 ended with a failure (see $work/$1/out)"
  end=$(date +%s.%N)
  echo "$1: demo request file in $(awk "BEGIN { printf \"%.2f\", $end - $start }") s"
}
echo "== demo request file"
run_demo sqlite "$build/demo.db"
run_demo postgresql "postgresql://127.0.0.1:$port/demo"
if diff -r "$work/sqlite/tree" "$work/postgresql/tree" >/dev/null; then
  echo "header trees identical ($(find "$work/sqlite/tree" -type f | wc -l) files)"
else
  echo "header trees DIFFER"; exit 1
fi
