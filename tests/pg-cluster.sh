#!/bin/sh
# A throw-away PostgreSQL cluster for the tests, in a directory of its own,
# listening on 127.0.0.1:PORT and on a Unix socket in that directory.
#
#   tests/pg-cluster.sh start DIR PORT   initdb, start, create the role vordadba
#   tests/pg-cluster.sh stop DIR         stop (the directory is left to the caller)
#
# The superuser "postgres" connects through the socket without a password;
# every TCP login needs its password, so the tools' account is checked.
# Run as root, the server runs as the system user postgres.
set -eu
command=$1
dir=$2
pgbin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -n "$pgbin" ] || { echo "pg-cluster: no PostgreSQL server installed" >&2; exit 1; }

as_owner() {
  if [ "$(id -u)" = 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

case $command in
start)
  port=$3
  mkdir -p "$dir"
  [ "$(id -u)" = 0 ] && chown postgres "$dir"
  as_owner "$pgbin/initdb" -D "$dir/data" -U postgres -E UTF8 --locale=C.UTF-8 \
    --auth-local=trust --auth-host=scram-sha-256 >"$dir/initdb.log" 2>&1 ||
    { cat "$dir/initdb.log" >&2; exit 1; }
  as_owner "$pgbin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w \
    -o "-p $port -k $dir -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=200" start >/dev/null ||
    { cat "$dir/server.log" >&2; exit 1; }
  "$pgbin/psql" -X -q -v ON_ERROR_STOP=1 -h "$dir" -p "$port" -U postgres -d postgres \
    -c "CREATE ROLE vordadba LOGIN PASSWORD 'qmtw4rvyle'"
  ;;
stop)
  as_owner "$pgbin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null
  ;;
*)
  echo "usage: $0 start DIR PORT | stop DIR" >&2
  exit 2
  ;;
esac
