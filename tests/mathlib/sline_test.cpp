#include <gtest/gtest.h>

#include <cmath>

#include "qebgeolib/companion/mathlib/sline.h"

using namespace qeb;

namespace {
struct TClip {
  bool Ok;
  double X1, Y1, X2, Y2;
};
TClip Clip(double Ax, double Ay, double Bx, double By, double XLo, double YLo, double XHi,
           double YHi) {
  TSLine L;
  L.LineFrom2Points(Ax, Ay, Bx, By);
  TClip C{false, -7, -7, -7, -7};
  C.Ok = L.ClipBox(XLo, YLo, XHi, YHi, C.X1, C.Y1, C.X2, C.Y2);
  return C;
}
} // namespace

TEST(TSLine, ClipsTheSegment) {
  auto C = Clip(2, 3, 8, 9, 0, 0, 10, 10); // inside: unchanged
  EXPECT_TRUE(C.Ok);
  EXPECT_EQ(C.X1, 2);
  EXPECT_EQ(C.Y2, 9);

  C = Clip(-10, 5, 20, 5, 0, 0, 10, 10); // horizontal, both ends outside
  EXPECT_TRUE(C.Ok);
  EXPECT_EQ(C.X1, 0);
  EXPECT_EQ(C.X2, 10);
  EXPECT_EQ(C.Y1, 5);

  C = Clip(4, 20, 4, -20, 0, 0, 10, 10); // vertical, direction kept
  EXPECT_TRUE(C.Ok && C.Y1 == 10 && C.Y2 == 0 && C.X1 == 4 && C.X2 == 4);

  // A grid line with end points at x = 0 and x = image width, tilted so it
  // leaves the box through the top and bottom edges.
  C = Clip(0, -100, 1000, 900, 0, 0, 1000, 600);
  EXPECT_TRUE(C.Ok);
  EXPECT_DOUBLE_EQ(C.X1, 100);
  EXPECT_DOUBLE_EQ(C.Y1, 0);
  EXPECT_DOUBLE_EQ(C.X2, 700);
  EXPECT_DOUBLE_EQ(C.Y2, 600);

  // The segment, not the infinite line: it stops short of the box.
  EXPECT_FALSE(Clip(-10, -10, -5, -5, 0, 0, 10, 10).Ok);
  EXPECT_FALSE(Clip(-5, 20, 20, 12, 0, 0, 10, 10).Ok); // the line misses
  // Touching a corner counts; bounds given high first are swapped.
  C = Clip(-5, 5, 5, -5, 10, 10, 0, 0);
  EXPECT_TRUE(C.Ok);
  EXPECT_DOUBLE_EQ(C.X1, 0);
  EXPECT_DOUBLE_EQ(C.Y1, 0);
  EXPECT_DOUBLE_EQ(C.X2, 0);
  EXPECT_DOUBLE_EQ(C.Y2, 0);
}

TEST(TSLine, DegenerateAndBadInput) {
  auto C = Clip(3, 3, 3, 3, 0, 0, 10, 10);
  EXPECT_TRUE(C.Ok && C.X1 == 3 && C.Y1 == 3 && C.X2 == 3 && C.Y2 == 3);
  EXPECT_FALSE(Clip(30, 3, 30, 3, 0, 0, 10, 10).Ok);
  TSLine Fresh; // the point (0, 0)
  double X1 = 1, Y1 = 1, X2 = 1, Y2 = 1;
  EXPECT_TRUE(Fresh.ClipBox(0, 0, 1, 1, X1, Y1, X2, Y2));
  EXPECT_EQ(X1 + Y1 + X2 + Y2, 0.0);

  C = Clip(NAN, 0, 5, 5, 0, 0, 10, 10);
  EXPECT_FALSE(C.Ok);
  EXPECT_EQ(C.X1, -7); // outputs untouched
  EXPECT_FALSE(Clip(0, 0, 5, 5, 0, NAN, 10, 10).Ok);
  EXPECT_FALSE(Clip(0, 0, INFINITY, 5, 0, 0, 10, 10).Ok);
  EXPECT_FALSE(Clip(-1.7e308, 0, 1.7e308, 0, 0, 0, 10, 10).Ok); // difference overflows
  // An unbounded box is fine.
  C = Clip(-5, 1, 5, 2, -INFINITY, -INFINITY, INFINITY, INFINITY);
  EXPECT_TRUE(C.Ok && C.X1 == -5 && C.X2 == 5);
}
