// The Qt 6 binding: a host that shows the framework's controls in Qt
// widgets (surfaces painted, mouse forwarded, native panel, tool buttons and
// combo boxes kept in step, popup menus as QMenu, hints as tool tips, the
// drag cursor as the application's override cursor), the system clipboard as clipboard backend, and
// conversions between bitmaps, cursors and their Qt counterparts.
#pragma once

#include <QCursor>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "qebgeolib/platform/controls/application.h"
#include "qebgeolib/platform/controls/clipboard.h"
#include "qebgeolib/platform/controls/cursors.h"

namespace qeb::qt {

// A deep copy in QImage::Format_RGB32; any pixel format; null for an empty
// bitmap.
QImage ToQImage(const TBitmap& Bitmap);
// Dest becomes a pf32bit copy of Image (alpha dropped).
void FromQImage(const QImage& Image, TBitmap& Dest);
// Standard shapes become Qt's shapes, images bitmap cursors with their hot
// spot (pixels that invert the screen show black).
QCursor ToQCursor(const HCURSOR& Cursor);

// The system clipboard (QGuiApplication::clipboard()).
class ClipboardBackend : public TClipboardBackend {
public:
  void Clear() override;
  bool HasFormat(TClipboardFormat Format) override;
  void SetBitmap(const TBitmap& Bitmap) override;
  bool GetBitmap(TBitmap& Dest) override;
  void SetText(const std::string& Text) override;
  std::string GetText() override;
};

// While it lives, the application's host and clipboard: construct it after
// the QApplication, destroy it before. Application().ProcessMessages() then
// runs Qt's event loop once (without waiting).
//
// Embed makes the widget tree of a control: TSpeedButton becomes a
// QToolButton, TComboBox a QComboBox, TPanel a framed panel, any other
// control a widget that shows its surface. Mouse presses, moves, releases,
// double clicks and the wheel reach the controls with their buttons and
// shift state (Qt's implicit grab plays the part of the mouse capture); a
// user's pick in a combo box reaches Select and OnChange. Resizing the root
// widget resizes the root control; children, bounds, visibility, state and
// cursors follow the controls; a resize of the root widget that the control
// refuses or alters (OnCanResize) is taken back to the control's size. A
// control's short hint is its widget's tool tip while its ShowHint is
// true. Popup menus open as a QMenu at the point and return at once. The
// root widget belongs to the caller (or its
// Qt parent); either the widgets or the controls may be destroyed first.
class Host : public TControlHost {
public:
  Host();
  ~Host() override;
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // The root widget for Control (created on the first call) with Parent as
  // its Qt parent; null Parent makes a window. Sized to the control.
  QWidget* Embed(TControl* Control, QWidget* Parent = nullptr);
  // The widget that stands for Control, or null.
  QWidget* WidgetOf(const TControl* Control) const;

  void AreaChanged(TControl* Control, const TRect& Area) override;
  void CursorChanged(TControl* Control) override;
  void ControlChanged(TControl* Control, TControlChange Change) override;
  void ControlDestroyed(TControl* Control) override;
  void DragCursorChanged(bool Dragging, TCursor Cursor) override;
  void ShowPopupMenu(TPopupMenu* Menu, TControl* Control, const TPoint& Pos) override;
  void ProcessMessages() override;
  // Sleeps in Qt's event loop until an event comes, at most a short while,
  // so that a waiting loop still sees its own exit conditions.
  bool WaitMessage() override;

private:
  QWidget* Build(TControl* Control, QWidget* Parent, bool Root);
  void Forget(TControl* Control);
  void Sync(TControl* Control, QWidget* W, TControlChange Change);

  std::unordered_map<const TControl*, QPointer<QWidget>> FWidgets;
  std::unordered_set<const TControl*> FRoots;
  // The receiver of the widgets' destroyed signals; its end cuts them off.
  std::unique_ptr<QObject> FContext;
  TControlHost* FPreviousHost = nullptr;
  bool FDragCursorShown = false;
  std::unique_ptr<TClipboardBackend> FPreviousClipboard;
};

} // namespace qeb::qt
