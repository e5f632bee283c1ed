#!/usr/bin/env bash
# Starts or stops a throwaway PostgreSQL server for the service tests. It listens
# on a Unix socket only. On success "start" writes the server's connection URL to
# URL_FILE; when no server can be started the file stays absent and the
# PostgreSQL cases skip.
#   postgres_fixture.sh start|stop|pause|resume URL_FILE
# pause and resume stop and restart the server on the same data, as an outage would.
set -uo pipefail

action=${1:?start or stop}
url_file=${2:?url file}
state_file="$url_file.dir"
bin=/usr/lib/postgresql/15/bin

as_server_user() {
  # initdb refuses to run as root.
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

stop_server() {
  [ -f "$state_file" ] || return 0
  local dir
  dir=$(cat "$state_file")
  [ -d "$dir/data" ] && as_server_user "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1
  rm -rf "$dir" "$state_file" "$url_file"
}

start_server() {
  as_server_user "$bin/pg_ctl" -D "$1/data" -l "$1/server.log" -w -t 60 \
    -o "-c listen_addresses='' -k $1 -c max_connections=200" start >/dev/null 2>&1
}

case "$action" in
  start)
    stop_server
    rm -f "$url_file"
    if [ ! -x "$bin/initdb" ] || { [ "$(id -u)" -eq 0 ] && ! id postgres >/dev/null 2>&1; }; then
      echo "PostgreSQL server not installed; PostgreSQL cases will skip"
      exit 0
    fi
    dir=$(mktemp -d /tmp/zandle-pg-XXXXXX)
    echo "$dir" > "$state_file"
    [ "$(id -u)" -eq 0 ] && chown postgres "$dir"
    if ! as_server_user "$bin/initdb" -D "$dir/data" -U postgres -A trust -E UTF8 --no-locale >"$dir/initdb.log" 2>&1; then
      echo "initdb failed; PostgreSQL cases will skip"; cat "$dir/initdb.log"; exit 0
    fi
    if ! start_server "$dir"; then
      echo "PostgreSQL did not start; PostgreSQL cases will skip"; cat "$dir/server.log"; exit 0
    fi
    echo "postgresql://postgres@/postgres?host=$dir" > "$url_file"
    echo "PostgreSQL test server running at $dir"
    ;;
  stop)
    stop_server
    ;;
  pause)
    as_server_user "$bin/pg_ctl" -D "$(cat "$state_file")/data" -m fast -w stop >/dev/null
    ;;
  resume)
    start_server "$(cat "$state_file")"
    ;;
  *)
    echo "usage: $0 start|stop|pause|resume URL_FILE" >&2
    exit 2
    ;;
esac
