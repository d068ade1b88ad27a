// Block copies: 1:1, nearest-pixel and area-average stretching, raster
// operations, clipping and mirroring.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "qebgeolib/platform/graphics/bitmap.h"
#include "qebgeolib/platform/graphics/canvas.h"

using namespace qeb;

namespace {

void Noise(TBitmap& B, uint32_t Seed) {
  for (int y = 0; y < B.GetHeight(); ++y)
    for (int x = 0; x < B.GetWidth(); ++x) {
      Seed = Seed * 1664525u + 1013904223u;
      B.GetCanvas().SetPixels(x, y, Seed >> 8);
    }
}

TColor Px(TBitmap& B, int X, int Y) {
  return B.GetCanvas().GetPixels(X, Y);
}

// The exact area average of the source region [X0, X1) x [Y0, Y1), by
// channel, as a reference for the fixed-point filter.
double AreaMean(TBitmap& S, double X0, double X1, double Y0, double Y1, int Shift) {
  double Sum = 0, Area = 0;
  for (int y = int(std::floor(Y0)); y < int(std::ceil(Y1)); ++y)
    for (int x = int(std::floor(X0)); x < int(std::ceil(X1)); ++x) {
      const double W = (std::min(X1, x + 1.0) - std::max(X0, double(x))) *
                       (std::min(Y1, y + 1.0) - std::max(Y0, double(y)));
      Sum += W * ((Px(S, x, y) >> Shift) & 0xFF);
      Area += W;
    }
  return Sum / Area;
}

// The area average's taps along one axis, as the library defines them:
// overlaps of the footprint [S0 + p SLen / DLen, S0 + (p + 1) SLen / DLen)
// with the source pixels, scaled to 2^Bits by rounded cumulative sums.
std::vector<std::pair<int, int64_t>> AxisTaps(int64_t S0, int64_t SLen, int64_t DLen, int64_t P,
                                              int Bits) {
  const int64_t FA = S0 * DLen + P * SLen, FB = FA + SLen;
  std::vector<std::pair<int, int64_t>> T;
  int64_t Sum = 0;
  for (int64_t J = FA / DLen; J * DLen < FB; ++J) {
    const int64_t Overlap = std::min(FB, (J + 1) * DLen) - std::max(FA, J * DLen);
    T.emplace_back(int(J), Overlap);
    Sum += Overlap;
  }
  int64_t Cum = 0, Prev = 0;
  for (auto& [J, W] : T) {
    Cum += W;
    const int64_t Now = (Cum * (int64_t(1) << Bits) + Sum / 2) / Sum;
    W = Now - Prev;
    Prev = Now;
  }
  return T;
}

// The exact filter on source columns and rows inside the source: per
// channel, vertical sums with weights of 2^14 cut to 8.8 bits, then
// (2^23 + horizontal sum with weights of 2^16) >> 24.
TColor ExactArea(TBitmap& S, int SX, int SY, int SW, int SH, int DW, int DH, int X, int Y) {
  TColor C = 0;
  for (int Sh = 0; Sh < 24; Sh += 8) {
    uint64_t A = 1u << 23;
    for (auto [J, WX] : AxisTaps(SX, SW, DW, X, 16)) {
      int64_t V = 0;
      for (auto [I, WY] : AxisTaps(SY, SH, DH, Y, 14))
        V += WY * (Px(S, J, I) >> Sh & 0xFF);
      A += uint64_t(WX) * uint64_t(V >> 6);
    }
    C |= TColor(A >> 24) << Sh;
  }
  return C;
}

} // namespace

TEST(CopyRect, OneToOneCopiesAndFormatChanges) {
  for (TPixelFormat F : {pf4bit, pf8bit, pf15bit, pf24bit, pf32bit}) {
    TBitmap S(20, 12, F), D(20, 12, F);
    Noise(S, 3);
    D.GetCanvas().CopyRect(Rect(3, 2, 17, 11), S.GetCanvas(), Rect(1, 0, 15, 9));
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < 20; ++x) {
        const bool In = x >= 3 && x < 17 && y >= 2 && y < 11;
        ASSERT_EQ(Px(D, x, y), In ? Px(S, x - 2, y - 2) : clWhite) << int(F) << " " << x;
      }
  }
  // 24-bit into 15-bit keeps five bits a channel.
  TBitmap S(2, 1, pf24bit), D(2, 1, pf15bit);
  S.GetCanvas().SetPixels(0, 0, RGB(0x13, 0x57, 0x9B));
  D.GetCanvas().Draw(0, 0, S);
  EXPECT_EQ(Px(D, 0, 0), RGB(0x10, 0x52, 0x9C));
  EXPECT_EQ(Px(D, 1, 0), clWhite);
}

TEST(CopyRect, NearestPixelStretch) {
  TBitmap S(4, 2);
  const TColor C[] = {clRed, clLime, clBlue, clBlack};
  for (int x = 0; x < 4; ++x) {
    S.GetCanvas().SetPixels(x, 0, C[x]);
    S.GetCanvas().SetPixels(x, 1, C[3 - x]);
  }
  TBitmap Up(8, 4, pf15bit);
  Up.GetCanvas().CopyRect(Rect(0, 0, 8, 4), S.GetCanvas(), Rect(0, 0, 4, 2));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x)
      ASSERT_EQ(Px(Up, x, y), Px(S, x / 2, y / 2));
  // Halving takes source pixel floor((2i + 1) * 4 / 4) = 2i + 1, here on
  // the second row.
  TBitmap Down(2, 1);
  Down.GetCanvas().CopyRect(Rect(0, 0, 2, 1), S.GetCanvas(), Rect(0, 0, 4, 2));
  EXPECT_EQ(Px(Down, 0, 0), C[2]);
  EXPECT_EQ(Px(Down, 1, 0), C[0]);
  // A negative width mirrors.
  TBitmap M(4, 1);
  M.GetCanvas().StretchBlt(4, 0, -4, 1, S.GetCanvas(), 0, 0, 4, 1, cmSrcCopy);
  for (int x = 0; x < 4; ++x)
    EXPECT_EQ(Px(M, x, 0), C[3 - x]);
  // Where the source rectangle leaves the source bitmap, the destination
  // keeps its pixels.
  TBitmap Part(6, 2);
  Part.GetCanvas().CopyRect(Rect(0, 0, 6, 2), S.GetCanvas(), Rect(-1, 0, 5, 2));
  EXPECT_EQ(Px(Part, 0, 0), clWhite);
  EXPECT_EQ(Px(Part, 1, 0), clRed);
  EXPECT_EQ(Px(Part, 4, 0), clBlack);
  EXPECT_EQ(Px(Part, 5, 0), clWhite);
}

TEST(CopyRect, AreaAverage) {
  for (TPixelFormat SF : {pf24bit, pf32bit, pf15bit, pf8bit}) {
    TBitmap S(61, 37, SF);
    Noise(S, 11);
    // 2:1 is exact: (a + b + c + d + 2) / 4 per channel.
    TBitmap Half(30, 18, pf32bit);
    Half.GetCanvas().SetStretchBltMode(sbmHalftone);
    Half.GetCanvas().CopyRect(Rect(0, 0, 30, 18), S.GetCanvas(), Rect(0, 0, 60, 36));
    for (int y = 0; y < 18; ++y)
      for (int x = 0; x < 30; ++x)
        for (int Sh = 0; Sh < 24; Sh += 8) {
          const int Sum = int(Px(S, 2 * x, 2 * y) >> Sh & 0xFF) +
                          int(Px(S, 2 * x + 1, 2 * y) >> Sh & 0xFF) +
                          int(Px(S, 2 * x, 2 * y + 1) >> Sh & 0xFF) +
                          int(Px(S, 2 * x + 1, 2 * y + 1) >> Sh & 0xFF);
          ASSERT_EQ(int(Px(Half, x, y) >> Sh & 0xFF), (Sum + 2) / 4) << int(SF) << " " << x;
        }
    // Any other ratio, shrinking and enlarging, within one level of the
    // exact mean.
    for (auto [W, H] : {std::pair{17, 11}, std::pair{90, 50}}) {
      TBitmap D(W, H, pf24bit);
      D.GetCanvas().SetStretchBltMode(sbmHalftone);
      D.GetCanvas().CopyRect(Rect(0, 0, W, H), S.GetCanvas(), Rect(2, 1, 61, 37));
      const double FX = 59.0 / W, FY = 36.0 / H;
      for (int y = 0; y < H; y += 3)
        for (int x = 0; x < W; x += 2)
          for (int Sh = 0; Sh < 24; Sh += 8) {
            const double Ref =
                AreaMean(S, 2 + x * FX, 2 + (x + 1) * FX, 1 + y * FY, 1 + (y + 1) * FY, Sh);
            ASSERT_NEAR(double(Px(D, x, y) >> Sh & 0xFF), Ref, 1.0) << W << " " << x << "," << y;
          }
    }
  }
  // Shrinking at any ratio, and shrinking on one axis while enlarging on the
  // other, gives the exact filter's pixels: reductions a zoom meets, a
  // strong one with many taps a pixel, and source pixels heavier than half a
  // destination pixel.
  for (TPixelFormat SF : {pf24bit, pf32bit, pf15bit}) {
    TBitmap S(97, 61, SF);
    Noise(S, 13);
    for (auto [W, H] : {std::pair{35, 22}, std::pair{56, 35}, std::pair{75, 47}, std::pair{7, 5},
                        std::pair{20, 90}, std::pair{150, 30}}) {
      TBitmap D(W, H, pf32bit);
      D.GetCanvas().SetStretchBltMode(sbmHalftone);
      D.GetCanvas().CopyRect(Rect(0, 0, W, H), S.GetCanvas(), Rect(3, 2, 97, 61));
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
          ASSERT_EQ(Px(D, x, y), ExactArea(S, 3, 2, 94, 59, W, H, x, y))
              << SF << " " << W << "x" << H << " " << x << "," << y;
    }
  }
  // The 24-bit view of the map: 2:1 straight into 15 bits, and a window that
  // runs over the source edge averages only what lies inside.
  TBitmap S(8, 8, pf24bit), D(4, 4, pf15bit);
  S.GetCanvas().GetBrush().SetColor(clBlack);
  S.GetCanvas().FillRect(Rect(0, 0, 4, 8));
  D.GetCanvas().SetStretchBltMode(sbmHalftone);
  D.GetCanvas().CopyRect(Rect(0, 0, 4, 4), S.GetCanvas(), Rect(0, 0, 8, 8));
  EXPECT_EQ(Px(D, 1, 0), clBlack);
  EXPECT_EQ(Px(D, 2, 0), clWhite);
  TBitmap E(3, 1, pf24bit);
  E.GetCanvas().GetBrush().SetColor(clRed);
  E.GetCanvas().FillRect(Rect(0, 0, 3, 1));
  E.GetCanvas().SetStretchBltMode(sbmHalftone);
  E.GetCanvas().CopyRect(Rect(0, 0, 3, 1), S.GetCanvas(), Rect(5, 0, 10, 1));
  EXPECT_EQ(Px(E, 0, 0), clWhite);
  EXPECT_EQ(Px(E, 1, 0), clWhite) << "only the part inside the source counts";
  EXPECT_EQ(Px(E, 2, 0), clRed) << "centre outside: the pixel is left alone";
}

TEST(CopyRect, RasterOperationsAndOverlap) {
  TBitmap S(5, 3), D(5, 3);
  Noise(S, 5);
  Noise(D, 9);
  TBitmap Orig(5, 3);
  Orig.Assign(&D);
  TCanvas& C = D.GetCanvas();
  C.SetCopyMode(cmSrcInvert);
  C.CopyRect(Rect(0, 0, 5, 3), S.GetCanvas(), Rect(0, 0, 5, 3));
  EXPECT_EQ(Px(D, 2, 1), (Px(Orig, 2, 1) ^ Px(S, 2, 1)));
  C.CopyRect(Rect(0, 0, 5, 3), S.GetCanvas(), Rect(0, 0, 5, 3));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x)
      ASSERT_EQ(Px(D, x, y), Px(Orig, x, y));
  C.SetCopyMode(cmSrcAnd);
  C.CopyRect(Rect(0, 0, 1, 1), S.GetCanvas(), Rect(0, 0, 1, 1));
  EXPECT_EQ(Px(D, 0, 0), (Px(Orig, 0, 0) & Px(S, 0, 0)));
  C.SetCopyMode(cmDstInvert);
  C.CopyRect(Rect(1, 0, 2, 1), S.GetCanvas(), Rect(0, 0, 1, 1));
  EXPECT_EQ(Px(D, 1, 0), (~Px(Orig, 1, 0) & 0xFFFFFF));
  C.GetBrush().SetColor(clRed);
  C.SetCopyMode(cmPatCopy);
  C.CopyRect(Rect(2, 0, 3, 1), S.GetCanvas(), Rect(0, 0, 1, 1));
  EXPECT_EQ(Px(D, 2, 0), clRed);
  C.SetCopyMode(cmBlackness);
  C.CopyRect(Rect(3, 0, 4, 1), S.GetCanvas(), Rect(0, 0, 0, 0)); // no source needed
  EXPECT_EQ(Px(D, 3, 0), clBlack);

  // Copying within one bitmap reads the pixels as they were before.
  TBitmap R(6, 1);
  for (int x = 0; x < 6; ++x)
    R.GetCanvas().SetPixels(x, 0, RGB(uint8_t(x), 0, 0));
  R.GetCanvas().CopyRect(Rect(1, 0, 6, 1), R.GetCanvas(), Rect(0, 0, 5, 1));
  for (int x = 1; x < 6; ++x)
    EXPECT_EQ(Px(R, x, 0), RGB(uint8_t(x - 1), 0, 0));
  // Degenerate and far-away rectangles do nothing and do not fail.
  R.GetCanvas().SetCopyMode(cmSrcCopy);
  R.GetCanvas().CopyRect(Rect(0, 0, 0, 5), S.GetCanvas(), Rect(0, 0, 5, 3));
  R.GetCanvas().StretchBlt(INT32_MIN, 0, INT32_MAX, 1, S.GetCanvas(), 0, 0, INT32_MAX, 3,
                           cmSrcCopy);
  R.GetCanvas().SetStretchBltMode(sbmHalftone);
  R.GetCanvas().StretchBlt(-3, 0, 7, 1, S.GetCanvas(), INT32_MIN, 0, INT32_MAX, 3, cmSrcCopy);
  EXPECT_EQ(Px(R, 5, 0), RGB(4, 0, 0));
}

// Enlarging by factors that are not whole numbers, over the source edge:
// the 15- and 32-bit views agree with the 24-bit result, a raster operation
// meets the same pixels, and a mirrored stretch is the plain one mirrored
// (shrinking too, which once failed on mirrored copies).
TEST(CopyRect, AreaAverageEnlargingAndMirrored) {
  auto To15 = [](TColor C) {
    TColor R = 0;
    for (int Sh = 0; Sh < 24; Sh += 8) {
      const TColor V = (C >> Sh & 0xFF) >> 3;
      R |= (V << 3 | V >> 2) << Sh;
    }
    return R;
  };
  struct TBox {
    int32_t X, Y, W, H;
  };
  auto Stretch = [](TBitmap& D, TBox R, TBitmap& S, TBox SR, TCopyMode Mode = cmSrcCopy) {
    D.GetCanvas().SetStretchBltMode(sbmHalftone);
    D.GetCanvas().StretchBlt(R.X, R.Y, R.W, R.H, S.GetCanvas(), SR.X, SR.Y, SR.W, SR.H, Mode);
  };
  auto Black = [](TBitmap& B) {
    B.GetCanvas().GetBrush().SetColor(clBlack);
    B.GetCanvas().FillRect(Rect(0, 0, B.GetWidth(), B.GetHeight()));
  };
  // Half black, half white rounds up.
  TBitmap Two(2, 1, pf24bit);
  Two.GetCanvas().SetPixels(0, 0, clBlack);
  for (TPixelFormat DF : {pf15bit, pf24bit, pf32bit}) {
    TBitmap D(3, 1, DF);
    Stretch(D, TBox{0, 0, 3, 1}, Two, TBox{0, 0, 2, 1});
    EXPECT_EQ(Px(D, 1, 0), DF == pf15bit ? 0x848484u : 0x808080u) << DF;
  }
  for (TPixelFormat SF : {pf24bit, pf32bit, pf15bit, pf8bit}) {
    TBitmap S(41, 29, SF);
    Noise(S, 7);
    for (auto [W, H] : {std::pair{80, 57}, std::pair{64, 45}, std::pair{103, 73}}) {
      // Width and height of the rectangles, as StretchBlt takes them.
      const TBox Dst{-3, -2, W, H}, Src{1, 1, 41, 29};
      TBitmap Ref(W, H, pf24bit), D15(W, H, pf15bit), D32(W, H, pf32bit), X(W, H, pf24bit);
      for (TBitmap* B : {&Ref, &D15, &D32})
        Black(*B);
      Noise(X, 9);
      TBitmap Orig(W, H, pf24bit);
      Orig.Assign(&X);
      for (TBitmap* B : {&Ref, &D15, &D32})
        Stretch(*B, Dst, S, Src);
      Stretch(X, Dst, S, Src, cmSrcInvert);
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
          const TColor C = Px(Ref, x, y);
          ASSERT_EQ(Px(D15, x, y), To15(C)) << SF << " " << W << " " << x << "," << y;
          ASSERT_EQ(Px(D32, x, y), C) << SF << " " << W << " " << x << "," << y;
          ASSERT_EQ(Px(X, x, y), Px(Orig, x, y) ^ C) << SF << " " << W << " " << x << "," << y;
        }
    }
    // Mirrored left to right by the destination and top to bottom by the
    // source, enlarging and shrinking.
    for (auto [W, H] : {std::pair{80, 57}, std::pair{17, 11}}) {
      TBitmap Plain(W, H, pf24bit), Mirror(W, H, pf24bit);
      Stretch(Plain, TBox{0, 0, W, H}, S, TBox{0, 0, 41, 29});
      Stretch(Mirror, TBox{W, 0, -W, H}, S, TBox{0, 29, 41, -29});
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
          ASSERT_EQ(Px(Mirror, x, y), Px(Plain, W - 1 - x, H - 1 - y))
              << SF << " " << x << "," << y;
    }
  }
}
