#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <numbers>

#include "qebgeolib/companion/corelib/base.h"
#include "qebgeolib/companion/mathlib/math2.h"
#include "qebgeolib/geobasics/projections.h"
#include "qebgeolib/voziza/detail/calibmodels.h"
#include "qebgeolib/voziza/view.h"
#include "tests/errortext.h"
#include "tests/voziza/calibtest.h"

using namespace qeb;
using qeb::test::ErrorOf;
using qeb::test::TTestCalib;

namespace {

constexpr double Pi = std::numbers::pi;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// CalcPixelCoords as one value: its result and the pixel (Start before).
struct TPixel {
  bool Ok;
  int32_t X, Y;
  friend bool operator==(const TPixel&, const TPixel&) = default;
};
TPixel PixelOf(const TTestCalib& C, double Lat, double Long, TPoint Start = {}) {
  TPixel P{false, Start.X, Start.Y};
  P.Ok = C.CalcPixelCoords(Lat, Long, P.X, P.Y);
  return P;
}

// Every quad's pixel comes back from its coordinates, and the coordinates
// from the pixel.
void ExpectReproduces(const TTestCalib& C, double Tol) {
  const TCalibData D = C.GetCalibData();
  for (int32_t I = 1; I <= D.NumCalQuads; ++I) {
    const TCalQuad& Q = D.CalQuads[I];
    TPixel P = PixelOf(C, Q.Latitude, Q.Longitude);
    if (C.GetCalibModel() == cmUTM) P.Ok = C.CalcPixelCoordsUTM(Q.Latitude, Q.Longitude, P.X, P.Y);
    EXPECT_EQ(P, (TPixel{true, Q.MapX, Q.MapY})) << "quad " << I;
    if (C.GetCalibModel() == cmUTM) continue;
    bool V = false; // an invalid result is 0, far from every quad's coordinates
    EXPECT_NEAR(C.CalcLatitude(Q.MapX, Q.MapY, V), Q.Latitude, Tol);
    EXPECT_NEAR(C.CalcLongitude(TPoint{Q.MapX, Q.MapY}, V), Q.Longitude, Tol);
  }
}

void AddEquiRectQuads(TTestCalib& C) {
  for (int32_t Y : {0, 250, 800})
    for (int32_t X : {0, 333, 1000})
      C.AddCalibPoint(test::EqLat(Y), test::EqLong(X), X, Y);
}

} // namespace

TEST(Calibration, ModelChecksAndMessages) {
  const std::string Pre = "Component \"Map1\": ", Fine = "(no error)";
  const std::string Unsupported =
      Pre + "current calibration model does not support this version of ";
  const std::string Add = Unsupported + "AddCalibPoint", Remove = Unsupported + "RemoveCalibPoint";
  TTestCalib C;
  C.SetUTMZone(32);
  // The form of AddCalibPoint each model takes, by ordinal; the graticule
  // form of RemoveCalibPoint goes with the graticule one. cmUndefined comes
  // last, so that it meets stored points and still removes none by position.
  const std::string Takes[] = {"grat", "geo", "geo", "geo", "geo", "utm", ""};
  for (int32_t M = cmParabolicIp; M <= cmUndefined; ++M) {
    C.SetCalibModel(static_cast<TCalibModel>(M));
    const std::string& T = Takes[M];
    EXPECT_EQ(ErrorOf([&] { C.AddCalibPoint(gtlParallel, 47, 1, 2); }), T == "grat" ? Fine : Add);
    EXPECT_EQ(ErrorOf([&] { C.AddCalibPoint(47.0, 8.0, 1, 2); }), T == "geo" ? Fine : Add);
    EXPECT_EQ(ErrorOf([&] { C.AddCalibPoint(5e6, 5e5, 32, hemiNorth, 1, 2); }),
              T == "utm" ? Fine : Add);
    EXPECT_EQ(ErrorOf([&] { C.RemoveCalibPoint(gtlParallel, 47, 3, 4); }),
              T == "grat" ? Fine : Remove);
  }
  EXPECT_FALSE(C.RemoveCalibPoint(1, 2));
  EXPECT_EQ(C.GetCalibData().NumCalQuads, 5);

  // UTM points need the control's zone and hemisphere, which ClearCalibData
  // resets to "none".
  C.SetCalibModel(cmUTM);
  C.ClearCalibData();
  EXPECT_EQ(C.GetUTMZone(), -1);
  const std::string Changed = Pre + "UTM zone parameter changed";
  EXPECT_EQ(ErrorOf([&] { C.AddCalibPoint(5e6, 5e5, 32, hemiNorth, 1, 2); }), Changed);
  C.SetUTMZone(0);
  C.SetUTMZone(61);
  EXPECT_EQ(C.GetUTMZone(), -1);
  C.SetUTMZone(32);
  EXPECT_EQ(ErrorOf([&] { C.AddCalibPoint(5e6, 5e5, 32, hemiSouth, 1, 2); }), Changed);
  C.SetUTMHemisphere(hemiSouth);
  EXPECT_TRUE(C.AddCalibPoint(5e6, 5e5, 32, hemiSouth, 1, 2));
}

TEST(Calibration, GraticulePointsLimitsAndRemoval) {
  TTestCalib C;
  auto D = [&] { return C.GetCalibData(); };
  C.SetCalibModel(cmParabolicIp);
  EXPECT_TRUE(C.AddCalibPoint(gtlParallel, 47.5, 10, 20));
  EXPECT_TRUE(C.AddCalibPoint(gtlParallel, 47.5, 30, 40)); // joins the line
  EXPECT_TRUE(C.AddCalibPoint(gtlMeridian, 47.5, 50, 60)); // other kind: new line
  EXPECT_FALSE(C.AddCalibPoint(gtlMeridian, NaN, 1, 1));
  EXPECT_EQ(D().NumCalLines, 2);
  EXPECT_EQ(D().CalLines[1].CalPoints[2], (TPoint{30, 40}));
  for (int32_t I = 3; I <= 10; ++I)
    EXPECT_TRUE(C.AddCalibPoint(gtlParallel, 47.5, I, I));
  EXPECT_FALSE(C.AddCalibPoint(gtlParallel, 47.5, 99, 99)); // an 11th point
  EXPECT_EQ(D().CalLines[1].NumPoints, 10);
  for (int32_t I = 3; I <= 25; ++I)
    EXPECT_TRUE(C.AddCalibPoint(gtlMeridian, I, I, I));
  EXPECT_FALSE(C.AddCalibPoint(gtlMeridian, 26, 1, 1)); // a 26th line
  EXPECT_EQ(D().NumCalLines, 25);

  // Removing the only point of line 2 of three moves line 3 into its slot;
  // removal at an exact position leaves nothing to restore.
  C.ClearCalibData();
  C.AddCalibPoint(gtlParallel, 1, 0, 0);
  C.AddCalibPoint(gtlParallel, 2, 100, 100);
  C.AddCalibPoint(gtlParallel, 3, 200, 200);
  EXPECT_FALSE(C.RemoveCalibPoint(gtlParallel, 2, 100, 101));
  EXPECT_TRUE(C.RemoveCalibPoint(gtlParallel, 2, 100, 100));
  C.RestoreLastDeletedCalPoint();
  EXPECT_EQ(D().NumCalLines, 2);
  EXPECT_EQ(D().CalLines[2].LineValue, 3);

  // Nearest point; among equal distances the first one met; restored once,
  // as the last point of its line.
  C.AddCalibPoint(gtlParallel, 1, 10, 0);
  EXPECT_TRUE(C.RemoveCalibPoint(5, 0)); // (0,0) and (10,0) are equally near
  EXPECT_EQ(D().CalLines[1].CalPoints[1], (TPoint{10, 0}));
  C.RestoreLastDeletedCalPoint();
  C.RestoreLastDeletedCalPoint();
  EXPECT_EQ(D().CalLines[1].NumPoints, 2);
  EXPECT_EQ(D().CalLines[1].CalPoints[2], (TPoint{0, 0}));
  // Far-apart positions do not overflow the distance: (0,0) is the nearest.
  EXPECT_TRUE(C.RemoveCalibPoint(INT32_MIN, INT32_MIN));
  EXPECT_EQ(D().CalLines[1].NumPoints, 1);
  EXPECT_EQ(D().CalLines[1].CalPoints[1], (TPoint{10, 0}));
}

TEST(Calibration, QuadPointsUndoAndModelSwitch) {
  TTestCalib C;
  auto D = [&] { return C.GetCalibData(); };
  C.SetCalibModel(cmEquiRect);
  for (int32_t I = 1; I <= MaxCalQuads; ++I)
    ASSERT_TRUE(C.AddCalibPoint(47.0 + I / 1000.0, 8.0, I, 0));
  EXPECT_FALSE(C.AddCalibPoint(47.0, 8.0, 0, 0));
  EXPECT_EQ(D().NumCalQuads, MaxCalQuads);

  // ClearCalibData empties points, corners, resolution and the affine fit,
  // and keeps map name, caption and model.
  TCalibData Named = D();
  Named.MapFName = "m.jpg";
  C.SetCalibData(Named);
  C.SetMapCaption("Cap");
  C.ClearCalibData();
  EXPECT_EQ(D().MapFName, "m.jpg");
  EXPECT_EQ(C.GetMapCaption(), "Cap");
  EXPECT_EQ(C.GetCalibModel(), cmEquiRect);
  EXPECT_EQ(D().NumCalQuads, 0);
  EXPECT_EQ(D().Corners, TCornerArray{});
  EXPECT_EQ(D().Resolution, 0);
  bool V = false;
  EXPECT_EQ(C.CalcLatitude(100, 0, V), 0);
  EXPECT_FALSE(C.AddCalibPoint(NaN, 8.0, 0, 0));
  C.AddCalibPoint(1.0, 1.0, 0, 0);
  C.AddCalibPoint(2.0, 2.0, 10, 0);
  C.AddCalibPoint(3.0, 3.0, 20, 0);
  EXPECT_TRUE(C.RemoveCalibPoint(5, 0)); // tie: quad 1 is met first
  EXPECT_EQ(D().NumCalQuads, 2);
  EXPECT_EQ(D().CalQuads[1].MapX, 20); // the last quad moved in
  // A model change keeps the points and the undo record of each family.
  C.SetCalibModel(cmParabolicIp);
  C.RestoreLastDeletedCalPoint(); // the quad record is not looked at here
  EXPECT_EQ(D().NumCalQuads, 2);
  EXPECT_EQ(D().NumCalLines, 0);
  C.SetCalibModel(cmBiquadraticPn);
  C.RestoreLastDeletedCalPoint();
  C.RestoreLastDeletedCalPoint(); // the record is used up
  EXPECT_EQ(D().NumCalQuads, 3);
  EXPECT_EQ(D().CalQuads[3], (TCalQuad{1.0, 1.0, 0, 0}));
  ExpectReproduces(C, 1e-9); // fewer quads than parameters fit all the same

  // A record set from outside is held to the limits.
  TCalibData Bad;
  Bad.NumCalLines = 99;
  Bad.NumCalQuads = -5;
  Bad.CalLines[1].NumPoints = 50;
  Bad.Ellipsoid = static_cast<TGeoEllipsoid>(200);
  C.SetCalibData(Bad);
  EXPECT_EQ(D().NumCalLines, 25);
  EXPECT_EQ(D().NumCalQuads, 0);
  EXPECT_EQ(D().CalLines[1].NumPoints, 10);
  EXPECT_EQ(D().Ellipsoid, gelWGS84);
}

TEST(Calibration, AffineAndBiquadraticReproduceAnAffineMap) {
  for (TCalibModel M : {cmEquiRect, cmBiquadraticPn}) {
    TTestCalib C;
    C.SetCalibModel(M);
    AddEquiRectQuads(C);
    // Squares of pixel coordinates cost the biquadratic fit some digits.
    const double Tol = M == cmEquiRect ? 1e-10 : 1e-8;
    ExpectReproduces(C, Tol);
    // Corners and resolution: the middle line runs along latitude 47.6 from
    // longitude 8 to 9, 2·R·asin(cos φ·sin(Δλ/2)) metres over 1000 pixels.
    const TCalibData D = C.GetCalibData();
    EXPECT_NEAR(D.Corners[gcoTopLeft].Latit, 48, Tol);
    EXPECT_NEAR(D.Corners[gcoBottomRight].Latit, 47.2, Tol);
    EXPECT_NEAR(D.Corners[gcoBottomRight].Longit, 9, Tol);
    EXPECT_NEAR(D.Corners[gcoTopRight].Longit, 9, Tol);
    const double Expected =
        2 * 6378000 * std::asin(std::cos(47.6 * Pi / 180) * std::sin(0.5 * Pi / 180)) / 1000;
    EXPECT_NEAR(D.Resolution, Expected, 1e-6);
    EXPECT_TRUE(C.IsPositionWithinMap(47.6, 8.5));
    EXPECT_FALSE(C.IsPositionWithinMap(47.6, 9.5));
    double QX = -1, QY = -1;
    C.CalibQuality(QX, QY);
    EXPECT_EQ(QX, 0);
    EXPECT_EQ(QY, 0);
  }
}

TEST(Calibration, UTMMapAndZoneBorder) {
  TTestCalib C;
  C.SetCalibModel(cmUTM);
  C.SetUTMZone(32);
  // 10 m a pixel, north up.
  for (int32_t Y : {0, 400, 800})
    for (int32_t X : {0, 500, 1000})
      C.AddCalibPoint(5300000.0 - 10 * Y, 450000.0 + 10 * X, 32, hemiNorth, X, Y);
  ExpectReproduces(C, 0);
  double Lat = 0, Long = 0;
  UTMToLatLong(450000 + 10 * 123, 5300000 - 10 * 456, 32, false, gelWGS84, Lat, Long);
  bool V = false;
  EXPECT_NEAR(C.CalcLatitude(123, 456, V), Lat, 1e-9);
  EXPECT_NEAR(C.CalcLongitude(123, 456, V), Long, 1e-9);
  // The same pixel in the next zone lies 6 degrees further east.
  C.SetUTMZone(33);
  EXPECT_NEAR(C.CalcLongitude(123, 456, V), Long + 6, 1e-9);
  C.SetUTMZone(32);
  EXPECT_EQ(PixelOf(C, Lat, Long), (TPixel{true, 123, 456}));
  // East of 12°E lies zone 33; the grid of zone 32 goes on there.
  UTMToLatLong(450000 + 10 * 30000, 5300000 - 10 * 456, 32, false, gelWGS84, Lat, Long);
  ASSERT_GT(Long, 12);
  EXPECT_EQ(PixelOf(C, Lat, Long), (TPixel{true, 30000, 456}));
  // UTM grid lines: the northing 5296000 (row 400) at every column.
  EXPECT_EQ(C.CalcUTMyFromNorthingX(5296000, 777), 400);
  EXPECT_EQ(C.CalcUTMxFromEastingY(455000, 123), 500);
  // The quality of a UTM calibration is measured through its own quads.
  TCalibData D = C.GetCalibData();
  D.CalQuads[1].MapX += 3;
  C.SetCalibData(D);
  double QX = 0, QY = 0;
  C.CalibQuality(QX, QY);
  EXPECT_DOUBLE_EQ(QX, 1); // one residual of 3 among 9 quads
  EXPECT_EQ(QY, 0);
}

TEST(Calibration, MillerMap) {
  TTestCalib C;
  C.SetCalibModel(cmMillerCylindrical);
  const double Kx = 2000, Dx = -100, Ky = -2000, Dy = 3000;
  auto Lat = [&](double Y) {
    return (std::atan(std::exp((Y - Dy) / Ky)) - Pi / 4) * 2.5 * 180 / Pi;
  };
  auto Long = [&](double X) { return (X - Dx) / Kx * 180 / Pi; };
  C.AddCalibPoint(Lat(0), Long(0), 0, 0);
  C.AddCalibPoint(Lat(800), Long(1000), 1000, 800);
  bool V = true;
  C.CalcLatitude(0, 0, V);
  EXPECT_FALSE(V); // two quads fit nothing
  C.AddCalibPoint(Lat(400), Long(300), 300, 400);
  C.AddCalibPoint(Lat(123), Long(777), 777, 123);
  ExpectReproduces(C, 1e-9);
  auto ExpectMap = [&] {
    for (TPoint P : {TPoint{-500, 1200}, TPoint{640, 10}}) {
      EXPECT_NEAR(C.CalcLatitude(P, V), Lat(P.Y), 1e-9);
      EXPECT_NEAR(C.CalcLongitude(P, V), Long(P.X), 1e-9);
    }
  };
  ExpectMap();
  // ClearCalibData keeps the fit until three new quads come; three on one
  // pixel row give no latitude scale: invalid.
  C.ClearCalibData();
  C.AddCalibPoint(47.0, Long(0), 0, 100);
  C.AddCalibPoint(47.5, Long(500), 500, 100);
  ExpectMap();
  C.AddCalibPoint(48.0, Long(1000), 1000, 100);
  C.CalcLatitude(0, 0, V);
  EXPECT_FALSE(V);
  C.CalcLongitude(0, 0, V);
  EXPECT_TRUE(V);
}

TEST(Calibration, ConicMap) {
  // Cone apex at (500, -20000); latitude falls 0.0005° a pixel of distance,
  // longitude 40° a radian of angle.
  auto Lat = [](double X, double Y) { return 57 - 0.0005 * std::hypot(X - 500, Y + 20000); };
  auto Long = [](double X, double Y) { return 10 + 40 * std::atan((X - 500) / (Y + 20000)); };
  TTestCalib C;
  C.SetCalibModel(cmConicConformal);
  EXPECT_EQ(PixelOf(C, 47, 10, {7, 9}), (TPixel{false, 0, 0})); // no slope yet
  for (int32_t Py : {0, 400, 800})
    for (int32_t Px : {0, 250, 500, 1000})
      C.AddCalibPoint(Lat(Px, Py), Long(Px, Py), Px, Py);
  ExpectReproduces(C, 1e-8);
  // The search lands on the apex itself, so the map holds far off the
  // quads; ClearCalibData keeps the fit until three new quads come.
  bool V = false;
  auto ExpectMap = [&] {
    for (TPoint P : {TPoint{-3000, 5000}, TPoint{4000, -2000}, TPoint{500, 100}}) {
      EXPECT_NEAR(C.CalcLatitude(P, V), Lat(P.X, P.Y), 1e-9);
      EXPECT_NEAR(C.CalcLongitude(P, V), Long(P.X, P.Y), 1e-9);
    }
  };
  ExpectMap();
  double RMS = -1;
  const auto Rows = C.CalibResiduals(RMS);
  ASSERT_EQ(Rows.size(), 12u);
  EXPECT_TRUE(Rows[5].Valid);
  EXPECT_LT(RMS, 1e-6);
  C.ClearCalibData();
  C.AddCalibPoint(10.0, 10.0, 1, 1);
  C.AddCalibPoint(11.0, 10.0, 2, 2);
  ExpectMap();
}

TEST(Calibration, CurvedGraticule) {
  // Parallels y = Yk - (x-500)²/2000 at 47, 47.5, 48 (Yk = 700, 500, 300);
  // meridians x = Xk + (y-400)²/4000 at 8, 9, 10 (Xk = 100, 500, 900).
  TTestCalib C;
  C.SetCalibModel(cmParabolicIp);
  auto Parallel = [&](double Lat, int32_t Yk) {
    for (int32_t X : {100, 300, 500, 700, 900})
      C.AddCalibPoint(gtlParallel, Lat, X, Yk - (X - 500) * (X - 500) / 2000);
  };
  auto Meridian = [&](double Long, int32_t Xk) {
    for (int32_t Y : {0, 200, 400, 600, 800})
      C.AddCalibPoint(gtlMeridian, Long, Xk + (Y - 400) * (Y - 400) / 4000, Y);
  };
  Parallel(47, 700);
  Parallel(47.5, 500);
  Meridian(8, 100);
  EXPECT_FALSE(C.RecalcGratMat());
  bool V = true;
  C.CalcLatitude(300, 500, V);
  EXPECT_FALSE(V);
  EXPECT_EQ(PixelOf(C, 47, 8, {-7, -7}), (TPixel{false, -7, -7}));
  C.AddCalibPoint(gtlMeridian, 11, 5, 5);
  C.AddCalibPoint(gtlMeridian, 11, 6, 600); // two points: no parabola
  Meridian(9, 500);
  EXPECT_TRUE(C.RecalcGratMat());
  // West of meridian 8, extrapolated from 8 and 9; the short line is passed over.
  EXPECT_NEAR(C.CalcLongitude(0, 400, V), 7.75, 1e-9);
  Parallel(48, 300);
  Meridian(10, 900);

  EXPECT_NEAR(C.CalcLatitude(300, 500 - 20, V), 47.5, 1e-9);  // on a parallel
  EXPECT_NEAR(C.CalcLatitude(300, 600 - 20, V), 47.25, 1e-9); // halfway
  EXPECT_NEAR(C.CalcLatitude(300, 100 - 20, V), 48.5, 1e-9);  // beyond 48: extrapolated
  EXPECT_NEAR(C.CalcLongitude(700 + 10, 600, V), 9.5, 1e-9);
  // The pixel of a crossing lies on both curves, up to rounding.
  auto OnBoth = [&](double Lat, double Long, int32_t Yk, int32_t Xk) {
    const TPixel P = PixelOf(C, Lat, Long);
    EXPECT_TRUE(P.Ok);
    EXPECT_NEAR(P.X, Xk + (P.Y - 400.0) * (P.Y - 400.0) / 4000, 1.0);
    EXPECT_NEAR(P.Y, Yk - (P.X - 500.0) * (P.X - 500.0) / 2000, 1.0);
  };
  OnBoth(47.5, 9, 500, 500);
  OnBoth(48, 10, 300, 900);
  // The intersection gives up far outside.
  EXPECT_FALSE(PixelOf(C, 1e6, 1e6).Ok);
}

TEST(Calibration, RoundingCornersAndEdges) {
  // Halves go to the even neighbour; the 32-bit range saturates.
  const double In[] = {10.5, 11.5, -2.5, 3.5, 0.49999999999999994, NaN, 1e300, -1e300};
  const int32_t Out[] = {10, 12, -2, 4, 0, 0, INT32_MAX, INT32_MIN};
  for (int I = 0; I < 8; ++I)
    EXPECT_EQ(detail::RoundPixel(In[I]), Out[I]) << In[I];

  // Conversions round rather than truncate, and refuse what is no pixel.
  TTestCalib C;
  C.SetCalibModel(cmEquiRect);
  AddEquiRectQuads(C);
  EXPECT_EQ(PixelOf(C, test::EqLat(99.7), test::EqLong(10.6)), (TPixel{true, 11, 100}));
  EXPECT_FALSE(PixelOf(C, NaN, 8).Ok);
  EXPECT_EQ(PixelOf(C, -1e300, 8).Y, INT32_MAX); // far south of the 32-bit range
  EXPECT_FALSE(PixelOf(C, -1e300, 8).Ok);
  int32_t X = 1, Y = 1;
  EXPECT_FALSE(C.CalcPixelCoordsUTM(1, 1, X, Y));
  EXPECT_EQ((TPoint{X, Y}), (TPoint{0, 0}));

  // An empty image: no resolution, every corner at pixel (0, 0).
  bool V = false;
  const TCoords Origin{C.CalcLatitude(0, 0, V), C.CalcLongitude(0, 0, V)};
  C.Width = C.Height = 0;
  C.CalcExtentsAndResolution();
  EXPECT_EQ(C.GetCalibData().Resolution, 0);
  for (const TCoords& P : C.GetCalibData().Corners)
    EXPECT_EQ(P, Origin);
  C.SetCalibModel(cmUndefined);
  EXPECT_EQ(PixelOf(C, 1, 1, {5, 5}), (TPixel{false, 5, 5}));

  TCornerArray K{{{48, 8}, {47, 8}, {47, 9}, {48, 9}}}; // top left, bottom left, ...
  // The centre is inside; a corner, a point of an edge and NaN are not.
  EXPECT_TRUE(PositionInMap(47.5, 8.5, K));
  EXPECT_FALSE(PositionInMap(48, 8, K) || PositionInMap(47.5, 9, K) || PositionInMap(NaN, 8.5, K));
  std::swap(K[gcoBottomLeft], K[gcoTopRight]);
  EXPECT_TRUE(PositionInMap(47.5, 8.5, K)); // other orientation

  // Longitude 200° and 400° across: half and whole circumference added.
  for (double Span : {200.0, 400.0}) {
    TTestCalib S;
    S.SetCalibModel(cmEquiRect);
    for (int32_t Py : {0, 800})
      for (int32_t Px : {0, 1000})
        S.AddCalibPoint(-Py / 1000.0, Span * Px / 1000, Px, Py);
    const double Short = SphereGreatCircleDist(6378000, -0.4, 0, -0.4, Span);
    EXPECT_NEAR(S.GetCalibData().Resolution * 1000, Short + (Span > 360 ? 2 : 1) * Pi * 6378000,
                1e-3);
  }
}

TEST(Calibration, SolverProgressAbortAndDegenerateInput) {
  // Latitude 47 + x/1000 and longitude 8 + y/100, which the biquadratic
  // model holds exactly.
  TTestCalib C;
  C.SetCalibModel(cmBiquadraticPn);
  TCalibData D = C.GetCalibData();
  for (int32_t I = 0; I < 10; ++I)
    D.CalQuads[I + 1] = TCalQuad{47 + I * 0.01, 8 + (I % 3) * 0.01, I * 10, I % 3};
  D.NumCalQuads = 10;
  C.SetCalibData(D);
  int Calls = 0;
  MathFeedBackProc = [&](double) { ++Calls; };
  const double Before = ProcStat;
  C.CalcBiquadraticCalibration();
  // Four solves of 6 parameters from 10 rows: 3·6 + 6 steps each.
  EXPECT_EQ(ProcStat - Before, 96);
  EXPECT_EQ(Calls, 96);
  bool V = false;
  EXPECT_NEAR(C.CalcLatitude(35, 2, V), 47.035, 1e-9);
  // A solve that fails (on a coordinate that is no number) leaves zeros.
  D.CalQuads[1].Latitude = NaN;
  C.SetCalibData(D);
  C.CalcBiquadraticCalibration();
  EXPECT_EQ(PixelOf(C, 47.035, 8.02), (TPixel{true, 0, 0}));
  AbortMathProc = true;
  C.CalcBiquadraticCalibration();
  AbortMathProc = false;
  MathFeedBackProc = nullptr;
  // Every parameter stays 0.
  EXPECT_EQ(C.CalcLatitude(35, 2, V), 0);
  EXPECT_EQ(C.CalcLongitude(35, 2, V), 0);
}

// The map control shows every change of its calibration at once: a point's
// marker appears on the control's surface when the point comes and goes
// when it goes.
TEST(Calibration, MapControlShowsEachCalibrationChange) {
  const std::string File = std::string(QEB_TEST_TMPDIR) + "/calib_shown.xml";
  std::ofstream(File) << "<voziza sig=\"QEBCSuite\" model=\"equirect\">\n"
                         "<calquads npoints=\"1\">[47,8,350,150]</calquads></voziza>\n";

  TVozIza V(nullptr);
  TBitmap White;
  White.NewImage(400, 300, pf24bit);
  V.SetMapBitMap(&White);
  V.SetShowGrat(sgPoints);
  // Whether the surface shows the red of a marker's horizontal stroke (or
  // the white of the image) at the point.
  auto Shown = [&](const char* What, int32_t X, int32_t Y, bool Want) {
    uint32_t Px = 0;
    std::memcpy(&Px, V.GetSurface().ScanLine(Y) + 4 * (X + 4), 4);
    EXPECT_EQ(V.GetSurface().PixelToColor(Px), Want ? 0x0000FFu : 0xFFFFFFu) << What;
  };
  V.SetCalibModel(cmEquiRect);
  V.AddCalibPoint(47.0, 8.0, 100, 100);
  Shown("AddCalibPoint", 100, 100, true);
  V.RemoveCalibPoint(100, 100);
  Shown("RemoveCalibPoint", 100, 100, false);
  V.AddCalibPoint(47.0, 8.0, 200, 50);
  V.ClearCalibData();
  Shown("ClearCalibData", 200, 50, false);
  V.RestoreLastDeletedCalPoint();
  Shown("RestoreLastDeletedCalPoint", 100, 100, true);
  V.SetCalibModel(cmParabolicIp); // shows graticule points only
  Shown("SetCalibModel", 100, 100, false);
  V.AddCalibPoint(gtlParallel, 47, 300, 200);
  Shown("AddCalibPoint graticule", 300, 200, true);
  V.RemoveCalibPoint(gtlParallel, 47, 300, 200);
  Shown("RemoveCalibPoint graticule", 300, 200, false);
  V.SetCalibModel(cmUTM);
  V.SetUTMZone(32);
  V.AddCalibPoint(5e6, 5e5, 32, hemiNorth, 50, 250);
  Shown("AddCalibPoint UTM", 50, 250, true);
  V.SetCalibDataFile(File);
  Shown("SetCalibDataFile", 350, 150, true);
}
