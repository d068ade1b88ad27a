#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "qebgeolib/companion/corelib/base.h"
#include "qebgeolib/companion/mathlib/math2.h"
#include "qebgeolib/geobasics/projections.h"
#include "qebgeolib/voziza/detail/calibmodels.h"
#include "tests/voziza/calibtest.h"

using namespace qeb;
using namespace qeb::detail;
using qeb::test::TTestCalib;

namespace {

constexpr double Pi = std::numbers::pi;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

std::string Message(const std::function<void()>& F) {
  try {
    F();
  } catch (const EQEBVozIzaError& E) {
    return E.what();
  }
  return "(no error)";
}

// Every quad's pixel comes back from its coordinates, and the coordinates
// from the pixel.
void ExpectReproduces(const TTestCalib& C, double Tol) {
  for (int32_t I = 1; I <= C.FCalibData.NumCalQuads; ++I) {
    const TCalQuad& Q = C.FCalibData.CalQuads[I];
    int32_t X = -1, Y = -1;
    if (C.GetCalibModel() == cmUTM)
      EXPECT_TRUE(C.CalcPixelCoordsUTM(Q.Latitude, Q.Longitude, X, Y));
    else
      EXPECT_TRUE(C.CalcPixelCoords(Q.Latitude, Q.Longitude, X, Y));
    EXPECT_EQ(X, Q.MapX) << "quad " << I;
    EXPECT_EQ(Y, Q.MapY) << "quad " << I;
    if (C.GetCalibModel() == cmUTM) continue;
    bool V1 = false, V2 = false;
    EXPECT_NEAR(C.CalcLatitude(Q.MapX, Q.MapY, V1), Q.Latitude, Tol);
    EXPECT_NEAR(C.CalcLongitude(TPoint{Q.MapX, Q.MapY}, V2), Q.Longitude, Tol);
    EXPECT_TRUE(V1 && V2);
  }
}

void AddEquiRectQuads(TTestCalib& C) {
  for (int32_t Y : {0, 250, 800})
    for (int32_t X : {0, 333, 1000})
      C.AddCalibPoint(test::EqLat(Y), test::EqLong(X), X, Y);
}

} // namespace

TEST(Calibration, ModelChecksAndMessages) {
  TTestCalib C;
  EXPECT_EQ(C.GetCalibModel(), cmUndefined);
  EXPECT_EQ(C.GetUTMZone(), 0);
  EXPECT_EQ(C.FGratMat.NrOfColumns(), 5);
  EXPECT_EQ(C.FGratMat.NrOfRows(), 1);
  const std::string Add =
      "Component \"Map1\": current calibration model does not support this version of "
      "AddCalibPoint";
  EXPECT_EQ(Message([&] { C.AddCalibPoint(gtlParallel, 47, 1, 2); }), Add);
  EXPECT_EQ(Message([&] { C.AddCalibPoint(47.0, 8.0, 1, 2); }), Add);
  EXPECT_EQ(Message([&] { C.AddCalibPoint(5e6, 5e5, 32, hemiNorth, 1, 2); }), Add);
  EXPECT_EQ(Message([&] { C.RemoveCalibPoint(gtlParallel, 47, 1, 2); }),
            "Component \"Map1\": current calibration model does not support this version of "
            "RemoveCalibPoint");
  EXPECT_FALSE(C.RemoveCalibPoint(1, 2)); // nothing under cmUndefined, no error
  C.SetCalibModel(cmEquiRect);
  EXPECT_EQ(Message([&] { C.AddCalibPoint(gtlParallel, 47, 1, 2); }), Add);
  C.SetCalibModel(cmParabolicIp);
  EXPECT_EQ(Message([&] { C.AddCalibPoint(47.0, 8.0, 1, 2); }), Add);

  // UTM points need the control's zone and hemisphere, which ClearCalibData
  // resets to "none".
  C.SetCalibModel(cmUTM);
  C.ClearCalibData();
  EXPECT_EQ(C.GetUTMZone(), -1);
  EXPECT_EQ(Message([&] { C.AddCalibPoint(5e6, 5e5, 32, hemiNorth, 1, 2); }),
            "Component \"Map1\": UTM zone parameter changed");
  C.SetUTMZone(0);
  C.SetUTMZone(61);
  EXPECT_EQ(C.GetUTMZone(), -1);
  C.SetUTMZone(32);
  EXPECT_EQ(Message([&] { C.AddCalibPoint(5e6, 5e5, 32, hemiSouth, 1, 2); }),
            "Component \"Map1\": UTM zone parameter changed");
  C.SetUTMHemisphere(hemiSouth);
  EXPECT_EQ(C.GetUTMHemisphere(), hemiSouth);
  EXPECT_TRUE(C.AddCalibPoint(5e6, 5e5, 32, hemiSouth, 1, 2));
  EXPECT_EQ(C.FCalibData.NumCalQuads, 1);
}

TEST(Calibration, GraticulePointsLimitsAndRemoval) {
  TTestCalib C;
  C.SetCalibModel(cmParabolicIp);
  EXPECT_TRUE(C.AddCalibPoint(gtlParallel, 47.5, 10, 20));
  EXPECT_TRUE(C.AddCalibPoint(gtlParallel, 47.5, 30, 40)); // joins the line
  EXPECT_TRUE(C.AddCalibPoint(gtlMeridian, 47.5, 50, 60)); // other kind: new line
  EXPECT_EQ(C.FCalibData.NumCalLines, 2);
  EXPECT_EQ(C.FCalibData.CalLines[1].NumPoints, 2);
  EXPECT_EQ(C.FCalibData.CalLines[1].CalPoints[2], (TPoint{30, 40}));
  EXPECT_FALSE(C.AddCalibPoint(gtlMeridian, NaN, 1, 1));

  for (int32_t I = 3; I <= 10; ++I)
    EXPECT_TRUE(C.AddCalibPoint(gtlParallel, 47.5, I, I));
  const int Paints = C.Paints;
  EXPECT_FALSE(C.AddCalibPoint(gtlParallel, 47.5, 99, 99)); // an 11th point
  EXPECT_EQ(C.FCalibData.CalLines[1].NumPoints, 10);
  EXPECT_EQ(C.Paints, Paints + 1); // recalculated and repainted all the same
  for (int32_t I = 3; I <= 25; ++I)
    EXPECT_TRUE(C.AddCalibPoint(gtlMeridian, I, I, I));
  EXPECT_FALSE(C.AddCalibPoint(gtlMeridian, 26, 1, 1)); // a 26th line
  EXPECT_EQ(C.FCalibData.NumCalLines, 25);

  // Removing the only point of line 2 of three moves line 3 into its slot.
  C.ClearCalibData();
  C.AddCalibPoint(gtlParallel, 1, 0, 0);
  C.AddCalibPoint(gtlParallel, 2, 100, 100);
  C.AddCalibPoint(gtlParallel, 3, 200, 200);
  EXPECT_FALSE(C.RemoveCalibPoint(gtlParallel, 2, 100, 101));
  EXPECT_FALSE(C.FRestoreParaIpOK);
  EXPECT_TRUE(C.RemoveCalibPoint(gtlParallel, 2, 100, 100));
  EXPECT_FALSE(C.FRestoreParaIpOK); // removal at an exact position keeps no undo record
  EXPECT_EQ(C.FCalibData.NumCalLines, 2);
  EXPECT_EQ(C.FCalibData.CalLines[2].LineValue, 3);

  // Nearest point; among equal distances the first one met; restore once.
  C.AddCalibPoint(gtlParallel, 1, 10, 0);
  EXPECT_TRUE(C.RemoveCalibPoint(5, 0)); // (0,0) and (10,0) are equally near
  EXPECT_EQ(C.FCalibData.CalLines[1].CalPoints[1], (TPoint{10, 0}));
  EXPECT_EQ(C.FParaIpOops.CalPoints[1], (TPoint{0, 0}));
  C.RestoreLastDeletedCalPoint();
  EXPECT_EQ(C.FCalibData.CalLines[1].NumPoints, 2);
  EXPECT_EQ(C.FCalibData.CalLines[1].CalPoints[2], (TPoint{0, 0}));
  C.RestoreLastDeletedCalPoint();
  EXPECT_EQ(C.FCalibData.CalLines[1].NumPoints, 2);
  // Far-apart positions do not overflow the distance.
  EXPECT_TRUE(C.RemoveCalibPoint(INT32_MIN, INT32_MIN));
  EXPECT_EQ(C.FParaIpOops.CalPoints[1], (TPoint{0, 0}));
}

TEST(Calibration, QuadPointsUndoAndModelSwitch) {
  TTestCalib C;
  C.SetCalibModel(cmEquiRect);
  for (int32_t I = 1; I <= MaxCalQuads; ++I)
    ASSERT_TRUE(C.AddCalibPoint(47.0 + I / 1000.0, 8.0, I, 0));
  const int Paints = C.Paints;
  EXPECT_FALSE(C.AddCalibPoint(47.0, 8.0, 0, 0));
  EXPECT_EQ(C.Paints, Paints + 1);
  EXPECT_FALSE(C.AddCalibPoint(NaN, 8.0, 0, 0));

  C.ClearCalibData();
  C.AddCalibPoint(1.0, 1.0, 0, 0);
  C.AddCalibPoint(2.0, 2.0, 10, 0);
  C.AddCalibPoint(3.0, 3.0, 20, 0);
  EXPECT_TRUE(C.RemoveCalibPoint(5, 0)); // tie: quad 1 is met first
  EXPECT_EQ(C.FCalibData.NumCalQuads, 2);
  EXPECT_EQ(C.FCalibData.CalQuads[1].MapX, 20); // the last quad moved in
  // A model change keeps the points and the undo record of each family.
  C.SetCalibModel(cmParabolicIp);
  C.RestoreLastDeletedCalPoint(); // the quad flag is not looked at here
  EXPECT_TRUE(C.FRestoreBiQuadOK);
  C.SetCalibModel(cmBiquadraticPn);
  EXPECT_EQ(C.FCalibData.NumCalQuads, 2);
  C.RestoreLastDeletedCalPoint();
  EXPECT_EQ(C.FCalibData.NumCalQuads, 3);
  EXPECT_EQ(C.FCalibData.CalQuads[3], (TCalQuad{1.0, 1.0, 0, 0}));
  EXPECT_FALSE(C.FRestoreBiQuadOK);

  // ClearCalibData keeps name, caption, model, undo records, Miller and conic.
  C.FCalibData.MapFName = "m.jpg";
  C.SetMapCaption("Cap");
  C.FMillercylPar[1][1] = 5;
  C.FConicPars[3] = 7;
  C.FEquRectSPPL[1][1] = 9;
  C.ClearCalibData();
  EXPECT_EQ(C.FCalibData.MapFName, "m.jpg");
  EXPECT_EQ(C.GetMapCaption(), "Cap");
  EXPECT_EQ(C.GetCalibModel(), cmBiquadraticPn);
  EXPECT_EQ(C.FMillercylPar[1][1], 5);
  EXPECT_EQ(C.FConicPars[3], 7);
  EXPECT_EQ(C.FEquRectSPPL[1][1], 0);
  EXPECT_EQ(C.FCalibData.Ellipsoid, gelWGS84);

  // A record set from outside is held to the limits.
  TCalibData D;
  D.NumCalLines = 99;
  D.NumCalQuads = -5;
  D.CalLines[1].NumPoints = 50;
  D.Ellipsoid = static_cast<TGeoEllipsoid>(200);
  C.SetCalibData(D);
  EXPECT_EQ(C.GetCalibData().NumCalLines, 25);
  EXPECT_EQ(C.GetCalibData().NumCalQuads, 0);
  EXPECT_EQ(C.GetCalibData().CalLines[1].NumPoints, 10);
  EXPECT_EQ(C.GetCalibData().Ellipsoid, gelWGS84);
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
    const TCalibData& D = C.FCalibData;
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
  int32_t X = 0, Y = 0;
  EXPECT_TRUE(C.CalcPixelCoords(Lat, Long, X, Y));
  EXPECT_EQ(X, 123);
  EXPECT_EQ(Y, 456);
  // East of 12°E lies zone 33; the grid of zone 32 goes on there.
  UTMToLatLong(450000 + 10 * 30000, 5300000 - 10 * 456, 32, false, gelWGS84, Lat, Long);
  ASSERT_GT(Long, 12);
  EXPECT_TRUE(C.CalcPixelCoords(Lat, Long, X, Y));
  EXPECT_EQ(X, 30000);
  EXPECT_EQ(Y, 456);
  // UTM grid lines: the northing 5296000 (row 400) at every column.
  EXPECT_EQ(C.CalcUTMyFromNorthingX(5296000, 777), 400);
  EXPECT_EQ(C.CalcUTMxFromEastingY(455000, 123), 500);
  // The quality of a UTM calibration is measured through its own quads.
  C.FCalibData.CalQuads[1].MapX += 3;
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
  EXPECT_EQ(C.FMillercylPar[1][1], 0); // two quads fit nothing
  C.AddCalibPoint(Lat(400), Long(300), 300, 400);
  C.AddCalibPoint(Lat(123), Long(777), 777, 123);
  EXPECT_NEAR(C.FMillercylPar[2][1], Kx, 1e-6);
  EXPECT_NEAR(C.FMillercylPar[1][2], Dy, 1e-6);
  ExpectReproduces(C, 1e-9);
  // Three quads on one pixel row give no latitude scale: invalid.
  C.ClearCalibData();
  for (int32_t X : {0, 500, 1000})
    C.AddCalibPoint(47.0 + X / 1000.0, Long(X), X, 100);
  bool V = true;
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
  int32_t X = 7, Y = 9;
  EXPECT_FALSE(C.CalcPixelCoords(47, 10, X, Y)); // no slope yet
  EXPECT_EQ(X, 0);
  EXPECT_EQ(Y, 0);
  for (int32_t Py : {0, 400, 800})
    for (int32_t Px : {0, 250, 500, 1000})
      C.AddCalibPoint(Lat(Px, Py), Long(Px, Py), Px, Py);
  EXPECT_EQ(C.FConicPars[1], 500);
  EXPECT_EQ(C.FConicPars[2], -20000);
  EXPECT_NEAR(C.FConicPars[3], -0.0005, 1e-12);
  EXPECT_NEAR(C.FConicPars[5], 40, 1e-9);
  ExpectReproduces(C, 1e-8);
  double RMS = -1;
  const auto Rows = C.CalibResiduals(RMS);
  ASSERT_EQ(Rows.size(), 12u);
  EXPECT_TRUE(Rows[5].Valid);
  EXPECT_LT(RMS, 1e-6);

  // Fewer than three quads, or no usable score, leave the parameters alone.
  C.ClearCalibData();
  C.AddCalibPoint(47.0, 10.0, 1, 1);
  C.AddCalibPoint(NaN, 10.0, 2, 2);
  EXPECT_EQ(C.FConicPars[1], 500);
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
  EXPECT_EQ(C.FGratMat.NrOfRows(), 1);
  int32_t X = -7, Y = -7;
  EXPECT_FALSE(C.CalcPixelCoords(47, 8, X, Y));
  EXPECT_EQ(X, -7);
  C.AddCalibPoint(gtlMeridian, 11, 5, 5);
  C.AddCalibPoint(gtlMeridian, 11, 6, 600); // two points: a row without parabola
  Meridian(9, 500);
  EXPECT_TRUE(C.RecalcGratMat());
  EXPECT_TRUE(std::isnan(C.FGratMat.GetVal(3, 4)));
  Parallel(48, 300);
  Meridian(10, 900);

  bool V = false;
  EXPECT_NEAR(C.CalcLatitude(300, 500 - 20, V), 47.5, 1e-9); // on a parallel
  EXPECT_TRUE(V);
  EXPECT_NEAR(C.CalcLatitude(300, 600 - 20, V), 47.25, 1e-9); // halfway
  EXPECT_NEAR(C.CalcLatitude(300, 100 - 20, V), 48.5, 1e-9);  // beyond 48: extrapolated
  EXPECT_NEAR(C.CalcLongitude(700 + 10, 600, V), 9.5, 1e-9);
  // The pixel of a crossing lies on both curves, up to rounding.
  auto OnBoth = [&](int32_t Yk, int32_t Xk) {
    EXPECT_NEAR(X, Xk + (Y - 400.0) * (Y - 400.0) / 4000, 1.0);
    EXPECT_NEAR(Y, Yk - (X - 500.0) * (X - 500.0) / 2000, 1.0);
  };
  EXPECT_TRUE(C.CalcPixelCoords(47.5, 9, X, Y));
  OnBoth(500, 500);
  EXPECT_TRUE(C.CalcPixelCoords(48, 10, X, Y));
  OnBoth(300, 900);
  // The intersection gives up far outside: false, but a pixel all the same.
  EXPECT_FALSE(C.CalcPixelCoords(1e6, 1e6, X, Y));
}

TEST(Calibration, RoundingCornersAndEdges) {
  TTestCalib C;
  C.FCalibModel = cmEquiRect;
  C.FEquRectSPPL[1][1] = 10.5;
  C.FEquRectSPPL[2][1] = -2.5;
  C.FEquRectSPPL[2][2] = 1;
  int32_t X = 0, Y = 0;
  EXPECT_TRUE(C.CalcPixelCoords(0, 0, X, Y));
  EXPECT_EQ(X, 10);
  EXPECT_EQ(Y, -2);
  EXPECT_TRUE(C.CalcPixelCoords(6, 0, X, Y));
  EXPECT_EQ(Y, 4); // 3.5 -> 4
  C.FEquRectSPPL[1][1] = 11.5;
  C.CalcPixelCoords(0, 0, X, Y);
  EXPECT_EQ(X, 12);
  EXPECT_FALSE(C.CalcPixelCoords(NaN, 0, X, Y));
  EXPECT_FALSE(C.CalcPixelCoords(1e300, 0, X, Y)); // beyond the 32-bit range
  EXPECT_EQ(Y, INT32_MAX);
  EXPECT_EQ(RoundPixel(-1e300), INT32_MIN);
  EXPECT_EQ(RoundPixel(NaN), 0);
  EXPECT_FALSE(C.CalcPixelCoordsUTM(1, 1, X, Y));
  EXPECT_EQ(X, 0);
  C.FCalibModel = cmUndefined;
  X = Y = 5;
  EXPECT_FALSE(C.CalcPixelCoords(1, 1, X, Y));
  EXPECT_EQ(X, 5);

  TCornerArray K;
  K[gcoTopLeft] = {48, 8};
  K[gcoBottomLeft] = {47, 8};
  K[gcoBottomRight] = {47, 9};
  K[gcoTopRight] = {48, 9};
  EXPECT_TRUE(PositionInMap(47.5, 8.5, K));
  EXPECT_FALSE(PositionInMap(48, 8, K));   // a corner
  EXPECT_FALSE(PositionInMap(47.5, 9, K)); // an edge
  std::swap(K[gcoBottomLeft], K[gcoTopRight]);
  EXPECT_TRUE(PositionInMap(47.5, 8.5, K)); // other orientation
  EXPECT_FALSE(PositionInMap(NaN, 8.5, K));

  // Longitude 200° and 400° across: half and whole circumference added.
  C.FCalibModel = cmEquiRect;
  C.FEquRectPLSP = {};
  for (double Span : {200.0, 400.0}) {
    C.FEquRectPLSP[2][2] = Span / 1000;
    C.CalcExtentsAndResolution();
    const double Short = SphereGreatCircleDist(6378000, 0, 0, 0, Span);
    EXPECT_NEAR(C.FCalibData.Resolution * 1000, Short + (Span > 360 ? 2 : 1) * Pi * 6378000, 1e-6);
  }
  C.Width = C.Height = 0;
  C.FEquRectPLSP[1][1] = 5;
  C.FEquRectPLSP[1][3] = 1;
  C.CalcExtentsAndResolution();
  EXPECT_EQ(C.FCalibData.Resolution, 0);
  for (const TCoords& P : C.FCalibData.Corners)
    EXPECT_EQ(P, (TCoords{5, 0})); // all at pixel (0, 0)
}

TEST(Calibration, SolverProgressAbortAndDegenerateInput) {
  TTestCalib C;
  C.SetCalibModel(cmBiquadraticPn);
  for (int32_t I = 0; I < 10; ++I)
    C.FCalibData.CalQuads[I + 1] = TCalQuad{47 + I * 0.01, 8 + (I % 3) * 0.01, I * 10, I % 3};
  C.FCalibData.NumCalQuads = 10;
  int Calls = 0;
  MathFeedBackProc = [&](double) { ++Calls; };
  const double Before = ProcStat;
  C.CalcBiquadraticCalibration();
  // Four solves of 6 parameters from 10 rows: 3·6 + 6 steps each.
  EXPECT_EQ(ProcStat - Before, 96);
  EXPECT_EQ(Calls, 96);
  EXPECT_NE(C.FCalParsPLSP[1][1], 0);
  AbortMathProc = true;
  C.CalcBiquadraticCalibration();
  AbortMathProc = false;
  MathFeedBackProc = nullptr;
  EXPECT_EQ(C.FCalParsPLSP, (TArray1<TArray1<double, 6>, 2>{}));
  EXPECT_EQ(C.FCalParsSPPL, (TArray1<TArray1<double, 6>, 2>{}));

  // Fewer rows than parameters: the minimum-norm solution. NaN: failure.
  TMatrix A(3, 1);
  A.SetVal(1, 1, 1);
  A.SetVal(2, 1, 1);
  TVector B(1), P;
  B.SetVal(1, 2);
  ASSERT_TRUE(SolveLeastSquaresSVD(A, B, P));
  EXPECT_NEAR(P.GetVal(1), 1, 1e-12);
  EXPECT_NEAR(P.GetVal(2), 1, 1e-12);
  EXPECT_EQ(P.GetVal(3), 0);
  TMatrix Bad(2, 3);
  Bad.Fill(NaN);
  TVector B3(3);
  EXPECT_FALSE(SolveLeastSquaresSVD(Bad, B3, P));
  EXPECT_EQ(P.GetVal(1), 0);
}
