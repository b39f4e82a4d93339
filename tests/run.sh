#!/bin/sh
# Installs what is missing (tools/install-packages.sh), builds the project
# and runs every test: once on SQLite, and once more on PostgreSQL in a
# throw-away cluster when a PostgreSQL server is installed (set
# RESPONSE_TEST_SQLITE_ONLY=1 to skip that).
# Usage: tests/run.sh [BUILD_DIR]   (default: build)
# Extra CMake options may be given in CMAKE_ARGS.
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
tools/install-packages.sh
# Leaks inside third-party libraries that the sanitizer build would report.
LSAN_OPTIONS="suppressions=$(pwd)/tests/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export LSAN_OPTIONS
jobs=$(nproc 2>/dev/null || echo 2)
# shellcheck disable=SC2086
cmake -S . -B "$build" ${CMAKE_ARGS:-}
cmake --build "$build" -j"$jobs"

echo "== tests on SQLite"
RESPONSE_TEST_BACKEND=sqlite ctest --test-dir "$build" --output-on-failure -j"$jobs"

if [ -n "${RESPONSE_TEST_SQLITE_ONLY:-}" ] || ! ls -d /usr/lib/postgresql/*/bin >/dev/null 2>&1; then
  echo "== PostgreSQL tests skipped (no server installed, or RESPONSE_TEST_SQLITE_ONLY set)"
  exit 0
fi

pgdir=$(mktemp -d /tmp/rtools-pg-XXXXXX)
port=$((20000 + $$ % 20000))
cleanup() {
  tests/pg-cluster.sh stop "$pgdir" 2>/dev/null || true
  rm -rf "$pgdir"
}
trap cleanup EXIT INT TERM
tests/pg-cluster.sh start "$pgdir" "$port"

echo "== tests on PostgreSQL (127.0.0.1:$port)"
RESPONSE_TEST_BACKEND=postgresql \
RESPONSE_TEST_PG_ADMIN="host=$pgdir port=$port user=postgres dbname=postgres" \
RESPONSE_TEST_PG_ADDRESS="127.0.0.1:$port" \
  ctest --test-dir "$build" --output-on-failure -j"$jobs"
