#!/usr/bin/env bash
# Builds the library twice (optimised, and with address + undefined-behaviour
# sanitizers) and runs every test on both builds, on SQLite and on a
# throwaway PostgreSQL server started here, and both again through their ODBC
# drivers, registered for this run only. Without the server binaries or the
# drivers that half is skipped with a message, except under CI, where that
# fails.
set -euo pipefail
cd "$(dirname "$0")/.."

configure=()
command -v ninja >/dev/null 2>&1 && configure=(-G Ninja)
# A run after the first on the same machine compiles only what changed, from
# whichever clone: ccache keys the objects by paths relative to the checkout.
if command -v ccache >/dev/null 2>&1; then
  configure+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
  # The test programs compile with a precompiled header, which ccache
  # caches only when told that the header's own macros and time stamps may
  # be taken as they are.
  export CCACHE_SLOPPINESS=pch_defines,time_macros
fi
jobs=$(nproc)

# The benchmarks are no test: scripts/bench.sh builds them, in a build of
# their own, when they are measured.
cmake -S . -B build-tests "${configure[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNLOW_BENCH=OFF >/dev/null
cmake --build build-tests -j"$jobs"
cmake -S . -B build-sanitize "${configure[@]}" -DCMAKE_BUILD_TYPE=Debug -DTARNLOW_SANITIZE=ON \
  -DTARNLOW_BENCH=OFF >/dev/null

pgdir=""
odbcdir=""
sanitize_build=""
clean_up() {
  [ -n "$sanitize_build" ] && { pkill -P "$sanitize_build" 2>/dev/null; kill "$sanitize_build" 2>/dev/null; } || true
  [ -n "$pgdir" ] && scripts/postgres.sh stop "$pgdir" >/dev/null 2>&1 || true
  [ -n "$odbcdir" ] && rm -rf -- "$odbcdir" || true
}
trap clean_up EXIT
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

# The ODBC drivers go into a private odbcinst.ini that the driver manager
# reads instead of the system's; the tests find them by these names.
find_driver() {
  local f
  for f in /usr/lib/*/odbc/"$1" /usr/lib/odbc/"$1" /usr/lib64/"$1"; do
    if [ -f "$f" ]; then
      echo "$f"
      return
    fi
  done
}
# Registers the driver library under the name, and exports the name in the
# variable the tests read.
register_driver() {
  local engine=$1 library=$2 name=$3 variable=$4 driver
  driver=$(find_driver "$library")
  if [ -z "$driver" ]; then
    if [ -n "${CI:-}" ]; then
      echo "error: CI needs the ODBC half of the suite, but the $engine ODBC driver ($library) is not installed" >&2
      exit 1
    fi
    echo "warning: no $engine ODBC driver ($library): the odbc-$engine half of the suite is SKIPPED" >&2
    return
  fi
  printf '[%s]\nDriver=%s\n\n' "$name" "$driver" >>"$odbcdir/odbcinst.ini"
  export "$variable=$name"
}
odbcdir=$(mktemp -d /tmp/tarnlow-odbc.XXXXXX)
: >"$odbcdir/odbcinst.ini"
export ODBCSYSINI=$odbcdir ODBCINSTINI=odbcinst.ini TARNLOW_ODBC_POSTGRESQL_DRIVER="" TARNLOW_ODBC_SQLITE_DRIVER=""
register_driver postgresql psqlodbcw.so "Tarnlow PostgreSQL" TARNLOW_ODBC_POSTGRESQL_DRIVER
register_driver sqlite libsqlite3odbc.so "Tarnlow SQLite" TARNLOW_ODBC_SQLITE_DRIVER

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The sanitizer build compiles while the optimised build's tests run: those
# spend most of their time waiting on the server and on their child
# processes, and the compiler, at a lower priority, takes the time they
# leave. Its output follows once it is done.
echo "== sanitizer build, in the background =="
nice -n 10 cmake --build build-sanitize -j"$jobs" >build-sanitize/build.log 2>&1 &
sanitize_build=$!

echo "== tests (optimised build) =="
ctest --test-dir build-tests --output-on-failure -j2 --timeout 600
# The Python package's tests on the optimised build, on every engine named
# above, and its holders' release orders and threads once more on the
# sanitizer build, whose runtime the interpreter (not built with it) loads
# first, with the C++ runtime whose exception machinery it wraps. A run that
# collects no tests (pytest's 5) is a warning; a failing test fails.
python=$(sed -n 's/^Python3_EXECUTABLE:[A-Z]*=//p' build-tests/CMakeCache.txt)
run_pytest() {
  local build=$1 status=0
  shift
  env PYTHONPATH="$PWD/$build/python" PYTHONDONTWRITEBYTECODE=1 "${pytest_env[@]}" \
    "$python" -m pytest -q -p no:cacheprovider "$@" || status=$?
  case $status in
    0) ;;
    5) echo "warning: pytest collected no tests from $*" >&2 ;;
    *) exit "$status" ;;
  esac
}
with_pytest=""
if [ -n "$python" ] && [ -d build-tests/python/tarnlow ] && "$python" -c "import pytest" 2>/dev/null; then
  with_pytest=1
  echo "== Python package tests (optimised build) =="
  pytest_env=()
  run_pytest build-tests python/tests
fi

echo "== sanitizer build =="
status=0
wait "$sanitize_build" || status=$?
sanitize_build=""
cat build-sanitize/build.log
[ "$status" -eq 0 ] || exit "$status"

if [ -n "$with_pytest" ]; then
  echo "== Python package: release orders and threads (sanitizer build) =="
  cxx=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' build-sanitize/CMakeCache.txt)
  pytest_env=("LD_PRELOAD=$("${cxx:-g++}" -print-file-name=libasan.so):$("${cxx:-g++}" -print-file-name=libstdc++.so)"
    "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1")
  run_pytest build-sanitize python/tests/test_lifetime.py
else
  if [ -n "${CI:-}" ]; then
    echo "error: CI needs the Python package's tests, but the package or pytest is missing" >&2
    exit 1
  fi
  echo "warning: the Python package or pytest is missing: its tests are SKIPPED" >&2
fi

echo "== tests (sanitizer build) =="
# The shared suite's ODBC runs ("Backends/.../odbc_...") double this build's
# time and go through the same library code as the native runs; the ODBC
# backend's own tests still run here on both drivers.
GTEST_FILTER='-Backends/*/odbc_*' ctest --test-dir build-sanitize --output-on-failure -j2 --timeout 1500
