// Controls: tree bookkeeping, layout, painting, composition and the mouse
// entry points.
#include "qebgeolib/platform/controls/controls.h"

#include <algorithm>

#include "qebgeolib/platform/controls/application.h"

namespace qeb {

namespace {

// Resets a flag when a scope ends, also by an exception.
class TFlagGuard {
public:
  explicit TFlagGuard(bool& Flag) : FFlag(Flag) { FFlag = true; }
  ~TFlagGuard() { FFlag = false; }
  TFlagGuard(const TFlagGuard&) = delete;
  TFlagGuard& operator=(const TFlagGuard&) = delete;

private:
  bool& FFlag;
};

} // namespace

// ---------------------------------------------------------------------------
// TControlRef

TControlRef::TControlRef(TControl* Control) {
  if (Control) FRef = Control->FSelf;
}

TControl* TControlRef::Get() const {
  const std::shared_ptr<TControl*> P = FRef.lock();
  return P ? *P : nullptr;
}

// ---------------------------------------------------------------------------
// TControl

TControl::TControl(TComponent* AOwner)
    : TComponent(AOwner), FSelf(std::make_shared<TControl*>(this)), FSurface(0, 0, pf32bit) {}

TControl::~TControl() {
  // From here on no reference reaches this control, whatever the host does.
  *FSelf = nullptr;
  Application().GetHost().ControlDestroyed(this);
  if (FParent) {
    TWinControl* P = FParent;
    P->FControls.erase(std::find(P->FControls.begin(), P->FControls.end(), this));
    FParent = nullptr;
    if (FAlign != alNone && FVisible) P->Realign();
  }
}

void TControl::SetName(const std::string& NewName) {
  const std::string Old = GetName();
  TComponent::SetName(NewName);
  if ((FControlStyle & csSetCaption) && FCaption == Old) SetCaption(NewName);
}

void TControl::SetParent(TWinControl* AParent) {
  if (AParent == FParent) return;
  for (const TControl* P = AParent; P; P = P->FParent)
    if (P == this) throw EInvalidOperation("A control cannot have itself as its parent");
  const bool Aligned = FAlign != alNone && FVisible;
  if (TWinControl* Old = FParent) {
    Old->FControls.erase(std::find(Old->FControls.begin(), Old->FControls.end(), this));
    FParent = nullptr;
    if (Aligned) Old->Realign();
  }
  FParent = AParent;
  if (AParent) {
    AParent->FControls.push_back(this);
    if (Aligned) AParent->Realign();
  }
  Changed(ccParent);
  if (AParent && AParent->HandleAllocated())
    if (auto* W = dynamic_cast<TWinControl*>(this)) W->HandleNeeded();
}

void TControl::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  AWidth = std::clamp(AWidth, 0, MaxControlExtent);
  AHeight = std::clamp(AHeight, 0, MaxControlExtent);
  if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
  const bool Resized = AWidth != FWidth || AHeight != FHeight;
  // The only step that can fail comes first, so a refused size changes nothing.
  if (Resized) FSurface.SetSize(AWidth, AHeight);
  FLeft = ALeft;
  FTop = ATop;
  FWidth = AWidth;
  FHeight = AHeight;
  Changed(ccBounds);
  // An aligned control gets its place from the parent, which calls back here.
  if (FParent && FAlign != alNone && FVisible && !FParent->FAligning) FParent->Realign();
  BoundsChanged(Resized);
  if (Resized) {
    Invalidate();
    Resize();
  }
}

void TControl::BoundsChanged(bool /*Resized*/) {}

TControl* TControl::GetRoot() {
  TControl* C = this;
  while (C->FParent)
    C = C->FParent;
  return C;
}

TPoint TControl::ClientOrigin() const {
  TPoint P;
  for (const TControl* C = this; C->FParent; C = C->FParent) {
    P.X += C->FLeft;
    P.Y += C->FTop;
  }
  return P;
}

TPoint TControl::ClientToWindow(const TPoint& P) const {
  const TPoint O = ClientOrigin();
  return {P.X + O.X, P.Y + O.Y};
}

TPoint TControl::WindowToClient(const TPoint& P) const {
  const TPoint O = ClientOrigin();
  return {P.X - O.X, P.Y - O.Y};
}

void TControl::SetVisible(bool Value) {
  if (Value == FVisible) return;
  FVisible = Value;
  Changed(ccVisible);
  if (FParent && FAlign != alNone) FParent->Realign();
  if (Value) Invalidate();
}

bool TControl::GetShowing() const {
  for (const TControl* C = this; C; C = C->FParent)
    if (!C->FVisible) return false;
  return true;
}

void TControl::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  Changed(ccEnabled);
  Invalidate();
}

bool TControl::IsEnabledInParents() const {
  for (const TControl* C = this; C; C = C->FParent)
    if (!C->FEnabled) return false;
  return true;
}

void TControl::SetAlign(TAlign Value) {
  if (Value == FAlign) return;
  const bool WasAligned = FAlign != alNone;
  FAlign = Value;
  if (FParent && FVisible && (WasAligned || Value != alNone)) FParent->Realign();
}

void TControl::SetCursor(TCursor Value) {
  if (Value == FCursor) return;
  FCursor = Value;
  Application().GetHost().CursorChanged(this);
}

void TControl::SetCaption(const std::string& Value) {
  if (Value == FCaption) return;
  FCaption = Value;
  Changed(ccContent);
  Invalidate();
}

void TControl::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  Changed(ccContent);
  Invalidate();
}

void TControl::SetFont(const TFont& Value) {
  FFont = Value;
  Changed(ccContent);
  Invalidate();
}

TCanvas& TControl::GetCanvas() {
  if (!FPainting && !FSurfaceReported) {
    FSurfaceReported = true;
    Application().GetHost().AreaChanged(this, GetClientRect());
  }
  return FSurface.GetCanvas();
}

const TBitmap& TControl::GetSurfaceForDisplay() {
  Update();
  FSurfaceReported = false;
  return FSurface;
}

void TControl::Invalidate() {
  FNeedsPaint = true;
  Application().GetHost().AreaChanged(this, GetClientRect());
}

void TControl::Update() {
  if (!FNeedsPaint) return;
  FNeedsPaint = false;
  TFlagGuard Painting(FPainting);
  if (!(FControlStyle & csOpaque)) {
    TCanvas& C = FSurface.GetCanvas();
    const TCanvasStateSaver Saved(C);
    C.GetBrush().SetColor(FColor);
    C.FillRect(GetClientRect());
  }
  Paint();
}

void TControl::Repaint() {
  Invalidate();
  Update();
}

void TControl::PaintTo(TCanvas& Dest, int32_t X, int32_t Y) {
  if (auto* W = dynamic_cast<TWinControl*>(GetRoot())) W->HandleNeeded();
  const TCopyMode SavedMode = Dest.GetCopyMode();
  Dest.SetCopyMode(cmSrcCopy);
  // Each control is clipped to the visible part of its parent.
  struct TComposer {
    TCanvas& Dest;
    void Compose(TControl* C, int32_t X, int32_t Y, const TRect& Clip) {
      C->Update();
      const TRect R = Intersect(Clip, Rect(X, Y, X + C->FWidth, Y + C->FHeight));
      if (R.IsEmpty()) return;
      Dest.CopyRect(R, C->FSurface.GetCanvas(),
                    Rect(R.Left - X, R.Top - Y, R.Right - X, R.Bottom - Y));
      if (auto* W = dynamic_cast<TWinControl*>(C))
        for (TControl* Child : W->FControls)
          if (Child->FVisible) Compose(Child, X + Child->FLeft, Y + Child->FTop, R);
    }
  } Composer{Dest};
  try {
    Composer.Compose(this, X, Y, Dest.GetClipRect());
  } catch (...) {
    Dest.SetCopyMode(SavedMode);
    throw;
  }
  Dest.SetCopyMode(SavedMode);
}

void TControl::PaintTo(TBitmap& Dest) {
  Dest.NewImage(FWidth, FHeight, pf32bit);
  PaintTo(Dest.GetCanvas(), 0, 0);
}

void TControl::Changed(TControlChange Change) {
  Application().GetHost().ControlChanged(this, Change);
}

// Handlers may destroy the control (a click that closes a window); every
// step after a handler checks the reference first.

void TControl::InputMouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y,
                              bool DoubleClick) {
  if (!GetShowing() || !IsEnabledInParents()) return;
  if (auto* W = dynamic_cast<TWinControl*>(GetRoot())) W->HandleNeeded();
  const TControlRef Self(this);
  if (DoubleClick && (FControlStyle & csDoubleClicks)) {
    Shift |= ssDouble;
    if (Button == mbLeft) {
      DblClick();
      if (!Self) return;
    }
  } else if (Button == mbLeft && (FControlStyle & csClickEvents)) {
    FClicked = true;
  }
  MouseDown(Button, Shift, X, Y);
}

void TControl::InputMouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  if (!GetShowing() || !IsEnabledInParents()) return;
  MouseMove(Shift, X, Y);
}

void TControl::InputMouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (!GetShowing() || !IsEnabledInParents()) {
    FClicked = false;
    return;
  }
  const TControlRef Self(this);
  if (Button == mbLeft && FClicked) {
    FClicked = false;
    if (GetClientRect().Contains(Point(X, Y))) {
      Click();
      if (!Self) return;
    }
  }
  MouseUp(Button, Shift, X, Y);
}

bool TControl::InputMouseWheel(TShiftState Shift, int32_t WheelDelta, int32_t X, int32_t Y) {
  TControl* C = this;
  TPoint P{X, Y};
  while (C && C->GetShowing() && C->IsEnabledInParents()) {
    const TControlRef Ref(C);
    if (C->DoMouseWheel(Shift, WheelDelta, P)) return true;
    if (!Ref) return false;
    P.X += C->FLeft;
    P.Y += C->FTop;
    C = C->FParent;
  }
  return false;
}

// Event handlers are copied before the call, so a handler may replace or
// clear its own event.

void TControl::Click() {
  if (TNotifyEvent F = FOnClick) F(this);
}

void TControl::DblClick() {
  if (TNotifyEvent F = FOnDblClick) F(this);
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (TMouseEvent F = FOnMouseDown) F(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  if (TMouseMoveEvent F = FOnMouseMove) F(this, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (TMouseEvent F = FOnMouseUp) F(this, Button, Shift, X, Y);
}

bool TControl::DoMouseWheel(TShiftState Shift, int32_t WheelDelta, const TPoint& MousePos) {
  bool Handled = false;
  const TControlRef Self(this);
  if (TMouseWheelEvent F = FOnMouseWheel) {
    F(this, Shift, WheelDelta, MousePos, Handled);
    if (Handled || !Self) return Handled;
  }
  if (WheelDelta < 0) {
    if (TMouseWheelUpDownEvent F = FOnMouseWheelDown) F(this, Shift, MousePos, Handled);
  } else if (WheelDelta > 0) {
    if (TMouseWheelUpDownEvent F = FOnMouseWheelUp) F(this, Shift, MousePos, Handled);
  }
  return Handled;
}

void TControl::Resize() {
  if (TNotifyEvent F = FOnResize) F(this);
}

// ---------------------------------------------------------------------------
// TWinControl

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
  // Children this control does not own live on without parent; the owned
  // ones are deleted next, by the component destructor.
  const std::vector<TControl*> Children = std::move(FControls);
  FControls.clear();
  for (TControl* C : Children) {
    C->FParent = nullptr;
    C->Changed(ccParent);
  }
}

TControl* TWinControl::GetControls(int32_t Index) const {
  if (Index < 0 || Index >= GetControlCount())
    throw std::out_of_range("List index out of bounds (" + IntToStr(Index) + ")");
  return FControls[static_cast<std::size_t>(Index)];
}

void TWinControl::RemoveControl(TControl* AControl) {
  if (AControl && AControl->FParent == this) AControl->SetParent(nullptr);
}

bool TWinControl::ContainsControl(const TControl* AControl) const {
  for (const TControl* C = AControl; C; C = C->FParent)
    if (C == this) return true;
  return false;
}

TControl* TWinControl::ControlAtPos(const TPoint& Pos, bool AllowDisabled, bool Deep) {
  for (auto It = FControls.rbegin(); It != FControls.rend(); ++It) {
    TControl* C = *It;
    if (!C->FVisible || (!AllowDisabled && !C->FEnabled)) continue;
    if (!C->GetBoundsRect().Contains(Pos)) continue;
    if (!Deep) return C;
    if (auto* W = dynamic_cast<TWinControl*>(C))
      return W->ControlAtPos({Pos.X - C->FLeft, Pos.Y - C->FTop}, AllowDisabled, true);
    return C;
  }
  return Deep && GetClientRect().Contains(Pos) ? this : nullptr;
}

void TWinControl::EnableAlign() {
  if (FAlignLevel == 0) return;
  if (--FAlignLevel == 0 && FAlignPending) Realign();
}

void TWinControl::Realign() {
  if (FAlignLevel > 0 || FAligning) {
    FAlignPending = true;
    return;
  }
  TFlagGuard Aligning(FAligning);
  // A resize handler may move a sibling and ask again; a few rounds settle
  // any sane layout, and the count keeps a quarrelling one from looping.
  int Rounds = 0;
  do {
    FAlignPending = false;
    AlignControls();
  } while (FAlignPending && ++Rounds < 4);
  FAlignPending = false;
}

void TWinControl::AlignControls() {
  TRect R = GetClientRect();
  std::vector<TControlRef> Children;
  Children.reserve(FControls.size());
  for (TControl* C : FControls)
    Children.emplace_back(C);
  const auto Place = [&](TAlign Kind) {
    for (const TControlRef& Ref : Children) {
      TControl* C = Ref.Get();
      if (!C || C->FParent != this || C->FAlign != Kind || !C->FVisible) continue;
      const int32_t W = std::max(R.Width(), 0);
      const int32_t H = std::max(R.Height(), 0);
      switch (Kind) {
      case alTop:
        C->SetBounds(R.Left, R.Top, W, C->FHeight);
        R.Top += C->FHeight;
        break;
      case alBottom:
        C->SetBounds(R.Left, R.Bottom - C->FHeight, W, C->FHeight);
        R.Bottom -= C->FHeight;
        break;
      case alLeft:
        C->SetBounds(R.Left, R.Top, C->FWidth, H);
        R.Left += C->FWidth;
        break;
      case alRight:
        C->SetBounds(R.Right - C->FWidth, R.Top, C->FWidth, H);
        R.Right -= C->FWidth;
        break;
      case alClient:
        C->SetBounds(R.Left, R.Top, W, H);
        break;
      case alNone:
        break;
      }
    }
  };
  for (TAlign Kind : {alTop, alBottom, alLeft, alRight, alClient})
    Place(Kind);
}

void TWinControl::BoundsChanged(bool Resized) {
  if (Resized) Realign();
}

void TWinControl::HandleNeeded() {
  if (FHandleAllocated) return;
  // The parent's window comes first and brings those of its children along.
  if (auto* P = GetParent()) P->HandleNeeded();
  if (FHandleAllocated) return;
  FHandleAllocated = true;
  CreateWnd();
  std::vector<TControlRef> Children(FControls.begin(), FControls.end());
  for (const TControlRef& Ref : Children)
    if (auto* W = dynamic_cast<TWinControl*>(Ref.Get())) W->HandleNeeded();
}

} // namespace qeb
