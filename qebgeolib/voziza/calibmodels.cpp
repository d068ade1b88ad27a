// The model fits of TVozIzaCalibration and the least-squares solver.
#include "qebgeolib/voziza/calibmodels.h"

#include <algorithm>
#include <array>
#include <numbers>
#include <vector>

#include "qebgeolib/companion/corelib/base.h"
#include "qebgeolib/companion/mathlib/math2.h"
#include "qebgeolib/voziza/calibration.h"

namespace qeb {

namespace {

constexpr double Pi = std::numbers::pi;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

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

// Solves A·p = B into Row (1-based entries 1..N); the row keeps its zeros
// when the solver fails. A is used up.
template <int32_t N> void SolveInto(TMatrix& A, const TVector& B, TArray1<double, N>& Row) {
  TVector P;
  if (!SolveLeastSquaresSVD(A, B, P)) return;
  for (int32_t J = 1; J <= N; ++J)
    Row[J] = P.GetVal(J);
}

// Solves the design matrix A for two right-hand sides, each on its own copy.
template <int32_t N>
void SolveRows(const TMatrix& A, const TVector& B1, const TVector& B2,
               TArray1<TArray1<double, N>, 2>& Pars) {
  TMatrix Work;
  Work.Clone(A);
  SolveInto(Work, B1, Pars[1]);
  Work.Clone(A);
  SolveInto(Work, B2, Pars[2]);
}

// Least squares over the quads in both directions with the same polynomial
// terms: pixel (U, V) = (x, y) to latitude and longitude into PLSP, then
// (U, V) = (latitude, longitude) to pixel x and y into SPPL. Terms writes the
// NT terms of one row.
template <int32_t NT, class TTerms>
void FitQuadsBothWays(const TCalibData& D, TTerms Terms, TArray1<TArray1<double, NT>, 2>& PLSP,
                      TArray1<TArray1<double, NT>, 2>& SPPL) {
  const int32_t N = D.NumCalQuads;
  if (N == 0) return;
  TMatrix A(NT, N);
  TVector B1(N), B2(N);
  for (const bool ToGeographic : {true, false}) {
    for (int32_t I = 1; I <= N; ++I) {
      const TCalQuad& Q = D.CalQuads[I];
      double T[NT];
      if (ToGeographic)
        Terms(Q.MapX, Q.MapY, T);
      else
        Terms(Q.Latitude, Q.Longitude, T);
      for (int32_t C = 0; C < NT; ++C)
        A.SetVal(C + 1, I, T[C]);
      B1.SetVal(I, ToGeographic ? Q.Latitude : Q.MapX);
      B2.SetVal(I, ToGeographic ? Q.Longitude : Q.MapY);
    }
    SolveRows(A, B1, B2, ToGeographic ? PLSP : SPPL);
  }
}

template <class T> void Zero(T& Pars) {
  Pars = T{};
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

bool TVozIzaCalibration::RecalcGratMat() {
  const int32_t NumLines = FCalibData.NumCalLines;
  FGratMat.Resize(5, NumLines);
  TCurveFit Fit;
  int32_t Parallels = 0, Meridians = 0;
  for (int32_t K = 1; K <= NumLines; ++K) {
    const TCalibLine& L = FCalibData.CalLines[K];
    const bool Parallel = L.LineType == gtlParallel;
    FGratMat.SetVal(1, K, Parallel ? 1.0 : 0.0);
    FGratMat.SetVal(2, K, L.LineValue);
    if (L.NumPoints < 3) {
      for (int32_t C = 3; C <= 5; ++C)
        FGratMat.SetVal(C, K, NaN);
      continue;
    }
    Fit.Init();
    for (int32_t P = 1; P <= L.NumPoints; ++P) {
      const TPoint& Pt = L.CalPoints[P];
      if (Parallel)
        Fit.EnterStatValue(Pt.X, Pt.Y);
      else
        Fit.EnterStatValue(Pt.Y, Pt.X);
    }
    double C0 = 0, C1 = 0, C2 = 0, Quality = 0;
    Fit.CalcParabolFit(C0, C1, C2, Quality);
    FGratMat.SetVal(3, K, C0);
    FGratMat.SetVal(4, K, C1);
    FGratMat.SetVal(5, K, C2);
    ++(Parallel ? Parallels : Meridians);
  }
  if (Parallels >= 2 && Meridians >= 2) return true;
  FGratMat.Resize(5, 1);
  FGratMat.Fill(0);
  return false;
}

void TVozIzaCalibration::CalcBiquadraticCalibration() {
  Zero(FCalParsPLSP);
  Zero(FCalParsSPPL);
  FitQuadsBothWays(
      FCalibData,
      [](double U, double V, double(&T)[6]) {
        T[0] = 1;
        T[1] = U;
        T[2] = V;
        T[3] = U * U;
        T[4] = U * V;
        T[5] = V * V;
      },
      FCalParsPLSP, FCalParsSPPL);
}

void TVozIzaCalibration::CalcEquiRectCalibration() {
  Zero(FEquRectSPPL);
  Zero(FEquRectPLSP);
  FitQuadsBothWays(
      FCalibData,
      [](double U, double V, double(&T)[3]) {
        T[0] = 1;
        T[1] = U;
        T[2] = V;
      },
      FEquRectPLSP, FEquRectSPPL);
}

void TVozIzaCalibration::CalcMillerCylCalibration() {
  const int32_t N = FCalibData.NumCalQuads;
  if (N < 3) return;
  TCurveFit Fit;
  double K = 0, D = 0, Quality = 0;
  for (int32_t I = 1; I <= N; ++I) {
    const TCalQuad& Q = FCalibData.CalQuads[I];
    Fit.EnterStatValue(Q.Longitude / 180 * Pi, Q.MapX);
  }
  Fit.CalcLinFit(K, D, Quality);
  FMillercylPar[2][1] = K;
  FMillercylPar[2][2] = D;
  Fit.Init();
  for (int32_t I = 1; I <= N; ++I) {
    const TCalQuad& Q = FCalibData.CalQuads[I];
    Fit.EnterStatValue(std::log(std::tan(0.4 * (Q.Latitude / 180 * Pi) + Pi / 4)), Q.MapY);
  }
  Fit.CalcLinFit(K, D, Quality);
  FMillercylPar[1][1] = K;
  FMillercylPar[1][2] = D;
}

// A grid search for the cone apex: 20 passes of 5 x 5 candidates, the step
// halving from 1,000,000 pixels to 1, each pass centred on the best apex so
// far. A candidate is scored by the mean squared residuals of two line fits:
// latitude against the distance from the apex and longitude against the
// angle. The parameters change only when some candidate scores below 1e10.
void TVozIzaCalibration::CalcConicCalibration() {
  const int32_t N = FCalibData.NumCalQuads;
  if (N < 3) return;
  int64_t MinX = GetMapImgWidth(), MaxX = 0, MinY = GetMapImgHeight(), MaxY = 0;
  for (int32_t I = 1; I <= N; ++I) {
    const TCalQuad& Q = FCalibData.CalQuads[I];
    MinX = std::min<int64_t>(MinX, Q.MapX);
    MaxX = std::max<int64_t>(MaxX, Q.MapX);
    MinY = std::min<int64_t>(MinY, Q.MapY);
    MaxY = std::max<int64_t>(MaxY, Q.MapY);
  }
  int64_t Cx = (MinX + MaxX) / 2, Cy = (MinY + MaxY) / 2;

  const double Nd = N;
  std::vector<double> R(static_cast<std::size_t>(N) + 1), Theta(R.size());
  std::vector<bool> HasTheta(R.size());
  TCurveFit FitR, FitT;
  std::array<double, 6> Pars{}, Best{};
  double BestScore = 1e10;
  bool Found = false;

  auto Candidate = [&](double X0, double Y0) {
    Pars[0] = X0;
    Pars[1] = Y0;
    double K = 0, D = 0, Quality = 0;
    FitR.Init();
    for (int32_t I = 1; I <= N; ++I) {
      const TCalQuad& Q = FCalibData.CalQuads[I];
      const double Dx = Q.MapX - X0, Dy = Q.MapY - Y0;
      R[I] = std::sqrt(Dx * Dx + Dy * Dy);
      FitR.EnterStatValue(R[I], Q.Latitude);
    }
    FitR.CalcLinFit(K, D, Quality);
    Pars[2] = K;
    Pars[3] = D;
    double S = 0;
    for (int32_t I = 1; I <= N; ++I) {
      const double E = FCalibData.CalQuads[I].Latitude - K * R[I] - D;
      S += E * E;
    }
    const double E1 = std::sqrt(S / Nd);

    FitT.Init();
    for (int32_t I = 1; I <= N; ++I) {
      const TCalQuad& Q = FCalibData.CalQuads[I];
      HasTheta[I] = Q.MapY != Y0;
      if (!HasTheta[I]) continue;
      Theta[I] = std::atan((Q.MapX - X0) / (Q.MapY - Y0));
      FitT.EnterStatValue(Theta[I], Q.Longitude);
    }
    FitT.CalcLinFit(K, D, Quality);
    Pars[4] = K;
    Pars[5] = D;
    S = 0;
    for (int32_t I = 1; I <= N; ++I) {
      if (!HasTheta[I]) continue;
      const double E = FCalibData.CalQuads[I].Longitude - K * Theta[I] - D;
      S += E * E;
    }
    const double E2 = std::sqrt(S / Nd);
    return E1 * E1 + E2 * E2;
  };

  for (int64_t Step = 1000000; Step > 0; Step /= 2) {
    for (int64_t A = -2; A <= 2; ++A)
      for (int64_t B = -2; B <= 2; ++B) {
        const double Score =
            Candidate(static_cast<double>(Cx + A * Step), static_cast<double>(Cy + B * Step));
        if (Score < BestScore) {
          BestScore = Score;
          Best = Pars;
          Found = true;
        }
      }
    if (Found) {
      Cx = static_cast<int64_t>(Best[0]);
      Cy = static_cast<int64_t>(Best[1]);
    }
  }
  if (!Found) return;
  for (int32_t I = 1; I <= 6; ++I)
    FConicPars[I] = Best[static_cast<std::size_t>(I - 1)];
}

} // namespace qeb
