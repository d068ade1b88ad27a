// The application object and the headless host with its input queue.
#include "qebgeolib/platform/controls/application.h"

#include <vector>

#include "qebgeolib/platform/controls/menus.h"

namespace qeb {

TApplication& Application() {
  // Never destroyed: controls that outlive main() still find their host.
  static TApplication& App = *new TApplication;
  return App;
}

TControlHost* TApplication::SetHost(TControlHost* Host) {
  TControlHost* Old = FHost;
  FHost = Host ? Host : &FHeadless;
  return Old;
}

// ---------------------------------------------------------------------------
// THeadlessHost

THeadlessHost::~THeadlessHost() = default;

void THeadlessHost::Post(TInput&& Input) {
  FQueue.push_back(std::move(Input));
}

void THeadlessHost::PostMouseDown(TControl* Window, TMouseButton Button, TShiftState Shift,
                                  int32_t X, int32_t Y) {
  Post({ekDown, TControlRef(Window), Button, Shift, X, Y, 0, {}});
}

void THeadlessHost::PostDblClick(TControl* Window, TMouseButton Button, TShiftState Shift,
                                 int32_t X, int32_t Y) {
  Post({ekDblDown, TControlRef(Window), Button, Shift, X, Y, 0, {}});
}

void THeadlessHost::PostMouseMove(TControl* Window, TShiftState Shift, int32_t X, int32_t Y) {
  Post({ekMove, TControlRef(Window), mbLeft, Shift, X, Y, 0, {}});
}

void THeadlessHost::PostMouseUp(TControl* Window, TMouseButton Button, TShiftState Shift, int32_t X,
                                int32_t Y) {
  Post({ekUp, TControlRef(Window), Button, Shift, X, Y, 0, {}});
}

void THeadlessHost::PostClick(TControl* Window, TMouseButton Button, TShiftState Shift, int32_t X,
                              int32_t Y) {
  PostMouseDown(Window, Button, Shift, X, Y);
  PostMouseUp(Window, Button, Shift, X, Y);
}

void THeadlessHost::PostMouseWheel(TControl* Window, TShiftState Shift, int32_t WheelDelta,
                                   int32_t X, int32_t Y) {
  Post({ekWheel, TControlRef(Window), mbLeft, Shift, X, Y, WheelDelta, {}});
}

void THeadlessHost::PostProc(std::function<void()> Proc) {
  if (Proc) Post({ekProc, TControlRef(), mbLeft, 0, 0, 0, 0, std::move(Proc)});
}

void THeadlessHost::ClearInput() {
  FQueue.clear();
  FButtons = 0;
  FCapture.Reset();
}

void THeadlessHost::ProcessMessages() {
  if (FQueue.empty() && FOnIdle) {
    // A copy, so the handler may replace itself.
    const std::function<void()> Idle = FOnIdle;
    Idle();
  }
  // Each event leaves the queue before it is delivered, so a nested loop
  // started by a handler goes on with the events after it.
  for (std::size_t N = FQueue.size(); N > 0 && !FQueue.empty(); --N) {
    TInput Input = std::move(FQueue.front());
    FQueue.pop_front();
    Deliver(Input);
  }
  std::vector<TControlRef> ToPaint;
  ToPaint.reserve(FToPaint.size());
  for (auto& [Control, Ref] : FToPaint)
    ToPaint.push_back(Ref);
  FToPaint.clear();
  for (const TControlRef& Ref : ToPaint)
    if (TControl* C = Ref.Get()) C->Update();
}

bool THeadlessHost::WaitMessage() {
  if (!FQueue.empty()) return true;
  if (!FOnIdle) return false;
  const std::function<void()> Idle = FOnIdle;
  Idle();
  return !FQueue.empty();
}

TControl* THeadlessHost::HitTest(TControl* Window, const TPoint& P) const {
  if (!Window->GetShowing()) return nullptr;
  if (P.X < 0 || P.Y < 0 || P.X >= Window->GetWidth() || P.Y >= Window->GetHeight()) return nullptr;
  // Disabled controls take the event and drop it, as a window system does.
  if (auto* W = dynamic_cast<TWinControl*>(Window)) return W->ControlAtPos(P, true, true);
  return Window;
}

void THeadlessHost::Deliver(TInput& Input) {
  if (Input.Kind == ekProc) {
    Input.Proc();
    return;
  }
  TControl* Window = Input.Window.Get();
  if (!Window) return;
  const TShiftState Mods = Input.Shift & ssModifiers;
  const TPoint InWindow = Window->ClientToWindow({Input.X, Input.Y});
  const auto Local = [&](TControl* Target) { return Target->WindowToClient(InWindow); };
  TControl* Target = FCapture.Get();
  switch (Input.Kind) {
  case ekDown:
  case ekDblDown: {
    FButtons |= ButtonShift(Input.Button);
    if (!Target) {
      Target = HitTest(Window, {Input.X, Input.Y});
      if (!Target) return;
      if (Target->GetControlStyle() & csCaptureMouse) FCapture = TControlRef(Target);
    }
    const TPoint P = Local(Target);
    Target->InputMouseDown(Input.Button, Mods | FButtons, P.X, P.Y, Input.Kind == ekDblDown);
    break;
  }
  case ekMove: {
    if (!Target) Target = HitTest(Window, {Input.X, Input.Y});
    if (!Target) return;
    const TPoint P = Local(Target);
    Target->InputMouseMove(Mods | FButtons, P.X, P.Y);
    break;
  }
  case ekUp: {
    FButtons &= static_cast<TShiftState>(~ButtonShift(Input.Button));
    if ((FButtons & ssButtons) == 0) FCapture.Reset();
    if (!Target) Target = HitTest(Window, {Input.X, Input.Y});
    if (!Target) return;
    const TPoint P = Local(Target);
    Target->InputMouseUp(Input.Button, Mods | FButtons, P.X, P.Y);
    break;
  }
  case ekWheel: {
    Target = HitTest(Window, {Input.X, Input.Y});
    if (!Target) return;
    const TPoint P = Local(Target);
    Target->InputMouseWheel(Mods | FButtons, Input.Delta, P.X, P.Y);
    break;
  }
  case ekProc:
    break;
  }
}

void THeadlessHost::AreaChanged(TControl* Control, const TRect& /*Area*/) {
  if (Control && Control->GetNeedsPaint()) FToPaint.try_emplace(Control, TControlRef(Control));
}

void THeadlessHost::ControlDestroyed(TControl* Control) {
  // Queued events and the capture hold references, which are dead by now.
  FToPaint.erase(Control);
}

void THeadlessHost::DragCursorChanged(bool Dragging, TCursor Cursor) {
  FDragCursor = Dragging ? Cursor : crDefault;
}

void THeadlessHost::ShowPopupMenu(TPopupMenu* Menu, TControl* /*Control*/, const TPoint& Pos) {
  FPopup = Menu ? Menu->WeakRef() : std::weak_ptr<TPopupMenu*>();
  FPopupPos = Pos;
}

TPopupMenu* THeadlessHost::GetShownPopupMenu() const {
  const std::shared_ptr<TPopupMenu*> P = FPopup.lock();
  return P ? *P : nullptr;
}

bool THeadlessHost::PickPopupItem(TMenuItem* Item) {
  TPopupMenu* Menu = GetShownPopupMenu();
  if (!Menu || !Menu->CanPick(Item)) return false;
  FPopup.reset();
  Item->Click();
  return true;
}

} // namespace qeb
