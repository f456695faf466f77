#!/usr/bin/env bash
# A private PostgreSQL server on loopback that stands in for SQL Server in the tests and the demo:
# login "sa" (password "qef"), database "Account", reached through unixODBC with psqlODBC registered
# under the driver name the tool asks for ("FreeTDS") in an odbcinst.ini of its own.
#
#   scripts/postgres.sh start DIR   start a server below DIR; writes DIR/env (MUD3_PG_PORT, ODBCSYSINI);
#                                   on a free port, or on MUD3_PG_FIXED_PORT when set
#   scripts/postgres.sh stop DIR    stop it
#   scripts/postgres.sh resume DIR  start a stopped server again, with its data and its port
#   scripts/postgres.sh sql DIR ... psql on its database "Account" as sa, with the given arguments
set -euo pipefail

command=${1:?start or stop}
dir=${2:?folder}
bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)

# PostgreSQL refuses to run as root: root hands the server to the "postgres" account.
as_server_user() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

# Starts the server of $dir on loopback at the given port; fails when the port is taken.
start_server() {
  as_server_user "$bin/pg_ctl" -D "$dir/data" -l "$dir/data/server.log" -w -t 30 \
    -o "-p $1 -k $dir/data -c listen_addresses=127.0.0.1 -c fsync=off" start >/dev/null
}

case "$command" in
start)
  mkdir -p "$dir/data" "$dir/odbc"
  dir=$(cd "$dir" && pwd)
  [ "$(id -u)" -eq 0 ] && chown postgres "$dir/data" && chmod 755 "$dir"
  printf 'qef\n' > "$dir/password"
  chmod 644 "$dir/password"
  # A throwaway cluster, like the server itself run with fsync=off: nothing to flush to disk.
  as_server_user "$bin/initdb" --no-sync -D "$dir/data" -U sa --pwfile="$dir/password" \
    --auth-local=trust --auth-host=scram-sha-256 -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log"
  started=
  for attempt in 1 2 3 4 5 6 7 8 9 10; do
    port=${MUD3_PG_FIXED_PORT:-$((20000 + RANDOM % 30000))}
    if start_server "$port"; then
      started=1
      break
    fi
  done
  [ -n "$started" ] || { echo "PostgreSQL did not start; see $dir/data/server.log" >&2; exit 1; }
  as_server_user "$bin/psql" -q -h "$dir/data" -p "$port" -U sa -d postgres -c 'CREATE DATABASE "Account"'
  driver=$(dpkg -L odbc-postgresql | grep '/psqlodbcw\.so$' | head -n 1)
  cat >"$dir/odbc/odbcinst.ini" <<INI
[FreeTDS]
Description=PostgreSQL standing in for SQL Server
Driver=$driver
INI
  : >"$dir/odbc/odbc.ini"
  cat >"$dir/env" <<ENV
export MUD3_PG_PORT=$port
export MUD3_PG_SOCKET=$dir/data
export ODBCSYSINI=$dir/odbc
ENV
  echo "PostgreSQL listens on 127.0.0.1:$port (data in $dir/data)"
  ;;
stop)
  as_server_user "$bin/pg_ctl" -D "$dir/data" -m fast stop >/dev/null
  ;;
resume)
  # The tests stop a server in the middle of an update run and look at what it kept afterwards.
  dir=$(cd "$dir" && pwd)
  port=$(sed -n 's/^export MUD3_PG_PORT=//p' "$dir/env")
  start_server "$port"
  ;;
sql)
  port=$(sed -n 's/^export MUD3_PG_PORT=//p' "$dir/env")
  shift 2
  PGOPTIONS='-c client_min_messages=warning' as_server_user "$bin/psql" -q -v ON_ERROR_STOP=1 \
    -h "$(cd "$dir" && pwd)/data" -p "$port" -U sa -d Account "$@"
  ;;
*)
  echo "usage: $0 start|stop|resume|sql DIR" >&2
  exit 2
  ;;
esac
