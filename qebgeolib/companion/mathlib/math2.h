// Spherical distance and least-squares curve fitting with descriptive
// statistics, for calibration fits and quality figures.
#pragma once

#include <cstdint>
#include <vector>

namespace qeb {

// Great-circle distance between two positions in degrees (latitude, longitude),
// in the unit of Radius, the short way: |Radius| times the central angle, from
// the arc tangent form that stays accurate for identical, nearby and antipodal
// points alike; never more than π·|Radius|. NaN in gives NaN out.
double SphereGreatCircleDist(double Radius, double Lat1, double Long1, double Lat2, double Long2);

// A set of (X, Y) pairs with least-squares fits and statistics. The fits
// centre and scale X internally (orthogonal polynomials), so pixel coordinates
// in the tens of thousands fit to full double accuracy; the coefficients
// returned are those of the original X.
//
// Degenerate sets give finite results, never NaN: fewer distinct X values than
// unknowns fit the highest degree they determine and set the other
// coefficients to 0 (one distinct X: the horizontal line through the mean Y;
// no pairs: all 0). Pairs with a NaN or infinite member are not entered.
// Quality of a fit is the root mean square of its residuals (divided by the
// number of pairs), in the unit of Y; 0 for an empty set.
class TCurveFit {
public:
  // Empties the set.
  void Init() {
    FX.clear();
    FY.clear();
  }
  void EnterStatValue(double X, double Y);
  int32_t NrOfValues() const { return static_cast<int32_t>(FX.size()); }

  // Y = K·X + D.
  void CalcLinFit(double& K, double& D, double& Quality) const;
  // Y = K0 + K1·X + K2·X².
  void CalcParabolFit(double& K0, double& K1, double& K2, double& Quality) const;

  // N = number of pairs; S1 mean of X, S2 mean of Y, S3 and S4 the standard
  // deviations of X and Y (population form, divided by N), S5 mean of Y − X,
  // S6 root mean square of Y − X (the calibration quality in pixels when Y is
  // the recomputed and X the stored pixel coordinate), S7 the correlation
  // coefficient of X and Y (0 when either does not vary). All 0 for N = 0.
  void CalcStatistics(int32_t& N, double& S1, double& S2, double& S3, double& S4, double& S5,
                      double& S6, double& S7) const;

private:
  void Fit(int MaxDegree, double (&K)[3], double& Quality) const;
  std::vector<double> FX;
  std::vector<double> FY;
};

} // namespace qeb
