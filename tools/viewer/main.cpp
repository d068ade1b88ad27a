// qebgeo-viewer: a desktop map viewer on the atlas. Options run in the order
// given once the window shows, so a script can drive it:
//   qebgeo-viewer --open atlas/ --zoom-at 48.86 2.35 --export-png view.png
//                 --print-pdf view.pdf --quit
#include <QApplication>
#include <QTimer>
#include <cmath>
#include <functional>
#include <iostream>
#include <vector>

#include "tools/viewer/viewerwindow.h"

namespace {

constexpr const char* kUsage =
    "usage: qebgeo-viewer [PATH] [OPTION...]\n"
    "Shows a calibrated map, or an atlas of every calibration file in a folder.\n"
    "The options run in the order given:\n"
    "  --open PATH             a calibration file or a folder of them\n"
    "  --landmarks FILE        the first landmark set of a landmark file\n"
    "  --zoom-at LAT LONG      the next finer map of the atlas at the position\n"
    "  --fit                   the whole map in the window\n"
    "  --back                  the view before, or the map before\n"
    "  --size WIDTH HEIGHT     the window's size in pixels (100..8192)\n"
    "  --export-png FILE       the view as a PNG file\n"
    "  --export-map-png FILE   the whole map at magnification 1 as a PNG file\n"
    "  --print-pdf FILE        the view printed to a PDF file of one page\n"
    "  --quit                  ends after the steps; the exit status is 1 when one failed\n";

struct TUsageError {
  std::string Message;
};

double Number(const std::vector<QString>& Args, std::size_t& K, const char* What, double Lo,
              double Hi) {
  if (++K >= Args.size()) throw TUsageError{std::string(What) + " is missing"};
  bool Ok = false;
  const double V = Args[K].toDouble(&Ok); // locale independent
  if (!Ok || !std::isfinite(V) || V < Lo || V > Hi)
    throw TUsageError{std::string(What) + " must be a number in " +
                      QString::number(Lo).toStdString() + ".." + QString::number(Hi).toStdString() +
                      ", not \"" + Args[K].toStdString() + "\""};
  return V;
}

QString Text(const std::vector<QString>& Args, std::size_t& K, const char* What) {
  if (++K >= Args.size() || Args[K].isEmpty()) throw TUsageError{std::string(What) + " is missing"};
  return Args[K];
}

} // namespace

int main(int argc, char** argv) {
  QApplication App(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("qebgeolib"));
  QApplication::setApplicationName(QStringLiteral("qebgeo-viewer"));
  // Qt has taken its own options out of the list.
  const QStringList All = QApplication::arguments();
  const std::vector<QString> Args(All.begin() + 1, All.end());

  qeb::viewer::ViewerWindow Window;
  using TStep = std::function<bool()>;
  std::vector<TStep> Steps;
  bool Quit = false;
  try {
    for (std::size_t K = 0; K < Args.size(); ++K) {
      const QString& A = Args[K];
      if (A == "--help" || A == "-h") {
        std::cout << kUsage;
        return 0;
      } else if (A == "--open") {
        Steps.push_back([&Window, P = Text(Args, K, "the path")] { return Window.OpenPath(P); });
      } else if (A == "--landmarks") {
        Steps.push_back(
            [&Window, F = Text(Args, K, "the landmark file")] { return Window.LoadLandmarks(F); });
      } else if (A == "--zoom-at") {
        const double Lat = Number(Args, K, "the latitude", -90, 90);
        const double Long = Number(Args, K, "the longitude", -180, 360);
        Steps.push_back([&Window, Lat, Long] { return Window.ZoomAt(Lat, Long); });
      } else if (A == "--fit") {
        Steps.push_back([&Window] {
          Window.Fit();
          return true;
        });
      } else if (A == "--back") {
        Steps.push_back([&Window] { return Window.Back(); });
      } else if (A == "--size") {
        const int W = int(Number(Args, K, "the width", 100, 8192));
        const int H = int(Number(Args, K, "the height", 100, 8192));
        Window.resize(W, H);
      } else if (A == "--export-png") {
        Steps.push_back(
            [&Window, F = Text(Args, K, "the PNG file")] { return Window.ExportView(F); });
      } else if (A == "--export-map-png") {
        Steps.push_back(
            [&Window, F = Text(Args, K, "the PNG file")] { return Window.ExportWholeMap(F); });
      } else if (A == "--print-pdf") {
        Steps.push_back(
            [&Window, F = Text(Args, K, "the PDF file")] { return Window.PrintToPdf(F); });
      } else if (A == "--quit") {
        Quit = true;
      } else if (!A.startsWith('-')) {
        Steps.push_back([&Window, A] { return Window.OpenPath(A); });
      } else {
        throw TUsageError{"unknown option \"" + A.toStdString() + "\""};
      }
    }
  } catch (const TUsageError& E) {
    std::cerr << "qebgeo-viewer: " << E.Message << "\n" << kUsage;
    return 2;
  }

  Window.SetScripted(Quit);
  Window.show();
  int Status = 0;
  QTimer::singleShot(0, &Window, [&] {
    // The window's layout first, so the map has its final size.
    QApplication::processEvents();
    for (const TStep& Step : Steps)
      if (!Step()) {
        Status = 1;
        break;
      }
    Window.SetScripted(false);
    if (Quit) QApplication::exit(Status);
  });
  const int Result = App.exec();
  return Status != 0 ? Status : Result;
}
