#!/usr/bin/env bash
# Takes a picture of the real window under a virtual X server (Xvfb) into
# docs/window.png (or the file given). Builds first when the program is missing.
# Settings come from an empty scratch folder and HOME is a neutral one, so the
# picture shows the default folders and nothing of the machine it was taken on.
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-docs/window.png}"
[ -x build/app/jetlift ] || scripts/build.sh
mkdir -p "$(dirname "$out")"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/runtime" && chmod 700 "$scratch/runtime"
HOME=/home/user XDG_RUNTIME_DIR="$scratch/runtime" \
  xvfb-run -a -s "-screen 0 1024x768x24" \
  build/app/jetlift --data-folder "$scratch" --screenshot "$out"
echo "wrote $out"
