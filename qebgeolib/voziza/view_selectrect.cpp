// The map control's selection rectangle: dotted while dragged with the left
// button; the release reports its corners as longitude and latitude when the
// calibration can convert all four values, else as image pixels.
#include "qebgeolib/voziza/detail/viewpixels.h"
#include "qebgeolib/voziza/view.h"

namespace qeb {

using namespace detail; // the internal pieces of this module

void TVozIza::TSelectRectGesture::Down(TVozIza& V, TMouseButton Button, TShiftState, int32_t X,
                                       int32_t Y) {
  if (Button != mbLeft) return;
  FWindAnchor = FWindOldCorner = TPoint{X, Y};
  FSelectRectOn = true;
  TPoint P{V.FLastMClickPosX, V.FLastMClickPosY};
  if (TOnRubberBandActionEvent F = V.FOnBeginRubberBand) F(&V, P);
}

void TVozIza::TSelectRectGesture::Move(TVozIza& V, TShiftState Shift, int32_t& X, int32_t& Y) {
  if (!FSelectRectOn || !(Shift & ssLeft)) return;
  X = Limit(X, 0, V.GetWidth());
  Y = Limit(Y, 0, V.GetHeight());
  V.XorRectangle(FWindAnchor, FWindOldCorner, true);
  FWindOldCorner = TPoint{X, Y};
  V.XorRectangle(FWindAnchor, FWindOldCorner, true);
}

void TVozIza::TSelectRectGesture::Up(TVozIza& V, TMouseButton Button, int32_t X, int32_t Y) {
  // A release without the press that opened the selection (the mode changed
  // meanwhile) has no rectangle on screen and nothing to report.
  if (Button != mbLeft || !FSelectRectOn) return;
  FSelectRectOn = false;
  V.XorRectangle(FWindAnchor, FWindOldCorner, true);
  const TPoint P1 = V.ControlToMapImage(FWindAnchor);
  const TPoint P2 = V.ControlToMapImage({X, Y});
  bool Valid = false;
  const double Lon1 = V.CalcLongitude(P1, Valid);
  double Lat1 = 0, Lon2 = 0, Lat2 = 0;
  if (Valid) Lat1 = V.CalcLatitude(P1, Valid);
  if (Valid) Lon2 = V.CalcLongitude(P2, Valid);
  if (Valid) Lat2 = V.CalcLatitude(P2, Valid);
  if (Valid)
    V.DoSelectRectEvent(1, Lon1, Lat1, Lon2, Lat2);
  else
    V.DoSelectRectEvent(0, P1.X, P1.Y, P2.X, P2.Y);
}

} // namespace qeb
