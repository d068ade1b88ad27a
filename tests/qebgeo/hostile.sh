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
Points='model equirect\nsize 4 2\ncaption a "quoted" caption\n48 8 0 0\n48 9 4 0\n47 8 0 2\n'
printf "${Points}map map.bmp\n" >points.txt
printf "${Points}map map.png\n" >png.txt
printf "${Points}map missing.bmp\n" >missing.txt
printf "${Points}map fifo.bmp\n" >fifomap.txt
printf "${Points}map dir\n" >dirmap.txt
for F in points png missing fifomap dirmap; do
  # The map image is looked up when the calibration is fitted, so the damaged
  # ones are written from the good image and renamed afterwards.
  sed "s/^map .*/map map.bmp/" $F.txt >fit.txt && "$Q" calib fit fit.txt $F.xml >/dev/null || exit 1
  sed -i "s/map=\"map.bmp\"/map=\"$(sed -n 's/^map //p' $F.txt)\"/" $F.xml
done
sed 's#<resolution>.*</resolution>#<resolution>1e308</resolution>#' points.xml >huge.xml
sed 's#<calquads npoints="3">#<calquads npoints="0">#; /^\[48/d' points.xml >noquads.xml
for Z in 0 -1 61 2147483647; do
  sed "s/model=\"equirect\"/model=\"utm\"/; s#</corners>#</corners>\r\n<utmzone>$Z</utmzone>#" \
    points.xml >zone$Z.xml
done
head -c 5000 /dev/zero | tr '\0' '4' >long.txt

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
  "1|the output \"points.xml\" is the input file|render points.xml points.xml"
  "1|the output \"points.txt\" is the input file|calib fit points.txt points.txt"
  "0|entries 229|db info base"
  # Failed writes.
  "1|cannot write \"/dev/full\"|db geojson base /dev/full"
  "1|Cannot write file \"/dev/full\": No space left|db dump base /dev/full"
  "1|Cannot write file \"/dev/full\": No space left|render points.xml /dev/full --size 8 8"
  "1|Cannot write file \"/dev/full\": No space left|calib fit points.txt /dev/full"
  "1|cannot write the standard output|>/dev/full countries nld"
  "0|written     /dev/null|calib fit points.txt /dev/null"
  # Calibrations that cannot convert, results off the globe.
  "1|needs at least 3 calibration points, the calibration has 0|calib pixel noquads.xml 1 1"
  "1|the UTM zone 0 is invalid \(zones 1\.\.60\)|calib pixel zone0.xml 1 1"
  "1|the UTM zone -1 is invalid|calib geo zone-1.xml 47.5 8.5"
  "1|the UTM zone 61 is invalid|calib pixel zone61.xml 1 1"
  "0|utm         zone 2147483647 \(invalid: zones 1\.\.60\)|calib show zone2147483647.xml"
  "1|pixel \(100000, 0\) lies off the globe: latitude 48\.000, longitude 25008\.000|calib pixel points.xml 100000 0"
  # Domains of the geodetic commands.
  "2|height must lie in -6e\+06\.\.1e\+09|helmert 183 269 51 0 1e308"
  "1|latitude -90\.018\) lies outside the UTM grid \(latitudes -80\.\.84\)|utm-inv 33 S 500000 0"
  "2|within 45 degrees of the central meridian|tm 0 100 0"
  "0|^x 0\.000  y 0\.000$|tm 0 0 360"
  "2|x must lie in -1e\+08\.\.1e\+08|ups-inv N 1e308 2000000"
  "1|beyond the equator of the north polar cap|ups-inv N 2000000 90000000"
  "1|centre of the Earth|cart-inv 0 0 0"
  "2|the graticule distance must lie in 0\.\.60|render points.xml o.png --dist -5"
  "0|^1P 171071\.264 1106908\.854$|utm 10 180"
  "1|latitude 85 lies outside the UTM grid \(latitudes -80\.\.84\); try: ups|utm 85 10"
  # What a writer writes reads back.
  "0|caption     a 'quoted' caption|calib show points.xml"
  # Special files are refused at once.
  "1|Cannot open file \"fifo\": not a regular file \(a FIFO\)|calib show fifo"
  "1|Cannot open file \"fifo\": not a regular file \(a FIFO\)|calib fit fifo o.xml"
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
  "1|Cannot open file \"dir\": Is a directory|render dir o.png"
  "1|no calibration in \"empty.txt\"|render empty.txt o.png"
  "1|no calibration \"nosuch\" in \"points.xml\"|render points.xml o.png --id nosuch"
  "2|the database needs a file name, not \"\"|db create"
  "1|Component \"qebgeo\": SetGDBName: the summary file|db list damaged"
  "1|no datum matches \"\.\*\"|datums .*"
  "0|o.png: 8 x 8 pixels, map 4 x 2|render points.xml o.png --size 8 8"
)
for F in base.*; do cp "$F" "damaged${F#base}"; done
head -c 1000 base.qebgds >damaged.qebgds

Passed=0 Failed=0
for Case in "${Cases[@]}"; do
  IFS='|' read -r Code Pattern Command <<<"$Case"
  Out=/dev/stdout
  if [[ $Command == '>/dev/full '* ]]; then
    Out=/dev/full
    Command=${Command#>/dev/full }
  fi
  read -r -a Args <<<"$Command"
  # "db create" alone stands for the empty name.
  [[ $Command == "db create" ]] && Args+=("")
  Text=$(timeout 20 "$Q" "${Args[@]}" 2>&1 >"$Out")
  Got=$?
  [[ $Out == /dev/stdout ]] || Text=$(timeout 20 "$Q" "${Args[@]}" 2>&1 >/dev/full)
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
