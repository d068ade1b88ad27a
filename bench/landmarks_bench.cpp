// Landmarks on the map control, next to their peers in the same run:
// - the landmark pass with 100,000 landmarks in a 1920 x 1080 view and the
//   default display threshold (about 20,000 drawn crosses with halo), the
//   whole repaint, against QPainter drawing the same 20,000 crosses stroke for
//   stroke onto a QImage of the same size; the same with an 8-point caption
//   on every landmark against QPainter drawing the crosses and texts;
// - a repaint of a small view over a list of 1,000,000 landmarks of which
//   about 1,000 lie in the view, against the same repaint with only those;
// - reading a landmark file of 100,000 landmarks against a bare expat parse
//   of the same file.
//
// Every benchmark measures process CPU time and wall time and is repeated so
// that medians are reported.

#include <expat.h>

#include <QFont>
#include <QImage>
#include <QPainter>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/qtpeer.h"
#include "qebgeolib/platform/graphics/bitmap.h"
#include "qebgeolib/voziza/view.h"

namespace {

using namespace qeb;
using qeb::bench::Rand;

constexpr int MapW = 2000, MapH = 1000; // the world, 0.18 degrees a pixel
constexpr int ViewW = 1920, ViewH = 1080;

double Uniform(uint32_t& S) {
  return double(Rand(S)) / 4294967296.0;
}

// A world map control: a textured image under cmEquiRect, shown at
// magnification 1 from its top left.
class TBenchView : public TVozIza {
public:
  TBenchView() : TVozIza(nullptr) {
    SetSuppressPaint(true);
    SetBounds(0, 0, ViewW, ViewH);
    TBitmap B;
    B.NewImage(MapW, MapH, pf24bit, false);
    for (int y = 0; y < MapH; ++y) {
      uint8_t* Row = B.ScanLine(y);
      for (int x = 0; x < 3 * MapW; ++x)
        Row[x] = uint8_t((x / 3 + y) / 4);
    }
    SetMapBitMap(&B);
    SetCalibModel(cmEquiRect);
    AddCalibPoint(90, -180, 0, 0);
    AddCalibPoint(-90, -180, 0, MapH);
    AddCalibPoint(-90, 180, MapW, MapH);
    AddCalibPoint(90, 180, MapW, 0);
  }
  // Landmarks at uniform positions in the given box, with the template's
  // look (a blue cross of size 7 on a white halo) and an optional caption.
  void AddRandom(int N, double LatLo, double LatHi, double LongLo, double LongHi, uint32_t Seed,
                 bool Caption) {
    for (int I = 0; I < N; ++I) {
      const double Lat = LatLo + (LatHi - LatLo) * Uniform(Seed);
      const double Long = LongLo + (LongHi - LongLo) * Uniform(Seed);
      if (Caption)
        AddLandMark(Lat, Long, 0, "City " + std::to_string(I), 8, 0);
      else
        AddLandMark(Lat, Long, 0);
    }
  }
  void Show() { FSuppressPaint = false; }
};

// The view of 1920 x 1080 image pixels from the top left covers latitudes
// 90 .. -90 and longitudes -180 .. 165.6.
constexpr double ViewLongHi = -180 + ViewW * 0.18;

// The landmarks a repaint draws, by their control pixel and caption, as the
// OnDrawLandmark event reports them.
struct TDrawnSymbol {
  int X, Y;
  std::string Caption;
};
std::vector<TDrawnSymbol> DrawnSymbols(TBenchView& V) {
  std::vector<TDrawnSymbol> Out;
  V.SetOnDrawLandmark([&](TObject*, bool&, TCanvas&, const TPoint& P, const TLandMark& LM) {
    if (P.X > 0 && P.X < V.GetWidth() && P.Y > 0 && P.Y < V.GetHeight())
      Out.push_back({P.X, P.Y, LM.Caption.Text.ToString()});
  });
  V.Repaint();
  V.SetOnDrawLandmark(nullptr);
  return Out;
}

void Pass(benchmark::State& State, bool Caption) {
  TBenchView V;
  V.AddRandom(100000, -89.9, 89.9, -179.9, ViewLongHi - 0.1, 1, Caption);
  V.Show();
  State.counters["drawn"] = double(DrawnSymbols(V).size());
  for (auto _ : State)
    V.Repaint();
}

// QPainter draws each cross as the control does: the halo as nine offset
// copies of both diagonals in the background colour, then the diagonals in
// the foreground colour; captions centred 8 pixels below in 8-point text.
void QtPass(benchmark::State& State, bool Caption) {
  TBenchView V;
  V.AddRandom(100000, -89.9, 89.9, -179.9, ViewLongHi - 0.1, 1, Caption);
  V.Show();
  const std::vector<TDrawnSymbol> Symbols = DrawnSymbols(V);
  QImage Img(ViewW, ViewH, QImage::Format_RGB32);
  Img.fill(Qt::gray);
  const QPen Halo(QColor(255, 255, 255), 1), Ink(QColor(0, 0, 255), 1);
  QFont Font("DejaVu Sans");
  Font.setPointSize(8);
  const int S = 7;
  for (auto _ : State) {
    QPainter P(&Img);
    P.setFont(Font);
    const QFontMetrics FM(Font);
    for (const TDrawnSymbol& D : Symbols) {
      QLine Lines[18];
      int K = 0;
      for (int i = -1; i <= 1; ++i)
        for (int j = -1; j <= 1; ++j) {
          Lines[K++] = QLine(D.X + S + i, D.Y + j - S, D.X - S + i - 1, D.Y + j + S + 1);
          Lines[K++] = QLine(D.X + i - S, D.Y - S + j, D.X + i + S + 1, D.Y + S + j + 1);
        }
      P.setPen(Halo);
      P.drawLines(Lines, 18);
      P.setPen(Ink);
      P.drawLine(D.X - S, D.Y - S, D.X + S + 1, D.Y + S + 1);
      P.drawLine(D.X - S, D.Y + S, D.X + S + 1, D.Y - S - 1);
      if (Caption) {
        const QString T = QString::fromStdString(D.Caption);
        P.setPen(Qt::black);
        P.drawText(D.X - FM.horizontalAdvance(T) / 2, D.Y + 8 + FM.ascent(), T);
      }
    }
    P.end();
    benchmark::DoNotOptimize(Img.constBits());
  }
}

void BM_LandMarkPass_100k(benchmark::State& S) {
  Pass(S, false);
}
void BM_QPainterCrosses_20k(benchmark::State& S) {
  QtPass(S, false);
}
void BM_LandMarkPassCaptions_100k(benchmark::State& S) {
  Pass(S, true);
}
void BM_QPainterCrossesAndTexts_20k(benchmark::State& S) {
  QtPass(S, true);
}

// A view of 480 x 270 pixels at magnification 4 (about 22 x 12 degrees)
// over 1,000 landmarks, alone or among 999,000 more spread over the rest of
// the world.
void SmallView(benchmark::State& State, bool AllOfThem) {
  TBenchView V;
  V.SetBounds(0, 0, 480, 270);
  V.SetMagnification(4);
  V.SetTopLeft(TPoint{1000, 400}); // longitudes 0 .. 21.6, latitudes 18 .. 5.85
  V.AddRandom(1000, 5.85, 18, 0, 21.6, 2, false);
  uint32_t Seed = 3;
  while (AllOfThem && V.GetNumLandMarks() < 1000000) {
    const double Lat = -90 + 180 * Uniform(Seed), Long = -180 + 360 * Uniform(Seed);
    if (Lat < 5 || Lat > 19 || Long < -1 || Long > 23) V.AddLandMark(Lat, Long, 0);
  }
  V.Show();
  State.counters["landmarks"] = V.GetNumLandMarks();
  State.counters["in view"] = double(DrawnSymbols(V).size());
  for (auto _ : State)
    V.Repaint();
}
void BM_SmallView_1000_Of_1M(benchmark::State& S) {
  SmallView(S, true);
}
void BM_SmallView_1000_Alone(benchmark::State& S) {
  SmallView(S, false);
}

// The landmark file: 100,000 landmarks with captions, written once per run.
const std::string& LandMarkFile() {
  static const std::string Name = [] {
    const std::string F =
        (std::filesystem::temp_directory_path() / "qeb_landmarks_bench.xml").string();
    TBenchView V;
    V.AddRandom(100000, -90, 90, -180, 180, 4, true);
    V.SaveLandmarks(F, "bench");
    return F;
  }();
  return Name;
}

void BM_LoadLandMarks_100k(benchmark::State& State) {
  TBenchView V;
  for (auto _ : State)
    if (!V.LoadLandMarks(LandMarkFile(), "bench")) State.SkipWithError("not read");
  State.counters["landmarks"] = V.GetNumLandMarks();
}

// expat reads the same file from disk and reports every element with its
// attributes; the handler only counts them.
void BM_ExpatParse_100k(benchmark::State& State) {
  int64_t Elements = 0;
  for (auto _ : State) {
    std::ifstream In(LandMarkFile(), std::ios::binary);
    std::stringstream Buf;
    Buf << In.rdbuf();
    const std::string Text = Buf.str();
    XML_Parser P = XML_ParserCreate(nullptr);
    Elements = 0;
    XML_SetUserData(P, &Elements);
    XML_SetStartElementHandler(P, [](void* Data, const XML_Char*, const XML_Char** Attr) {
      int64_t& N = *static_cast<int64_t*>(Data);
      ++N;
      for (const XML_Char** A = Attr; *A; A += 2)
        benchmark::DoNotOptimize(A[1][0]);
    });
    if (XML_Parse(P, Text.data(), int(Text.size()), 1) != XML_STATUS_OK)
      State.SkipWithError(XML_ErrorString(XML_GetErrorCode(P)));
    XML_ParserFree(P);
  }
  State.counters["elements"] = double(Elements);
}

} // namespace

QEB_BENCH(BM_LandMarkPass_100k);
QEB_BENCH(BM_QPainterCrosses_20k);
QEB_BENCH(BM_LandMarkPassCaptions_100k);
QEB_BENCH(BM_QPainterCrossesAndTexts_20k);
QEB_BENCH(BM_SmallView_1000_Of_1M);
QEB_BENCH(BM_SmallView_1000_Alone);
QEB_BENCH(BM_LoadLandMarks_100k);
QEB_BENCH(BM_ExpatParse_100k);

int main(int argc, char** argv) {
  return qeb::bench::RunWithQt(argc, argv);
}
