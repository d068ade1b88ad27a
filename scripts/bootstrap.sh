#!/usr/bin/env bash
# Installs every Debian package that building, testing and benchmarking
# qebgeolib needs, and only those that are missing. Safe to run again: when
# everything is present it checks and returns in a second or two.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config
  # image files and text of the graphics layer
  libjpeg62-turbo-dev libpng-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core
  # Qt 6: the raster-engine peer of the graphics benchmarks and the Qt binding
  qt6-base-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # accuracy oracles and benchmark peers (never linked into the library)
  libproj-dev libgeographiclib-dev libsqlite3-dev
  # the same database files from 32-bit and 64-bit builds
  g++-multilib
  # fuzzing
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "bootstrap: installing ${missing[*]}"
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
  if command -v sudo >/dev/null; then
    sudo_cmd=(sudo)
  else
    echo "bootstrap: missing packages and not root (no sudo): ${missing[*]}" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
