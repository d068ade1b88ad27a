// The widgets that stand for controls, and the host that keeps them in step.
#include "bindings/qt/qthost.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>
#include <QtGlobal>
#include <exception>
#include <optional>

#include "qebgeolib/platform/controls/menus.h"
#include "qebgeolib/platform/controls/stdctrls.h"

namespace qeb::qt {

namespace {

// Qt is not exception safe: nothing the controls raise may leave an event
// handler.
template <class F> void Guarded(F&& Fn) {
  try {
    Fn();
  } catch (const std::exception& E) {
    qWarning("qebgeolib: %s", E.what());
  } catch (...) {
    qWarning("qebgeolib: unknown exception in an event handler");
  }
}

std::optional<TMouseButton> MapButton(Qt::MouseButton B) {
  switch (B) {
  case Qt::LeftButton:
    return mbLeft;
  case Qt::RightButton:
    return mbRight;
  case Qt::MiddleButton:
    return mbMiddle;
  default:
    return std::nullopt;
  }
}

TShiftState MapShift(Qt::KeyboardModifiers M, Qt::MouseButtons B) {
  TShiftState S = 0;
  if (M & Qt::ShiftModifier) S |= ssShift;
  if (M & Qt::ControlModifier) S |= ssCtrl;
  if (M & Qt::AltModifier) S |= ssAlt;
  if (B & Qt::LeftButton) S |= ssLeft;
  if (B & Qt::RightButton) S |= ssRight;
  if (B & Qt::MiddleButton) S |= ssMiddle;
  return S;
}

QRect ToQRect(const TRect& R) {
  return QRect(R.Left, R.Top, R.Width(), R.Height());
}

// Mouse forwarding shared by every widget kind. Qt delivers the press that
// completes a double click as a double-click event only, which is the
// framework's model too.
class TMouseForwarder {
public:
  explicit TMouseForwarder(TControl* C) : FRef(C) {}
  TControl* Control() const { return FRef.Get(); }

  void Press(QMouseEvent* E, bool Double) {
    E->accept();
    const auto B = MapButton(E->button());
    TControl* C = FRef.Get();
    if (!B || !C) return;
    const QPoint P = E->position().toPoint();
    Guarded([&] {
      C->InputMouseDown(*B, MapShift(E->modifiers(), E->buttons()), P.x(), P.y(), Double);
    });
  }
  void Move(QMouseEvent* E) {
    E->accept();
    TControl* C = FRef.Get();
    if (!C) return;
    const QPoint P = E->position().toPoint();
    Guarded([&] { C->InputMouseMove(MapShift(E->modifiers(), E->buttons()), P.x(), P.y()); });
  }
  void Release(QMouseEvent* E) {
    E->accept();
    const auto B = MapButton(E->button());
    TControl* C = FRef.Get();
    if (!B || !C) return;
    const QPoint P = E->position().toPoint();
    Guarded([&] { C->InputMouseUp(*B, MapShift(E->modifiers(), E->buttons()), P.x(), P.y()); });
  }
  void Wheel(QWheelEvent* E) {
    E->accept();
    TControl* C = FRef.Get();
    const int Delta = E->angleDelta().y();
    if (!C || Delta == 0) return;
    const QPoint P = E->position().toPoint();
    Guarded(
        [&] { C->InputMouseWheel(MapShift(E->modifiers(), E->buttons()), Delta, P.x(), P.y()); });
  }

private:
  TControlRef FRef;
};

// Overrides the mouse handlers of a widget class so they go to the control
// instead of the widget's own behaviour.
template <class Base> class TForwarding : public Base {
public:
  TForwarding(TControl* C, QWidget* Parent) : Base(Parent), Fwd(C) {
    this->setAttribute(Qt::WA_NoMousePropagation);
    this->setMouseTracking(true);
  }
  TMouseForwarder Fwd;

protected:
  void mousePressEvent(QMouseEvent* E) override { Fwd.Press(E, false); }
  void mouseDoubleClickEvent(QMouseEvent* E) override { Fwd.Press(E, true); }
  void mouseMoveEvent(QMouseEvent* E) override { Fwd.Move(E); }
  void mouseReleaseEvent(QMouseEvent* E) override { Fwd.Release(E); }
  void wheelEvent(QWheelEvent* E) override { Fwd.Wheel(E); }
};

// The widget that stands for a control, one class for each kind of control
// with a native look. The host keeps bounds, visibility and enabled state in
// step for every kind; a peer shows the rest of its control's state.
class TPeer {
public:
  virtual ~TPeer() = default;
  // Called only while the control lives.
  virtual void ShowContent() = 0;
};

// Any control that paints itself: shows its surface.
class TSurfacePeer : public TForwarding<QWidget>, public TPeer {
public:
  TSurfacePeer(TControl* C, QWidget* Parent, bool Root)
      : TForwarding<QWidget>(C, Parent), FRoot(Root) {
    setAttribute(Qt::WA_OpaquePaintEvent);
  }
  void ShowContent() override {
    if (FRoot && isWindow()) setWindowTitle(QString::fromStdString(Fwd.Control()->GetCaption()));
    update();
  }

protected:
  void paintEvent(QPaintEvent* E) override {
    QPainter P(this);
    TControl* C = Fwd.Control();
    if (!C) {
      P.fillRect(E->rect(), palette().window());
      return;
    }
    Guarded([&] {
      const TBitmap& S = C->GetSurfaceForDisplay();
      if (S.Empty()) return;
      if (S.GetPixelFormat() == pf32bit)
        P.drawImage(QPoint(0, 0), QImage(S.GetBits(), S.GetWidth(), S.GetHeight(),
                                         S.GetScanLineSize(), QImage::Format_RGB32));
      else
        P.drawImage(QPoint(0, 0), ToQImage(S));
    });
  }
  void resizeEvent(QResizeEvent* E) override {
    QWidget::resizeEvent(E);
    TControl* C = Fwd.Control();
    if (!FRoot || !C) return;
    if (C->GetWidth() == width() && C->GetHeight() == height()) return;
    Guarded([&] { C->SetBounds(C->GetLeft(), C->GetTop(), width(), height()); });
    // Refused or altered: the window goes back to the control's size, after
    // this event, as a window manager may still be at work on it.
    if (Fwd.Control() && (C->GetWidth() != width() || C->GetHeight() != height()))
      QTimer::singleShot(0, this, [this] {
        if (TControl* Now = Fwd.Control()) resize(Now->GetWidth(), Now->GetHeight());
      });
  }

private:
  bool FRoot;
};

class TPanelPeer : public TForwarding<QFrame>, public TPeer {
public:
  TPanelPeer(TPanel* C, QWidget* Parent) : TForwarding<QFrame>(C, Parent) {
    setAutoFillBackground(true);
  }
  void ShowContent() override {
    const TBevelCut Outer = static_cast<TPanel*>(Fwd.Control())->GetBevelOuter();
    setFrameStyle(Outer == bvNone
                      ? QFrame::NoFrame
                      : QFrame::Panel | (Outer == bvRaised ? QFrame::Raised : QFrame::Sunken));
    update();
  }

protected:
  void paintEvent(QPaintEvent* E) override {
    QFrame::paintEvent(E);
    if (TControl* C = Fwd.Control(); C && !C->GetCaption().empty()) {
      QPainter P(this);
      P.drawText(rect(), Qt::AlignCenter, QString::fromStdString(C->GetCaption()));
    }
  }
};

QPixmap GlyphPixmap(const TSpeedButton& B, int32_t Index) {
  TBitmap G;
  B.GetGlyphImage(Index, G);
  QImage I = ToQImage(G).convertToFormat(QImage::Format_ARGB32);
  if (I.isNull()) return QPixmap();
  const QRgb Transparent = I.pixel(0, I.height() - 1);
  for (int y = 0; y < I.height(); ++y)
    for (int x = 0; x < I.width(); ++x)
      if (I.pixel(x, y) == Transparent) I.setPixel(x, y, 0);
  return QPixmap::fromImage(I);
}

class TSpeedButtonPeer : public TForwarding<QToolButton>, public TPeer {
public:
  TSpeedButtonPeer(TSpeedButton* C, QWidget* Parent) : TForwarding<QToolButton>(C, Parent) {
    setCheckable(true);
    setFocusPolicy(Qt::NoFocus);
  }
  void ShowContent() override {
    const auto& B = *static_cast<TSpeedButton*>(Fwd.Control());
    setAutoRaise(B.GetFlat());
    setChecked(B.GetDown());
    setDown(B.GetPressed());
    setText(QString::fromStdString(B.GetCaption()));
    QIcon Icon;
    const QPixmap Normal = GlyphPixmap(B, 0);
    if (!Normal.isNull()) {
      Icon.addPixmap(Normal, QIcon::Normal);
      if (B.GetNumGlyphs() >= 2) Icon.addPixmap(GlyphPixmap(B, 1), QIcon::Disabled);
      setIconSize(Normal.size());
    }
    setIcon(Icon);
    setToolButtonStyle(Normal.isNull()          ? Qt::ToolButtonTextOnly
                       : B.GetCaption().empty() ? Qt::ToolButtonIconOnly
                                                : Qt::ToolButtonTextBesideIcon);
  }
};

// Qt's own combo box handles the mouse; the control learns the user's picks.
class TComboBoxPeer : public QComboBox, public TPeer {
public:
  TComboBoxPeer(TComboBox* C, QWidget* Parent) : QComboBox(Parent), FRef(C) {
    // activated is the user's pick only, never the program's.
    connect(this, &QComboBox::activated, this, [this](int Index) {
      if (auto* Combo = static_cast<TComboBox*>(FRef.Get())) Guarded([&] { Combo->Select(Index); });
    });
  }
  void ShowContent() override {
    const auto& Combo = *static_cast<TComboBox*>(FRef.Get());
    const QSignalBlocker Block(this);
    QStringList Items;
    for (const std::string& S : Combo.GetItems().Strings())
      Items << QString::fromStdString(S);
    QStringList Current;
    for (int i = 0; i < count(); ++i)
      Current << itemText(i);
    if (Items != Current) {
      clear();
      addItems(Items);
    }
    setEditable(Combo.GetStyle() == csDropDown || Combo.GetStyle() == csSimple);
    setCurrentIndex(Combo.GetItemIndex());
  }

private:
  TControlRef FRef;
};

// The one place that knows which peer a control gets; derived kinds are
// tested before their bases.
QWidget* NewPeer(TControl* C, QWidget* Parent, bool Root) {
  if (auto* B = dynamic_cast<TSpeedButton*>(C)) return new TSpeedButtonPeer(B, Parent);
  if (auto* Box = dynamic_cast<TComboBox*>(C)) return new TComboBoxPeer(Box, Parent);
  if (auto* P = dynamic_cast<TPanel*>(C)) return new TPanelPeer(P, Parent);
  return new TSurfacePeer(C, Parent, Root);
}

} // namespace

Host::Host() : FContext(std::make_unique<QObject>()) {
  FPreviousHost = Application().SetHost(this);
  FPreviousClipboard = Clipboard().SetBackend(std::make_unique<ClipboardBackend>());
}

Host::~Host() {
  if (FDragCursorShown) QGuiApplication::restoreOverrideCursor();
  Clipboard().SetBackend(std::move(FPreviousClipboard));
  Application().SetHost(FPreviousHost == this ? nullptr : FPreviousHost);
  FContext.reset();
}

QWidget* Host::WidgetOf(const TControl* Control) const {
  const auto It = FWidgets.find(Control);
  return It == FWidgets.end() ? nullptr : It->second.data();
}

QWidget* Host::Embed(TControl* Control, QWidget* Parent) {
  if (!Control) return nullptr;
  if (QWidget* W = WidgetOf(Control)) return W;
  FRoots.insert(Control);
  QWidget* W = Build(Control, Parent, true);
  Guarded([&] {
    if (auto* Win = dynamic_cast<TWinControl*>(Control)) Win->HandleNeeded();
  });
  return W;
}

QWidget* Host::Build(TControl* C, QWidget* Parent, bool Root) {
  QWidget* W = NewPeer(C, Parent, Root);
  FWidgets[C] = W;
  QObject::connect(W, &QObject::destroyed, FContext.get(), [this, C, W] {
    const auto It = FWidgets.find(C);
    if (It != FWidgets.end() && (It->second.isNull() || It->second.data() == W)) {
      FWidgets.erase(It);
      FRoots.erase(C);
    }
  });
  if (Root) {
    W->resize(C->GetWidth(), C->GetHeight());
  } else {
    W->setGeometry(C->GetLeft(), C->GetTop(), C->GetWidth(), C->GetHeight());
    W->setVisible(C->GetVisible());
  }
  Sync(C, W, ccEnabled);
  Sync(C, W, ccContent);
  Sync(C, W, ccHint);
  CursorChanged(C);
  if (auto* Win = dynamic_cast<TWinControl*>(C))
    for (int32_t i = 0; i < Win->GetControlCount(); ++i)
      Build(Win->GetControls(i), W, false);
  return W;
}

void Host::Sync(TControl* C, QWidget* W, TControlChange Change) {
  const bool Root = FRoots.count(C) != 0;
  switch (Change) {
  case ccBounds:
    if (!Root)
      W->setGeometry(C->GetLeft(), C->GetTop(), C->GetWidth(), C->GetHeight());
    else if (W->width() != C->GetWidth() || W->height() != C->GetHeight())
      W->resize(C->GetWidth(), C->GetHeight());
    break;
  case ccVisible:
    if (!Root) W->setVisible(C->GetVisible());
    break;
  case ccEnabled:
    W->setEnabled(C->GetEnabled());
    break;
  case ccParent:
    break;
  case ccContent:
    // Every widget the host makes is a peer.
    dynamic_cast<TPeer&>(*W).ShowContent();
    break;
  case ccHint: {
    const std::string& Hint = C->GetHint();
    W->setToolTip(C->GetShowHint() ? QString::fromStdString(Hint.substr(0, Hint.find('|')))
                                   : QString());
    break;
  }
  }
}

void Host::AreaChanged(TControl* Control, const TRect& Area) {
  if (QWidget* W = WidgetOf(Control)) W->update(ToQRect(Area));
}

void Host::CursorChanged(TControl* Control) {
  QWidget* W = WidgetOf(Control);
  if (!W) return;
  if (Control->GetCursor() == crDefault)
    W->unsetCursor();
  else
    W->setCursor(ToQCursor(Screen().GetCursors(Control->GetCursor())));
}

void Host::ControlChanged(TControl* Control, TControlChange Change) {
  if (Change != ccParent) {
    if (QWidget* W = WidgetOf(Control)) Sync(Control, W, Change);
    return;
  }
  if (FRoots.count(Control)) return;
  TWinControl* P = Control->GetParent();
  QWidget* Container = P ? WidgetOf(P) : nullptr;
  QWidget* W = WidgetOf(Control);
  if (!Container) {
    // Out of every shown tree: its widgets go.
    if (W) {
      Forget(Control);
      W->hide();
      W->deleteLater();
    }
    return;
  }
  if (W) {
    W->setParent(Container);
    Sync(Control, W, ccBounds);
    W->setVisible(Control->GetVisible());
  } else {
    Build(Control, Container, false);
  }
}

void Host::Forget(TControl* Control) {
  FWidgets.erase(Control);
  FRoots.erase(Control);
  if (auto* Win = dynamic_cast<TWinControl*>(Control))
    for (int32_t i = 0; i < Win->GetControlCount(); ++i)
      Forget(Win->GetControls(i));
}

void Host::ControlDestroyed(TControl* Control) {
  const auto It = FWidgets.find(Control);
  if (It == FWidgets.end()) return;
  QPointer<QWidget> W = It->second;
  const bool Root = FRoots.count(Control) != 0;
  FWidgets.erase(It);
  FRoots.erase(Control);
  if (!W) return;
  if (Root) {
    // The caller's widget stays; it shows nothing and drops the input now.
    W->update();
  } else {
    // Later: the control may be going from inside this widget's own handler.
    W->hide();
    W->deleteLater();
  }
}

void Host::DragCursorChanged(bool Dragging, TCursor Cursor) {
  if (!Dragging) {
    if (FDragCursorShown) QGuiApplication::restoreOverrideCursor();
    FDragCursorShown = false;
    return;
  }
  const QCursor Shape = ToQCursor(Screen().GetCursors(Cursor));
  if (FDragCursorShown)
    QGuiApplication::changeOverrideCursor(Shape);
  else
    QGuiApplication::setOverrideCursor(Shape);
  FDragCursorShown = true;
}

namespace {

// The items of Item as actions of Menu. A pick reaches the item only while
// the popup menu lives and can still pick it: items may change or go while
// the menu is open.
void AddMenuItems(QMenu* Menu, const TPopupMenu& Popup, const TMenuItem& Item) {
  for (int32_t i = 0; i < Item.GetCount(); ++i) {
    TMenuItem* Sub = Item.GetItems(i);
    if (!Sub->GetVisible()) continue;
    if (Sub->IsLine()) {
      Menu->addSeparator();
      continue;
    }
    const QString Text = QString::fromStdString(Sub->GetCaption());
    if (Sub->GetCount() > 0) {
      QMenu* Child = Menu->addMenu(Text);
      Child->setEnabled(Sub->GetEnabled());
      AddMenuItems(Child, Popup, *Sub);
      continue;
    }
    QAction* A = Menu->addAction(Text);
    A->setCheckable(Sub->GetChecked() || Sub->GetAutoCheck());
    A->setChecked(Sub->GetChecked());
    A->setEnabled(Sub->GetEnabled());
    QObject::connect(A, &QAction::triggered, Menu, [Ref = Popup.WeakRef(), Sub] {
      const std::shared_ptr<TPopupMenu*> P = Ref.lock();
      if (P && (*P)->CanPick(Sub)) Guarded([&] { Sub->Click(); });
    });
  }
}

} // namespace

void Host::ShowPopupMenu(TPopupMenu* Menu, TControl* Control, const TPoint& Pos) {
  QWidget* W = WidgetOf(Control);
  if (!Menu || !W) return;
  auto* Q = new QMenu(W);
  Q->setAttribute(Qt::WA_DeleteOnClose);
  AddMenuItems(Q, *Menu, *Menu->GetItems());
  Q->popup(W->mapToGlobal(QPoint(Pos.X, Pos.Y)));
}

void Host::ProcessMessages() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool Host::WaitMessage() {
  // The timer's event ends the wait when nothing else comes.
  QTimer WakeUp;
  WakeUp.setSingleShot(true);
  WakeUp.start(50);
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  return true;
}

} // namespace qeb::qt
