// The main window of qebgeo-viewer: an atlas (TGeoAtlas) in a Qt window with
// a toolbar, a status bar with the position under the cursor and a scale
// bar, and the operations a script can drive as well as the menus.
#pragma once

#include <QMainWindow>
#include <QString>
#include <memory>
#include <vector>

#include "bindings/qt/qthost.h"
#include "qebgeolib/geoatlas/geoatlas.h"

class QAction;
class QLabel;

namespace qeb::viewer {

class ScaleBar;

class ViewerWindow : public QMainWindow {
public:
  ViewerWindow();
  ~ViewerWindow() override;

  // In script mode failures go to the standard error output instead of a
  // message box, and results are reported on the standard output.
  void SetScripted(bool Value) { FScripted = Value; }

  // Each answers false after reporting why it failed.
  //
  // A calibration file, or every calibration file of a folder, as a new
  // atlas; the coarsest map that loads is shown whole.
  bool OpenPath(const QString& Path);
  bool LoadLandmarks(const QString& File);
  // The atlas's zoom: the coarsest registered map finer than the one shown
  // that covers the position.
  bool ZoomAt(double Lat, double Long);
  bool ExportView(const QString& File);
  bool ExportWholeMap(const QString& File);
  // The view on one PDF page, as large as the page allows.
  bool PrintToPdf(const QString& File);
  // The whole map in the window.
  void Fit();
  // The view before, or past the first view of a map the map before.
  bool Back();

private:
  enum TMode { mdPointer, mdZoom, mdPan };

  void BuildActions();
  void SetMode(TMode Mode);
  void ShowPosition(int32_t X, int32_t Y);
  void MapChanged();
  // A map the atlas switched to is shown 1:1 around the position of the
  // zoom (the atlas keeps the magnification of the map before, which can
  // leave a finer map a small picture in a corner).
  void ShowSwitchedMap();
  void StartHistory();
  // The position under the mouse, false outside the calibration.
  bool PositionAt(int32_t X, int32_t Y, double& Lat, double& Long) const;
  void Magnify(double Factor);
  // Runs Op, reporting an exception as a failure with What.
  template <class F> bool Attempt(const QString& What, F&& Op);
  // A file made from the map shown: Op under Attempt, then the folder
  // remembered and the file reported.
  template <class F> bool WriteOutput(const QString& What, const QString& File, F&& Op);
  void Fail(const QString& Message);
  void Report(const QString& Message);
  QString AskFile(const QString& Title, const QString& Filter, bool Save);
  void RememberFolder(const QString& Path);
  QString LastFolder() const;

  // The host before the atlas: the atlas goes first.
  std::unique_ptr<qt::Host> FHost;
  std::unique_ptr<TGeoAtlas> FAtlas;
  bool FScripted = false;
  // How many steps Back has gone from the view recorded last.
  int32_t FBackDepth = 0;
  // The map the viewer last arranged; another current map is a switch.
  int32_t FArrangedMap = 0;
  // The maps switched away from, the last at the back, for Back.
  std::vector<int32_t> FMapTrail;
  // Where the last zoom asked for, to centre the map it switches to.
  bool FHasZoomPos = false;
  double FZoomLat = 0, FZoomLong = 0;
  QAction* FPointer = nullptr;
  QAction* FZoom = nullptr;
  QAction* FPan = nullptr;
  QLabel* FPosition = nullptr;
  QLabel* FMapName = nullptr;
  ScaleBar* FScale = nullptr;
};

} // namespace qeb::viewer
