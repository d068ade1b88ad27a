// The map control's creation, properties, assignment and map image handling.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "qebgeolib/platform/base/sysutils.h"
#include "qebgeolib/platform/graphics/jpegimage.h"
#include "tests/voziza/viewtest.h"

using namespace qeb;

namespace {

namespace fs = std::filesystem;

// A fresh folder of the test's own.
std::string Folder(const std::string& Name) {
  const std::string Dir = test::TempPath("view_" + Name);
  fs::remove_all(Dir);
  fs::create_directories(Dir);
  return Dir + "/";
}

void WriteImage(const std::string& FileName, int32_t W, int32_t H) {
  TBitmap Bmp;
  test::FillCodedImage(Bmp, W, H);
  if (LowerCase(ExtractFileExt(FileName)) == ".bmp") {
    Bmp.SaveToFile(FileName);
    return;
  }
  TJPEGImage Jpeg;
  Jpeg.Assign(&Bmp);
  Jpeg.SaveToFile(FileName);
}

} // namespace

TEST(VozIzaView, WritersClampAndBothSpellingsWork) {
  TVozIza V(nullptr);
  EXPECT_EQ(std::bit_cast<uint64_t>(V.GetCacheMagLimit()), 0x3FE5555555555555u);
  const double Nan = std::nan("");
  const struct {
    double In, GratLineDist, CacheMagLimit;
  } Doubles[] = {{75, 60, 2.0 / 3}, {-1, 0, 0}, {Nan, 0, 0}, {0.5, 0.5, 0.5}};
  for (const auto& C : Doubles) {
    V.SetGratLineDist(C.In);
    V.SetCacheMagLimit(C.In);
    EXPECT_EQ(V.GetGratLineDist(), C.GratLineDist) << C.In;
    EXPECT_EQ(V.GetCacheMagLimit(), C.CacheMagLimit) << C.In;
  }
  for (auto [In, Out] : {std::pair{20000000, 10000000}, {-5, 0}, {250, 250}}) {
    V.SetUTMGridDist(In);
    EXPECT_EQ(V.GetUTMGridDist(), Out) << In;
  }
  V.SetShowGraticule(sgLines);
  EXPECT_EQ(V.GetShowGrat(), sgLines);
  V.SetShowGrat(static_cast<TShowGrat>(99)); // beyond the enumeration: nothing drawn
  EXPECT_EQ(V.GetShowGraticule(), sgNone);
  V.SetConfinePanToMapImage(false);
  EXPECT_FALSE(V.GetConfinePan());
  V.SetAllowPan(false);
  EXPECT_EQ(V.GetMouseAction(), maNone);
  V.SetMouseAction(maZoomBox);
  EXPECT_FALSE(V.GetAllowPan());
}

// A writer given the value the control already has leaves what it shows
// alone; a new value shows at once. Each row writes through one spelling
// and reads through the other.
TEST(VozIzaView, WritersRepaintOnlyOnAChange) {
  TVozIza V(nullptr);
  test::ShowCodedImage(V, 400, 300);
  V.SetMagnification(0.5); // below the cache limit, which then matters
  using TWrite = void (*)(TVozIza&, bool);
  const std::pair<const char*, TWrite> Writers[] = {
      {"AntiAlias", [](TVozIza& V, bool New) { V.SetAntiAlias(V.GetAntiAlias() != New); }},
      {"CacheMagLimit",
       [](TVozIza& V, bool New) { V.SetCacheMagLimit(V.GetCacheMagLimit() / (New ? 2 : 1)); }},
      {"ColorBackGnd",
       [](TVozIza& V, bool New) { V.SetColorBackGnd(V.GetColorBakGnd() ^ (New ? 8 : 0)); }},
      {"ColorBakGnd",
       [](TVozIza& V, bool New) { V.SetColorBakGnd(V.GetColorBackGnd() ^ (New ? 8 : 0)); }},
      {"ColorGraticule",
       [](TVozIza& V, bool New) { V.SetColorGraticule(V.GetColorGratLine() ^ New); }},
      {"ColorGratLine",
       [](TVozIza& V, bool New) { V.SetColorGratLine(V.GetColorGraticule() ^ New); }},
      {"ColorCalibPoints",
       [](TVozIza& V, bool New) { V.SetColorCalibPoints(V.GetColorGratPoints() ^ New); }},
      {"ColorGratPoints",
       [](TVozIza& V, bool New) { V.SetColorGratPoints(V.GetColorCalibPoints() ^ New); }},
      {"ColorFrame", [](TVozIza& V, bool New) { V.SetColorFrame(V.GetColorFrame() ^ New); }},
      {"EmptyMsg", [](TVozIza& V, bool New) { V.SetEmptyMsg(V.GetEmptyMsg() + (New ? "!" : "")); }},
      {"FrameStyle",
       [](TVozIza& V, bool New) {
         V.SetFrameStyle(New == (V.GetFrameStyle() == frsSingle) ? frsRaised : frsSingle);
       }},
      {"GratLineDist", [](TVozIza& V, bool New) { V.SetGratLineDist(V.GetGratLineDist() + New); }},
      {"UTMGridDist", [](TVozIza& V, bool New) { V.SetUTMGridDist(V.GetUTMGridDist() + New); }},
      {"ShowGraticule",
       [](TVozIza& V, bool New) {
         V.SetShowGraticule(New == (V.GetShowGrat() == sgNone) ? sgPoints : sgNone);
       }},
      {"ShowGrat",
       [](TVozIza& V, bool New) {
         V.SetShowGrat(New == (V.GetShowGraticule() == sgNone) ? sgPoints : sgNone);
       }},
      {"TopLeft",
       [](TVozIza& V, bool New) {
         V.SetTopLeft({V.GetTopLeft().X + (New ? 3 : 0), 0});
       }},
      {"Magnification",
       [](TVozIza& V, bool New) { V.SetMagnification(V.GetMagnification() * (New ? 0.9 : 1)); }},
  };
  const TColor Mark = 0x00FF00; // neither the image nor the background
  for (const auto& [Name, Write] : Writers) {
    V.GetCanvas().SetPixels(450, 350, Mark);
    Write(V, false);
    EXPECT_EQ(test::SurfacePx(V, 450, 350), Mark) << Name;
    Write(V, true);
    EXPECT_NE(test::SurfacePx(V, 450, 350), Mark) << Name;
  }

  // Suppressed, nothing is drawn; lifting it shows the latest state.
  V.GetCanvas().SetPixels(450, 350, Mark);
  V.SetSuppressPaint(true);
  V.SetColorBakGnd(0x0000FF);
  V.SetSuppressPaint(true);
  EXPECT_EQ(test::SurfacePx(V, 450, 350), Mark);
  V.SetSuppressPaint(false);
  EXPECT_EQ(test::SurfacePx(V, 450, 350), 0x0000FFu);
}

TEST(VozIzaView, LoadsJpegAndBmpFiles) {
  const std::string Dir = Folder("load");
  WriteImage(Dir + "a.JPG", 40, 30);
  WriteImage(Dir + "b.Jpeg", 20, 10);
  WriteImage(Dir + "c.bmp", 16, 8);
  { std::ofstream(Dir + "d.txt") << "not a map"; }

  TVozIza V(nullptr);
  int Progress = 0;
  V.SetOnDataLoading([&](TObject*, TProgressStage, uint8_t, bool, const TRect&,
                         const std::string&) { ++Progress; });
  V.SetTopLeft({5, 5});
  V.SetMapImgName(Dir + "a.JPG");
  EXPECT_EQ(V.GetMapImgWidth(), 40);
  EXPECT_EQ(V.GetMapImgHeight(), 30);
  EXPECT_EQ(V.GetMapImgFile(), Dir + "a.JPG");
  EXPECT_EQ(V.GetTopLeft(), (TPoint{0, 0}));
  EXPECT_GT(Progress, 0);
  V.SetMapImgName(Dir + "b.Jpeg");
  EXPECT_EQ(V.GetMapImgWidth(), 20);

  // BMP pixels arrive unchanged.
  V.SetMapImgName(Dir + "c.bmp");
  EXPECT_EQ(V.GetMapImgWidth(), 16);
  EXPECT_EQ(V.GetMapBitmap().GetCanvas().GetPixels(7, 5), test::PixelCode(7, 5));

  // Another extension keeps the picture under the new name.
  V.SetMapImgName(Dir + "d.txt");
  EXPECT_EQ(V.GetMapImgFile(), Dir + "d.txt");
  EXPECT_EQ(V.GetMapImgWidth(), 16);

  // The handler's file is read; the name first given is kept.
  V.SetOnMapImageRequest([&](TObject*, std::string& Name) {
    if (Name == "wanted.jpg") Name = Dir + "a.JPG";
  });
  V.SetMapImgName("wanted.jpg");
  EXPECT_EQ(V.GetMapImgFile(), "wanted.jpg");
  EXPECT_EQ(V.GetMapImgWidth(), 40);

  // Calibration files name images in lower case: the file is found anyway.
  V.SetMapImgName(Dir + "b.jpeg");
  EXPECT_EQ(V.GetMapImgWidth(), 20);
  EXPECT_EQ(V.GetMapImgFile(), Dir + "b.jpeg");

  // A missing file empties the control, and it shows so.
  V.GetCanvas().SetPixels(5, 5, 0x00FF00);
  V.SetMapImgName(Dir + "missing.jpg");
  EXPECT_EQ(V.GetMapImgFile(), "");
  EXPECT_EQ(V.GetMapImgWidth(), 0);
  EXPECT_EQ(V.GetMapImgHeight(), 0);
  EXPECT_EQ(test::SurfacePx(V, 5, 5), test::To15(V.GetColorBackGnd()));
}

TEST(VozIzaView, RefusedImagesKeepThePreviousOne) {
  const std::string Dir = Folder("refuse");
  TVozIza V(nullptr);
  V.SetName("Map1");
  TBitmap Bmp;
  test::FillCodedImage(Bmp, 2000, 1500); // exactly 3,000,000 pixels
  V.SetMapBitMap(&Bmp);
  EXPECT_EQ(V.GetMapImgFile(), "$unknown$");
  EXPECT_EQ(V.GetMapImgWidth(), 2000);

  const std::string Msg = "Component \"Map1\": Cannot use map image, maximum of 3000000 pixels "
                          "exceeded (size of map is 2000 x 1501)";
  TBitmap Big(2000, 1501);
  WriteImage(Dir + "big.bmp", 2000, 1501);
  WriteImage(Dir + "big.jpg", 2000, 1501);
  for (int Way = 0; Way < 3; ++Way) {
    try {
      if (Way == 0) V.SetMapBitMap(&Big);
      if (Way == 1) V.SetMapImgName(Dir + "big.bmp");
      if (Way == 2) V.SetMapImgName(Dir + "big.jpg");
      ADD_FAILURE() << "accepted " << Way;
    } catch (const EQEBVozIzaError& E) {
      EXPECT_EQ(std::string(E.what()), Msg);
    }
    EXPECT_EQ(V.GetMapBitmap().GetHeight(), 1500) << Way;
    EXPECT_EQ(V.GetMapImgHeight(), 1500) << Way;
    EXPECT_EQ(V.GetMapImgFile(), "$unknown$") << Way;
  }

  // A file that cannot be decoded raises the decoder's error and changes
  // nothing else.
  { std::ofstream(Dir + "bad.jpg", std::ios::binary) << "\xFF\xD8\xFF garbage"; }
  { std::ofstream(Dir + "bad.bmp", std::ios::binary) << "BM truncated"; }
  EXPECT_THROW(V.SetMapImgName(Dir + "bad.jpg"), EInvalidGraphic);
  EXPECT_THROW(V.SetMapImgName(Dir + "bad.bmp"), EInvalidGraphic);
  EXPECT_EQ(V.GetMapImgFile(), "$unknown$");
  EXPECT_EQ(V.GetMapBitmap().GetWidth(), 2000);
}

TEST(VozIzaView, SaveAndRename) {
  const std::string Dir = Folder("save");
  TVozIza V(nullptr);
  TBitmap Bmp;
  test::FillCodedImage(Bmp, 64, 48);
  V.SetMapBitMap(&Bmp);
  // A picture that came from memory has no file to rename.
  EXPECT_FALSE(V.RenameMapImg("other"));

  test::CalibrateCorners(V, 50, 10, 40, 20);
  V.SaveMap(Dir + "x.png", "ID7");
  EXPECT_EQ(V.GetMapImgFile(), "x.jpg");
  ASSERT_TRUE(FileExists(Dir + "x.jpg"));
  TVozIza Back(nullptr);
  Back.LoadCalDataFromXML(Dir + "x.xml", "ID7"); // quad calibrations report false
  EXPECT_EQ(Back.GetCalibModel(), cmEquiRect);
  EXPECT_EQ(Back.GetCalibData().NumCalQuads, 4);
  EXPECT_EQ(Back.GetCalibData().MapFName, "x.jpg");

  V.SetMapImgName(Dir + "x.jpg");
  EXPECT_EQ(V.GetMapImgWidth(), 64);
  EXPECT_FALSE(V.RenameMapImg("///"));
  EXPECT_TRUE(V.RenameMapImg("Neu Name.tif"));
  const std::string Renamed = V.GetMapImgFile();
  EXPECT_EQ(ExtractFilePath(Renamed), Dir);
  EXPECT_EQ(ExtractFileExt(Renamed), ".jpg");
  EXPECT_TRUE(FileExists(Renamed));
  EXPECT_FALSE(FileExists(Dir + "x.jpg"));

  // A rename onto an existing file fails and keeps the name.
  WriteImage(Dir + "taken.jpg", 4, 4);
  EXPECT_FALSE(V.RenameMapImg("taken"));
  EXPECT_EQ(V.GetMapImgFile(), Renamed);
  EXPECT_TRUE(FileExists(Renamed));
}

TEST(VozIzaView, AssignCopiesStateButNotEvents) {
  TVozIza A(nullptr);
  TBitmap Bmp;
  test::FillCodedImage(Bmp, 80, 60);
  A.SetMapBitMap(&Bmp);
  test::CalibrateCorners(A, 50, 10, 40, 20);
  A.SetColorBakGnd(0x123456);
  A.SetShowGrat(sgPointsAndLines);
  A.SetTopLeft({7, 9});
  A.SetGratLineDist(2.5);
  A.SetMapCaption("Alps");
  int Zooms = 0;
  A.SetOnZoomPan([&](TObject*) { ++Zooms; });

  TVozIza B(nullptr);
  B.SetBounds(0, 0, 120, 90);
  B.GetCanvas().SetPixels(5, 5, 0x00FF00);
  B.Assign(&A);
  EXPECT_EQ(test::SurfacePx(B, 5, 5), 0x00FF00u); // not repainted
  EXPECT_EQ(B.GetWidth(), 120);                   // bounds are the host's, not state
  EXPECT_EQ(B.GetMapImgWidth(), 80);
  EXPECT_EQ(B.GetMapImgFile(), "$unknown$");
  EXPECT_EQ(B.GetMapBitmap().GetCanvas().GetPixels(13, 17), test::PixelCode(13, 17));
  EXPECT_EQ(B.GetCalibData(), A.GetCalibData());
  EXPECT_EQ(B.GetCalibModel(), cmEquiRect);
  EXPECT_EQ(B.GetColorBackGnd(), 0x123456u);
  EXPECT_EQ(B.GetShowGraticule(), sgPointsAndLines);
  EXPECT_EQ(B.GetTopLeft(), (TPoint{7, 9}));
  EXPECT_EQ(B.GetGratLineDist(), 2.5);
  EXPECT_EQ(B.GetMapCaption(), "Alps");
  bool V1, V2;
  EXPECT_EQ(B.CalcLatitude(40, 30, V1), A.CalcLatitude(40, 30, V2));
  B.DoZoomPanEvent();
  EXPECT_EQ(Zooms, 0);

  EXPECT_THROW(B.Assign(&Bmp), EConvertError);

  // Clear forgets calibration and image name but keeps picture and view.
  B.Clear();
  EXPECT_EQ(B.GetCalibModel(), cmUndefined);
  EXPECT_EQ(B.GetCalibData().NumCalQuads, 0);
  EXPECT_EQ(B.GetMapCaption(), "");
  EXPECT_EQ(B.GetMapImgFile(), "");
  EXPECT_EQ(B.GetMapImgWidth(), 0);
  EXPECT_EQ(B.GetMapBitmap().GetWidth(), 80);
  EXPECT_EQ(B.GetTopLeft(), (TPoint{7, 9}));
}
