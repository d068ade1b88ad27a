// The graphics hot paths next to their peers, all in one run: image scaling
// against Qt's raster engine (QImage::scaled), the 1:1 window copy against
// one flat memcpy, JPEG decoding against bare libjpeg-turbo and Qt's loader,
// and the drawing loads of a busy map (random lines, short captions).
//
// Every benchmark measures process CPU time (Qt scales with helper threads)
// and wall time, and is repeated so that medians are reported.

#include <QImage>
#include <QPainter>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>
// After <cstdio>: jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include "bench/qtpeer.h"
#include "qebgeolib/platform/base/streams.h"
#include "qebgeolib/platform/graphics/bitmap.h"
#include "qebgeolib/platform/graphics/canvas.h"
#include "qebgeolib/platform/graphics/jpegimage.h"

namespace {

using namespace qeb;
using qeb::bench::Rand;

constexpr int SrcW = 2000, SrcH = 1500; // 3 megapixels, the map image limit

// A photo-like picture: smooth gradients with fine texture, so JPEG has
// realistic work and scaling is not trivially uniform.
const std::vector<uint32_t>& Picture() {
  static const std::vector<uint32_t> P = [] {
    std::vector<uint32_t> V(std::size_t(SrcW) * SrcH);
    uint32_t S = 12345;
    for (int y = 0; y < SrcH; ++y)
      for (int x = 0; x < SrcW; ++x) {
        const int N = int(Rand(S) & 15);
        const int R = (x * 255 / SrcW + N) & 0xFF, G = (y * 255 / SrcH + N) & 0xFF,
                  B = ((x + y) / 8 + N) & 0xFF;
        V[std::size_t(y) * SrcW + std::size_t(x)] =
            uint32_t(R) << 16 | uint32_t(G) << 8 | uint32_t(B);
      }
    return V;
  }();
  return P;
}

void Fill(TBitmap& B) {
  const auto& P = Picture();
  std::vector<uint32_t> Row(std::size_t(B.GetWidth()));
  for (int y = 0; y < B.GetHeight(); ++y) {
    for (int x = 0; x < B.GetWidth(); ++x) {
      const uint32_t V = P[std::size_t(y % SrcH) * SrcW + std::size_t(x % SrcW)];
      B.GetCanvas().SetPixels(x, y, RGB(uint8_t(V >> 16), uint8_t(V >> 8), uint8_t(V)));
    }
  }
}

TBitmap& Source(TPixelFormat F) {
  static TBitmap S24(SrcW, SrcH, pf24bit), S32(SrcW, SrcH, pf32bit);
  static const bool Ready = (Fill(S24), S32.Assign(&S24), S32.SetPixelFormat(pf32bit), true);
  (void)Ready;
  return F == pf32bit ? S32 : S24;
}

QImage QtSource(QImage::Format F) {
  const auto& P = Picture();
  QImage Q(SrcW, SrcH, F);
  for (int y = 0; y < SrcH; ++y)
    for (int x = 0; x < SrcW; ++x) {
      const uint32_t V = P[std::size_t(y) * SrcW + std::size_t(x)];
      Q.setPixel(x, y, 0xFF000000u | V);
    }
  return Q;
}

// ---------------------------------------------------------------- scaling

void Stretch(benchmark::State& State, TPixelFormat From, TPixelFormat To, TStretchBltMode Mode,
             int W, int H) {
  TBitmap& S = Source(From);
  TBitmap D(W, H, To);
  D.GetCanvas().SetStretchBltMode(Mode);
  for (auto _ : State) {
    D.GetCanvas().CopyRect(Rect(0, 0, W, H), S.GetCanvas(), Rect(0, 0, SrcW, SrcH));
    benchmark::DoNotOptimize(D.GetBits());
  }
}

void QtScale(benchmark::State& State, QImage::Format F, Qt::TransformationMode Mode, int W, int H) {
  const QImage S = QtSource(F);
  for (auto _ : State) {
    QImage D = S.scaled(W, H, Qt::IgnoreAspectRatio, Mode);
    benchmark::DoNotOptimize(D.constBits());
  }
}

void BM_AreaHalf_Qeb_24to24(benchmark::State& S) {
  Stretch(S, pf24bit, pf24bit, sbmHalftone, 1000, 750);
}
void BM_AreaHalf_Qeb_32to32(benchmark::State& S) {
  Stretch(S, pf32bit, pf32bit, sbmHalftone, 1000, 750);
}
void BM_AreaHalf_Qeb_24to15(benchmark::State& S) {
  Stretch(S, pf24bit, pf15bit, sbmHalftone, 1000, 750);
}
void BM_AreaHalf_Qt_RGB32(benchmark::State& S) {
  QtScale(S, QImage::Format_RGB32, Qt::SmoothTransformation, 1000, 750);
}
void BM_AreaHalf_Qt_RGB888(benchmark::State& S) {
  QtScale(S, QImage::Format_RGB888, Qt::SmoothTransformation, 1000, 750);
}
// Ratios without a special loop, for the general filter's cost: the
// reductions a wheel notch or a fit meets, in percent.
template <int Percent> void BM_Area_Qeb_24to24(benchmark::State& S) {
  Stretch(S, pf24bit, pf24bit, sbmHalftone, SrcW * Percent / 100, SrcH * Percent / 100);
}
template <int Percent> void BM_Area_Qeb_32to32(benchmark::State& S) {
  Stretch(S, pf32bit, pf32bit, sbmHalftone, SrcW * Percent / 100, SrcH * Percent / 100);
}
template <int Percent> void BM_Area_Qt_RGB32(benchmark::State& S) {
  QtScale(S, QImage::Format_RGB32, Qt::SmoothTransformation, SrcW * Percent / 100,
          SrcH * Percent / 100);
}
template <int Percent> void BM_Area_Qt_RGB888(benchmark::State& S) {
  QtScale(S, QImage::Format_RGB888, Qt::SmoothTransformation, SrcW * Percent / 100,
          SrcH * Percent / 100);
}

void BM_NearestHalf_Qeb_24to24(benchmark::State& S) {
  Stretch(S, pf24bit, pf24bit, sbmColorOnColor, 1000, 750);
}
void BM_NearestHalf_Qeb_32to32(benchmark::State& S) {
  Stretch(S, pf32bit, pf32bit, sbmColorOnColor, 1000, 750);
}
void BM_NearestHalf_Qt_RGB32(benchmark::State& S) {
  QtScale(S, QImage::Format_RGB32, Qt::FastTransformation, 1000, 750);
}
void BM_NearestHalf_Qt_RGB888(benchmark::State& S) {
  QtScale(S, QImage::Format_RGB888, Qt::FastTransformation, 1000, 750);
}
void BM_Nearest17_Qeb_24to24(benchmark::State& S) {
  Stretch(S, pf24bit, pf24bit, sbmColorOnColor, 3400, 2550);
}
void BM_Nearest17_Qt_RGB888(benchmark::State& S) {
  QtScale(S, QImage::Format_RGB888, Qt::FastTransformation, 3400, 2550);
}

// ------------------------------------------------------------- 1:1 copy

// A 1920 x 1080 window out of a 15-bit cache into the 15-bit view, as
// panning does; the peer copies the same number of bytes in one memcpy.
void BM_Copy1080p15_Qeb(benchmark::State& State) {
  TBitmap Cache(2600, 1800, pf15bit), View(1920, 1080, pf15bit);
  for (auto _ : State) {
    View.GetCanvas().CopyRect(Rect(0, 0, 1920, 1080), Cache.GetCanvas(),
                              Rect(300, 200, 2220, 1280));
    benchmark::DoNotOptimize(View.GetBits());
  }
}
void BM_Copy1080p15_Memcpy(benchmark::State& State) {
  const std::size_t N = std::size_t(1920) * 1080 * 2;
  std::vector<uint8_t> A(N + 4096, 1), B(N + 4096);
  for (auto _ : State) {
    std::memcpy(B.data(), A.data() + 1200, N);
    benchmark::DoNotOptimize(B.data());
    benchmark::ClobberMemory();
  }
}

// ----------------------------------------------------------------- JPEG

const std::vector<uint8_t>& JpegFile() {
  static const std::vector<uint8_t> Data = [] {
    TJPEGImage J;
    J.Assign(&Source(pf24bit));
    J.SetCompressionQuality(90);
    TMemoryStream M;
    J.SaveToStream(M);
    return std::vector<uint8_t>(M.Memory(), M.Memory() + M.GetSize());
  }();
  return Data;
}

void BM_JpegDecode_Qeb(benchmark::State& State) {
  const auto& Data = JpegFile();
  TMemoryStream M;
  M.WriteBuffer(Data.data(), int64_t(Data.size()));
  TBitmap B;
  for (auto _ : State) {
    M.SetPosition(0);
    TJPEGImage J;
    J.LoadFromStream(M);
    B.Assign(&J);
    benchmark::DoNotOptimize(B.GetBits());
  }
}

void BM_JpegDecode_Libjpeg(benchmark::State& State) {
  const auto& Data = JpegFile();
  std::vector<uint8_t> Pixels(std::size_t(SrcW) * SrcH * 3);
  for (auto _ : State) {
    jpeg_decompress_struct Info;
    jpeg_error_mgr Err;
    Info.err = jpeg_std_error(&Err);
    jpeg_create_decompress(&Info);
    jpeg_mem_src(&Info, Data.data(), static_cast<unsigned long>(Data.size()));
    jpeg_read_header(&Info, TRUE);
    jpeg_start_decompress(&Info);
    const std::size_t Stride = std::size_t(Info.output_width) * 3;
    while (Info.output_scanline < Info.output_height) {
      JSAMPROW Rows[16];
      const JDIMENSION N = std::min<JDIMENSION>(16, Info.output_height - Info.output_scanline);
      for (JDIMENSION k = 0; k < N; ++k)
        Rows[k] = Pixels.data() + (Info.output_scanline + k) * Stride;
      jpeg_read_scanlines(&Info, Rows, N);
    }
    jpeg_finish_decompress(&Info);
    jpeg_destroy_decompress(&Info);
    benchmark::DoNotOptimize(Pixels.data());
  }
}

void BM_JpegDecode_Qt(benchmark::State& State) {
  const auto& Data = JpegFile();
  for (auto _ : State) {
    QImage Q;
    if (!Q.loadFromData(Data.data(), int(Data.size()), "JPEG")) {
      State.SkipWithError("Qt has no JPEG plugin here");
      break;
    }
    benchmark::DoNotOptimize(Q.constBits());
  }
}

// ------------------------------------------------------- map drawing loads

struct TLine {
  int X0, Y0, X1, Y1;
};
const std::vector<TLine>& Lines() {
  static const std::vector<TLine> L = [] {
    std::vector<TLine> V(100000);
    uint32_t S = 777;
    for (TLine& Ln : V)
      Ln = {int(Rand(S) % 1100) - 50, int(Rand(S) % 900) - 50, int(Rand(S) % 1100) - 50,
            int(Rand(S) % 900) - 50};
    return V;
  }();
  return L;
}

void Lines(benchmark::State& State, TPixelFormat F) {
  TBitmap B(1000, 800, F);
  TCanvas& C = B.GetCanvas();
  C.GetPen().SetColor(clBlue);
  for (auto _ : State)
    for (const TLine& L : Lines()) {
      C.MoveTo(L.X0, L.Y0);
      C.LineTo(L.X1, L.Y1);
    }
  benchmark::DoNotOptimize(B.GetBits());
}
void BM_Lines100k_Qeb_15(benchmark::State& S) {
  Lines(S, pf15bit);
}
void BM_Lines100k_Qeb_32(benchmark::State& S) {
  Lines(S, pf32bit);
}

// Qt's painter on RGB555 images is far slower (seconds); RGB32 is its fast
// path and the fairer peer.
void BM_Lines100k_Qt_RGB32(benchmark::State& State) {
  QImage Q(1000, 800, QImage::Format_RGB32);
  Q.fill(Qt::white);
  QPainter P(&Q);
  P.setPen(QPen(QColor(Qt::blue), 0)); // cosmetic: Qt's fast one-pixel lines
  for (auto _ : State)
    for (const TLine& L : Lines())
      P.drawLine(L.X0, L.Y0, L.X1, L.Y1);
  benchmark::DoNotOptimize(Q.constBits());
}

struct TCaption {
  int X, Y;
  char Text[12];
};
const std::vector<TCaption>& Captions() {
  static const std::vector<TCaption> C = [] {
    std::vector<TCaption> V(10000);
    uint32_t S = 4242;
    for (TCaption& T : V) {
      T.X = int(Rand(S) % 1000) - 20;
      T.Y = int(Rand(S) % 800) - 10;
      std::snprintf(T.Text, sizeof T.Text, "Town %u", unsigned(Rand(S) % 1000));
    }
    return V;
  }();
  return C;
}

void BM_Captions10k_Qeb_15(benchmark::State& State) {
  TBitmap B(1000, 800, pf15bit);
  TCanvas& C = B.GetCanvas();
  C.GetFont().SetName("Arial");
  C.GetFont().SetSize(8);
  C.GetFont().SetColor(clBlack);
  C.GetBrush().SetStyle(bsClear);
  for (auto _ : State)
    for (const TCaption& T : Captions())
      C.TextOut(T.X, T.Y, T.Text);
  benchmark::DoNotOptimize(B.GetBits());
}

void BM_Captions10k_Qt_RGB32(benchmark::State& State) {
  QImage Q(1000, 800, QImage::Format_RGB32);
  Q.fill(Qt::white);
  QPainter P(&Q);
  QFont F("Arial");
  F.setPixelSize(11);
  P.setFont(F);
  P.setPen(Qt::black);
  for (auto _ : State)
    for (const TCaption& T : Captions())
      P.drawText(T.X, T.Y + 9, QString::fromLatin1(T.Text));
  benchmark::DoNotOptimize(Q.constBits());
}

QEB_BENCH(BM_AreaHalf_Qeb_24to24);
QEB_BENCH(BM_AreaHalf_Qeb_32to32);
QEB_BENCH(BM_AreaHalf_Qeb_24to15);
QEB_BENCH(BM_AreaHalf_Qt_RGB32);
QEB_BENCH(BM_AreaHalf_Qt_RGB888);
QEB_BENCH(BM_Area_Qeb_24to24<37>);
QEB_BENCH(BM_Area_Qeb_32to32<37>);
QEB_BENCH(BM_Area_Qt_RGB32<37>);
QEB_BENCH(BM_Area_Qt_RGB888<37>);
QEB_BENCH(BM_Area_Qeb_24to24<60>);
QEB_BENCH(BM_Area_Qeb_32to32<60>);
QEB_BENCH(BM_Area_Qt_RGB32<60>);
QEB_BENCH(BM_Area_Qt_RGB888<60>);
QEB_BENCH(BM_Area_Qeb_24to24<80>);
QEB_BENCH(BM_Area_Qeb_32to32<80>);
QEB_BENCH(BM_Area_Qt_RGB32<80>);
QEB_BENCH(BM_Area_Qt_RGB888<80>);
QEB_BENCH(BM_NearestHalf_Qeb_24to24);
QEB_BENCH(BM_NearestHalf_Qeb_32to32);
QEB_BENCH(BM_NearestHalf_Qt_RGB32);
QEB_BENCH(BM_NearestHalf_Qt_RGB888);
QEB_BENCH(BM_Nearest17_Qeb_24to24);
QEB_BENCH(BM_Nearest17_Qt_RGB888);
QEB_BENCH(BM_Copy1080p15_Qeb);
QEB_BENCH(BM_Copy1080p15_Memcpy);
QEB_BENCH(BM_JpegDecode_Qeb);
QEB_BENCH(BM_JpegDecode_Libjpeg);
QEB_BENCH(BM_JpegDecode_Qt);
QEB_BENCH(BM_Lines100k_Qeb_15);
QEB_BENCH(BM_Lines100k_Qeb_32);
QEB_BENCH(BM_Lines100k_Qt_RGB32);
QEB_BENCH(BM_Captions10k_Qeb_15);
QEB_BENCH(BM_Captions10k_Qt_RGB32);

} // namespace

int main(int argc, char** argv) {
  return qeb::bench::RunWithQt(argc, argv);
}
