// The least-squares solver of the calibration models.
#include "qebgeolib/voziza/detail/calibmodels.h"

#include <algorithm>
#include <vector>

#include "qebgeolib/companion/corelib/base.h"

namespace qeb::detail {

namespace {

// One progress step of the solver; false when the caller asked to stop.
bool Tick() {
  ProcStat += 1;
  if (MathFeedBackProc) MathFeedBackProc(ProcStat);
  return !AbortMathProc;
}

double Sign(double A, double B) {
  return B >= 0 ? std::fabs(A) : -std::fabs(A);
}

double Pythag(double A, double B) {
  const double AbsA = std::fabs(A), AbsB = std::fabs(B);
  if (AbsA > AbsB) return AbsA * std::sqrt(1 + (AbsB / AbsA) * (AbsB / AbsA));
  return AbsB == 0 ? 0 : AbsB * std::sqrt(1 + (AbsA / AbsB) * (AbsA / AbsB));
}

// Golub–Reinsch singular value decomposition of the M x N matrix held row
// after row in Mat (1-based accessors below): Mat becomes U, W the singular
// values, V the N x N matrix V (not its transpose).
class TSVD {
public:
  TSVD(std::vector<double>& Mat, int M, int N)
      : FA(Mat), FM(M), FN(N), FW(N + 1), FV((N + 1) * (N + 1)), FRv1(N + 1) {}

  bool Decompose();
  double W(int I) const { return FW[I]; }
  double& W(int I) { return FW[I]; }
  double V(int I, int J) const { return FV[I * (FN + 1) + J]; }
  double U(int I, int J) const { return FA[(I - 1) * FN + (J - 1)]; }

private:
  double& a(int I, int J) { return FA[(I - 1) * FN + (J - 1)]; }
  double& v(int I, int J) { return FV[I * (FN + 1) + J]; }

  std::vector<double>& FA;
  int FM, FN;
  std::vector<double> FW, FV, FRv1;
};

bool TSVD::Decompose() {
  const int m = FM, n = FN;
  std::vector<double>& w = FW;
  std::vector<double>& rv1 = FRv1;
  double g = 0, scale = 0, anorm = 0;
  int l = 1;

  // Householder reduction to bidiagonal form.
  for (int i = 1; i <= n; ++i) {
    if (!Tick()) return false;
    l = i + 1;
    rv1[i] = scale * g;
    g = 0;
    double s = 0;
    scale = 0;
    if (i <= m) {
      for (int k = i; k <= m; ++k)
        scale += std::fabs(a(k, i));
      if (scale != 0) {
        for (int k = i; k <= m; ++k) {
          a(k, i) /= scale;
          s += a(k, i) * a(k, i);
        }
        double f = a(i, i);
        g = -Sign(std::sqrt(s), f);
        const double h = f * g - s;
        a(i, i) = f - g;
        for (int j = l; j <= n; ++j) {
          s = 0;
          for (int k = i; k <= m; ++k)
            s += a(k, i) * a(k, j);
          f = s / h;
          for (int k = i; k <= m; ++k)
            a(k, j) += f * a(k, i);
        }
        for (int k = i; k <= m; ++k)
          a(k, i) *= scale;
      }
    }
    w[i] = scale * g;
    g = 0;
    s = 0;
    scale = 0;
    if (i <= m && i != n) {
      for (int k = l; k <= n; ++k)
        scale += std::fabs(a(i, k));
      if (scale != 0) {
        for (int k = l; k <= n; ++k) {
          a(i, k) /= scale;
          s += a(i, k) * a(i, k);
        }
        const double f = a(i, l);
        g = -Sign(std::sqrt(s), f);
        const double h = f * g - s;
        a(i, l) = f - g;
        for (int k = l; k <= n; ++k)
          rv1[k] = a(i, k) / h;
        for (int j = l; j <= m; ++j) {
          s = 0;
          for (int k = l; k <= n; ++k)
            s += a(j, k) * a(i, k);
          for (int k = l; k <= n; ++k)
            a(j, k) += s * rv1[k];
        }
        for (int k = l; k <= n; ++k)
          a(i, k) *= scale;
      }
    }
    anorm = std::max(anorm, std::fabs(w[i]) + std::fabs(rv1[i]));
  }

  // Accumulation of the right-hand transformations.
  for (int i = n; i >= 1; --i) {
    if (!Tick()) return false;
    if (i < n) {
      if (g != 0) {
        // Double division avoids a possible underflow.
        for (int j = l; j <= n; ++j)
          v(j, i) = (a(i, j) / a(i, l)) / g;
        for (int j = l; j <= n; ++j) {
          double s = 0;
          for (int k = l; k <= n; ++k)
            s += a(i, k) * v(k, j);
          for (int k = l; k <= n; ++k)
            v(k, j) += s * v(k, i);
        }
      }
      for (int j = l; j <= n; ++j)
        v(i, j) = v(j, i) = 0;
    }
    v(i, i) = 1;
    g = rv1[i];
    l = i;
  }

  // Accumulation of the left-hand transformations.
  for (int i = std::min(m, n); i >= 1; --i) {
    if (!Tick()) return false;
    l = i + 1;
    g = w[i];
    for (int j = l; j <= n; ++j)
      a(i, j) = 0;
    if (g != 0) {
      g = 1 / g;
      for (int j = l; j <= n; ++j) {
        double s = 0;
        for (int k = l; k <= m; ++k)
          s += a(k, i) * a(k, j);
        const double f = (s / a(i, i)) * g;
        for (int k = i; k <= m; ++k)
          a(k, j) += f * a(k, i);
      }
      for (int j = i; j <= m; ++j)
        a(j, i) *= g;
    } else {
      for (int j = i; j <= m; ++j)
        a(j, i) = 0;
    }
    a(i, i) += 1;
  }

  // Diagonalisation of the bidiagonal form: each singular value gets at most
  // 30 implicitly shifted QR iterations.
  for (int k = n; k >= 1; --k) {
    if (!Tick()) return false;
    for (int its = 1; its <= 30; ++its) {
      bool flag = true;
      int nm = 0;
      for (l = k; l >= 1; --l) {
        nm = l - 1;
        // rv1[1] is always 0, so the loop ends at l = 1 at the latest.
        if (std::fabs(rv1[l]) + anorm == anorm) {
          flag = false;
          break;
        }
        if (std::fabs(w[nm]) + anorm == anorm) break;
      }
      if (l < 1 || (flag && l < 2)) return false; // only NaN gets here
      if (flag) {
        double c = 0, s = 1;
        for (int i = l; i <= k; ++i) {
          const double f = s * rv1[i];
          rv1[i] = c * rv1[i];
          if (std::fabs(f) + anorm == anorm) break;
          g = w[i];
          double h = Pythag(f, g);
          w[i] = h;
          h = 1 / h;
          c = g * h;
          s = -f * h;
          for (int j = 1; j <= m; ++j) {
            const double y = a(j, nm), z = a(j, i);
            a(j, nm) = y * c + z * s;
            a(j, i) = z * c - y * s;
          }
        }
      }
      double z = w[k];
      if (l == k) {
        // Converged; singular values are made non-negative.
        if (z < 0) {
          w[k] = -z;
          for (int j = 1; j <= n; ++j)
            v(j, k) = -v(j, k);
        }
        break;
      }
      if (its == 30) return false;
      double x = w[l];
      nm = k - 1;
      double y = w[nm];
      g = rv1[nm];
      double h = rv1[k];
      double f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2 * h * y);
      g = Pythag(f, 1);
      f = ((x - z) * (x + z) + h * ((y / (f + Sign(g, f))) - h)) / x;
      double c = 1, s = 1;
      for (int j = l; j <= nm; ++j) {
        const int i = j + 1;
        g = rv1[i];
        y = w[i];
        h = s * g;
        g = c * g;
        z = Pythag(f, h);
        rv1[j] = z;
        c = f / z;
        s = h / z;
        f = x * c + g * s;
        g = g * c - x * s;
        h = y * s;
        y *= c;
        for (int jj = 1; jj <= n; ++jj) {
          x = v(jj, j);
          z = v(jj, i);
          v(jj, j) = x * c + z * s;
          v(jj, i) = z * c - x * s;
        }
        z = Pythag(f, h);
        w[j] = z;
        if (z != 0) {
          z = 1 / z;
          c = f * z;
          s = h * z;
        }
        f = c * g + s * y;
        x = c * y - s * g;
        for (int jj = 1; jj <= m; ++jj) {
          y = a(jj, j);
          z = a(jj, i);
          a(jj, j) = y * c + z * s;
          a(jj, i) = z * c - y * s;
        }
      }
      rv1[l] = 0;
      rv1[k] = f;
      w[k] = x;
    }
  }
  return true;
}

} // namespace

bool SolveLeastSquaresSVD(TMatrix& A, const TVector& B, TVector& P) {
  const int32_t M = A.NrOfRows(), N = A.NrOfColumns();
  P.SetVecSize(N);
  P.Fill(0);
  if (M < 1 || N < 1 || B.NrOfElem() < M) return false;
  std::vector<double> Mat(static_cast<std::size_t>(M) * static_cast<std::size_t>(N));
  for (int32_t I = 1; I <= M; ++I)
    for (int32_t J = 1; J <= N; ++J)
      Mat[static_cast<std::size_t>(I - 1) * N + (J - 1)] = A.GetVal(J, I);
  TSVD S(Mat, M, N);
  const bool OK = S.Decompose();
  for (int32_t I = 1; I <= M; ++I)
    for (int32_t J = 1; J <= N; ++J)
      A.SetVal(J, I, Mat[static_cast<std::size_t>(I - 1) * N + (J - 1)]);
  if (!OK) return false;

  double WMax = 0;
  for (int32_t J = 1; J <= N; ++J)
    WMax = std::max(WMax, S.W(J));
  const double Threshold = 1e-14 * WMax;
  for (int32_t J = 1; J <= N; ++J)
    if (S.W(J) < Threshold) S.W(J) = 0;

  std::vector<double> T(static_cast<std::size_t>(N) + 1);
  for (int32_t J = 1; J <= N; ++J) {
    if (S.W(J) == 0) continue;
    double Sum = 0;
    for (int32_t I = 1; I <= M; ++I)
      Sum += S.U(I, J) * B.GetVal(I);
    T[J] = Sum / S.W(J);
  }
  for (int32_t J = 1; J <= N; ++J) {
    double Sum = 0;
    for (int32_t K = 1; K <= N; ++K)
      Sum += S.V(J, K) * T[K];
    P.SetVal(J, Sum);
  }
  return true;
}

} // namespace qeb::detail
