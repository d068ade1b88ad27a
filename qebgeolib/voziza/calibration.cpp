// Calibration points, the model recalculation and the conversions of
// TVozIzaCalibration.
#include "qebgeolib/voziza/calibration.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "qebgeolib/companion/corelib/univconst.h"
#include "qebgeolib/companion/mathlib/math2.h"
#include "qebgeolib/geobasics/projections.h"
#include "qebgeolib/voziza/detail/calibmodels.h"

namespace qeb {

using namespace detail; // the internal pieces of this module

namespace {

constexpr double Pi = std::numbers::pi;
constexpr double DegToRad = Pi / 180;
// Where the nearest-line searches start.
constexpr double FarAway = 1e20;
constexpr double EarthRadius = 6378000;

// A computed pixel coordinate that rounds into the 32-bit range (NaN does not).
bool Representable(double V) {
  return V > -2147483648.5 && V < 2147483647.5;
}

bool IsQuadModel(TCalibModel M) {
  return M >= cmBiquadraticPn && M <= cmUTM;
}

TGeoEllipsoid ValidEllipsoid(TGeoEllipsoid E) {
  return E < GeoEllipsoidCount ? E : gelWGS84;
}

// Nearest and second nearest of a series of candidates, as the graticule
// searches pick them: a candidate must be strictly nearer to take a place,
// so among equal distances the first one met wins. NaN distances never do.
struct TNearestTwo {
  int32_t N = 0, S = 0;
  double DN = FarAway, DS = FarAway;
  void Offer(int32_t Row, double D) {
    if (D < DN) {
      S = N;
      DS = DN;
      N = Row;
      DN = D;
    } else if (D < DS) {
      S = Row;
      DS = D;
    }
  }
  bool Both() const { return N != 0 && S != 0; }
};

} // namespace

TVozIzaCalibration::TVozIzaCalibration() {
  FGratMat.Resize(5, 1);
}

void TVozIzaCalibration::CalibError(std::string_view Text) const {
  throw EQEBVozIzaError("Component \"" + CalibComponentName() + "\"" + std::string(Text));
}

// ---- Calibration points.

void TVozIzaCalibration::ModelRecalculation(bool GratMat, bool Repaint) {
  if (GratMat) RecalcGratMat();
  FitCurrentModel();
  CalcExtentsAndResolution();
  if (Repaint) CalibrationChanged();
}

void TVozIzaCalibration::FitCurrentModel() {
  switch (FCalibModel) {
  case cmBiquadraticPn:
    CalcBiquadraticCalibration();
    break;
  case cmConicConformal:
    CalcConicCalibration();
    break;
  case cmMillerCylindrical:
    CalcMillerCylCalibration();
    break;
  case cmEquiRect:
  case cmUTM:
    CalcEquiRectCalibration();
    break;
  default:
    break;
  }
}

void TVozIzaCalibration::RecalcCalibration() {
  ModelRecalculation(true, true);
}

bool TVozIzaCalibration::AddCalibPoint(TGratLineKind GratLineKind, double LineValue,
                                       int32_t PixPosX, int32_t PixPosY) {
  if (FCalibModel != cmParabolicIp)
    CalibError(": current calibration model does not support this version of AddCalibPoint");
  bool Stored = false;
  // A line of no finite value could never be found again or placed.
  if (std::isfinite(LineValue)) {
    int32_t Found = 0;
    for (int32_t K = 1; K <= FCalibData.NumCalLines && Found == 0; ++K) {
      const TCalibLine& L = FCalibData.CalLines[K];
      if (L.LineType == GratLineKind && L.LineValue == LineValue) Found = K;
    }
    if (Found == 0 && FCalibData.NumCalLines < MaxCalLines) {
      Found = ++FCalibData.NumCalLines;
      TCalibLine& L = FCalibData.CalLines[Found];
      L.LineType = GratLineKind;
      L.LineValue = LineValue;
      L.NumPoints = 0;
    }
    if (Found != 0 && FCalibData.CalLines[Found].NumPoints < MaxCalLinePoints) {
      TCalibLine& L = FCalibData.CalLines[Found];
      L.CalPoints[++L.NumPoints] = TPoint{PixPosX, PixPosY};
      Stored = true;
    }
  }
  ModelRecalculation(true, true);
  return Stored;
}

void TVozIzaCalibration::AppendQuad(double A, double B, int32_t PixPosX, int32_t PixPosY,
                                    bool& Stored) {
  Stored = false;
  if (FCalibData.NumCalQuads >= MaxCalQuads || !std::isfinite(A) || !std::isfinite(B)) return;
  FCalibData.CalQuads[++FCalibData.NumCalQuads] = TCalQuad{A, B, PixPosX, PixPosY};
  ModelRecalculation(false, false);
  Stored = true;
}

bool TVozIzaCalibration::AddCalibPoint(double Latit, double Longit, int32_t PixPosX,
                                       int32_t PixPosY) {
  if (!IsQuadModel(FCalibModel) || FCalibModel == cmUTM)
    CalibError(": current calibration model does not support this version of AddCalibPoint");
  bool Stored = false;
  AppendQuad(Latit, Longit, PixPosX, PixPosY, Stored);
  CalibrationChanged();
  return Stored;
}

bool TVozIzaCalibration::AddCalibPoint(double Northing, double Easting, int32_t Zone,
                                       THemisphere Hemisphere, int32_t PixPosX, int32_t PixPosY) {
  if (FCalibModel != cmUTM)
    CalibError(": current calibration model does not support this version of AddCalibPoint");
  if (Zone != FCalibData.UTMZone || (Hemisphere == hemiSouth) != FCalibData.UTMSouth)
    CalibError(": UTM zone parameter changed");
  bool Stored = false;
  AppendQuad(Northing, Easting, PixPosX, PixPosY, Stored);
  CalibrationChanged();
  return Stored;
}

void TVozIzaCalibration::RemoveGratPoint(int32_t Line, int32_t Point) {
  TCalibLine& L = FCalibData.CalLines[Line];
  L.CalPoints[Point] = L.CalPoints[L.NumPoints];
  if (--L.NumPoints == 0) {
    L = FCalibData.CalLines[FCalibData.NumCalLines];
    --FCalibData.NumCalLines;
  }
}

bool TVozIzaCalibration::RemoveCalibPoint(TGratLineKind GratLineKind, double LineValue,
                                          int32_t PixPosX, int32_t PixPosY) {
  if (FCalibModel != cmParabolicIp)
    CalibError(": current calibration model does not support this version of RemoveCalibPoint");
  bool Removed = false;
  for (int32_t K = 1; K <= FCalibData.NumCalLines; ++K) {
    const TCalibLine& L = FCalibData.CalLines[K];
    if (L.LineType != GratLineKind || L.LineValue != LineValue) continue;
    for (int32_t P = 1; P <= L.NumPoints; ++P)
      if (L.CalPoints[P].X == PixPosX && L.CalPoints[P].Y == PixPosY) {
        RemoveGratPoint(K, P);
        Removed = true;
        break;
      }
    break;
  }
  ModelRecalculation(true, true);
  return Removed;
}

bool TVozIzaCalibration::RemoveCalibPoint(int32_t PixPosX, int32_t PixPosY) {
  // Squared distances in floating point: exact for every pair of 32-bit
  // positions' differences that matter, and free of integer overflow.
  auto Dist = [&](int32_t X, int32_t Y) {
    const double Dx = static_cast<double>(static_cast<int64_t>(X) - PixPosX);
    const double Dy = static_cast<double>(static_cast<int64_t>(Y) - PixPosY);
    return Dx * Dx + Dy * Dy;
  };
  double Best = uc_MaxDouble;
  bool Removed = false;
  if (FCalibModel == cmParabolicIp) {
    int32_t BestLine = 0, BestPoint = 0;
    for (int32_t K = 1; K <= FCalibData.NumCalLines; ++K) {
      const TCalibLine& L = FCalibData.CalLines[K];
      for (int32_t P = 1; P <= L.NumPoints; ++P) {
        const double D = Dist(L.CalPoints[P].X, L.CalPoints[P].Y);
        if (D < Best) {
          Best = D;
          BestLine = K;
          BestPoint = P;
        }
      }
    }
    if (BestLine != 0) {
      const TCalibLine& L = FCalibData.CalLines[BestLine];
      FParaIpOops.LineType = L.LineType;
      FParaIpOops.LineValue = L.LineValue;
      FParaIpOops.CalPoints[1] = L.CalPoints[BestPoint];
      FRestoreParaIpOK = true;
      RemoveGratPoint(BestLine, BestPoint);
      Removed = true;
    }
  } else if (IsQuadModel(FCalibModel)) {
    int32_t BestQuad = 0;
    for (int32_t I = 1; I <= FCalibData.NumCalQuads; ++I) {
      const double D = Dist(FCalibData.CalQuads[I].MapX, FCalibData.CalQuads[I].MapY);
      if (D < Best) {
        Best = D;
        BestQuad = I;
      }
    }
    if (BestQuad != 0) {
      FBiQuadOops = FCalibData.CalQuads[BestQuad];
      FRestoreBiQuadOK = true;
      FCalibData.CalQuads[BestQuad] = FCalibData.CalQuads[FCalibData.NumCalQuads];
      --FCalibData.NumCalQuads;
      Removed = true;
    }
  }
  ModelRecalculation(true, true);
  return Removed;
}

void TVozIzaCalibration::RestoreLastDeletedCalPoint() {
  if (FCalibModel == cmParabolicIp && FRestoreParaIpOK) {
    FRestoreParaIpOK = false;
    const TPoint P = FParaIpOops.CalPoints[1];
    AddCalibPoint(FParaIpOops.LineType, FParaIpOops.LineValue, P.X, P.Y);
  } else if (IsQuadModel(FCalibModel) && FRestoreBiQuadOK) {
    FRestoreBiQuadOK = false;
    const TCalQuad Q = FBiQuadOops;
    if (FCalibModel == cmUTM)
      AddCalibPoint(Q.Latitude, Q.Longitude, FCalibData.UTMZone, GetUTMHemisphere(), Q.MapX,
                    Q.MapY);
    else
      AddCalibPoint(Q.Latitude, Q.Longitude, Q.MapX, Q.MapY);
  }
}

void TVozIzaCalibration::ClearCalibData() {
  FCalibData.NumCalLines = 0;
  for (int32_t K = 1; K <= MaxCalLines; ++K)
    FCalibData.CalLines[K].NumPoints = 0;
  FCalibData.Corners = {};
  FCalibData.Resolution = 0;
  FCalibData.UTMZone = -1;
  FCalibData.UTMSouth = false;
  FCalibData.Ellipsoid = gelWGS84;
  FGratMat.Resize(5, 1);
  FGratMat.Fill(0);
  FCalibData.CalQuads = decltype(FCalibData.CalQuads)();
  FCalibData.NumCalQuads = 0;
  FEquRectSPPL = {};
  FEquRectPLSP = {};
  FCalParsPLSP = {};
  FCalParsSPPL = {};
  CalibrationChanged();
}

void TVozIzaCalibration::SetCalibModel(TCalibModel Value) {
  FCalibModel = Value <= cmUndefined ? Value : cmUndefined;
  RecalcCalibration();
}

void TVozIzaCalibration::SetUTMZone(int32_t Value) {
  if (Value >= 1 && Value <= 60) FCalibData.UTMZone = Value;
}

void TVozIzaCalibration::SetCalibData(const TCalibData& Value) {
  FCalibData = Value;
  TCalibData& D = FCalibData;
  D.NumCalLines = std::clamp(D.NumCalLines, 0, MaxCalLines);
  for (int32_t K = 1; K <= MaxCalLines; ++K) {
    TCalibLine& L = D.CalLines[K];
    L.NumPoints = std::clamp(L.NumPoints, 0, MaxCalLinePoints);
    if (L.LineType != gtlParallel) L.LineType = gtlMeridian;
  }
  D.NumCalQuads = std::clamp(D.NumCalQuads, 0, MaxCalQuads);
  D.Ellipsoid = ValidEllipsoid(D.Ellipsoid);
}

// ---- Conversions.

// The graticule interpolation: along each line of the wanted kind the
// parabola gives the across-coordinate at Along; the two lines nearest to
// Across are interpolated (or extrapolated) linearly in their values.
double TVozIzaCalibration::ParabolicValue(double Along, double Across, bool Parallels,
                                          bool& valid) const {
  // One pass counts the kinds (column 1 rounded: 1 parallel, 0 meridian)
  // and searches the nearest two lines of the wanted kind (column 1 exactly).
  const int32_t Rows = FGratMat.NrOfRows();
  const double Kind = Parallels ? 1.0 : 0.0;
  int32_t NumPar = 0, NumMer = 0;
  TNearestTwo Near;
  for (int32_t R = 1; R <= Rows; ++R) {
    const double K = FGratMat.GetVal(1, R);
    NumPar += K > 0.5 && K < 1.5;
    NumMer += K >= -0.5 && K <= 0.5;
    if (K == Kind) Near.Offer(R, std::fabs(Across - GratCurve(R, Along)));
  }
  if (NumPar < 2 || NumMer < 2 || !Near.Both()) return 0;
  const double Cn = GratCurve(Near.N, Along), Cs = GratCurve(Near.S, Along);
  const double Vn = FGratMat.GetVal(2, Near.N), Vs = FGratMat.GetVal(2, Near.S);
  valid = true;
  return Vs + (Vn - Vs) * (Across - Cs) / (Cn - Cs);
}

// The UTM conversions deliver latitude and longitude together; the pair of
// the last pixel is kept, as callers ask for both one after the other.
void TVozIzaCalibration::UTMPixelToLatLong(double X, double Y, double& Lat, double& Long) const {
  const auto &P1 = FEquRectPLSP[1], &P2 = FEquRectPLSP[2];
  const double N = P1[1] + P1[2] * X + P1[3] * Y, E = P2[1] + P2[2] * X + P2[3] * Y;
  const TGeoEllipsoid Ell = ValidEllipsoid(FCalibData.Ellipsoid);
  TUTMCache& C = FUTMCache;
  // Compared bit for bit, so that NaN keys never match and -0 differs from 0.
  auto Same = [](double A, double B) { return std::memcmp(&A, &B, sizeof A) == 0; };
  if (!(C.Filled && Same(C.N, N) && Same(C.E, E) && C.Zone == FCalibData.UTMZone &&
        C.South == FCalibData.UTMSouth && C.Ellipsoid == Ell)) {
    UTMToLatLong(E, N, FCalibData.UTMZone, FCalibData.UTMSouth, Ell, C.Lat, C.Long);
    C = TUTMCache{true, N, E, FCalibData.UTMZone, FCalibData.UTMSouth, Ell, C.Lat, C.Long};
  }
  Lat = C.Lat;
  Long = C.Long;
}

double TVozIzaCalibration::CalcLatitude(int32_t x, int32_t y, bool& valid) const {
  valid = false;
  const double X = x, Y = y;
  switch (FCalibModel) {
  case cmParabolicIp:
    return ParabolicValue(X, Y, true, valid);
  case cmBiquadraticPn: {
    const auto& Q = FCalParsPLSP[1];
    valid = true;
    return Q[1] + Q[2] * X + Q[3] * Y + Q[4] * X * X + Q[5] * X * Y + Q[6] * Y * Y;
  }
  case cmConicConformal: {
    const double Dx = X - FConicPars[1], Dy = Y - FConicPars[2];
    valid = true;
    return FConicPars[3] * std::sqrt(Dx * Dx + Dy * Dy) + FConicPars[4];
  }
  case cmMillerCylindrical: {
    const double Ky = FMillercylPar[1][1], Dy = FMillercylPar[1][2];
    if (Ky == 0) return 0;
    valid = true;
    return (std::atan(std::exp((Y - Dy) / Ky)) - Pi / 4) * 143.2394487827058;
  }
  case cmEquiRect: {
    const auto& P = FEquRectPLSP[1];
    valid = true;
    return P[1] + P[2] * X + P[3] * Y;
  }
  case cmUTM: {
    double Lat = 0, Long = 0;
    UTMPixelToLatLong(X, Y, Lat, Long);
    valid = true;
    return Lat;
  }
  default:
    return 0;
  }
}

double TVozIzaCalibration::CalcLongitude(int32_t x, int32_t y, bool& valid) const {
  valid = false;
  const double X = x, Y = y;
  switch (FCalibModel) {
  case cmParabolicIp:
    return ParabolicValue(Y, X, false, valid);
  case cmBiquadraticPn: {
    const auto& Q = FCalParsPLSP[2];
    valid = true;
    return Q[1] + Q[2] * X + Q[3] * Y + Q[4] * X * X + Q[5] * X * Y + Q[6] * Y * Y;
  }
  case cmConicConformal:
    valid = true;
    return FConicPars[5] * std::atan((X - FConicPars[1]) / (Y - FConicPars[2])) + FConicPars[6];
  case cmMillerCylindrical: {
    const double Kx = FMillercylPar[2][1], Dx = FMillercylPar[2][2];
    if (Kx == 0) return 0;
    valid = true;
    return (X - Dx) / Kx / Pi * 180;
  }
  case cmEquiRect: {
    const auto& P = FEquRectPLSP[2];
    valid = true;
    return P[1] + P[2] * X + P[3] * Y;
  }
  case cmUTM: {
    double Lat = 0, Long = 0;
    UTMPixelToLatLong(X, Y, Lat, Long);
    valid = true;
    return Long;
  }
  default:
    return 0;
  }
}

// The graticule inverse: the parallel through Lat and the meridian through
// Long are interpolated from the two nearest lines of each kind, then
// intersected by at most 15 fixed-point steps starting at (500, 0).
bool TVozIzaCalibration::ParabolicPixel(double Lat, double Long, int32_t& x, int32_t& y) const {
  const int32_t Rows = FGratMat.NrOfRows();
  if (Rows < 4) return false;
  TNearestTwo Mer, Par;
  for (int32_t R = 1; R <= Rows; ++R) {
    if (std::isnan(FGratMat.GetVal(3, R))) continue; // a line without parabola
    const double Kind = FGratMat.GetVal(1, R), Value = FGratMat.GetVal(2, R);
    if (Kind == 0.0) Mer.Offer(R, std::fabs(Long - Value));
    if (Kind == 1.0) Par.Offer(R, std::fabs(Lat - Value));
  }
  if (!Mer.Both() || !Par.Both()) return false;
  double P[3], Q[3];
  auto Blend = [&](const TNearestTwo& T, double Want, double(&C)[3]) {
    const double Vn = FGratMat.GetVal(2, T.N), Vs = FGratMat.GetVal(2, T.S);
    for (int32_t K = 0; K < 3; ++K) {
      const double Cs = FGratMat.GetVal(3 + K, T.S), Cn = FGratMat.GetVal(3 + K, T.N);
      C[K] = Cs + (Cn - Cs) * (Want - Vs) / (Vn - Vs);
    }
  };
  Blend(Par, Lat, P);
  Blend(Mer, Long, Q);
  double X = 500, Y = 0;
  bool Diverged = false;
  for (int32_t I = 0; I < 15 && !Diverged; ++I) {
    Y = P[0] + P[1] * X + P[2] * X * X;
    X = Q[0] + Q[1] * Y + Q[2] * Y * Y;
    Diverged = std::fabs(X) > 50000 && std::fabs(Y) > 50000;
  }
  x = RoundPixel(X);
  y = RoundPixel(Y);
  return !Diverged && Representable(X) && Representable(Y);
}

bool TVozIzaCalibration::QuadModelPixel(double A, double B, double& X, double& Y) const {
  switch (FCalibModel) {
  case cmBiquadraticPn: {
    const auto &R1 = FCalParsSPPL[1], &R2 = FCalParsSPPL[2];
    X = R1[1] + R1[2] * A + R1[3] * B + R1[4] * A * A + R1[5] * A * B + R1[6] * B * B;
    Y = R2[1] + R2[2] * A + R2[3] * B + R2[4] * A * A + R2[5] * A * B + R2[6] * B * B;
    return true;
  }
  case cmConicConformal: {
    if (FConicPars[3] == 0 || FConicPars[5] == 0) return false;
    const double T = std::tan((B - FConicPars[6]) / FConicPars[5]);
    const double D = (A - FConicPars[4]) / FConicPars[3] / std::sqrt(T * T + 1);
    Y = A < 0 ? FConicPars[2] - D : FConicPars[2] + D;
    X = T * (Y - FConicPars[2]) + FConicPars[1];
    return true;
  }
  case cmMillerCylindrical:
    X = B / 180 * Pi * FMillercylPar[2][1] + FMillercylPar[2][2];
    Y = std::log(std::tan(0.4 * (A / 180 * Pi) + Pi / 4)) * FMillercylPar[1][1] +
        FMillercylPar[1][2];
    return true;
  case cmEquiRect:
  case cmUTM: {
    const auto &S1 = FEquRectSPPL[1], &S2 = FEquRectSPPL[2];
    X = S1[1] + S1[2] * A + S1[3] * B;
    Y = S2[1] + S2[2] * A + S2[3] * B;
    return true;
  }
  default:
    return false;
  }
}

bool TVozIzaCalibration::CalcPixelCoords(double Lat, double Long, int32_t& x, int32_t& y) const {
  double X = 0, Y = 0;
  switch (FCalibModel) {
  case cmParabolicIp:
    return ParabolicPixel(Lat, Long, x, y);
  case cmConicConformal: {
    if (FConicPars[3] == 0 || FConicPars[5] == 0) {
      x = 0;
      y = 0;
      return false;
    }
    // The column follows from the rounded row.
    const double T = std::tan((Long - FConicPars[6]) / FConicPars[5]);
    const double D = (Lat - FConicPars[4]) / FConicPars[3] / std::sqrt(T * T + 1);
    Y = Lat < 0 ? FConicPars[2] - D : FConicPars[2] + D;
    y = RoundPixel(Y);
    X = T * (y - FConicPars[2]) + FConicPars[1];
    x = RoundPixel(X);
    return Representable(X) && Representable(Y);
  }
  case cmUTM: {
    // The position is projected into the calibration's own zone and
    // hemisphere, so that the grid continues across a zone border or the
    // equator instead of jumping to the neighbouring zone's coordinates.
    double E = 0, N = 0;
    const TGeoEllipsoid Ell = ValidEllipsoid(FCalibData.Ellipsoid);
    const int32_t Zone = FCalibData.UTMZone;
    if (Zone >= 1 && Zone <= 60) {
      double Tx = 0, Ty = 0;
      LatLongToTM(Lat * DegToRad, Long * DegToRad, UTMCentralMeridian(Zone), Ell, Tx, Ty);
      E = Tx * UTMScaleFactor + UTMFalseEasting;
      N = Ty * UTMScaleFactor + (FCalibData.UTMSouth ? UTMFalseNorthingSouth : 0);
    } else {
      int32_t Z = 0;
      LatLongToUTM(Lat, Long, Ell, Z, E, N);
    }
    QuadModelPixel(N, E, X, Y);
    break;
  }
  default:
    if (!QuadModelPixel(Lat, Long, X, Y)) return false;
    break;
  }
  x = RoundPixel(X);
  y = RoundPixel(Y);
  return Representable(X) && Representable(Y);
}

bool TVozIzaCalibration::CalcPixelCoordsUTM(double Northing, double Easting, int32_t& x,
                                            int32_t& y) const {
  x = 0;
  y = 0;
  if (FCalibModel != cmUTM) return false;
  const auto &S1 = FEquRectSPPL[1], &S2 = FEquRectSPPL[2];
  const double X = S1[1] + S1[2] * Northing + S1[3] * Easting;
  const double Y = S2[1] + S2[2] * Northing + S2[3] * Easting;
  x = RoundPixel(X);
  y = RoundPixel(Y);
  return Representable(X) && Representable(Y);
}

int32_t TVozIzaCalibration::CalcUTMyFromNorthingX(double Northing, int32_t x) const {
  const auto &S1 = FEquRectSPPL[1], &S2 = FEquRectSPPL[2];
  const double E = (x - S1[1] - S1[2] * Northing) / S1[3];
  return RoundPixel(S2[1] + S2[2] * Northing + S2[3] * E);
}

int32_t TVozIzaCalibration::CalcUTMxFromEastingY(double Easting, int32_t y) const {
  const auto &S1 = FEquRectSPPL[1], &S2 = FEquRectSPPL[2];
  const double N = (y - S2[1] - S2[3] * Easting) / S2[2];
  return RoundPixel(S1[1] + S1[2] * N + S1[3] * Easting);
}

bool PositionInMap(double Latit, double Longit, const TCornerArray& Corners) {
  auto Side = [&](const TCoords& A, const TCoords& B) {
    return (A.Latit - B.Latit) * (B.Longit - Longit) + (A.Longit - B.Longit) * (Latit - B.Latit);
  };
  const double Ref = Side(Corners[gcoTopRight], Corners[gcoTopLeft]);
  return Side(Corners[gcoTopLeft], Corners[gcoBottomLeft]) * Ref > 0 &&
         Side(Corners[gcoBottomLeft], Corners[gcoBottomRight]) * Ref > 0 &&
         Side(Corners[gcoBottomRight], Corners[gcoTopRight]) * Ref > 0;
}

bool TVozIzaCalibration::IsPositionWithinMap(double Latit, double Longit) const {
  return PositionInMap(Latit, Longit, FCalibData.Corners);
}

void TVozIzaCalibration::CalcExtentsAndResolution() {
  const int32_t W = GetMapImgWidth(), H = GetMapImgHeight();
  bool Valid = false;
  auto At = [&](int32_t X, int32_t Y) {
    const double Lat = CalcLatitude(X, Y, Valid);
    return TCoords{Lat, CalcLongitude(X, Y, Valid)};
  };
  TCornerArray& C = FCalibData.Corners;
  C[gcoTopLeft] = At(0, 0);
  C[gcoBottomLeft] = At(0, H);
  C[gcoBottomRight] = At(W, H);
  C[gcoTopRight] = At(W, 0);
  const TCoords L = At(0, H / 2), R = At(W, H / 2);
  if (W < 1) {
    FCalibData.Resolution = 0;
    return;
  }
  double D = SphereGreatCircleDist(EarthRadius, L.Latit, L.Longit, R.Latit, R.Longit);
  // The great circle takes the short way; a map reaching further round the
  // earth gets the missing half or whole circumference.
  if (R.Longit - L.Longit > 360)
    D += 40074155.889191404;
  else if (R.Longit - L.Longit > 180)
    D += 20037077.944595702;
  FCalibData.Resolution = D / W;
}

void TVozIzaCalibration::CalibQuality(double& QualX, double& QualY) const {
  TCurveFit FX, FY;
  if (IsQuadModel(FCalibModel))
    for (int32_t I = 1; I <= FCalibData.NumCalQuads; ++I) {
      const TCalQuad& Q = FCalibData.CalQuads[I];
      int32_t X = 0, Y = 0;
      // UTM quads hold northing and easting, which CalcPixelCoordsUTM takes.
      if (FCalibModel == cmUTM)
        CalcPixelCoordsUTM(Q.Latitude, Q.Longitude, X, Y);
      else
        CalcPixelCoords(Q.Latitude, Q.Longitude, X, Y);
      FX.EnterStatValue(Q.MapX, X);
      FY.EnterStatValue(Q.MapY, Y);
    }
  int32_t N = 0;
  double S1, S2, S3, S4, S5, S7;
  FX.CalcStatistics(N, S1, S2, S3, S4, S5, QualX, S7);
  FY.CalcStatistics(N, S1, S2, S3, S4, S5, QualY, S7);
}

std::vector<TCalibResidual> TVozIzaCalibration::CalibResiduals(double& RMS) const {
  RMS = 0;
  std::vector<TCalibResidual> List;
  if (!IsQuadModel(FCalibModel)) return List;
  double Sum = 0;
  int32_t Count = 0;
  for (int32_t I = 1; I <= FCalibData.NumCalQuads; ++I) {
    TCalibResidual R;
    R.Index = I;
    R.Quad = FCalibData.CalQuads[I];
    R.Valid = QuadModelPixel(R.Quad.Latitude, R.Quad.Longitude, R.CalcX, R.CalcY) &&
              std::isfinite(R.CalcX) && std::isfinite(R.CalcY);
    if (R.Valid) {
      R.DX = R.Quad.MapX - R.CalcX;
      R.DY = R.Quad.MapY - R.CalcY;
      Sum += R.DX * R.DX + R.DY * R.DY;
      ++Count;
    }
    List.push_back(R);
  }
  if (Count > 0) RMS = std::sqrt(Sum / Count);
  return List;
}

} // namespace qeb
