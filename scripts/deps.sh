#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the examples
# need, when any is missing; does nothing when all are there.
set -euo pipefail

packages=(cmake ninja-build g++ ccache pkg-config libsqlite3-dev libpq-dev postgresql-15 libgtest-dev libgmock-dev
  libbenchmark-dev python3 python3-dev pybind11-dev python3-pytest mypy dpkg-dev unixodbc-dev odbc-postgresql
  libsqliteodbc)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
echo "installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}"
