#!/usr/bin/env bash
# Starts and stops a throwaway PostgreSQL server for the tests.
#
#   scripts/postgres.sh start DIR   initialises DIR/data on first use, starts
#                                   the server on a private socket in DIR/sock
#                                   (no TCP), creates the database "tarnlow" and
#                                   prints its connection URI on stdout
#   scripts/postgres.sh stop DIR    stops that server (fast shutdown)
#
# The server runs as the "postgres" user when this script runs as root (the
# server refuses root), otherwise as the calling user. Only the URI goes to
# stdout; progress and errors go to stderr, the server's log to DIR/server.log.
#
# Exit status: 0 on success, 2 on a usage error, 3 when the server binaries are
# not installed (callers may skip the server tests on that one), 1 otherwise.
# PG_BINDIR selects the binaries; by default the newest /usr/lib/postgresql/*/bin
# or else whatever is on PATH.
set -euo pipefail

prog=${0##*/}
die() {
  echo "$prog: $*" >&2
  exit 1
}
usage() {
  echo "usage: $prog start|stop DIR" >&2
  exit 2
}

[[ $# -eq 2 ]] || usage
action=$1
[[ $action == start || $action == stop ]] || usage
[[ -n $2 ]] || usage

find_bindir() {
  if [[ -n ${PG_BINDIR:-} ]]; then
    echo "$PG_BINDIR"
    return
  fi
  local best
  best=$(printf '%s\n' /usr/lib/postgresql/*/bin | sort -V | tail -n1)
  if [[ -n $best && -x $best/initdb ]]; then
    echo "$best"
  elif command -v initdb >/dev/null 2>&1; then
    dirname "$(command -v initdb)"
  fi
}

bindir=$(find_bindir)
for tool in initdb pg_ctl pg_isready psql; do
  if [[ -z $bindir || ! -x $bindir/$tool ]]; then
    echo "$prog: PostgreSQL server binaries not found (need initdb, pg_ctl, pg_isready, psql;" \
      "install the postgresql package or set PG_BINDIR)" >&2
    exit 3
  fi
done

as_root=false
if [[ $(id -u) -eq 0 ]]; then as_root=true; fi
if $as_root && ! id postgres >/dev/null 2>&1; then
  die "running as root but there is no 'postgres' user to run the server"
fi

# Runs a command as the server's owner.
as_owner() {
  if $as_root; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

mkdir -p -- "$2"
dir=$(cd -- "$2" && pwd -P)
data=$dir/data
sock=$dir/sock
log=$dir/server.log

# The socket's path ("/.s.PGSQL.NNNNN" appended) must fit in a sockaddr_un.
if ((${#sock} + 15 > 107)); then
  die "socket directory path too long for a unix socket: $sock"
fi

# Percent-encodes everything but unreserved characters and '/', for the URI.
uri_path() {
  local s=$1 out="" c i
  for ((i = 0; i < ${#s}; i++)); do
    c=${s:i:1}
    case $c in
      [A-Za-z0-9/._~-]) out+=$c ;;
      *) out+=$(printf '%%%02X' "'$c") ;;
    esac
  done
  printf '%s' "$out"
}

running() {
  [[ -f $data/PG_VERSION ]] && as_owner "$bindir/pg_ctl" -D "$data" status >/dev/null 2>&1
}

start() {
  if $as_root; then
    chown postgres: "$dir"
  fi
  as_owner test -w "$dir" -a -x "$dir" ||
    die "$dir is not writable by the server's user (check the modes of its parent directories)"

  if [[ ! -f $data/PG_VERSION ]]; then
    if ! as_owner "$bindir/initdb" -D "$data" -U postgres -A trust -E UTF8 --locale=C \
      --no-sync >"$dir/initdb.log" 2>&1; then
      cat "$dir/initdb.log" >&2
      die "initdb failed"
    fi
    # Settings in the file rather than on pg_ctl's command line, which goes
    # through a shell and would mangle a directory name with spaces.
    local quoted=${sock//\'/\'\'}
    cat >>"$data/postgresql.conf" <<EOF

# throwaway test server
listen_addresses = ''
unix_socket_directories = '$quoted'
fsync = off
synchronous_commit = off
full_page_writes = off
max_connections = 100
EOF
  fi
  as_owner mkdir -p "$sock"

  if running; then
    echo "$prog: server in $data already running" >&2
  else
    if ! as_owner "$bindir/pg_ctl" -D "$data" -l "$log" -w -t 60 start >/dev/null; then
      tail -n 30 "$log" >&2 || true
      die "server did not start (log: $log)"
    fi
  fi

  local tries=0
  until "$bindir/pg_isready" -q -h "$sock" -d postgres -U postgres; do
    ((++tries > 60)) && die "server not accepting connections on $sock (log: $log)"
    sleep 0.5
  done

  local psql=("$bindir/psql" -X -q -v ON_ERROR_STOP=1 -h "$sock" -U postgres -d postgres)
  if [[ -z $("${psql[@]}" -tAc "select 1 from pg_database where datname = 'tarnlow'") ]]; then
    "${psql[@]}" -c "create database tarnlow" >/dev/null || die "could not create database tarnlow"
  fi

  echo "postgresql:///tarnlow?host=$(uri_path "$sock")&user=postgres"
}

stop() {
  if ! running; then
    echo "$prog: no server running in $data" >&2
    return 0
  fi
  if ! as_owner "$bindir/pg_ctl" -D "$data" -m fast -w -t 60 stop >/dev/null; then
    echo "$prog: fast shutdown did not finish, shutting down immediately" >&2
    as_owner "$bindir/pg_ctl" -D "$data" -m immediate -w -t 30 stop >/dev/null ||
      die "could not stop the server in $data"
  fi
}

"$action"
