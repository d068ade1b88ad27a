#!/usr/bin/env bash
# The whole test suite on a fresh machine: installs what is missing, builds the
# release preset (library, tools, tests, benchmarks) and the sanitizer preset,
# and runs every test in both.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh

jobs=$(nproc 2>/dev/null || echo 2)
for preset in release debug; do
  echo "== $preset =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done
