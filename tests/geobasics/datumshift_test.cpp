#include <gtest/gtest.h>

#include <proj.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "qebgeolib/geobasics/geobasics.h"

using namespace qeb;

namespace {

constexpr double D2R = std::numbers::pi / 180;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

double GroundError(double Lat, double DLat, double DLong, double DH) {
  const double R = 6371000.0;
  const double DL = std::remainder(DLong, 360.0);
  return std::sqrt(std::pow(DLat * D2R * R, 2) + std::pow(DL * D2R * R * std::cos(Lat * D2R), 2) +
                   DH * DH);
}

std::string Num(double V) {
  char B[40];
  std::snprintf(B, sizeof B, "%.17g", V);
  return B;
}

std::string CartStep(TGeoEllipsoid E, bool Inverse) {
  return std::string(" +step") + (Inverse ? " +inv" : "") +
         " +proj=cart +a=" + Num(GeoEllipsoidData[E].SemiMajor) +
         " +b=" + Num(GeoEllipsoidData[E].SemiMinor);
}

// The datum's shift towards WGS 1984 (Sign +1) or its negation (Sign -1), which is how the
// backward step is defined: every parameter negated, not the exact inverse.
std::string HelmertStep(const TGeoDatum& D, double Sign) {
  return " +step +proj=helmert +x=" + Num(Sign * D.dX) + " +y=" + Num(Sign * D.dY) +
         " +z=" + Num(Sign * D.dZ) + " +rx=" + Num(Sign * D.rX) + " +ry=" + Num(Sign * D.rY) +
         " +rz=" + Num(Sign * D.rZ) + " +s=" + Num(Sign * D.Scale) + " +convention=position_vector";
}

class TProjPipeline {
public:
  explicit TProjPipeline(const std::string& Def) {
    Ctx = proj_context_create();
    P = proj_create(Ctx, ("+proj=pipeline" + Def).c_str());
  }
  ~TProjPipeline() {
    if (P) proj_destroy(P);
    proj_context_destroy(Ctx);
  }
  bool Ok() const { return P != nullptr; }
  void Trans(double Lat, double Long, double H, double& OLat, double& OLong, double& OH) {
    PJ_COORD C = proj_coord(Long * D2R, Lat * D2R, H, 0);
    C = proj_trans(P, PJ_FWD, C);
    OLat = C.lpz.phi / D2R;
    OLong = C.lpz.lam / D2R;
    OH = C.lpz.z;
  }

private:
  PJ_CONTEXT* Ctx;
  PJ* P;
};

} // namespace

TEST(DatumShift, DatumTable) {
  EXPECT_EQ(GeoDatumRecord(0), nullptr);
  EXPECT_EQ(GeoDatumRecord(272), nullptr);
  EXPECT_EQ(GeoDatumRecord(-1), nullptr);
  EXPECT_EQ(GeoDatumRecord(INT_MIN), nullptr);
  ASSERT_NE(GeoDatumRecord(1), nullptr);
  ASSERT_NE(GeoDatumRecord(271), nullptr);

  struct TRow {
    int N;
    const char *Name, *Area;
    TGeoEllipsoid E;
    double P[7];
  };
  const TRow Telling[] = {
      {1, "ACCRA", "Ghana", gelWarOffice, {-199, 32, 322, 0, 0, 0, 0}},
      {13,
       "RD, AMERSFOORT",
       "Netherlands",
       gelBess41,
       {565, 49.9, 465.8, 4.08, -0.409, 0.36, -1.869}},
      {24, "ARC 1960", "Kenya", gelClrk80, {-62.44, -209.95, 17.83, 7.382, -6.7857, 7.66, 7.2059}},
      {62,
       "EUROPEAN DATUM 1950",
       "Denmark",
       gelInt24,
       {-81.1, -89.4, -115.8, -0.54, 0.485, 0.024, 0.413}},
      {183,
       "ORDNANCE GB 1936",
       "GB - Great Britain",
       gelAiry30,
       {446.448, -125.157, 542.06, -20.49, 0.15, 0.247, 0.8421}},
      {217, "DHDN (RAUENBERG),", "Germany", gelBess41, {582, 105, 414, 8.3, 1.04, 0.35, -3.08}},
      {238, "SOVIET GEODETIC SYSTEM 85", "Russia", gelSGS85, {0, 0, 4, 0, 0, 0, 0.6}},
      {268, "WORLD GEODETIC SYSTEM 1972", "World", gelWGS72, {0, 0, 4.5, 0.219, 0, 0, 0.554}},
      {269, "WORLD GEODETIC SYSTEM 1984", "World", gelWGS84, {0, 0, 0, 0, 0, 0, 0}},
      {271, "ZANDERIJ", "Suriname", gelInt24, {-265, 120, -358, 0, 0, 0, 0}},
  };
  for (const TRow& R : Telling) {
    SCOPED_TRACE(R.N);
    const TGeoDatum& D = *GeoDatumRecord(R.N);
    EXPECT_EQ(D.Name.ToString(), R.Name);
    EXPECT_EQ(D.Area.ToString(), R.Area);
    EXPECT_EQ(D.Ellipsoid, R.E);
    const double Got[7] = {D.dX, D.dY, D.dZ, D.Scale, D.rX, D.rY, D.rZ};
    for (int i = 0; i < 7; ++i)
      EXPECT_EQ(Got[i], R.P[i]) << i;
  }
  EXPECT_EQ(GeoDatumRecord(132)->Name.ToString(), "LISBON (Castelo di Sao Jorge), D7");
  EXPECT_EQ(GeoDatumRecord(160)->Area.ToString(), "Canada-Alberta/British Columbia");

  int SevenParam = 0;
  std::vector<int> SameAsWGS84;
  for (int N = 1; N <= GeoDatumCount; ++N) {
    const TGeoDatum& D = *GeoDatumRecord(N);
    if (D.Scale != 0 || D.rX != 0 || D.rY != 0 || D.rZ != 0) ++SevenParam;
    if (D.Ellipsoid == gelWGS84 && D.dX == 0 && D.dY == 0 && D.dZ == 0 && D.Scale == 0 &&
        D.rX == 0 && D.rY == 0 && D.rZ == 0)
      SameAsWGS84.push_back(N);
  }
  EXPECT_EQ(SevenParam, 58);
  EXPECT_EQ(SameAsWGS84,
            (std::vector<int>{86, 91, 98, 111, 126, 133, 152, 154, 155, 157, 243, 269}));
}

TEST(DatumShift, CartesianRoundTripsPolarAxisAndSphere) {
  double Worst = 0;
  for (TGeoEllipsoid E : {gelWGS84, gelBess41, gelClrk80, gelSphere})
    for (double Lat = -89.9; Lat <= 89.9; Lat += 2.3)
      for (double Long = -180; Long <= 180; Long += 7.5)
        for (double H : {-400.0, 0.0, 1500.0, 9000.0}) {
          double X, Y, Z, BLat, BLong, BH;
          GeoToCartesian(Lat, Long, H, E, X, Y, Z);
          CartesianToGeo(X, Y, Z, E, BLat, BLong, BH);
          Worst = std::max(Worst, GroundError(Lat, BLat - Lat, BLong - Long, BH - H));
          EXPECT_TRUE(BLong >= -180 && BLong <= 180);
        }
  EXPECT_LT(Worst, 1e-3);

  // The polar axis: no division by zero; ±90, longitude 0, height above the pole.
  const double B = GeoEllipsoidData[gelWGS84].SemiMinor;
  double Lat, Long, H;
  CartesianToGeo(0, 0, B + 250, gelWGS84, Lat, Long, H);
  EXPECT_EQ(Lat, 90.0);
  EXPECT_EQ(Long, 0.0);
  EXPECT_NEAR(H, 250, 1e-9);
  CartesianToGeo(0, 0, -B - 10, gelWGS84, Lat, Long, H);
  EXPECT_EQ(Lat, -90.0);
  EXPECT_NEAR(H, 10, 1e-9);
  CartesianToGeo(0, 0, 0, gelWGS84, Lat, Long, H);
  EXPECT_EQ(Lat, 90.0);
  EXPECT_EQ(H, -B);
  // Close to the axis the closed form takes over smoothly.
  CartesianToGeo(1e-3, 0, B, gelWGS84, Lat, Long, H);
  EXPECT_NEAR(Lat, 90 - 1e-3 / 6399593.6 / D2R, 1e-12); // 1 mm over the polar radius of curvature
  EXPECT_NEAR(H, 0, 1e-6);
  // The negative X axis: ±180 by the sign of Y.
  CartesianToGeo(-6378137.0, 0.0, 0, gelWGS84, Lat, Long, H);
  EXPECT_EQ(Long, 180.0);
  EXPECT_EQ(Lat, 0.0);
  EXPECT_NEAR(H, 0, 1e-9);
  CartesianToGeo(-6378137.0, -0.0, 0, gelWGS84, Lat, Long, H);
  EXPECT_EQ(Long, -180.0);
  // Deep inside the Earth the latitude stays in range.
  CartesianToGeo(1000, 0, 5, gelWGS84, Lat, Long, H);
  EXPECT_TRUE(Lat >= -90 && Lat <= 90 && std::isfinite(H));

  // On a sphere f = 0: spherical latitude and height above the sphere.
  const double R = GeoEllipsoidData[gelSphere].SemiMajor;
  CartesianToGeo(1e6, 2e6, 5e6, gelSphere, Lat, Long, H);
  EXPECT_NEAR(Lat, std::atan2(5e6, std::hypot(1e6, 2e6)) / D2R, 1e-12);
  EXPECT_NEAR(Long, std::atan2(2e6, 1e6) / D2R, 1e-12);
  EXPECT_NEAR(H, std::sqrt(1e12 + 4e12 + 25e12) - R, 1e-8);

  double X, Y, Z;
  CartesianToGeo(NaN, 0, 1e6, gelWGS84, Lat, Long, H);
  EXPECT_TRUE(std::isnan(Lat));
  GeoToCartesian(NaN, 0, 0, gelWGS84, X, Y, Z);
  EXPECT_TRUE(std::isnan(X));
}

TEST(DatumShift, HelmertStatusRules) {
  double Lat = 1111, Long = 2222, H = 3333;
  auto Untouched = [&] { return Lat == 1111 && Long == 2222 && H == 3333; };
  EXPECT_EQ(HelmertTransform(0, 50, 10, 0, 269, Lat, Long, H), htBadSource);
  EXPECT_TRUE(Untouched());
  EXPECT_EQ(HelmertTransform(1, 50, 10, 0, 272, Lat, Long, H), htBadTarget);
  EXPECT_TRUE(Untouched());
  EXPECT_EQ(HelmertTransform(0, 50, 10, 0, 272, Lat, Long, H), htBadTarget);
  EXPECT_TRUE(Untouched());
  // The latitude test comes after the datum tests, and hides the bad source.
  EXPECT_EQ(HelmertTransform(300, 95, 10, 0, 269, Lat, Long, H), htBadLatitude);
  EXPECT_TRUE(Untouched());
  EXPECT_EQ(HelmertTransform(269, 50, 10, 0, 0, Lat, Long, H), htBadTarget);
  EXPECT_EQ(HelmertTransform(269, NaN, 10, 0, 269, Lat, Long, H), htBadLatitude);
  EXPECT_TRUE(std::isnan(Lat)); // computed anyway
  // With valid datums the shift runs despite a bad latitude or longitude.
  EXPECT_EQ(HelmertTransform(269, 50, 190, 10, 269, Lat, Long, H), htBadLongitude);
  EXPECT_NEAR(Lat, 50, 1e-9);
  EXPECT_NEAR(std::remainder(Long - 190, 360), 0, 1e-9);
  EXPECT_EQ(HelmertTransform(269, 95, 10, 0, 269, Lat, Long, H), htBadLatitude);
  EXPECT_FALSE(Untouched());

  // Identity shifts reproduce the input to well under a millimetre.
  for (int D : {269, 86, 154})
    for (double Lt : {-89.0, -33.3, 0.0, 47.1, 89.0})
      for (double Lg : {-180.0, -75.5, 0.0, 120.25, 180.0}) {
        ASSERT_EQ(HelmertTransform(D, Lt, Lg, 321.5, D, Lat, Long, H), htOk);
        EXPECT_LT(GroundError(Lt, Lat - Lt, Long - Lg, H - 321.5), 1e-3) << D;
      }
}

TEST(DatumShift, EPSGWorkedExampleWGS72ToWGS84) {
  // IOGP Guidance Note 7-2, position vector transformation: WGS 72 -> WGS 84 with tZ = +4.5 m,
  // rZ = +0.554", dS = +0.219 ppm, which is table row 268.
  double Lat, Long, H, Lat2, Long2, H2, X, Y, Z;
  CartesianToGeo(3657660.66, 255768.55, 5201382.11, gelWGS72, Lat, Long, H);
  ASSERT_EQ(HelmertTransform(268, Lat, Long, H, 269, Lat2, Long2, H2), htOk);
  GeoToCartesian(Lat2, Long2, H2, gelWGS84, X, Y, Z);
  EXPECT_NEAR(X, 3657660.78, 0.01);
  EXPECT_NEAR(Y, 255778.43, 0.01);
  EXPECT_NEAR(Z, 5201387.75, 0.01);
}

TEST(DatumShift, HelmertAgainstPROJ) {
  const int Datums[] = {13, 24, 62, 183, 217, 238, 268, 1, 59, 95, 167, 262, 271};
  const double Points[][3] = {{52.1, 5.3, 40},   {-1.3, 36.8, 1700},  {55.7, 12.6, 12},
                              {51.5, -0.1, 80},  {48.1, 11.6, 520},   {55.75, 37.6, 150},
                              {-33.9, 151.2, 5}, {5.6, -0.2, 60},     {35.7, 139.7, -30},
                              {-54.8, -68.3, 0}, {70.0, -150.0, 2000}};
  double Worst = 0;
  auto Compare = [&](const std::string& Def, int From, int To) {
    TProjPipeline P(Def);
    ASSERT_TRUE(P.Ok()) << Def;
    for (const auto& Pt : Points) {
      double Lat, Long, H, PLat, PLong, PH;
      ASSERT_EQ(HelmertTransform(From, Pt[0], Pt[1], Pt[2], To, Lat, Long, H), htOk);
      P.Trans(Pt[0], Pt[1], Pt[2], PLat, PLong, PH);
      const double Err = GroundError(PLat, Lat - PLat, Long - PLong, H - PH);
      EXPECT_LT(Err, 1e-3) << From << " -> " << To << " at " << Pt[0] << ", " << Pt[1];
      Worst = std::max(Worst, Err);
    }
  };
  const TGeoDatum& W = *GeoDatumRecord(269);
  for (int N : Datums) {
    const TGeoDatum& D = *GeoDatumRecord(N);
    Compare(CartStep(D.Ellipsoid, false) + HelmertStep(D, 1) + CartStep(W.Ellipsoid, true), N, 269);
    Compare(CartStep(W.Ellipsoid, false) + HelmertStep(D, -1) + CartStep(D.Ellipsoid, true), 269,
            N);
  }
  // Between two local datums through WGS 1984.
  const TGeoDatum& S = *GeoDatumRecord(217);
  const TGeoDatum& T = *GeoDatumRecord(183);
  Compare(CartStep(S.Ellipsoid, false) + HelmertStep(S, 1) + HelmertStep(T, -1) +
              CartStep(T.Ellipsoid, true),
          217, 183);
  std::cout << "[ info ] Helmert vs PROJ pipelines: max difference " << Worst * 1000 << " mm\n";
}
