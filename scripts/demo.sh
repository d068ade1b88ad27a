#!/usr/bin/env bash
# Runs the library's demo on a fresh machine: installs what is missing,
# builds the release preset and runs `qebgeo demo`. The demo leaves an atlas
# in qebgeo-demo-maps/atlas; to browse it in the desktop viewer:
#   cmake --build --preset release --target qebgeo-viewer
#   build/release/bin/qebgeo-viewer --open qebgeo-demo-maps/atlas
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc 2>/dev/null || echo 2)" --target qebgeo
build/release/bin/qebgeo demo
echo
echo "The atlas in the desktop viewer (needs qt6-base-dev, which the bootstrap installs):"
echo "  cmake --build --preset release --target qebgeo-viewer"
echo "  build/release/bin/qebgeo-viewer --open qebgeo-demo-maps/atlas"
