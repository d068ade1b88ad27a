// The composed view of the map control: empty view, image through the cache
// and directly, graticule, UTM grid, markers, events, frame, hostile values.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <vector>

#include "tests/voziza/viewtest.h"

using namespace qeb;
using qeb::test::PixelCode;
using qeb::test::SurfacePx;
using qeb::test::To15;

namespace {

// Pure blue and magenta never occur in a coded image of 400 x 300 pixels
// (its blue channel stays below 22 x 8), so they mark graticule and markers.
constexpr TColor Blue = 0xFF0000, Magenta = 0xFF00FF, Silver15 = 0xC6C6C6;

// A control showing a coded image of W x H pixels.
struct TMapView {
  TVozIza V{nullptr};
  explicit TMapView(int32_t W = 400, int32_t H = 300) { test::ShowCodedImage(V, W, H); }
  TMapView(const TMapView&) = delete;
  TColor Px(int32_t X, int32_t Y) { return SurfacePx(V, X, Y); }
  std::vector<TColor> Pixels() {
    std::vector<TColor> P;
    for (int32_t i = 0; i < 500 * 400; ++i)
      P.push_back(Px(i % 500, i / 500));
    return P;
  }
  void View(TPoint TopLeft, double M) {
    V.SetMagnification(M);
    V.SetTopLeft(TopLeft);
    V.Repaint();
  }
  // The positions along a row (Row >= 0) or column where the view has Color.
  std::set<int32_t> Where(TColor Color, int32_t Row, int32_t Col, int32_t From, int32_t To) {
    std::set<int32_t> S;
    for (int32_t i = From; i <= To; ++i)
      if (Px(Row >= 0 ? i : Col, Row >= 0 ? Row : i) == Color) S.insert(i);
    return S;
  }
  bool Any(TColor Color) {
    const std::vector<TColor> P = Pixels();
    return std::count(P.begin(), P.end(), Color) > 0;
  }
};

// The pixels of R the control shows with a colour for which Pred holds.
template <class F> int32_t CountIf(const TControl& C, const TRect& R, F Pred) {
  int32_t N = 0;
  for (int32_t Y = R.Top; Y < R.Bottom; ++Y)
    for (int32_t X = R.Left; X < R.Right; ++X)
      N += Pred(SurfacePx(C, X, Y));
  return N;
}
auto NotSilver = [](TColor C) { return C != Silver15; };

// A UTM calibration: 10 m a pixel, the top left at northing 5203000 and
// easting 500000, zone 32 north, and a fifth point at image (150, 150).
void CalibrateUTM(TVozIza& V) {
  V.SetCalibModel(cmUTM);
  V.SetUTMZone(32);
  V.SetUTMHemisphere(hemiNorth);
  for (TPoint P :
       {TPoint{0, 0}, TPoint{0, 300}, TPoint{400, 300}, TPoint{400, 0}, TPoint{150, 150}})
    V.AddCalibPoint(5203000.0 - 10 * P.Y, 500000.0 + 10 * P.X, 32, hemiNorth, P.X, P.Y);
}

} // namespace

TEST(VozIzaRender, EmptyViewDesignModeAndFrame) {
  TVozIza V(nullptr);
  V.SetColorFrame(0x0000FF);
  TBitmap Probe(1, 1); // the same default font
  TCanvas& PC = Probe.GetCanvas();
  const TRect Box{10, 10, 10 + PC.TextWidth("VozIza: empty"), 10 + PC.TextHeight("VozIza: empty")};
  const TVozIza& C = V;
  const int32_t Ink = CountIf(C, Box, NotSilver);
  EXPECT_GT(CountIf(C, Box, [](TColor P) { return (P & 0xFF) > 0x80 && (P >> 8 & 0xFF) < 0x80; }),
            0);
  EXPECT_EQ(CountIf(C, TRect{1, 1, 499, 399}, NotSilver), Ink); // nothing but the message
  // The frame keeps its shading colours whatever ColorFrame says.
  EXPECT_EQ(SurfacePx(V, 0, 0), 0u);
  EXPECT_EQ(SurfacePx(V, 499, 399), 0u);
  V.SetFrameStyle(frsRaised);
  EXPECT_EQ(SurfacePx(V, 0, 5), Silver15);          // outer top-left: light face
  EXPECT_EQ(SurfacePx(V, 499, 5), 0u);              // outer bottom-right: dark shadow
  EXPECT_EQ(SurfacePx(V, 1, 5), 0xFFFFFFu);         // inner top-left: highlight
  EXPECT_EQ(SurfacePx(V, 498, 5), To15(0x808080u)); // inner bottom-right: shadow

  TMapView M; // in design mode the message replaces the image
  const TVozIza& MC = M.V;
  EXPECT_EQ(CountIf(MC, Box, NotSilver), Box.Width() * Box.Height());
  M.V.SetDesigning(true);
  M.V.SetColorFrame(0x0000FF);
  EXPECT_EQ(CountIf(MC, TRect{1, 1, 499, 399}, NotSilver), CountIf(MC, Box, NotSilver));
  EXPECT_EQ(CountIf(MC, Box, NotSilver), Ink);
}

TEST(VozIzaRender, SuppressPaintAndInvisible) {
  TMapView M;
  int Calls = 0;
  M.V.SetOnBeforeRenderData([&](TObject*, TCanvas&) { ++Calls; });
  M.V.SetSuppressPaint(true);
  M.V.SetColorBakGnd(0x00FF00);
  M.V.SetShowGrat(sgPoints);
  EXPECT_EQ(Calls, 0);
  EXPECT_EQ(M.Px(450, 350), Silver15);
  M.V.SetSuppressPaint(false);
  EXPECT_EQ(Calls, 1);
  EXPECT_EQ(M.Px(450, 350), 0x00FF00u);
  // Hidden: no image pass, the frame only.
  M.V.SetVisible(false);
  Calls = 0;
  M.V.SetColorBakGnd(0x0000FF);
  EXPECT_EQ(Calls, 0);
  EXPECT_EQ(M.Px(450, 350), 0x00FF00u);
}

TEST(VozIzaRender, SmallMagnificationsPanAcrossOneScaledImage) {
  TMapView M(401, 301);
  M.View({0, 0}, 0.5);
  // Area average of 2 x 2 blocks: red 16 x + 4, whose upper five bits are 2 x.
  EXPECT_EQ(M.Px(3, 2) & 0xFF, To15(6 * 8) & 0xFF);
  const std::vector<TColor> Origin = M.Pixels();
  // The whole image is scaled once and a pan shows a window of it: from
  // image pixel (11, 21) the view starts at scaled pixel (Round(5.5),
  // Round(10.5)) = (6, 10), not at a block of its own.
  M.View({11, 21}, 0.5);
  int32_t Moved = 0;
  for (int32_t Y = 1; Y < 130; ++Y)
    for (int32_t X = 1; X < 190; ++X)
      Moved += M.Px(X, Y) != Origin[(Y + 10) * 500 + X + 6];
  EXPECT_EQ(Moved, 0);
  EXPECT_EQ(M.Px(300, 200), Silver15); // beyond the image
  M.V.SetAntiAlias(false);
  EXPECT_EQ(M.Px(3, 2), To15(PixelCode(2 * 9 + 1, 2 * 12 + 1))); // nearest: scaled (9, 12)
  // Above a lowered limit the view follows AntiAlias straight from the image.
  M.V.SetCacheMagLimit(0.25);
  M.V.SetAntiAlias(true);
  EXPECT_EQ(M.Px(3, 2) & 0xFF, To15((2 * 3 + 11) * 8) & 0xFF);
}

TEST(VozIzaRender, DirectPathOneToOneAndEnlarged) {
  TMapView M;
  M.View({5, 7}, 1.0);
  for (TPoint P : {TPoint{1, 1}, TPoint{100, 37}, TPoint{394, 292}})
    EXPECT_EQ(M.Px(P.X, P.Y), To15(PixelCode(P.X + 5, P.Y + 7)));
  EXPECT_EQ(M.Px(395, 100), Silver15);
  EXPECT_EQ(M.Px(100, 293), Silver15);
  M.V.SetAntiAlias(false);
  M.View({10, 20}, 2.0);
  for (TPoint P : {TPoint{1, 1}, TPoint{101, 37}, TPoint{498, 398}})
    EXPECT_EQ(M.Px(P.X, P.Y), To15(PixelCode(P.X / 2 + 10, P.Y / 2 + 20)));
}

TEST(VozIzaRender, GraticuleSpacingFromTheSpan) {
  TMapView M;
  test::CalibrateCorners(M.V, 47.3, 8.0, 47.0, 8.4);
  M.V.SetShowGrat(sgLines);
  M.View({0, 0}, 1.0);
  EXPECT_EQ(M.Where(Blue, -1, 50, 1, 298), (std::set<int32_t>{100, 200})); // 0.1 degrees
  EXPECT_EQ(M.Where(Blue, 50, -1, 1, 398), (std::set<int32_t>{100, 200, 300}));
  M.V.ClearCalibData();
  test::CalibrateCorners(M.V, 50, 0, 38, 16);
  M.V.Repaint();
  std::set<int32_t> Rows;
  for (int32_t k = 1; k <= 11; ++k)
    Rows.insert(25 * k); // one degree: 300 / 12 pixels
  EXPECT_EQ(M.Where(Blue, -1, 60, 1, 298), Rows);
  M.V.SetGratLineDist(4); // an explicit distance wins: 36, 40, 44, 48 degrees
  EXPECT_EQ(M.Where(Blue, -1, 60, 1, 298), (std::set<int32_t>{50, 150, 250}));
  // So many lines that they would fill the view: none at all.
  M.V.SetShowGrat(sgNone);
  const std::vector<TColor> Bare = M.Pixels();
  M.V.SetGratLineDist(1e-9);
  M.V.SetShowGrat(sgLines);
  EXPECT_EQ(M.Pixels(), Bare);
}

TEST(VozIzaRender, UTMGridOnlyUnderUTM) {
  TMapView M;
  test::CalibrateCorners(M.V, 47.3, 8.0, 47.0, 8.4);
  const std::vector<TColor> Bare = M.Pixels();
  M.V.SetShowGrat(sgUTMGrid);
  EXPECT_EQ(M.Pixels(), Bare);

  M.V.ClearCalibData();
  CalibrateUTM(M.V);
  M.V.SetColorGratPoints(Magenta);
  M.V.SetUTMGridDist(1000);
  M.V.SetShowGrat(sgPointsAndUTMGrid);
  // Grid lines every 100 pixels; no meridians or parallels between them.
  EXPECT_EQ(M.Where(Blue, 50, -1, 1, 398), (std::set<int32_t>{100, 200, 300}));
  EXPECT_EQ(M.Where(Blue, -1, 50, 1, 298), (std::set<int32_t>{100, 200}));
  EXPECT_EQ(M.Px(145, 150), Magenta); // the marker of the fifth point
  // Panned down by 100 rows, the grid stops at the image's bottom edge.
  M.View({0, 100}, 1.0);
  EXPECT_EQ(M.Where(Blue, -1, 100, 1, 198).size(), 198u);
  EXPECT_TRUE(M.Where(Blue, -1, 100, 201, 398).empty());
}

TEST(VozIzaRender, MarkersAndBiquadraticMinimum) {
  TMapView M;
  M.V.SetCalibModel(cmBiquadraticPn);
  M.V.SetColorGratPoints(Magenta);
  const TPoint Pts[] = {{50, 50}, {350, 40}, {360, 250}, {40, 260}, {200, 150}, {120, 200}};
  for (int i = 0; i < 5; ++i)
    M.V.AddCalibPoint(47.3 - Pts[i].Y * 0.001, 8.0 + Pts[i].X * 0.001, Pts[i].X, Pts[i].Y);
  M.V.SetShowGrat(sgPointsAndLines);
  EXPECT_FALSE(M.Any(Blue));
  // The marker at (200, 150): cross and diamond of radius 8 in the marker
  // colour, radius 9 white, radius 10 in the marker colour; nothing beyond.
  for (int32_t k = -8; k < 8; ++k)
    EXPECT_EQ(M.Px(200 + k, 150), Magenta) << k;
  for (auto [R, Color] : {std::pair{8, Magenta}, std::pair{9, 0xFFFFFFu}, std::pair{10, Magenta}})
    for (int32_t k = 0; k < R; ++k) {
      EXPECT_EQ(M.Px(200 - R + k, 150 - k), Color) << R << " " << k;
      EXPECT_EQ(M.Px(200 + R - k, 150 + k), Color) << R << " " << k;
    }
  EXPECT_EQ(M.Px(189, 150), To15(PixelCode(189, 150)));
  EXPECT_EQ(M.Px(201, 151), To15(PixelCode(201, 151)));
  M.V.AddCalibPoint(47.3 - Pts[5].Y * 0.001, 8.0 + Pts[5].X * 0.001, Pts[5].X, Pts[5].Y);
  M.V.Repaint();
  EXPECT_TRUE(M.Any(Blue));
}

TEST(VozIzaRender, ParabolicCurvesPerPixelColumn) {
  TMapView M;
  M.V.SetCalibModel(cmParabolicIp);
  M.V.SetColorGratPoints(Magenta);
  for (int32_t X : {0, 200, 400})
    M.V.AddCalibPoint(gtlParallel, 47.1, X, 100);
  for (int32_t X : {0, 200, 400}) // y = 50 - 20 (1 - ((x - 200) / 200)^2)
    M.V.AddCalibPoint(gtlParallel, 47.2, X, X == 200 ? 30 : 50);
  for (int32_t Y : {0, 300})
    M.V.AddCalibPoint(gtlMeridian, 8.1, 100, Y);
  M.V.SetShowGrat(sgLines);
  M.View({10, 20}, 2.0);
  EXPECT_EQ(M.Where(Blue, 160, -1, 1, 498).size(), 498u);
  EXPECT_EQ(M.Where(Blue, -1, 180, 1, 398).size(), 398u);
  EXPECT_EQ(M.Px(380, 20), Blue);                     // image (200, 30)
  EXPECT_EQ(M.Px(380, 21), To15(PixelCode(200, 30))); // one curve pixel per column
  M.V.SetShowGrat(sgPoints);
  EXPECT_FALSE(M.Any(Blue));
  EXPECT_EQ(M.Px(380, 20), Magenta);
}

TEST(VozIzaRender, RenderEventsInOrder) {
  TMapView M;
  test::CalibrateCorners(M.V, 47.3, 8.0, 47.0, 8.4);
  std::vector<std::string> Log;
  M.V.SetOnBeforeRenderData([&](TObject* S, TCanvas& C) {
    EXPECT_EQ(S, &M.V);
    EXPECT_EQ(C.GetPixels(50, 100), To15(PixelCode(50, 100))); // image in, no graticule yet
    C.SetPixels(50, 101, Magenta);                             // under the graticule
    Log.push_back("before");
  });
  M.V.SetOnDataRendered([&](TObject*, TCanvas& C) {
    EXPECT_EQ(C.GetPixels(50, 100), Blue);
    EXPECT_EQ(C.GetPen().GetColor(), 0x0000FF00u);
    C.SetPixels(100, 50, Magenta); // over the graticule
    Log.push_back("after");
  });
  M.V.SetShowGrat(sgLines);
  EXPECT_EQ(Log, (std::vector<std::string>{"before", "after"}));
  EXPECT_EQ(M.Px(50, 101), Magenta);
  EXPECT_EQ(M.Px(100, 50), Magenta);
}

TEST(VozIzaRender, HostileValuesFinishQuickly) {
  const auto Start = std::chrono::steady_clock::now();
  TMapView M;
  M.V.SetCalibModel(cmParabolicIp);
  for (int32_t X : {0, 200, 400})
    M.V.AddCalibPoint(gtlParallel, 47.1, X, 100 + X);
  M.V.AddCalibPoint(gtlMeridian, 8.1, 100, 0);
  M.V.SetShowGrat(sgPointsAndLines);
  const TPoint Far[] = {{INT32_MAX, INT32_MAX}, {INT32_MIN, INT32_MIN}, {INT32_MAX - 3, -7}};
  for (TPoint T : Far)
    for (double Mag : {MinMagnification, 0.5, 1.0, MaxMagnification})
      M.View(T, Mag);
  const double Nan = std::numeric_limits<double>::quiet_NaN();
  M.V.SetBounds(0, 0, 0, 0);
  M.V.Repaint();
  M.V.SetBounds(0, 0, 500, 400);
  // NaN and huge calibrations, equal corners (a zero span), a dense UTM grid.
  M.V.ClearCalibData();
  test::CalibrateCorners(M.V, 47.3, 8.0, 47.0, 8.4);
  TCalibData D = M.V.GetCalibData();
  for (double Bad : {Nan, 1e300, 47.0}) {
    for (TCoords& K : D.Corners)
      K = {Bad, Bad};
    D.CalQuads[1] = {Bad, Bad, INT32_MAX, INT32_MIN};
    M.V.SetCalibData(D);
    for (TPoint T : Far)
      M.View(T, 1.0);
  }
  M.V.ClearCalibData();
  CalibrateUTM(M.V);
  M.V.SetUTMGridDist(1);
  M.V.SetShowGrat(sgUTMGrid);
  M.View({-100, -100}, MinMagnification);
  M.View({INT32_MIN, INT32_MAX}, MaxMagnification);
  EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::seconds(20));
}

// The block copies a repaint runs on, against the nearest-pixel rule: the
// image (24-, 32- and 15-bit) into the view at 1, 2 and 3 times its size,
// from a first pixel inside a pair, mirrored too, and the view onto the
// 32-bit surface. Enlarging by a whole factor, the area average is the
// nearest pixel.
TEST(VozIzaRender, BlockCopyFastPaths) {
  for (TPixelFormat SF : {pf24bit, pf32bit, pf15bit}) {
    TBitmap S;
    test::FillCodedImage(S, 45, 7);
    S.SetPixelFormat(SF);
    for (TPixelFormat DF : {pf15bit, pf32bit})
      for (TStretchBltMode Mode : {sbmColorOnColor, sbmHalftone})
        for (int32_t K : {1, 2, 3})
          for (bool Mirror : {false, true}) {
            TBitmap D(100, 20, DF);
            D.GetCanvas().SetStretchBltMode(Mode);
            const int32_t W = 37 * K;
            D.GetCanvas().StretchBlt(Mirror ? W - 3 : -3, -1, Mirror ? -W : W, 6 * K, S.GetCanvas(),
                                     5, 1, 37, 6, cmSrcCopy);
            for (int32_t Y = 0; Y < 20; ++Y)
              for (int32_t X = 0; X < 100; ++X) {
                const int32_t P = Mirror ? W - 1 - (X + 3) : X + 3;
                const bool In = X + 3 < W && Y + 1 < 6 * K;
                const TColor C = S.GetCanvas().GetPixels(5 + P / K, 1 + (Y + 1) / K);
                ASSERT_EQ(D.GetCanvas().GetPixels(X, Y), !In             ? 0xFFFFFFu
                                                         : DF == pf15bit ? To15(C)
                                                                         : C)
                    << SF << DF << Mode << K << Mirror << " " << X << "," << Y;
              }
          }
  }
}
