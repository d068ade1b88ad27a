// The map control's zoom box: the rectangle dragged with the left button
// becomes the view, centred, at the magnification that fits its longer side.
#include <cmath>
#include <utility>

#include "qebgeolib/voziza/detail/calibmodels.h"
#include "qebgeolib/voziza/detail/viewpixels.h"
#include "qebgeolib/voziza/view.h"

namespace qeb {

using namespace detail; // the internal pieces of this module

void TVozIza::TZoomBoxGesture::Down(TVozIza& V, TMouseButton Button, TShiftState, int32_t X,
                                    int32_t Y) {
  if (FZoomState != zsIdle || Button != mbLeft || !Inside(X, Y, V.GetWidth(), V.GetHeight()))
    return;
  FZoomState = zsZoomBoxOpen;
  FWindAnchor = FWindOldCorner = TPoint{X, Y};
}

void TVozIza::TZoomBoxGesture::Move(TVozIza& V, TShiftState, int32_t& X, int32_t& Y) {
  if (FZoomState != zsZoomBoxOpen) return;
  X = Limit(X, 0, V.GetWidth());
  Y = Limit(Y, 0, V.GetHeight());
  V.XorRectangle(FWindAnchor, FWindOldCorner, false);
  FWindOldCorner = TPoint{X, Y};
  V.XorRectangle(FWindAnchor, FWindOldCorner, false);
}

void TVozIza::TZoomBoxGesture::Up(TVozIza& V, TMouseButton Button, int32_t X, int32_t Y) {
  if (FZoomState != zsZoomBoxOpen) return;
  if (Button == mbRight) {
    FZoomState = zsIdle;
    V.XorRectangle(FWindAnchor, FWindOldCorner, false);
    return;
  }
  if (Button != mbLeft) return; // the middle button leaves the box open
  FZoomState = zsIdle;
  if (FWindAnchor.X != FWindOldCorner.X && FWindAnchor.Y != FWindOldCorner.Y) {
    int32_t AX = FWindAnchor.X, AY = FWindAnchor.Y, BX = X, BY = Y;
    if (BX < AX) std::swap(AX, BX);
    if (BY < AY) std::swap(AY, BY);
    const TPoint P1 = V.ControlToMapImage({AX, AY});
    const TPoint P2 = V.ControlToMapImage({BX, BY});
    if (P1.X != P2.X && P1.Y != P2.Y) {
      const double DX = std::abs(static_cast<double>(P2.X) - P1.X),
                   DY = std::abs(static_cast<double>(P2.Y) - P1.Y);
      const double W = V.GetWidth(), H = V.GetHeight();
      V.FMagnify = ClampMagnification(DY < DX ? W / DX : H / DY);
      V.FTopLeft.X = Saturate(int64_t{P1.X} + RoundPixel((DX - W / V.FMagnify) / 2));
      V.FTopLeft.Y = Saturate(int64_t{P1.Y} + RoundPixel((DY - H / V.FMagnify) / 2));
      V.Paint(); // replaces the figure with the new view
      V.DoZoomPanEvent();
      return;
    }
  }
  // Without a zoom no repaint replaces the view: the figure goes here.
  V.XorRectangle(FWindAnchor, FWindOldCorner, false);
}

} // namespace qeb
