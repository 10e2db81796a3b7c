#!/usr/bin/env bash
# The PostgreSQL server of the test suite: its own cluster in a temporary folder, reached
# only through a Unix socket in that folder (no TCP port), and an odbc.ini of its own that
# names its databases as data sources.
#
#   pg_server.sh start STATE   initdb, start, create the databases, write STATE/odbc.ini
#                              and STATE/odbcinst.ini
#   pg_server.sh stop STATE    stop the server and remove its folder (also after a failed
#                              or half-done start)
#
# STATE is a folder of the build tree that tells the tests where the server is; the tests
# set ODBCINI=STATE/odbc.ini and ODBCSYSINI=STATE. Run as root, the server runs as the
# "postgres" user (initdb and the server refuse root). Databases: talvor_a to talvor_e
# (data sources TALVOR_PG_A to TALVOR_PG_E); the role is "postgres", trusted on the socket.
# Each test that leaves tables behind has a database of its own: the components' suite
# TALVOR_PG_D, the kill loop TALVOR_PG_E, the command-line test TALVOR_PG_C; the others
# empty theirs first.
set -euo pipefail

command=${1:?usage: pg_server.sh start|stop STATE}
state=${2:?usage: pg_server.sh start|stop STATE}
bindir=${TALVOR_PG_BINDIR:-/usr/lib/postgresql/15/bin}
databases=(talvor_a talvor_b talvor_c talvor_d talvor_e)
port=5432  # only names the socket file; the server listens on no TCP port

as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

stop() {
  [ -f "$state/cluster" ] || return 0
  local cluster
  cluster=$(cat "$state/cluster")
  if [ -f "$cluster/data/postmaster.pid" ]; then
    as_owner "$bindir/pg_ctl" -D "$cluster/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$cluster"
  rm -f "$state/cluster" "$state/odbc.ini" "$state/odbcinst.ini"
}

case "$command" in
  stop)
    stop
    echo "pg_server: stopped"
    ;;
  start)
    mkdir -p "$state"
    stop  # a server left by an interrupted run
    cluster=$(mktemp -d /tmp/talvor-pg.XXXXXX)
    echo "$cluster" >"$state/cluster"
    chmod 755 "$cluster"
    if [ "$(id -u)" -eq 0 ]; then chown postgres: "$cluster"; fi
    as_owner "$bindir/initdb" -D "$cluster/data" -U postgres --auth=trust -E SQL_ASCII \
      --locale=C >"$cluster/initdb.log" 2>&1 ||
      { cat "$cluster/initdb.log" >&2; stop; exit 1; }
    as_owner "$bindir/pg_ctl" -D "$cluster/data" -l "$cluster/server.log" -w \
      -o "-c listen_addresses='' -c unix_socket_directories='$cluster' -p $port -c fsync=off" \
      start >/dev/null ||
      { cat "$cluster/server.log" >&2; stop; exit 1; }
    for db in "${databases[@]}"; do
      as_owner "$bindir/createdb" -h "$cluster" -p "$port" -U postgres "$db"
    done
    # The ANSI driver over an SQL_ASCII database, with the client's encoding the same, hands
    # every byte over as it is, as the legacy data hold them (no conversion on the way).
    driver=/usr/lib/x86_64-linux-gnu/odbc/psqlodbca.so
    [ -e "$driver" ] || driver=$(find /usr/lib -name psqlodbca.so -print -quit)
    {
      for db in "${databases[@]}"; do
        name=TALVOR_PG_${db#talvor_}
        cat <<EOF
[${name^^}]
Driver = $driver
Servername = $cluster
Port = $port
Database = $db
Username = postgres
ConnSettings = SET client_encoding TO 'SQL_ASCII'

EOF
      done
    } >"$state/odbc.ini"
    # Debian's entries for the driver turn on its communication log, a file in /tmp for every
    # program that connects; the tests set ODBCSYSINI=STATE, so these entries stand instead.
    printf '[PostgreSQL %s]\nCommLog = 0\nDebug = 0\n\n' ANSI Unicode >"$state/odbcinst.ini"
    echo "pg_server: running in $cluster"
    ;;
  *)
    echo "usage: pg_server.sh start|stop STATE" >&2
    exit 2
    ;;
esac
