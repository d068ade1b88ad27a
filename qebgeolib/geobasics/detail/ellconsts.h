// Internal: the per-ellipsoid constants of the projection and datum formulas, computed once at
// compile time from GeoEllipsoidData, so a conversion only evaluates what depends on the point;
// and the small math helpers the conversions share.
#pragma once

#include <array>
#include <cmath>
#include <limits>

#include "qebgeolib/geobasics/ellipsoids.h"

namespace qeb::detail {

struct TEllConsts {
  double A = 0; // semi-major axis
  double B = 0; // semi-minor axis
  // Ellipsoid form 1 - b²/a² (cartesian and datum code) and 1 - (b/a)² (projections); the
  // two round differently in the last bit, and each formula uses its own.
  double Ecc2 = 0;
  double Ecc2Proj = 0;
  double Flat = 0;    // f = 1/RecipFlattening, 0 for a sphere
  double SecEcc2 = 0; // e'² = (a² - b²)/b²
  double A2B = 0;     // a²/b: N = A2B/sqrt(1 + ν²)
  double InvA2B = 0;
  // Meridian arc: Alpha·(φ + ArcB sin 2φ + ArcG sin 4φ + ArcD sin 6φ + ArcE sin 8φ).
  double Alpha = 0;
  double InvAlpha = 0;
  double ArcB = 0, ArcG = 0, ArcD = 0, ArcE = 0;
  // Footpoint latitude: y' + FootB sin 2y' + FootG sin 4y' + FootD sin 6y' + FootE sin 8y'.
  double FootB = 0, FootG = 0, FootD = 0, FootE = 0;
  // The two sine sums as sin 2φ times a cubic in cos 2φ (see SineSeries4 in projections.cpp).
  double ArcPoly[4] = {}, FootPoly[4] = {};
};

constexpr void SineSumToPoly(double C1, double C2, double C3, double C4, double (&K)[4]) {
  K[0] = C1 - C3;
  K[1] = 2 * C2 - 4 * C4;
  K[2] = 4 * C3;
  K[3] = 8 * C4;
}

constexpr TEllConsts MakeEllConsts(const TEllipsoidAxes& Axes) {
  TEllConsts C;
  const double a = Axes.SemiMajor;
  const double b = Axes.SemiMinor;
  C.A = a;
  C.B = b;
  C.Ecc2 = 1 - (b * b) / (a * a);
  C.Ecc2Proj = 1 - (b / a) * (b / a);
  const double RecipFlat = (a == b) ? 0.0 : 1 / (1 - b / a);
  C.Flat = (RecipFlat == 0) ? 0.0 : 1 / RecipFlat;
  C.SecEcc2 = (a * a - b * b) / (b * b);
  C.A2B = a * a / b;
  C.InvA2B = 1 / C.A2B;
  const double n = (a - b) / (a + b);
  const double n2 = n * n, n3 = n2 * n, n4 = n3 * n, n5 = n4 * n;
  C.Alpha = ((a + b) / 2) * (1 + n2 / 4 + n4 / 64);
  C.InvAlpha = 1 / C.Alpha;
  C.ArcB = -3 * n / 2 + 9 * n3 / 16 - 3 * n5 / 32;
  C.ArcG = 15 * n2 / 16 - 15 * n4 / 32;
  C.ArcD = -35 * n3 / 48 + 105 * n5 / 256;
  C.ArcE = 315 * n4 / 512;
  C.FootB = 3 * n / 2 - 27 * n3 / 32 + 269 * n5 / 512;
  C.FootG = 21 * n2 / 16 - 55 * n4 / 32;
  C.FootD = 151 * n3 / 96 - 417 * n5 / 128;
  C.FootE = 1097 * n4 / 512;
  SineSumToPoly(C.ArcB, C.ArcG, C.ArcD, C.ArcE, C.ArcPoly);
  SineSumToPoly(C.FootB, C.FootG, C.FootD, C.FootE, C.FootPoly);
  return C;
}

// One entry per ellipsoid and a last entry of NaNs that stands in for values outside the
// enumeration.
constexpr std::array<TEllConsts, GeoEllipsoidCount + 1> MakeEllConstsTable() {
  std::array<TEllConsts, GeoEllipsoidCount + 1> T{};
  for (int i = 0; i < GeoEllipsoidCount; ++i)
    T[i] = MakeEllConsts(GeoEllipsoidData[i]);
  constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
  T[GeoEllipsoidCount] = {NaN,
                          NaN,
                          NaN,
                          NaN,
                          NaN,
                          NaN,
                          NaN,
                          NaN,
                          NaN,
                          NaN,
                          NaN,
                          NaN,
                          NaN,
                          NaN,
                          NaN,
                          NaN,
                          NaN,
                          NaN,
                          {NaN, NaN, NaN, NaN},
                          {NaN, NaN, NaN, NaN}};
  static_assert(sizeof(TEllConsts) == 26 * sizeof(double), "fill every field of the NaN entry");
  return T;
}

inline constexpr std::array<TEllConsts, GeoEllipsoidCount + 1> EllConstsTable =
    MakeEllConstsTable();

// Sine and cosine of one angle in one call (one argument reduction).
inline void SinCos(double X, double& S, double& C) {
#if defined(__GNUC__) && !defined(__clang__)
  __builtin_sincos(X, &S, &C);
#elif defined(__GLIBC__) && defined(_GNU_SOURCE)
  ::sincos(X, &S, &C);
#else
  S = std::sin(X);
  C = std::cos(X);
#endif
}

inline const TEllConsts& EllConsts(TGeoEllipsoid Ellipsoid) {
  return EllConstsTable[Ellipsoid < GeoEllipsoidCount ? Ellipsoid : GeoEllipsoidCount];
}

} // namespace qeb::detail
