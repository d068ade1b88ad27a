// The atlas in a real Qt window: its panel, buttons and list are native
// widgets in step with the controls, the zoom cursor applies, and a click
// with the zoom button down switches to the finer map under the click.
#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "bindings/qt/qthost.h"
#include "qebgeolib/geoatlas/geoatlas.h"
#include "qebgeolib/platform/controls/stdctrls.h"
#include "qebgeolib/voziza/view.h"
#include "tests/geoatlas/atlasmaps.h"

using namespace qeb;

TEST(QtGeoAtlas, ZoomClickSwitchesToTheFinerMap) {
  const std::string Dir = (std::filesystem::temp_directory_path() / "qeb_qtatlas").string() + "/";
  std::filesystem::remove_all(Dir);
  std::filesystem::create_directories(Dir);
  TGeoAtlas A(nullptr);
  ASSERT_TRUE(A.RegisterMap(
      test::WriteAtlasMap(Dir, "world", "World", {60, 0, 30, 40}, 11000, 400, 300, 0x00C0E0C0)));
  ASSERT_TRUE(A.RegisterMap(
      test::WriteAtlasMap(Dir, "alps", "Alps", {50, 10, 40, 20}, 1100, 200, 200, 0x0000FF00)));
  ASSERT_TRUE(A.SelectMap(1));

  qt::Host Host;
  std::unique_ptr<QWidget> Window(Host.Embed(&A));
  Window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
  auto* Zoom = qobject_cast<QToolButton*>(Host.WidgetOf(A.GetZoomButton()));
  auto* Pointer = qobject_cast<QToolButton*>(Host.WidgetOf(A.GetPointerButton()));
  auto* List = qobject_cast<QComboBox*>(Host.WidgetOf(A.GetMapsComboBox()));
  QWidget* Map = Host.WidgetOf(A.GetCurrentMap());
  ASSERT_TRUE(Zoom && Pointer && List && Map);
  EXPECT_EQ(List->count(), 2);
  EXPECT_EQ(List->currentText(), "World");
  EXPECT_TRUE(Pointer->isChecked());
  EXPECT_FALSE(Zoom->icon().isNull());

  QTest::mouseClick(Zoom, Qt::LeftButton);
  EXPECT_TRUE(A.GetZoomButton()->GetDown());
  EXPECT_TRUE(Zoom->isChecked());
  EXPECT_FALSE(Pointer->isChecked());
  EXPECT_EQ(Host.WidgetOf(&A)->cursor().shape(), Qt::BitmapCursor);

  // Image pixel (150, 150) of the world is 45N 15E, inside the Alps map.
  QTest::mouseClick(Map, Qt::LeftButton, {}, QPoint(150, 150));
  QApplication::processEvents();
  EXPECT_EQ(A.GetCurrentMapIdx(), 2);
  EXPECT_EQ(List->currentText(), "Alps");
  EXPECT_EQ(A.GetCurrentMap()->GetMapImgWidth(), 200);
  // The window shows the Alps map's colour at the clicked position.
  int32_t X = 0, Y = 0;
  ASSERT_TRUE(A.GetCurrentMap()->CalcPixelCoords(45, 15, X, Y));
  const TPoint P = A.GetCurrentMap()->MapImageToControl({X, Y});
  EXPECT_EQ(Map->grab().toImage().pixel(P.X, P.Y) & 0xFFFFFF, 0x00FF00u);
}
