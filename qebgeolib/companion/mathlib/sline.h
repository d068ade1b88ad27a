// Straight line segment between two points, clipped to axis-parallel boxes
// for drawing grid lines inside an image.
#pragma once

namespace qeb {

// The segment from (X1, Y1) to (X2, Y2) as given to LineFrom2Points (a new
// object holds the single point (0, 0)). ClipBox clips the segment, not the
// infinite line through its end points: callers pass end points at the edges
// of the area they draw, so the segment is exactly the part that may show.
class TSLine {
public:
  void LineFrom2Points(double X1, double Y1, double X2, double Y2) {
    FX1 = X1;
    FY1 = Y1;
    FX2 = X2;
    FY2 = Y2;
  }

  // True when part of the segment lies in the closed box [XLo, XHi] x
  // [YLo, YHi]; X1, Y1, X2, Y2 then receive that part, in the direction of the
  // segment (an end point inside the box is returned unchanged, a computed
  // one lies on the box edge). Bounds given high before low are swapped. A
  // segment of two equal points is inside when the point is. False, with the
  // outputs unchanged, when the segment misses the box, an end point or a bound is NaN, an end
  // point is infinite, or the end points lie too far apart to subtract.
  bool ClipBox(double XLo, double YLo, double XHi, double YHi, double& X1, double& Y1, double& X2,
               double& Y2) const;

  double GetX1() const { return FX1; }
  double GetY1() const { return FY1; }
  double GetX2() const { return FX2; }
  double GetY2() const { return FY2; }

private:
  double FX1 = 0;
  double FY1 = 0;
  double FX2 = 0;
  double FY2 = 0;
};

} // namespace qeb
