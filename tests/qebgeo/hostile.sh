#!/bin/bash
# qebgeo on hostile input: FIFOs, devices, full disks, damaged and empty files,
# outputs that name inputs, numbers outside every domain. Each case gives the
# exit code, a pattern the output (standard and error together) must match,
# and the command; every run is bounded in time, so a hang fails as code 124.
#   hostile.sh QEBGEO WORK-FOLDER
set -u
Q=$1
rm -rf "$2" && mkdir -p "$2" && cd "$2" || exit 1

# ---- Fixtures.
"$Q" db create base >/dev/null && "$Q" db add-capitals base >/dev/null || exit 1
ln base.qebgdd linked.json
mkfifo fifo fifo.bmp
mkdir dir
: >empty.txt
# A 4 x 2 pixel, 24-bit BMP image.
printf 'BM\x4e\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x04\0\0\0\x02\0\0\0\x01\0\x18\0\0\0\0\0\x18\0\0\0\x13\x0b\0\0\x13\x0b\0\0\0\0\0\0\0\0\0\0' >map.bmp
head -c 24 /dev/zero >>map.bmp
cp map.bmp map.png
printf 'model equirect\nsize 4 2\nmap map.bmp\ncaption a "quoted" caption\n48 8 0 0\n48 9 4 0\n47 8 0 2\n' >points.txt
"$Q" calib fit points.txt points.xml >/dev/null || exit 1
for M in png:map.png missing:missing.bmp fifomap:fifo.bmp dirmap:dir; do
  sed "s/map=\"map.bmp\"/map=\"${M#*:}\"/" points.xml >"${M%%:*}.xml"
done
sed 's#<resolution>.*</resolution>#<resolution>1e308</resolution>#' points.xml >huge.xml
sed 's#<calquads npoints="3">#<calquads npoints="0">#; /^\[48/d' points.xml >noquads.xml
for Z in 0 2147483647; do
  sed "s/model=\"equirect\"/model=\"utm\"/; s#</corners>#</corners>\r\n<utmzone>$Z</utmzone>#" \
    points.xml >zone$Z.xml
done
head -c 5000 /dev/zero | tr '\0' '4' >long.txt
for F in base.*; do cp "$F" "damaged${F#base}"; done
head -c 1000 base.qebgds >damaged.qebgds
for F in base.*; do cp "$F" "emptied${F#base}" && cp "$F" "stale${F#base}"; done
: >emptied.qebgds
: >stale.qebgi1

# ---- Cases: exit code | pattern | command.
Cases=(
  # Numbers of any size print exactly or fail.
  "0|resolution  1000000000000000010979[0-9]{287}\.000 m/pixel|calib show huge.xml"
  "2|height must lie in -6e\+06\.\.1e\+09|cart 0 0 1e61"
  "2|northing must lie in 0\.\.1e\+07|utm-inv 33 N 500000 1e308"
  # Outputs that are inputs, by identity.
  "1|the output \"base.qebgds\" is the input file|db dump base base.qebgds"
  "1|is the input file \"base.qebgdd\"|db geojson base linked.json"
  "1|the output \"map.bmp\" is the input file|render points.xml map.bmp"
  "1|the output \"points.txt\" is the input file|calib fit points.txt points.txt"
  # Failed writes.
  "1|cannot write \"/dev/full\"|db geojson base /dev/full"
  "1|Cannot write file \"/dev/full\": No space left|db dump base /dev/full"
  "1|Cannot write file \"/dev/full\": No space left|render points.xml /dev/full --size 8 8"
  "1|Cannot write file \"/dev/full\": No space left|calib fit points.txt /dev/full"
  "1|cannot write the standard output|>/dev/full countries nld"
  # Calibrations that cannot convert, results off the globe.
  "1|needs at least 3 calibration points, the calibration has 0|calib pixel noquads.xml 1 1"
  "1|the UTM zone 0 is invalid \(zones 1\.\.60\)|calib pixel zone0.xml 1 1"
  "0|utm         zone 2147483647 \(invalid: zones 1\.\.60\)|calib show zone2147483647.xml"
  "1|pixel \(100000, 0\) lies off the globe: latitude 48\.000, longitude 25008\.000|calib pixel points.xml 100000 0"
  # Domains of the geodetic commands.
  "1|latitude -90\.018\) lies outside the UTM grid \(latitudes -80\.\.84\)|utm-inv 33 S 500000 0"
  "2|within 45 degrees of the central meridian|tm 0 100 0"
  "0|^x 0\.000  y 0\.000$|tm 0 0 360"
  "2|x must lie in -1e\+08\.\.1e\+08|ups-inv N 1e308 2000000"
  "1|beyond the equator of the north polar cap|ups-inv N 2000000 90000000"
  "2|the graticule distance must lie in 0\.\.60|render points.xml o.png --dist -5"
  "0|^1P 171071\.264 1106908\.854$|utm 10 180"
  "1|latitude 85 lies outside the UTM grid \(latitudes -80\.\.84\); try: ups|utm 85 10"
  # What a writer writes reads back.
  "0|caption     a 'quoted' caption|calib show points.xml"
  # Special files are refused at once.
  "1|Cannot open file \"fifo\": not a regular file \(a FIFO\)|calib show fifo"
  "1|Cannot open file \"fifo\": not a regular file \(a FIFO\)|render fifo o.png"
  "1|\"fifo.bmp\": not a regular file \(a FIFO\)|render fifomap.xml o.png"
  # Endless, empty and wrong points files.
  "1|\"/dev/zero\": not a regular file \(a character device\)|calib fit /dev/zero o.xml"
  "1|\"empty.txt\" holds no calibration points|calib fit empty.txt o.xml"
  "1|Cannot open file \"dir\": Is a directory|calib fit dir o.xml"
  "2|line 1 is longer than 4096 characters|calib fit long.txt o.xml"
  # Messages that say what is wrong.
  "1|the map image \"map.png\" is not a JPEG or BMP file|render png.xml o.png"
  "1|the map image \"missing.bmp\" of \"missing.xml\" cannot be found|render missing.xml o.png"
  "1|the map image \"dir\" is a directory|render dirmap.xml o.png"
  "1|no calibration in \"empty.txt\"|render empty.txt o.png"
  "1|no calibration \"nosuch\" in \"points.xml\"|render points.xml o.png --id nosuch"
  "2|the database needs a file name, not \"\"|db create"
  "1|Component \"qebgeo\": SetGDBName: the summary file|db list damaged"
  # Reading never rewrites the indexes: refused when they know more, else rebuilt in memory.
  "1|remove the index files to rebuild them|db info emptied"
  "0|rebuilt in memory, written with the next change|db info stale"
  "1|no datum matches \"\.\*\"|datums .*"
  "0|o.png: 8 x 8 pixels, map 4 x 2|render points.xml o.png --size 8 8"
)

Passed=0 Failed=0
for Case in "${Cases[@]}"; do
  IFS='|' read -r Code Pattern Command <<<"$Case"
  Out=/dev/stdout
  [[ $Command == '>/dev/full '* ]] && Out=/dev/full Command=${Command#>/dev/full }
  read -r -a Args <<<"$Command"
  # "db create" alone stands for the empty name.
  [[ $Command == "db create" ]] && Args+=("")
  Text=$(timeout 20 "$Q" "${Args[@]}" 2>&1 >"$Out")
  Got=$?
  if [[ $Got == "$Code" ]] && grep -Eq -- "$Pattern" <<<"$Text"; then
    Passed=$((Passed + 1))
  else
    Failed=$((Failed + 1))
    printf 'FAILED: qebgeo %s\n  expected exit %s and /%s/\n  got exit %s: %s\n' \
      "$Command" "$Code" "$Pattern" "$Got" "$Text"
  fi
done
echo "$Passed passed, $Failed failed"
[[ $Failed == 0 ]]
