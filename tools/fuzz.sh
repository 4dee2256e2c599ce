#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs one for a given time.
# Seeds: the real files beside the project, the files our writer makes
# (`jetlift-cli sample` and compactions of real files), page sets cut out of
# both for the part targets (fuzz/fuzz_seeds.cc), the property blobs of both
# (Jet 3 "KKD" and Jet 4 "MR2" ones among them), and the kept regression
# inputs. Crashing inputs land in build-fuzz/findings/TARGET; keep each as a
# case under tests/jet/fuzz_cases/NAME (NAME: the target without _fuzzer).
# Usage: tools/fuzz.sh TARGET SECONDS [extra libFuzzer flags]
#   TARGET: open_fuzzer property_blob_fuzzer schema_fuzzer index_fuzzer
#           long_value_fuzzer ini_fuzzer
set -euo pipefail
self=$(realpath "$0")
cd "$(dirname "$0")/.."
target=${1:?usage: tools/fuzz.sh TARGET SECONDS}
seconds=${2:?usage: tools/fuzz.sh TARGET SECONDS}
shift 2
corpus_dir=${JETLIFT_CORPUS:-$(cd .. && pwd)/shared/corpus}
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DJETLIFT_FUZZ=ON -DJETLIFT_WITH_QT=OFF >/dev/null
cmake --build build-fuzz -j2 --target "$target" fuzz_seeds jetlift-cli

seeds=build-fuzz/seeds
# Made again whenever the cutter or this script changed since they were made.
if [ ! "$seeds/done" -nt build-fuzz/fuzz/fuzz_seeds ] || [ "$self" -nt "$seeds/done" ]; then
  rm -rf "$seeds"
  mkdir -p "$seeds/writer/compacted" "$seeds/ini"
  build-fuzz/tools/jetlift-cli sample "$seeds/writer/sample" >/dev/null || true
  if [ -d "$corpus_dir" ]; then
    for f in jet2-sighor-hor_udep-vb3app.mdb jet3-jackcess-test-access97.mdb \
             jet3-jackcess-overflowTest-access97.mdb jet4-jackcess-indexTest-access2003.mdb \
             jet4-jackcess-overflowTest-access2000.mdb jet4-address-database1.mdb \
             jet3-jackcess-compIndexTest-access97.mdb; do
      # Jet 2.0 refuses most of these; the ones it takes give our Jet 2.0 pages.
      for to in 2.0 3.0 4.0; do
        [ -f "$corpus_dir/$f" ] || continue
        build-fuzz/tools/jetlift-cli compact "$corpus_dir/$f" \
          "$seeds/writer/compacted/${f%.*}-to${to%.0}.mdb" --to "$to" >/dev/null 2>&1 || true
      done
    done
  fi
  mapfile -t dbs < <(find "$corpus_dir" "$seeds/writer" -type f \
                       \( -iname '*.mdb' -o -iname '*.mda' -o -iname '*.mdw' \) 2>/dev/null | sort)
  build-fuzz/fuzz/fuzz_seeds "$seeds/parts" "${dbs[@]}"
  # Settings files as the program writes them, and as people edit them.
  printf '[Options]\r\nMethod=7\r\nJet=0\r\nLastFolder=C:\\Data%%20Files\r\n' >"$seeds/ini/program.ini"
  printf '; comment\n[a]\nk = v \n\n[A]\nk=second\n[b\nno equals\n=empty key\n' >"$seeds/ini/edited.ini"
  printf '[x]\r\nv=%%25%%3D%%0D%%0A%%2\r\n' >"$seeds/ini/escapes.ini"
  touch "$seeds/done"
fi

name=${target%_fuzzer}
cases=tests/jet/fuzz_cases/$name
inputs=()
[ -d "$cases" ] && inputs+=("$cases")
max_len=262144
case "$name" in
  open)
    max_len=131072
    [ -d "$corpus_dir" ] && inputs+=("$corpus_dir")
    inputs+=("$seeds/writer") ;;
  property_blob|schema|index|long_value) inputs+=("$seeds/parts/$name") ;;
  ini) inputs+=("$seeds/ini"); max_len=4096 ;;
esac
# ASan's quarantine of freed blocks (256 MB by default) and the size classes
# it spreads over keep a resident size of about four times the quarantine,
# though nothing leaks (with no quarantine the settings-file target stays at
# 50 MB). A smaller one still catches use after free on this scale.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=64}
work=build-fuzz/runs/$target
findings=build-fuzz/findings/$target
mkdir -p "$work" "$findings"
exec build-fuzz/fuzz/"$target" "$work" "${inputs[@]}" \
  -max_total_time="$seconds" -max_len="$max_len" -rss_limit_mb=2048 -malloc_limit_mb=1024 \
  -timeout=10 -artifact_prefix="$findings/" -print_final_stats=1 "$@"
