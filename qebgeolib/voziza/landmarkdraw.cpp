// Drawing of one landmark symbol and one caption on any canvas. The symbol
// geometry is worked out in 64 bits, so sizes and lengths anywhere in the
// 32-bit range neither overflow nor cost more than the visible pixels.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

#include "qebgeolib/platform/graphics/bitmap.h"
#include "qebgeolib/platform/graphics/canvas.h"
#include "qebgeolib/voziza/landmarks.h"

namespace qeb {

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double TwoThirdsPi = 2.0943951023931954923;
constexpr double ArrowFinAngle = 0.3490658503988659154; // 20 degrees

double Radians(int32_t Degrees) {
  return double(Degrees) / 180.0 * Pi;
}

// Nearest integer, halves to the even neighbour, whatever the rounding mode.
int64_t Rnd(double V) {
  if (std::fabs(V - std::trunc(V)) == 0.5) return int64_t(2.0 * std::round(V / 2.0));
  return int64_t(std::round(V));
}

int32_t Clamp32(int64_t V) {
  return int32_t(std::clamp<int64_t>(V, INT32_MIN, INT32_MAX));
}

struct TPoint64 {
  int64_t X = 0;
  int64_t Y = 0;
};

// Pen moves and figures in 64-bit coordinates. A line or polygon reaching
// outside the 32-bit range is first cut to a box far around the bitmap, so
// it keeps its slope where it is seen (clamping each end would turn it).
class TPlotter {
public:
  explicit TPlotter(TCanvas& Canvas) : FCanvas(Canvas) {
    const TBitmap& B = *Canvas.GetSurface();
    FHi = std::min<double>(INT32_MAX, Margin + std::max(B.GetWidth(), B.GetHeight()));
  }

  void MoveTo(int64_t X, int64_t Y) {
    FPos = {X, Y};
    FCanvasAtPos = false;
  }

  void LineTo(int64_t X, int64_t Y) {
    const TPoint64 To{X, Y};
    if (Inside(FPos) && Inside(To)) {
      // Unclipped lines continue from the canvas's pen, keeping a dash
      // pattern running along the figure.
      if (!FCanvasAtPos) FCanvas.MoveTo(int32_t(FPos.X), int32_t(FPos.Y));
      FCanvas.LineTo(int32_t(X), int32_t(Y));
      FCanvasAtPos = true;
    } else {
      FCanvasAtPos = false;
      double AX = double(FPos.X), AY = double(FPos.Y), BX = double(X), BY = double(Y);
      if (ClipSegment(AX, AY, BX, BY)) {
        FCanvas.MoveTo(int32_t(std::lround(AX)), int32_t(std::lround(AY)));
        FCanvas.LineTo(int32_t(std::lround(BX)), int32_t(std::lround(BY)));
        FCanvasAtPos = Inside(To);
      }
    }
    FPos = To;
  }

  void Polygon(std::span<const TPoint64> Points) {
    std::array<TPoint, 8> Out;
    std::size_t N = 0;
    if (std::all_of(Points.begin(), Points.end(), [&](const TPoint64& P) { return Inside(P); })) {
      for (const TPoint64& P : Points)
        Out[N++] = TPoint{int32_t(P.X), int32_t(P.Y)};
    } else {
      // Sutherland-Hodgman against the four sides of the box; a triangle or
      // diamond gains at most one corner a side.
      std::vector<std::array<double, 2>> Poly, Next;
      for (const TPoint64& P : Points)
        Poly.push_back({double(P.X), double(P.Y)});
      for (int Side = 0; Side < 4 && !Poly.empty(); ++Side) {
        const int Axis = Side & 1;
        const double Bound = Side < 2 ? FLo : FHi;
        auto In = [&](const std::array<double, 2>& P) {
          return Side < 2 ? P[Axis] >= Bound : P[Axis] <= Bound;
        };
        Next.clear();
        for (std::size_t i = 0; i < Poly.size(); ++i) {
          const auto& A = Poly[i];
          const auto& B = Poly[(i + 1) % Poly.size()];
          if (In(A)) Next.push_back(A);
          if (In(A) != In(B)) {
            const double T = (Bound - A[Axis]) / (B[Axis] - A[Axis]);
            std::array<double, 2> C{A[0] + T * (B[0] - A[0]), A[1] + T * (B[1] - A[1])};
            C[Axis] = Bound;
            Next.push_back(C);
          }
        }
        Poly.swap(Next);
      }
      for (const auto& P : Poly)
        Out[N++] = TPoint{int32_t(std::lround(P[0])), int32_t(std::lround(P[1]))};
    }
    if (N > 0) FCanvas.Polygon(std::span<const TPoint>(Out.data(), N));
  }

  // Rectangle and Ellipse with their box clamped into the 32-bit range: the
  // sides that move lie far outside any bitmap.
  void Rectangle(int64_t X1, int64_t Y1, int64_t X2, int64_t Y2) {
    FCanvas.Rectangle(Clamp32(X1), Clamp32(Y1), Clamp32(X2), Clamp32(Y2));
  }
  void Ellipse(int64_t X1, int64_t Y1, int64_t X2, int64_t Y2) {
    FCanvas.Ellipse(Clamp32(X1), Clamp32(Y1), Clamp32(X2), Clamp32(Y2));
  }

private:
  // Lines are cut this far outside the bitmap: rounding the cut ends turns
  // them by less than a pixel in a billion.
  static constexpr double Margin = 1 << 30;

  bool Inside(const TPoint64& P) const {
    return P.X >= FLo && P.X <= FHi && P.Y >= FLo && P.Y <= FHi;
  }

  // Liang-Barsky against the box; false when nothing of the segment is in.
  bool ClipSegment(double& AX, double& AY, double& BX, double& BY) const {
    const double P0[2] = {AX, AY}, D[2] = {BX - AX, BY - AY};
    double T0 = 0, T1 = 1;
    for (int k = 0; k < 2; ++k) {
      if (D[k] == 0) {
        if (P0[k] < FLo || P0[k] > FHi) return false;
        continue;
      }
      double TA = (FLo - P0[k]) / D[k], TB = (FHi - P0[k]) / D[k];
      if (TA > TB) std::swap(TA, TB);
      T0 = std::max(T0, TA);
      T1 = std::min(T1, TB);
    }
    if (T0 > T1) return false;
    AX = P0[0] + T0 * D[0];
    AY = P0[1] + T0 * D[1];
    BX = P0[0] + T1 * D[0];
    BY = P0[1] + T1 * D[1];
    return true;
  }

  TCanvas& FCanvas;
  TPoint64 FPos;
  bool FCanvasAtPos = false;
  const double FLo = -Margin;
  double FHi = Margin;
};

// The outline of the square of half-size s, corners included.
void SquareOutline(TPlotter& P, int64_t x, int64_t y, int64_t s) {
  P.MoveTo(x - s, y - s);
  P.LineTo(x - s, y + s);
  P.LineTo(x + s, y + s);
  P.LineTo(x + s, y - s);
  P.LineTo(x - s, y - s);
}

// The point at distance R from (X, Y) in direction A (clockwise from up).
TPoint64 Toward(int64_t X, int64_t Y, double R, double A) {
  return {X + Rnd(R * std::sin(A)), Y - Rnd(R * std::cos(A))};
}

} // namespace

void DrawLandMarkSymbolOnCanvas(TCanvas& Canvas, int32_t X, int32_t Y, TLandMarkElement Kind,
                                TColor ColorFG, TColor ColorBG, int32_t Size, int32_t Direction,
                                int32_t Length, bool Transparent) {
  TPlotter P(Canvas);
  const int64_t x = X, y = Y, s = Size;
  const double a = Radians(Direction);
  TPen& Pen = Canvas.GetPen();
  TBrush& Brush = Canvas.GetBrush();
  switch (Kind) {
  case lmPlus:
    if (!Transparent) {
      Pen.SetColor(ColorBG);
      for (int i = -1; i <= 1; ++i)
        for (int j = -1; j <= 1; ++j) {
          P.MoveTo(x + i, y + j - s);
          P.LineTo(x + i, y + j + s + 1);
          P.MoveTo(x + i - s, y + j);
          P.LineTo(x + i + s + 1, y + j);
        }
    }
    Pen.SetColor(ColorFG);
    P.MoveTo(x, y - s);
    P.LineTo(x, y + s + 1);
    P.MoveTo(x - s, y);
    P.LineTo(x + s + 1, y);
    break;
  case lmTriangle: {
    Pen.SetColor(ColorFG);
    Brush.SetColor(ColorBG);
    const TPoint64 T[3] = {Toward(x, y, double(s), a), Toward(x, y, double(s), a + TwoThirdsPi),
                           Toward(x, y, double(s), a - TwoThirdsPi)};
    if (Transparent) {
      P.MoveTo(T[0].X, T[0].Y);
      P.LineTo(T[1].X, T[1].Y);
      P.LineTo(T[2].X, T[2].Y);
      P.LineTo(T[0].X, T[0].Y);
    } else {
      P.Polygon(T);
    }
    break;
  }
  case lmCircle:
    Pen.SetColor(ColorFG);
    Brush.SetColor(ColorBG);
    if (Transparent) Brush.SetStyle(bsClear);
    P.Ellipse(x - s, y - s, x + s, y + s);
    break;
  case lmArrowFrom:
  case lmArrowTo: {
    Pen.SetColor(ColorFG);
    Brush.SetColor(ColorBG);
    const TPoint64 Far = Toward(x, y, double(Length), a);
    // The head sits on the tip, its fins reaching back along the shaft.
    const TPoint64 Tip = Kind == lmArrowFrom ? Far : TPoint64{x, y};
    const int64_t Back = Kind == lmArrowFrom ? -1 : 1;
    const TPoint64 H1{Tip.X + Back * Rnd(double(s) * std::sin(a + ArrowFinAngle)),
                      Tip.Y - Back * Rnd(double(s) * std::cos(a + ArrowFinAngle))};
    const TPoint64 H2{Tip.X + Back * Rnd(double(s) * std::sin(a - ArrowFinAngle)),
                      Tip.Y - Back * Rnd(double(s) * std::cos(a - ArrowFinAngle))};
    if (Kind == lmArrowFrom) {
      P.MoveTo(x, y);
      P.LineTo(Far.X, Far.Y);
    } else {
      P.MoveTo(Far.X, Far.Y);
      P.LineTo(x, y);
    }
    if (Transparent) {
      P.LineTo(H1.X, H1.Y);
      P.MoveTo(Tip.X, Tip.Y);
      P.LineTo(H2.X, H2.Y);
    } else {
      const TPoint64 Head[3] = {Tip, H1, H2};
      P.Polygon(Head);
    }
    break;
  }
  case lmSquare:
  case lmCrossBox:
    // Filled: a halo square in the background colour around the framed box.
    Pen.SetColor(Transparent ? ColorFG : ColorBG);
    SquareOutline(P, x, y, s);
    if (!Transparent) {
      Pen.SetColor(ColorFG);
      Brush.SetColor(ColorBG);
      P.Rectangle(x - s + 1, y - s + 1, x + s, y + s);
    }
    if (Kind == lmSquare) break;
    if (Transparent) {
      P.LineTo(x + s, y + s); // on from the outline's last corner
      P.MoveTo(x - s, y + s);
      P.LineTo(x + s, y - s);
    } else {
      P.MoveTo(x - s + 1, y + s - 1);
      P.LineTo(x + s, y - s);
      P.MoveTo(x + s - 1, y + s - 1);
      P.LineTo(x - s, y - s);
    }
    break;
  case lmSpade:
    Pen.SetColor(ColorFG);
    Brush.SetColor(ColorBG);
    if (Transparent) {
      P.MoveTo(x, y - s);
      P.LineTo(x + s, y);
      P.LineTo(x, y + s);
      P.LineTo(x - s, y);
      P.LineTo(x, y - s);
    } else {
      const TPoint64 Diamond[4] = {{x + s, y}, {x, y + s}, {x - s, y}, {x, y - s}};
      P.Polygon(Diamond);
    }
    break;
  case lmCross:
    if (!Transparent) {
      Pen.SetColor(ColorBG);
      for (int i = -1; i <= 1; ++i)
        for (int j = -1; j <= 1; ++j) {
          P.MoveTo(x + s + i, y + j - s);
          P.LineTo(x - s + i - 1, y + j + s + 1);
          P.MoveTo(x + i - s, y - s + j);
          P.LineTo(x + i + s + 1, y + s + j + 1);
        }
    }
    Pen.SetColor(ColorFG);
    P.MoveTo(x - s, y - s);
    P.LineTo(x + s + 1, y + s + 1);
    P.MoveTo(x - s, y + s);
    P.LineTo(x + s + 1, y - s - 1);
    break;
  case lmUserDef:
  default:
    break;
  }
}

void DrawLandMarkCaption(TCanvas& Canvas, int32_t X, int32_t Y, const TLMTextProperties& Caption) {
  if (Caption.Text.Empty()) return;
  Canvas.GetBrush().SetColor(Caption.BGColor);
  TFont& Font = Canvas.GetFont();
  Font.SetColor(Caption.FGColor);
  Font.SetSize(Caption.Size);
  Font.SetStyle(Caption.FontStyles);
  Font.SetName(Caption.FontName);
  Canvas.GetBrush().SetStyle(Caption.Transparent ? bsClear : bsSolid);
  if (Caption.Direction != 0) {
    TLogFont Log = Font.GetLogFont();
    // Tenths of a degree; a direction whose tenths leave the 32-bit range
    // is taken modulo a full turn, which draws the same.
    int64_t Tenths = int64_t(Caption.Direction) * 10;
    if (Tenths < INT32_MIN || Tenths > INT32_MAX) Tenths %= 3600;
    Log.lfEscapement = Log.lfOrientation = int32_t(Tenths);
    Log.lfCharSet = DEFAULT_CHARSET;
    Log.lfOutPrecision = 0;
    Log.lfClipPrecision = 0;
    Log.lfQuality = ANTIALIASED_QUALITY;
    Log.lfPitchAndFamily = 0;
    Font.SetLogFont(Log);
  }
  if (Caption.HAlignment > lmhCenter || Caption.VAlignment > lmvBottom) return;
  const std::string Text = Caption.Text.ToString();
  const int64_t w = Canvas.TextWidth(Text) / 2, h = Canvas.TextHeight(Text) / 2;
  static constexpr int64_t HFactor[3] = {0, 2, 1}; // left, right, centred
  const int64_t f = HFactor[Caption.HAlignment], g = Caption.VAlignment;
  int64_t TX = int64_t(X) + Caption.dx, TY = int64_t(Y) + Caption.dy;
  if (f != 0 || g != 0) {
    const double a = Radians(Caption.Direction);
    TX += Rnd(double(-f * w) * std::cos(a) - double(g * h) * std::sin(a));
    TY += Rnd(double(f * w) * std::sin(a) - double(g * h) * std::cos(a));
  }
  Canvas.TextOut(Clamp32(TX), Clamp32(TY), Text);
}

} // namespace qeb
