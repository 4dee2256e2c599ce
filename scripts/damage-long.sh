#!/usr/bin/env bash
# The long form of the damage tests: every corpus file cut at every page
# boundary, and 1000 bytes changed one at a time, each file a process of its
# own, JOBS at once. Results (one log and one XML per file) go to OUT; the
# last lines say how many files and cases passed.
#
#   scripts/damage-long.sh [BUILD_DIR] [OUT] [JOBS]
set -euo pipefail

build=${1:-build}
out=${2:-damage-long}
jobs=${3:-2}
tests="$build/tests/jet/jet_tests"
[ -x "$tests" ] || { echo "no $tests: build the tests first" >&2; exit 2; }
mkdir -p "$out"

# Test names as --gtest_list_tests prints them: the suite line, then one
# indented line per file.
names=$("$tests" --gtest_filter='RealFiles/DamagedCorpusFiles.*' --gtest_list_tests |
        awk '/^[^ ]/ {suite=$1; next} {print suite $1}')

run_one() {
  local name=$1 tests=$2 out=$3
  local file
  file=$(echo "$name" | tr '/.' '__')
  JETLIFT_LONG_DAMAGE=1 nice -n 19 "$tests" --gtest_filter="$name" \
      --gtest_output="xml:$out/$file.xml" >"$out/$file.log" 2>&1 || true
}
export -f run_one
echo "$names" | xargs -P "$jobs" -I{} bash -c 'run_one "$@"' _ {} "$tests" "$out"

for kind in Truncated Flipped; do
  xmls=$(ls "$out"/*"$kind"*.xml 2>/dev/null || true)
  [ -n "$xmls" ] || continue
  files=$(echo "$xmls" | wc -l)
  failed=$(grep -l '<failure' $xmls | wc -l || true)
  cases=$(grep -h -o 'name="cases" value="[0-9]*"' $xmls | awk -F'"' '{s += $4} END {print s + 0}')
  echo "$kind: $files files, $cases cases, $failed files with a failure"
done
grep -l '<failure' "$out"/*.xml 2>/dev/null | sed 's/\.xml$/.log/' || true
