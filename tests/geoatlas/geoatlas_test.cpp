#include "qebgeolib/geoatlas/geoatlas.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <tuple>
#include <vector>

#include "qebgeolib/platform/base/sysutils.h"
#include "qebgeolib/platform/controls/stdctrls.h"
#include "qebgeolib/voziza/view.h"
#include "tests/geoatlas/atlasmaps.h"
#include "tests/voziza/viewtest.h"

using namespace qeb;
namespace fs = std::filesystem;

namespace {

std::string Folder(const std::string& Name) {
  const std::string Dir = test::TempPath("atlas_" + Name);
  fs::remove_all(Dir);
  fs::create_directories(Dir);
  return Dir + "/";
}

// The world 60N..30N, 0E..40E on 400 x 300 pixels (0.1 degree a pixel).
constexpr test::TMapBox World{60, 0, 30, 40};

// Prefix and number; it also keeps clear of a false -Wrestrict alarm that
// GCC 12 raises at -O3 on a literal + std::string.
std::string Numbered(std::string Prefix, int32_t N) {
  Prefix += std::to_string(N);
  return Prefix;
}

std::vector<std::string> ListItems(const TGeoAtlas& A) {
  return A.GetMapsComboBox()->GetItems().Strings();
}

} // namespace

TEST(GeoAtlas, ControlTreeAndDefaults) {
  TGeoAtlas A(nullptr);
  EXPECT_EQ(A.GetControlStyle() & (csAcceptsControls | csSetCaption | csFramed | csOpaque),
            csFramed | csOpaque);
  const std::pair<TControl*, TRect> Bounds[] = {
      {&A, Rect(100, 50, 580, 370)},
      {A.GetCmdPanel(), Rect(0, 0, 480, 33)},
      {A.GetPointerButton(), Rect(3, 3, 29, 29)},
      {A.GetZoomButton(), Rect(32, 3, 58, 29)},
      {A.GetMapsComboBox(), Rect(68, 5, 368, 5 + A.GetMapsComboBox()->GetHeight())},
      {A.GetCurrentMap(), Rect(0, 33, 480, 320)}};
  for (const auto& [C, R] : Bounds)
    EXPECT_EQ(C->GetBoundsRect(), R) << C->ClassName();
  EXPECT_EQ(A.GetMapsComboBox()->GetStyle(), csDropDownList);
  for (TSpeedButton* B : {A.GetPointerButton(), A.GetZoomButton()}) {
    EXPECT_TRUE(B->GetFlat() && B->GetGroupIndex() == 999 && B->GetNumGlyphs() == 2);
    EXPECT_EQ(B->GetGlyph().GetWidth(), 40);
    EXPECT_EQ(B->GetDown(), B == A.GetPointerButton());
  }
  const HCURSOR Zoom = Screen().GetCursors(crGeoZoom), Hand = Screen().GetCursors(crGeoHand);
  ASSERT_TRUE(Zoom && Hand);
  EXPECT_EQ(Zoom->HotSpot, (TPoint{6, 6}));
  EXPECT_EQ(Hand->Width, 32);
  EXPECT_EQ(A.GetMapOutlineColor(), 0x00FF0000u);
  EXPECT_EQ(A.GetMinResDiff(), 10.0);
  A.HandleNeeded();
  EXPECT_EQ(A.GetCurrentMap()->GetEmptyMsg(), "TGeoAtlas: Empty");
  // Without the panel the map control takes the whole atlas.
  A.SetCmdPanelVisible(false);
  EXPECT_EQ(A.GetCurrentMap()->GetBoundsRect(), Rect(0, 0, 480, 320));
}

TEST(GeoAtlas, RegistersAndRefusesBadFiles) {
  const std::string Dir = Folder("register");
  const std::string W = test::WriteAtlasMap(Dir, "World", "The world", World, 11000, 400, 300);
  const std::string E = test::WriteAtlasMap(Dir, "Europe", "", {50, 10, 40, 20}, 1000);
  TGeoAtlas A(nullptr);
  ASSERT_TRUE(A.RegisterMap(W) && A.RegisterMap(E));
  EXPECT_EQ(ListItems(A), (std::vector<std::string>{"The world", LowerCase(E)}));
  EXPECT_EQ(A.GetMapDef(1).MapFName, LowerCase(W));
  EXPECT_EQ(A.GetMapDef(1).Corners[gcoBottomRight], (TCoords{30, 40}));
  EXPECT_EQ(A.GetCurrentMap()->GetMapImgWidth(), 0); // not loaded

  // The same file in another letter case updates its entry in place, and
  // the list shows no selection again.
  ASSERT_TRUE(A.SelectMap(2));
  const std::string Upper =
      test::WriteAtlasMap(Dir, "EUROPE", "Europe", {50, 10, 40, 20}, 900, 40, 30, 0, false);
  ASSERT_TRUE(A.RegisterMap(Upper));
  EXPECT_EQ(A.GetNumRegMaps(), 2);
  EXPECT_EQ(A.GetMapDef(2).Resolution, 900);
  EXPECT_EQ(A.GetMapsComboBox()->GetText(), "");
  EXPECT_EQ(ListItems(A)[1], "Europe");

  // Damaged and hostile files change nothing.
  auto Write = [&](const std::string& Name, const std::string& Text) {
    std::ofstream(Dir + Name, std::ios::binary) << Text;
    return Dir + Name;
  };
  const std::string Root =
      "<?xml version=\"1.0\"?>\n<voziza sig=\"QEBCSuite\" model=\"equirect\" map=\"x.bmp\">\n";
  fs::create_directories(Dir + "folder.xml");
  const std::string Bad[] = {
      Dir + "missing.xml",
      Dir + "folder.xml",
      Write("empty.xml", ""),
      Write("garbage.xml", std::string(5000, '\x01')),
      Write("count.xml", Root + "<calquads npoints=\"5\">\n[1,2,3,4]\n</calquads>\n</voziza>\n"),
      Write("corners.xml", Root + "<corners>\n[1,2] [1,2] [1,2] [1,2] [1,2]\n</corners>\n"),
      Write("negres.xml", Root + "<resolution>-5</resolution>\n</voziza>\n"),
      Write("type.xml", Root + "<calline type=\"diagonal\" value=\"1\" npoints=\"0\">\n"),
  };
  for (const std::string& F : Bad) {
    SCOPED_TRACE(F);
    EXPECT_FALSE(A.RegisterMap(F));
    EXPECT_EQ(A.GetNumRegMaps(), 2);
    EXPECT_EQ(ListItems(A).size(), 2u);
  }

  // The 201st distinct map is refused; updating one of the 200 still works.
  for (int32_t I = 3; I <= MaxRegMaps; ++I)
    ASSERT_TRUE(
        A.RegisterMap(test::WriteAtlasMap(Dir, Numbered("m", I), "", World, 5, 4, 3, 0, false)));
  EXPECT_FALSE(A.RegisterMap(test::WriteAtlasMap(Dir, "extra", "", World, 5, 4, 3, 0, false)));
  EXPECT_EQ(A.GetNumRegMaps(), MaxRegMaps);
  EXPECT_TRUE(A.RegisterMap(W));
  EXPECT_EQ(A.GetMapDef(MaxRegMaps + 1), TMapDefinition());
  EXPECT_EQ(A.GetMapDef(0), TMapDefinition());
}

TEST(GeoAtlas, SelectsUnregistersAndSurvivesVanishedFiles) {
  const std::string Dir = Folder("select");
  std::vector<std::string> F;
  for (int32_t I = 1; I <= 4; ++I)
    F.push_back(test::WriteAtlasMap(Dir, Numbered("map", I), Numbered("Map ", I), World, 100.0 * I,
                                    10 * I, 10));
  TGeoAtlas A(nullptr);
  for (const std::string& N : F)
    ASSERT_TRUE(A.RegisterMap(N));
  int Changes = 0;
  A.SetOnCBoxMapsChange([&](TObject* Sender) { Changes += Sender == &A; });
  TVozIza& V = *A.GetCurrentMap();

  // Current index, list selection, image width (the images are 10 * i wide).
  auto State = [&] {
    return std::tuple(A.GetCurrentMapIdx(), A.GetMapsComboBox()->GetItemIndex(),
                      V.GetMapImgWidth());
  };
  EXPECT_FALSE(A.SelectMap(0) || A.SelectMap(5));
  // The image named "C:\maps\map2.bmp" is found beside the calibration file.
  ASSERT_TRUE(A.SelectMap(2));
  EXPECT_EQ(State(), std::tuple(2, 1, 20));
  A.GetMapsComboBox()->Select(2); // the user's pick
  EXPECT_EQ(State(), std::tuple(3, 2, 30));
  // A file that vanished, or was damaged since its registration, leaves the
  // current map, the list and the index.
  fs::remove(F[0]);
  std::ofstream(F[1], std::ios::trunc) << "<voziza sig=\"QEBCSuite\">\n<calline type=\"x\">\n";
  EXPECT_FALSE(A.SelectMap(1) || A.SelectMap(2));
  A.GetMapsComboBox()->Select(0);
  EXPECT_EQ(Changes, 2);
  EXPECT_EQ(State(), std::tuple(3, 2, 30));
  EXPECT_EQ(V.GetCalibData().Resolution, 300);

  // Unregistering another map: the list keeps showing the current one.
  A.UnregisterMap(1);
  EXPECT_EQ(State(), std::tuple(2, 1, 30));
  EXPECT_EQ(ListItems(A), (std::vector<std::string>{"Map 2", "Map 3", "Map 4"}));
  EXPECT_EQ(A.GetMapDef(4), TMapDefinition());
  // Unregistering the selected map selects the one moving into its place;
  // when that was the last entry, nothing is loaded.
  A.UnregisterMap(2);
  EXPECT_EQ(State(), std::tuple(2, 1, 40));
  A.UnregisterMap(2);
  EXPECT_EQ(State(), std::tuple(0, -1, 40));
  EXPECT_EQ(A.GetNumRegMaps(), 1);
}

TEST(GeoAtlas, ZoomPicksByResolution) {
  const std::string Dir = Folder("zoom");
  struct {
    bool In;
    std::vector<double> Resolutions;
    int32_t Expected; // the index chosen, 0 for none
  } const Cases[] = {
      {true, {95, 89}, 2},     {true, {89, 95}, 1},       {true, {50, 80}, 2},
      {true, {80, 50, 80}, 1}, {true, {100, 90, 95}, 0},  {false, {100, 300, 150}, 3},
      {false, {150, 150}, 1},  {false, {100, 99, 50}, 0}, {false, {1e11}, 0},
  };
  int32_t N = 0;
  for (const auto& C : Cases) {
    SCOPED_TRACE(N);
    TGeoAtlas A(nullptr);
    for (const double R : C.Resolutions)
      ASSERT_TRUE(A.RegisterMap(
          test::WriteAtlasMap(Dir, Numbered("c", N++), "", World, R, 4, 3, 0, false)));
    const bool Done = C.In ? A.ZoomIn(45, 20, 100) : A.ZoomOut(45, 20, 100);
    EXPECT_EQ(Done, C.Expected != 0);
    EXPECT_EQ(A.GetCurrentMapIdx(), C.Expected);
    // A position no map covers changes nothing.
    EXPECT_FALSE(A.ZoomIn(10, 20, 1e9));
    EXPECT_FALSE(A.ZoomOut(10, 20, 1));
    EXPECT_EQ(A.GetCurrentMapIdx(), C.Expected);
  }
}

TEST(GeoAtlas, ButtonsAndMouseDrive) {
  const std::string Dir = Folder("mouse");
  TGeoAtlas A(nullptr);
  ASSERT_TRUE(A.RegisterMap(test::WriteAtlasMap(Dir, "world", "", World, 11000, 400, 300)));
  ASSERT_TRUE(A.RegisterMap(test::WriteAtlasMap(Dir, "fine", "", {50, 10, 40, 20}, 1100)));
  ASSERT_TRUE(A.SelectMap(1));
  TVozIza& V = *A.GetCurrentMap();
  std::string Log;
  A.SetOnClick([&](TObject* S) { Log += S == &A ? "click " : "? "; });
  A.SetOnZoomButClick([&](TObject*) { Log += "zoom "; });
  A.SetOnPointerButClick([&](TObject*) { Log += "pointer "; });
  A.SetOnMouseDown([&](TObject* S, TMouseButton, TShiftState, int32_t X, int32_t) {
    Log += S == &A && X == 150 ? "down " : "? ";
  });
  auto ClickOn = [&](TControl* C, TMouseButton B, int32_t X, int32_t Y) {
    Log.clear();
    C->InputMouseDown(B, ButtonShift(B), X, Y);
    C->InputMouseUp(B, 0, X, Y);
  };
  // Image pixel (150, 150) is 45N 15E, inside the finer map: a click there
  // zooms only with the zoom button down.
  ClickOn(&V, mbLeft, 150, 150);
  EXPECT_EQ(A.GetCurrentMapIdx(), 1);
  ClickOn(A.GetZoomButton(), mbLeft, 5, 5);
  EXPECT_EQ(Log, "click zoom ");
  EXPECT_FALSE(A.GetPointerButton()->GetDown());
  EXPECT_EQ(A.GetCursor(), crGeoZoom);
  EXPECT_FALSE(V.GetAllowPan());
  ClickOn(&V, mbLeft, 150, 150);
  EXPECT_EQ(Log, "down click ");
  EXPECT_EQ(A.GetCurrentMapIdx(), 2);
  ClickOn(&V, mbRight, 10, 10);
  EXPECT_EQ(A.GetCurrentMapIdx(), 1);
  ClickOn(A.GetPointerButton(), mbLeft, 5, 5);
  EXPECT_EQ(Log, "click pointer ");
  EXPECT_EQ(A.GetCursor(), crHandPoint);
  EXPECT_TRUE(V.GetAllowPan());
}

TEST(GeoAtlas, OutlinesOfTheOtherMaps) {
  const std::string Dir = Folder("outline");
  TGeoAtlas A(nullptr);
  ASSERT_TRUE(A.RegisterMap(test::WriteAtlasMap(Dir, "world", "", World, 11000, 400, 300)));
  // Inside the view: image pixels (100, 100)..(200, 200).
  ASSERT_TRUE(A.RegisterMap(test::WriteAtlasMap(Dir, "inner", "", {50, 10, 40, 20}, 1100)));
  // Crossing the bottom and right edges of the 480 x 287 view.
  ASSERT_TRUE(A.RegisterMap(test::WriteAtlasMap(Dir, "edge", "", {35, 30, 25, 50}, 1100)));
  ASSERT_TRUE(A.SelectMap(1));
  TVozIza& V = *A.GetCurrentMap();
  const TColor Blue = test::To15(0x00FF0000);
  const TColor Red = test::To15(0x000000FF);
  auto Px = [&](int32_t X, int32_t Y) { return test::SurfacePx(V, X, Y); };
  struct {
    int32_t X, Y;
    bool Outline;
  } const Probes[] =
      {
          {150, 100, true}, {100, 150, true},  {150, 200, true},
          {200, 150, true}, {150, 150, false}, {350, 250, true},
          {300, 270, true}, {450, 250, true},  {400, 150, false}, // the selected map's own edge
      };
  for (const auto& P : Probes) {
    SCOPED_TRACE(testing::Message() << P.X << "," << P.Y);
    EXPECT_EQ(Px(P.X, P.Y) == Blue, P.Outline);
  }
  // Outlines follow the view.
  A.SetMapOutlineColor(0x000000FF);
  V.SetTopLeft({50, 50});
  EXPECT_EQ(Px(100, 50), Red);
  A.SetMapOutlineVisible(false);
  EXPECT_NE(Px(100, 50), Red);
}
