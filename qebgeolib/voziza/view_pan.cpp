// The map control's drags: panning and drag zoom. Both anchor on the first
// move with the left button held and act on the later moves inside the
// control; the anchor stays where the drag began.
#include "qebgeolib/voziza/detail/calibmodels.h"
#include "qebgeolib/voziza/detail/viewpixels.h"
#include "qebgeolib/voziza/view.h"

namespace qeb {

using namespace detail; // the internal pieces of this module

bool TVozIza::TPanGesture::Follows(TVozIza& V, TShiftState Shift, int32_t X, int32_t Y) {
  if (!(Shift & ssLeft)) {
    FLButtonWasDown = false;
    return false;
  }
  if (!FLButtonWasDown) {
    // The first move of a drag only fixes where it started.
    FLButtonWasDown = true;
    MouseAnchor = TPoint{X, Y};
    FTopLeftAnchor = V.FTopLeft;
    return false;
  }
  return Inside(X, Y, V.GetWidth(), V.GetHeight());
}

void TVozIza::TPanGesture::Move(TVozIza& V, TShiftState Shift, int32_t& X, int32_t& Y) {
  if (!Follows(V, Shift, X, Y)) return;
  const double M = V.FMagnify;
  if (V.FMouseAction != maPanVert)
    V.FTopLeft.X = Saturate(int64_t{RoundPixel((MouseAnchor.X - X) / M)} + FTopLeftAnchor.X);
  if (V.FMouseAction != maPanHoriz)
    V.FTopLeft.Y = Saturate(int64_t{RoundPixel((MouseAnchor.Y - Y) / M)} + FTopLeftAnchor.Y);
  if (V.FConfinePan) V.PanMapToFillWindow();
  V.Paint();
  V.DoZoomPanEvent();
}

void TVozIza::TPanGesture::Up(TVozIza& V, TMouseButton Button, int32_t, int32_t) {
  // The drag ends here; the next one anchors afresh even when no move
  // without the button came in between (touch input).
  if (Button == mbLeft) FLButtonWasDown = false;
  V.ZoomStateOnStack();
}

void TVozIza::TDragZoomGesture::Move(TVozIza& V, TShiftState Shift, int32_t& X, int32_t& Y) {
  if (!Follows(V, Shift, X, Y)) return;
  const int32_t W = V.GetWidth(), H = V.GetHeight();
  if (W <= 0 || H <= 0) return;
  const double M = V.FMagnify;
  const int64_t CX = int64_t{RoundPixel(W / M / 2)} + V.FTopLeft.X;
  const int64_t CY = int64_t{RoundPixel(H / M / 2)} + V.FTopLeft.Y;
  // The factor of the whole displacement from the anchor, applied again by
  // every move: dragging up zooms in, down zooms out.
  const double Factor = 1 - 0.05 * (MouseAnchor.X - X) / static_cast<double>(W) +
                        (MouseAnchor.Y - Y) / static_cast<double>(H);
  V.FMagnify = ClampMagnification(M * Factor);
  V.FTopLeft.X = Saturate(CX - RoundPixel(W / V.FMagnify / 2));
  V.FTopLeft.Y = Saturate(CY - RoundPixel(H / V.FMagnify / 2));
  V.Paint();
  V.DoZoomPanEvent();
}

} // namespace qeb
