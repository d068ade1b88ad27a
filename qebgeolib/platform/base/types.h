// Plain value types shared by every layer: colours, date-times, points and
// rectangles with the framework's conventions.
#pragma once

#include <algorithm>
#include <cstdint>

namespace qeb {

// 0x00BBGGRR: red in the low byte.
using TColor = uint32_t;

// Days since 1899-12-30; the fraction is the time of day.
using TDateTime = double;

struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

// Right and Bottom are exclusive, as in the framework's drawing operations.
struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  int32_t Width() const { return Right - Left; }
  int32_t Height() const { return Bottom - Top; }
  // Covers no pixel; an inverted rectangle is empty too.
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool Contains(const TPoint& P) const {
    return P.X >= Left && P.X < Right && P.Y >= Top && P.Y < Bottom;
  }
  // Every pixel of R lies inside, so an empty R is contained in any
  // rectangle, wherever its corners are.
  bool Contains(const TRect& R) const {
    return R.IsEmpty() ||
           (R.Left >= Left && R.Top >= Top && R.Right <= Right && R.Bottom <= Bottom);
  }
  friend bool operator==(const TRect&, const TRect&) = default;
};

inline TPoint Point(int32_t X, int32_t Y) {
  return TPoint{X, Y};
}
inline TRect Rect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
  return TRect{Left, Top, Right, Bottom};
}

// The pixels both cover. Without overlap the result is empty and has no
// negative extent: Right is at least Left and Bottom at least Top.
inline TRect Intersect(const TRect& A, const TRect& B) {
  TRect R{std::max(A.Left, B.Left), std::max(A.Top, B.Top), std::min(A.Right, B.Right),
          std::min(A.Bottom, B.Bottom)};
  R.Right = std::max(R.Right, R.Left);
  R.Bottom = std::max(R.Bottom, R.Top);
  return R;
}

} // namespace qeb
