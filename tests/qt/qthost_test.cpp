// The Qt binding on the offscreen platform: real Qt events reach hosted
// controls as the headless host delivers them, and the widgets show and
// follow the controls.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include "bindings/qt/qthost.h"
#include "qebgeolib/platform/controls/menus.h"
#include "qebgeolib/platform/controls/stdctrls.h"
#include "qebgeolib/platform/graphics/bitmap.h"
#include "qebgeolib/platform/graphics/canvas.h"
#include "qebgeolib/resources/georesources.h"
#include "tests/platform/controls/mouselog.h"

using namespace qeb;

namespace {

using test::Mouse;

// Logs its handlers and draws: a square at each press, an XOR line for each
// move with the left button held.
struct TSketch : TCustomControl {
  explicit TSketch(std::vector<std::string>* ALog) : TCustomControl(nullptr), Log(ALog) {
    SetBounds(0, 0, 160, 120);
    SetColor(clWhite);
    SetOnClick([this](TObject*) { Log->push_back("click"); });
    SetOnDblClick([this](TObject*) { Log->push_back("dblclick"); });
    SetOnMouseWheel([this](TObject*, TShiftState S, int32_t D, const TPoint& P, bool& Handled) {
      Log->push_back(Mouse(("wheel " + std::to_string(D)).c_str(), S, P.X, P.Y));
      Handled = true;
    });
  }
  void Paint() override {
    TCanvas& C = GetCanvas();
    C.GetBrush().SetStyle(bsClear);
    C.GetPen().SetColor(clNavy);
    C.Rectangle(0, 0, GetWidth(), GetHeight());
  }
  void MouseDown(TMouseButton B, TShiftState S, int32_t X, int32_t Y) override {
    Log->push_back(Mouse(B == mbLeft ? "down" : "down2", S, X, Y));
    TCanvas& C = GetCanvas();
    C.GetBrush().SetColor(B == mbLeft ? clRed : clBlue);
    C.FillRect(Rect(X - 1, Y - 1, X + 2, Y + 2));
    Last = {X, Y};
    TCustomControl::MouseDown(B, S, X, Y);
  }
  void MouseMove(TShiftState S, int32_t X, int32_t Y) override {
    Log->push_back(Mouse("move", S, X, Y));
    if (S & ssLeft) {
      TCanvas& C = GetCanvas();
      C.GetPen().SetMode(pmXor);
      C.GetPen().SetColor(clWhite);
      C.MoveTo(Last.X, Last.Y);
      C.LineTo(X, Y);
      C.GetPen().SetMode(pmCopy);
    }
    Last = {X, Y};
  }
  void MouseUp(TMouseButton B, TShiftState S, int32_t X, int32_t Y) override {
    Log->push_back(Mouse(B == mbLeft ? "up" : "up2", S, X, Y));
    TCustomControl::MouseUp(B, S, X, Y);
  }
  std::vector<std::string>* Log;
  TPoint Last;
};

QImage Surface(TControl& C) {
  return qt::ToQImage(C.GetSurfaceForDisplay());
}

QWidget* Show(qt::Host& H, TControl* C) {
  QWidget* W = H.Embed(C);
  W->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(W));
  return W;
}

} // namespace

TEST(QtHost, RealMouseEventsGiveTheSameCallsAndPixelsAsTheHeadlessHost) {
  // The headless run.
  std::vector<std::string> Headless;
  TSketch A(&Headless);
  A.Update();
  THeadlessHost& HL = Application().GetHeadlessHost();
  HL.PostMouseMove(&A, 0, 10, 10);
  HL.PostMouseDown(&A, mbLeft, 0, 10, 10);
  HL.PostMouseMove(&A, 0, 40, 30);
  HL.PostMouseMove(&A, 0, 60, 20);
  HL.PostMouseUp(&A, mbLeft, 0, 60, 20);
  HL.PostMouseMove(&A, 0, 90, 70);
  HL.PostMouseDown(&A, mbRight, ssCtrl, 90, 70);
  HL.PostMouseUp(&A, mbRight, ssCtrl, 90, 70);
  HL.PostMouseMove(&A, 0, 120, 50);
  HL.PostClick(&A, mbLeft, 0, 120, 50);
  HL.PostDblClick(&A, mbLeft, 0, 120, 50);
  HL.PostMouseUp(&A, mbLeft, 0, 120, 50);
  HL.PostMouseWheel(&A, ssShift, -120, 30, 40);
  Application().ProcessMessages();

  // The same through a Qt window.
  std::vector<std::string> Real;
  TSketch B(&Real);
  qt::Host Host;
  std::unique_ptr<QWidget> Window(Show(Host, &B));
  QWidget* W = Window.get();
  B.Update();
  QTest::mouseMove(W, {10, 10});
  QTest::mousePress(W, Qt::LeftButton, {}, {10, 10});
  QTest::mouseMove(W, {40, 30});
  QTest::mouseMove(W, {60, 20});
  QTest::mouseRelease(W, Qt::LeftButton, {}, {60, 20});
  QTest::mouseMove(W, {90, 70});
  QTest::mousePress(W, Qt::RightButton, Qt::ControlModifier, {90, 70});
  QTest::mouseRelease(W, Qt::RightButton, Qt::ControlModifier, {90, 70});
  QTest::mouseMove(W, {120, 50});
  QTest::mouseDClick(W, Qt::LeftButton, {}, {120, 50});
  QWheelEvent Wheel(QPointF(30, 40), W->mapToGlobal(QPointF(30, 40)), QPoint(), QPoint(0, -120),
                    Qt::NoButton, Qt::ShiftModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(W, &Wheel);
  QApplication::processEvents();

  EXPECT_EQ(Real, Headless);
  ASSERT_GE(Headless.size(), 15u);
  EXPECT_EQ(Headless[1], "down l 10,10");
  EXPECT_EQ(Headless.back(), "wheel -120 S 30,40");
  EXPECT_TRUE(Surface(A) == Surface(B));
  // The window shows the surface.
  EXPECT_TRUE(W->grab().toImage().convertToFormat(QImage::Format_RGB32) == Surface(B));
  EXPECT_EQ(QColor(Surface(B).pixel(9, 11)), QColor(Qt::red)); // the press square, off the line
}

TEST(QtHost, NativeCounterpartsFollowTheControlsAndForwardTheUser) {
  qt::Host Host;
  TCustomControl Root(nullptr);
  Root.SetBounds(0, 0, 300, 100);
  Root.SetColor(clGreen);
  auto* Bar = new TPanel(&Root);
  Bar->SetParent(&Root);
  Bar->SetHeight(33);
  Bar->SetAlign(alTop);
  std::vector<std::string> Log;
  TSpeedButton* Buttons[2];
  for (int i = 0; i < 2; ++i) {
    auto* B = Buttons[i] = new TSpeedButton(&Root);
    B->SetParent(Bar);
    B->SetBounds(3 + 29 * i, 3, 26, 26);
    B->SetGroupIndex(999);
    B->SetFlat(true);
    TBitmap Glyph;
    LoadBitmapResource(Glyph, GeoLibResources(), i == 0 ? "POINTR" : "ZOOMIN");
    B->SetGlyph(Glyph);
    B->SetNumGlyphs(2);
    B->SetOnClick([&Log, B, i](TObject*) {
      Log.push_back(std::to_string(i) + (B->GetDown() ? " down" : " up"));
    });
  }
  Buttons[0]->SetDown(true);
  auto* Box = new TComboBox(&Root);
  Box->SetParent(Bar);
  Box->SetBounds(68, 5, 200, 21);
  Box->SetStyle(csDropDownList);
  for (const char* S : {"alps", "jura", "tirol"})
    Box->GetItems().Add(S);
  Box->SetOnChange([&](TObject*) { Log.push_back("change " + Box->GetText()); });
  auto* Map = new TCustomControl(&Root);
  Map->SetParent(&Root);
  Map->SetAlign(alClient);
  Map->SetColor(clYellow);

  std::unique_ptr<QWidget> Window(Show(Host, &Root));
  QWidget* W = Window.get();
  auto* Tool0 = dynamic_cast<QToolButton*>(Host.WidgetOf(Buttons[0]));
  auto* Tool1 = dynamic_cast<QToolButton*>(Host.WidgetOf(Buttons[1]));
  auto* Combo = dynamic_cast<QComboBox*>(Host.WidgetOf(Box));
  ASSERT_TRUE(Tool0 && Tool1 && Combo);
  EXPECT_EQ(Host.WidgetOf(Bar)->parentWidget(), W);
  EXPECT_EQ(Tool0->parentWidget(), Host.WidgetOf(Bar));
  EXPECT_TRUE(Tool0->isChecked());
  EXPECT_FALSE(Tool0->icon().isNull());
  EXPECT_EQ(Combo->count(), 3);
  EXPECT_EQ(Combo->currentIndex(), -1);
  EXPECT_EQ(Host.WidgetOf(Map)->geometry(), QRect(0, 33, 300, 67));

  // A click on the real tool button.
  QTest::mouseClick(Tool1, Qt::LeftButton);
  EXPECT_TRUE(Buttons[1]->GetDown());
  EXPECT_FALSE(Buttons[0]->GetDown());
  EXPECT_TRUE(Tool1->isChecked());
  EXPECT_FALSE(Tool0->isChecked());
  // A user's pick in the real combo box; the program's choice is silent.
  QTest::keyClick(Combo, Qt::Key_Down);
  EXPECT_EQ(Box->GetItemIndex(), 0);
  Box->SetItemIndex(2);
  EXPECT_EQ(Combo->currentIndex(), 2);
  Box->GetItems().Add("wallis");
  EXPECT_EQ(Combo->count(), 4);
  EXPECT_EQ(Log, (std::vector<std::string>{"1 down", "change alps"}));

  // Layout follows the window, and the panel's visibility.
  W->resize(400, 150);
  QApplication::processEvents();
  EXPECT_EQ(Root.GetWidth(), 400);
  EXPECT_EQ(Host.WidgetOf(Bar)->width(), 400);
  Bar->Hide();
  EXPECT_FALSE(Host.WidgetOf(Bar)->isVisible());
  EXPECT_EQ(Host.WidgetOf(Map)->geometry(), QRect(0, 0, 400, 150));
  Buttons[0]->SetEnabled(false);
  EXPECT_FALSE(Tool0->isEnabled());

  // Cursors: a standard shape and one from the resources.
  Map->SetCursor(crHandPoint);
  EXPECT_EQ(Host.WidgetOf(Map)->cursor().shape(), Qt::PointingHandCursor);
  Screen().SetCursors(1000, LoadCursor(GeoLibResources(), "CURGEOZOOM"));
  Map->SetCursor(1000);
  EXPECT_EQ(Host.WidgetOf(Map)->cursor().shape(), Qt::BitmapCursor);
  EXPECT_EQ(Host.WidgetOf(Map)->cursor().hotSpot(), QPoint(6, 6));
  Screen().SetCursors(1000, nullptr);

  // A repaint reaches the screen.
  Map->SetColor(clFuchsia);
  Map->Repaint();
  QApplication::processEvents();
  EXPECT_EQ(QColor(W->grab().toImage().pixel(200, 100)), QColor(Qt::magenta));

  // Children made later get widgets; removed ones lose them.
  auto* Late = new TCustomControl(&Root);
  Late->SetBounds(5, 5, 10, 10);
  Late->SetParent(Map);
  ASSERT_NE(Host.WidgetOf(Late), nullptr);
  EXPECT_EQ(Host.WidgetOf(Late)->parentWidget(), Host.WidgetOf(Map));
  Late->SetParent(nullptr);
  EXPECT_EQ(Host.WidgetOf(Late), nullptr);
  delete Late;
}

TEST(QtHost, DestroyedControlsDropTheirInput) {
  qt::Host Host;
  std::vector<std::string> Log;
  auto* Root = new TSketch(&Log);
  auto* Child = new TSketch(&Log);
  Child->SetBounds(10, 10, 40, 40);
  Child->SetParent(Root);
  Child->SetOnClick([&](TObject*) {
    Log.push_back("bye");
    delete Child; // from inside its own widget's event handler
  });
  std::unique_ptr<QWidget> W(Show(Host, Root));
  QTest::mouseMove(W.get(), {20, 20});
  QTest::mouseClick(W.get(), Qt::LeftButton, {}, {20, 20});
  QApplication::processEvents();
  EXPECT_EQ(Host.WidgetOf(Child), nullptr);
  EXPECT_EQ(Log.back(), "bye");
  Log.clear();
  QTest::mouseClick(W.get(), Qt::LeftButton, {}, {20, 20}); // now the root's
  EXPECT_EQ(Log.front(), "down l 20,20");
  delete Root;
  Log.clear();
  QTest::mouseClick(W.get(), Qt::LeftButton, {}, {30, 30});
  W->repaint();
  EXPECT_TRUE(Log.empty());
}

TEST(QtHost, NestedLoopsRunThroughQtsEventLoop) {
  // A handler that waits for the release in its own loop, as a
  // drag-a-box operation does; the release comes from Qt's event loop.
  qt::Host Host;
  std::vector<std::string> Log;
  TSketch C(&Log);
  bool Waiting = false;
  C.SetOnMouseDown([&](TObject*, TMouseButton, TShiftState, int32_t, int32_t) {
    Waiting = true;
    while (Waiting)
      Application().ProcessMessages();
    Log.push_back("loop done");
  });
  C.SetOnMouseUp([&](TObject*, TMouseButton, TShiftState, int32_t, int32_t) { Waiting = false; });
  std::unique_ptr<QWidget> W(Show(Host, &C));
  QTest::mouseMove(W.get(), {5, 5});
  QTimer::singleShot(0, W.get(), [&] {
    QTest::mouseMove(W.get(), {50, 40});
    QTest::mouseRelease(W.get(), Qt::LeftButton, {}, {50, 40});
  });
  QTest::mousePress(W.get(), Qt::LeftButton, {}, {5, 5});
  EXPECT_EQ(Log, (std::vector<std::string>{"move  5,5", "down l 5,5", "move l 50,40", "click",
                                           "up  50,40", "loop done"}));
}

TEST(QtHost, DragsMenusHintsAndResizeVetoesThroughRealEvents) {
  qt::Host Host;
  std::vector<std::string> Log;
  TCustomControl Root(nullptr);
  Root.SetBounds(0, 0, 200, 100);
  auto* Src = new TCustomControl(&Root);
  Src->SetParent(&Root);
  Src->SetBounds(10, 10, 40, 40);
  Src->SetDragMode(dmAutomatic);
  Src->SetOnEndDrag([&](TObject*, TObject* Target, int32_t X, int32_t Y) {
    Log.push_back(std::string(Target ? "end bin " : "end none ")
                      .append(std::to_string(X))
                      .append(",")
                      .append(std::to_string(Y)));
  });
  auto* Bin = new TCustomControl(&Root);
  Bin->SetParent(&Root);
  Bin->SetBounds(100, 10, 60, 60);
  Bin->SetOnDragOver([](TObject*, TObject*, int32_t, int32_t, TDragState, bool&) {});
  Bin->SetOnDragDrop([&](TObject*, TObject* Source, int32_t, int32_t) {
    Log.push_back(Source == Src ? "drop" : "drop?");
  });
  std::unique_ptr<QWidget> Window(Show(Host, &Root));
  QWidget* W = Window.get();
  const auto DragShape = [] {
    const QCursor* C = QGuiApplication::overrideCursor();
    return C ? C->shape() : Qt::BlankCursor;
  };

  // A press on the source begins the drag; Qt's grab brings the moves.
  QTest::mouseMove(W, {30, 30});
  QTest::mousePress(W, Qt::LeftButton, {}, {30, 30});
  EXPECT_EQ(DragShape(), Qt::ForbiddenCursor);
  QTest::mouseMove(W, {120, 30});
  EXPECT_EQ(DragShape(), Qt::DragMoveCursor);
  QTest::mouseRelease(W, Qt::LeftButton, {}, {120, 30});
  EXPECT_EQ(Log, (std::vector<std::string>{"drop", "end bin 20,20"}));
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

  // The right button opens a real menu; a click on an item reaches it.
  TPopupMenu Menu(nullptr);
  for (const char* Caption : {"Alpha", "-", "Beta"}) {
    auto* I = new TMenuItem(nullptr);
    I->SetCaption(Caption);
    I->SetOnClick([&Log, I](TObject*) { Log.push_back(I->GetCaption()); });
    Menu.GetItems()->Add(I);
  }
  Menu.GetItems()->GetItems(2)->SetEnabled(false);
  Bin->SetPopupMenu(&Menu);
  QTest::mouseClick(W, Qt::RightButton, {}, {130, 40});
  auto* Popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(Popup, nullptr);
  const QList<QAction*> Actions = Popup->actions();
  ASSERT_EQ(Actions.size(), 3);
  EXPECT_TRUE(Actions[1]->isSeparator());
  EXPECT_FALSE(Actions[2]->isEnabled());
  EXPECT_EQ(Popup->mapToGlobal(QPoint(0, 0)), W->mapToGlobal(QPoint(130, 40)));
  QTest::mouseClick(Popup, Qt::LeftButton, {}, Popup->actionGeometry(Actions[0]).center());
  QApplication::processEvents();
  EXPECT_EQ(Log.back(), "Alpha");
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

  // Hints are tool tips while ShowHint holds, here inherited from the root.
  QWidget* BinWidget = Host.WidgetOf(Bin);
  Bin->SetHint("Bin|Drop things here to delete them");
  EXPECT_TRUE(BinWidget->toolTip().isEmpty());
  Root.SetShowHint(true);
  QHelpEvent Help(QEvent::ToolTip, QPoint(5, 5), BinWidget->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(BinWidget, &Help);
  EXPECT_EQ(QToolTip::text(), "Bin");
  QToolTip::hideText();
  Root.SetShowHint(false);
  EXPECT_TRUE(BinWidget->toolTip().isEmpty());

  // A resize of the window the control refuses in part goes back.
  Root.SetOnCanResize(
      [](TObject*, int32_t& NewWidth, int32_t&, bool&) { NewWidth = std::min(NewWidth, 250); });
  W->resize(300, 120);
  for (int i = 0; i < 100 && W->width() != 250; ++i)
    QTest::qWait(10);
  EXPECT_EQ(Root.GetWidth(), 250);
  EXPECT_EQ(Root.GetHeight(), 120);
  EXPECT_EQ(W->size(), QSize(250, 120));
}

TEST(QtHost, ClipboardHoldsImagesOnTheSystemClipboard) {
  qt::Host Host;
  TBitmap B(20, 10, pf24bit);
  B.GetCanvas().GetBrush().SetColor(RGB(10, 200, 30));
  B.GetCanvas().FillRect(Rect(0, 0, 20, 10));
  B.GetCanvas().SetPixels(3, 4, clBlue);
  Clipboard().Assign(&B);
  const QImage I = QGuiApplication::clipboard()->image();
  ASSERT_EQ(I.size(), QSize(20, 10));
  EXPECT_EQ(QColor(I.pixel(3, 4)), QColor(Qt::blue));
  EXPECT_EQ(QColor(I.pixel(0, 0)), QColor(10, 200, 30));
  EXPECT_TRUE(Clipboard().HasFormat(CF_BITMAP));

  QImage Other(4, 3, QImage::Format_ARGB32);
  Other.fill(QColor(1, 2, 3));
  QGuiApplication::clipboard()->setImage(Other);
  TBitmap Back;
  Back.Assign(&Clipboard());
  EXPECT_EQ(Back.GetWidth(), 4);
  EXPECT_EQ(Back.GetCanvas().GetPixels(2, 2), RGB(1, 2, 3));
  Clipboard().SetAsText("Zürich");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8("Zürich"));
  Clipboard().Clear();
  EXPECT_THROW(Back.Assign(&Clipboard()), EClipboardException);
}
