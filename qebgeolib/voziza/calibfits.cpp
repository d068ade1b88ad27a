// The model fits of TVozIzaCalibration: graticule matrix, biquadratic, equirectangular, Miller
// cylindrical and conic calibrations.
#include <cmath>
#include <limits>
#include <numbers>

#include "qebgeolib/companion/mathlib/math2.h"
#include "qebgeolib/voziza/calibration.h"
#include "qebgeolib/voziza/detail/calibmodels.h"

namespace qeb {

using detail::SolveLeastSquaresSVD;

namespace {

constexpr double Pi = std::numbers::pi;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

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
