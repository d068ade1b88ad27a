// The map control's mouse box: MouseBox arms it and runs a nested message
// loop until the user has dragged a box (any button but the right one) or the
// box is cancelled, aborted or can no longer be finished.
#include <utility>

#include "qebgeolib/platform/controls/application.h"
#include "qebgeolib/voziza/detail/viewpixels.h"
#include "qebgeolib/voziza/view.h"

namespace qeb {

using namespace detail; // the internal pieces of this module

namespace {

// Ends a mouse box however its loop is left (a script step may throw):
// state idle and the mouse action back, unless the control is gone.
struct TMouseBoxScope {
  const TControlRef& Self;
  TMouseBoxState& State;
  TMouseActMode& Action;
  TMouseActMode Saved;
  ~TMouseBoxScope() {
    if (!Self) return;
    State = mbsIdle;
    Action = Saved;
  }
};

} // namespace

void TVozIza::TMouseBoxGesture::Down(TVozIza&, TMouseButton Button, TShiftState, int32_t X,
                                     int32_t Y) {
  if (FMouseBoxState != mbsArmed) return;
  if (Button == mbRight) {
    FMouseBoxState = mbsIdle;
    return;
  }
  FMouseBox1 = FMouseBox2 = TPoint{X, Y};
  FMouseBoxState = mbsDragging;
}

void TVozIza::TMouseBoxGesture::Move(TVozIza& V, TShiftState, int32_t& X, int32_t& Y) {
  if (FMouseBoxState != mbsDragging) return;
  X = Limit(X, 1, V.GetWidth());
  Y = Limit(Y, 1, V.GetHeight());
  V.XorRectangle(FMouseBox1, FMouseBox2, false);
  FMouseBox2 = TPoint{X, Y};
  V.XorRectangle(FMouseBox1, FMouseBox2, false);
}

void TVozIza::TMouseBoxGesture::Up(TVozIza& V, TMouseButton Button, int32_t X, int32_t Y) {
  if (FMouseBoxState != mbsDragging) return;
  // Erased before corner 2 takes the release point: the figure on screen
  // ends at the last (clamped) move.
  V.XorRectangle(FMouseBox1, FMouseBox2, false);
  if (Button == mbRight) {
    FMouseBoxState = mbsIdle;
    return;
  }
  FMouseBox2 = TPoint{X, Y};
  FMouseBoxState = mbsDone;
}

void TVozIza::TMouseBoxGesture::Abort(TVozIza& V) {
  // A box being dragged is on screen; nothing will erase it later.
  if (FMouseBoxState == mbsDragging) V.XorRectangle(FMouseBox1, FMouseBox2, false);
  FMouseBoxState = mbsIdle;
}

bool TVozIza::MouseBox(int32_t& xLo, int32_t& yLo, int32_t& xHi, int32_t& yHi) {
  const TControlRef Self(this);
  TApplication& App = Application();
  TMouseBoxState& State = FMouseBox.FMouseBoxState;
  TMouseBoxScope Scope{Self, State, FMouseAction, FMouseAction};
  FMouseAction = maNone;
  State = mbsArmed;
  App.ProcessMessages();
  if (!Self) return false;
  while (State == mbsArmed || State == mbsDragging) {
    // Nothing more can finish the box: give up rather than wait forever.
    if (App.GetTerminated() || !GetShowing() || !App.WaitMessage()) {
      if (!Self) return false;
      FMouseBox.Abort(*this);
      return false;
    }
    if (!Self) return false;
    App.ProcessMessages();
    if (!Self) return false;
  }
  if (State != mbsDone) return false;
  xLo = FMouseBox.FMouseBox1.X;
  yLo = FMouseBox.FMouseBox1.Y;
  xHi = FMouseBox.FMouseBox2.X;
  yHi = FMouseBox.FMouseBox2.Y;
  if (xHi < xLo) std::swap(xLo, xHi);
  if (yHi < yLo) std::swap(yLo, yHi);
  return true;
}

void TVozIza::MouseBoxAbort() {
  FMouseBox.Abort(*this);
}

} // namespace qeb
