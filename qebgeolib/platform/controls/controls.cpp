// Controls: tree bookkeeping, layout, painting, composition, the mouse
// entry points with drag and drop and popup menus, and hints.
#include "qebgeolib/platform/controls/controls.h"

#include <algorithm>
#include <cstdlib>

#include "qebgeolib/platform/controls/application.h"
#include "qebgeolib/platform/controls/menus.h"

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

// The drag of the application: one at a time, as there is one mouse.
struct TDragInfo {
  TControlRef Source;
  // What targets see as the source: the source control or the object its
  // OnStartDrag named.
  TObject* DragObject = nullptr;
  bool Started = false;
  int32_t Threshold = 0;
  TPoint Start; // window coordinates where the drag was begun
  TControlRef Target;
  TPoint TargetPos; // the last position in the target's client coordinates
  bool Accepted = false;
  // Counts drags, so that code after a handler sees whether the drag it
  // served has ended (maybe with another begun).
  uint32_t Serial = 0;
  bool CursorShown = false;
  TCursor Cursor = crDefault;
};

TDragInfo& Drag() {
  // Never destroyed, like Application().
  static TDragInfo& D = *new TDragInfo;
  return D;
}

// The last place the mouse was seen, in window coordinates of Root: where
// BeginDrag begins.
struct TMouseSpot {
  TControlRef Root;
  TPoint Pos;
};

TMouseSpot& LastMouse() {
  static TMouseSpot& M = *new TMouseSpot;
  return M;
}

void NoteMouse(TControl* C, int32_t X, int32_t Y) {
  LastMouse() = {TControlRef(C->GetRoot()), C->ClientToWindow({X, Y})};
}

void ShowDragCursor(bool Dragging, TCursor Cursor) {
  TDragInfo& D = Drag();
  if (D.CursorShown == Dragging && (!Dragging || D.Cursor == Cursor)) return;
  D.CursorShown = Dragging;
  D.Cursor = Cursor;
  Application().GetHost().DragCursorChanged(Dragging, Cursor);
}

// Forgets the drag (its handlers have run or will not run).
void ResetDrag() {
  TDragInfo& D = Drag();
  D.Source.Reset();
  D.Target.Reset();
  D.DragObject = nullptr;
  D.Started = false;
  D.Accepted = false;
  ++D.Serial;
  ShowDragCursor(false, crDefault);
}

// The control a drag at window position P of Root is over: the innermost
// enabled one there.
TControl* DragTargetAt(TControl* Root, const TPoint& P) {
  if (!Root->GetShowing() || !Root->GetEnabled()) return nullptr;
  if (auto* W = dynamic_cast<TWinControl*>(Root)) return W->ControlAtPos(P, false, true);
  return Root->GetClientRect().Contains(P) ? Root : nullptr;
}

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
  // A drag from this control ends without events: nobody may see a source
  // half destroyed.
  if (Drag().Source.Get() == this) ResetDrag();
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
  if (FParentShowHint) ShowHintChanged();
  if (AParent && AParent->HandleAllocated())
    if (auto* W = dynamic_cast<TWinControl*>(this)) W->HandleNeeded();
}

void TControl::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  AWidth = std::clamp(AWidth, 0, MaxControlExtent);
  AHeight = std::clamp(AHeight, 0, MaxControlExtent);
  // A handler that sets the bounds while it is asked is not asked again.
  if ((AWidth != FWidth || AHeight != FHeight) && !FAskingResize) {
    const TControlRef Self(this);
    bool Allowed;
    {
      TFlagGuard Asking(FAskingResize);
      Allowed = CanResize(AWidth, AHeight);
    }
    if (!Self) return;
    if (!Allowed) {
      AWidth = FWidth;
      AHeight = FHeight;
    }
    AWidth = std::clamp(AWidth, 0, MaxControlExtent);
    AHeight = std::clamp(AHeight, 0, MaxControlExtent);
  }
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

TPopupMenu* TControl::GetPopupMenu() const {
  const std::shared_ptr<TPopupMenu*> P = FPopupMenu.lock();
  return P ? *P : nullptr;
}

void TControl::SetPopupMenu(TPopupMenu* Value) {
  FPopupMenu = Value ? Value->WeakRef() : std::weak_ptr<TPopupMenu*>();
}

void TControl::ContextPopup(TPoint Pos) {
  for (TControl* C = this; C; C = C->FParent) {
    if (TPopupMenu* Menu = C->GetPopupMenu()) {
      if (Menu->GetAutoPopup()) Menu->Popup(C, Pos.X, Pos.Y);
      return;
    }
    Pos.X += C->FLeft;
    Pos.Y += C->FTop;
  }
}

void TControl::SetHint(const std::string& Value) {
  if (Value == FHint) return;
  FHint = Value;
  Changed(ccHint);
}

bool TControl::GetShowHint() const {
  const TControl* C = this;
  while (C->FParentShowHint && C->FParent)
    C = C->FParent;
  return C->FShowHint;
}

void TControl::SetShowHint(bool Value) {
  const bool Was = GetShowHint();
  FShowHint = Value;
  FParentShowHint = false;
  if (Was != Value) ShowHintChanged();
}

void TControl::SetParentShowHint(bool Value) {
  if (Value == FParentShowHint) return;
  const bool Was = GetShowHint();
  FParentShowHint = Value;
  if (Was != GetShowHint()) ShowHintChanged();
}

void TControl::ShowHintChanged() {
  Changed(ccHint);
  if (auto* W = dynamic_cast<TWinControl*>(this))
    for (TControl* Child : W->FControls)
      if (Child->FParentShowHint) Child->ShowHintChanged();
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

// While a drag is begun, the mouse belongs to it: the entry points hand
// their events to these steps first, in window coordinates, whatever
// control the host delivers them to.

// Moves a started drag to window position P of Root: the target there
// hears dsDragEnter or dsDragMove, the one left behind dsDragLeave, and the
// answer sets the cursor.
void TControl::DragTo(TControl* Root, const TPoint& P) {
  TDragInfo& D = Drag();
  const uint32_t Serial = D.Serial;
  TControl* Source = D.Source.Get();
  if (!Source) return;
  TObject* What = D.DragObject ? D.DragObject : Source;
  TControl* Target = DragTargetAt(Root, P);
  TControl* Old = D.Target.Get();
  bool Accept = false;
  if (Old != Target) {
    D.Target.Reset();
    D.Accepted = false;
    if (Old) {
      const TPoint L = Old->WindowToClient(P);
      Old->DragOver(What, L.X, L.Y, dsDragLeave, Accept);
      if (D.Serial != Serial) return;
    }
  }
  if (Target) {
    const TControlRef Ref(Target);
    const TPoint L = Target->WindowToClient(P);
    Accept = false;
    Target->DragOver(What, L.X, L.Y, Old == Target ? dsDragMove : dsDragEnter, Accept);
    if (D.Serial != Serial) return;
    D.Target = Ref;
    D.TargetPos = L;
    D.Accepted = Accept && Ref;
  }
  if (TControl* S = D.Source.Get())
    ShowDragCursor(true, D.Accepted ? S->GetDragCursor() : crNoDrop);
}

// Starts a drag that was begun: OnStartDrag, then the first target.
void TControl::StartDrag(TControl* Root, const TPoint& P) {
  TDragInfo& D = Drag();
  const uint32_t Serial = D.Serial;
  D.Started = true;
  TObject* DragObject = nullptr;
  D.Source.Get()->DoStartDrag(DragObject);
  if (D.Serial != Serial || !D.Source) return;
  D.DragObject = DragObject;
  DragTo(Root, P);
}

// True when the drag took the event. A press never reaches the controls
// while a drag is begun; a move starts the drag once past the threshold;
// a release drops a started drag and ends one still waiting, which then
// lets the release through.
bool TControl::DragInput(TControl* C, bool Release, int32_t X, int32_t Y) {
  TDragInfo& D = Drag();
  TControl* Source = D.Source.Get();
  if (!Source) return false;
  TControl* Root = C->GetRoot();
  const TPoint P = C->ClientToWindow({X, Y});
  if (!D.Started) {
    if (Release) {
      ResetDrag();
      return false;
    }
    if (std::abs(int64_t{P.X} - D.Start.X) < D.Threshold &&
        std::abs(int64_t{P.Y} - D.Start.Y) < D.Threshold)
      return true;
    StartDrag(Root, P);
    return true;
  }
  const uint32_t Serial = D.Serial;
  DragTo(Root, P);
  if (Release && D.Serial == Serial)
    if (TControl* S = D.Source.Get()) S->EndDrag(true);
  return true;
}

void TControl::BeginDrag(bool Immediate, int32_t Threshold) {
  TDragInfo& D = Drag();
  if (D.Source) return;
  ResetDrag();
  D.Source = TControlRef(this);
  D.Threshold = Threshold < 0 ? DefaultDragThreshold : Threshold;
  // Begun from program code with the mouse in another window, the drag
  // starts where this window's origin is.
  TControl* Root = GetRoot();
  const TMouseSpot& M = LastMouse();
  D.Start = M.Root.Get() == Root ? M.Pos : TPoint{};
  if (Immediate) StartDrag(Root, D.Start);
}

void TControl::EndDrag(bool Drop) {
  TDragInfo& D = Drag();
  if (D.Source.Get() != this) return;
  const bool Started = D.Started;
  const TControlRef Target = D.Target;
  const bool Accepted = Drop && D.Accepted;
  const TPoint Pos = D.TargetPos;
  TObject* What = D.DragObject ? D.DragObject : this;
  ResetDrag();
  if (!Started) return;
  const TControlRef Self(this);
  if (TControl* T = Target.Get()) {
    bool Ignored = false;
    T->DragOver(What, Pos.X, Pos.Y, dsDragLeave, Ignored);
  }
  TControl* T = Target.Get();
  if (Accepted && T) T->DragDrop(What, Pos.X, Pos.Y);
  if (!Self) return;
  T = Accepted ? Target.Get() : nullptr;
  DoEndDrag(T, T ? Pos.X : 0, T ? Pos.Y : 0);
}

bool TControl::Dragging() const {
  return Drag().Source.Get() == this;
}

void TControl::DoStartDrag(TObject*& DragObject) {
  if (TStartDragEvent F = FOnStartDrag) F(this, DragObject);
}

void TControl::DragOver(TObject* Source, int32_t X, int32_t Y, TDragState State, bool& Accept) {
  Accept = static_cast<bool>(FOnDragOver);
  if (TDragOverEvent F = FOnDragOver) F(this, Source, X, Y, State, Accept);
}

void TControl::DragDrop(TObject* Source, int32_t X, int32_t Y) {
  if (TDragDropEvent F = FOnDragDrop) F(this, Source, X, Y);
}

void TControl::DoEndDrag(TObject* Target, int32_t X, int32_t Y) {
  if (TEndDragEvent F = FOnEndDrag) F(this, Target, X, Y);
}

bool TControl::CanResize(int32_t& NewWidth, int32_t& NewHeight) {
  bool Resize = true;
  if (TCanResizeEvent F = FOnCanResize) F(this, NewWidth, NewHeight, Resize);
  return Resize;
}

void TControl::InputMouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y,
                              bool DoubleClick) {
  if (Drag().Source) return;
  if (!GetShowing() || !IsEnabledInParents()) return;
  if (auto* W = dynamic_cast<TWinControl*>(GetRoot())) W->HandleNeeded();
  NoteMouse(this, X, Y);
  if (Button == mbLeft && FDragMode == dmAutomatic) {
    BeginDrag(true);
    return;
  }
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
  NoteMouse(this, X, Y);
  if (DragInput(this, false, X, Y)) return;
  if (!GetShowing() || !IsEnabledInParents()) return;
  MouseMove(Shift, X, Y);
}

void TControl::InputMouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (DragInput(this, true, X, Y)) {
    FClicked = false;
    return;
  }
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
  if (Button == mbRight && Self && GetClientRect().Contains(Point(X, Y)) && !RightButtonUsed())
    ContextPopup({X, Y});
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
