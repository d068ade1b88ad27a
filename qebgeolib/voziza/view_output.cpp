// Output of the map control: the clipboard, caller bitmaps and printer pages.
//
// Everything but CopyToClipboard composes a view of its own (ComposeView
// without cache and frame), so the control's view, AuxBmp and image cache
// stay as they are. Only the part of a view that lands on the destination is
// composed, and that in tiles of at most MaxTilePixels, so a large printout
// never needs a work bitmap of its full size.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "qebgeolib/platform/base/sysutils.h"
#include "qebgeolib/platform/controls/clipboard.h"
#include "qebgeolib/platform/controls/printers.h"
#include "qebgeolib/voziza/detail/calibmodels.h"
#include "qebgeolib/voziza/view.h"

namespace qeb {

using namespace detail; // the internal pieces of this module

namespace {

// Tiles of the composition: at most this wide and this many pixels (32 MB
// at 15 bits a pixel), plus the alignment margin below. A whole A4 page at
// 300 pixels per inch is one tile; larger output is composed in parts, and
// the render events are then called once for each part, with its canvas.
constexpr int64_t MaxTileWidth = 8192;
constexpr int64_t MaxTilePixels = int64_t{1} << 24;
// The largest view the output composes (control pixels a side), and the
// farthest its top left may lie from the image origin (image pixels). Both
// keep every tile's position inside 32 bits.
constexpr int32_t MaxOutputSide = 1 << 20;
constexpr int32_t MaxOutputPos = 1 << 28;
constexpr double MetresPerInch = 0.0254;

// A tile that starts at view pixel A is composed as a view of its own that
// starts at a whole image pixel K (offset from the view's top left) whose
// view pixel Round(K * m) is not beyond A; the tile's pixels then sit at
// most half a pixel from where one composition of the whole view puts them,
// and exactly there when K * m is whole. A = 0 gives K = 0.
int64_t TileImageOffset(int64_t A, double M) {
  auto ViewPos = [M](int64_t K) { return static_cast<int64_t>(RoundPixel(double(K) * M)); };
  auto K = static_cast<int64_t>(std::floor(double(A) / M + 0.5));
  while (K > 0 && ViewPos(K) > A)
    --K;
  return K;
}

// Number of equal parts of at most Max each.
int64_t PartSize(int64_t Total, int64_t Max) {
  const int64_t Parts = (Total + Max - 1) / Max;
  return (Total + Parts - 1) / Parts;
}

int32_t Saturate32(int64_t V) {
  return static_cast<int32_t>(std::clamp<int64_t>(V, INT32_MIN, INT32_MAX));
}

// Printer pixels per image pixel at 1:Scale; 0 when the map's resolution is
// not known or Scale is not positive.
double PrintMagnification(double Resolution, int32_t Scale, int32_t PixelsPerInch) {
  if (Scale <= 0 || !std::isfinite(Resolution) || Resolution <= 0) return 0;
  return Resolution / Scale / MetresPerInch * PixelsPerInch;
}

TRect NormalizedRect(const TRect& R) {
  return {std::min(R.Left, R.Right), std::min(R.Top, R.Bottom), std::max(R.Left, R.Right),
          std::max(R.Top, R.Bottom)};
}

} // namespace

// ---- The clipboard

void TVozIza::CopyToClipboard() {
  const int32_t W = GetWidth(), H = GetHeight();
  TBitmap Bmp(W, H);
  TCanvas& C = Bmp.GetCanvas();
  C.SetCopyMode(cmSrcCopy);
  const TRect Inner{2, 2, W - 2, H - 2};
  // A control too small for an inside would give an inverted rectangle,
  // which mirrors.
  if (Inner.Right > Inner.Left && Inner.Bottom > Inner.Top)
    C.CopyRect(Inner, AuxBmp.GetCanvas(), Inner);
  C.GetPen().SetColor(clBlack);
  C.MoveTo(1, 1);
  C.LineTo(W - 2, 1);
  C.LineTo(W - 2, H - 2);
  C.LineTo(1, H - 2);
  C.LineTo(1, 1);
  Clipboard().Assign(&Bmp);
}

void TVozIza::CopyEntireMapToClipboard() {
  if (FMapImgWidth <= 0 || FMapImgHeight <= 0) return;
  TBitmap Bmp(FMapImgWidth, FMapImgHeight);
  RenderViewTo(Bmp.GetCanvas(), TViewPort{{0, 0}, 1.0, FMapImgWidth, FMapImgHeight}, 0, 0);
  Clipboard().Assign(&Bmp);
}

// ---- Bitmaps

void TVozIza::CheckOutputView(const TViewPort& View) const {
  if (!std::isfinite(View.Mag) || View.Mag < MinMagnification || View.Mag > MaxMagnification)
    CalibError(": magnification must lie between 1/1024 and 1024");
  if (View.Width < 1 || View.Height < 1 || View.Width > MaxOutputSide ||
      View.Height > MaxOutputSide)
    CalibError(": output size must lie between 1 and " + IntToStr(MaxOutputSide) +
               " pixels a side");
  if (std::abs(int64_t{View.TopLeft.X}) > MaxOutputPos ||
      std::abs(int64_t{View.TopLeft.Y}) > MaxOutputPos)
    CalibError(": view position must lie between -" + IntToStr(MaxOutputPos) + " and " +
               IntToStr(MaxOutputPos));
}

void TVozIza::RenderViewTo(TCanvas& Target, const TViewPort& View, int64_t PosX, int64_t PosY) {
  const TBitmap* Surface = Target.GetSurface();
  // The part of the view on Target, in view pixels.
  const int64_t X0 = std::max<int64_t>(0, -PosX), Y0 = std::max<int64_t>(0, -PosY);
  const int64_t X1 = std::min<int64_t>(View.Width, Surface->GetWidth() - PosX);
  const int64_t Y1 = std::min<int64_t>(View.Height, Surface->GetHeight() - PosY);
  if (X0 >= X1 || Y0 >= Y1) return;
  const int64_t TileW = PartSize(X1 - X0, MaxTileWidth);
  const int64_t TileH = PartSize(Y1 - Y0, std::max<int64_t>(1, MaxTilePixels / TileW));
  TBitmap Tile;
  for (int64_t A = Y0; A < Y1; A += TileH) {
    const int64_t B = std::min(A + TileH, Y1);
    const int64_t Ky = TileImageOffset(A, View.Mag);
    const int64_t Ry = RoundPixel(double(Ky) * View.Mag);
    for (int64_t L = X0; L < X1; L += TileW) {
      const int64_t R = std::min(L + TileW, X1);
      const int64_t Kx = TileImageOffset(L, View.Mag);
      const int64_t Rx = RoundPixel(double(Kx) * View.Mag);
      const TViewPort Part{
          {static_cast<int32_t>(View.TopLeft.X + Kx), static_cast<int32_t>(View.TopLeft.Y + Ky)},
          View.Mag,
          static_cast<int32_t>(R - Rx),
          static_cast<int32_t>(B - Ry)};
      Tile.NewImage(Part.Width, Part.Height, pf15bit);
      ComposeView(Tile, Part, /*UseCache=*/false, /*Frame=*/false);
      Target.StretchBlt(static_cast<int32_t>(PosX + L), static_cast<int32_t>(PosY + A),
                        static_cast<int32_t>(R - L), static_cast<int32_t>(B - A), Tile.GetCanvas(),
                        static_cast<int32_t>(L - Rx), static_cast<int32_t>(A - Ry),
                        static_cast<int32_t>(R - L), static_cast<int32_t>(B - A), cmSrcCopy);
    }
  }
}

void TVozIza::CopyToBMP(TBitmap* DestBmp, const TPoint& TopLeft, double MagFact, int32_t PosHoriz,
                        int32_t PosVert, int32_t Width, int32_t Height) {
  if (DestBmp == nullptr) CalibError(": no destination bitmap");
  const TViewPort View{TopLeft, MagFact, Width, Height};
  CheckOutputView(View);
  RenderViewTo(DestBmp->GetCanvas(), View, PosHoriz, PosVert);
  // Drawn into the map image itself: the scaled copy no longer matches it.
  if (DestBmp == &GrafBmp) FCache.Invalidate();
}

// ---- The printer

TPrinter& TVozIza::OutputPrinter() const {
  return FPrinter != nullptr ? *FPrinter : Printer();
}

void TVozIza::CalcExtentsOfPrint(const TRect& MapWindow, int32_t Scale, int32_t& Width,
                                 int32_t& Height) {
  const double M =
      PrintMagnification(FCalibData.Resolution, Scale, OutputPrinter().GetPixelsPerInch());
  const TRect R = NormalizedRect(MapWindow);
  Width = RoundPixel(double(int64_t{R.Right} - R.Left) * M);
  Height = RoundPixel(double(int64_t{R.Bottom} - R.Top) * M);
}

TVozIza::TViewPort TVozIza::ScaledViewPort(double ScaleF) const {
  if (!std::isfinite(ScaleF) || ScaleF <= 0) CalibError(": scale factor must be positive");
  const TViewPort View{FTopLeft, FMagnify * ScaleF, RoundPixel(GetWidth() * ScaleF),
                       RoundPixel(GetHeight() * ScaleF)};
  CheckOutputView(View);
  return View;
}

void TVozIza::PrintIt(double ScaleF) {
  TPrinter& P = OutputPrinter();
  const TViewPort View = ScaledViewPort(ScaleF);
  P.BeginDoc();
  try {
    RenderViewTo(P.GetCanvas(), View, 0, 0);
  } catch (...) {
    if (P.GetPrinting()) P.Abort();
    throw;
  }
  P.EndDoc();
}

void TVozIza::CopyToOpenPrinter(int32_t& x, int32_t& y, double ScaleF) {
  TCanvas& C = OutputPrinter().GetCanvas();
  const TViewPort View = ScaledViewPort(ScaleF);
  RenderViewTo(C, View, x, y);
  x = Saturate32(int64_t{x} + View.Width);
  y = Saturate32(int64_t{y} + View.Height);
}

void TVozIza::PrintMapWindow(const TPoint& TopLeft, int64_t Width, int64_t Height, int32_t Scale,
                             int32_t PosHoriz, int32_t PosVert) {
  TPrinter& P = OutputPrinter();
  TCanvas& C = P.GetCanvas();
  if (Scale <= 0) CalibError(": map scale must be positive");
  const double Resolution = FCalibData.Resolution;
  if (!std::isfinite(Resolution) || Resolution <= 0)
    CalibError(": the map's resolution is unknown");
  const double M = PrintMagnification(Resolution, Scale, P.GetPixelsPerInch());
  if (M < MinMagnification || M > MaxMagnification)
    CalibError(": map scale 1:" + IntToStr(Scale) + " needs a magnification outside 1/1024..1024");
  const TViewPort View{TopLeft, M, RoundPixel(double(Width) * M), RoundPixel(double(Height) * M)};
  CheckOutputView(View);
  RenderViewTo(C, View, PosHoriz, PosVert);
}

void TVozIza::CopyToOpenPrinter(const TRect& MapWindow, int32_t Scale, int32_t PosHoriz,
                                int32_t PosVert) {
  const TRect R = NormalizedRect(MapWindow);
  PrintMapWindow({R.Left, R.Top}, int64_t{R.Right} - R.Left, int64_t{R.Bottom} - R.Top, Scale,
                 PosHoriz, PosVert);
}

void TVozIza::CopyToOpenPrinter(const TPoint& TopLeft, int32_t Scale, int32_t PosHoriz,
                                int32_t PosVert, int32_t Width, int32_t Height) {
  PrintMapWindow(TopLeft, Width, Height, Scale, PosHoriz, PosVert);
}

} // namespace qeb
