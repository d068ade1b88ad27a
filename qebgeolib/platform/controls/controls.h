// Visual controls of the framework: TControl with its bounds, visibility,
// alignment, cursor, mouse events, drag and drop, popup menu and hint; TWinControl, which holds
// child controls and lays them out; TCustomControl, the base of controls that paint themselves.
// Every control draws on a surface of its own size that the host shows.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "qebgeolib/platform/base/classes.h"
#include "qebgeolib/platform/base/types.h"
#include "qebgeolib/platform/controls/cursors.h"
#include "qebgeolib/platform/graphics/bitmap.h"
#include "qebgeolib/platform/graphics/canvas.h"
#include "qebgeolib/platform/graphics/graphics.h"

namespace qeb {

class TWinControl;
class TPopupMenu;

// A control used in a way the framework refuses (a parent cycle).
class EInvalidOperation : public Exception {
public:
  explicit EInvalidOperation(const std::string& Message) : Exception(Message) {}
};

enum TMouseButton : uint8_t { mbLeft, mbRight, mbMiddle };

// Keys and buttons held while a mouse event happens, as bit masks; ssDouble
// marks the second press of a double click.
using TShiftState = uint8_t;
enum TShiftStateBit : uint8_t {
  ssShift = 0x01,
  ssAlt = 0x02,
  ssCtrl = 0x04,
  ssLeft = 0x08,
  ssRight = 0x10,
  ssMiddle = 0x20,
  ssDouble = 0x40,
};
inline constexpr TShiftState ssModifiers = ssShift | ssAlt | ssCtrl;
inline constexpr TShiftState ssButtons = ssLeft | ssRight | ssMiddle;
// The ssLeft / ssRight / ssMiddle bit of a button.
constexpr TShiftState ButtonShift(TMouseButton Button) {
  return Button == mbLeft ? ssLeft : Button == mbRight ? ssRight : ssMiddle;
}

// How a control sits in its parent: alNone keeps its bounds; alTop and
// alBottom take the full width of the space left and keep their height;
// alLeft and alRight the full height and keep their width; alClient fills
// what remains. Space is handed out to the top controls first, then bottom,
// left, right and client, each kind in the order of the parent's child list.
enum TAlign : uint8_t { alNone, alTop, alBottom, alLeft, alRight, alClient };

// Bits of TControl::GetControlStyle().
using TControlStyle = uint32_t;
enum TControlStyleBit : uint32_t {
  csAcceptsControls = 0x0001, // a designer may drop child controls on it
  csCaptureMouse = 0x0002,    // keeps the mouse from a press until all buttons are up
  csClickEvents = 0x0004,     // a left press and release inside make a Click
  csFramed = 0x0008,          // draws a frame of its own
  csSetCaption = 0x0010,      // takes its name as caption while the caption is unset
  csOpaque = 0x0020,          // its Paint covers the surface: no background fill first
  csDoubleClicks = 0x0040,    // a double click makes DblClick; else it is a plain press
};

// What changed about a control, for hosts that keep native counterparts in
// step: ccContent covers everything a control shows besides its bounds
// (caption, colour, font, a button's Down or glyph, a combo box's items and
// selection); ccHint the hint to show (GetShowHint, GetHint).
enum TControlChange : uint8_t { ccBounds, ccVisible, ccEnabled, ccParent, ccContent, ccHint };

// dmAutomatic: a left press on the control begins a drag at once; dmManual:
// only BeginDrag does.
enum TDragMode : uint8_t { dmManual, dmAutomatic };
// What a drag target is told: the drag came over it, moves over it, or left
// it (moved away, dropped or cancelled).
enum TDragState : uint8_t { dsDragEnter, dsDragLeave, dsDragMove };
// The distance in pixels, in x or in y, that the mouse must move before a
// drag begun with BeginDrag(false) starts.
inline constexpr int32_t DefaultDragThreshold = 5;

using TNotifyEvent = std::function<void(TObject* Sender)>;
using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift,
                                       int32_t X, int32_t Y)>;
using TMouseMoveEvent =
    std::function<void(TObject* Sender, TShiftState Shift, int32_t X, int32_t Y)>;
// WheelDelta is 120 a notch, positive away from the user; MousePos is in the
// client coordinates of the control that raises the event.
using TMouseWheelEvent = std::function<void(TObject* Sender, TShiftState Shift, int32_t WheelDelta,
                                            const TPoint& MousePos, bool& Handled)>;
using TMouseWheelUpDownEvent =
    std::function<void(TObject* Sender, TShiftState Shift, const TPoint& MousePos, bool& Handled)>;
// DragObject comes null; a handler may name another object, which targets
// then see as the drag's Source (the handler keeps it alive until the drag
// ends).
using TStartDragEvent = std::function<void(TObject* Sender, TObject*& DragObject)>;
// Accept comes true; the answer decides the cursor and whether a drop here
// reaches OnDragDrop. It is ignored for dsDragLeave.
using TDragOverEvent = std::function<void(TObject* Sender, TObject* Source, int32_t X, int32_t Y,
                                          TDragState State, bool& Accept)>;
using TDragDropEvent = std::function<void(TObject* Sender, TObject* Source, int32_t X, int32_t Y)>;
// Target is the control that took the drop, with X and Y in its client
// coordinates; null (and 0, 0) for a drag that was refused or cancelled.
using TEndDragEvent = std::function<void(TObject* Sender, TObject* Target, int32_t X, int32_t Y)>;
// A handler may change the new size or set Resize false to keep the old one.
using TCanResizeEvent =
    std::function<void(TObject* Sender, int32_t& NewWidth, int32_t& NewHeight, bool& Resize)>;

class TControl;

// A reference to a control that turns null when the control is destroyed.
// Hosts keep these for queued events and painting lists, so that nothing is
// delivered to a control that no longer exists.
class TControlRef {
public:
  TControlRef() = default;
  explicit TControlRef(TControl* Control);
  TControl* Get() const;
  explicit operator bool() const { return Get() != nullptr; }
  void Reset() { FRef.reset(); }

private:
  std::weak_ptr<TControl*> FRef;
};

// A visual element with a parent, bounds and a surface. Sizes are clamped to
// 0..MaxControlExtent: a zero or negative width or height gives an empty
// surface. A size whose surface cannot be allocated raises EOutOfResources
// and leaves the control as it was.
//
// Painting: Invalidate marks the control for painting and tells the host;
// the host (or Update) later runs Paint on the surface. Code may also draw on
// GetCanvas() at any time, in Paint or outside it (rubber bands, direct
// redraws); taking the canvas tells the host that the surface is changing.
//
// Mouse input arrives through the Input... entry points, which hosts call in
// client coordinates. They run the protected handlers MouseDown, MouseMove,
// MouseUp, Click, DblClick and DoMouseWheel, whose base versions fire the
// events; derived controls override the handlers and call the base version
// where the event should fire. A control destroyed by one of its own handlers
// is not touched again.
class TControl : public TComponent {
public:
  static constexpr int32_t MaxControlExtent = 32767;

  explicit TControl(TComponent* AOwner);
  ~TControl() override;

  std::string_view ClassName() const override { return "TControl"; }
  // With csSetCaption, a caption that is empty or equal to the old name
  // follows the name.
  void SetName(const std::string& NewName) override;

  TWinControl* GetParent() const { return FParent; }
  // Moves the control to another parent (null: none). A parent that is this
  // control or one of its children raises EInvalidOperation
  // "A control cannot have itself as its parent".
  virtual void SetParent(TWinControl* AParent);

  int32_t GetLeft() const { return FLeft; }
  int32_t GetTop() const { return FTop; }
  int32_t GetWidth() const { return FWidth; }
  int32_t GetHeight() const { return FHeight; }
  void SetLeft(int32_t Value) { SetBounds(Value, FTop, FWidth, FHeight); }
  void SetTop(int32_t Value) { SetBounds(FLeft, Value, FWidth, FHeight); }
  void SetWidth(int32_t Value) { SetBounds(FLeft, FTop, Value, FHeight); }
  void SetHeight(int32_t Value) { SetBounds(FLeft, FTop, FWidth, Value); }
  // Position in the parent's client area and size. An aligned control gets
  // the position (and the aligned extent) back from its parent's layout. A
  // change of size is first offered to CanResize (OnCanResize), which may
  // alter it or keep the old size; the position is applied either way.
  virtual void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight);
  TRect GetBoundsRect() const { return Rect(FLeft, FTop, FLeft + FWidth, FTop + FHeight); }
  void SetBoundsRect(const TRect& R) { SetBounds(R.Left, R.Top, R.Width(), R.Height()); }
  TRect GetClientRect() const { return Rect(0, 0, FWidth, FHeight); }
  int32_t GetClientWidth() const { return FWidth; }
  int32_t GetClientHeight() const { return FHeight; }

  // Window coordinates are the client coordinates of the topmost parent.
  TControl* GetRoot();
  TPoint ClientOrigin() const;
  TPoint ClientToWindow(const TPoint& P) const;
  TPoint WindowToClient(const TPoint& P) const;

  bool GetVisible() const { return FVisible; }
  virtual void SetVisible(bool Value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible, and so are all its parents.
  bool GetShowing() const;
  bool GetEnabled() const { return FEnabled; }
  virtual void SetEnabled(bool Value);
  // Enabled, and so are all its parents: only then does it take input.
  bool IsEnabledInParents() const;

  TAlign GetAlign() const { return FAlign; }
  void SetAlign(TAlign Value);

  // An index into Screen().GetCursors(); the host shows it over the control.
  TCursor GetCursor() const { return FCursor; }
  void SetCursor(TCursor Value);

  const std::string& GetCaption() const { return FCaption; }
  void SetCaption(const std::string& Value);
  TColor GetColor() const { return FColor; }
  void SetColor(TColor Value);
  const TFont& GetFont() const { return FFont; }
  void SetFont(const TFont& Value);

  TControlStyle GetControlStyle() const { return FControlStyle; }
  void SetControlStyle(TControlStyle Value) { FControlStyle = Value; }

  // The drawing surface: pf32bit, exactly the client size. GetCanvas tells
  // the host that the surface is changing (once until the host next takes
  // GetSurfaceForDisplay).
  TCanvas& GetCanvas();
  const TBitmap& GetSurface() const { return FSurface; }
  // For hosts: paints what is pending and returns the surface to show.
  const TBitmap& GetSurfaceForDisplay();

  void Invalidate();
  // Runs Paint now when the control is marked for painting.
  void Update();
  // Invalidate and Update: the way to redraw at once from program code.
  void Repaint();
  bool GetNeedsPaint() const { return FNeedsPaint; }

  // Composes the control and its visible children, as the screen shows
  // them, onto Dest with the control's top left at (X, Y), clipped to Dest.
  void PaintTo(TCanvas& Dest, int32_t X, int32_t Y);
  // The same into Dest, which becomes a pf32bit bitmap of the control's size.
  void PaintTo(TBitmap& Dest);

  const TNotifyEvent& GetOnClick() const { return FOnClick; }
  void SetOnClick(TNotifyEvent Value) { FOnClick = std::move(Value); }
  const TNotifyEvent& GetOnDblClick() const { return FOnDblClick; }
  void SetOnDblClick(TNotifyEvent Value) { FOnDblClick = std::move(Value); }
  const TMouseEvent& GetOnMouseDown() const { return FOnMouseDown; }
  void SetOnMouseDown(TMouseEvent Value) { FOnMouseDown = std::move(Value); }
  const TMouseMoveEvent& GetOnMouseMove() const { return FOnMouseMove; }
  void SetOnMouseMove(TMouseMoveEvent Value) { FOnMouseMove = std::move(Value); }
  const TMouseEvent& GetOnMouseUp() const { return FOnMouseUp; }
  void SetOnMouseUp(TMouseEvent Value) { FOnMouseUp = std::move(Value); }
  const TMouseWheelEvent& GetOnMouseWheel() const { return FOnMouseWheel; }
  void SetOnMouseWheel(TMouseWheelEvent Value) { FOnMouseWheel = std::move(Value); }
  const TMouseWheelUpDownEvent& GetOnMouseWheelUp() const { return FOnMouseWheelUp; }
  void SetOnMouseWheelUp(TMouseWheelUpDownEvent Value) { FOnMouseWheelUp = std::move(Value); }
  const TMouseWheelUpDownEvent& GetOnMouseWheelDown() const { return FOnMouseWheelDown; }
  void SetOnMouseWheelDown(TMouseWheelUpDownEvent Value) { FOnMouseWheelDown = std::move(Value); }
  const TNotifyEvent& GetOnResize() const { return FOnResize; }
  void SetOnResize(TNotifyEvent Value) { FOnResize = std::move(Value); }
  const TCanResizeEvent& GetOnCanResize() const { return FOnCanResize; }
  void SetOnCanResize(TCanResizeEvent Value) { FOnCanResize = std::move(Value); }

  // Drag and drop between the controls of one window. A drag has a source
  // control and, while the mouse is over an enabled control, a target,
  // which hears dsDragEnter, dsDragMove and dsDragLeave through DragOver
  // and answers whether it accepts; the host shows DragCursor of the source
  // over a target that accepts and crNoDrop elsewhere. While a drag is
  // begun, the mouse drives it instead of reaching the controls: moves find
  // the target, and the first button release drops (EndDrag(true)). A drag
  // begun with Immediate false starts only once the mouse has moved
  // Threshold pixels (negative: DefaultDragThreshold) from where it was
  // begun; a release before that ends it without any drag event and reaches
  // the control as usual, so a click stays a click.
  TDragMode GetDragMode() const { return FDragMode; }
  void SetDragMode(TDragMode Value) { FDragMode = Value; }
  TCursor GetDragCursor() const { return FDragCursor; }
  void SetDragCursor(TCursor Value) { FDragCursor = Value; }
  // Makes this control the source of a drag; does nothing while any drag
  // is begun. Started at once, OnStartDrag fires and the target under the
  // mouse hears dsDragEnter.
  void BeginDrag(bool Immediate, int32_t Threshold = -1);
  // Ends the drag this control is the source of (nothing otherwise): the
  // target hears dsDragLeave; with Drop and a target that accepted, the
  // target's DragDrop runs; then OnEndDrag with the target or null.
  void EndDrag(bool Drop);
  // This control is the source of a drag, started or waiting for the
  // threshold.
  bool Dragging() const;
  // Runs OnDragDrop; a drop with Source on this control at (X, Y).
  virtual void DragDrop(TObject* Source, int32_t X, int32_t Y);
  const TStartDragEvent& GetOnStartDrag() const { return FOnStartDrag; }
  void SetOnStartDrag(TStartDragEvent Value) { FOnStartDrag = std::move(Value); }
  const TDragOverEvent& GetOnDragOver() const { return FOnDragOver; }
  void SetOnDragOver(TDragOverEvent Value) { FOnDragOver = std::move(Value); }
  const TDragDropEvent& GetOnDragDrop() const { return FOnDragDrop; }
  void SetOnDragDrop(TDragDropEvent Value) { FOnDragDrop = std::move(Value); }
  const TEndDragEvent& GetOnEndDrag() const { return FOnEndDrag; }
  void SetOnEndDrag(TEndDragEvent Value) { FOnEndDrag = std::move(Value); }

  // The menu shown when the right button is released over the control and
  // the control did not use the button itself (RightButtonUsed). A control
  // without one lets the nearest parent with one show its menu. Not owned;
  // reads null once the menu is destroyed.
  TPopupMenu* GetPopupMenu() const;
  void SetPopupMenu(TPopupMenu* Value);

  // The hint: text before a '|' is the short hint hosts show as a tool tip,
  // the rest a longer description. ShowHint follows the parent's while
  // ParentShowHint is true (the default); setting ShowHint sets
  // ParentShowHint false.
  const std::string& GetHint() const { return FHint; }
  void SetHint(const std::string& Value);
  bool GetShowHint() const;
  void SetShowHint(bool Value);
  bool GetParentShowHint() const { return FParentShowHint; }
  void SetParentShowHint(bool Value);

  // Entry points for hosts, in this control's client coordinates (which may
  // lie outside the control while it holds the mouse). Events reach only a
  // showing control that is enabled with all its parents; others are dropped.
  // A left press marks the control clicked (csClickEvents); the next left
  // release inside the client area then runs Click before MouseUp. A double
  // click is the second press with DoubleClick true: DblClick, then
  // MouseDown with ssDouble (with csDoubleClicks; else a plain press).
  void InputMouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y,
                      bool DoubleClick = false);
  void InputMouseMove(TShiftState Shift, int32_t X, int32_t Y);
  void InputMouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  // Not handled here, the wheel goes on to the parent (with the position in
  // the parent's coordinates). True when some control handled it.
  bool InputMouseWheel(TShiftState Shift, int32_t WheelDelta, int32_t X, int32_t Y);

protected:
  virtual void Click();
  virtual void DblClick();
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  virtual void MouseMove(TShiftState Shift, int32_t X, int32_t Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  // Fires OnMouseWheel, then, when not handled, OnMouseWheelDown (negative
  // delta) or OnMouseWheelUp; returns whether a handler set Handled.
  virtual bool DoMouseWheel(TShiftState Shift, int32_t WheelDelta, const TPoint& MousePos);
  // Fires OnResize; runs after every change of width or height.
  virtual void Resize();
  // Asked before the size changes; fires OnCanResize. False keeps the old
  // size.
  virtual bool CanResize(int32_t& NewWidth, int32_t& NewHeight);
  // Fire OnStartDrag, OnDragOver (Accept comes true only when it is set, so
  // a control without the event refuses drops) and OnEndDrag.
  virtual void DoStartDrag(TObject*& DragObject);
  virtual void DragOver(TObject* Source, int32_t X, int32_t Y, TDragState State, bool& Accept);
  virtual void DoEndDrag(TObject* Target, int32_t X, int32_t Y);
  // True when the control used the right button of the release just
  // delivered for a gesture of its own, so that no popup menu appears.
  virtual bool RightButtonUsed() const { return false; }
  // Draws the control on GetCanvas(). Unless the style has csOpaque, the
  // surface has been filled with Color before.
  virtual void Paint() {}
  // Called after the bounds changed, before Resize (TWinControl lays out its
  // children here).
  virtual void BoundsChanged(bool Resized);
  // Tells the host about a change (see TControlChange).
  void Changed(TControlChange Change);

  // True between the press and the release of the left button that began
  // inside the control (csClickEvents).
  bool FClicked = false;

private:
  friend class TWinControl;
  friend class TControlRef;

  // The steps of a drag (controls.cpp), static so that they may run the
  // protected drag handlers of every control involved.
  static void DragTo(TControl* Root, const TPoint& P);
  static void StartDrag(TControl* Root, const TPoint& P);
  static bool DragInput(TControl* C, bool Release, int32_t X, int32_t Y);
  // Shows the popup menu of this control or its nearest parent with one.
  void ContextPopup(TPoint Pos);
  // Tells the host about the hint of this control and of the children that
  // follow its ShowHint.
  void ShowHintChanged();

  std::shared_ptr<TControl*> FSelf;
  TWinControl* FParent = nullptr;
  int32_t FLeft = 0;
  int32_t FTop = 0;
  int32_t FWidth = 0;
  int32_t FHeight = 0;
  bool FVisible = true;
  bool FEnabled = true;
  bool FNeedsPaint = true;
  bool FPainting = false;
  bool FSurfaceReported = false;
  bool FAskingResize = false;
  bool FShowHint = false;
  bool FParentShowHint = true;
  TDragMode FDragMode = dmManual;
  TCursor FDragCursor = crDrag;
  std::string FHint;
  std::weak_ptr<TPopupMenu*> FPopupMenu;
  TAlign FAlign = alNone;
  TCursor FCursor = crDefault;
  TColor FColor = clBtnFace;
  TControlStyle FControlStyle = csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks;
  std::string FCaption;
  TFont FFont;
  TBitmap FSurface;

  TNotifyEvent FOnClick;
  TNotifyEvent FOnDblClick;
  TMouseEvent FOnMouseDown;
  TMouseMoveEvent FOnMouseMove;
  TMouseEvent FOnMouseUp;
  TMouseWheelEvent FOnMouseWheel;
  TMouseWheelUpDownEvent FOnMouseWheelUp;
  TMouseWheelUpDownEvent FOnMouseWheelDown;
  TNotifyEvent FOnResize;
  TCanResizeEvent FOnCanResize;
  TStartDragEvent FOnStartDrag;
  TDragOverEvent FOnDragOver;
  TDragDropEvent FOnDragDrop;
  TEndDragEvent FOnEndDrag;
};

// A control without children of its own that paints itself (the speed
// button's family).
class TGraphicControl : public TControl {
public:
  explicit TGraphicControl(TComponent* AOwner) : TControl(AOwner) {}
  std::string_view ClassName() const override { return "TGraphicControl"; }
};

// A control that holds child controls (the last in the list on top) and lays
// out the aligned ones. Destroying it leaves the children it does not own
// without parent; the owner of the others deletes them.
class TWinControl : public TControl {
public:
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;

  std::string_view ClassName() const override { return "TWinControl"; }

  int32_t GetControlCount() const { return static_cast<int32_t>(FControls.size()); }
  // 0-based; std::out_of_range for a bad index.
  TControl* GetControls(int32_t Index) const;
  // The same as AControl->SetParent(this) and SetParent(nullptr).
  void InsertControl(TControl* AControl) { AControl->SetParent(this); }
  void RemoveControl(TControl* AControl);
  bool ContainsControl(const TControl* AControl) const;

  // The topmost visible child whose bounds contain Pos (client
  // coordinates), or null; disabled children only with AllowDisabled. Deep
  // descends to the innermost control and returns this control when no child
  // is there but Pos lies inside it.
  TControl* ControlAtPos(const TPoint& Pos, bool AllowDisabled = false, bool Deep = false);

  // Layout of the aligned children; held back between DisableAlign and
  // EnableAlign and done once at the end.
  void DisableAlign() { ++FAlignLevel; }
  void EnableAlign();
  void Realign();

  // The framework's window: created once, on demand (by a host showing the
  // control, by input, by painting to a bitmap), parents first; CreateWnd
  // runs then. A child given to a parent that has its window gets one too.
  bool HandleAllocated() const { return FHandleAllocated; }
  void HandleNeeded();

protected:
  virtual void CreateWnd() {}
  void BoundsChanged(bool Resized) override;

private:
  friend class TControl;
  void AlignControls();

  std::vector<TControl*> FControls;
  int32_t FAlignLevel = 0;
  bool FAligning = false;
  bool FAlignPending = false;
  bool FHandleAllocated = false;
};

// The base of controls that paint themselves: override Paint and draw on
// GetCanvas(). To redraw at once from outside Paint, call Repaint().
class TCustomControl : public TWinControl {
public:
  explicit TCustomControl(TComponent* AOwner) : TWinControl(AOwner) {}
  std::string_view ClassName() const override { return "TCustomControl"; }
};

} // namespace qeb
