#!/usr/bin/env bash
# Builds the library twice (optimised, and with address + undefined-behaviour
# sanitizers) and runs every test on both builds, on SQLite and on a
# throwaway PostgreSQL server started here. Without the server binaries the
# PostgreSQL half is skipped with a message, except under CI, where that fails.
set -euo pipefail
cd "$(dirname "$0")/.."

generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
jobs=$(nproc)

cmake -S . -B build-tests "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-tests -j"$jobs"
cmake -S . -B build-sanitize "${generator[@]}" -DCMAKE_BUILD_TYPE=Debug -DTARNLOW_SANITIZE=ON \
  -DTARNLOW_BENCH=OFF >/dev/null
cmake --build build-sanitize -j"$jobs"

pgdir=""
stop_server() { [ -n "$pgdir" ] && scripts/postgres.sh stop "$pgdir" >/dev/null 2>&1 || true; }
trap stop_server EXIT
if [ -z "${TARNLOW_PG_URI:-}" ]; then
  pgdir=$(mktemp -d /tmp/tarnlow-pg.XXXXXX)
  if uri=$(scripts/postgres.sh start "$pgdir"); then
    export TARNLOW_PG_URI="$uri"
    echo "PostgreSQL test server: $TARNLOW_PG_URI"
  else
    pgdir=""
    if [ -n "${CI:-}" ]; then
      echo "error: CI needs the PostgreSQL half of the suite, but no test server could be started" >&2
      exit 1
    fi
    echo "warning: no PostgreSQL server could be started: the PostgreSQL half of the suite is SKIPPED" >&2
  fi
fi

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
echo "== tests (optimised build) =="
ctest --test-dir build-tests --output-on-failure -j2 --timeout 600
echo "== tests (sanitizer build) =="
ctest --test-dir build-sanitize --output-on-failure -j2 --timeout 900
