#!/usr/bin/env bash
# Installs every Debian package that building, testing and benchmarking
# qebgeolib needs, and only those that are missing. Safe to run again: when
# everything is present it checks and returns in a second or two.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config
  # the Debian packages: cpack's dependency list comes from dpkg-shlibdeps,
  # which reads the libraries' types with file
  dpkg-dev file
  # image files and text of the graphics layer
  libjpeg62-turbo-dev libpng-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core
  # the public-domain world map the demo and the map tests render
  xplanet-images
  # the time-zone cities the demo marks on it (zone1970.tab)
  tzdata
  # Qt 6: the raster-engine peer of the graphics benchmarks and the Qt binding
  qt6-base-dev
  # GDAL: the optional GIS binding; its tests check against the command-line tools
  libgdal-dev gdal-bin
  # a real X display for the Qt programs in the tests (xvfb-run)
  xvfb xauth
  # the viewer's test reads the PDF it printed (pdfinfo)
  poppler-utils
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # accuracy oracles and benchmark peers (never linked into the library)
  libproj-dev libgeographiclib-dev libsqlite3-dev libexpat1-dev
  # the same database files from 32-bit and 64-bit builds: the multilib
  # compiler and the 32-bit libraries the platform layer links
  g++-multilib
  # runs those 32-bit test programs where the kernel has no 32-bit support
  qemu-user
  libjpeg62-turbo-dev:i386 libpng-dev:i386 libfreetype-dev:i386 libfontconfig-dev:i386
  # fuzzing
  clang libclang-rt-14-dev
)

# A name without ":arch" must be installed for the native architecture (or
# be architecture-independent); with i386 enabled dpkg lists both.
native=$(dpkg --print-architecture)
installed() {
  local name=${1%%:*} arch=${1#*:}
  [[ "$arch" == "$1" ]] && arch="($native|all)"
  dpkg-query -W -f='${Architecture} ${Status}\n' "$name" 2>/dev/null |
    grep -Eq "^$arch install ok installed$"
}

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
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
if [[ "${missing[*]}" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
