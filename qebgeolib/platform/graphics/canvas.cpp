// The rasterizer: pixels, spans, thin and wide lines, rectangles, ellipses,
// polygons and text boxes, all clipped to the bitmap.
#include "qebgeolib/platform/graphics/canvas.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "qebgeolib/platform/graphics/bitmap.h"
#include "qebgeolib/platform/graphics/detail/int128.h"
#include "qebgeolib/platform/graphics/detail/pixelrows.h"
#include "qebgeolib/platform/graphics/detail/stretch.h"
#include "qebgeolib/platform/graphics/fonts.h"

namespace qeb {

namespace {

using detail::Int128;

// Pixel access per format; Mask holds the bits a stored value may use.
struct F4 {
  static constexpr uint32_t Mask = 0xF;
  static uint32_t Get(const uint8_t* Row, int64_t X) {
    return (X & 1) ? (Row[X >> 1] & 15) : (Row[X >> 1] >> 4);
  }
  static void Put(uint8_t* Row, int64_t X, uint32_t V) {
    uint8_t& B = Row[X >> 1];
    B = (X & 1) ? uint8_t((B & 0xF0) | V) : uint8_t((B & 0x0F) | V << 4);
  }
  static void Fill(uint8_t* Row, int64_t X0, int64_t X1, uint32_t V) {
    if (X0 & 1) Put(Row, X0++, V);
    if (X1 > X0 && (X1 & 1)) Put(Row, --X1, V);
    if (X1 > X0) std::memset(Row + (X0 >> 1), int(V * 17), std::size_t((X1 - X0) >> 1));
  }
};
struct F8 {
  static constexpr uint32_t Mask = 0xFF;
  static uint32_t Get(const uint8_t* Row, int64_t X) { return Row[X]; }
  static void Put(uint8_t* Row, int64_t X, uint32_t V) { Row[X] = uint8_t(V); }
  static void Fill(uint8_t* Row, int64_t X0, int64_t X1, uint32_t V) {
    std::memset(Row + X0, int(V), std::size_t(X1 - X0));
  }
};
struct F15 {
  static constexpr uint32_t Mask = 0x7FFF;
  static uint32_t Get(const uint8_t* Row, int64_t X) { return detail::Load16(Row + 2 * X); }
  static void Put(uint8_t* Row, int64_t X, uint32_t V) {
    detail::Store16(Row + 2 * X, uint16_t(V));
  }
  static void Fill(uint8_t* Row, int64_t X0, int64_t X1, uint32_t V) {
    for (int64_t X = X0; X < X1; ++X)
      Put(Row, X, V);
  }
};
struct F24 {
  static constexpr uint32_t Mask = 0xFFFFFF;
  static uint32_t Get(const uint8_t* Row, int64_t X) { return detail::Load24(Row + 3 * X); }
  static void Put(uint8_t* Row, int64_t X, uint32_t V) { detail::Store24(Row + 3 * X, V); }
  static void Fill(uint8_t* Row, int64_t X0, int64_t X1, uint32_t V) {
    uint8_t* P = Row + 3 * X0;
    for (int64_t X = X0; X < X1; ++X, P += 3)
      detail::Store24(P, V);
  }
};
struct F32 {
  static constexpr uint32_t Mask = 0xFFFFFF;
  static uint32_t Get(const uint8_t* Row, int64_t X) { return detail::Load32(Row + 4 * X); }
  static void Put(uint8_t* Row, int64_t X, uint32_t V) { detail::Store32(Row + 4 * X, V); }
  static void Fill(uint8_t* Row, int64_t X0, int64_t X1, uint32_t V) {
    for (int64_t X = X0; X < X1; ++X)
      Put(Row, X, V);
  }
};

template <class Fn> void WithFormat(TPixelFormat Format, Fn&& F) {
  switch (Format) {
  case pf4bit:
    F(F4{});
    break;
  case pf8bit:
    F(F8{});
    break;
  case pf15bit:
    F(F15{});
    break;
  case pf24bit:
    F(F24{});
    break;
  case pf32bit:
    F(F32{});
    break;
  }
}

uint32_t FormatMask(TPixelFormat Format) {
  uint32_t M = 0;
  WithFormat(Format, [&](auto Fmt) { M = decltype(Fmt)::Mask; });
  return M;
}

// GDI's binary raster operation numbers (R2_*) of the pen modes.
constexpr uint8_t Rop2Code[16] = {1, 16, 11, 6, 13, 4, 14, 5, 12, 3, 15, 2, 9, 8, 7, 10};

// Dash patterns: lengths of alternating on and off runs.
struct TDashPattern {
  bool On[24];
  int Len;
};
TDashPattern MakePattern(std::initializer_list<int> Runs) {
  TDashPattern P{};
  bool On = true;
  for (int R : Runs) {
    for (int k = 0; k < R; ++k)
      P.On[P.Len++] = On;
    On = !On;
  }
  return P;
}
const TDashPattern* PatternOf(TPenStyle Style) {
  static const TDashPattern Dash = MakePattern({18, 6});
  static const TDashPattern Dot = MakePattern({3, 3});
  static const TDashPattern DashDot = MakePattern({9, 6, 3, 6});
  static const TDashPattern DashDotDot = MakePattern({9, 3, 3, 3, 3, 3});
  switch (Style) {
  case psDash:
    return &Dash;
  case psDot:
    return &Dot;
  case psDashDot:
    return &DashDot;
  case psDashDotDot:
    return &DashDotDot;
  default:
    return nullptr;
  }
}

template <class F> void SpanT(uint8_t* Row, int64_t X0, int64_t X1, uint32_t And, uint32_t Xor) {
  if (And == 0) {
    F::Fill(Row, X0, X1, Xor);
  } else {
    for (int64_t X = X0; X < X1; ++X)
      F::Put(Row, X, (F::Get(Row, X) & And) ^ Xor);
  }
}

// Smallest i >= 0 with floor((2 i Ad + N) / 2N) >= K, for Ad > 0.
int64_t FirstReaching(int64_t K, int64_t Ad, int64_t N) {
  const Int128 Num = Int128(2) * N * K - N;
  if (Num <= 0) return 0;
  const Int128 Den = Int128(2) * Ad;
  const Int128 I = (Num + Den - 1) / Den;
  return I > Int128(INT64_MAX) ? INT64_MAX : int64_t(I);
}

// Columns [L, R) of row Y of the ellipse inscribed in the box X1..X2-1,
// Y1..Y2-1. Rows through the centre run the full width and no row is
// empty, so the figure always reaches every side of the box; each row is
// symmetric about the centre column.
bool EllipseRow(int64_t X1, int64_t Y1, int64_t X2, int64_t Y2, int64_t Y, int64_t& L, int64_t& R) {
  if (Y < Y1 || Y >= Y2 || X2 <= X1) return false;
  const int64_t W = X2 - X1, H = Y2 - Y1, i = Y - Y1;
  const bool Centre = (H & 1) ? i == (H - 1) / 2 : (i == H / 2 - 1 || i == H / 2);
  if (Centre) {
    L = X1;
    R = X2;
    return true;
  }
  const double VY = double(2 * i + 1 - H) / double(H);
  const double HalfWidth = 0.5 * double(W) * std::sqrt(std::max(0.0, 1.0 - VY * VY));
  int64_t JL = int64_t(std::ceil(0.5 * double(W - 1) - HalfWidth));
  if (JL > (W - 1) / 2) JL = (W - 1) / 2;
  L = X1 + JL;
  R = X1 + (W - 1 - JL) + 1;
  return true;
}

int32_t ClampToInt32(double V) {
  return int32_t(std::clamp(std::round(V), double(INT32_MIN), double(INT32_MAX)));
}

} // namespace

TCanvas::TCanvas(TBitmap* Surface)
    : FSurface(Surface), FScratch(std::make_unique<detail::TStretchScratch>()) {}

TCanvas::~TCanvas() = default;

void TCanvas::SetPen(const TPen& Value) {
  FPen.Assign(&Value);
}

void TCanvas::SetBrush(const TBrush& Value) {
  FBrush.Assign(&Value);
}

void TCanvas::SetStretchBltMode(TStretchBltMode Value) {
  FStretchMode = Value == sbmHalftone ? sbmHalftone : sbmColorOnColor;
}

TRect TCanvas::GetClipRect() const {
  return TRect{0, 0, FSurface->GetWidth(), FSurface->GetHeight()};
}

TCanvas::TRop2 TCanvas::MakeRop(TColor Color, TPenMode Mode) const {
  const uint32_t M = FormatMask(FSurface->GetPixelFormat());
  const uint32_t P = FSurface->ColorToPixel(Color) & M;
  const unsigned T = Rop2Code[Mode & 15] - 1u;
  auto Op = [&](uint32_t D) {
    uint32_t R = 0;
    if (T & 8) R |= P & D;
    if (T & 4) R |= P & ~D;
    if (T & 2) R |= ~P & D;
    if (T & 1) R |= ~P & ~D;
    return R & M;
  };
  const uint32_t F0 = Op(0), F1 = Op(M);
  return TRop2{F0 ^ F1, F0};
}

void TCanvas::PenSpan(int32_t Y, int64_t X0, int64_t X1, const TRop2& Rop) {
  if (Y < 0 || Y >= FSurface->GetHeight()) return;
  X0 = std::max<int64_t>(X0, 0);
  X1 = std::min<int64_t>(X1, FSurface->GetWidth());
  if (X0 >= X1) return;
  uint8_t* Row = FSurface->GetBits() + int64_t(Y) * FSurface->GetScanLineSize();
  WithFormat(FSurface->GetPixelFormat(),
             [&](auto Fmt) { SpanT<decltype(Fmt)>(Row, X0, X1, Rop.And, Rop.Xor); });
}

int32_t TCanvas::OutlineWidth() const {
  return FPen.GetStyle() == psClear ? 0 : FPen.GetWidth();
}

void TCanvas::MoveTo(int32_t X, int32_t Y) {
  FPenPos = TPoint{X, Y};
  FDashPos = 0;
}

void TCanvas::LineTo(int32_t X, int32_t Y) {
  Segment(FPenPos.X, FPenPos.Y, X, Y);
  FPenPos = TPoint{X, Y};
}

void TCanvas::Segment(int64_t X0, int64_t Y0, int64_t X1, int64_t Y1) {
  if (FPen.GetStyle() == psClear) return;
  if (FPen.GetWidth() > 1)
    WideSegment(X0, Y0, X1, Y1);
  else
    ThinSegment(X0, Y0, X1, Y1);
}

void TCanvas::ThinSegment(int64_t X0, int64_t Y0, int64_t X1, int64_t Y1) {
  const int64_t DX = X1 - X0, DY = Y1 - Y0;
  const int64_t ADX = DX < 0 ? -DX : DX, ADY = DY < 0 ? -DY : DY;
  const int64_t N = std::max(ADX, ADY);
  if (N == 0) return;
  const TDashPattern* Pattern = PatternOf(FPen.GetStyle());
  const int32_t Phase0 = FDashPos;
  if (Pattern) FDashPos = int32_t((FDashPos + N) % Pattern->Len);

  // Pixel i (0 <= i < N) lies i steps along the major axis and
  // floor((2 i Ad + N) / 2N) steps along the minor one, Ad being the minor
  // extent. Clipping picks the range of i directly, so a clipped line has
  // exactly the pixels of the unclipped one.
  const bool XMajor = ADX >= ADY;
  const int64_t Maj0 = XMajor ? X0 : Y0, Min0 = XMajor ? Y0 : X0;
  const int64_t SMaj = (XMajor ? DX : DY) < 0 ? -1 : 1;
  const int64_t SMin = (XMajor ? DY : DX) < 0 ? -1 : 1;
  const int64_t Ad = XMajor ? ADY : ADX;
  const int64_t MajLim = XMajor ? FSurface->GetWidth() : FSurface->GetHeight();
  const int64_t MinLim = XMajor ? FSurface->GetHeight() : FSurface->GetWidth();

  int64_t IA = 0, IB = N;
  if (SMaj > 0) {
    IA = std::max(IA, -Maj0);
    IB = std::min(IB, MajLim - Maj0);
  } else {
    IA = std::max(IA, Maj0 - MajLim + 1);
    IB = std::min(IB, Maj0 + 1);
  }
  const int64_t MLo = SMin > 0 ? -Min0 : Min0 - MinLim + 1;
  const int64_t MHi = SMin > 0 ? MinLim - Min0 : Min0 + 1;
  if (Ad == 0) {
    if (!(MLo <= 0 && 0 < MHi)) return;
  } else {
    IA = std::max(IA, FirstReaching(MLo, Ad, N));
    IB = std::min(IB, FirstReaching(MHi, Ad, N));
  }
  if (IA >= IB) return;

  const Int128 Num = Int128(2) * IA * Ad + N;
  int64_t M = int64_t(Num / (Int128(2) * N));
  int64_t Rem = int64_t(Num % (Int128(2) * N));
  int64_t Maj = Maj0 + SMaj * IA;
  int64_t Min = Min0 + SMin * M;
  const int64_t TwoAd = 2 * Ad, TwoN = 2 * N;
  const int64_t Stride = FSurface->GetScanLineSize();
  uint8_t* Bits = FSurface->GetBits();
  const TRop2 Pen = MakeRop(FPen.GetColor(), FPen.GetMode());
  const bool Gaps = Pattern && FBrush.GetStyle() != bsClear;
  const TRop2 Gap = Gaps ? MakeRop(FBrush.GetColor(), FPen.GetMode()) : TRop2{};
  int32_t Phase = Pattern ? int32_t((Phase0 + IA) % Pattern->Len) : 0;
  const int64_t Count = IB - IA;

  WithFormat(FSurface->GetPixelFormat(), [&](auto Fmt) {
    using F = decltype(Fmt);
    for (int64_t k = 0; k < Count; ++k) {
      const int64_t X = XMajor ? Maj : Min, Y = XMajor ? Min : Maj;
      uint8_t* Row = Bits + Y * Stride;
      if (!Pattern) {
        F::Put(Row, X, (F::Get(Row, X) & Pen.And) ^ Pen.Xor);
      } else {
        if (Pattern->On[Phase])
          F::Put(Row, X, (F::Get(Row, X) & Pen.And) ^ Pen.Xor);
        else if (Gaps)
          F::Put(Row, X, (F::Get(Row, X) & Gap.And) ^ Gap.Xor);
        if (++Phase == Pattern->Len) Phase = 0;
      }
      Maj += SMaj;
      Rem += TwoAd;
      if (Rem >= TwoN) {
        Rem -= TwoN;
        Min += SMin;
      }
    }
  });
}

// A wide pen paints every pixel within Width/2 of the segment (round caps).
// Pixel (x, y) is taken at (x, y); for even widths the segment is moved by
// half a pixel up and left so the band covers exactly Width rows or columns.
void TCanvas::WideSegment(int64_t X0, int64_t Y0, int64_t X1, int64_t Y1) {
  if (X0 == X1 && Y0 == Y1) return;
  const double R = 0.5 * FPen.GetWidth();
  const double Off = (FPen.GetWidth() & 1) ? 0.0 : -0.5;
  double AX = double(X0) + Off, AY = double(Y0) + Off, BX = double(X1) + Off, BY = double(Y1) + Off;
  const double W = FSurface->GetWidth(), H = FSurface->GetHeight();

  // Cut the segment to a box a little larger than the bitmap (Liang-Barsky);
  // the caps of a cut end lie outside the bitmap anyway.
  {
    const double Lo[2] = {-R - 2, -R - 2}, Hi[2] = {W + R + 2, H + R + 2};
    const double P0[2] = {AX, AY}, D[2] = {BX - AX, BY - AY};
    double T0 = 0, T1 = 1;
    for (int k = 0; k < 2; ++k) {
      if (D[k] == 0) {
        if (P0[k] < Lo[k] || P0[k] > Hi[k]) return;
        continue;
      }
      double TA = (Lo[k] - P0[k]) / D[k], TB = (Hi[k] - P0[k]) / D[k];
      if (TA > TB) std::swap(TA, TB);
      T0 = std::max(T0, TA);
      T1 = std::min(T1, TB);
    }
    if (T0 > T1) return;
    const double NAX = AX + T0 * D[0], NAY = AY + T0 * D[1];
    BX = AX + T1 * D[0];
    BY = AY + T1 * D[1];
    AX = NAX;
    AY = NAY;
  }

  const TRop2 Pen = MakeRop(FPen.GetColor(), FPen.GetMode());
  const double DX = BX - AX, DY = BY - AY, L2 = DX * DX + DY * DY, L = std::sqrt(L2);
  const int64_t YTop = std::max<int64_t>(0, int64_t(std::ceil(std::min(AY, BY) - R)));
  const int64_t YBot = std::min<int64_t>(int64_t(H) - 1, int64_t(std::floor(std::max(AY, BY) + R)));
  for (int64_t Y = YTop; Y <= YBot; ++Y) {
    const double PY = double(Y);
    double XL = INFINITY, XR = -INFINITY;
    auto Disk = [&](double CX, double CY) {
      const double T = R * R - (PY - CY) * (PY - CY);
      if (T < 0) return;
      const double S = std::sqrt(T);
      XL = std::min(XL, CX - S);
      XR = std::max(XR, CX + S);
    };
    Disk(AX, AY);
    Disk(BX, BY);
    if (L > 0) {
      // The band between the caps: |cross| <= R L and 0 <= dot <= L^2.
      double Lo = -INFINITY, Hi = INFINITY;
      const double V = PY - AY;
      bool Empty = false;
      if (DY != 0) {
        double A = (DX * V - R * L) / DY, B = (DX * V + R * L) / DY;
        if (A > B) std::swap(A, B);
        Lo = std::max(Lo, AX + A);
        Hi = std::min(Hi, AX + B);
      } else if (std::fabs(DX * V) > R * L) {
        Empty = true;
      }
      if (DX != 0) {
        double A = (-DY * V) / DX, B = (L2 - DY * V) / DX;
        if (A > B) std::swap(A, B);
        Lo = std::max(Lo, AX + A);
        Hi = std::min(Hi, AX + B);
      } else if (DY * V < 0 || DY * V > L2) {
        Empty = true;
      }
      if (!Empty && Lo <= Hi) {
        XL = std::min(XL, Lo);
        XR = std::max(XR, Hi);
      }
    }
    if (XL > XR) continue;
    const double CL = std::max(std::ceil(XL), -1.0), CR = std::min(std::floor(XR), W);
    if (CL > CR) continue;
    PenSpan(int32_t(Y), int64_t(CL), int64_t(CR) + 1, Pen);
  }
}

void TCanvas::Polyline(std::span<const TPoint> Points) {
  if (Points.size() < 2) return;
  FDashPos = 0;
  for (std::size_t i = 1; i < Points.size(); ++i)
    Segment(Points[i - 1].X, Points[i - 1].Y, Points[i].X, Points[i].Y);
}

// Row y crosses edge A-B when it lies in [min, max) of the edge's rows, and
// pixel x is in when left crossing <= x < right crossing, for samples taken
// at (x, y), or at (x + 1/2, y + 1/2) with AtCentres. The crossings are
// worked out exactly in doubled units, so vertices far outside the bitmap
// give the same pixels as near ones; only rows of the bitmap are visited.
void TCanvas::FillPolygon(std::span<const TPoint> Points, bool AtCentres, const TRop2& Fill) {
  const int32_t W = FSurface->GetWidth(), H = FSurface->GetHeight();
  const int64_t S = AtCentres ? 1 : 0;
  int64_t Top = INT64_MAX, Bottom = INT64_MIN;
  for (const TPoint& P : Points) {
    Top = std::min<int64_t>(Top, P.Y);
    Bottom = std::max<int64_t>(Bottom, P.Y);
  }
  const int64_t Y0 = std::max<int64_t>(Top, 0), Y1 = std::min<int64_t>(Bottom, H);
  const std::size_t N = Points.size();
  for (int64_t Y = Y0; Y < Y1; ++Y) {
    const int64_t Y2 = 2 * Y + S;
    FCrossings.clear();
    for (std::size_t i = 0; i < N; ++i) {
      const TPoint& A = Points[i];
      const TPoint& B = Points[(i + 1) % N];
      if (A.Y == B.Y) continue;
      if (Y2 < 2 * int64_t(std::min(A.Y, B.Y)) || Y2 >= 2 * int64_t(std::max(A.Y, B.Y))) continue;
      // First pixel right of the crossing: ceil(((2 AX - S) D + (Y2 - 2 AY) DX) / 2D).
      int64_t D = int64_t(B.Y) - A.Y, DX = int64_t(B.X) - A.X;
      if (D < 0) {
        D = -D;
        DX = -DX;
      }
      const Int128 Num = Int128(2 * int64_t(A.X) - S) * D + Int128(Y2 - 2 * int64_t(A.Y)) * DX;
      const Int128 Den = Int128(2) * D;
      Int128 Q = Num / Den;
      if (Num > 0 && !(Num % Den == 0)) Q = Q + 1;
      FCrossings.push_back(Q < -1 ? -1 : Q > Int128(W) + 1 ? int64_t(W) + 1 : int64_t(Q));
    }
    std::sort(FCrossings.begin(), FCrossings.end());
    for (std::size_t k = 0; k + 1 < FCrossings.size(); k += 2)
      PenSpan(int32_t(Y), FCrossings[k], FCrossings[k + 1], Fill);
  }
}

void TCanvas::Polygon(std::span<const TPoint> Points) {
  if (Points.size() < 2) return;
  if (FBrush.GetStyle() != bsClear && Points.size() >= 3)
    FillPolygon(Points, false, MakeRop(FBrush.GetColor(), FPen.GetMode()));
  FDashPos = 0;
  const std::size_t N = Points.size();
  for (std::size_t i = 0; i < N; ++i) {
    const TPoint& A = Points[i];
    const TPoint& B = Points[(i + 1) % N];
    Segment(A.X, A.Y, B.X, B.Y);
  }
}

void TCanvas::Rectangle(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  int64_t L = std::min(X1, X2), R = std::max(X1, X2), T = std::min(Y1, Y2), B = std::max(Y1, Y2);
  if (L == R || T == B) return;
  const int32_t Width = OutlineWidth();
  const bool Fill = FBrush.GetStyle() != bsClear;
  const TRop2 BrushRop = Fill ? MakeRop(FBrush.GetColor(), FPen.GetMode()) : TRop2{};
  auto FillBox = [&](int64_t BL, int64_t BT, int64_t BR, int64_t BB, const TRop2& Rop) {
    const int64_t YA = std::max<int64_t>(BT, 0), YB = std::min<int64_t>(BB, FSurface->GetHeight());
    for (int64_t Y = YA; Y < YB; ++Y)
      PenSpan(int32_t(Y), BL, BR, Rop);
  };
  if (Width == 0) {
    if (Fill) FillBox(L, T, R, B, BrushRop);
    return;
  }
  const TRop2 Pen = MakeRop(FPen.GetColor(), FPen.GetMode());
  if (Width == 1 && FPen.GetStyle() != psInsideFrame) {
    if (Fill) FillBox(L + 1, T + 1, R - 1, B - 1, BrushRop);
    if (R - L == 1 || B - T == 1) {
      FillBox(L, T, R, B, Pen); // a single row or column
      return;
    }
    FDashPos = 0;
    ThinSegment(L, T, R - 1, T);
    ThinSegment(R - 1, T, R - 1, B - 1);
    ThinSegment(R - 1, B - 1, L, B - 1);
    ThinSegment(L, B - 1, L, T);
    return;
  }
  const int64_t A = FPen.GetStyle() == psInsideFrame ? 0 : (Width - 1) / 2;
  const int64_t OL = L - A, OT = T - A, OR = R + A, OB = B + A;
  const int64_t IL = OL + Width, IT = OT + Width, IR = OR - Width, IB = OB - Width;
  const bool Inner = IL < IR && IT < IB;
  const int64_t YA = std::max<int64_t>(OT, 0), YB = std::min<int64_t>(OB, FSurface->GetHeight());
  for (int64_t Y = YA; Y < YB; ++Y) {
    if (Inner && Y >= IT && Y < IB) {
      PenSpan(int32_t(Y), OL, IL, Pen);
      PenSpan(int32_t(Y), IR, OR, Pen);
      if (Fill) PenSpan(int32_t(Y), IL, IR, BrushRop);
    } else {
      PenSpan(int32_t(Y), OL, OR, Pen);
    }
  }
}

void TCanvas::Ellipse(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  const int64_t L = std::min(X1, X2), R = std::max(X1, X2), T = std::min(Y1, Y2),
                B = std::max(Y1, Y2);
  if (L == R || T == B) return;
  const int32_t Width = OutlineWidth();
  const bool Fill = FBrush.GetStyle() != bsClear;
  const TRop2 BrushRop = Fill ? MakeRop(FBrush.GetColor(), FPen.GetMode()) : TRop2{};
  const TRop2 Pen = Width ? MakeRop(FPen.GetColor(), FPen.GetMode()) : TRop2{};
  const int64_t A = (Width == 0 || FPen.GetStyle() == psInsideFrame) ? 0 : (Width - 1) / 2;
  const int64_t OL = L - A, OT = T - A, OR = R + A, OB = B + A;
  const int64_t IL = OL + Width, IT = OT + Width, IR = OR - Width, IB = OB - Width;
  const bool Inner = IL < IR && IT < IB;
  const int64_t YA = std::max<int64_t>(OT, 0), YB = std::min<int64_t>(OB, FSurface->GetHeight());
  for (int64_t Y = YA; Y < YB; ++Y) {
    int64_t SL = 0, SR = 0, JL = 0, JR = 0;
    EllipseRow(OL, OT, OR, OB, Y, SL, SR); // Y lies within the outer rows
    if (Width == 0) {
      if (Fill) PenSpan(int32_t(Y), SL, SR, BrushRop);
      continue;
    }
    if (Inner && EllipseRow(IL, IT, IR, IB, Y, JL, JR)) {
      JL = std::max(JL, SL);
      JR = std::min(JR, SR);
      if (JL < JR) {
        PenSpan(int32_t(Y), SL, JL, Pen);
        PenSpan(int32_t(Y), JR, SR, Pen);
        if (Fill) PenSpan(int32_t(Y), JL, JR, BrushRop);
        continue;
      }
    }
    PenSpan(int32_t(Y), SL, SR, Pen);
  }
}

void TCanvas::FillRect(const TRect& Rc) {
  if (FBrush.GetStyle() == bsClear || Rc.IsEmpty()) return;
  const TRop2 Rop = MakeRop(FBrush.GetColor(), pmCopy);
  const int64_t YA = std::max<int64_t>(Rc.Top, 0),
                YB = std::min<int64_t>(Rc.Bottom, FSurface->GetHeight());
  for (int64_t Y = YA; Y < YB; ++Y)
    PenSpan(int32_t(Y), Rc.Left, Rc.Right, Rop);
}

void TCanvas::FrameRect(const TRect& Rc) {
  if (Rc.IsEmpty()) return;
  FillRect(TRect{Rc.Left, Rc.Top, Rc.Right, Rc.Top + 1});
  if (Rc.Bottom - Rc.Top > 1) FillRect(TRect{Rc.Left, Rc.Bottom - 1, Rc.Right, Rc.Bottom});
  FillRect(TRect{Rc.Left, Rc.Top + 1, Rc.Left + 1, Rc.Bottom - 1});
  if (Rc.Right - Rc.Left > 1) FillRect(TRect{Rc.Right - 1, Rc.Top + 1, Rc.Right, Rc.Bottom - 1});
}

TColor TCanvas::GetPixels(int32_t X, int32_t Y) const {
  if (!GetClipRect().Contains(Point(X, Y))) return 0xFFFFFFFF;
  return FSurface->PixelToColor(detail::GetPixelValue(*FSurface, X, Y));
}

void TCanvas::SetPixels(int32_t X, int32_t Y, TColor Color) {
  if (!GetClipRect().Contains(Point(X, Y))) return;
  detail::SetPixelValue(*FSurface, X, Y, FSurface->ColorToPixel(Color));
}

TSize TCanvas::TextExtent(std::string_view Text) {
  return FFont.GetFace()->Extent(Text);
}

void TCanvas::TextOut(int32_t X, int32_t Y, std::string_view Text) {
  const std::shared_ptr<TFontFace> Face = FFont.GetFace();
  const TSize Size = Face->Extent(Text);
  if (FBrush.GetStyle() != bsClear && Size.cx > 0) {
    const TRop2 Rop = MakeRop(FBrush.GetColor(), pmCopy);
    if (Face->Escapement() == 0) {
      const int64_t YA = std::max<int64_t>(Y, 0),
                    YB = std::min<int64_t>(int64_t(Y) + Size.cy, FSurface->GetHeight());
      for (int64_t Row = YA; Row < YB; ++Row)
        PenSpan(int32_t(Row), X, int64_t(X) + Size.cx, Rop);
    } else {
      // The turned box sampled at pixel centres, as the glyph coverage is.
      const double A = Face->Escapement() * (3.14159265358979323846 / 1800.0);
      const double C = std::cos(A), S = std::sin(A);
      auto Corner = [&](double U, double V) { // U along the baseline, V downwards
        return TPoint{ClampToInt32(X + U * C + V * S), ClampToInt32(Y - U * S + V * C)};
      };
      const TPoint Box[4] = {Corner(0, 0), Corner(Size.cx, 0), Corner(Size.cx, Size.cy),
                             Corner(0, Size.cy)};
      FillPolygon(Box, true, Rop);
    }
  }
  Face->Draw(*FSurface, X, Y, Text, ColorToRGB(FFont.GetColor()));
  FPenPos = TPoint{int32_t(std::clamp<int64_t>(int64_t(X) + Size.cx, INT32_MIN, INT32_MAX)), Y};
}

void TCanvas::CopyRect(const TRect& Dest, TCanvas& Source, const TRect& SourceRect) {
  StretchBlt(Dest.Left, Dest.Top, Dest.Right - Dest.Left, Dest.Bottom - Dest.Top, Source,
             SourceRect.Left, SourceRect.Top, SourceRect.Right - SourceRect.Left,
             SourceRect.Bottom - SourceRect.Top, FCopyMode);
}

void TCanvas::StretchBlt(int32_t X, int32_t Y, int32_t Width, int32_t Height, TCanvas& Source,
                         int32_t SX, int32_t SY, int32_t SWidth, int32_t SHeight, TCopyMode Rop) {
  const TBitmap* Src = Source.FSurface;
  std::unique_ptr<TBitmap> Snapshot; // a copy within one bitmap reads from a snapshot
  if (Src == FSurface) {
    Snapshot = std::make_unique<TBitmap>();
    Snapshot->Assign(FSurface);
    Src = Snapshot.get();
  }
  detail::BlockCopy(*FSurface, X, Y, Width, Height, *Src, SX, SY, SWidth, SHeight, Rop,
                    FStretchMode, FBrush.GetStyle() == bsClear ? clWhite : FBrush.GetColor(),
                    *FScratch);
}

void TCanvas::Draw(int32_t X, int32_t Y, TBitmap& Graphic) {
  const int32_t W = Graphic.GetWidth(), H = Graphic.GetHeight();
  StretchBlt(X, Y, W, H, Graphic.GetCanvas(), 0, 0, W, H, cmSrcCopy);
}

void TCanvas::StretchDraw(const TRect& R, TBitmap& Graphic) {
  StretchBlt(R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top, Graphic.GetCanvas(), 0, 0,
             Graphic.GetWidth(), Graphic.GetHeight(), cmSrcCopy);
}

} // namespace qeb
