#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "qebgeolib/platform/controls/application.h"
#include "qebgeolib/platform/controls/menus.h"
#include "qebgeolib/voziza/view.h"
#include "tests/errortext.h"
#include "tests/voziza/viewtest.h"

using namespace qeb;
using qeb::test::ErrorOf;

namespace {

struct MouseView : ::testing::Test {
  TVozIza View{nullptr};
  int ZoomPans = 0;
  std::vector<TPoint> Moves; // as OnMouseMove reports them

  MouseView() {
    View.SetName("Map");
    View.SetOnZoomPan([this](TObject*) { ++ZoomPans; });
    View.SetOnMouseMove([this](TObject*, TShiftState, int32_t X, int32_t Y) {
      Moves.push_back({X, Y});
    });
    Image(2000, 1000);
  }
  void Image(int32_t W, int32_t H) {
    TBitmap B;
    test::FillCodedImage(B, W, H);
    View.SetMapBitMap(&B);
    View.Repaint();
  }
  // The view as a zoom history entry.
  TgmZoomStackEntry Now() const {
    return {View.GetTopLeft().X, View.GetTopLeft().Y, View.GetMagnification()};
  }
  // The raw bytes of the control's surface, to see that XOR figures leave
  // nothing behind.
  std::string Surface() {
    const TBitmap& S = View.GetSurface();
    std::string R;
    for (int32_t Y = 0; Y < S.GetHeight(); ++Y)
      R.append(reinterpret_cast<const char*>(S.ScanLine(Y)), S.GetScanLineSize());
    return R;
  }
  TColor Pixel(int32_t X, int32_t Y) {
    const uint8_t* P = View.GetSurface().ScanLine(Y) + 4 * X;
    return P[2] | P[1] << 8 | P[0] << 16;
  }
  // Press, one move with the button held, release.
  void Drag(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
    View.InputMouseDown(mbLeft, ssLeft, X1, Y1);
    View.InputMouseMove(ssLeft, X2, Y2);
    View.InputMouseUp(mbLeft, 0, X2, Y2);
  }
};

TEST_F(MouseView, ConversionsFitAndCentre) {
  View.SetMagnification(2);
  View.SetTopLeft({100, 50});
  EXPECT_EQ(View.ControlToMapImage({10, 10}), (TPoint{105, 55}));
  EXPECT_EQ(View.MapImageToControl({105, 55}), (TPoint{10, 10}));
  EXPECT_EQ(View.ControlToMapImage({5, 7}), (TPoint{102, 54})); // 2.5 -> 2, 3.5 -> 4
  for (double Bad : {0.0, 1024.5, 1 / 2048.0, std::nan(""), HUGE_VAL})
    EXPECT_EQ(ErrorOf([&] { View.SetMagnification(Bad); }),
              "Component \"Map\": magnification must lie between 1/1024 and 1024")
        << Bad;
  EXPECT_EQ(View.GetMagnification(), 2);

  View.ZoomFitPage();
  EXPECT_EQ(Now(), (TgmZoomStackEntry{0, 0, 0.25}));
  View.SetMagnification(1);
  test::CalibrateCorners(View, 10, 20, 0, 30);
  View.BringLocationToCenter(5, 25); // pixel (1000, 500)
  EXPECT_EQ(View.GetTopLeft(), (TPoint{750, 300}));
  View.BringLocationToCenter(9.9, 29.9); // pixel (1980, 10), near the top right corner
  EXPECT_EQ(View.GetTopLeft(), (TPoint{1500, 0}));

  Image(300, 1000); // narrower than the window: kept at the left edge
  View.BringMapPixelToCenter({150, 500});
  EXPECT_EQ(View.GetTopLeft(), (TPoint{0, 300}));
}

TEST_F(MouseView, ZoomHistoryIsARingOfSixteen) {
  View.SetTopLeft({7, 8});
  View.SetMagnification(2);
  View.ClearZoomHistory();
  EXPECT_EQ(View.GetZoomStackEntry(0), (TgmZoomStackEntry{7, 8, 2}));
  for (int32_t I = 2; I <= 17; ++I) {
    View.SetTopLeft({I, 0});
    View.ZoomStateOnStack();
  }
  EXPECT_EQ(View.GetZoomStackEntry(0), (TgmZoomStackEntry{17, 0, 2}));
  EXPECT_EQ(View.GetZoomStackEntry(-15), (TgmZoomStackEntry{2, 0, 2}));
  EXPECT_TRUE(View.GetZoomStackEntry(-16).Empty());
  View.SetMagnification(1);
  View.ZoomHistory(1); // out of range: nothing
  EXPECT_EQ(View.GetMagnification(), 1);
  View.ZoomHistory(-15);
  EXPECT_EQ(Now(), (TgmZoomStackEntry{2, 0, 2}));
  EXPECT_EQ(ZoomPans, 0);

  View.BeginLoading();
  View.ZoomStateOnStack();
  View.Loaded();
  EXPECT_EQ(View.GetZoomStackEntry(0), (TgmZoomStackEntry{17, 0, 2}));
}

TEST_F(MouseView, ZoomBox) {
  View.SetMouseAction(maZoomBox);
  const std::string Before = Surface();
  const TColor Corner = Pixel(100, 100);
  View.InputMouseDown(mbLeft, ssLeft, 300, 200);
  View.InputMouseMove(ssLeft, 100, 100);
  EXPECT_EQ(Pixel(100, 100), Corner ^ 0xFFFFFF);
  EXPECT_FALSE(View.InputMouseWheel(0, 120, 200, 150)); // a repaint would break the figure
  View.InputMouseUp(mbRight, ssLeft, 100, 100);         // cancels and erases
  EXPECT_EQ(View.GetZoomState(), zsIdle);
  EXPECT_EQ(Surface(), Before);

  Moves.clear();
  View.InputMouseDown(mbLeft, ssLeft, 300, 200);
  View.InputMouseMove(ssLeft, 600, -20); // reported clamped
  View.InputMouseMove(ssLeft, 100, 100);
  View.InputMouseUp(mbMiddle, ssLeft, 100, 100); // leaves the box open
  View.InputMouseUp(mbLeft, 0, 100, 100);
  EXPECT_EQ(Moves, (std::vector<TPoint>{{500, 0}, {100, 100}}));
  EXPECT_EQ(Now(), (TgmZoomStackEntry{100, 70, 2.5}));
  EXPECT_EQ(View.GetZoomState(), zsIdle);
  EXPECT_EQ(ZoomPans, 1);

  // Less than one image pixel wide: no zoom, and no figure left behind.
  View.SetMagnification(4);
  const std::string Zoomed = Surface();
  Drag(12, 10, 13, 60);
  EXPECT_EQ(View.GetMagnification(), 4);
  EXPECT_EQ(Surface(), Zoomed);
}

TEST_F(MouseView, DragZoomAndPan) {
  View.SetMouseAction(maZoomDrag);
  View.InputMouseDown(mbLeft, ssLeft, 250, 300);
  View.InputMouseMove(ssLeft, 250, 300); // anchors only
  View.InputMouseMove(ssLeft, 250, 100); // half the height above the anchor
  // The centre (250, 200) stays: 250 - Round(500 / 1.5 / 2), 200 - Round(400 / 1.5 / 2).
  EXPECT_EQ(Now(), (TgmZoomStackEntry{83, 67, 1.5}));
  View.InputMouseMove(ssLeft, 250, 100);
  View.InputMouseUp(mbLeft, 0, 250, 100);
  EXPECT_EQ(View.GetZoomStackEntry(0).MagF, 2.25); // x 1.5 again, and recorded

  View.SetMagnification(1);
  View.SetTopLeft({0, 0});
  View.SetMouseAction(maPanBoth);
  View.InputMouseDown(mbLeft, ssLeft, 200, 200);
  View.InputMouseMove(ssLeft, 180, 190); // the first move only anchors
  View.InputMouseMove(ssLeft, 150, 170);
  EXPECT_EQ(View.GetTopLeft(), (TPoint{30, 20}));
  View.InputMouseMove(ssLeft, 600, 100); // outside: the view stays
  EXPECT_EQ(View.GetTopLeft(), (TPoint{30, 20}));
  View.InputMouseMove(ssLeft, 300, 300); // confined to the image
  EXPECT_EQ(View.GetTopLeft(), (TPoint{0, 0}));
  EXPECT_EQ(ZoomPans, 4);
  View.InputMouseUp(mbLeft, 0, 300, 300);
  Drag(100, 100, 90, 80); // anchors afresh without a move between the drags
  EXPECT_EQ(View.GetTopLeft(), (TPoint{0, 0}));

  View.SetTopLeft({5, 6});
  Drag(10, 10, 10, 10); // a click records the view
  EXPECT_EQ(View.GetZoomStackEntry(0), (TgmZoomStackEntry{5, 6, 1}));
}

TEST_F(MouseView, RubberBand) {
  View.SetMagnification(2);
  View.SetTopLeft({10, 20});
  View.SetMouseAction(maRubberLine);
  std::vector<std::string> Log;
  auto Logger = [&Log](const char* What) {
    return [&Log, What](TObject*, TPoint& P) {
      Log.push_back(What + std::to_string(P.X) + "," + std::to_string(P.Y));
    };
  };
  View.SetOnBeginRubberBand(Logger("begin "));
  View.SetOnContinueRubberBand(Logger("continue "));
  View.SetOnEndRubberBand(Logger("end "));
  const TColor Start = Pixel(100, 60), Joint = Pixel(150, 80);

  View.InputMouseDown(mbLeft, ssLeft, 100, 60);
  View.InputMouseUp(mbLeft, 0, 100, 60);
  View.InputMouseMove(0, 150, 80);
  EXPECT_EQ(Pixel(100, 60), Start ^ 0xFFFFFF);
  View.InputMouseDown(mbLeft, ssLeft | ssCtrl, 150, 80);
  View.InputMouseMove(0, 200, 100);
  EXPECT_EQ(Pixel(150, 80), Joint ^ 0xFFFFFF);
  View.InputMouseDown(mbLeft, ssLeft, 200, 100);
  EXPECT_EQ(Log, (std::vector<std::string>{"begin 60,50", "continue 85,60", "end 110,70"}));
  // The first segment stays on screen, the last is erased.
  EXPECT_EQ(Pixel(100, 60), Start ^ 0xFFFFFF);
  EXPECT_EQ(Pixel(150, 80), Joint);
}

TEST_F(MouseView, SelectionRectangle) {
  test::CalibrateCorners(View, 10, 20, 0, 30);
  View.SetMouseAction(maSelectRect);
  std::vector<double> Report;
  View.SetOnSelectRect([&](TObject*, int32_t K, double A, double B, double C, double D) {
    Report = {double(K), A, B, C, D};
  });
  const std::string Before = Surface();
  View.InputMouseDown(mbLeft, ssLeft, 100, 100);
  View.InputMouseMove(ssLeft, 700, 300);
  EXPECT_NE(Surface(), Before);
  View.InputMouseUp(mbLeft, 0, 300, 200);
  EXPECT_EQ(Surface(), Before);
  const double Geo[] = {1, 20.5, 9.0, 21.5, 8.0};
  for (size_t I = 0; I < 5; ++I)
    EXPECT_NEAR(Report.at(I), Geo[I], 1e-9);

  View.SetCalibModel(cmUndefined);
  View.SetTopLeft({10, 20});
  Drag(100, 100, 300, 200);
  EXPECT_EQ(Report, (std::vector<double>{0, 110, 120, 310, 220}));
  Report.clear();
  View.InputMouseUp(mbLeft, 0, 300, 200); // no selection open: no report
  EXPECT_TRUE(Report.empty());
}

TEST_F(MouseView, MouseBoxRunsANestedLoopThatAlwaysEnds) {
  THeadlessHost& H = Application().GetHeadlessHost();
  H.ClearInput();
  View.SetMouseAction(maZoomBox);
  std::vector<int32_t> Box(4);
  const auto Run = [&] { return View.MouseBox(Box[0], Box[1], Box[2], Box[3]); };
  const auto Post = [&](TMouseButton Button, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
    H.PostMouseDown(&View, Button, 0, X1, Y1);
    H.PostMouseMove(&View, 0, (X1 + X2) / 2, (Y1 + Y2) / 2);
    H.PostMouseUp(&View, Button, 0, X2, Y2);
  };
  Post(mbLeft, 300, 200, 100, 50);
  EXPECT_TRUE(Run());
  EXPECT_EQ(Box, (std::vector<int32_t>{100, 50, 300, 200}));
  Post(mbMiddle, 10, 20, 30, 40);
  EXPECT_TRUE(Run());
  EXPECT_EQ(Box, (std::vector<int32_t>{10, 20, 30, 40}));
  // The box took the input: no zoom box opened, the mode came back.
  EXPECT_EQ(View.GetZoomState(), zsIdle);
  EXPECT_EQ(View.GetMouseAction(), maZoomBox);

  Post(mbRight, 10, 20, 30, 40);
  EXPECT_FALSE(Run());
  H.ClearInput();
  EXPECT_FALSE(Run()); // nothing queued, no idle handler

  // Aborted by the script while the box is dragged: the figure goes too.
  View.Repaint();
  const std::string Before = Surface();
  H.PostMouseDown(&View, mbLeft, 0, 10, 10);
  H.PostMouseMove(&View, 0, 50, 60);
  H.SetOnIdle([&] { View.MouseBoxAbort(); });
  EXPECT_FALSE(Run());
  H.SetOnIdle(nullptr);
  H.ClearInput();
  EXPECT_EQ(Surface(), Before);

  auto* Doomed = new TVozIza(nullptr); // destroyed while its box runs
  H.PostProc([&] { delete Doomed; });
  EXPECT_FALSE(Doomed->MouseBox(Box[0], Box[1], Box[2], Box[3]));
}

TEST_F(MouseView, PopupMenuOnlyWhereNoGestureTakesTheRightButton) {
  THeadlessHost& H = Application().GetHeadlessHost();
  H.ClearInput();
  TPopupMenu Menu(nullptr);
  Menu.GetItems()->Add(new TMenuItem(nullptr));
  View.SetPopupMenu(&Menu);
  const auto Shown = [&] {
    const bool S = H.GetShownPopupMenu() != nullptr;
    H.ClosePopupMenu();
    return S;
  };
  const auto RightClick = [&] {
    View.InputMouseDown(mbRight, ssRight, 10, 10);
    View.InputMouseUp(mbRight, 0, 10, 10);
  };
  RightClick(); // panning leaves the right button free
  EXPECT_TRUE(Shown());

  // The release that cancels an open zoom box.
  View.SetMouseAction(maZoomBox);
  View.InputMouseDown(mbLeft, ssLeft, 300, 200);
  View.InputMouseMove(ssLeft, 100, 100);
  View.InputMouseUp(mbRight, ssLeft, 100, 100);
  EXPECT_EQ(View.GetZoomState(), zsIdle);
  EXPECT_FALSE(Shown());
  View.InputMouseUp(mbLeft, 0, 100, 100);
  // A right click while a selection is dragged.
  View.SetMouseAction(maSelectRect);
  View.InputMouseDown(mbLeft, ssLeft, 10, 10);
  View.InputMouseDown(mbRight, ssLeft | ssRight, 20, 20);
  View.InputMouseUp(mbRight, ssLeft, 20, 20);
  EXPECT_FALSE(Shown());
  View.InputMouseUp(mbLeft, 0, 20, 20);
  // The press that cancels the mouse box, and its release.
  int32_t A, B, C, D;
  H.PostMouseDown(&View, mbRight, 0, 10, 10);
  H.PostMouseUp(&View, mbRight, 0, 10, 10);
  EXPECT_FALSE(View.MouseBox(A, B, C, D));
  EXPECT_FALSE(Shown());
  RightClick();
  EXPECT_TRUE(Shown());
}

TEST_F(MouseView, WheelZoomsAboutTheCursor) {
  View.SetTopLeft({100, 50});
  const TPoint Under = View.ControlToMapImage({200, 150});
  EXPECT_TRUE(View.InputMouseWheel(0, 120, 200, 150));
  EXPECT_DOUBLE_EQ(View.GetMagnification(), 1.25);
  EXPECT_EQ(View.ControlToMapImage({200, 150}), Under);
  EXPECT_EQ(View.GetZoomStackEntry(0).MagF, 1.25);
  EXPECT_TRUE(View.InputMouseWheel(0, -240, 200, 150));
  EXPECT_DOUBLE_EQ(View.GetMagnification(), 0.8);
  EXPECT_EQ(View.ControlToMapImage({200, 150}), Under);
  EXPECT_TRUE(View.InputMouseWheel(0, 120 * 100, 200, 150));
  EXPECT_EQ(View.GetMagnification(), MaxMagnification);
  EXPECT_EQ(ZoomPans, 3);
}

TEST_F(MouseView, ResizeMapScalesImageAndCalibration) {
  Image(400, 200);
  test::CalibrateCorners(View, 10, 20, 0, 30);
  const TCornerArray Corners = View.GetCalibData().Corners;
  View.SetAntiAlias(false);
  View.SetTopLeft({10, 10});
  for (double Bad : {0.0, std::nan(""), 1e-9, 1e6})
    View.ResizeMap(Bad);
  EXPECT_EQ(View.GetTopLeft(), (TPoint{10, 10}));

  View.ResizeMap(0.5);
  EXPECT_EQ((TPoint{View.GetMapBitmap().GetWidth(), View.GetMapImgHeight()}), (TPoint{200, 100}));
  EXPECT_EQ(View.GetTopLeft(), (TPoint{0, 0}));
  EXPECT_EQ(View.GetCalibData().CalQuads[3].MapY, 100);
  // Nearest pixel: destination 3 takes source floor(3.5 * 2) = 7.
  EXPECT_EQ(test::Px(View.GetMapBitmap(), 3, 2), test::PixelCode(7, 5));
  // Still the same map: the corners stay.
  for (int I = 0; I < 4; ++I)
    EXPECT_NEAR(View.GetCalibData().Corners[I].Longit, Corners[I].Longit, 1e-9);
  View.ResizeMap(int32_t{300});
  EXPECT_EQ(View.GetMapImgHeight(), 150);
}

} // namespace
