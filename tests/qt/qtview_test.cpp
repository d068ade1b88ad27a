// The map control in a real Qt window: the same mouse script through Qt's
// events and through the headless input queue gives the same views, and the
// mouse box's nested loop runs on Qt's event loop.
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <functional>

#include "bindings/qt/qthost.h"
#include "qebgeolib/voziza/view.h"

using namespace qeb;

namespace {

// A map of 600 x 450 pixels with a coarse pattern, calibrated over Europe,
// with graticule, in a 320 x 240 control.
void SetUpMap(TVozIza& V) {
  V.SetBounds(0, 0, 320, 240);
  TBitmap Bmp(600, 450);
  TCanvas& C = Bmp.GetCanvas();
  for (int32_t Y = 0; Y < 450; Y += 30)
    for (int32_t X = 0; X < 600; X += 30) {
      C.GetBrush().SetColor(
          static_cast<TColor>((X * 7 + Y * 3) % 256 | (X % 256) << 8 | Y % 256 << 16));
      C.FillRect(Rect(X, Y, X + 30, Y + 30));
    }
  V.SetMapBitMap(&Bmp);
  V.SetCalibModel(cmEquiRect);
  V.AddCalibPoint(60, -10, 0, 0);
  V.AddCalibPoint(35, -10, 0, 450);
  V.AddCalibPoint(35, 30, 600, 450);
  V.SetShowGrat(sgPointsAndLines);
}

struct TViewState {
  TPoint TopLeft;
  double Mag;
  QImage Surface;
  bool operator==(const TViewState& O) const {
    return TopLeft == O.TopLeft && Mag == O.Mag && Surface == O.Surface;
  }
};

TViewState StateOf(TVozIza& V) {
  return {V.GetTopLeft(), V.GetMagnification(), qt::ToQImage(V.GetSurfaceForDisplay())};
}

// One step of the script: mouse events at control pixels, or a mode change.
struct TStep {
  enum { Down, Move, Up, Wheel, Mode } Kind;
  int32_t X = 0, Y = 0;
  TMouseButton Button = mbLeft;
  TMouseActMode Action = maNone;
};

const std::vector<TStep> Script = {
    // Pan with the left button.
    {TStep::Move, 100, 100},
    {TStep::Down, 100, 100},
    {TStep::Move, 90, 95},
    {TStep::Move, 60, 70},
    {TStep::Up, 60, 70},
    // Wheel zoom in about a point.
    {TStep::Wheel, 150, 120},
    // A zoom box.
    {TStep::Mode, 0, 0, mbLeft, maZoomBox},
    {TStep::Move, 40, 30},
    {TStep::Down, 40, 30},
    {TStep::Move, 120, 80},
    {TStep::Move, 200, 150},
    {TStep::Up, 200, 150},
    // A drag zoom.
    {TStep::Mode, 0, 0, mbLeft, maZoomDrag},
    {TStep::Move, 160, 200},
    {TStep::Down, 160, 200},
    {TStep::Move, 160, 190},
    {TStep::Move, 160, 170},
    {TStep::Up, 160, 170}};

TViewState RunHeadless() {
  TVozIza V(nullptr);
  SetUpMap(V);
  THeadlessHost& H = Application().GetHeadlessHost();
  for (const TStep& S : Script) {
    switch (S.Kind) {
    case TStep::Down:
      H.PostMouseDown(&V, S.Button, 0, S.X, S.Y);
      break;
    case TStep::Move:
      H.PostMouseMove(&V, 0, S.X, S.Y);
      break;
    case TStep::Up:
      H.PostMouseUp(&V, S.Button, 0, S.X, S.Y);
      break;
    case TStep::Wheel:
      H.PostMouseWheel(&V, 0, 120, S.X, S.Y);
      break;
    case TStep::Mode:
      Application().ProcessMessages();
      V.SetMouseAction(S.Action);
      break;
    }
  }
  Application().ProcessMessages();
  return StateOf(V);
}

TViewState RunQt() {
  TVozIza V(nullptr);
  SetUpMap(V);
  qt::Host Host;
  std::unique_ptr<QWidget> Window(Host.Embed(&V));
  QWidget* W = Window.get();
  W->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(W));
  for (const TStep& S : Script) {
    const QPoint P(S.X, S.Y);
    switch (S.Kind) {
    case TStep::Down:
      QTest::mousePress(W, Qt::LeftButton, {}, P);
      break;
    case TStep::Move:
      QTest::mouseMove(W, P);
      break;
    case TStep::Up:
      QTest::mouseRelease(W, Qt::LeftButton, {}, P);
      break;
    case TStep::Wheel: {
      QWheelEvent E(QPointF(P), W->mapToGlobal(QPointF(P)), QPoint(), QPoint(0, 120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(W, &E);
      break;
    }
    case TStep::Mode:
      V.SetMouseAction(S.Action);
      break;
    }
  }
  QApplication::processEvents();
  TViewState State = StateOf(V);
  // The window shows what the control composed.
  EXPECT_TRUE(W->grab().toImage().convertToFormat(QImage::Format_RGB32) == State.Surface);
  return State;
}

} // namespace

TEST(QtVozIza, MouseScriptGivesTheSameViewsAsHeadless) {
  const TViewState Headless = RunHeadless();
  const TViewState Real = RunQt();
  EXPECT_EQ(Real.TopLeft, Headless.TopLeft);
  EXPECT_EQ(Real.Mag, Headless.Mag);
  EXPECT_TRUE(Real.Surface == Headless.Surface);
  // The script did move and zoom the view.
  EXPECT_NE(Headless.Mag, 1.0);
  EXPECT_NE(Headless.TopLeft, (TPoint{0, 0}));
}

TEST(QtVozIza, MouseBoxRunsOnQtsEventLoop) {
  TVozIza V(nullptr);
  SetUpMap(V);
  qt::Host Host;
  std::unique_ptr<QWidget> Window(Host.Embed(&V));
  QWidget* W = Window.get();
  W->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(W));
  // The user drags from bottom right to top left while MouseBox waits.
  QTimer::singleShot(0, W, [W] {
    QTest::mouseMove(W, {200, 150});
    QTest::mousePress(W, Qt::LeftButton, {}, {200, 150});
    QTest::mouseMove(W, {120, 100});
    QTest::mouseMove(W, {50, 40});
    QTest::mouseRelease(W, Qt::LeftButton, {}, {50, 40});
  });
  int32_t XLo = 0, YLo = 0, XHi = 0, YHi = 0;
  ASSERT_TRUE(V.MouseBox(XLo, YLo, XHi, YHi));
  EXPECT_EQ(XLo, 50);
  EXPECT_EQ(YLo, 40);
  EXPECT_EQ(XHi, 200);
  EXPECT_EQ(YHi, 150);
  EXPECT_EQ(V.GetMouseAction(), maPanBoth);
  EXPECT_EQ(V.GetTopLeft(), (TPoint{0, 0})); // no pan happened while boxing

  // A right press cancels.
  QTimer::singleShot(0, W, [W] { QTest::mousePress(W, Qt::RightButton, {}, {10, 10}); });
  EXPECT_FALSE(V.MouseBox(XLo, YLo, XHi, YHi));
  QTest::mouseRelease(W, Qt::RightButton, {}, {10, 10});
}
