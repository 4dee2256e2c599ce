#!/usr/bin/env bash
# Installs, builds and runs every test, headless. Ends with ctest's summary line.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
export QT_QPA_PLATFORM=offscreen
XDG_RUNTIME_DIR="$(mktemp -d)"; export XDG_RUNTIME_DIR; chmod 700 "$XDG_RUNTIME_DIR"
ctest --test-dir build --output-on-failure -j2
