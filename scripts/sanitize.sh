#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-asan (any report stops the program with an error), runs every test
# there, then starts the real window headless and closes it, so that
# LeakSanitizer checks the program's start-up and shut-down.
# Usage: scripts/sanitize.sh   (BUILD_DIR overrides build-asan)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${BUILD_DIR:-build-asan}
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DJETLIFT_SANITIZE=ON >/dev/null
cmake --build "$dir"

export ASAN_OPTIONS=detect_leaks=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export QT_QPA_PLATFORM=offscreen
XDG_RUNTIME_DIR="$(mktemp -d)"; export XDG_RUNTIME_DIR; chmod 700 "$XDG_RUNTIME_DIR"

# The window: start, show, close after a second; a leak makes the exit code non-zero.
data=$(mktemp -d)
trap 'rm -rf "$data" "$XDG_RUNTIME_DIR"' EXIT
"$dir"/app/jetlift --data-folder "$data" --quit-after 1000
echo "window start-up and shut-down: no leak, no sanitizer report"

ctest --test-dir "$dir" --output-on-failure -j2
