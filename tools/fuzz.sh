#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs one for a given time,
# seeded with the real files beside the project. Crashing inputs land in
# build-fuzz/findings/TARGET; keep each as a fixture under tests/jet/fuzz_cases.
# Usage: tools/fuzz.sh TARGET SECONDS [extra libFuzzer flags]
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?usage: tools/fuzz.sh TARGET SECONDS}
seconds=${2:?usage: tools/fuzz.sh TARGET SECONDS}
shift 2
corpus_dir=${JETLIFT_CORPUS:-$(cd .. && pwd)/shared/corpus}
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DJETLIFT_FUZZ=ON -DJETLIFT_WITH_QT=OFF >/dev/null
cmake --build build-fuzz -j2 --target "$target"
work=build-fuzz/runs/$target
findings=build-fuzz/findings/$target
mkdir -p "$work" "$findings"
seeds=(tests/jet/fuzz_cases)
[ -d "$corpus_dir" ] && seeds+=("$corpus_dir")
exec build-fuzz/fuzz/"$target" "$work" "${seeds[@]}" \
  -max_total_time="$seconds" -max_len=131072 -rss_limit_mb=2048 -malloc_limit_mb=1024 \
  -timeout=10 -artifact_prefix="$findings/" -print_final_stats=1 "$@"
