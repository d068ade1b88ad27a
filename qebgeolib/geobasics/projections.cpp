// Transverse Mercator, UTM and UPS conversions.
//
// The series are evaluated for speed but stay algebraically identical to the textbook form:
// one sincos per conversion, the multiple-angle sine sums rewritten as sin 2φ times a cubic in
// cos 2φ (so no further sines), every polynomial by Horner's rule (in l², q², t²), and every
// factor that depends only on the ellipsoid precomputed at compile time (ellconsts.h). The tests
// hold this against a literal evaluation of the formulas to 1e-12 relative.
#include "qebgeolib/geobasics/projections.h"

#include <cmath>
#include <numbers>

#include "qebgeolib/companion/corelib/univconst.h"
#include "qebgeolib/geobasics/detail/ellconsts.h"

namespace qeb {

namespace {

using detail::SinCos;
using detail::TEllConsts;

constexpr double Pi = std::numbers::pi;
constexpr double DegToRad = Pi / 180;
constexpr double RadToDeg = 180 / Pi;

// The conversions are small; inlining the shared kernels into each entry point lets the zone
// arithmetic overlap the sincos instead of waiting for call boundaries.
#if defined(__GNUC__) || defined(__clang__)
#define QEB_INLINE [[gnu::always_inline]] inline
#else
#define QEB_INLINE inline
#endif

QEB_INLINE double CentralMeridian(int32_t Zone) {
  if (Zone < 1 || Zone > 60) return 0;
  return (6.0 * Zone - 183) * DegToRad;
}

// Σ_{k=1..4} ck·sin(2kφ) = sin 2φ·(K0 + K1·x + K2·x² + K3·x³) with x = cos 2φ, since
// sin 4φ = sin 2φ·2x, sin 6φ = sin 2φ·(4x² − 1) and sin 8φ = sin 2φ·(8x³ − 4x); the K are
// precomputed (ellconsts.h), which leaves three multiply-adds on the critical path.
QEB_INLINE double SineSeries4(const double (&K)[4], double Sin2, double Cos2) {
  return Sin2 * (K[0] + Cos2 * (K[1] + Cos2 * (K[2] + Cos2 * K[3])));
}

// Meridian arc from sin φ and cos φ of the same φ.
inline double MeridianArc(const TEllConsts& E, double Phi, double S, double C) {
  return E.Alpha * (Phi + SineSeries4(E.ArcPoly, 2 * S * C, C * C - S * S));
}

// Transverse Mercator about l = λ − λ0 = 0; L is the longitude difference in radians.
QEB_INLINE void ForwardTM(const TEllConsts& E, double Phi, double L, double& X, double& Y) {
  double S, C;
  SinCos(Phi, S, C);
  const double C2 = C * C;
  const double Eta = E.SecEcc2 * C2; // ν²
  const double N = E.A2B / std::sqrt(1 + Eta);
  const double T = (S / C) * (S / C); // t²; finite even at the poles, where cos φ ≈ 6e-17
  const double L2 = L * L;

  // x = N·c·l·(1 + l²·(A3 + l²·(A5 + l²·A7)))
  const double A3 = C2 * (1 - T + Eta) * (1.0 / 6);
  const double A5 = C2 * C2 * (5 + T * (-18 + T) + Eta * (14 - 58 * T)) * (1.0 / 120);
  const double A7 = C2 * C2 * C2 * (61 + T * (-479 + T * (179 - T))) * (1.0 / 5040);
  X = N * C * L * (1 + L2 * (A3 + L2 * (A5 + L2 * A7)));

  // y = M(φ) + N·t·c²·l²·(1/2 + l²·(B4 + l²·(B6 + l²·B8))), with t·c² = s·c.
  const double B4 = C2 * (5 - T + Eta * (9 + 4 * Eta)) * (1.0 / 24);
  const double B6 = C2 * C2 * (61 + T * (-58 + T) + Eta * (270 - 330 * T)) * (1.0 / 720);
  const double B8 = C2 * C2 * C2 * (1385 + T * (-3111 + T * (543 - T))) * (1.0 / 40320);
  Y = MeridianArc(E, Phi, S, C) + N * S * C * L2 * (0.5 + L2 * (B4 + L2 * (B6 + L2 * B8)));
}

// The inverse; returns φ and l = λ − λ0.
QEB_INLINE void InverseTM(const TEllConsts& E, double X, double Y, double& Phi, double& L) {
  // Footpoint latitude φf = y' + S(y').
  const double Yp = Y * E.InvAlpha;
  double S0, C0;
  SinCos(Yp, S0, C0);
  const double Sf = SineSeries4(E.FootPoly, 2 * S0 * C0, C0 * C0 - S0 * S0);
  const double PhiF = Yp + Sf;
  // sin φf and cos φf by the addition theorem instead of a second sincos: |Sf| < 0.0026 on every
  // tabled ellipsoid, so the first omitted Taylor terms (Sf⁶/720, Sf⁷/5040) stay below 1e-18.
  const double Sf2 = Sf * Sf;
  const double CosSf = 1 - Sf2 * (1.0 / 2 - Sf2 * (1.0 / 24));
  const double SinSf = Sf * (1 - Sf2 * (1.0 / 6 - Sf2 * (1.0 / 120)));
  const double Sn = S0 * CosSf + C0 * SinSf;
  const double Cs = C0 * CosSf - S0 * SinSf;
  if (Cs == 0) {
    // Exactly at a pole the series' tan φf and 1/cos φf have no value; the pole is the answer.
    Phi = PhiF;
    L = 0;
    return;
  }

  const double Eta = E.SecEcc2 * Cs * Cs; // νf²
  const double InvN = std::sqrt(1 + Eta) * E.InvA2B;
  const double InvC = 1 / Cs;
  const double Tf = Sn * InvC;
  const double T = Tf * Tf;
  const double Q = X * InvN; // x/Nf
  const double Q2 = Q * Q;

  // φ = φf + tf·q²·((−1 − ν²)/2 + q²·(P4 + q²·(P6 + q²·P8)))
  const double P2 = (-1 - Eta) * 0.5;
  const double P4 = (5 + 3 * T + Eta * (6 - 6 * T) - Eta * Eta * (3 + 9 * T)) * (1.0 / 24);
  const double P6 = (-61 + T * (-90 - 45 * T) + Eta * (-107 + 162 * T)) * (1.0 / 720);
  const double P8 = (1385 + T * (3633 + T * (4095 + 1575 * T))) * (1.0 / 40320);
  Phi = PhiF + Tf * Q2 * (P2 + Q2 * (P4 + Q2 * (P6 + Q2 * P8)));

  // l = q/cf·(1 + q²·(L3 + q²·(L5 + q²·L7)))
  const double L3 = (-1 - 2 * T - Eta) * (1.0 / 6);
  const double L5 = (5 + T * (28 + 24 * T) + Eta * (6 + 8 * T)) * (1.0 / 120);
  const double L7 = (-61 + T * (-662 + T * (-1320 - 720 * T))) * (1.0 / 5040);
  L = Q * InvC * (1 + Q2 * (L3 + Q2 * (L5 + Q2 * L7)));
}

// Constants of the polar stereographic formulas that need transcendental functions, so cannot be
// computed at compile time: built on first use, then read only.
struct TUPSConsts {
  double E = 0;  // first eccentricity √|e²|
  double E2 = 0; // e²
  // ρ = RhoFac·tan(χ/2)·exp(e·artanh(e·cos χ)), RhoFac = a·k0·2 / (√(1 − e²)·exp(e·artanh e))
  double RhoFac = 0;
  // The inverse solves 2·tan(χ/2)·exp(e·artanh(e·cos χ)) = t for χ, where t = ρ·TFac and
  // TFac = √(1 − e²)·exp(e·artanh e)/(a·k0).
  double TFac = 0;
};

const TUPSConsts& UPSConsts(TGeoEllipsoid Ellipsoid) {
  struct TTable {
    TUPSConsts Row[GeoEllipsoidCount + 1];
    TTable() {
      for (int i = 0; i <= GeoEllipsoidCount; ++i) {
        const TEllConsts& C = detail::EllConstsTable[i]; // the last row is all NaN
        TUPSConsts& U = Row[i];
        U.E2 = C.Ecc2Proj;
        U.E = std::sqrt(std::fabs(U.E2));
        const double Denom = std::sqrt(1 - U.E2) * std::exp(U.E * std::atanh(U.E));
        U.RhoFac = C.A * UPSScaleFactor * 2 / Denom;
        U.TFac = Denom / (C.A * UPSScaleFactor);
      }
    }
  };
  static const TTable Table;
  return Table.Row[Ellipsoid < GeoEllipsoidCount ? Ellipsoid : GeoEllipsoidCount];
}

// Zone and band index of a position already known to lie in the UTM range, where every quotient
// below is finite and non-negative, so truncation is the floor.
QEB_INLINE void UTMZoneInRange(double Lat, double Long, int32_t& Zone, char& Letter) {
  int32_t K = static_cast<int32_t>(Lat + 80) / 8;
  if (K >= 6) ++K;  // skip I
  if (K >= 12) ++K; // skip O
  if (K >= 21) K = 21;
  Letter = static_cast<char>('C' + K);
  Zone = static_cast<int32_t>((Long + 180) / 6) + 1;
  // The largest double below 180 rounds (Long + 180)/6 up to 60.
  if (Zone > 60) Zone = 60;
  if (Letter == 'V' && Long >= 3 && Long < 12) Zone = 32;
  if (Letter == 'X' && Long >= 0 && Long < 42)
    Zone = 2 * static_cast<int32_t>((Long + 3) / 12) + 31;
}

inline bool InUTMRange(double Lat, double Long) {
  // Phrased positively so that NaN falls outside.
  return Lat >= -80 && Lat <= 84 && Long >= -180 && Long < 180;
}

} // namespace

double ArcLengthOfMeridian(double Phi, TGeoEllipsoid Ellipsoid) {
  double S, C;
  SinCos(Phi, S, C);
  return MeridianArc(detail::EllConsts(Ellipsoid), Phi, S, C);
}

double UTMCentralMeridian(int32_t Zone) {
  return CentralMeridian(Zone);
}

void LatLongToTM(double Phi, double Lambda, double Lambda0, TGeoEllipsoid Ellipsoid, double& X,
                 double& Y) {
  ForwardTM(detail::EllConsts(Ellipsoid), Phi, Lambda - Lambda0, X, Y);
}

void TMToLatLong(double X, double Y, double Lambda0, TGeoEllipsoid Ellipsoid, double& Phi,
                 double& Lambda) {
  double L;
  InverseTM(detail::EllConsts(Ellipsoid), X, Y, Phi, L);
  Lambda = Lambda0 + L;
}

void GeoToUTMZone(double Latitude, double Longitude, int32_t& Zone, char& ZoneLetter) {
  Zone = 0;
  ZoneLetter = ' ';
  if (!InUTMRange(Latitude, Longitude)) return;
  UTMZoneInRange(Latitude, Longitude, Zone, ZoneLetter);
}

std::string GeoToUTMZone(double Latitude, double Longitude) {
  int32_t Zone;
  char Letter;
  GeoToUTMZone(Latitude, Longitude, Zone, Letter);
  if (Zone == 0) return std::string();
  // At most three characters: within the small-string buffer, no allocation.
  std::string Text;
  if (Zone >= 10) Text += static_cast<char>('0' + Zone / 10);
  Text += static_cast<char>('0' + Zone % 10);
  Text += Letter;
  return Text;
}

void LatLongToUTM(double Latitude, double Longitude, TGeoEllipsoid Ellipsoid, int32_t& Zone,
                  double& X, double& Y) {
  int32_t Z = 0;
  char Letter;
  if (InUTMRange(Latitude, Longitude)) UTMZoneInRange(Latitude, Longitude, Z, Letter);
  Zone = Z;
  double Tx, Ty;
  ForwardTM(detail::EllConsts(Ellipsoid), Latitude * DegToRad,
            Longitude * DegToRad - CentralMeridian(Z), Tx, Ty);
  X = Tx * UTMScaleFactor + UTMFalseEasting;
  Y = Ty * UTMScaleFactor;
  if (Y < 0) Y += UTMFalseNorthingSouth;
}

void UTMToLatLong(double X, double Y, int32_t Zone, bool SouthernHemisphere,
                  TGeoEllipsoid Ellipsoid, double& Latitude, double& Longitude) {
  constexpr double InvK0 = 1 / UTMScaleFactor;
  const double Xp = (X - UTMFalseEasting) * InvK0;
  const double Yp = (SouthernHemisphere ? Y - UTMFalseNorthingSouth : Y) * InvK0;
  double Phi, L;
  InverseTM(detail::EllConsts(Ellipsoid), Xp, Yp, Phi, L);
  Latitude = Phi * RadToDeg;
  Longitude = (CentralMeridian(Zone) + L) * RadToDeg;
}

void LatLongToUPS(double Latitude, double Longitude, TGeoEllipsoid Ellipsoid, double& X,
                  double& Y) {
  const TUPSConsts& U = UPSConsts(Ellipsoid);
  const double CoLat = Latitude < 0 ? Latitude + 90 : 90 - Latitude;
  const double Chi = CoLat * DegToRad;
  const double Rho = U.RhoFac * std::tan(Chi / 2) * std::exp(U.E * std::atanh(U.E * std::cos(Chi)));

  double Long = Longitude;
  if (Long >= 180)
    Long -= 360;
  else if (Long < -180)
    Long += 360;
  double S, C;
  SinCos(Long * DegToRad, S, C);
  // The exact zeros keep points on the axes of the grid exactly on them.
  X = (Long == -180) ? 0.0 : Rho * S;
  Y = (std::fabs(Long) == 90) ? 0.0 : Rho * C;
  if (Latitude >= 0) Y = -Y;
  X += UPSFalseOrigin;
  Y += UPSFalseOrigin;
}

void UPSToLatLong(double X, double Y, bool SouthernHemisphere, TGeoEllipsoid Ellipsoid,
                  double& Latitude, double& Longitude) {
  const TUPSConsts& U = UPSConsts(Ellipsoid);
  const double Dx = X - UPSFalseOrigin;
  const double Dy = Y - UPSFalseOrigin;
  const double Rho = std::sqrt(Dx * Dx + Dy * Dy);
  const double T = Rho * U.TFac;
  const double OneMinusE2 = 1 - U.E2;

  // Newton on 2·tan(χ/2)·exp(e·artanh(e·cos χ)) = t. Six steps at most, so even NaN input ends.
  const double Tiny = 0.1 * std::sqrt(uc_MinDouble);
  double Chi = 2 * std::atan(T / 2);
  for (int Step = 0; Step < 6; ++Step) {
    const double CosChi = std::cos(Chi);
    const double CosHalf = std::cos(Chi / 2);
    const double Ex = std::exp(U.E * std::atanh(U.E * CosChi));
    const double Delta = -(2 * std::tan(Chi / 2) * Ex - T) /
                         (OneMinusE2 * Ex / ((1 - U.E2 * CosChi * CosChi) * CosHalf * CosHalf));
    Chi += Delta;
    if (std::fabs(Delta) < Tiny) break;
  }

  Latitude = 90 - Chi * RadToDeg;
  if (SouthernHemisphere) Latitude = -Latitude;
  // At the north pole itself −dy is −0, so the longitude there is atan2(0, −0) = 180°; any
  // longitude names the pole, and this one is what the north-cap formula gives.
  const double Long = SouthernHemisphere ? std::atan2(Dx, Dy) : std::atan2(Dx, -Dy);
  Longitude = Long * RadToDeg;
}

} // namespace qeb
