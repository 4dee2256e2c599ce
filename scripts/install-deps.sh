#!/usr/bin/env bash
# Installs what building and testing need on a fresh Debian 12 machine (as root,
# or through sudo). Packages already present are not fetched again.
set -euo pipefail
pkgs=(build-essential cmake ninja-build qt6-base-dev libgtest-dev libgmock-dev
      mdbtools nodejs clang libclang-rt-14-dev xvfb xauth imagemagick)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q
  # npm comes inside Debian's nodejs here; installing Debian's npm would conflict.
  "${sudo_cmd[@]}" apt-get install -y -q "${missing[@]}"
fi
