// qebgeo subcommands of the geodetic module: ellipsoids, countries, TM, UTM,
// UPS, Cartesian coordinates and datum shifts.
#include <cmath>
#include <iostream>

#include "qebgeolib/geobasics/geobasics.h"
#include "qebgeolib/platform/base/sysutils.h"
#include "tools/qebgeo/cli.h"

namespace qeb::cli {

namespace {

void CmdEllipsoids(TArgs A) {
  Need(A, 0, 0);
  for (int32_t i = 0; i < GeoEllipsoidCount; ++i) {
    auto E = static_cast<TGeoEllipsoid>(i);
    double InvF = RecipFlattening(E);
    std::cout << (i < 10 ? " " : "") << i << "  " << GeoEllipsoidId[i] << "  \""
              << GeoEllipsoidName[i] << "\"  a=" << Fixed(GeoEllipsoidData[i].SemiMajor, 4)
              << "  b=" << Fixed(GeoEllipsoidData[i].SemiMinor, 6)
              << "  1/f=" << (InvF == 0 ? std::string("0 (sphere)") : Fixed(InvF, 9)) << '\n';
  }
}

std::string CountryLine(const TCountryData& C) {
  std::string Capital = C.Capital.Empty() ? std::string("(none)") : C.Capital.ToString();
  return C.Name.ToString() + "  [" + C.Fips10.ToString() + "/" + C.ISO3166_2.ToString() + "/" +
         C.ISO3166_3.ToString() + "]  centre " + Fixed(C.CLat, 4) + " " + Fixed(C.CLong, 4) +
         "  capital " + Capital + " " + Fixed(C.CapLat, 4) + " " + Fixed(C.CapLong, 4) + " " +
         std::to_string(C.CapAlt) + " m";
}

// Countries whose name contains the text, or whose FIPS or ISO code equals it
// (letter case ignored); every country without a text.
void CmdCountries(TArgs A) {
  Need(A, 0, 1);
  std::string Want = A.empty() ? std::string() : LowerCase(std::string(A[0]));
  int Found = 0;
  for (const TCountryData& C : CountryData) {
    bool Match = Want.empty() || LowerCase(C.Name.ToString()).find(Want) != std::string::npos ||
                 C.Fips10.ToString() == Want || C.ISO3166_2.ToString() == Want ||
                 C.ISO3166_3.ToString() == Want;
    if (!Match) continue;
    std::cout << CountryLine(C) << '\n';
    ++Found;
  }
  if (Found == 0) throw std::runtime_error("no country matches \"" + std::string(A[0]) + "\"");
}

// The UTM functions take longitudes below 180 only; 180..360 are the same
// meridians as -180..0.
double GridLongitude(double Long) {
  return Long >= 180 ? Long - 360 : Long;
}

// Latitudes of the UTM grid; outside it the polar caps of UPS take over.
double UTMLatitude(std::string_view Text) {
  const double Lat = ParseLatitude(Text);
  if (Lat < -80 || Lat > 84)
    throw std::runtime_error("latitude " + std::string(Text) +
                             " lies outside the UTM grid (latitudes -80..84); try: ups");
  return Lat;
}

void CmdZone(TArgs A) {
  Need(A, 2, 2);
  const double Lat = UTMLatitude(A[0]);
  std::cout << GeoToUTMZone(Lat, GridLongitude(ParseLongitude(A[1]))) << '\n';
}

void CmdUTM(TArgs A) {
  Need(A, 2, 3);
  const double Lat = UTMLatitude(A[0]), Long = GridLongitude(ParseLongitude(A[1]));
  int32_t Zone = 0;
  double X = 0, Y = 0;
  LatLongToUTM(Lat, Long, OptionalEllipsoid(A, 2), Zone, X, Y);
  if (Zone == 0) throw std::runtime_error("outside the UTM grid (latitudes -80..84); try: ups");
  // Conventional grid reference: zone and band, easting, northing.
  std::cout << GeoToUTMZone(Lat, Long) << ' ' << Metres(X) << ' ' << Metres(Y) << '\n';
}

void CmdUTMInverse(TArgs A) {
  Need(A, 4, 5);
  int32_t Zone = ParseInt(A[0], "zone");
  if (Zone < 1 || Zone > 60) throw EUsage("zone must lie in 1..60");
  bool South = ParseHemisphere(A[1]);
  // Grid coordinates: 1000 km across a zone, the northing from the equator
  // (north) or from 10000 km south of it (south).
  const double E = InRange(ParseDouble(A[2], "easting"), 0, 1e6, "easting");
  const double N = InRange(ParseDouble(A[3], "northing"), 0, 1e7, "northing");
  double Lat = 0, Long = 0;
  UTMToLatLong(E, N, Zone, South, OptionalEllipsoid(A, 4), Lat, Long);
  if (!(Lat >= -80 && Lat <= 84))
    throw std::runtime_error("the position (latitude " + Fixed(Lat, 3) +
                             ") lies outside the UTM grid (latitudes -80..84)");
  std::cout << Deg(Lat) << ' ' << Deg(Long) << '\n';
}

void CmdUPS(TArgs A) {
  Need(A, 2, 3);
  double Lat = ParseLatitude(A[0]);
  double X = 0, Y = 0;
  LatLongToUPS(Lat, ParseLongitude(A[1]), OptionalEllipsoid(A, 2), X, Y);
  std::cout << (Lat < 0 ? 'S' : 'N') << "  x " << Metres(X) << "  y " << Metres(Y) << '\n';
}

void CmdUPSInverse(TArgs A) {
  Need(A, 3, 4);
  bool South = ParseHemisphere(A[0]);
  // The bound keeps the squared distance from the pole finite; the grid of a
  // cap reaches at most to its equator, some 12700 km from the pole.
  const double X = InRange(ParseDouble(A[1], "x"), -1e8, 1e8, "x");
  const double Y = InRange(ParseDouble(A[2], "y"), -1e8, 1e8, "y");
  double Lat = 0, Long = 0;
  UPSToLatLong(X, Y, South, OptionalEllipsoid(A, 3), Lat, Long);
  if (!(South ? Lat <= 0 && Lat >= -90 : Lat >= 0 && Lat <= 90))
    throw std::runtime_error(std::string("the position lies beyond the equator of the ") +
                             (South ? "south" : "north") + " polar cap");
  std::cout << Deg(Lat) << ' ' << Deg(Long) << '\n';
}

constexpr double DegToRad = 3.14159265358979323846 / 180;

// The Transverse Mercator series are truncated: on the equator they are off
// by 0.2 % at 45 degrees from the central meridian and by 1 % at 60, and the
// projection itself is infinite at 90. Positions farther away are refused.
constexpr double kTMMaxOffset = 45;

// Longitude minus central meridian, both in -180..360, as an offset in
// -180..180 (the same meridian may be written both ways).
double MeridianOffset(double Long, double Central) {
  double D = Long - Central;
  if (D > 180) D -= 360;
  if (D < -180) D += 360;
  return D;
}

void CmdTM(TArgs A) {
  Need(A, 3, 4);
  const double Lat = ParseLatitude(A[0]), Long = ParseLongitude(A[1]);
  const double Central = ParseLongitude(A[2]);
  const double Offset = MeridianOffset(Long, Central);
  if (std::fabs(Offset) > kTMMaxOffset)
    throw EUsage("the longitude must lie within 45 degrees of the central meridian");
  double X = 0, Y = 0;
  LatLongToTM(Lat * DegToRad, (Central + Offset) * DegToRad, Central * DegToRad,
              OptionalEllipsoid(A, 3), X, Y);
  std::cout << "x " << Metres(X) << "  y " << Metres(Y) << '\n';
}

// The input domain is the image of the forward one: |y| up to the pole's
// meridian arc, |x| up to the equator's x at the largest offset.
void CmdTMInverse(TArgs A) {
  Need(A, 3, 4);
  const TGeoEllipsoid E = OptionalEllipsoid(A, 3);
  double XMax = 0, Unused = 0;
  LatLongToTM(0, kTMMaxOffset * DegToRad, 0, E, XMax, Unused);
  XMax = std::floor(XMax);
  const double YMax = std::floor(ArcLengthOfMeridian(90 * DegToRad, E));
  const double X = InRange(ParseDouble(A[0], "x"), -XMax, XMax, "x");
  const double Y = InRange(ParseDouble(A[1], "y"), -YMax, YMax, "y");
  const double Central = ParseLongitude(A[2]);
  double Phi = 0, Lambda = 0;
  TMToLatLong(X, Y, Central * DegToRad, E, Phi, Lambda);
  const double Lat = Phi / DegToRad, Long = Lambda / DegToRad;
  if (!(std::fabs(Lat) <= 90 && std::fabs(Long - Central) <= kTMMaxOffset))
    throw std::runtime_error("the position lies outside the reach of the projection (latitudes "
                             "-90..90, 45 degrees of longitude from the central meridian)");
  std::cout << Deg(Lat) << ' ' << Deg(Long) << '\n';
}

// Heights from deep inside the Earth (its smallest semi-minor axis is above
// 6300 km) to well beyond the Moon; Earth-centred coordinates to match.
constexpr double kMinHeight = -6e6, kMaxHeight = 1e9, kMaxCartesian = 2e9;

double ParseHeight(std::string_view Text) {
  return InRange(ParseDouble(Text, "height"), kMinHeight, kMaxHeight, "height");
}

void CmdCart(TArgs A) {
  Need(A, 3, 4);
  double X = 0, Y = 0, Z = 0;
  GeoToCartesian(ParseLatitude(A[0]), ParseLongitude(A[1]), ParseHeight(A[2]),
                 OptionalEllipsoid(A, 3), X, Y, Z);
  std::cout << "X " << Metres(X) << "  Y " << Metres(Y) << "  Z " << Metres(Z) << '\n';
}

void CmdCartInverse(TArgs A) {
  Need(A, 3, 4);
  double V[3];
  for (int K = 0; K < 3; ++K) {
    const char* Name[] = {"X", "Y", "Z"};
    V[K] = InRange(ParseDouble(A[static_cast<std::size_t>(K)], Name[K]), -kMaxCartesian,
                   kMaxCartesian, Name[K]);
  }
  if (V[0] == 0 && V[1] == 0 && V[2] == 0)
    throw std::runtime_error("the centre of the Earth has no geographic position");
  double Lat = 0, Long = 0, H = 0;
  CartesianToGeo(V[0], V[1], V[2], OptionalEllipsoid(A, 3), Lat, Long, H);
  std::cout << Deg(Lat) << ' ' << Deg(Long) << "  h " << Metres(H) << '\n';
}

std::string DatumLine(int32_t N) {
  const TGeoDatum& D = *GeoDatumRecord(N);
  return std::to_string(N) + "  " + D.Name.ToString() + " (" + D.Area.ToString() + ")  " +
         std::string(GeoEllipsoidId[D.Ellipsoid]);
}

void CmdDatums(TArgs A) {
  Need(A, 0, 1);
  std::string Want = A.empty() ? std::string() : LowerCase(std::string(A[0]));
  int32_t Found = 0;
  for (int32_t N = 1; N <= GeoDatumCount; ++N)
    if (Want.empty() || LowerCase(DatumLine(N)).find(Want) != std::string::npos) {
      std::cout << DatumLine(N) << '\n';
      ++Found;
    }
  if (Found == 0) throw std::runtime_error("no datum matches \"" + std::string(A[0]) + "\"");
}

void CmdHelmert(TArgs A) {
  Need(A, 4, 5);
  int32_t From = ParseInt(A[0], "source datum"), To = ParseInt(A[1], "target datum");
  double Lat = ParseDouble(A[2], "latitude"), Long = ParseDouble(A[3], "longitude");
  double H = A.size() > 4 ? ParseHeight(A[4]) : 0;
  double OutLat = 0, OutLong = 0, OutH = 0;
  switch (HelmertTransform(From, Lat, Long, H, To, OutLat, OutLong, OutH)) {
  case -1:
    throw EUsage("source datum must lie in 1.." + std::to_string(GeoDatumCount));
  case -2:
    throw EUsage("target datum must lie in 1.." + std::to_string(GeoDatumCount));
  case -3:
    throw EUsage("latitude must lie in -90..90");
  case -4:
    throw EUsage("longitude must lie in -180..180");
  default:
    break;
  }
  std::cout << Deg(OutLat) << ' ' << Deg(OutLong) << "  h " << Metres(OutH) << '\n';
}

} // namespace

void AddGeoCommands(std::vector<TCommand>& List) {
  List.insert(
      List.end(),
      {
          {"ellipsoids", "ellipsoids", "the 61 ellipsoids with axes and flattening", CmdEllipsoids},
          {"countries", "countries [name-part|code]", "countries by name or FIPS/ISO code",
           CmdCountries},
          {"zone", "zone LAT LONG", "UTM zone and latitude band", CmdZone},
          {"utm", "utm LAT LONG [ELLIPSOID]", "latitude/longitude to UTM", CmdUTM},
          {"utm-inv", "utm-inv ZONE N|S EASTING NORTHING [ELLIPSOID]", "UTM to latitude/longitude",
           CmdUTMInverse},
          {"ups", "ups LAT LONG [ELLIPSOID]", "latitude/longitude to UPS (polar caps)", CmdUPS},
          {"ups-inv", "ups-inv N|S X Y [ELLIPSOID]", "UPS to latitude/longitude", CmdUPSInverse},
          {"tm", "tm LAT LONG CENTRAL-MERIDIAN [ELLIPSOID]",
           "Transverse Mercator, scale 1, no false origin", CmdTM},
          {"tm-inv", "tm-inv X Y CENTRAL-MERIDIAN [ELLIPSOID]", "Transverse Mercator inverse",
           CmdTMInverse},
          {"cart", "cart LAT LONG HEIGHT [ELLIPSOID]", "geographic to Earth-centred X, Y, Z",
           CmdCart},
          {"cart-inv", "cart-inv X Y Z [ELLIPSOID]", "Earth-centred X, Y, Z to geographic",
           CmdCartInverse},
          {"datums", "datums [name-part]", "the datum table (numbers for helmert)", CmdDatums},
          {"helmert", "helmert FROM TO LAT LONG [HEIGHT]",
           "seven-parameter datum shift between datum numbers", CmdHelmert},
      });
}

void DemoGeo() {
  std::cout << "qebgeolib demo: geodesy, a geographic database and a map calibration\n";

  Heading("Ellipsoids: derived values");
  std::cout << "WGS 1984: 1/f = " << Fixed(RecipFlattening(gelWGS84), 9)
            << ", e^2 = " << Fixed(GeoEllEccSquared(gelWGS84), 12) << '\n';
  std::cout << "Airy 1830 (Great Britain): 1/f = " << Fixed(RecipFlattening(gelAiry30), 6) << '\n';

  Heading("Countries");
  Show("countries", {"deu"});
  Show("countries", {"nether"});

  Heading("UTM: Berlin and back");
  Show("zone", {"52.5163", "13.3276"});
  Show("utm", {"52.5163", "13.3276"});
  int32_t Zone = 0;
  double E = 0, N = 0, Lat = 0, Long = 0;
  LatLongToUTM(52.5163, 13.3276, gelWGS84, Zone, E, N);
  std::string EText = Metres(E), NText = Metres(N), ZText = std::to_string(Zone);
  Show("utm-inv", {ZText, "N", EText, NText});
  UTMToLatLong(E, N, Zone, false, gelWGS84, Lat, Long);
  std::cout << "round trip error: "
            << Fixed(std::hypot(Lat - 52.5163, (Long - 13.3276) * std::cos(52.5163 * DegToRad)) *
                         111320e3,
                     4)
            << " mm\n";

  Heading("UTM exceptions: Norway and Svalbard");
  Show("zone", {"60", "5"});
  Show("zone", {"78", "15"});

  Heading("Southern hemisphere: Harare");
  Show("utm", {"-17.8292", "31.054"});

  Heading("UPS: the polar caps");
  Show("ups", {"-90", "0"});
  Show("ups", {"85", "45"});

  Heading("Earth-centred coordinates");
  Show("cart", {"47.5", "19.05", "120"});

  Heading("Datum shift: Ordnance Survey 1936 to WGS 1984 (Greenwich)");
  Show("helmert", {"183", "269", "51.4778", "-0.0014", "0"});
  Heading("Datum shift: DHDN (Rauenberg) to WGS 1984 (Berlin)");
  Show("helmert", {"217", "269", "52.5163", "13.3276", "34"});
}

} // namespace qeb::cli
