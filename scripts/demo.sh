#!/usr/bin/env bash
# Runs the library's demo on a fresh machine: installs what is missing,
# builds the release preset and runs `qebgeo demo`.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc 2>/dev/null || echo 2)" --target qebgeo
exec build/release/bin/qebgeo demo
