#include "qebgeolib/platform/base/types.h"

#include <climits>
#include <gtest/gtest.h>
#include <utility>

using namespace qeb;

// Right and bottom are exclusive; a rectangle that covers no pixel is empty
// wherever it lies.
TEST(Types, RectIntersectionAndContainment) {
  constexpr TRect Whole{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, R{2, 3, 6, 8};
  const std::pair<TRect, bool> Emptiness[] = {
      {{0, 0, 1, 1}, false}, {{0, 0, 0, 0}, true}, {{5, 5, 4, 10}, true},
      {{0, 0, 10, 0}, true}, {Whole, false},       {{INT32_MAX, 0, INT32_MIN, 1}, true}};
  for (const auto& [Rc, Empty] : Emptiness)
    EXPECT_EQ(Rc.IsEmpty(), Empty) << Rc.Left << "," << Rc.Right;

  const std::pair<TPoint, bool> Points[] = {{{2, 3}, true},  {{5, 7}, true},  {{6, 7}, false},
                                            {{5, 8}, false}, {{1, 3}, false}, {{2, 2}, false}};
  for (const auto& [Pt, In] : Points)
    EXPECT_EQ(R.Contains(Pt), In) << Pt.X << "," << Pt.Y;
  EXPECT_FALSE(TRect({4, 4, 4, 9}).Contains(TPoint{4, 5}));
  EXPECT_TRUE(Whole.Contains(TPoint{INT32_MAX - 1, INT32_MIN}));

  const std::pair<TRect, bool> Inside[] = {{R, true},
                                           {{2, 3, 7, 8}, false},
                                           {{1, 3, 4, 4}, false},
                                           {{3, 4, 6, 8}, true},
                                           {{20, 20, 20, 25}, true},
                                           {{8, 8, 2, 2}, true}};
  for (const auto& [Inner, In] : Inside)
    EXPECT_EQ(R.Contains(Inner), In) << Inner.Left << "," << Inner.Right;
  EXPECT_FALSE(TRect({3, 3, 3, 3}).Contains(TRect{3, 3, 4, 4}));

  struct {
    TRect A, B, Expected;
  } const Overlaps[] = {
      {{0, 0, 10, 10}, {5, 5, 15, 15}, {5, 5, 10, 10}},
      {{0, 0, 10, 10}, {2, 3, 4, 5}, {2, 3, 4, 5}},
      {{0, 0, 10, 10}, {10, 0, 20, 10}, {10, 0, 10, 10}},   // a shared edge: no pixel
      {{0, 0, 10, 10}, {20, 30, 40, 50}, {20, 30, 20, 30}}, // apart: no negative extent
      {Whole, {-1, -1, 1, 1}, {-1, -1, 1, 1}},
  };
  for (const auto& C : Overlaps) {
    const TRect I = Intersect(C.A, C.B);
    EXPECT_EQ(I, C.Expected) << I.Left << "," << I.Top << "," << I.Right << "," << I.Bottom;
    EXPECT_EQ(Intersect(C.B, C.A), I);
    EXPECT_TRUE(C.A.Contains(I) && C.B.Contains(I));
  }
}
