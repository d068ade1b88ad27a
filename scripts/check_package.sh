#!/usr/bin/env bash
# Checks the installable package: installs the release build into a
# temporary prefix and moves it, builds the program in packaging/consumer
# against it once through find_package and once through pkg-config and runs
# both, compiles every installed header, then makes the Debian packages with cpack and checks
# with dpkg-deb what they hold and which dependencies they declare.
# Reuses build/release (as scripts/test.sh leaves it); builds only the
# libraries when they are not built yet.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/release
jobs=$(nproc 2>/dev/null || echo 2)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "check_package: $*" >&2
  exit 1
}

cmake --preset release >/dev/null
targets=(qebgeolib)
with_qt=OFF
if grep -q '^QEB_BUILD_QT:BOOL=ON$' "$build/CMakeCache.txt"; then
  targets+=(qebgeolib-qt)
  with_qt=ON
fi
cmake --build --preset release -j "$jobs" --target "${targets[@]}"

# The tree is moved after installing: nothing in it may name the prefix it
# was installed to.
cmake --install "$build" --prefix "$work/installed" >/dev/null
prefix=$work/moved
mv "$work/installed" "$prefix"
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")

echo "-- consumer through find_package"
cmake -S packaging/consumer -B "$work/cmake-consumer" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$prefix" -DCONSUMER_WITH_QT="$with_qt" >/dev/null
cmake --build "$work/cmake-consumer" -j "$jobs" >/dev/null
"$work/cmake-consumer/qeb_consumer" "$work/map-cmake.png"
if [[ $with_qt == ON ]]; then
  "$work/cmake-consumer/qeb_consumer_qt" "$work/qt-cmake.png"
fi

echo "-- consumer through pkg-config"
export PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig
modules=(qebgeolib)
[[ $with_qt == ON ]] && modules+=(qebgeolib-qt)
[[ $(pkg-config --modversion qebgeolib) == $(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt") ]] ||
  fail "pkg-config gives another version than the build's"
read -ra cflags <<<"$(pkg-config --cflags "${modules[@]}")"
read -ra libs <<<"$(pkg-config --libs qebgeolib)"
# Every installed header compiles from the installed tree alone.
find "$prefix/include/qebgeolib" -name '*.h' -printf '#include "%P"\n' | sort >"$work/all_headers.cpp"
[[ $with_qt == ON ]] || sed -i '/"bindings\//d' "$work/all_headers.cpp"
c++ -std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -Werror "${cflags[@]}" "$work/all_headers.cpp"
c++ -std=c++20 -O2 -Wall -Wextra -Wpedantic -Werror "${cflags[@]}" packaging/consumer/consumer.cpp \
  -o "$work/pc-consumer" "${libs[@]}"
LD_LIBRARY_PATH=$prefix/$libdir "$work/pc-consumer" "$work/map-pc.png"
cmp -s "$work/map-cmake.png" "$work/map-pc.png" || fail "the two consumers wrote different maps"
if [[ $with_qt == ON ]]; then
  read -ra qtlibs <<<"$(pkg-config --libs qebgeolib-qt)"
  c++ -std=c++20 -O2 -fPIC "${cflags[@]}" packaging/consumer/consumer_qt.cpp \
    -o "$work/pc-consumer-qt" "${qtlibs[@]}"
  LD_LIBRARY_PATH=$prefix/$libdir "$work/pc-consumer-qt" "$work/qt-pc.png"
fi

echo "-- Debian packages"
(cd "$build" && cpack -G DEB -B "$work/debs" >/dev/null)
deb() {
  local name=$1 file
  file=$(find "$work/debs" -maxdepth 1 -name "${name}_*.deb")
  [[ -n $file ]] || fail "cpack made no package $name"
  echo "$file"
}
# show PACKAGE: dpkg-deb reads the package and names what it declares.
show() {
  dpkg-deb --info "$(deb "$1")" >/dev/null
  dpkg-deb --field "$(deb "$1")" Package Version Depends
}
# expect_field PACKAGE FIELD REGEX: the control field of the package matches.
expect_field() {
  local value
  value=$(dpkg-deb --field "$(deb "$1")" "$2")
  [[ $value =~ $3 ]] || fail "$1: $2 is \"$value\", wanted /$3/"
}
# expect_files PACKAGE REGEX...: each regex matches a path the package holds.
expect_files() {
  local name=$1 contents re
  shift
  contents=$(dpkg-deb --contents "$(deb "$name")" | awk '{print $6}')
  for re in "$@"; do
    grep -Eq "$re" <<<"$contents" || fail "$name holds nothing like $re"
  done
}
version=$(dpkg-deb --field "$(deb libqebgeolib0)" Version)
show libqebgeolib0
for lib in platform corelib mathlib geolib; do
  expect_files libqebgeolib0 "^\./usr/lib/.*libqeb$lib\.so\.0$" "^\./usr/lib/.*libqeb$lib\.so\.$version$"
done
for dep in libc6 libstdc++6 libjpeg62-turbo libpng16-16 libfreetype6 libfontconfig1; do
  expect_field libqebgeolib0 Depends "(^|, )${dep//+/\\+} \\("
done
dpkg-deb --ctrl-tarfile "$(deb libqebgeolib0)" | tar -t | grep -q 'shlibs$' ||
  fail "libqebgeolib0 declares no shlibs"

show libqebgeolib-dev
expect_field libqebgeolib-dev Depends "^libqebgeolib0 \(= $version\)$"
expect_files libqebgeolib-dev '^\./usr/include/qebgeolib/qebgeolib/geobasics/geobasics\.h$' \
  '^\./usr/include/qebgeolib/qebgeolib/voziza/detail/imagecache\.h$' \
  '^\./usr/lib/.*libqebgeolib\.so$' '^\./usr/lib/.*cmake/qebgeolib/qebgeolibConfig\.cmake$' \
  '^\./usr/lib/.*cmake/qebgeolib/qebgeolibTargets\.cmake$' '^\./usr/lib/.*pkgconfig/qebgeolib\.pc$' \
  '^\./usr/lib/.*pkgconfig/qebplatform\.pc$'
if dpkg-deb --contents "$(deb libqebgeolib-dev)" | grep -q '/detail/boxtree\.h$'; then
  fail "libqebgeolib-dev holds internal headers no public header needs"
fi

if [[ $with_qt == ON ]]; then
  show libqebgeolib-qt0
  show libqebgeolib-qt-dev
  expect_files libqebgeolib-qt0 "^\./usr/lib/.*libqebgeolib-qt\.so\.0$"
  expect_field libqebgeolib-qt0 Depends "libqebgeolib0 \(= $version\)"
  expect_field libqebgeolib-qt0 Depends 'libqt6widgets6'
  expect_files libqebgeolib-qt-dev '^\./usr/include/qebgeolib/bindings/qt/qthost\.h$' \
    '^\./usr/lib/.*libqebgeolib-qt\.so$' '^\./usr/lib/.*cmake/qebgeolib/qebgeolibQtTargets\.cmake$' \
    '^\./usr/lib/.*pkgconfig/qebgeolib-qt\.pc$'
  expect_field libqebgeolib-qt-dev Depends "libqebgeolib-qt0 \(= $version\)"
  expect_field libqebgeolib-qt-dev Depends "libqebgeolib-dev \(= $version\)"
  expect_field libqebgeolib-qt-dev Depends 'qt6-base-dev'
fi
echo "package checks passed"
