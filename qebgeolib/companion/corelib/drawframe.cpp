// Frames around controls, drawn as one-pixel rings on a canvas.
#include "qebgeolib/companion/corelib/base.h"
#include "qebgeolib/platform/graphics/canvas.h"

#include <algorithm>

namespace qeb {

namespace {

// One ring on the rectangle L..R, T..B (inclusive).
void Ring(TCanvas& C, int64_t L, int64_t T, int64_t R, int64_t B, TColor TopLeft,
          TColor BottomRight) {
  if (R < L || B < T) return;
  auto Fill = [&](int64_t X0, int64_t Y0, int64_t X1, int64_t Y1, TColor Color) {
    if (X1 < X0 || Y1 < Y0) return;
    C.GetBrush().SetColor(Color);
    // The canvas clips; the rectangle only has to fit 32 bits.
    auto Clamp = [](int64_t V) { return int32_t(std::clamp<int64_t>(V, INT32_MIN, INT32_MAX)); };
    C.FillRect(TRect{Clamp(X0), Clamp(Y0), Clamp(X1 + 1), Clamp(Y1 + 1)});
  };
  Fill(L, T, R - 1, T, TopLeft);     // top row without its right end
  Fill(L, T + 1, L, B - 1, TopLeft); // left column between the corners
  Fill(L, B, R, B, BottomRight);     // bottom row
  Fill(R, T, R, B - 1, BottomRight); // right column
}

} // namespace

void DrawFrame(TCanvas& Canvas, TFrameStyle Style, int32_t Left, int32_t Top, int32_t Right,
               int32_t Bottom, TColor C1, TColor C2, TColor C3, TColor C4, TColor C5) {
  if (Right < Left || Bottom < Top) return;
  TColor Outer[2]{}, Inner[2]{};
  switch (Style) {
  case frsSingle:
    Outer[0] = Outer[1] = C5;
    break;
  case frsLowered:
    Outer[0] = C3, Outer[1] = C1, Inner[0] = C4, Inner[1] = C2;
    break;
  case frsRaised:
    Outer[0] = C2, Outer[1] = C4, Inner[0] = C1, Inner[1] = C3;
    break;
  case frsEmbossed:
    Outer[0] = C1, Outer[1] = C3, Inner[0] = C3, Inner[1] = C1;
    break;
  case frsEngraved:
    Outer[0] = C3, Outer[1] = C1, Inner[0] = C1, Inner[1] = C3;
    break;
  default:
    return;
  }
  const TCanvasStateSaver Saved(Canvas); // the rings change the brush
  Ring(Canvas, Left, Top, Right, Bottom, Outer[0], Outer[1]);
  if (Style != frsSingle)
    Ring(Canvas, int64_t(Left) + 1, int64_t(Top) + 1, int64_t(Right) - 1, int64_t(Bottom) - 1,
         Inner[0], Inner[1]);
}

} // namespace qeb
