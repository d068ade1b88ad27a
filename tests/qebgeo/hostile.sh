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
# Landmark sets: one written by hand, GeoJSON damaged in every way the reader
# must refuse, and one nested past any sane depth.
{
  printf '<gmlandmarks sig="QEBCSuite" vers="1.0" id="set">\r\n'
  printf '<landmark lat="48.5" long="8.25" alti="-3" class="7" element="Spade" colorfg="80000005" id="A b" date="20240229235959" captext="Caption" capfst="1010" caphal="9"/>\r\n'
  printf '<landmark lat="1e300" long="-1e300" class="2" element="Triangle" size="2147483647"/>\r\n'
  printf '</gmlandmarks>\r\n'
} >lm.xml
"$Q" landmarks to-geojson lm.xml lm1.json >/dev/null && "$Q" landmarks from-geojson lm1.json lm2.xml >/dev/null &&
  "$Q" landmarks to-geojson lm2.xml lm2.json >/dev/null && cmp -s lm1.json lm2.json ||
  { echo "FAILED: xml -> geojson -> xml -> geojson changed the landmarks"; exit 1; }
# Every field, spelled as documented.
grep -Eq '"time": "2024-02-29T23:59:59".*"color": "0x80000005".*"captionStyle": \["bold", "underline"\].*"captionHAlign": 9' lm1.json ||
  { echo "FAILED: the GeoJSON fields are not spelled as documented"; exit 1; }
Fc='{"type":"FeatureCollection","features":['
Pt='{"type":"Feature","geometry":{"type":"Point","coordinates":[8,48]}'
for J in "notjson:{" "notfc:{\"type\":\"Feature\"}" "trailing:$Fc]}x" "deep:$(printf '[%.0s' {1..100000})" "nan:$Fc$Pt,\"properties\":{\"size\":NaN}}]}" \
  "huge:$Fc{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":[1e999,0]}}]}" \
  "long:$Fc{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":[1$(printf '0%.0s' {1..50}),0]}}]}" \
  "toobig:$Fc$Pt,\"properties\":{\"size\":3e9}}]}" "line:$Fc{\"type\":\"Feature\",\"geometry\":{\"type\":\"LineString\",\"coordinates\":[]}}]}" \
  "dup:$Fc$Pt,\"properties\":{\"tag\":1,\"tag\":2}}]}" "colour:$Fc$Pt,\"properties\":{\"color\":\"red\"}}]}" \
  "time:$Fc$Pt,\"properties\":{\"time\":\"2023-02-29T00:00:00\"}}]}" \
  "ident:$Fc$Pt,\"properties\":{\"identifier\":\"\\u4e2d\"}}]}" "utf8:$Fc$Pt,\"properties\":{\"caption\":\"\xc3\"}}]}" \
  "ok:$Fc$Pt,\"properties\":{\"caption\":\"Z\\u00fcrich\",\"kind\":\"circle\",\"other\":[1,{}]}}]}"; do
  printf '%b' "${J#*:}" >"${J%%:*}.json"
done
head -c 40000000 /dev/zero | tr '\0' ' ' >big.json
# Symbol sets: sizes and lengths at the ends of the 32-bit range, and one
# too long for a single preview image.
{
  printf '<lmsymbols sig="QEBCSuite" vers="1.0" id="set">\r\n'
  printf '<symbol element="Spade" name="Big" category="3" colorfg="80000005" colorbg="00FFFFFF" size="2147483647" transp="TRUE" dir="-90" leng="2147483647" />\r\n'
  printf '<symbol element="arrowto" name="Arrow" colorfg="000000FF" size="5" leng="-2147483648"/>\r\n'
  printf '<symbol element="Square" name="Dot" colorfg="00000000" colorbg="00000000" size="2"/>\r\n'
  printf '</lmsymbols>\r\n'
} >sym.xml
{
  printf '<lmsymbols sig="QEBCSuite" vers="1.0" id="many">\r\n'
  for I in {1..2000}; do printf '<symbol element="Plus" size="1"/>\r\n'; done
  printf '</lmsymbols>\r\n'
} >many.xml
ln base.qebgdd dblink.xml
# A generated map of 40..50 N, 0..10 E, 10 pixels a degree inside the 30-pixel
# margin, with Luxembourg (49.61 N, 6.13 E) as a black square: its centre at
# (91, 34) is drawn, the mirrored place (91, 126) is not.
"$Q" db create lux >/dev/null && "$Q" db add-capitals lux luxembourg >/dev/null &&
  "$Q" empty-map lux 40 0 50 10 1 1 160 160 --db lux --symbols sym.xml --symbol 3 >/dev/null || exit 1
# The palette index of pixel (X, Y) of a bottom-up 4-bit BMP.
nibble() {
  local Off W H B
  read -r Off < <(od -An -tu4 -j10 -N4 "$1")
  read -r W H < <(od -An -tu4 -j18 -N8 "$1")
  read -r B < <(od -An -tu1 -j$((Off + (H - 1 - $3) * ((W * 4 + 31) / 32 * 4) + $2 / 2)) -N1 "$1")
  echo $(($2 % 2 ? B & 15 : B >> 4))
}
White=$(nibble lux.bmp 0 0)
[[ $(nibble lux.bmp 91 34) != "$White" && $(nibble lux.bmp 91 126) == "$White" ]] ||
  { echo "FAILED: the town is not drawn where the calibration of the generated map puts it"; exit 1; }

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
  # Landmark files and GeoJSON.
  "0|^1  48\.500000 8\.250000  class 7  Spade  \"A b\"  \"Caption\"|landmarks list lm.xml set"
  "0|^1  48\.500000|landmarks nearest lm.xml 48 8 7"
  "1|no landmark of class 3|landmarks nearest lm.xml 48 8 3"
  "2|the class must lie in -1\.\.255|landmarks nearest lm.xml 48 8 256"
  "1|no landmarks \"nosuch\" in \"lm.xml\"|landmarks list lm.xml nosuch"
  "1|no landmarks in \"empty.txt\"|landmarks list empty.txt"
  "1|\"fifo\": not a regular file \(a FIFO\)|landmarks to-geojson fifo o.json"
  "1|\"/dev/zero\": not a regular file|landmarks from-geojson /dev/zero o.xml"
  "1|the output \"lm.xml\" is the input file|landmarks to-geojson lm.xml lm.xml"
  "1|Cannot write file \"/dev/full\"|landmarks from-geojson ok.json /dev/full"
  "1|cannot write \"/dev/full\"|landmarks to-geojson lm.xml /dev/full"
  "1|line 1, column 2: expected a member name|landmarks from-geojson notjson.json o.xml"
  "1|text after the end of the value|landmarks from-geojson trailing.json o.xml"
  "1|nested deeper than 16 levels|landmarks from-geojson deep.json o.xml"
  "1|column 129: unexpected character|landmarks from-geojson nan.json o.xml"
  "1|the number 1e999 lies outside the range of a double|landmarks from-geojson huge.json o.xml"
  "1|a number longer than 40 characters|landmarks from-geojson long.json o.xml"
  "1|feature 1, property \"size\": expected a whole number in -2147483648\.\.2147483647|landmarks from-geojson toobig.json o.xml"
  "1|feature 1: the geometry is not a Point|landmarks from-geojson line.json o.xml"
  "1|the member \"tag\" appears twice|landmarks from-geojson dup.json o.xml"
  "1|expected a colour \"#RRGGBB\"|landmarks from-geojson colour.json o.xml"
  "1|expected a time YYYY-MM-DDTHH:MM:SS, found \"2023-02-29|landmarks from-geojson time.json o.xml"
  "1|holds characters outside Windows-1252|landmarks from-geojson ident.json o.xml"
  "1|not valid UTF-8|landmarks from-geojson utf8.json o.xml"
  "1|is larger than 33554432 bytes|landmarks from-geojson big.json o.xml"
  "1|is not a GeoJSON FeatureCollection|landmarks from-geojson notfc.json o.xml"
  "0|wrote 1 landmarks to o.xml|landmarks from-geojson ok.json o.xml"
  "0|^1  48\.000000 8\.000000  class 0  Circle  \"\"  \"Z.rich\"|landmarks list o.xml"
  "0|lm.png: 64 x 64 pixels|render points.xml lm.png --size 64 64 --landmarks lm.xml --highlight 2"
  "2|the highlighted landmark must lie in 0\.\.2|render points.xml o.png --landmarks lm.xml --highlight 3"
  "2|highlighted landmark: not an integer: \"99999999999\"|render points.xml o.png --landmarks lm.xml --highlight 99999999999"
  # Symbol files.
  "0|^1  Spade  fg 0x80000005  bg #FFFFFF  size 2147483647  dir -90  length 2147483647  transparent  category 3  \"Big\"|symbols list sym.xml set"
  "0|^2  ArrowTo  fg #FF0000  bg #000000  size 5  dir 0  length -2147483648  filled  category 0  \"Arrow\"|symbols list sym.xml"
  "1|no symbols \"nosuch\" in \"sym.xml\"|symbols list sym.xml nosuch"
  "1|no symbols in \"empty.txt\"|symbols list empty.txt"
  "1|\"fifo\": not a regular file \(a FIFO\)|symbols preview fifo o.png"
  "1|the output \"sym.xml\" is the input file|symbols preview sym.xml sym.xml"
  "1|Cannot write file \"/dev/full\"|symbols preview sym.xml /dev/full"
  "1|the preview of 2000 symbols would be taller than 32768 pixels|symbols preview many.xml o.png"
  "0|sym.png: [0-9]+ x 292 pixels, 3 symbols|symbols preview sym.xml set sym.png"
  "2|unknown subcommand \"show\"|symbols show sym.xml"
  # Generated maps.
  "1|equal or unbounded low and high bounds \(LatLow=10 |empty-map e 10 0 10 10 1 1 200 200"
  "1|more than 4096 graticule lines|empty-map e 0 0 10 10 1e-9 1 200 200"
  "1|maximum of 3000000 pixels exceeded|empty-map e 0 0 10 10 1 1 3000 3000"
  "2|latitude must lie in -90\.\.90|empty-map e 91 0 10 10 1 1 200 200"
  "2|width: not an integer|empty-map e 0 0 10 10 1 1 1e9 200"
  "2|the map needs a file name, not \"dir/\"|empty-map dir/ 0 0 10 10 1 1 200 200"
  "1|Cannot create file \"nodir/e\.bmp|empty-map nodir/e 0 0 10 10 1 1 200 200"
  "2|--symbols and --names go with --db|empty-map e 0 0 10 10 1 1 200 200 --symbols sym.xml"
  "2|the symbol must lie in 1\.\.3|empty-map e 0 0 10 10 1 1 200 200 --db base --symbols sym.xml --symbol 4"
  "1|no database \"nosuch\"|empty-map e 0 0 10 10 1 1 200 200 --db nosuch"
  "1|not a regular file \(a FIFO\)|empty-map e 0 0 10 10 1 1 200 200 --db base --symbols fifo"
  "1|the output \"sym.xml\" is the input file|empty-map sym.bmp 0 0 10 10 1 1 200 200 --db base --symbols sym.xml"
  "1|the output \"dblink.xml\" is the input file \"base.qebgdd\"|empty-map dblink 0 0 10 10 1 1 200 200 --db base"
  "0|wrote eu\.bmp and eu\.xml: 1260 x 760 pixels, [1-9][0-9] towns drawn as \"Big\"|empty-map eu 35 -15 70 45 5 5 1260 760 --db base --names --symbols sym.xml"
  "0|eu.png: 64 x 64 pixels, map 1260 x 760|render eu.xml eu.png --size 64 64"
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
