#!/usr/bin/env bash
# What a first start prepares: a tree of sample databases made by our own
# writer in SAMPLE_DIR, and the settings file INI pointing the window at it.
# usage: scripts/first-start.sh SAMPLE_DIR INI
set -euo pipefail
cd "$(dirname "$0")/.."
sample="$1"
ini="$2"
build/tools/jetlift-cli sample "$sample"
mkdir -p "$(dirname "$ini")"
printf '[general]\r\nSource=%s\r\nDestination=%s/mdb_v40\r\nMethod=1\r\nJet=4\r\n' \
  "$sample" "$sample" > "$ini"
