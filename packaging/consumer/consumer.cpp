// A program built against an installed qebgeolib, the way a user builds one:
// public headers only. It converts a position to UTM and back, draws the
// capitals of the country table on a small equirectangular map, writes it as
// PNG and reads it back. Exit status 0 when every step gives what it should.
#include <cmath>
#include <cstdio>
#include <exception>
#include <string>

#include "qebgeolib/geobasics/geobasics.h"
#include "qebgeolib/platform/graphics/bitmap.h"
#include "qebgeolib/platform/graphics/canvas.h"
#include "qebgeolib/platform/graphics/pngimage.h"

namespace {

constexpr int MapWidth = 360;
constexpr int MapHeight = 180;
constexpr qeb::TColor Sea = 0x804020;
constexpr qeb::TColor Capital = qeb::clRed;

qeb::TPoint OnMap(double Latitude, double Longitude) {
  return {static_cast<int32_t>(std::floor(Longitude + 180.0)),
          static_cast<int32_t>(std::floor(90.0 - Latitude))};
}

bool Fail(const char* What) {
  std::fprintf(stderr, "qeb_consumer: %s\n", What);
  return false;
}

bool Convert() {
  const double Lat = 52.5, Long = 13.4;
  int32_t Zone = 0;
  double X = 0, Y = 0;
  qeb::LatLongToUTM(Lat, Long, qeb::gelWGS84, Zone, X, Y);
  double BackLat = 0, BackLong = 0;
  qeb::UTMToLatLong(X, Y, Zone, false, qeb::gelWGS84, BackLat, BackLong);
  std::printf("%s %.3f %.3f\n", qeb::GeoToUTMZone(Lat, Long).c_str(), X, Y);
  if (Zone != 33 || std::fabs(BackLat - Lat) > 1e-8 || std::fabs(BackLong - Long) > 1e-8)
    return Fail("the UTM round trip of 52.5 13.4 is off");
  return true;
}

bool Map(const std::string& FileName) {
  qeb::TBitmap Map(MapWidth, MapHeight, qeb::pf24bit);
  qeb::TCanvas& C = Map.GetCanvas();
  C.GetBrush().SetColor(Sea);
  C.FillRect({0, 0, MapWidth, MapHeight});
  C.GetPen().SetColor(qeb::clSilver);
  for (int Long = -150; Long < 180; Long += 30) {
    C.MoveTo(Long + 180, 0);
    C.LineTo(Long + 180, MapHeight);
  }
  for (int Lat = -60; Lat < 90; Lat += 30) {
    C.MoveTo(0, 90 - Lat);
    C.LineTo(MapWidth, 90 - Lat);
  }
  int Capitals = 0;
  for (const qeb::TCountryData& Country : qeb::CountryData) {
    if (Country.Capital.Empty()) continue;
    const qeb::TPoint P = OnMap(Country.CapLat, Country.CapLong);
    C.SetPixels(P.X, P.Y, Capital);
    ++Capitals;
  }
  qeb::TPNGImage Png;
  Png.Assign(&Map);
  Png.SaveToFile(FileName);

  qeb::TPNGImage Back;
  Back.LoadFromFile(FileName);
  const qeb::TPoint Berlin = OnMap(52.52, 13.40);
  if (Back.GetWidth() != MapWidth || Back.GetHeight() != MapHeight ||
      Back.GetBitmap().GetCanvas().GetPixels(Berlin.X, Berlin.Y) != Capital ||
      Back.GetBitmap().GetCanvas().GetPixels(5, 5) != Sea)
    return Fail("the map read back from the PNG file is not the one written");
  std::printf("%s %dx%d, %d capitals\n", FileName.c_str(), MapWidth, MapHeight, Capitals);
  return true;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: qeb_consumer MAP.png\n");
    return 2;
  }
  try {
    return Convert() && Map(argv[1]) ? 0 : 1;
  } catch (const std::exception& E) {
    std::fprintf(stderr, "qeb_consumer: %s\n", E.what());
    return 1;
  }
}
