// The map control's rubber band line: a line from the anchor to the pointer,
// switched on and off by left clicks; Ctrl+left click leaves the segment
// drawn so far and starts the next one where it ends.
#include "qebgeolib/voziza/view.h"

namespace qeb {

void TVozIza::TRubberLineGesture::Down(TVozIza& V, TMouseButton Button, TShiftState Shift,
                                       int32_t X, int32_t Y) {
  if (Button != mbLeft) return;
  const TControlRef Self(&V);
  TPoint P{V.FLastMClickPosX, V.FLastMClickPosY};
  if ((Shift & ssCtrl) && FRubberBandOn) {
    if (TOnRubberBandActionEvent F = V.FOnContinueRubberBand) F(&V, P);
    if (!Self) return;
    // The end point moves along with the anchor, so that the next move does
    // not "erase" a line that was never drawn when the click is not where
    // the last move was.
    FRubberBAnchor = FRubberBandOld = TPoint{X, Y};
  } else if (FRubberBandOn) {
    V.XorLine(FRubberBAnchor, FRubberBandOld);
    FRubberBandOn = false;
    if (TOnRubberBandActionEvent F = V.FOnEndRubberBand) F(&V, P);
  } else {
    if (TOnRubberBandActionEvent F = V.FOnBeginRubberBand) F(&V, P);
    if (!Self) return;
    FRubberBandOn = true;
    FRubberBAnchor = FRubberBandOld = TPoint{X, Y};
  }
}

void TVozIza::TRubberLineGesture::Move(TVozIza& V, TShiftState, int32_t& X, int32_t& Y) {
  if (!FRubberBandOn) return;
  V.XorLine(FRubberBAnchor, FRubberBandOld);
  FRubberBandOld = TPoint{X, Y};
  V.XorLine(FRubberBAnchor, FRubberBandOld);
}

} // namespace qeb
