#include "qebgeolib/platform/base/types.h"

#include <climits>
#include <gtest/gtest.h>

using namespace qeb;

namespace {

constexpr TRect Whole{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};

} // namespace

// Right and bottom are exclusive: a rectangle covers Left..Right-1 by
// Top..Bottom-1, and one that covers no pixel is empty wherever it lies.
TEST(Types, RectIntersectionAndContainment) {
  struct {
    TRect R;
    bool Empty;
  } const Emptiness[] = {
      {{0, 0, 0, 0}, true},  {{0, 0, 1, 1}, false}, {{5, 5, 4, 10}, true},
      {{0, 0, 10, 0}, true}, {Whole, false},        {{INT32_MAX, 0, INT32_MIN, 1}, true},
  };
  for (const auto& C : Emptiness)
    EXPECT_EQ(C.R.IsEmpty(), C.Empty) << C.R.Left << "," << C.R.Top << "," << C.R.Right;

  struct {
    TRect R;
    TPoint P;
    bool In;
  } const Points[] = {
      {{2, 3, 6, 8}, {2, 3}, true},  {{2, 3, 6, 8}, {5, 7}, true},
      {{2, 3, 6, 8}, {6, 7}, false}, {{2, 3, 6, 8}, {5, 8}, false},
      {{2, 3, 6, 8}, {1, 3}, false}, {{2, 3, 6, 8}, {2, 2}, false},
      {{4, 4, 4, 9}, {4, 5}, false}, {Whole, {INT32_MAX - 1, INT32_MIN}, true},
  };
  for (const auto& C : Points)
    EXPECT_EQ(C.R.Contains(C.P), C.In) << C.P.X << "," << C.P.Y;

  struct {
    TRect Outer, Inner;
    bool In;
  } const Rects[] = {
      {{0, 0, 10, 10}, {0, 0, 10, 10}, true},   {{0, 0, 10, 10}, {0, 0, 11, 10}, false},
      {{0, 0, 10, 10}, {-1, 0, 5, 5}, false},   {{0, 0, 10, 10}, {2, 2, 8, 10}, true},
      {{0, 0, 10, 10}, {20, 20, 20, 25}, true}, {{0, 0, 10, 10}, {8, 8, 2, 2}, true},
      {{3, 3, 3, 3}, {3, 3, 4, 4}, false},      {{3, 3, 3, 3}, {3, 3, 3, 3}, true},
  };
  for (const auto& C : Rects)
    EXPECT_EQ(C.Outer.Contains(C.Inner), C.In) << C.Inner.Left << "," << C.Inner.Right;

  struct {
    TRect A, B, Expected;
  } const Overlaps[] = {
      {{0, 0, 10, 10}, {5, 5, 15, 15}, {5, 5, 10, 10}},
      {{0, 0, 10, 10}, {2, 3, 4, 5}, {2, 3, 4, 5}},
      // Sharing an edge is sharing no pixel.
      {{0, 0, 10, 10}, {10, 0, 20, 10}, {10, 0, 10, 10}},
      // Apart: empty with no negative extent.
      {{0, 0, 10, 10}, {20, 30, 40, 50}, {20, 30, 20, 30}},
      {{20, 30, 40, 50}, {0, 0, 10, 10}, {20, 30, 20, 30}},
      {Whole, {-1, -1, 1, 1}, {-1, -1, 1, 1}},
  };
  for (const auto& C : Overlaps) {
    const TRect R = Intersect(C.A, C.B);
    EXPECT_EQ(R, C.Expected) << R.Left << "," << R.Top << "," << R.Right << "," << R.Bottom;
    EXPECT_EQ(Intersect(C.B, C.A), R);
    EXPECT_TRUE(C.A.Contains(R) && C.B.Contains(R));
  }
}
