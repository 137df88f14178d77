#!/usr/bin/env bash
# Builds the benchmarks optimised and prints the ratio table of
# tarnlow_bench_table: the library against the raw client APIs and the peers,
# each pair measured side by side in the same run; then, from
# tarnlow_bench_concurrency, the goods receipts per second of 1, 8 and 32
# client processes at once on SQLite (a file in a temporary folder) and on
# PostgreSQL, through the library one statement per write, through the
# library with one client transaction per receipt, and (PostgreSQL only)
# through raw libpq; between them, the Python package's costs against C++
# (python/bench/bench.py). PostgreSQL rows use TARNLOW_PG_URI, or else a
# throwaway server started (and stopped) here; when none can be started they
# are skipped with a note. Arguments go to both programs (--rounds N,
# --batch-ms M, --quick; the second uses only --quick, which shortens its
# rounds: about 1.5 minutes for it instead of about 4 on two cores).
# BENCH_JOBS sets the build's parallel jobs (default 2), BENCH_BUILD the build
# folder (default build-bench).
set -euo pipefail
cd "$(dirname "$0")/.."

generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
build=${BENCH_BUILD:-build-bench}
cmake -S . -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"${BENCH_JOBS:-2}" --target tarnlow_bench_table tarnlow_bench_concurrency >/dev/null

pgdir=""
stop_server() { [ -n "$pgdir" ] && scripts/postgres.sh stop "$pgdir" >/dev/null 2>&1 || true; }
trap stop_server EXIT
if [ -z "${TARNLOW_PG_URI:-}" ]; then
  pgdir=$(mktemp -d /tmp/tarnlow-bench-pg.XXXXXX)
  if uri=$(scripts/postgres.sh start "$pgdir" 2>/dev/null); then
    export TARNLOW_PG_URI="$uri"
  else
    pgdir=""
    echo "note: no PostgreSQL server could be started; its rows are skipped" >&2
  fi
fi
"$build"/bench/tarnlow_bench_table "$@"
# The Python package's property read and ReadIt loop against the same
# late-bound loop in C++ (--rounds N applies here too).
if cmake --build "$build" -j"${BENCH_JOBS:-2}" --target tarnlow_python tarnlow_bench >/dev/null 2>&1; then
  python=$(sed -n 's/^Python3_EXECUTABLE:[A-Z]*=//p' "$build/CMakeCache.txt")
  PYTHONPATH="$PWD/$build/python" "$python" python/bench/bench.py "$build/bench/tarnlow_bench" "$@"
else
  echo "note: the Python package is not built (it needs python3-dev and pybind11-dev); its rows are skipped" >&2
fi
"$build"/bench/tarnlow_bench_concurrency "$@"
