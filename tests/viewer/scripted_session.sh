#!/usr/bin/env bash
# scripted_session.sh VIEWER QEBGEO PDFINFO WORKDIR RUNNER...: the viewer,
# started through RUNNER (a display), opens the demo atlas, zooms in at Paris
# by the atlas, exports the view, prints it and goes back to the world map;
# then the files are checked.
set -euo pipefail
viewer=$1 qebgeo=$2 pdfinfo=$3 work=$4
shift 4
command -v "$pdfinfo" >/dev/null || { echo "pdfinfo is missing: install poppler-utils" >&2; exit 1; }
fail() { echo "FAILED: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
"$qebgeo" atlas-maps "$work/atlas" >/dev/null
# The viewer's settings (the last folder) go here, not to the user's.
export XDG_CONFIG_HOME="$work/config"

out=$("$@" "$viewer" --size 900 700 --open "$work/atlas" --zoom-at 48.8566 2.3522 \
  --export-png "$work/view.png" --print-pdf "$work/view.pdf" --back --quit) ||
  fail "the session: $out"
echo "$out"
grep -q '5 maps registered, 0 files refused, showing "World"' <<<"$out" || fail "the atlas did not open"
grep -q 'map [0-9]* "Europe"$' <<<"$out" || fail "the zoom did not switch to Europe"
grep -q 'back to map [0-9]* "World"$' <<<"$out" || fail "back did not return to the world map"

# A PNG of the map control's size (the view, not the whole 1260 x 760 map).
[[ $(head -c 8 "$work/view.png" | od -An -tx1 | tr -d ' \n') == 89504e470d0a1a0a ]] ||
  fail "view.png is no PNG file"
read -r w h < <(od -An -tu1 -j16 -N8 "$work/view.png" |
  awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
((w > 600 && w <= 900 && h > 400 && h < 700)) || fail "view.png is $w x $h"

info=$("$pdfinfo" "$work/view.pdf") || fail "pdfinfo cannot read view.pdf"
grep -Eq '^Pages: +1$' <<<"$info" || fail "view.pdf: $info"
grep -Eq '^Title: +Europe$' <<<"$info" || fail "view.pdf has the wrong title: $info"

grep -qx "lastFolder=$work" "$XDG_CONFIG_HOME/qebgeolib/qebgeo-viewer.conf" ||
  fail "the last folder was not remembered"

# A path that is no atlas and a zoom outside every map fail the session
# with a message, and print nothing.
if err=$("$@" "$viewer" --open "$work/no-such" --print-pdf "$work/never.pdf" --quit 2>&1); then
  fail "a missing path passed"
fi
grep -q 'neither a file nor a folder' <<<"$err" || fail "missing path: $err"
[[ ! -e $work/never.pdf ]] || fail "a failed session went on printing"
if err=$("$@" "$viewer" --open "$work/atlas" --zoom-at -75 0 --quit 2>&1); then
  fail "a zoom where no finer map is passed"
fi
grep -q 'no finer map covers' <<<"$err" || fail "zoom outside the maps: $err"
echo "viewer session passed"
