#!/usr/bin/env bash
# Walks through the real window as a new user would, under a virtual X server,
# and saves a picture of every step into docs/ (walkthrough-*.png). It starts
# from what a first start prepares (scripts/first-start.sh), made afresh in
# /tmp/jetlift-demo each run.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build -j2 --target window_walkthrough jetlift-cli
demo=/tmp/jetlift-demo
rm -rf "$demo"
scripts/first-start.sh "$demo/databases" "$demo/settings/jetlift.ini"
shots="$(mktemp -d)"
trap 'rm -rf "$shots"' EXIT
mkdir -p "$shots/runtime" && chmod 700 "$shots/runtime"
HOME="$demo/home" XDG_RUNTIME_DIR="$shots/runtime" QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x1024x24" \
  build/tests/gui/window_walkthrough "$demo" "$shots"
for f in "$shots"/*.png; do cp "$f" "docs/walkthrough-$(basename "$f")"; done
ls docs/walkthrough-*.png
