// The application object with the message pump, and the host interface
// through which controls reach a display: the headless host that runs
// without one (with a scripted input queue) is the default; the Qt binding
// installs another.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <unordered_map>

#include "qebgeolib/platform/controls/controls.h"

namespace qeb {

class TPopupMenu;
class TMenuItem;

// What a display system does for the controls. Controls call it on the GUI
// thread, also from within their handlers; an implementation must not
// destroy controls from these calls.
class TControlHost {
public:
  TControlHost() = default;
  TControlHost(const TControlHost&) = delete;
  TControlHost& operator=(const TControlHost&) = delete;
  virtual ~TControlHost() = default;

  // Area (client coordinates) of Control's surface has changed or is being
  // drawn on; show it at the next opportunity. When Control is marked for
  // painting (GetNeedsPaint), the host has it paint first, through
  // GetSurfaceForDisplay or Update.
  virtual void AreaChanged(TControl* Control, const TRect& Area) = 0;
  // Control's GetCursor() has changed.
  virtual void CursorChanged(TControl* Control) = 0;
  // Something a native counterpart shows has changed.
  virtual void ControlChanged(TControl* /*Control*/, TControlChange /*Change*/) {}
  // Control is being destroyed: forget it, deliver nothing more to it.
  virtual void ControlDestroyed(TControl* /*Control*/) {}
  // A drag shows Cursor wherever the mouse is, until DragCursorChanged(false);
  // Cursor is meaningful only while Dragging is true.
  virtual void DragCursorChanged(bool /*Dragging*/, TCursor /*Cursor*/) {}
  // Shows Menu at Pos (Control's client coordinates) and returns without
  // waiting; a user's pick runs the item's Click later, when the menu still
  // lives and can pick it (TPopupMenu::CanPick). A host without menus shows
  // nothing.
  virtual void ShowPopupMenu(TPopupMenu* /*Menu*/, TControl* /*Control*/, const TPoint& /*Pos*/) {}
  // Handles what is pending (input, painting) and returns; it does not wait
  // for new events.
  virtual void ProcessMessages() = 0;
  // Waits until input may have arrived, for nested loops that wait for the
  // user (a drag-a-box operation); they call ProcessMessages after it. False
  // when the host can deliver no more input, so that such a loop gives up
  // instead of spinning. A host that cannot wait says false.
  virtual bool WaitMessage() { return false; }
};

// The host without a display. Surfaces stay in memory (compose a window with
// TControl::PaintTo). Input is scripted: Post... queues mouse events that
// ProcessMessages delivers, as a window system would:
// - positions are client coordinates of Window, the control the event is
//   posted to; a press goes to the innermost showing child under the point,
//   and while a button is held, moves and releases go to the control that
//   took the press (csCaptureMouse), in its coordinates, also outside it;
// - the host keeps the button state: the Shift given supplies only
//   ssShift, ssCtrl and ssAlt; ssLeft, ssRight and ssMiddle are those held
//   (a press includes its button, a release no longer does);
// - events posted to, or reaching, a control destroyed meanwhile are
//   dropped, and so are presses outside Window or on a disabled control.
// A popup menu it is asked to show is kept as the one on screen until the
// next one, a pick or ClosePopupMenu; the cursor of a running drag is kept
// too, for tests to read.
class THeadlessHost : public TControlHost {
public:
  THeadlessHost() = default;
  ~THeadlessHost() override;

  void PostMouseDown(TControl* Window, TMouseButton Button, TShiftState Shift, int32_t X,
                     int32_t Y);
  // The second press of a double click (release the first press before).
  void PostDblClick(TControl* Window, TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  void PostMouseMove(TControl* Window, TShiftState Shift, int32_t X, int32_t Y);
  void PostMouseUp(TControl* Window, TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  // A press and a release at one point.
  void PostClick(TControl* Window, TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  void PostMouseWheel(TControl* Window, TShiftState Shift, int32_t WheelDelta, int32_t X,
                      int32_t Y);
  // A step of a script run in turn with the input (a user's pick in a combo
  // box, an abort); exceptions it raises propagate out of ProcessMessages.
  void PostProc(std::function<void()> Proc);

  std::size_t PendingCount() const { return FQueue.size(); }
  // Drops the queued events and releases the buttons and the mouse.
  void ClearInput();
  // Called by ProcessMessages when it finds nothing queued, so a script can
  // feed or end a nested message loop that waits for input.
  void SetOnIdle(std::function<void()> Value) { FOnIdle = std::move(Value); }
  TShiftState GetButtons() const { return FButtons; }

  // Delivers the events queued when it starts (events posted meanwhile wait
  // for the next call; a handler may run a nested loop that takes the
  // following ones), then paints the controls marked for painting.
  void ProcessMessages() override;
  // True when input is queued. With an empty queue it runs the idle handler
  // (which may post input or end the waiting loop itself) and tells whether
  // that queued something; without an idle handler nothing can ever arrive,
  // so false.
  bool WaitMessage() override;

  void AreaChanged(TControl* Control, const TRect& Area) override;
  void CursorChanged(TControl* /*Control*/) override {}
  void ControlDestroyed(TControl* Control) override;
  void DragCursorChanged(bool Dragging, TCursor Cursor) override;
  void ShowPopupMenu(TPopupMenu* Menu, TControl* Control, const TPoint& Pos) override;

  // The cursor a running drag shows; crDefault when no drag runs.
  TCursor GetDragCursor() const { return FDragCursor; }
  // The menu on screen (null when none is, or it was destroyed) and where.
  TPopupMenu* GetShownPopupMenu() const;
  TPoint GetShownPopupPos() const { return FPopupPos; }
  // The user's pick of Item in the menu on screen: the menu closes and the
  // item's Click runs. False (and the menu stays) when Item cannot be
  // picked there.
  bool PickPopupItem(TMenuItem* Item);
  void ClosePopupMenu() { FPopup.reset(); }

private:
  enum TKind : uint8_t { ekDown, ekDblDown, ekMove, ekUp, ekWheel, ekProc };
  struct TInput {
    TKind Kind;
    TControlRef Window;
    TMouseButton Button = mbLeft;
    TShiftState Shift = 0;
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Delta = 0;
    std::function<void()> Proc;
  };
  void Post(TInput&& Input);
  void Deliver(TInput& Input);
  TControl* HitTest(TControl* Window, const TPoint& P) const;

  std::deque<TInput> FQueue;
  TShiftState FButtons = 0;
  TControlRef FCapture;
  std::unordered_map<TControl*, TControlRef> FToPaint;
  std::function<void()> FOnIdle;
  TCursor FDragCursor = crDefault;
  std::weak_ptr<TPopupMenu*> FPopup;
  TPoint FPopupPos;
};

// The application: its host and the message pump. One for the process
// (Application()), used on the GUI thread.
class TApplication {
public:
  TApplication() = default;
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  // The host every control talks to; the headless host unless another is
  // installed. SetHost(nullptr) goes back to the headless host. Returns the
  // host installed before. The host is not owned and must stay alive while
  // installed.
  TControlHost& GetHost() { return *FHost; }
  TControlHost* SetHost(TControlHost* Host);
  THeadlessHost& GetHeadlessHost() { return FHeadless; }

  // Lets the host handle pending input and painting, then returns.
  void ProcessMessages() { FHost->ProcessMessages(); }
  // Waits until input may have arrived; false when the host can deliver no
  // more (see TControlHost::WaitMessage).
  bool WaitMessage() { return FHost->WaitMessage(); }

  // A request to end the program's main loop; loops that wait for the user
  // may check it.
  void Terminate() { FTerminated = true; }
  bool GetTerminated() const { return FTerminated; }

private:
  THeadlessHost FHeadless;
  TControlHost* FHost = &FHeadless;
  bool FTerminated = false;
};

TApplication& Application();

} // namespace qeb
