#!/bin/sh
# Builds the demo response database: the schema, then every demo/*.sql in
# name order. Usage: make-demo-db.sh OUTPUT.db
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out=$1
rm -f "$out" "$out.tmp"
cat "$here/../common/schema/sqlite.sql" "$here"/*.sql | sqlite3 -bail "$out.tmp"
mv "$out.tmp" "$out"
