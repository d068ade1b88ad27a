#include <gtest/gtest.h>

#include <GeographicLib/PolarStereographic.hpp>
#include <GeographicLib/TransverseMercatorExact.hpp>
#include <cmath>
#include <iostream>
#include <limits>
#include <numbers>
#include <string>

#include "qebgeolib/geobasics/geobasics.h"

using namespace qeb;

namespace {

constexpr double D2R = std::numbers::pi / 180;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

// Distance in metres of a small angular difference at latitude Lat (degrees).
double GroundError(double Lat, double DLat, double DLong) {
  const double R = 6371000.0;
  return std::hypot(DLat * D2R * R, DLong * D2R * R * std::cos(Lat * D2R));
}

// ---- A literal evaluation of the series, written as the formulas read.

struct TLiteral {
  double a, b, n, ep2;
  explicit TLiteral(TGeoEllipsoid E)
      : a(GeoEllipsoidData[E].SemiMajor), b(GeoEllipsoidData[E].SemiMinor), n((a - b) / (a + b)),
        ep2((a * a - b * b) / (b * b)) {}

  double Arc(double phi) const {
    double alpha = ((a + b) / 2) * (1 + std::pow(n, 2) / 4 + std::pow(n, 4) / 64);
    double beta = -3 * n / 2 + 9 * std::pow(n, 3) / 16 - 3 * std::pow(n, 5) / 32;
    double gamma = 15 * std::pow(n, 2) / 16 - 15 * std::pow(n, 4) / 32;
    double delta = -35 * std::pow(n, 3) / 48 + 105 * std::pow(n, 5) / 256;
    double epsilon = 315 * std::pow(n, 4) / 512;
    return alpha * (phi + beta * std::sin(2 * phi) + gamma * std::sin(4 * phi) +
                    delta * std::sin(6 * phi) + epsilon * std::sin(8 * phi));
  }

  double Footpoint(double y) const {
    double alpha = ((a + b) / 2) * (1 + std::pow(n, 2) / 4 + std::pow(n, 4) / 64);
    double yp = y / alpha;
    double beta = 3 * n / 2 - 27 * std::pow(n, 3) / 32 + 269 * std::pow(n, 5) / 512;
    double gamma = 21 * std::pow(n, 2) / 16 - 55 * std::pow(n, 4) / 32;
    double delta = 151 * std::pow(n, 3) / 96 - 417 * std::pow(n, 5) / 128;
    double epsilon = 1097 * std::pow(n, 4) / 512;
    return yp + beta * std::sin(2 * yp) + gamma * std::sin(4 * yp) + delta * std::sin(6 * yp) +
           epsilon * std::sin(8 * yp);
  }

  void Forward(double phi, double lambda, double lambda0, double& x, double& y) const {
    double nu2 = ep2 * std::pow(std::cos(phi), 2);
    double N = a * a / (b * std::sqrt(1 + nu2));
    double t = std::tan(phi), t2 = t * t;
    double l = lambda - lambda0, c = std::cos(phi);
    x = N * c * l + (N / 6) * std::pow(c, 3) * (1 - t2 + nu2) * std::pow(l, 3) +
        (N / 120) * std::pow(c, 5) * (5 - 18 * t2 + std::pow(t, 4) + 14 * nu2 - 58 * t2 * nu2) *
            std::pow(l, 5) +
        (N / 5040) * std::pow(c, 7) * (61 - 479 * t2 + 179 * std::pow(t, 4) - std::pow(t, 6)) *
            std::pow(l, 7);
    y = Arc(phi) + (t / 2) * N * std::pow(c, 2) * std::pow(l, 2) +
        (t / 24) * N * std::pow(c, 4) * (5 - t2 + 9 * nu2 + 4 * nu2 * nu2) * std::pow(l, 4) +
        (t / 720) * N * std::pow(c, 6) *
            (61 - 58 * t2 + std::pow(t, 4) + 270 * nu2 - 330 * t2 * nu2) * std::pow(l, 6) +
        (t / 40320) * N * std::pow(c, 8) *
            (1385 - 3111 * t2 + 543 * std::pow(t, 4) - std::pow(t, 6)) * std::pow(l, 8);
  }

  void Inverse(double x, double y, double lambda0, double& phi, double& lambda) const {
    double phif = Footpoint(y), cf = std::cos(phif);
    double nuf2 = ep2 * cf * cf;
    double Nf = a * a / (b * std::sqrt(1 + nuf2));
    double tf = std::tan(phif), tf2 = tf * tf, tf4 = tf2 * tf2, tf6 = tf4 * tf2;
    phi = phif + tf / (2 * std::pow(Nf, 2)) * (-1 - nuf2) * std::pow(x, 2) +
          tf / (24 * std::pow(Nf, 4)) *
              (5 + 3 * tf2 + 6 * nuf2 - 6 * tf2 * nuf2 - 3 * nuf2 * nuf2 - 9 * tf2 * nuf2 * nuf2) *
              std::pow(x, 4) +
          tf / (720 * std::pow(Nf, 6)) *
              (-61 - 90 * tf2 - 45 * tf4 - 107 * nuf2 + 162 * tf2 * nuf2) * std::pow(x, 6) +
          tf / (40320 * std::pow(Nf, 8)) * (1385 + 3633 * tf2 + 4095 * tf4 + 1575 * tf6) *
              std::pow(x, 8);
    lambda = lambda0 + x / (Nf * cf) +
             1 / (6 * std::pow(Nf, 3) * cf) * (-1 - 2 * tf2 - nuf2) * std::pow(x, 3) +
             1 / (120 * std::pow(Nf, 5) * cf) *
                 (5 + 28 * tf2 + 24 * tf4 + 6 * nuf2 + 8 * tf2 * nuf2) * std::pow(x, 5) +
             1 / (5040 * std::pow(Nf, 7) * cf) * (-61 - 662 * tf2 - 1320 * tf4 - 720 * tf6) *
                 std::pow(x, 7);
  }
};

// Relative agreement, with values near zero compared to 1 unit; remembers the worst case.
double WorstRelative = 0;
::testing::AssertionResult Agrees(double Fast, double Literal) {
  const double Rel = std::fabs(Fast - Literal) / std::max(std::fabs(Literal), 1.0);
  WorstRelative = std::max(WorstRelative, Rel);
  if (Rel <= 1e-12) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << Fast << " vs literal " << Literal;
}

} // namespace

TEST(Projections, UTMZonesAndBands) {
  auto Zone = [](double Lat, double Long) {
    int32_t Z = -1;
    char L = '?';
    GeoToUTMZone(Lat, Long, Z, L);
    EXPECT_EQ(GeoToUTMZone(Lat, Long), Z == 0 ? std::string() : std::to_string(Z) + L);
    return std::to_string(Z) + L;
  };
  EXPECT_EQ(Zone(52.5, 13.4), "33U");
  EXPECT_EQ(Zone(60, 5), "32V"); // Norway
  EXPECT_EQ(Zone(60, 2.99), "31V");
  EXPECT_EQ(Zone(60, 11.99), "32V");
  EXPECT_EQ(Zone(60, 12), "33V");
  EXPECT_EQ(Zone(78, 15), "33X"); // Svalbard
  EXPECT_EQ(Zone(78, 8.99), "31X");
  EXPECT_EQ(Zone(78, 9), "33X");
  EXPECT_EQ(Zone(78, 21), "35X");
  EXPECT_EQ(Zone(78, 33), "37X");
  EXPECT_EQ(Zone(78, 41.99), "37X");
  EXPECT_EQ(Zone(78, 42), "38X");
  EXPECT_EQ(Zone(84, 0), "31X");
  EXPECT_EQ(Zone(-80, -180), "1C");
  EXPECT_EQ(Zone(0, 179.5), "60N");
  // The largest longitude below 180 must not spill into a zone 61.
  EXPECT_EQ(Zone(0, std::nextafter(180.0, 0.0)), "60N");
  const std::string Bands = "CDEFGHJKLMNPQRSTUVWX";
  for (int k = 0; k < 20; ++k)
    EXPECT_EQ(Zone(-80 + 8 * k + 4, -123).back(), Bands[k]);
  EXPECT_EQ(Zone(72, -123), "10X"); // X spans 72..84
  EXPECT_EQ(Zone(-0.0001, 0), "31M");
  EXPECT_EQ(Zone(0, 0), "31N");

  for (auto [Lat, Long] : {std::pair{84.01, 0.0},
                           {0.0, 180.0},
                           {-80.01, 0.0},
                           {0.0, -180.01},
                           {NaN, 0.0},
                           {0.0, NaN},
                           {Inf, 0.0},
                           {0.0, -Inf}}) {
    int32_t Z = -1;
    char L = '?';
    GeoToUTMZone(Lat, Long, Z, L);
    EXPECT_EQ(Z, 0);
    EXPECT_EQ(L, ' ');
    EXPECT_EQ(GeoToUTMZone(Lat, Long), "");
  }

  EXPECT_DOUBLE_EQ(UTMCentralMeridian(33), 15 * D2R);
  EXPECT_DOUBLE_EQ(UTMCentralMeridian(1), -177 * D2R);
  EXPECT_EQ(UTMCentralMeridian(0), 0.0);
  EXPECT_EQ(UTMCentralMeridian(61), 0.0);
}

TEST(Projections, UTMEdgesRoundTripsAndBadInput) {
  int32_t Zone;
  double X, Y, Lat, Long;
  LatLongToUTM(0, 15, gelWGS84, Zone, X, Y);
  EXPECT_EQ(Zone, 33);
  EXPECT_EQ(X, 500000.0);
  EXPECT_EQ(Y, 0.0);
  LatLongToUTM(-1e-6, 15, gelWGS84, Zone, X, Y);
  EXPECT_TRUE(Y < 10000000.0 && Y > 9999999.0);
  LatLongToUTM(-80, 17.9, gelWGS84, Zone, X, Y);
  EXPECT_TRUE(Y > 0 && Y < 10000000.0);

  // Known meridian arcs of WGS 1984.
  EXPECT_NEAR(ArcLengthOfMeridian(45 * D2R, gelWGS84), 4984944.378, 1e-3);
  EXPECT_NEAR(ArcLengthOfMeridian(90 * D2R, gelWGS84), 10001965.729, 1e-3);
  EXPECT_NEAR(ArcLengthOfMeridian(-45 * D2R, gelWGS84), -4984944.378, 1e-3);

  // Round trip within 1 mm near the central meridian of zone 10 (no exceptions there).
  double Worst = 0;
  for (double Lt = -80; Lt <= 84; Lt += 0.5)
    for (double D = -2.9; D <= 2.9; D += 0.29) {
      LatLongToUTM(Lt, -123 + D, gelWGS84, Zone, X, Y);
      ASSERT_EQ(Zone, 10);
      UTMToLatLong(X, Y, Zone, Lt < 0, gelWGS84, Lat, Long);
      Worst = std::max(Worst, GroundError(Lt, Lat - Lt, Long - (-123 + D)));
    }
  EXPECT_LT(Worst, 1e-3);
  std::cout << "[ info ] UTM round trip, |dlon| <= 2.9 deg: max error " << Worst * 1000 << " mm\n";

  // Outside the UTM range: zone 0 and a projection about the meridian 0.
  LatLongToUTM(85, 1, gelWGS84, Zone, X, Y);
  EXPECT_EQ(Zone, 0);
  double Tx, Ty;
  LatLongToTM(85 * D2R, 1 * D2R, 0, gelWGS84, Tx, Ty);
  EXPECT_NEAR(X, Tx * 0.9996 + 500000, 1e-6);

  // NaN and infinities: no hang, no trap, non-finite output, zone 0.
  auto Finite = [](double A, double B) { return std::isfinite(A) && std::isfinite(B); };
  for (double Bad : {NaN, Inf, -Inf}) {
    LatLongToUTM(Bad, 10, gelWGS84, Zone, X, Y);
    EXPECT_EQ(Zone, 0);
    EXPECT_FALSE(Finite(X, Y));
    UTMToLatLong(Bad, 5e6, 33, false, gelWGS84, Lat, Long);
    EXPECT_FALSE(Finite(Lat, Long));
    UTMToLatLong(5e5, Bad, 33, true, gelWGS84, Lat, Long);
    EXPECT_FALSE(Finite(Lat, Long));
    LatLongToUPS(Bad, 0, gelWGS84, X, Y);
    EXPECT_FALSE(Finite(X, Y));
    UPSToLatLong(Bad, 2e6, false, gelWGS84, Lat, Long);
    EXPECT_FALSE(Finite(Lat, Long));
  }
  LatLongToUTM(50, 10, static_cast<TGeoEllipsoid>(99), Zone, X, Y);
  EXPECT_EQ(Zone, 32);
  EXPECT_TRUE(std::isnan(X) && std::isnan(Y));
}

TEST(Projections, UTMForwardAgainstExactTransverseMercator) {
  const GeographicLib::TransverseMercatorExact& Exact =
      GeographicLib::TransverseMercatorExact::UTM();
  double Max3 = 0, Max6 = 0;
  // Through LatLongToUTM itself up to 3° from the central meridian (zone 10, -123°).
  for (double Lat = -80; Lat <= 84; Lat += 0.5)
    for (double D = -3; D < 3; D += 0.25) {
      int32_t Zone;
      double X, Y, Ex, Ey;
      LatLongToUTM(Lat, -123 + D, gelWGS84, Zone, X, Y);
      ASSERT_EQ(Zone, 10);
      Exact.Forward(-123, Lat, -123 + D, Ex, Ey);
      Ex += 500000;
      if (Ey < 0) Ey += 10000000;
      Max3 = std::max(Max3, std::hypot(X - Ex, Y - Ey));
    }
  // Through the TM primitive up to 6°, scaled and shifted as UTM does.
  for (double Lat = -80; Lat <= 84; Lat += 0.5)
    for (double D = -6; D <= 6; D += 0.25) {
      double X, Y, Ex, Ey;
      LatLongToTM(Lat * D2R, (9 + D) * D2R, 9 * D2R, gelWGS84, X, Y);
      Exact.Forward(9, Lat, 9 + D, Ex, Ey);
      Max6 = std::max(Max6, std::hypot(X * 0.9996 - Ex, Y * 0.9996 - Ey));
    }
  std::cout << "[ info ] UTM forward vs GeographicLib TransverseMercatorExact, lat -80..84: max "
            << Max3 * 1000 << " mm at |dlon| <= 3 deg, " << Max6 * 1000 << " mm at <= 6 deg\n";
  RecordProperty("MaxErrorMm3Deg", std::to_string(Max3 * 1000));
  RecordProperty("MaxErrorMm6Deg", std::to_string(Max6 * 1000));
  EXPECT_LT(Max3, 0.02e-3);
  EXPECT_LT(Max6, 1e-3);
}

TEST(Projections, FastSeriesAgreeWithLiteralFormulas) {
  for (TGeoEllipsoid E : {gelWGS84, gelClrk66, gelAiry30, gelEver30Ind, gelSphere}) {
    SCOPED_TRACE(GeoEllipsoidId[E]);
    const TLiteral Lit(E);
    for (double Lat = -88; Lat <= 88; Lat += 1.375) {
      const double Phi = Lat * D2R;
      EXPECT_TRUE(Agrees(ArcLengthOfMeridian(Phi, E), Lit.Arc(Phi)));
      for (double D = -8; D <= 8; D += 0.8) {
        double X, Y, Lx, Ly;
        LatLongToTM(Phi, (20 + D) * D2R, 20 * D2R, E, X, Y);
        Lit.Forward(Phi, (20 + D) * D2R, 20 * D2R, Lx, Ly);
        EXPECT_TRUE(Agrees(X, Lx)) << Lat << " " << D;
        EXPECT_TRUE(Agrees(Y, Ly)) << Lat << " " << D;
      }
    }
    for (double Y = -9.4e6; Y <= 9.4e6; Y += 0.37e6)
      for (double X = -8e5; X <= 8e5; X += 0.7e5) {
        double Phi, Lambda, Lp, Ll;
        TMToLatLong(X, Y, 0.3, E, Phi, Lambda);
        Lit.Inverse(X, Y, 0.3, Lp, Ll);
        EXPECT_TRUE(Agrees(Phi, Lp)) << X << " " << Y;
        EXPECT_TRUE(Agrees(Lambda, Ll)) << X << " " << Y;
      }
  }
  std::cout << "[ info ] fast vs literal series: max relative difference " << WorstRelative << "\n";
}

TEST(Projections, UPSEdgesAndAgainstGeographicLib) {
  double X, Y, Lat, Long;
  for (double Pole : {90.0, -90.0})
    for (double L : {0.0, 45.0, -180.0, 179.0}) {
      LatLongToUPS(Pole, L, gelWGS84, X, Y);
      EXPECT_EQ(X, 2000000.0);
      EXPECT_EQ(Y, 2000000.0);
    }
  LatLongToUPS(80, 0, gelWGS84, X, Y);
  EXPECT_EQ(X, 2000000.0);
  EXPECT_LT(Y, 2000000.0);
  LatLongToUPS(-80, 0, gelWGS84, X, Y);
  EXPECT_GT(Y, 2000000.0);
  LatLongToUPS(80, 90, gelWGS84, X, Y);
  EXPECT_EQ(Y, 2000000.0);
  EXPECT_GT(X, 2000000.0);
  LatLongToUPS(80, -180, gelWGS84, X, Y);
  EXPECT_EQ(X, 2000000.0);
  double X2, Y2;
  LatLongToUPS(80, 180, gelWGS84, X2, Y2); // normalised to -180
  EXPECT_EQ(X2, X);
  EXPECT_EQ(Y2, Y);
  LatLongToUPS(80, 270, gelWGS84, X2, Y2); // normalised to -90
  EXPECT_EQ(Y2, 2000000.0);
  EXPECT_LT(X2, 2000000.0);
  UPSToLatLong(2000000, 2000000, false, gelWGS84, Lat, Long);
  EXPECT_EQ(Lat, 90.0);
  EXPECT_EQ(Long, 180.0);
  UPSToLatLong(2000000, 2000000, true, gelWGS84, Lat, Long);
  EXPECT_EQ(Lat, -90.0);
  EXPECT_EQ(Long, 0.0);

  const GeographicLib::PolarStereographic& Ups = GeographicLib::PolarStereographic::UPS();
  double MaxFwd = 0, MaxInv = 0;
  for (bool North : {true, false})
    for (double A = 60; A <= 90; A += 0.5)
      for (double L = -180; L < 180; L += 7.5) {
        const double Lt = North ? A : -A;
        double Gx, Gy;
        LatLongToUPS(Lt, L, gelWGS84, X, Y);
        Ups.Forward(North, Lt, L, Gx, Gy);
        MaxFwd = std::max(MaxFwd, std::hypot(X - 2e6 - Gx, Y - 2e6 - Gy));
        UPSToLatLong(X, Y, !North, gelWGS84, Lat, Long);
        double DL = std::remainder(Long - L, 360.0);
        MaxInv = std::max(MaxInv, GroundError(Lt, Lat - Lt, A == 90 ? 0 : DL));
      }
  std::cout << "[ info ] UPS vs GeographicLib: forward max " << MaxFwd * 1000
            << " mm, round trip max " << MaxInv * 1000 << " mm\n";
  EXPECT_LT(MaxFwd, 1e-3);
  EXPECT_LT(MaxInv, 1e-3);
}

TEST(Projections, SpheresReduceToSphericalForms) {
  for (TGeoEllipsoid S : {gelSphere, gelAuthSph, gelInt24AuthSph, gelPopVisSphere}) {
    SCOPED_TRACE(GeoEllipsoidId[S]);
    const double R = GeoEllipsoidData[S].SemiMajor;
    EXPECT_NEAR(ArcLengthOfMeridian(0.7, S), R * 0.7, 1e-6);
    double X, Y, Lat, Long, Phi, Lambda;
    int32_t Zone;
    LatLongToUTM(47.3, 9.9, S, Zone, X, Y);
    UTMToLatLong(X, Y, Zone, false, S, Lat, Long);
    EXPECT_NEAR(Lat, 47.3, 1e-9);
    EXPECT_NEAR(Long, 9.9, 1e-9);
    LatLongToTM(0.5, 0.02, 0, S, X, Y);
    TMToLatLong(X, Y, 0, S, Phi, Lambda);
    EXPECT_NEAR(Phi, 0.5, 1e-12);
    EXPECT_NEAR(Lambda, 0.02, 1e-12);
    // Polar stereographic of a sphere: rho = 2·R·k0·tan(colatitude/2).
    LatLongToUPS(-70, 30, S, X, Y);
    EXPECT_NEAR(std::hypot(X - 2e6, Y - 2e6), 2 * R * 0.994 * std::tan(10 * D2R), 1e-6);
    UPSToLatLong(X, Y, true, S, Lat, Long);
    EXPECT_NEAR(Lat, -70, 1e-10);
    EXPECT_NEAR(Long, 30, 1e-10);
  }
}
