#include "qebgeolib/companion/mathlib/sline.h"

#include <algorithm>
#include <cmath>

namespace qeb {

// Liang–Barsky: the segment is P(t) = P1 + t·(P2 − P1), 0 <= t <= 1; each box
// edge narrows the range of t.
bool TSLine::ClipBox(double XLo, double YLo, double XHi, double YHi, double& X1, double& Y1,
                     double& X2, double& Y2) const {
  if (!std::isfinite(FX1) || !std::isfinite(FY1) || !std::isfinite(FX2) || !std::isfinite(FY2))
    return false;
  if (std::isnan(XLo) || std::isnan(YLo) || std::isnan(XHi) || std::isnan(YHi)) return false;
  if (XLo > XHi) std::swap(XLo, XHi);
  if (YLo > YHi) std::swap(YLo, YHi);
  const double Dx = FX2 - FX1;
  const double Dy = FY2 - FY1;
  // Differences of huge coordinates can overflow; no part is then computable.
  if (!std::isfinite(Dx) || !std::isfinite(Dy)) return false;
  double T0 = 0, T1 = 1;
  // One edge: P·t <= Q must hold for the visible part.
  auto Edge = [&](double P, double Q) {
    if (P == 0) return Q >= 0;
    const double R = Q / P;
    if (P < 0) {
      if (R > T1) return false;
      T0 = std::max(T0, R);
    } else {
      if (R < T0) return false;
      T1 = std::min(T1, R);
    }
    return true;
  };
  if (!Edge(-Dx, FX1 - XLo) || !Edge(Dx, XHi - FX1) || !Edge(-Dy, FY1 - YLo) ||
      !Edge(Dy, YHi - FY1))
    return false;
  auto At = [&](double T, double A, double D, double Lo, double Hi) {
    return std::clamp(T == 0 ? A : A + T * D, Lo, Hi);
  };
  X1 = At(T0, FX1, Dx, XLo, XHi);
  Y1 = At(T0, FY1, Dy, YLo, YHi);
  X2 = T1 == 1 ? std::clamp(FX2, XLo, XHi) : At(T1, FX1, Dx, XLo, XHi);
  Y2 = T1 == 1 ? std::clamp(FY2, YLo, YHi) : At(T1, FY1, Dy, YLo, YHi);
  return true;
}

} // namespace qeb
