#!/usr/bin/env bash
# The whole test suite on a fresh machine: installs what is missing, builds the
# release preset (library, tools, tests, benchmarks) and the sanitizer preset
# and runs every test in both, then builds the libFuzzer targets and gives
# each a short run.
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

echo "== fuzz (short runs) =="
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
seconds=${QEB_FUZZ_SECONDS:-15}
for target in build/fuzz/bin/fuzz_*; do
  name=$(basename "$target")
  work=$(mktemp -d)
  seeds=()
  [[ -d "fuzz/corpus/${name#fuzz_}" ]] && seeds+=("fuzz/corpus/${name#fuzz_}")
  dict=()
  [[ -f "fuzz/${name#fuzz_}.dict" ]] && dict+=("-dict=fuzz/${name#fuzz_}.dict")
  echo "-- $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -print_final_stats=0 "${dict[@]}" "$work" "${seeds[@]}" \
    2>&1 | tail -n 2
  rm -rf "$work"
done
echo "all tests passed"
