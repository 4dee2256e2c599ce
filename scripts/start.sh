#!/usr/bin/env bash
# Installs, builds and starts the program. On the first start it writes a tree
# of sample databases into build/sample and a settings file beside the
# executable that points at it; the user's own files are never touched.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
ini=build/app/jetlift.ini
[ -e "$ini" ] || scripts/first-start.sh "$(pwd)/build/sample" "$ini"
exec build/app/jetlift "$@"
