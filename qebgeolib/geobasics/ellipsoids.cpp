// Derived values of the ellipsoids: eccentricity, flattening and minor axis.
#include "qebgeolib/geobasics/ellipsoids.h"

#include <cmath>

#include "qebgeolib/geobasics/detail/ellconsts.h"

namespace qeb {

double GeoEllEccSquared(TGeoEllipsoid Ellipsoid) {
  // The spheres come out as exactly 0 because b²/a² is exactly 1.
  return detail::EllConsts(Ellipsoid).Ecc2;
}

double GeoEllEccSquared(double Axis1, double Axis2) {
  if (Axis1 >= Axis2) return 1 - (Axis2 * Axis2) / (Axis1 * Axis1);
  return 1 - (Axis1 * Axis1) / (Axis2 * Axis2);
}

double GeoEllEccSquared(double RecipFlat) {
  if (RecipFlat == 0) return 0;
  const double f = 1 / RecipFlat;
  return 2 * f - f * f;
}

double RecipFlattening(TGeoEllipsoid Ellipsoid) {
  const detail::TEllConsts& C = detail::EllConsts(Ellipsoid);
  return RecipFlattening(C.A, C.B);
}

double RecipFlattening(double SemiMajor, double SemiMinor) {
  if (SemiMajor == SemiMinor) return 0;
  return 1 / (1 - SemiMinor / SemiMajor);
}

double RecipFlattening(double EccSquared) {
  // Written so that NaN fails the test too.
  if (!(EccSquared >= 0 && EccSquared <= 1)) throw EQEBGeoBasicsError("invalid eccentricity");
  if (EccSquared == 0) return 0;
  return 1 / (1 - std::sqrt(1 - EccSquared));
}

double EllipsoidMinAxFlat(double SemiMajor, double RecipFlat) {
  if (!(RecipFlat >= 0)) throw EQEBGeoBasicsError("invalid reciprocal flattening");
  if (RecipFlat == 0) return SemiMajor;
  return (1 - 1 / RecipFlat) * SemiMajor;
}

double EllipsoidMinAxEcc(double SemiMajor, double EccSquared) {
  if (!(EccSquared >= 0)) throw EQEBGeoBasicsError("invalid eccentricity");
  return std::sqrt(1 - EccSquared) * SemiMajor;
}

} // namespace qeb
