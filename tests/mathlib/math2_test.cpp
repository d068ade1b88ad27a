#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>

#include "qebgeolib/companion/mathlib/math2.h"

using namespace qeb;

namespace {
constexpr double Pi = std::numbers::pi;
constexpr double R = 6378000;
} // namespace

TEST(SphereGreatCircleDist, KnownDistancesAndSymmetry) {
  EXPECT_NEAR(SphereGreatCircleDist(R, 0, 0, 0, 90), Pi / 2 * R, 1e-6);
  EXPECT_NEAR(SphereGreatCircleDist(R, 0, 0, 90, 0), Pi / 2 * R, 1e-6);
  EXPECT_NEAR(SphereGreatCircleDist(R, 45, 10, 45, 10 + 360), 0, 1e-6);
  EXPECT_EQ(SphereGreatCircleDist(R, 47.1, 15.4, 47.1, 15.4), 0.0);
  // Antipodes: the whole half circumference, never more, never NaN.
  for (auto [A1, B1, A2, B2] :
       {std::array{0.0, 0.0, 0.0, 180.0}, std::array{90.0, 0.0, -90.0, 0.0},
        std::array{30.0, -20.0, -30.0, 160.0}, std::array{0.0, -180.0, 0.0, 0.0}}) {
    const double D = SphereGreatCircleDist(R, A1, B1, A2, B2);
    EXPECT_NEAR(D, Pi * R, 1e-6);
    EXPECT_LE(D, Pi * R);
  }
  // The short way round: 350 degrees apart along the equator is 10 degrees.
  EXPECT_NEAR(SphereGreatCircleDist(1, 0, -175, 0, 175), 10 * Pi / 180, 1e-15);
  // Small distances keep their relative accuracy (1 mm on the equator).
  const double Deg = 0.001 / (R * Pi / 180);
  EXPECT_NEAR(SphereGreatCircleDist(R, 0, 0, 0, Deg), 0.001, 1e-15);
  // Along a meridian across the pole.
  EXPECT_NEAR(SphereGreatCircleDist(1, 80, 0, 80, 180), 20 * Pi / 180, 1e-15);
  EXPECT_DOUBLE_EQ(SphereGreatCircleDist(R, 47, 15, -33, 151),
                   SphereGreatCircleDist(R, -33, 151, 47, 15));
  EXPECT_EQ(SphereGreatCircleDist(-2, 0, 0, 0, 90), SphereGreatCircleDist(2, 0, 0, 0, 90));
  EXPECT_TRUE(std::isnan(SphereGreatCircleDist(R, NAN, 0, 0, 0)));
}

TEST(TCurveFit, RecoversLineAndParabolaAtLargePixelCoordinates) {
  TCurveFit F;
  for (int I = 0; I <= 40; ++I) {
    const double X = 29000 + 50.0 * I;
    F.EnterStatValue(X, -0.75 * X + 31234.5);
  }
  double K, D, Q;
  F.CalcLinFit(K, D, Q);
  EXPECT_NEAR(K, -0.75, 0.75 * 1e-9);
  EXPECT_NEAR(D, 31234.5, 31234.5 * 1e-9);
  EXPECT_LT(Q, 1e-9);

  F.Init();
  EXPECT_EQ(F.NrOfValues(), 0);
  const double C0 = 3.25, C1 = 0.5, C2 = -2e-5;
  for (int I = 0; I <= 20; ++I) {
    const double X = 28000 + 200.0 * I;
    F.EnterStatValue(X, C0 + C1 * X + C2 * X * X);
  }
  double K0, K1, K2;
  F.CalcParabolFit(K0, K1, K2, Q);
  EXPECT_NEAR(K0, C0, std::fabs(C0) * 1e-9);
  EXPECT_NEAR(K1, C1, std::fabs(C1) * 1e-9);
  EXPECT_NEAR(K2, C2, std::fabs(C2) * 1e-9);
  EXPECT_LT(Q, 1e-7);
}

TEST(TCurveFit, QualityIsRmsOfResiduals) {
  TCurveFit F;
  F.EnterStatValue(0, 0);
  F.EnterStatValue(1, 1);
  F.EnterStatValue(2, 0);
  double K, D, Q;
  F.CalcLinFit(K, D, Q);
  EXPECT_NEAR(K, 0, 1e-15);
  EXPECT_NEAR(D, 1.0 / 3, 1e-15);
  EXPECT_NEAR(Q, std::sqrt(2.0 / 9), 1e-15);
  double K0, K1, K2;
  F.CalcParabolFit(K0, K1, K2, Q); // y = 2x - x², exactly through all three
  EXPECT_NEAR(K0, 0, 1e-14);
  EXPECT_NEAR(K1, 2, 1e-14);
  EXPECT_NEAR(K2, -1, 1e-14);
  EXPECT_NEAR(Q, 0, 1e-15);
}

TEST(TCurveFit, DegenerateSetsGiveFiniteLowerDegreeFits) {
  TCurveFit F;
  double K, D, Q, K0, K1, K2;
  F.CalcLinFit(K, D, Q);
  F.CalcParabolFit(K0, K1, K2, Q);
  EXPECT_TRUE(K == 0 && D == 0 && K0 == 0 && K1 == 0 && K2 == 0 && Q == 0);

  F.EnterStatValue(30000, 7);
  F.CalcLinFit(K, D, Q);
  EXPECT_TRUE(K == 0 && D == 7 && Q == 0);

  F.EnterStatValue(30002, 8); // two points: exact line, no curvature
  F.CalcParabolFit(K0, K1, K2, Q);
  EXPECT_EQ(K2, 0.0);
  EXPECT_NEAR(K1, 0.5, 1e-12);
  EXPECT_NEAR(K0 + K1 * 30001, 7.5, 1e-9);
  EXPECT_NEAR(Q, 0, 1e-9);

  F.EnterStatValue(30002, 10); // two distinct X only: least-squares line
  F.CalcParabolFit(K0, K1, K2, Q);
  EXPECT_EQ(K2, 0.0);
  EXPECT_NEAR(K1, 1, 1e-12); // through (30000, 7) and the mean (30002, 9)
  EXPECT_NEAR(Q, std::sqrt(2.0 / 3), 1e-9);

  F.Init();
  for (double Y : {1.0, 2.0, 6.0}) // all X equal: horizontal line through the mean
    F.EnterStatValue(12345.678, Y);
  F.EnterStatValue(NAN, 5); // not entered
  F.EnterStatValue(1, INFINITY);
  EXPECT_EQ(F.NrOfValues(), 3);
  F.CalcLinFit(K, D, Q);
  EXPECT_TRUE(K == 0 && D == 3);
  F.CalcParabolFit(K0, K1, K2, Q);
  EXPECT_TRUE(K0 == 3 && K1 == 0 && K2 == 0);
  EXPECT_NEAR(Q, std::sqrt(14.0 / 3), 1e-12);
}

TEST(TCurveFit, Statistics) {
  TCurveFit F;
  int32_t N;
  double S[7];
  F.CalcStatistics(N, S[0], S[1], S[2], S[3], S[4], S[5], S[6]);
  EXPECT_EQ(N, 0);
  for (double V : S)
    EXPECT_EQ(V, 0.0);

  const double X[] = {1, 2, 3, 4}, Y[] = {2, 4, 5, 4};
  for (int I = 0; I < 4; ++I)
    F.EnterStatValue(X[I] + 30000, Y[I] + 30000); // offset must not matter
  F.CalcStatistics(N, S[0], S[1], S[2], S[3], S[4], S[5], S[6]);
  EXPECT_EQ(N, 4);
  EXPECT_DOUBLE_EQ(S[0], 30002.5);
  EXPECT_DOUBLE_EQ(S[1], 30003.75);
  EXPECT_NEAR(S[2], std::sqrt(1.25), 1e-12);
  EXPECT_NEAR(S[3], std::sqrt(1.1875), 1e-12);
  EXPECT_NEAR(S[4], 1.25, 1e-12);
  EXPECT_NEAR(S[5], 1.5, 1e-12); // RMS of 1, 2, 2, 0
  EXPECT_NEAR(S[6], 3.5 / std::sqrt(23.75), 1e-12);

  F.Init();
  F.EnterStatValue(5, 1);
  F.EnterStatValue(5, 3);
  F.CalcStatistics(N, S[0], S[1], S[2], S[3], S[4], S[5], S[6]);
  EXPECT_EQ(S[2], 0.0);
  EXPECT_EQ(S[6], 0.0); // X does not vary
  EXPECT_NEAR(S[5], std::sqrt(10.0), 1e-12);
}
