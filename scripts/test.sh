#!/usr/bin/env bash
# The whole test suite on a fresh machine: installs what is missing, builds the
# release preset (library, tools, tests, benchmarks) and the sanitizer preset
# and runs every test in both, checks the installed package and the Debian
# packages made from the release build (scripts/check_package.sh), then builds
# the libFuzzer targets and gives each a short run, and last builds the
# platform and database tests for 32 bits, runs them and checks that file sets
# written by either build are read by the other.
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

echo "== package: install, consumers, Debian packages =="
scripts/check_package.sh

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
  # Fontconfig's own leak of its configuration (see scripts/lsan.supp) is
  # not the target's.
  LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp" \
    "$target" -max_total_time="$seconds" -print_final_stats=0 "${dict[@]}" "$work" "${seeds[@]}" \
    2>&1 | tail -n 2
  rm -rf "$work"
done
echo "== m32: platform and database in a 32-bit build, file sets exchanged with the 64-bit build =="
cmake --preset m32 >/dev/null
cmake --build --preset m32 -j "$jobs"
# A kernel built without 32-bit x86 support runs the 32-bit programs under
# user-mode emulation.
m32=()
if ! build/m32/bin/platform_tests --gtest_list_tests >/dev/null 2>&1; then
  if ! command -v qemu-i386 >/dev/null; then
    echo "m32: this kernel runs no 32-bit programs and qemu-i386 (qemu-user) is missing" >&2
    exit 1
  fi
  m32=(qemu-i386)
fi
"${m32[@]}" build/m32/bin/platform_tests
"${m32[@]}" build/m32/bin/geodb_tests
cross=$(mktemp -d)
QEB_GEODB_CROSS_WRITE="$cross/64" build/release/bin/geodb_tests --gtest_filter='GeoDBCrossBuild.WriteFileSet'
QEB_GEODB_CROSS_WRITE="$cross/32" "${m32[@]}" build/m32/bin/geodb_tests --gtest_filter='GeoDBCrossBuild.WriteFileSet'
QEB_GEODB_CROSS_READ="$cross/64" "${m32[@]}" build/m32/bin/geodb_tests --gtest_filter='GeoDBCrossBuild.ReadFileSet'
QEB_GEODB_CROSS_READ="$cross/32" build/release/bin/geodb_tests --gtest_filter='GeoDBCrossBuild.ReadFileSet'
rm -rf "$cross"
echo "all tests passed"
