// The GDAL binding against GDAL's own command-line tools: rasters are made
// from the NASA world image with gdal_translate and gdalwarp, and positions
// our calibrations give are compared with gdaltransform's on the same files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bindings/gdal/gdalmap.h"
#include "qebgeolib/voziza/view.h"
#include "tests/gdal/shell.h"

namespace qeb::gdal {
namespace {

const std::string Earth = "/usr/share/xplanet/images/earth.jpg";
const std::string Dir = std::string(QEB_TEST_TMPDIR) + "/gdal_";

// The test rasters, made once for the whole suite.
class GdalMap : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    const std::string World = Dir + "world.tif";
    Shell("gdal_translate -q -outsize 720 360 -a_ullr -180 90 180 -90 -a_srs EPSG:4326 " + Earth +
          " " + World);
    const std::string Cut = "-q -r bilinear -te_srs EPSG:4326 -te 5 42 15 50 -ts 240 200 ";
    Shell("gdalwarp " + Cut + "-t_srs EPSG:32633 " + World + " " + Dir + "utm.tif");
    Shell("gdalwarp " + Cut + "-t_srs EPSG:3857 " + World + " " + Dir + "merc.tif");
    Shell("gdalwarp " + Cut +
          "-t_srs '+proj=lcc +lat_1=42 +lat_2=52 +lat_0=47 +lon_0=10 +datum=WGS84' " + World + " " +
          Dir + "lcc.tif");
    Shell("gdalwarp -q -te_srs EPSG:4326 -te -60 -60 80 80 -ts 200 200 "
          "-t_srs '+proj=ortho +lat_0=10 +lon_0=10 +datum=WGS84' " +
          World + " " + Dir + "ortho.tif");
    Shell("gdal_translate -q -b 1 " + World + " " + Dir + "grey.tif");
    Shell("gdal_translate -q -ot UInt16 -scale 0 255 1000 6100 " + World + " " + Dir + "u16.tif");
    Shell("gdal_translate -q -a_srs '+proj=longlat +a=6000000 +b=5990000' " + World + " " + Dir +
          "oddellipsoid.tif");
  }

  // Latitude and longitude of gdaltransform for picture pixel centres
  // (each scaled by the reduction).
  static std::vector<std::pair<double, double>>
  Oracle(const std::string& File, const std::vector<TPoint>& Pixels, double SX = 1, double SY = 1) {
    const std::string In = Dir + "points.txt";
    std::ofstream(In) << [&] {
      std::ostringstream S;
      S.precision(17);
      for (const TPoint& P : Pixels)
        S << (P.X + 0.5) * SX << ' ' << (P.Y + 0.5) * SY << '\n';
      return S.str();
    }();
    std::istringstream Out(
        Shell("gdaltransform -output_xy -t_srs '+proj=longlat +datum=WGS84' " + File + " < " + In));
    std::vector<std::pair<double, double>> R;
    double Lon, Lat;
    while (Out >> Lon >> Lat)
      R.push_back({Lat, Lon});
    return R;
  }

  // How far, in picture pixels, the control's position of Pixel lies from
  // Lat/Lon: the difference divided through the local pixel steps.
  static double PixelError(const TVozIzaCalibration& Cal, TPoint P, double Lat, double Lon) {
    bool V = true;
    auto At = [&](int32_t X, int32_t Y, double& La, double& Lo) {
      bool V1, V2;
      La = Cal.CalcLatitude(X, Y, V1);
      Lo = Cal.CalcLongitude(X, Y, V2);
      V = V && V1 && V2;
    };
    double La0, Lo0, LaX, LoX, LaY, LoY;
    At(P.X, P.Y, La0, Lo0);
    At(P.X + 1, P.Y, LaX, LoX);
    At(P.X, P.Y + 1, LaY, LoY);
    if (!V) return 1e9;
    const double A = LoX - Lo0, B = LoY - Lo0, C = LaX - La0, D = LaY - La0;
    const double Det = A * D - B * C, DLo = Lon - Lo0, DLa = Lat - La0;
    return std::hypot((D * DLo - B * DLa) / Det, (A * DLa - C * DLo) / Det);
  }

  static std::vector<TPoint> RandomPixels(int32_t W, int32_t H) {
    std::mt19937 Rng(14);
    std::vector<TPoint> R;
    for (int I = 0; I < 25; ++I)
      R.push_back({int32_t(Rng() % uint32_t(W - 1)), int32_t(Rng() % uint32_t(H - 1))});
    return R;
  }

  static void ExpectAgrees(const TVozIzaCalibration& Cal, const std::string& File, int32_t W,
                           int32_t H, double SX = 1, double SY = 1) {
    const std::vector<TPoint> Pixels = RandomPixels(W, H);
    const auto Truth = Oracle(File, Pixels, SX, SY);
    ASSERT_EQ(Truth.size(), Pixels.size()) << File;
    for (size_t I = 0; I < Pixels.size(); ++I)
      EXPECT_LT(PixelError(Cal, Pixels[I], Truth[I].first, Truth[I].second), 0.5)
          << File << " pixel " << Pixels[I].X << ", " << Pixels[I].Y;
  }
};

TEST_F(GdalMap, CalibrationsAgreeWithGdaltransform) {
  const struct {
    const char* File;
    TCalibModel Model; // cmUndefined: any point model
  } Cases[] = {
      {"world.tif", cmEquiRect},
      {"utm.tif", cmUTM},
      {"merc.tif", cmUndefined},
      {"lcc.tif", cmUndefined},
  };
  for (const auto& C : Cases) {
    TVozIza View(nullptr);
    const TGdalMapInfo Info = OpenGdalMap(View, Dir + C.File);
    if (C.Model != cmUndefined) {
      EXPECT_EQ(Info.Model, C.Model) << C.File;
    }
    EXPECT_LE(Info.MaxResidual, 1.0) << C.File;
    EXPECT_EQ(View.GetCalibModel(), Info.Model);
    EXPECT_EQ(View.GetMapImgWidth(), Info.RasterWidth);
    ExpectAgrees(View, Dir + C.File, Info.ImageWidth, Info.ImageHeight);
  }
  TVozIza View(nullptr);
  OpenGdalMap(View, Dir + "utm.tif");
  EXPECT_EQ(View.GetUTMZone(), 33);
  EXPECT_EQ(View.GetUTMHemisphere(), hemiNorth);
}

TEST_F(GdalMap, LargeRasterIsReducedWithItsCalibration) {
  TGdalMap Map;
  ReadGdalMap(Dir + "world.tif", Map, 20000);
  EXPECT_EQ(Map.Info.ImageWidth, 200);
  EXPECT_EQ(Map.Info.ImageHeight, 100);
  EXPECT_DOUBLE_EQ(Map.Info.Reduction, 3.6);
  ASSERT_EQ(Map.Image.GetWidth(), 200);
  TVozIza View(nullptr);
  View.SetMapBitMap(&Map.Image);
  View.SetCalibData(Map.Calib);
  View.SetCalibModel(Map.Info.Model);
  ExpectAgrees(View, Dir + "world.tif", 200, 100, 3.6, 3.6);
}

// Band layouts: the picture's format and one telling pixel each, against the
// same pixel of the RGB raster.
TEST_F(GdalMap, BandLayoutsBecomePictures) {
  TGdalMap Rgb, Grey, U16;
  ReadGdalMap(Dir + "world.tif", Rgb);
  ReadGdalMap(Dir + "grey.tif", Grey);
  ReadGdalMap(Dir + "u16.tif", U16);
  EXPECT_EQ(Rgb.Image.GetPixelFormat(), pf24bit);
  EXPECT_EQ(Grey.Image.GetPixelFormat(), pf8bit);
  EXPECT_EQ(U16.Image.GetPixelFormat(), pf24bit);
  const int32_t X = 400, Y = 100;
  const uint8_t* RgbPix = Rgb.Image.ScanLine(Y) + 3 * X; // blue, green, red
  EXPECT_EQ(Grey.Image.ScanLine(Y)[X], RgbPix[2]);       // band 1 is red
  EXPECT_EQ(Grey.Image.GetPalette()[200], 0xC8C8C8u);
  // 1000..6100 scaled back onto 0..255 comes within rounding of the bytes.
  for (int K = 0; K < 3; ++K)
    EXPECT_NEAR(U16.Image.ScanLine(Y)[3 * X + K], RgbPix[K], 1);

  // A palette raster: a VRT over the grey band with a two-colour table.
  const std::string Vrt = Dir + "palette.vrt";
  std::ofstream(Vrt)
      << "<VRTDataset rasterXSize='720' rasterYSize='360'><SRS>EPSG:4326</SRS>"
         "<GeoTransform>-180,0.5,0,90,0,-0.5</GeoTransform>"
         "<VRTRasterBand dataType='Byte' band='1'><ColorInterp>Palette</ColorInterp>"
         "<ColorTable><Entry c1='255' c2='0' c3='0' c4='255'/><Entry c1='0' c2='0' c3='255' "
         "c4='255'/></ColorTable><SimpleSource><SourceFilename>" +
             Dir +
             "grey.tif</SourceFilename><SourceBand>1</SourceBand></SimpleSource>"
             "</VRTRasterBand></VRTDataset>";
  TGdalMap Pal;
  ReadGdalMap(Vrt, Pal);
  ASSERT_EQ(Pal.Image.GetPixelFormat(), pf8bit);
  EXPECT_EQ(Pal.Image.GetPalette(), (std::vector<TColor>{0x0000FF, 0xFF0000}));
  EXPECT_EQ(Pal.Image.ScanLine(Y)[X], Grey.Image.ScanLine(Y)[X]);
}

// Refused input leaves the control's picture and calibration as they were.
TEST_F(GdalMap, BadInputIsRefusedAndChangesNothing) {
  const std::string Text = Dir + "notaraster.tif";
  std::ofstream(Text) << "not a raster";
  const std::string Hostile = Dir + "hostile.vrt";
  std::ofstream(Hostile) << "<VRTDataset rasterXSize='2147483647' rasterYSize='2'>"
                            "<GeoTransform>0,1,0,0,0,-1</GeoTransform><SRS>EPSG:4326</SRS>"
                            "<VRTRasterBand dataType='Byte' band='1'/></VRTDataset>";
  const struct {
    std::string File;
    std::string Message;
  } Cases[] = {
      {Dir + "missing.tif", "GDAL cannot read the file as a raster"},
      {Text, "GDAL cannot read the file as a raster"},
      {Earth, "the raster has no georeferencing"},
      {Dir + "oddellipsoid.tif", "unknown ellipsoid"},
      {Dir + "ortho.tif", "no calibration model fits the coordinate system within one pixel"},
      {Hostile, "too narrow to reduce"},
  };
  TVozIza View(nullptr);
  OpenGdalMap(View, Dir + "utm.tif");
  const TCalibData Before = View.GetCalibData();
  for (const auto& C : Cases) {
    try {
      OpenGdalMap(View, C.File);
      ADD_FAILURE() << C.File << " was accepted";
    } catch (const EQEBGdalError& E) {
      EXPECT_NE(std::string(E.what()).find(C.Message), std::string::npos) << E.what();
      EXPECT_NE(std::string(E.what()).find(C.File), std::string::npos) << E.what();
    }
    EXPECT_EQ(View.GetCalibModel(), cmUTM);
    EXPECT_EQ(View.GetCalibData(), Before);
    EXPECT_EQ(View.GetMapImgWidth(), 240);
  }
}

// Exported maps read back with GDAL's tools where our calibration puts them.
TEST_F(GdalMap, ExportsReadBackWithGdaltransform) {
  const struct {
    const char* Source;
    const char* Out;
    const char* Extra; // what gdalinfo must report
  } Cases[] = {
      {"world.tif", "out_world.png", "Origin = "},
      {"utm.tif", "out_utm.jpg", "UTM zone 33N"},
      {"utm.tif", "out_utm.tif", "UTM zone 33N"},
      {"lcc.tif", "out_lcc.tif", "GCP Projection"},
  };
  for (const auto& C : Cases) {
    TVozIza View(nullptr);
    const TGdalMapInfo Info = OpenGdalMap(View, Dir + C.Source);
    const std::string Out = Dir + C.Out;
    ExportGdalMap(View, Out);
    EXPECT_NE(Shell("gdalinfo " + Out).find(C.Extra), std::string::npos) << C.Out;
    // GCP rasters are placed through a thin plate spline, exact at the points.
    const std::string File = std::string(C.Out) == "out_lcc.tif" ? "-tps " + Out : Out;
    ExpectAgrees(View, File, Info.ImageWidth, Info.ImageHeight);
  }
  TVozIza View(nullptr);
  OpenGdalMap(View, Dir + "lcc.tif");
  EXPECT_THROW(ExportGdalMap(View, Dir + "out_lcc.png"), EQEBGdalError);
  TVozIza Empty(nullptr);
  EXPECT_THROW(ExportGdalMap(Empty, Dir + "out_empty.tif"), EQEBGdalError);
}

} // namespace
} // namespace qeb::gdal
