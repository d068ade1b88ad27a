// The map control in a Qt window: a calibrated world map with graticule that
// the user pans, zooms (wheel, zoom box, drag zoom) and selects on; the
// position under a click shows in the panel. Give a calibration file as the
// argument, or none for the world map of the xplanet-images package
// calibrated from its corners. The landmarks come from the landmark file
// given as the second argument, else from the one `qebgeo demo` writes
// (qebgeo-demo-maps/world-landmarks.xml: capitals and time-zone cities), else
// the capitals of the country table; a left click on a landmark highlights it.
#include <QApplication>
#include <QWidget>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bindings/qt/qthost.h"
#include "qebgeolib/companion/mathlib/math1.h"
#include "qebgeolib/geobasics/countries.h"
#include "qebgeolib/platform/base/sysutils.h"
#include "qebgeolib/platform/controls/stdctrls.h"
#include "qebgeolib/voziza/view.h"

using namespace qeb;

int main(int argc, char** argv) {
  QApplication App(argc, argv);
  qt::Host Host;

  TCustomControl Window(nullptr);
  Window.SetBounds(0, 0, 900, 560);
  Window.SetCaption("qebgeolib: the map control in a Qt window");
  auto* Bar = new TPanel(&Window);
  Bar->SetParent(&Window);
  Bar->SetHeight(33);
  Bar->SetAlign(alTop);
  auto* Map = new TVozIza(&Window);
  Map->SetName("Map");
  Map->SetParent(&Window);
  Map->SetAlign(alClient);

  if (argc > 1) {
    Map->LoadCalDataFromXML(argv[1], "");
  } else {
    Map->SetMapImgName("/usr/share/xplanet/images/earth.jpg");
    const int32_t W = Map->GetMapImgWidth(), H = Map->GetMapImgHeight();
    Map->SetCalibModel(cmEquiRect);
    Map->AddCalibPoint(90, -180, 0, 0);
    Map->AddCalibPoint(-90, -180, 0, H);
    Map->AddCalibPoint(-90, 180, W, H);
  }
  const std::string Landmarks = argc > 2 ? argv[2] : "qebgeo-demo-maps/world-landmarks.xml";
  if (!FileExists(Landmarks) || !Map->LoadLandMarks(Landmarks, "")) {
    for (const TCountryData& C : CountryData)
      if (C.Capital.Length() > 0)
        Map->AddLandMark(C.CapLat, C.CapLong, C.CapAlt, C.Capital.ToString(), 7, 0x00000080);
  }
  Map->SetGratLineDist(15);
  Map->SetShowGrat(sgLines);
  Map->ZoomFitPage();

  auto* Mode = new TComboBox(&Window);
  Mode->SetParent(Bar);
  Mode->SetBounds(3, 5, 130, 21);
  Mode->SetStyle(csDropDownList);
  const std::vector<std::pair<const char*, TMouseActMode>> Modes{{"Pan", maPanBoth},
                                                                 {"Zoom box", maZoomBox},
                                                                 {"Drag zoom", maZoomDrag},
                                                                 {"Rubber line", maRubberLine},
                                                                 {"Select", maSelectRect}};
  for (const auto& [Name, Action] : Modes)
    Mode->GetItems().Add(Name);
  Mode->SetItemIndex(0);
  Mode->SetOnChange([Map, Mode, Modes](TObject*) {
    Map->SetMouseAction(Modes[std::size_t(Mode->GetItemIndex())].second);
  });
  auto* Back = new TSpeedButton(&Window);
  Back->SetParent(Bar);
  Back->SetBounds(140, 3, 60, 26);
  Back->SetCaption("Back");
  Back->SetOnClick([Map](TObject*) { Map->ZoomHistory(-1); });
  auto* Fit = new TSpeedButton(&Window);
  Fit->SetParent(Bar);
  Fit->SetBounds(205, 3, 60, 26);
  Fit->SetCaption("Fit");
  Fit->SetOnClick([Map](TObject*) { Map->ZoomFitPage(); });

  // The position of every click in the panel's caption; a left click within
  // a few pixels of a landmark highlights it.
  Map->SetOnMouseDown([Map, Bar](TObject*, TMouseButton Button, TShiftState, int32_t X, int32_t Y) {
    const double Lat = Map->GetLastMClickLatitude(), Long = Map->GetLastMClickLongitude();
    if (Button == mbLeft) {
      const int32_t Near = Map->FindLandMark(Lat, Long, -1);
      int32_t PX = 0, PY = 0;
      bool Hit = false;
      if (Near > 0) {
        const TLandMark& LM = Map->GetLandMarkData(Near);
        if (Map->CalcPixelCoords(LM.Latitude, LM.Longitude, PX, PY)) {
          const TPoint P = Map->MapImageToControl({PX, PY});
          Hit = std::abs(P.X - X) <= 5 && std::abs(P.Y - Y) <= 5;
        }
      }
      Map->SetHighLightLandMark(Hit ? Near : 0);
    }
    Bar->SetCaption("                                       " + DegreeToStr(Lat, dfDegMin, 1) +
                    (Lat < 0 ? " S  " : " N  ") + DegreeToStr(Long, dfDegMin, 1) +
                    (Long < 0 ? " W" : " E"));
  });

  std::unique_ptr<QWidget> Shown(Host.Embed(&Window));
  Shown->show();
  return App.exec();
}
