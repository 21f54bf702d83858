#!/usr/bin/env bash
# Installs, only when missing, every Debian package that building, running and
# testing Korvex need. Safe to run again: it does nothing when all is present.
set -euo pipefail

PACKAGES=(
  build-essential g++ cmake ninja-build pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libsqlite3-dev sqlite3
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev
  wine64 fonts-wine xvfb xdotool x11-utils imagemagick
  clang libclang-rt-14-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "bootstrap: all ${#PACKAGES[@]} packages are present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null; then SUDO="sudo"; else
    echo "bootstrap: not root and no sudo; please install: ${missing[*]}" >&2
    exit 1
  fi
fi

echo "bootstrap: installing ${#missing[@]} missing packages: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
echo "bootstrap: apt-get update"
$SUDO apt-get update -qq
echo "bootstrap: apt-get install"
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "bootstrap: done"
