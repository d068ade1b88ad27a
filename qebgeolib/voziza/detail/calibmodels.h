// Numerical pieces of the calibration models: the least-squares solver by
// singular value decomposition and the rounding of computed pixel positions.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "qebgeolib/companion/mathlib/matrix.h"
#include "qebgeolib/companion/mathlib/vector.h"

namespace qeb::detail {

// Least squares: P (resized to the columns of A) minimises |A·P − B| for the
// design matrix A (one row per observation, one column per parameter) and the
// right-hand side B (at least as many entries as A has rows).
//
// A = U·diag(w)·Vᵀ by Householder bidiagonalisation and implicitly shifted QR
// (Golub–Reinsch); A is overwritten by U. Each singular value gets at most 30
// QR iterations. Singular values below 1e-14 times the largest count as 0 and
// add nothing to P, so fewer observations than parameters, or dependent
// columns, give the minimum-norm solution instead of a failure.
//
// At the start of every outer step of the four phases (reduction, right-hand
// and left-hand accumulation, diagonalisation) ProcStat grows by 1,
// MathFeedBackProc is called with it when assigned, and a set AbortMathProc
// stops the solver. False on abort, on a value that does not converge within
// its 30 iterations (NaN or infinite input ends that way), and for an empty A
// or a short B; P is then all 0.
bool SolveLeastSquaresSVD(TMatrix& A, const TVector& B, TVector& P);

// A computed pixel coordinate to the nearest integer, exact halves to the
// even neighbour (2.5 → 2, 3.5 → 4, −2.5 → −2), independent of the process's
// rounding mode. Values beyond the 32-bit range saturate; NaN gives 0.
inline int32_t RoundPixel(double V) {
  if (!(V > -2147483648.5)) return V != V ? 0 : std::numeric_limits<int32_t>::min();
  if (!(V < 2147483647.5)) return std::numeric_limits<int32_t>::max();
  double F = std::floor(V);
  const double Frac = V - F;
  if (Frac > 0.5 || (Frac == 0.5 && (static_cast<int64_t>(F) & 1) != 0)) F += 1;
  return static_cast<int32_t>(F);
}

} // namespace qeb::detail
