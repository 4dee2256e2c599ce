#!/usr/bin/env bash
# Installs, builds and runs every test, headless. Ends with ctest's summary line.
# --sanitize: the same tests in a sanitized build, plus the window's leak check
# (what CI runs).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
if [ "${1:-}" = --sanitize ]; then exec scripts/sanitize.sh; fi
scripts/build.sh
export QT_QPA_PLATFORM=offscreen
XDG_RUNTIME_DIR="$(mktemp -d)"; export XDG_RUNTIME_DIR; chmod 700 "$XDG_RUNTIME_DIR"
ctest --test-dir build --output-on-failure -j2
