#include "qebgeolib/companion/mathlib/math2.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace qeb {

namespace {

constexpr double DegToRad = std::numbers::pi / 180.0;

// Mean with one correction pass, which removes most of the rounding error of
// the plain sum when the values share a large offset.
double Mean(const std::vector<double>& V) {
  double Sum = 0;
  for (double X : V)
    Sum += X;
  const double M = Sum / static_cast<double>(V.size());
  double Corr = 0;
  for (double X : V)
    Corr += X - M;
  return M + Corr / static_cast<double>(V.size());
}

} // namespace

double SphereGreatCircleDist(double Radius, double Lat1, double Long1, double Lat2, double Long2) {
  const double P1 = Lat1 * DegToRad;
  const double P2 = Lat2 * DegToRad;
  const double DL = (Long2 - Long1) * DegToRad;
  const double SinP1 = std::sin(P1), CosP1 = std::cos(P1);
  const double SinP2 = std::sin(P2), CosP2 = std::cos(P2);
  const double SinDL = std::sin(DL), CosDL = std::cos(DL);
  // Numerator |a × b| and denominator a · b of the two unit vectors: the arc
  // tangent of their ratio is accurate at every angle, unlike arc cosine
  // (small angles) or the haversine (near antipodes).
  const double A = CosP2 * SinDL;
  const double B = CosP1 * SinP2 - SinP1 * CosP2 * CosDL;
  const double Angle = std::atan2(std::hypot(A, B), SinP1 * SinP2 + CosP1 * CosP2 * CosDL);
  return std::fabs(Radius) * std::min(Angle, std::numbers::pi);
}

void TCurveFit::EnterStatValue(double X, double Y) {
  if (!std::isfinite(X) || !std::isfinite(Y)) return;
  FX.push_back(X);
  FY.push_back(Y);
}

// Least squares with the orthogonal polynomials P0 = 1, P1 = t − A1,
// P2 = (t − A2)·P1 − B1 over t = (X − Xm)/Spread in [−1, 1]: each coefficient
// is a plain projection, the degree drops where a polynomial vanishes on the
// data, and the result is converted to powers of X at the end.
void TCurveFit::Fit(int MaxDegree, double (&K)[3], double& Quality) const {
  K[0] = K[1] = K[2] = 0;
  Quality = 0;
  const size_t N = FX.size();
  if (N == 0) return;
  const double Nd = static_cast<double>(N);
  const double Xm = Mean(FX);
  const double Ym = Mean(FY);
  double Spread = 0;
  for (double X : FX)
    Spread = std::max(Spread, std::fabs(X - Xm));
  int Degree = MaxDegree;
  // X values that differ only in their last bits count as equal.
  if (Spread == 0 || Spread <= 8 * std::numeric_limits<double>::epsilon() * std::fabs(Xm))
    Degree = 0;
  const double InvSpread = Degree > 0 ? 1 / Spread : 0;
  auto T = [&](size_t I) { return (FX[I] - Xm) * InvSpread; };

  double A1 = 0, S1 = 0, A2 = 0, B1 = 0, S2 = 0;
  if (Degree >= 1) {
    for (size_t I = 0; I < N; ++I)
      A1 += T(I);
    A1 /= Nd;
    double Tp = 0;
    for (size_t I = 0; I < N; ++I) {
      const double P1 = T(I) - A1;
      S1 += P1 * P1;
      Tp += T(I) * P1 * P1;
    }
    if (S1 > 0) {
      A2 = Tp / S1;
      B1 = S1 / Nd;
    } else {
      Degree = 0;
    }
  }
  auto P1 = [&](size_t I) { return T(I) - A1; };
  auto P2 = [&](size_t I) { return (T(I) - A2) * P1(I) - B1; };
  if (Degree >= 2) {
    for (size_t I = 0; I < N; ++I)
      S2 += P2(I) * P2(I);
    if (N < 3 || S2 <= 1e-20 * Nd) Degree = 1;
  }

  double C0 = 0, C1 = 0, C2 = 0;
  for (size_t I = 0; I < N; ++I) {
    const double Yc = FY[I] - Ym;
    C0 += Yc;
    if (Degree >= 1) C1 += Yc * P1(I);
    if (Degree >= 2) C2 += Yc * P2(I);
  }
  C0 /= Nd;
  if (Degree >= 1) C1 /= S1;
  if (Degree >= 2) C2 /= S2;

  double Sq = 0;
  for (size_t I = 0; I < N; ++I) {
    double R = FY[I] - Ym - C0;
    if (Degree >= 1) R -= C1 * P1(I);
    if (Degree >= 2) R -= C2 * P2(I);
    Sq += R * R;
  }
  Quality = std::sqrt(Sq / Nd);

  // Powers of t, then of U = X − Xm (t = U/Spread), then of X.
  const double T0 = Ym + C0 - C1 * A1 + C2 * (A1 * A2 - B1);
  const double T1 = C1 - C2 * (A1 + A2);
  const double T2 = C2;
  const double U1 = T1 * InvSpread;
  const double U2 = T2 * InvSpread * InvSpread;
  K[2] = U2;
  K[1] = U1 - 2 * U2 * Xm;
  K[0] = T0 - U1 * Xm + U2 * Xm * Xm;
}

void TCurveFit::CalcLinFit(double& K, double& D, double& Quality) const {
  double C[3];
  Fit(1, C, Quality);
  K = C[1];
  D = C[0];
}

void TCurveFit::CalcParabolFit(double& K0, double& K1, double& K2, double& Quality) const {
  double C[3];
  Fit(2, C, Quality);
  K0 = C[0];
  K1 = C[1];
  K2 = C[2];
}

void TCurveFit::CalcStatistics(int32_t& N, double& S1, double& S2, double& S3, double& S4,
                               double& S5, double& S6, double& S7) const {
  N = static_cast<int32_t>(FX.size());
  S1 = S2 = S3 = S4 = S5 = S6 = S7 = 0;
  if (FX.empty()) return;
  const double Nd = static_cast<double>(FX.size());
  S1 = Mean(FX);
  S2 = Mean(FY);
  double Sxx = 0, Syy = 0, Sxy = 0, Sd = 0, Sdd = 0;
  for (size_t I = 0; I < FX.size(); ++I) {
    const double Dx = FX[I] - S1;
    const double Dy = FY[I] - S2;
    const double D = FY[I] - FX[I];
    Sxx += Dx * Dx;
    Syy += Dy * Dy;
    Sxy += Dx * Dy;
    Sd += D;
    Sdd += D * D;
  }
  S3 = std::sqrt(Sxx / Nd);
  S4 = std::sqrt(Syy / Nd);
  S5 = Sd / Nd;
  S6 = std::sqrt(Sdd / Nd);
  if (Sxx > 0 && Syy > 0) S7 = std::clamp(Sxy / (std::sqrt(Sxx) * std::sqrt(Syy)), -1.0, 1.0);
}

} // namespace qeb
