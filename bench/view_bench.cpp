// Repaints of the map control on a 1920 x 1080 control with a 3-megapixel
// JPEG map and the graticule on, next to their peers in the same run:
// panning at magnification 0.5 (copies from the scaled cache) against one
// flat memcpy of the control's 32-bit surface; magnification 2 (the visible
// window stretched on every repaint), with and without anti-aliasing,
// against QPainter::drawImage scaling the same window onto a target of the
// same size; the same at 1.953125 (three notches of the mouse wheel), where
// the area average has no shortcut; and building the cache at 0.5.
//
// Every benchmark measures process CPU time and wall time and is repeated so
// that medians are reported.

#include <QImage>
#include <QPainter>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "bench/qtpeer.h"
#include "qebgeolib/platform/graphics/bitmap.h"
#include "qebgeolib/platform/graphics/jpegimage.h"
#include "qebgeolib/voziza/view.h"

namespace {

using namespace qeb;
using qeb::bench::Rand;

constexpr int SrcW = 2000, SrcH = 1500; // 3 megapixels, the map image limit
constexpr int ViewW = 1920, ViewH = 1080;

// A map-like picture: smooth gradients with fine texture and some lines, so
// the JPEG has realistic content and scaling is not trivially uniform.
void Picture(TBitmap& B) {
  B.NewImage(SrcW, SrcH, pf24bit, false);
  uint32_t S = 12345;
  for (int y = 0; y < SrcH; ++y) {
    uint8_t* Row = B.ScanLine(y);
    for (int x = 0; x < SrcW; ++x) {
      const int N = int(Rand(S) & 15);
      const bool Ink = x % 97 == 0 || y % 89 == 0;
      Row[3 * x] = uint8_t(Ink ? 40 : ((x + y) / 8 + N) & 0xFF);
      Row[3 * x + 1] = uint8_t(Ink ? 40 : (y * 255 / SrcH + N) & 0xFF);
      Row[3 * x + 2] = uint8_t(Ink ? 40 : (x * 255 / SrcW + N) & 0xFF);
    }
  }
}

// The map file, written once per run.
const std::string& MapFile() {
  static const std::string Name = [] {
    const std::string F =
        (std::filesystem::temp_directory_path() / "qeb_view_bench_map.jpg").string();
    TBitmap B;
    Picture(B);
    TJPEGImage J;
    J.Assign(&B);
    J.SetCompressionQuality(90);
    J.SaveToFile(F);
    return F;
  }();
  return Name;
}

class TBenchView : public TVozIza {
public:
  TBenchView() : TVozIza(nullptr) {
    SetSuppressPaint(true);
    SetBounds(0, 0, ViewW, ViewH);
    SetMapImgName(MapFile());
    SetCalibModel(cmEquiRect);
    AddCalibPoint(47.5, 8.0, 0, 0);
    AddCalibPoint(47.0, 8.0, 0, SrcH);
    AddCalibPoint(47.0, 9.0, SrcW, SrcH);
    AddCalibPoint(47.5, 9.0, SrcW, 0);
    SetShowGrat(sgPointsAndLines);
    FSuppressPaint = false;
  }
  // The view and a repaint, as panning and zooming do.
  void Show(TPoint TopLeft, double M) {
    FTopLeft = TopLeft;
    FMagnify = M;
    Paint();
  }
  void DropCache() { FCache.Invalidate(); }
  const TBitmap& Map() const { return GrafBmp; }
};

// The same decoded map as a 32-bit QImage.
QImage QtMap(const TBitmap& Map) {
  QImage Q(Map.GetWidth(), Map.GetHeight(), QImage::Format_RGB32);
  for (int y = 0; y < Map.GetHeight(); ++y) {
    const uint8_t* S = Map.ScanLine(y);
    auto* D = reinterpret_cast<uint32_t*>(Q.scanLine(y));
    for (int x = 0; x < Map.GetWidth(); ++x)
      D[x] = 0xFF000000u | uint32_t(S[3 * x + 2]) << 16 | uint32_t(S[3 * x + 1]) << 8 | S[3 * x];
  }
  return Q;
}

// Two view positions taken in turn, so that every repaint shows new content.
constexpr TPoint PanA{100, 80}, PanB{117, 93};

void BM_PanCached_m05_Qeb(benchmark::State& State) {
  TBenchView V;
  V.Show(PanA, 0.5); // builds the cache
  bool Flip = false;
  for (auto _ : State) {
    V.Show((Flip = !Flip) ? PanB : PanA, 0.5);
    benchmark::DoNotOptimize(V.GetSurface().GetBits());
  }
}

void BM_PanCached_Memcpy(benchmark::State& State) {
  const std::size_t N = std::size_t(ViewW) * ViewH * 4;
  std::vector<uint8_t> A(N + 4096, 1), B(N + 4096);
  for (auto _ : State) {
    std::memcpy(B.data(), A.data() + 1200, N);
    benchmark::DoNotOptimize(B.data());
    benchmark::ClobberMemory();
  }
}

void BM_CacheBuild_m05_Qeb(benchmark::State& State) {
  TBenchView V;
  for (auto _ : State) {
    V.DropCache();
    V.Show(PanA, 0.5);
    benchmark::DoNotOptimize(V.GetSurface().GetBits());
  }
}

void Direct(benchmark::State& State, bool AntiAlias, double M = 2) {
  TBenchView V;
  V.SetSuppressPaint(true);
  V.SetAntiAlias(AntiAlias);
  V.SetSuppressPaint(false);
  bool Flip = false;
  for (auto _ : State) {
    V.Show((Flip = !Flip) ? PanB : PanA, M);
    benchmark::DoNotOptimize(V.GetSurface().GetBits());
  }
}

void QtDirect(benchmark::State& State, bool Smooth, double M = 2) {
  TBitmap Decoded;
  {
    TJPEGImage J;
    J.LoadFromFile(MapFile());
    Decoded.Assign(&J);
  }
  const QImage Src = QtMap(Decoded);
  QImage Dst(ViewW, ViewH, QImage::Format_RGB32);
  Dst.fill(Qt::white);
  QPainter P(&Dst);
  P.setRenderHint(QPainter::SmoothPixmapTransform, Smooth);
  const QRectF Target(0, 0, ViewW, ViewH);
  bool Flip = false;
  for (auto _ : State) {
    const TPoint T = (Flip = !Flip) ? PanB : PanA;
    P.drawImage(Target, Src, QRectF(T.X, T.Y, ViewW / M, ViewH / M));
    benchmark::DoNotOptimize(Dst.constBits());
  }
}

void BM_Direct_m2_AA_Qeb(benchmark::State& S) {
  Direct(S, true);
}
void BM_Direct_m2_AA_QPainterSmooth(benchmark::State& S) {
  QtDirect(S, true);
}
void BM_Direct_m2_NoAA_Qeb(benchmark::State& S) {
  Direct(S, false);
}
void BM_Direct_m2_NoAA_QPainterFast(benchmark::State& S) {
  QtDirect(S, false);
}
void BM_Direct_m195_AA_Qeb(benchmark::State& S) {
  Direct(S, true, 1.953125);
}
void BM_Direct_m195_AA_QPainterSmooth(benchmark::State& S) {
  QtDirect(S, true, 1.953125);
}

QEB_BENCH(BM_PanCached_m05_Qeb);
QEB_BENCH(BM_PanCached_Memcpy);
QEB_BENCH(BM_CacheBuild_m05_Qeb);
QEB_BENCH(BM_Direct_m2_AA_Qeb);
QEB_BENCH(BM_Direct_m2_AA_QPainterSmooth);
QEB_BENCH(BM_Direct_m2_NoAA_Qeb);
QEB_BENCH(BM_Direct_m2_NoAA_QPainterFast);
QEB_BENCH(BM_Direct_m195_AA_Qeb);
QEB_BENCH(BM_Direct_m195_AA_QPainterSmooth);

} // namespace

int main(int argc, char** argv) {
  const int Result = qeb::bench::RunWithQt(argc, argv);
  std::filesystem::remove(MapFile());
  return Result;
}
