// Calibrated maps out: the picture through GDAL's drivers and the
// georeferencing as a world file with .prj, a GeoTIFF geotransform or ground
// control points.
#include <cpl_conv.h>
#include <cpl_string.h>

#include <cmath>
#include <vector>

#include "bindings/gdal/gdalcommon.h"
#include "bindings/gdal/gdalmap.h"
#include "qebgeolib/platform/base/sysutils.h"
#include "qebgeolib/platform/base/textfile.h"

namespace qeb::gdal {

namespace {

bool IsAffine(TCalibModel Model) {
  return Model == cmEquiRect || Model == cmUTM;
}

// The least-squares affine map from picture pixel centres to the quads'
// coordinates (X: easting or longitude, Y: northing or latitude), the model
// of cmEquiRect and cmUTM. Coefficients: X = C[0] + C[1]·x + C[2]·y, Y the
// same with D. False when the quads do not span a plane.
bool AffineOfQuads(const TCalibData& Cal, double (&C)[3], double (&D)[3]) {
  double M[3][3] = {}, Vx[3] = {}, Vy[3] = {};
  for (int32_t I = 1; I <= Cal.NumCalQuads; ++I) {
    const TCalQuad& Q = Cal.CalQuads[I];
    const double T[3] = {1.0, double(Q.MapX), double(Q.MapY)};
    for (int R = 0; R < 3; ++R) {
      for (int K = 0; K < 3; ++K)
        M[R][K] += T[R] * T[K];
      Vx[R] += T[R] * Q.Longitude;
      Vy[R] += T[R] * Q.Latitude;
    }
  }
  auto Det = [](const double(&A)[3][3]) {
    return A[0][0] * (A[1][1] * A[2][2] - A[1][2] * A[2][1]) -
           A[0][1] * (A[1][0] * A[2][2] - A[1][2] * A[2][0]) +
           A[0][2] * (A[1][0] * A[2][1] - A[1][1] * A[2][0]);
  };
  const double Dt = Det(M);
  if (!(std::abs(Dt) > 1e-9)) return false;
  // Cramer's rule: the system is 3 x 3 and well conditioned for any
  // spread of points in a picture.
  for (int K = 0; K < 3; ++K) {
    double Mx[3][3], My[3][3];
    for (int R = 0; R < 3; ++R)
      for (int J = 0; J < 3; ++J) {
        Mx[R][J] = J == K ? Vx[R] : M[R][J];
        My[R][J] = J == K ? Vy[R] : M[R][J];
      }
    C[K] = Det(Mx) / Dt;
    D[K] = Det(My) / Dt;
  }
  return std::isfinite(C[0] + C[1] + C[2] + D[0] + D[1] + D[2]);
}

std::string ToWKT(const OGRSpatialReference& Srs) {
  char* Text = nullptr;
  Srs.exportToWkt(&Text);
  std::string Result = Text ? Text : "";
  CPLFree(Text);
  return Result;
}

void SetCalibrationSrs(OGRSpatialReference& Srs, const TCalibData& Calib, TCalibModel Model) {
  if (Model != cmUTM) {
    SetEllipsoidGeogCS(Srs, Calib.Ellipsoid);
    return;
  }
  const int Zone = Calib.UTMZone;
  if (Calib.Ellipsoid == gelWGS84) {
    Srs.importFromEPSG((Calib.UTMSouth ? 32700 : 32600) + Zone);
  } else {
    Srs.SetProjCS(("UTM zone " + std::to_string(Zone) + (Calib.UTMSouth ? "S" : "N")).c_str());
    Srs.SetUTM(Zone, !Calib.UTMSouth);
    SetEllipsoidGeogCS(Srs, Calib.Ellipsoid);
    Srs.SetLinearUnits(SRS_UL_METER, 1.0);
  }
  Srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
}

// Writes Lines as a text file replacing FileName.
void WriteLines(const std::string& FileName, const std::vector<std::string>& Lines) {
  std::string Text;
  for (const std::string& L : Lines)
    Text += L + "\r\n";
  ReplaceFileAtomically(FileName, Text.data(), int64_t(Text.size()));
}

std::string Num(double V) {
  char Buf[40];
  CPLsnprintf(Buf, sizeof Buf, "%.15g", V);
  return Buf;
}

} // namespace

std::string CalibrationWKT(const TCalibData& Calib, TCalibModel Model) {
  TGdalErrors Quiet;
  OGRSpatialReference Srs;
  SetCalibrationSrs(Srs, Calib, Model);
  return ToWKT(Srs);
}

void ExportGdalMap(const TVozIza& Control, const std::string& FileName) {
  TGdalErrors Quiet;
  const TCalibModel Model = Control.GetCalibModel();
  const TCalibData Calib = Control.GetCalibData();
  const TBitmap& Pic = Control.GetMapBitMap();
  const int32_t W = Pic.GetWidth(), H = Pic.GetHeight();
  if (Model == cmUndefined) Fail(FileName, "the map has no calibration");
  if (W < 1 || H < 1) Fail(FileName, "the map has no picture");
  if (Model == cmUTM && (Calib.UTMZone < 1 || Calib.UTMZone > 60))
    Fail(FileName, "the UTM calibration has no zone");
  const std::string Ext = LowerCase(ExtractFileExt(FileName));
  const bool Tiff = Ext == ".tif" || Ext == ".tiff";
  const char* DriverName = Tiff                              ? "GTiff"
                           : Ext == ".png"                   ? "PNG"
                           : Ext == ".jpg" || Ext == ".jpeg" ? "JPEG"
                                                             : nullptr;
  if (!DriverName) Fail(FileName, "unknown image type (use .tif, .png or .jpg)");
  if (!Tiff && !IsAffine(Model))
    Fail(FileName, "a " + std::string(CalibModelNames[Model]) +
                       " calibration is not affine; export it as GeoTIFF");
  double C[3] = {}, D[3] = {};
  if (IsAffine(Model) && !AffineOfQuads(Calib, C, D))
    Fail(FileName, "the calibration points do not span the map");

  OGRSpatialReference Srs;
  SetCalibrationSrs(Srs, Calib, Model);

  // The picture in 24 bits into an in-memory dataset, which every driver
  // can copy.
  TBitmap Rgb;
  Rgb.Assign(&Pic);
  Rgb.SetPixelFormat(pf24bit);
  GDALDriver* Mem = GetGDALDriverManager()->GetDriverByName("MEM");
  GDALDriver* Out = GetGDALDriverManager()->GetDriverByName(DriverName);
  if (!Mem || !Out) Fail(FileName, std::string("GDAL has no ") + DriverName + " driver");
  GDALDatasetUniquePtr Ds(Mem->Create("", W, H, 3, GDT_Byte, nullptr));
  if (!Ds) Fail(FileName, "no memory for the picture");
  int Bands[3] = {3, 2, 1}; // the bitmap holds blue, green, red
  if (Ds->RasterIO(GF_Write, 0, 0, W, H, Rgb.GetBits(), W, H, GDT_Byte, 3, Bands, 3,
                   Rgb.GetScanLineSize(), 1, nullptr) != CE_None)
    Fail(FileName, "the picture cannot be copied");
  if (IsAffine(Model)) {
    // Pixel centres in the calibration, pixel corners in GDAL.
    double GT[6] = {C[0] - 0.5 * (C[1] + C[2]), C[1], C[2], D[0] - 0.5 * (D[1] + D[2]), D[1], D[2]};
    Ds->SetGeoTransform(GT);
    Ds->SetSpatialRef(&Srs);
  } else {
    constexpr int32_t Grid = 10;
    std::vector<GDAL_GCP> Gcps;
    std::vector<std::string> Ids;
    Ids.reserve(Grid * Grid);
    for (int32_t I = 0; I < Grid; ++I)
      for (int32_t J = 0; J < Grid; ++J) {
        const int32_t X = int32_t(std::lround(double(W - 1) * J / (Grid - 1)));
        const int32_t Y = int32_t(std::lround(double(H - 1) * I / (Grid - 1)));
        bool V1 = false, V2 = false;
        const double Lat = Control.CalcLatitude(X, Y, V1);
        const double Lon = Control.CalcLongitude(X, Y, V2);
        if (!V1 || !V2 || !std::isfinite(Lat) || !std::isfinite(Lon)) continue;
        Ids.push_back(std::to_string(Gcps.size() + 1));
        GDAL_GCP G{};
        G.pszId = Ids.back().data();
        G.pszInfo = const_cast<char*>("");
        G.dfGCPPixel = X + 0.5;
        G.dfGCPLine = Y + 0.5;
        G.dfGCPX = Lon;
        G.dfGCPY = Lat;
        Gcps.push_back(G);
      }
    if (Gcps.size() < 6) Fail(FileName, "the calibration places too few points of the map");
    Ds->SetGCPs(int(Gcps.size()), Gcps.data(), &Srs);
  }
  // A GeoTIFF holds everything itself, so no .aux.xml beside it; PNG and
  // JPEG keep the coordinate system in one, since GDAL reads no .prj there
  // (the .prj below is for the programs that read it).
  CPLSetThreadLocalConfigOption("GDAL_PAM_ENABLED", Tiff ? "NO" : "YES");
  CPLErrorReset();
  GDALDatasetUniquePtr Written(
      Out->CreateCopy(FileName.c_str(), Ds.get(), false, nullptr, nullptr, nullptr));
  // Closing flushes; a failure there shows only as GDAL's last error.
  bool Ok = bool(Written);
  Written.reset();
  Ok = Ok && CPLGetLastErrorType() != CE_Failure && CPLGetLastErrorType() != CE_Fatal;
  CPLSetThreadLocalConfigOption("GDAL_PAM_ENABLED", nullptr);
  if (!Ok) Fail(FileName, "the image cannot be written");
  if (Tiff) return;

  // World file: the pixel sizes and rotations, then the centre of the top
  // left pixel, which is the calibration's own pixel convention.
  const std::string WorldExt = std::string(".") + Ext[1] + Ext.back() + "w";
  WriteLines(ChangeFileExt(FileName, WorldExt),
             {Num(C[1]), Num(D[1]), Num(C[2]), Num(D[2]), Num(C[0]), Num(D[0])});
  WriteLines(ChangeFileExt(FileName, ".prj"), {ToWKT(Srs)});
}

} // namespace qeb::gdal
