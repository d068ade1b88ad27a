#include "bindings/gdal/gdalcommon.h"

#include <cpl_error.h>

#include <charconv>
#include <cmath>
#include <mutex>

namespace qeb::gdal {

TGdalErrors::TGdalErrors() {
  static std::once_flag Once;
  std::call_once(Once, [] { GDALAllRegister(); });
  CPLPushErrorHandler(CPLQuietErrorHandler);
  CPLErrorReset();
}

TGdalErrors::~TGdalErrors() {
  CPLPopErrorHandler();
}

void Fail(const std::string& FileName, const std::string& Why) {
  std::string Msg = "GDAL: " + FileName + ": " + Why;
  const char* Last = CPLGetLastErrorMsg();
  if (Last && *Last) Msg += std::string(": ") + Last;
  CPLErrorReset();
  throw EQEBGdalError(Msg);
}

GDALDatasetUniquePtr OpenRaster(const std::string& FileName) {
  GDALDatasetUniquePtr Ds(GDALDataset::Open(FileName.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
  if (!Ds) Fail(FileName, "GDAL cannot read the file as a raster");
  return Ds;
}

TGeoEllipsoid MatchEllipsoid(const std::string& FileName, const OGRSpatialReference& Srs) {
  OGRErr ErrA = OGRERR_NONE, ErrB = OGRERR_NONE;
  const double A = Srs.GetSemiMajor(&ErrA), B = Srs.GetSemiMinor(&ErrB);
  int32_t Best = -1;
  double BestDist = 1e-3;
  for (int32_t I = 0; I < GeoEllipsoidCount; ++I) {
    const TEllipsoidAxes& E = GeoEllipsoidData[I];
    const double D = std::max(std::abs(E.SemiMajor - A), std::abs(E.SemiMinor - B));
    if (D < BestDist) { // axes shared by several names: the first, the common one
      BestDist = D;
      Best = I;
    }
  }
  if (ErrA != OGRERR_NONE || ErrB != OGRERR_NONE || Best < 0) {
    const char* Name = Srs.GetAttrValue("SPHEROID");
    Fail(FileName, std::string("unknown ellipsoid ") + (Name ? Name : "") + " (" + FormatNumber(A) +
                       ", " + FormatNumber(B) + " m)");
  }
  return TGeoEllipsoid(Best);
}

void SetEllipsoidGeogCS(OGRSpatialReference& Srs, TGeoEllipsoid Ellipsoid) {
  if (Ellipsoid == gelWGS84) {
    OGRSpatialReference Wgs;
    Wgs.importFromEPSG(4326);
    Srs.CopyGeogCSFrom(&Wgs);
  } else {
    const TEllipsoidAxes& E = GeoEllipsoidData[Ellipsoid];
    const std::string Name(GeoEllipsoidName[Ellipsoid]);
    const double InvFlat =
        E.SemiMajor == E.SemiMinor ? 0.0 : E.SemiMajor / (E.SemiMajor - E.SemiMinor);
    Srs.SetGeogCS(("Unknown datum on " + Name).c_str(), ("Unknown based on " + Name).c_str(),
                  Name.c_str(), E.SemiMajor, InvFlat);
  }
  Srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
}

std::string FormatNumber(double Value) {
  if (!std::isfinite(Value)) return Value > 0 ? "infinite" : "not a number";
  char Buf[64];
  const auto R = std::to_chars(Buf, Buf + sizeof Buf, std::round(Value * 1000) / 1000,
                               std::chars_format::fixed);
  return std::string(Buf, R.ptr);
}

} // namespace qeb::gdal
