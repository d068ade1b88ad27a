#include "tools/viewer/viewerwindow.h"

#include <QActionGroup>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <algorithm>
#include <cmath>
#include <exception>
#include <iostream>

#include "bindings/qt/qtprinter.h"
#include "qebgeolib/companion/mathlib/math1.h"
#include "qebgeolib/geobasics/projections.h"
#include "qebgeolib/platform/controls/printers.h"
#include "qebgeolib/platform/controls/stdctrls.h"
#include "qebgeolib/platform/graphics/pngimage.h"
#include "qebgeolib/voziza/view.h"

namespace qeb::viewer {

namespace {

// Back returns through at most this many map switches.
constexpr std::size_t kMaxMapTrail = 64;

// "48°51.40'N  2°21.13'E   UTM 31U 452000 5411000"
QString PositionText(double Lat, double Long) {
  auto Angle = [](double V, char Pos, char Neg) {
    return QString::fromStdString(DegreeToStr(V, dfDegMin, 2)) + QChar(V < 0 ? Neg : Pos);
  };
  QString Text = Angle(Lat, 'N', 'S') + "  " + Angle(Long, 'E', 'W');
  int32_t Zone = 0;
  double X = 0, Y = 0;
  LatLongToUTM(Lat, Long, gelWGS84, Zone, X, Y);
  if (Zone == 0) return Text + "   UTM -";
  return Text + QStringLiteral("   UTM %1 %2 E %3 N")
                    .arg(QString::fromStdString(GeoToUTMZone(Lat, Long)))
                    .arg(std::round(X), 0, 'f', 0)
                    .arg(std::round(Y), 0, 'f', 0);
}

} // namespace

// A bar of a round number of kilometres at the scale of the view, from the
// map's resolution (metres a pixel) and the magnification.
class ScaleBar : public QWidget {
public:
  explicit ScaleBar(QWidget* Parent) : QWidget(Parent) { setFixedSize(200, 22); }

  void SetKmPerPixel(double Value) {
    if (Value == FKmPerPixel) return;
    FKmPerPixel = Value;
    update();
  }

protected:
  void paintEvent(QPaintEvent*) override {
    if (!(FKmPerPixel > 0) || !std::isfinite(FKmPerPixel)) return;
    const double Km = Round125(120 * FKmPerPixel);
    const int Length = static_cast<int>(std::lround(std::clamp(Km / FKmPerPixel, 1.0, 190.0)));
    QPainter P(this);
    P.setPen(palette().color(QPalette::WindowText));
    const int Y = height() - 5;
    P.drawLine(4, Y, 4 + Length, Y);
    P.drawLine(4, Y - 4, 4, Y);
    P.drawLine(4 + Length, Y - 4, 4 + Length, Y);
    P.drawText(QRect(4, 0, width() - 4, Y - 3), Qt::AlignLeft | Qt::AlignBottom,
               QString::number(Km, 'g', 6) + " km");
  }

private:
  double FKmPerPixel = 0;
};

ViewerWindow::ViewerWindow()
    : FHost(std::make_unique<qt::Host>()), FAtlas(std::make_unique<TGeoAtlas>(nullptr)) {
  setWindowTitle(QStringLiteral("qebgeo-viewer"));
  FAtlas->SetName("atlas");
  setCentralWidget(FHost->Embed(FAtlas.get(), this));
  TVozIza& V = *FAtlas->GetCurrentMap();
  V.SetOnZoomPan([this](TObject*) {
    FBackDepth = 0;
    MapChanged();
  });
  // Every map switch, zoom and pan composes the view: the scale and the
  // map's name follow.
  V.SetOnBeforeRenderData([this](TObject*, TCanvas&) { MapChanged(); });
  // Heard before the atlas zooms at a click, while the map clicked is shown.
  FAtlas->SetOnMouseDown([this](TObject*, TMouseButton, TShiftState, int32_t X, int32_t Y) {
    FHasZoomPos = PositionAt(X, Y, FZoomLat, FZoomLong);
  });
  FAtlas->SetOnMouseMove(
      [this](TObject*, TShiftState, int32_t X, int32_t Y) { ShowPosition(X, Y); });
  // The atlas's own buttons: its pointer button lets the map pan.
  FAtlas->SetOnPointerButClick([this](TObject*) { SetMode(mdPan); });
  FAtlas->SetOnZoomButClick([this](TObject*) { SetMode(mdZoom); });

  FPosition = new QLabel(this);
  FPosition->setMinimumWidth(420);
  FMapName = new QLabel(this);
  FScale = new ScaleBar(this);
  statusBar()->addWidget(FPosition, 1);
  statusBar()->addPermanentWidget(FMapName);
  statusBar()->addPermanentWidget(FScale);
  BuildActions();
  resize(1000, 720);
  SetMode(mdPan);
}

ViewerWindow::~ViewerWindow() = default;

void ViewerWindow::BuildActions() {
  QToolBar* Tools = addToolBar(QStringLiteral("Tools"));
  Tools->setObjectName(QStringLiteral("tools"));
  QMenu* File = menuBar()->addMenu(QStringLiteral("&File"));
  QMenu* View = menuBar()->addMenu(QStringLiteral("&View"));
  auto Add = [this](QMenu* Menu, const QString& Text, const QKeySequence& Key, auto Slot) {
    QAction* A = Menu->addAction(Text);
    A->setShortcut(Key);
    connect(A, &QAction::triggered, this, Slot);
    return A;
  };
  Add(File, QStringLiteral("&Open map..."), QKeySequence::Open, [this] {
    const QString F = AskFile(QStringLiteral("Open map"),
                              QStringLiteral("Calibration files (*.xml);;All files (*)"), false);
    if (!F.isEmpty()) OpenPath(F);
  });
  Add(File, QStringLiteral("Open &folder as atlas..."),
      QKeySequence(QStringLiteral("Ctrl+Shift+O")), [this] {
        const QString D = QFileDialog::getExistingDirectory(
            this, QStringLiteral("Open atlas folder"), LastFolder());
        if (!D.isEmpty()) OpenPath(D);
      });
  Add(File, QStringLiteral("Load &landmarks..."), QKeySequence(QStringLiteral("Ctrl+L")), [this] {
    const QString F = AskFile(QStringLiteral("Load landmarks"),
                              QStringLiteral("Landmark files (*.xml);;All files (*)"), false);
    if (!F.isEmpty()) LoadLandmarks(F);
  });
  File->addSeparator();
  Add(File, QStringLiteral("&Copy view"), QKeySequence::Copy, [this] {
    Attempt(QStringLiteral("Copy"), [this] { FAtlas->GetCurrentMap()->CopyToClipboard(); });
  });
  Add(File, QStringLiteral("&Export view as PNG..."), QKeySequence(QStringLiteral("Ctrl+E")),
      [this] {
        const QString F =
            AskFile(QStringLiteral("Export view"), QStringLiteral("PNG images (*.png)"), true);
        if (!F.isEmpty()) ExportView(F);
      });
  Add(File, QStringLiteral("Export &whole map as PNG..."),
      QKeySequence(QStringLiteral("Ctrl+Shift+E")), [this] {
        const QString F =
            AskFile(QStringLiteral("Export whole map"), QStringLiteral("PNG images (*.png)"), true);
        if (!F.isEmpty()) ExportWholeMap(F);
      });
  Add(File, QStringLiteral("&Print to PDF..."), QKeySequence::Print, [this] {
    const QString F =
        AskFile(QStringLiteral("Print to PDF"), QStringLiteral("PDF files (*.pdf)"), true);
    if (!F.isEmpty()) PrintToPdf(F);
  });
  File->addSeparator();
  Add(File, QStringLiteral("&Quit"), QKeySequence::Quit, [this] { close(); });

  auto* Modes = new QActionGroup(this);
  auto Mode = [&](const QString& Text, const QString& Key, const QString& Tip, TMode M) {
    QAction* A = Add(View, Text, QKeySequence(Key), [this, M] { SetMode(M); });
    A->setCheckable(true);
    A->setToolTip(Tip);
    Modes->addAction(A);
    Tools->addAction(A);
    return A;
  };
  FPointer = Mode(QStringLiteral("Pointer"), QStringLiteral("Esc"),
                  QStringLiteral("Pointer: the map stays (Esc)"), mdPointer);
  FZoom = Mode(QStringLiteral("Zoom"), QStringLiteral("Z"),
               QStringLiteral("Zoom: a left click shows the next finer map there, another button "
                              "the next coarser one (Z)"),
               mdZoom);
  FPan = Mode(QStringLiteral("Pan"), QStringLiteral("H"), QStringLiteral("Pan: drag the map (H)"),
              mdPan);
  View->addSeparator();
  Tools->addSeparator();
  Tools->addAction(Add(View, QStringLiteral("Back"), QKeySequence::Back, [this] { Back(); }));
  Tools->addAction(
      Add(View, QStringLiteral("Fit"), QKeySequence(QStringLiteral("Ctrl+0")), [this] { Fit(); }));
  Add(View, QStringLiteral("Magnify"), QKeySequence::ZoomIn, [this] { Magnify(2); });
  Add(View, QStringLiteral("Reduce"), QKeySequence::ZoomOut, [this] { Magnify(0.5); });
}

// Pointer and pan are the atlas's pointer button with or without panning;
// zoom is its zoom button.
void ViewerWindow::SetMode(TMode Mode) {
  TSpeedButton* Button = Mode == mdZoom ? FAtlas->GetZoomButton() : FAtlas->GetPointerButton();
  if (!Button->GetDown()) {
    Button->SetDown(true);
    Button->Click();
  }
  TVozIza& V = *FAtlas->GetCurrentMap();
  V.SetAllowPan(Mode == mdPan);
  // Without a cursor of its own the map shows the atlas's (the zoom cursor).
  V.SetCursor(Mode == mdPan ? crGeoHand : Mode == mdPointer ? crArrow : crDefault);
  (Mode == mdZoom ? FZoom : Mode == mdPan ? FPan : FPointer)->setChecked(true);
}

bool ViewerWindow::PositionAt(int32_t X, int32_t Y, double& Lat, double& Long) const {
  const TVozIza& V = *FAtlas->GetCurrentMap();
  if (V.GetMapImgWidth() == 0) return false;
  const TPoint P = V.ControlToMapImage({X, Y});
  bool ValidLat = false, ValidLong = false;
  Lat = V.CalcLatitude(P, ValidLat);
  Long = V.CalcLongitude(P, ValidLong);
  return ValidLat && ValidLong && std::isfinite(Lat) && std::isfinite(Long);
}

void ViewerWindow::ShowPosition(int32_t X, int32_t Y) {
  double Lat = 0, Long = 0;
  if (FAtlas->GetCurrentMap()->GetMapImgWidth() == 0)
    FPosition->clear();
  else if (!PositionAt(X, Y, Lat, Long))
    FPosition->setText(QStringLiteral("outside the calibration"));
  else
    FPosition->setText(PositionText(Lat, Long));
}

void ViewerWindow::MapChanged() {
  const TVozIza& V = *FAtlas->GetCurrentMap();
  const int32_t Ix = FAtlas->GetCurrentMapIdx();
  FScale->SetKmPerPixel(
      V.GetMapImgWidth() == 0 ? 0 : V.GetCalibData().Resolution / 1000 / V.GetMagnification());
  // Arranged once the composition is over, never from inside it.
  if (Ix != FArrangedMap) QTimer::singleShot(0, this, [this] { ShowSwitchedMap(); });
  const QString Name = Ix == 0 ? QString() : QString::fromStdString(FAtlas->GetMaps(Ix).Caption);
  if (FMapName->text() != Name) FMapName->setText(Name);
}

void ViewerWindow::ShowSwitchedMap() {
  const int32_t Ix = FAtlas->GetCurrentMapIdx();
  if (Ix == FArrangedMap) return;
  if (FArrangedMap != 0) {
    if (FMapTrail.size() == kMaxMapTrail) FMapTrail.erase(FMapTrail.begin());
    FMapTrail.push_back(FArrangedMap);
  }
  FArrangedMap = Ix;
  TVozIza& V = *FAtlas->GetCurrentMap();
  if (V.GetMapImgWidth() == 0) return StartHistory();
  const TPoint Centre = V.ControlToMapImage({V.GetWidth() / 2, V.GetHeight() / 2});
  V.SetSuppressPaint(true);
  V.SetMagnification(1);
  V.SetSuppressPaint(false);
  if (FHasZoomPos)
    V.BringLocationToCenter(FZoomLat, FZoomLong);
  else
    V.BringMapPixelToCenter(Centre);
  FHasZoomPos = false;
  StartHistory();
}

// The views recorded so far belong to the map before; the history starts
// with the view shown.
void ViewerWindow::StartHistory() {
  FAtlas->GetCurrentMap()->ClearZoomHistory();
  FBackDepth = 0;
}

// The zoom history records each view of the map as it is reached; going
// back walks it from the one before the current view, until the next zoom or
// pan. Past its start, the map switched away from last comes back whole.
bool ViewerWindow::Back() {
  TVozIza& V = *FAtlas->GetCurrentMap();
  const int32_t Ix = -(FBackDepth + 1);
  if (Ix >= -15 && !V.GetZoomStackEntry(Ix).Empty()) {
    V.ZoomHistory(Ix);
    ++FBackDepth;
    MapChanged();
    Report(QStringLiteral("back to the view before"));
    return true;
  }
  while (!FMapTrail.empty()) {
    const int32_t Previous = FMapTrail.back();
    FMapTrail.pop_back();
    if (FAtlas->SelectMap(Previous)) {
      FArrangedMap = Previous;
      V.ZoomFitPage();
      StartHistory();
      Report(QStringLiteral("back to map %1 \"%2\"")
                 .arg(Previous)
                 .arg(QString::fromStdString(FAtlas->GetMaps(Previous).Caption)));
      return true;
    }
  }
  if (FScripted)
    Fail(QStringLiteral("nothing to go back to"));
  else
    statusBar()->showMessage(QStringLiteral("nothing to go back to"), 3000);
  return false;
}

void ViewerWindow::Fit() {
  TVozIza& V = *FAtlas->GetCurrentMap();
  if (V.GetMapImgWidth() == 0) return;
  V.ZoomFitPage();
  V.ZoomStateOnStack();
  FBackDepth = 0;
}

void ViewerWindow::Magnify(double Factor) {
  TVozIza& V = *FAtlas->GetCurrentMap();
  if (V.GetMapImgWidth() == 0) return;
  const TPoint Centre = V.ControlToMapImage({V.GetWidth() / 2, V.GetHeight() / 2});
  V.SetSuppressPaint(true);
  V.SetMagnification(std::clamp(V.GetMagnification() * Factor, 1.0 / 1024, 1024.0));
  V.SetSuppressPaint(false);
  V.BringMapPixelToCenter(Centre);
  V.ZoomStateOnStack();
  FBackDepth = 0;
}

template <class F> bool ViewerWindow::Attempt(const QString& What, F&& Op) {
  try {
    Op();
    return true;
  } catch (const std::exception& E) {
    Fail(What + ": " + QString::fromStdString(E.what()));
  }
  return false;
}

void ViewerWindow::Fail(const QString& Message) {
  if (FScripted)
    std::cerr << "qebgeo-viewer: " << Message.toStdString() << std::endl;
  else
    QMessageBox::warning(this, QStringLiteral("qebgeo-viewer"), Message);
}

void ViewerWindow::Report(const QString& Message) {
  statusBar()->showMessage(Message, 5000);
  if (FScripted) std::cout << Message.toStdString() << std::endl;
}

QString ViewerWindow::AskFile(const QString& Title, const QString& Filter, bool Save) {
  const QString F = Save ? QFileDialog::getSaveFileName(this, Title, LastFolder(), Filter)
                         : QFileDialog::getOpenFileName(this, Title, LastFolder(), Filter);
  return F;
}

void ViewerWindow::RememberFolder(const QString& Path) {
  const QFileInfo Info(Path);
  QSettings().setValue(QStringLiteral("lastFolder"),
                       Info.isDir() ? Info.absoluteFilePath() : Info.absolutePath());
}

QString ViewerWindow::LastFolder() const {
  return QSettings().value(QStringLiteral("lastFolder"), QDir::homePath()).toString();
}

bool ViewerWindow::OpenPath(const QString& Path) {
  const QFileInfo Info(Path);
  QStringList Files;
  if (Info.isDir()) {
    for (const QFileInfo& F : QDir(Path).entryInfoList(QDir::Files | QDir::Readable, QDir::Name))
      if (F.suffix().compare(QStringLiteral("xml"), Qt::CaseInsensitive) == 0)
        Files << F.absoluteFilePath();
  } else if (Info.isFile()) {
    Files << Info.absoluteFilePath();
  } else {
    Fail(QStringLiteral("\"%1\" is neither a file nor a folder").arg(Path));
    return false;
  }
  // A new atlas: what the path holds and nothing else. Files the atlas
  // refuses (landmark files, damaged ones, those beyond its 200 maps) stay
  // out.
  while (FAtlas->GetNumRegMaps() > 0)
    FAtlas->UnregisterMap(FAtlas->GetNumRegMaps());
  FMapTrail.clear();
  int32_t Refused = 0;
  for (const QString& F : Files)
    if (!FAtlas->RegisterMap(QFile::encodeName(F).toStdString())) ++Refused;
  // The coarsest map first: the one that shows the most.
  std::vector<int32_t> Order(std::size_t(FAtlas->GetNumRegMaps()));
  for (std::size_t K = 0; K < Order.size(); ++K)
    Order[K] = int32_t(K) + 1;
  std::stable_sort(Order.begin(), Order.end(), [this](int32_t A, int32_t B) {
    return FAtlas->GetMaps(A).Resolution > FAtlas->GetMaps(B).Resolution;
  });
  const auto Shown =
      std::find_if(Order.begin(), Order.end(), [this](int32_t I) { return FAtlas->SelectMap(I); });
  TVozIza& V = *FAtlas->GetCurrentMap();
  if (Shown == Order.end()) {
    FArrangedMap = FAtlas->GetCurrentMapIdx();
    V.Clear();
    MapChanged();
    Fail(QStringLiteral("no map in \"%1\" loads (%2 of %3 files are no calibration files or "
                        "were refused)")
             .arg(Path)
             .arg(Refused)
             .arg(Files.size()));
    return false;
  }
  RememberFolder(Path);
  FArrangedMap = FAtlas->GetCurrentMapIdx();
  V.ZoomFitPage();
  StartHistory();
  setWindowTitle(QStringLiteral("qebgeo-viewer - %1").arg(Info.fileName()));
  Report(QStringLiteral("opened %1: %2 maps registered, %3 files refused, showing \"%4\"")
             .arg(Path)
             .arg(FAtlas->GetNumRegMaps())
             .arg(Refused)
             .arg(QString::fromStdString(FAtlas->GetMaps(*Shown).Caption)));
  return true;
}

bool ViewerWindow::LoadLandmarks(const QString& File) {
  bool Loaded = false;
  if (!Attempt(QStringLiteral("Landmarks"), [&] {
        Loaded = FAtlas->GetCurrentMap()->LoadLandMarks(QFile::encodeName(File).toStdString(), "");
      }))
    return false;
  if (!Loaded) {
    Fail(QStringLiteral("\"%1\" holds no landmarks").arg(File));
    return false;
  }
  RememberFolder(File);
  Report(QStringLiteral("loaded %1 landmarks from %2")
             .arg(FAtlas->GetCurrentMap()->GetNumLandMarks())
             .arg(File));
  return true;
}

bool ViewerWindow::ZoomAt(double Lat, double Long) {
  const int32_t Ix = FAtlas->GetCurrentMapIdx();
  if (Ix == 0) {
    Fail(QStringLiteral("no map is shown to zoom from"));
    return false;
  }
  FHasZoomPos = true;
  FZoomLat = Lat;
  FZoomLong = Long;
  if (!FAtlas->ZoomIn(Lat, Long, FAtlas->GetCurrentMap()->GetCalibData().Resolution)) {
    FHasZoomPos = false;
    Fail(QStringLiteral("no finer map covers %1 %2").arg(Lat).arg(Long));
    return false;
  }
  ShowSwitchedMap();
  Report(QStringLiteral("zoomed in at %1 %2: map %3 \"%4\"")
             .arg(Lat)
             .arg(Long)
             .arg(FAtlas->GetCurrentMapIdx())
             .arg(QString::fromStdString(FAtlas->GetMaps(FAtlas->GetCurrentMapIdx()).Caption)));
  return true;
}

namespace {

void SavePng(const TBitmap& Bitmap, const QString& File) {
  TPNGImage Png;
  Png.Assign(&Bitmap);
  Png.SaveToFile(QFile::encodeName(File).toStdString());
}

} // namespace

template <class F>
bool ViewerWindow::WriteOutput(const QString& What, const QString& File, F&& Op) {
  if (FAtlas->GetCurrentMap()->GetMapImgWidth() == 0) {
    Fail(QStringLiteral("no map is shown"));
    return false;
  }
  if (!Attempt(What, std::forward<F>(Op))) return false;
  RememberFolder(File);
  Report(QStringLiteral("wrote %1").arg(File));
  return true;
}

bool ViewerWindow::ExportView(const QString& File) {
  return WriteOutput(QStringLiteral("Export"), File, [&] {
    TBitmap Shot;
    FAtlas->GetCurrentMap()->PaintTo(Shot);
    SavePng(Shot, File);
  });
}

bool ViewerWindow::ExportWholeMap(const QString& File) {
  return WriteOutput(QStringLiteral("Export"), File, [&] {
    TVozIza& V = *FAtlas->GetCurrentMap();
    TBitmap Whole(V.GetMapImgWidth(), V.GetMapImgHeight());
    V.CopyToBMP(&Whole, {0, 0}, 1.0, 0, 0, V.GetMapImgWidth(), V.GetMapImgHeight());
    SavePng(Whole, File);
  });
}

bool ViewerWindow::PrintToPdf(const QString& File) {
  return WriteOutput(QStringLiteral("Print"), File, [&] {
    TVozIza& V = *FAtlas->GetCurrentMap();
    TPrinter& P = Printer();
    std::unique_ptr<TPrinterBackend> Previous = P.SetBackend(
        std::make_unique<qt::PdfPrinterBackend>(QFile::encodeName(File).toStdString(), P));
    try {
      P.SetTitle(FAtlas->GetMaps(FAtlas->GetCurrentMapIdx()).Caption);
      P.SetOrientation(V.GetWidth() > V.GetHeight() ? poLandscape : poPortrait);
      V.PrintIt(std::min(double(P.GetPageWidth()) / std::max(V.GetWidth(), 1),
                         double(P.GetPageHeight()) / std::max(V.GetHeight(), 1)));
    } catch (...) {
      P.SetBackend(std::move(Previous));
      throw;
    }
    P.SetBackend(std::move(Previous));
  });
}

} // namespace qeb::viewer
