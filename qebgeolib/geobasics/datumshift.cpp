// Cartesian conversions and the Helmert datum shift.
#include "qebgeolib/geobasics/datumshift.h"

#include <cmath>
#include <numbers>

#include "qebgeolib/geobasics/detail/datums_table.h"
#include "qebgeolib/geobasics/detail/ellconsts.h"

namespace qeb {

namespace {

using detail::SinCos;
using detail::TEllConsts;

constexpr double Pi = std::numbers::pi;
constexpr double DegToRad = std::numbers::pi / 180;
constexpr double RadToDeg = 180 / std::numbers::pi;
constexpr double ArcSecToRad = std::numbers::pi / 648000;

// Inlined into HelmertTransform, whose two steps then overlap instead of meeting at calls.
#if defined(__GNUC__) || defined(__clang__)
#define QEB_INLINE [[gnu::always_inline]] inline
#else
#define QEB_INLINE inline
#endif

QEB_INLINE void ToCartesian(const TEllConsts& E, double Lat, double Long, double H, double& X,
                            double& Y, double& Z) {
  double SPhi, CPhi, SLam, CLam;
  SinCos(Lat * DegToRad, SPhi, CPhi);
  SinCos(Long * DegToRad, SLam, CLam);
  const double N = E.A / std::sqrt(1 - E.Ecc2 * SPhi * SPhi);
  const double R = (N + H) * CPhi;
  X = R * CLam;
  Y = R * SLam;
  Z = (N * (1 - E.Ecc2) + H) * SPhi;
}

// Closed form with the auxiliary angle u (Bowring's parametric latitude):
//   tan u = (Z/p)·((1 − f) + e²·a/r)
//   tan φ = ((1 − f)·Z + e²·a·sin³u) / ((1 − f)·(p − e²·a·cos³u))
// Evaluated without a single full-circle arc tangent (which costs twice an arc tangent): sin u
// and cos u come from the sides of tan u, the longitude from the half-angle form, and the height
// from the numerator and denominator of tan φ directly.
QEB_INLINE void ToGeographic(const TEllConsts& E, double X, double Y, double Z, double& Lat,
                             double& Long, double& H) {
  const double P2 = X * X + Y * Y;
  if (P2 == 0) {
    // The polar axis, where tan u and the longitude have no value (this also catches a p so
    // small that its square underflows). Z = 0, the centre of the Earth, counts as the north
    // pole, height −b.
    Lat = Z < 0 ? -90.0 : 90.0;
    Long = 0;
    H = std::fabs(Z) - E.B;
    return;
  }
  const double P = std::sqrt(P2);
  const double R = std::sqrt(P2 + Z * Z);
  const double OneMinusF = 1 - E.Flat;
  const double Ea = E.Ecc2 * E.A;

  const double Zu = Z * (OneMinusF + Ea / R); // tan u = Zu/p
  const double InvHu = 1 / std::sqrt(P2 + Zu * Zu);
  const double Su = Zu * InvHu, Cu = P * InvHu;

  double Num = OneMinusF * Z + Ea * Su * Su * Su;
  double Den = OneMinusF * (P - Ea * Cu * Cu * Cu);
  // The denominator turns negative only within some 40 km of the Earth's centre; the plain arc
  // tangent of the quotient keeps the latitude in −90..90 there too. Den = 0 means ±90°.
  if (Den < 0) {
    Num = -Num;
    Den = -Den;
  }
  if (Den == 0)
    Lat = (Num == 0) ? 0.0 : std::copysign(90.0, Num);
  else
    Lat = std::atan(Num / Den) * RadToDeg;

  // tan(λ/2) = Y/(p + X): used where X >= 0, and elsewhere through its reciprocal (p − X)/Y as
  // λ = ±π − 2·atan(Y/(p − X)); both denominators stay positive. The negative X axis gives ±180°
  // by the sign of Y.
  if (X >= 0)
    Long = 2 * std::atan(Y / (P + X)) * RadToDeg;
  else
    Long = (std::copysign(Pi, Y) - 2 * std::atan(Y / (P - X))) * RadToDeg;

  // h = p·cos φ + Z·sin φ − a·√(1 − e²·sin²φ), with sin φ = Num/Hp and cos φ = Den/Hp.
  const double Hp = std::sqrt(Num * Num + Den * Den);
  const double Q = std::sqrt(Den * Den + (1 - E.Ecc2) * Num * Num);
  H = Hp > 0 ? (P * Den + Z * Num - E.A * Q) / Hp : P - E.A;
}

} // namespace

const TGeoDatum* GeoDatumRecord(int32_t Number) {
  if (Number < 1 || Number > GeoDatumCount) return nullptr;
  return &detail::GeoDatumTable[Number - 1];
}

void GeoToCartesian(double Latitude, double Longitude, double Height, TGeoEllipsoid Ellipsoid,
                    double& X, double& Y, double& Z) {
  ToCartesian(detail::EllConsts(Ellipsoid), Latitude, Longitude, Height, X, Y, Z);
}

void CartesianToGeo(double X, double Y, double Z, TGeoEllipsoid Ellipsoid, double& Latitude,
                    double& Longitude, double& Height) {
  ToGeographic(detail::EllConsts(Ellipsoid), X, Y, Z, Latitude, Longitude, Height);
}

int32_t HelmertTransform(int32_t Source, double Latitude, double Longitude, double Height,
                         int32_t Target, double& OutLatitude, double& OutLongitude,
                         double& OutHeight) {
  const TGeoDatum* S = GeoDatumRecord(Source);
  const TGeoDatum* T = GeoDatumRecord(Target);
  int32_t Status = htOk;
  if (!S) Status = htBadSource;
  if (!T) Status = htBadTarget;
  if (!(Latitude >= -90 && Latitude <= 90)) Status = htBadLatitude;
  if (!(Longitude >= -180 && Longitude <= 180)) Status = htBadLongitude;
  if (!S || !T) return Status;

  double X, Y, Z;
  ToCartesian(detail::EllConsts(S->Ellipsoid), Latitude, Longitude, Height, X, Y, Z);

  // Forward to WGS 1984 with the source's parameters (position-vector rotations).
  const double M = 1 + S->Scale * 1e-6;
  const double RxS = S->rX * ArcSecToRad, RyS = S->rY * ArcSecToRad, RzS = S->rZ * ArcSecToRad;
  const double X1 = S->dX + M * (X - RzS * Y + RyS * Z);
  const double Y1 = S->dY + M * (RzS * X + Y - RxS * Z);
  const double Z1 = S->dZ + M * (-RyS * X + RxS * Y + Z);

  // Backward with the target's parameters, all seven negated.
  const double Mt = 1 - T->Scale * 1e-6;
  const double RxT = T->rX * ArcSecToRad, RyT = T->rY * ArcSecToRad, RzT = T->rZ * ArcSecToRad;
  const double X2 = -T->dX + Mt * (X1 + RzT * Y1 - RyT * Z1);
  const double Y2 = -T->dY + Mt * (-RzT * X1 + Y1 + RxT * Z1);
  const double Z2 = -T->dZ + Mt * (RyT * X1 - RxT * Y1 + Z1);

  ToGeographic(detail::EllConsts(T->Ellipsoid), X2, Y2, Z2, OutLatitude, OutLongitude, OutHeight);
  return Status;
}

} // namespace qeb
