#!/usr/bin/env bash
# A throw-away PostgreSQL cluster for the data tests.
#   pg_cluster.sh start DIR   initdb in DIR, start the server on a Unix socket in DIR
#   pg_cluster.sh stop DIR    stop it and remove DIR
# The server listens on no TCP port. Run as root (CI), the server runs as
# the postgres user, since PostgreSQL refuses to run as root.
set -euo pipefail

cmd=${1:?start or stop}
dir=${2:?cluster folder}
port=5432

bindir=""
for d in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V); do
  [ -x "$d/initdb" ] && bindir=$d
done
if [ -z "$bindir" ] && command -v initdb >/dev/null; then bindir=$(dirname "$(command -v initdb)"); fi
[ -n "$bindir" ] || { echo "pg_cluster: no PostgreSQL server binaries (initdb) found" >&2; exit 1; }

as_server() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

stop() {
  if [ -f "$dir/data/postmaster.pid" ]; then
    as_server "$bindir/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$dir"
}

case "$cmd" in
  start)
    stop
    mkdir -p "$dir"
    [ "$(id -u)" -eq 0 ] && chown postgres "$dir"
    as_server "$bindir/initdb" -D "$dir/data" -U postgres -A trust -E UTF8 --locale=C --no-sync >"$dir/initdb.log" 2>&1 \
      || { cat "$dir/initdb.log" >&2; exit 1; }
    as_server "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
      -o "-k $dir -p $port -c listen_addresses= -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
      start >/dev/null || { cat "$dir/server.log" >&2; exit 1; }
    echo "pg_cluster: server up on socket $dir port $port"
    ;;
  stop)
    stop
    ;;
  *)
    echo "pg_cluster: unknown command $cmd" >&2
    exit 2
    ;;
esac
