#!/usr/bin/env bash
# Long run of the random databases: generates SEEDS databases from FIRST
# (default 1000, past the fixed seeds of ctest), compacts each along every
# version path its content allows and compares every result with its source.
# Usage: scripts/random-db.sh SEEDS [FIRST]
set -euo pipefail
cd "$(dirname "$0")/.."
seeds=${1:?usage: scripts/random-db.sh SEEDS [FIRST]}
first=${2:-1000}
if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} >/dev/null
fi
cmake --build build -j2 --target random-db >/dev/null
exec build/tests/random_db/random-db "$first" "$seeds"
