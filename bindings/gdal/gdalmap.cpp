// Rasters in and out through GDAL. Pixel conventions: GDAL counts pixel
// corners (pixel (0, 0) spans 0..1), the map control counts pixel centres, so
// the control's pixel x lies at GDAL's x + 0.5 (times the reduction).
#include "bindings/gdal/gdalmap.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>

#include "bindings/gdal/gdalcommon.h"
#include "qebgeolib/platform/base/sysutils.h"

namespace qeb::gdal {

namespace {

// The calibration side of a map control without a control: fits models for a
// picture of a given size.
class TFitCalibration : public TVozIzaCalibration {
public:
  TFitCalibration(int32_t W, int32_t H) : FW(W), FH(H) {}
  using TVozIzaCalibration::operator=;

protected:
  std::string CalibComponentName() const override { return "GDAL"; }
  int32_t GetMapImgWidth() const override { return FW; }
  int32_t GetMapImgHeight() const override { return FH; }
  std::string GetMapImgFile() const override { return {}; }
  void SetMapImgName(const std::string&) override {}
  void ClearMapImage() override {}
  void CalibrationChanged() override {}

private:
  int32_t FW, FH;
};

// The largest residual of the current model over its quads; infinite when a
// quad cannot be placed.
double MaxResidual(const TVozIzaCalibration& Cal) {
  double Rms = 0;
  double Max = 0;
  for (const TCalibResidual& R : Cal.CalibResiduals(Rms)) {
    if (!R.Valid) return std::numeric_limits<double>::infinity();
    Max = std::max(Max, std::hypot(R.DX, R.DY));
  }
  return Max;
}

// The reduced picture size: the largest of the raster's shape within
// MaxPixels pixels.
void ReducedSize(int32_t W, int32_t H, int64_t MaxPixels, int32_t& RW, int32_t& RH) {
  RW = W;
  RH = H;
  if (int64_t(W) * H <= MaxPixels) return;
  const double S = std::sqrt(double(MaxPixels) / (double(W) * double(H)));
  RW = std::max<int32_t>(1, int32_t(W * S));
  RH = std::max<int32_t>(1, int32_t(H * S));
  while (int64_t(RW) * RH > MaxPixels) {
    if (RW >= RH)
      --RW;
    else
      --RH;
  }
}

// Reads bands into Image (already sized) as bytes; other sample types are
// scaled from the smallest to the largest value read onto 0..255, over all
// bands together so the colours keep their balance.
void ReadBands(GDALDataset& Ds, const std::string& FileName, std::vector<int>& Bands,
               TBitmap& Image) {
  const int32_t W = Image.GetWidth(), H = Image.GetHeight();
  const int32_t NB = int32_t(Bands.size());
  const int32_t Stride = Image.GetScanLineSize();
  GDALRasterIOExtraArg Extra;
  INIT_RASTERIO_EXTRA_ARG(Extra);
  Extra.eResampleAlg = GRIORA_NearestNeighbour;
  GDALRasterBand* First = Ds.GetRasterBand(Bands[0]);
  const GDALDataType Type = First->GetRasterDataType();
  if (GDALDataTypeIsComplex(Type)) Fail(FileName, "complex samples cannot be shown as a picture");
  const bool Palette = First->GetColorInterpretation() == GCI_PaletteIndex;
  if (Type == GDT_Byte || Palette) {
    if (Ds.RasterIO(GF_Read, 0, 0, Ds.GetRasterXSize(), Ds.GetRasterYSize(), Image.GetBits(), W, H,
                    GDT_Byte, NB, Bands.data(), NB, Stride, 1, &Extra) != CE_None)
      Fail(FileName, "the pixels cannot be read");
    return;
  }
  std::vector<float> Buf(size_t(W) * H * NB);
  if (Ds.RasterIO(GF_Read, 0, 0, Ds.GetRasterXSize(), Ds.GetRasterYSize(), Buf.data(), W, H,
                  GDT_Float32, NB, Bands.data(), sizeof(float) * NB,
                  GSpacing(sizeof(float)) * NB * W, sizeof(float), &Extra) != CE_None)
    Fail(FileName, "the pixels cannot be read");
  int HasNoData = 0;
  const double NoData = First->GetNoDataValue(&HasNoData);
  auto Counts = [&](float V) { return std::isfinite(V) && !(HasNoData && double(V) == NoData); };
  float Lo = std::numeric_limits<float>::max(), Hi = std::numeric_limits<float>::lowest();
  for (float V : Buf)
    if (Counts(V)) {
      Lo = std::min(Lo, V);
      Hi = std::max(Hi, V);
    }
  const double Scale = Hi > Lo ? 255.0 / (double(Hi) - Lo) : 0.0;
  for (int32_t Y = 0; Y < H; ++Y) {
    uint8_t* Row = Image.ScanLine(Y);
    const float* Src = Buf.data() + size_t(Y) * W * NB;
    for (int32_t I = 0; I < W * NB; ++I)
      Row[I] = Counts(Src[I]) ? uint8_t(std::lround((Src[I] - Lo) * Scale)) : 0;
  }
}

// The picture of the raster at W x H.
void ReadPicture(GDALDataset& Ds, const std::string& FileName, int32_t W, int32_t H,
                 TBitmap& Image) {
  const int N = Ds.GetRasterCount();
  if (N < 1) Fail(FileName, "the raster has no bands");
  int R = 0, G = 0, B = 0;
  for (int I = 1; I <= N; ++I) {
    const GDALColorInterp C = Ds.GetRasterBand(I)->GetColorInterpretation();
    if (C == GCI_RedBand && !R) R = I;
    if (C == GCI_GreenBand && !G) G = I;
    if (C == GCI_BlueBand && !B) B = I;
  }
  if (!(R && G && B) && N >= 3 &&
      Ds.GetRasterBand(1)->GetColorInterpretation() != GCI_PaletteIndex) {
    R = 1;
    G = 2;
    B = 3;
  }
  if (R && G && B) {
    std::vector<int> Bands{B, G, R}; // the bitmap stores blue, green, red
    Image.NewImage(W, H, pf24bit, false);
    ReadBands(Ds, FileName, Bands, Image);
    return;
  }
  std::vector<int> Bands{1};
  GDALRasterBand* Band = Ds.GetRasterBand(1);
  std::vector<TColor> Palette;
  const GDALColorTable* Table = Band->GetColorTable();
  if (Band->GetColorInterpretation() == GCI_PaletteIndex && Table) {
    const int Count = Table->GetColorEntryCount();
    if (Count < 1 || Count > 256) Fail(FileName, "the palette has more than 256 colours");
    for (int I = 0; I < Count; ++I) {
      GDALColorEntry E;
      Table->GetColorEntryAsRGB(I, &E);
      Palette.push_back(TColor(E.c1 & 0xFF) | TColor(E.c2 & 0xFF) << 8 | TColor(E.c3 & 0xFF) << 16);
    }
  } else {
    for (TColor I = 0; I < 256; ++I)
      Palette.push_back(I | I << 8 | I << 16);
  }
  Image.NewImage(W, H, pf8bit, false);
  Image.SetPalette(Palette);
  ReadBands(Ds, FileName, Bands, Image);
}

// The calibration of the picture (W x H pixels, each SX x SY raster pixels)
// from the raster's geotransform and coordinate system.
void DeriveCalibration(const std::string& FileName, const double (&GT)[6],
                       const OGRSpatialReference& Srs, int32_t W, int32_t H, double SX, double SY,
                       TCalibData& Calib, TGdalMapInfo& Info) {
  auto Project = [&](int32_t X, int32_t Y, double& PX, double& PY) {
    const double P = (X + 0.5) * SX, L = (Y + 0.5) * SY;
    PX = GT[0] + P * GT[1] + L * GT[2];
    PY = GT[3] + P * GT[4] + L * GT[5];
  };
  TFitCalibration Fit(W, H);
  Calib = TCalibData{};
  Calib.Ellipsoid = MatchEllipsoid(FileName, Srs);
  const std::array<TPoint, 4> Corners{TPoint{0, 0}, TPoint{0, H - 1}, TPoint{W - 1, H - 1},
                                      TPoint{W - 1, 0}};
  auto AddQuad = [&](int32_t X, int32_t Y, double A, double B) {
    if (Calib.NumCalQuads >= MaxCalQuads) return;
    Calib.CalQuads[++Calib.NumCalQuads] = TCalQuad{A, B, X, Y};
  };
  int North = 0;
  const int Zone = Srs.IsProjected() ? Srs.GetUTMZone(&North) : 0;
  if (Srs.IsGeographic()) {
    // Angular units other than degrees (grads) scale into degrees.
    const double ToDeg = Srs.GetAngularUnits() / (M_PI / 180);
    for (const TPoint& C : Corners) {
      double Lon = 0, Lat = 0;
      Project(C.X, C.Y, Lon, Lat);
      AddQuad(C.X, C.Y, Lat * ToDeg, Lon * ToDeg);
    }
    Info.Model = cmEquiRect;
  } else if (Zone >= 1 && Zone <= 60 && Srs.GetLinearUnits() == 1.0) {
    Calib.UTMZone = Zone;
    Calib.UTMSouth = !North;
    for (const TPoint& C : Corners) {
      double E = 0, N = 0;
      Project(C.X, C.Y, E, N);
      AddQuad(C.X, C.Y, N, E);
    }
    Info.Model = cmUTM;
  } else if (Srs.IsProjected()) {
    std::unique_ptr<OGRSpatialReference> Geo(Srs.CloneGeogCS());
    if (!Geo) Fail(FileName, "the coordinate system has no geographic base");
    Geo->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    std::unique_ptr<OGRCoordinateTransformation> Ct(
        OGRCreateCoordinateTransformation(&Srs, Geo.get()));
    if (!Ct)
      Fail(FileName, "GDAL cannot transform the coordinate system to latitude and longitude");
    constexpr int32_t Grid = 12;
    for (int32_t I = 0; I < Grid; ++I)
      for (int32_t J = 0; J < Grid; ++J) {
        const int32_t X = int32_t(std::lround(double(W - 1) * J / (Grid - 1)));
        const int32_t Y = int32_t(std::lround(double(H - 1) * I / (Grid - 1)));
        double PX = 0, PY = 0;
        Project(X, Y, PX, PY);
        int Ok = 0;
        if (Ct->Transform(1, &PX, &PY, nullptr, &Ok) && Ok && std::isfinite(PX) &&
            std::isfinite(PY))
          AddQuad(X, Y, PY, PX);
      }
    CPLErrorReset(); // points outside the domain are skipped, not an error of the file
    if (Calib.NumCalQuads < Grid * Grid / 2)
      Fail(FileName, "most of the raster lies outside its coordinate system's domain");
    double Best = std::numeric_limits<double>::infinity();
    for (TCalibModel M : {cmEquiRect, cmMillerCylindrical, cmConicConformal, cmBiquadraticPn}) {
      Fit.SetCalibData(Calib);
      Fit.SetCalibModel(M);
      const double R = MaxResidual(Fit);
      Info.Fits.push_back({M, R});
      if (R < Best) {
        Best = R;
        Info.Model = M;
      }
    }
    if (!(Best <= 1.0))
      Fail(FileName, "no calibration model fits the coordinate system within one pixel "
                     "(smallest residual " +
                         FormatNumber(Best) + " pixels, " +
                         std::string(CalibModelNames[Info.Model]) + ")");
  } else {
    Fail(FileName, "unknown coordinate system");
  }
  Fit.SetCalibData(Calib);
  Fit.SetCalibModel(Info.Model);
  Info.MaxResidual = MaxResidual(Fit);
  Calib = Fit.GetCalibData();
}

} // namespace

void ReadGdalMap(const std::string& FileName, TGdalMap& Map, int64_t MaxPixels) {
  TGdalErrors Quiet;
  GDALDatasetUniquePtr Ds = OpenRaster(FileName);
  TGdalMapInfo Info;
  Info.Driver = Ds->GetDriver() ? Ds->GetDriver()->GetDescription() : "";
  Info.RasterWidth = Ds->GetRasterXSize();
  Info.RasterHeight = Ds->GetRasterYSize();
  if (Info.RasterWidth < 2 || Info.RasterHeight < 2)
    Fail(FileName, "the raster is smaller than 2 x 2 pixels");
  double GT[6] = {};
  if (Ds->GetGeoTransform(GT) != CE_None) Fail(FileName, "the raster has no georeferencing");
  const OGRSpatialReference* Srs = Ds->GetSpatialRef();
  if (!Srs || Srs->IsEmpty()) Fail(FileName, "the raster has no coordinate system");
  Info.CoordSystem = Srs->GetName() ? Srs->GetName() : "";
  ReducedSize(Info.RasterWidth, Info.RasterHeight, std::max<int64_t>(MaxPixels, 4), Info.ImageWidth,
              Info.ImageHeight);
  if (Info.ImageWidth < 2 || Info.ImageHeight < 2)
    Fail(FileName, "the raster is too narrow to reduce to the pixel limit");
  const double SX = double(Info.RasterWidth) / Info.ImageWidth;
  const double SY = double(Info.RasterHeight) / Info.ImageHeight;
  Info.Reduction = std::max(SX, SY);

  // Everything is computed into locals first, so a failure leaves Map alone.
  TCalibData Calib;
  DeriveCalibration(FileName, GT, *Srs, Info.ImageWidth, Info.ImageHeight, SX, SY, Calib, Info);
  TBitmap Image;
  ReadPicture(*Ds, FileName, Info.ImageWidth, Info.ImageHeight, Image);
  Calib.MapFName = "$unknown$";
  Calib.Caption = ExtractFileName(FileName);
  Map.Image.SwapImage(Image);
  Map.Calib = Calib;
  Map.Info = std::move(Info);
}

TGdalMapInfo OpenGdalMap(TVozIza& Control, const std::string& FileName) {
  TGdalMap Map;
  ReadGdalMap(FileName, Map, MaxMapImgPixels);
  Control.SetMapBitMap(&Map.Image);
  Control.SetCalibData(Map.Calib);
  Control.SetCalibModel(Map.Info.Model);
  return Map.Info;
}

} // namespace qeb::gdal
