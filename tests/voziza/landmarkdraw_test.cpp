#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "qebgeolib/platform/graphics/bitmap.h"
#include "qebgeolib/platform/graphics/canvas.h"
#include "qebgeolib/voziza/landmarks.h"

using namespace qeb;

namespace {

constexpr TColor FG = clBlue, BG = clRed;
constexpr TColor Any = 0xFFFFFFFE; // any colour but white

// The pixels that are not white: how many, and the box around them (empty
// when there are none).
struct TInk {
  int Count = 0;
  TRect Box;
};
TInk Ink(TBitmap& B) {
  TInk I;
  for (int y = 0; y < B.GetHeight(); ++y)
    for (int x = 0; x < B.GetWidth(); ++x) {
      if (B.GetCanvas().GetPixels(x, y) == clWhite) continue;
      I.Box = I.Count++ == 0 ? Rect(x, y, x + 1, y + 1)
                             : Rect(std::min(I.Box.Left, x), std::min(I.Box.Top, y),
                                    std::max(I.Box.Right, x + 1), y + 1);
    }
  return I;
}

struct TPixel {
  int X, Y;
  TColor Color;
};

} // namespace

// Symbols at (20, 20) in blue on red. Each is drawn after a transparent
// circle off the bitmap, which leaves the brush clear: filled shapes must
// make it solid again by setting its colour.
TEST(LandMarkDraw, SymbolsPaintTheirTellingPixels) {
  struct TCase {
    const char* Name;
    TLandMarkElement Kind;
    int32_t Size, Direction, Length;
    bool Transparent;
    int Count; // pixels painted, -1 unchecked
    std::vector<TPixel> Pixels;
  };
  const std::vector<TCase> Cases = {
      {"plus 0: 3x3 halo and one pixel",
       lmPlus,
       0,
       0,
       0,
       false,
       9,
       {{19, 19, BG}, {21, 21, BG}, {21, 19, BG}, {20, 20, FG}}},
      {"plus without halo",
       lmPlus,
       5,
       0,
       0,
       true,
       21,
       {{20, 15, FG}, {20, 25, FG}, {15, 20, FG}, {25, 20, FG}, {21, 21, clWhite}}},
      {"square",
       lmSquare,
       5,
       0,
       0,
       false,
       121,
       {{15, 15, BG}, {25, 25, BG}, {16, 16, FG}, {24, 24, FG}, {20, 20, BG}}},
      {"open square", lmSquare, 5, 0, 0, true, 40, {{15, 15, FG}, {25, 25, FG}, {20, 20, clWhite}}},
      {"triangle up",
       lmTriangle,
       10,
       0,
       0,
       false,
       -1,
       {{20, 10, FG}, {20, 9, clWhite}, {20, 20, BG}, {20, 25, FG}, {29, 25, FG}, {11, 25, FG}}},
      {"triangle right",
       lmTriangle,
       10,
       90,
       0,
       false,
       -1,
       {{30, 20, FG}, {31, 20, clWhite}, {20, 20, BG}, {15, 20, FG}, {14, 20, clWhite}}},
      {"open triangle", lmTriangle, 10, 0, 0, true, -1, {{20, 10, FG}, {20, 20, clWhite}}},
      {"circle",
       lmCircle,
       8,
       0,
       0,
       false,
       -1,
       {{12, 20, FG}, {27, 20, FG}, {28, 20, clWhite}, {20, 12, FG}, {20, 20, BG}}},
      {"open circle", lmCircle, 8, 0, 0, true, -1, {{12, 20, FG}, {20, 20, clWhite}}},
      {"arrow from, length 0: head only",
       lmArrowFrom,
       8,
       0,
       0,
       false,
       -1,
       {{20, 20, FG}, {20, 19, clWhite}, {20, 25, BG}, {17, 28, FG}, {23, 28, FG}}},
      {"arrow from, pointing right",
       lmArrowFrom,
       8,
       90,
       10,
       false,
       -1,
       {{30, 20, FG},
        {31, 20, clWhite},
        {22, 17, FG},
        {22, 23, FG},
        {24, 20, Any},
        {19, 20, clWhite}}},
      {"arrow to, length 0: head only",
       lmArrowTo,
       8,
       0,
       0,
       false,
       -1,
       {{20, 20, FG}, {20, 21, clWhite}, {20, 15, BG}, {17, 12, FG}, {23, 12, FG}}},
      {"open arrow to, from the right",
       lmArrowTo,
       8,
       90,
       10,
       true,
       -1,
       {{30, 20, FG},
        {21, 20, FG},
        {20, 20, FG},
        {19, 20, clWhite},
        {24, 22, FG},
        {24, 18, FG},
        {24, 21, clWhite}}},
      {"crossbox",
       lmCrossBox,
       5,
       0,
       0,
       false,
       121,
       {{15, 15, BG}, {16, 16, FG}, {18, 18, FG}, {18, 22, FG}, {20, 20, FG}, {19, 18, BG}}},
      {"open crossbox",
       lmCrossBox,
       5,
       0,
       0,
       true,
       -1,
       {{15, 15, FG}, {25, 25, FG}, {18, 18, FG}, {22, 18, FG}, {18, 19, clWhite}}},
      {"spade",
       lmSpade,
       8,
       0,
       0,
       false,
       -1,
       {{20, 12, FG},
        {20, 11, clWhite},
        {28, 20, FG},
        {29, 20, clWhite},
        {20, 20, BG},
        {19, 13, FG},
        {20, 13, BG},
        {21, 13, FG},
        {20, 27, BG},
        {21, 27, FG}}},
      {"open spade", lmSpade, 8, 0, 0, true, -1, {{20, 12, FG}, {20, 20, clWhite}}},
      {"cross",
       lmCross,
       4,
       0,
       0,
       false,
       -1,
       {{16, 16, FG},
        {20, 20, FG},
        {24, 24, FG},
        {16, 24, FG},
        {24, 16, FG},
        {21, 20, BG},
        {20, 21, BG},
        {26, 20, clWhite}}},
      {"cross without halo", lmCross, 4, 0, 0, true, 17, {{20, 20, FG}, {21, 20, clWhite}}},
      {"user defined", lmUserDef, 8, 0, 10, false, 0, {}},
  };
  for (const TCase& C : Cases) {
    TBitmap B(41, 41, pf24bit);
    DrawLandMarkSymbolOnCanvas(B.GetCanvas(), -100, -100, lmCircle, FG, BG, 5, 0, 0, true);
    DrawLandMarkSymbolOnCanvas(B.GetCanvas(), 20, 20, C.Kind, FG, BG, C.Size, C.Direction, C.Length,
                               C.Transparent);
    if (C.Count >= 0) {
      EXPECT_EQ(Ink(B).Count, C.Count) << C.Name;
    }
    for (const TPixel& P : C.Pixels) {
      const TColor Got = B.GetCanvas().GetPixels(P.X, P.Y);
      if (P.Color == Any) {
        EXPECT_NE(Got, clWhite) << C.Name << " at " << P.X << "," << P.Y;
      } else {
        EXPECT_EQ(Got, P.Color) << C.Name << " at " << P.X << "," << P.Y;
      }
    }
  }
}

// Sizes and lengths at the ends of the 32-bit range finish at once and keep
// their shapes where they are seen.
TEST(LandMarkDraw, HugeSymbolsStayBoundedAndInShape) {
  for (int K = 0; K < LandMarkElementCount; ++K)
    for (int32_t S : {INT32_MAX, INT32_MIN})
      for (int32_t X : {20, INT32_MIN, INT32_MAX}) {
        TBitmap B(41, 41, pf24bit);
        DrawLandMarkSymbolOnCanvas(B.GetCanvas(), X, X, TLandMarkElement(K), FG, BG, S, 37, S,
                                   false);
        const int32_t Y = X == INT32_MIN ? INT32_MAX : -X;
        DrawLandMarkSymbolOnCanvas(B.GetCanvas(), X, Y, TLandMarkElement(K), FG, BG, S, S, S,
                                   true);
      }
  TBitmap B(41, 41, pf24bit);
  TCanvas& C = B.GetCanvas();
  DrawLandMarkSymbolOnCanvas(C, 20, 20, lmCircle, FG, BG, INT32_MAX, 0, 0, false);
  EXPECT_EQ(Ink(B).Box, Rect(0, 0, 41, 41));
  EXPECT_EQ(C.GetPixels(0, 40), BG);
  // Both diagonals of a huge cross still run through the landmark at 45 degrees.
  DrawLandMarkSymbolOnCanvas(C, 20, 20, lmCross, FG, BG, INT32_MAX, 0, 0, true);
  for (int i = 0; i <= 40; i += 5) {
    EXPECT_EQ(C.GetPixels(i, i), FG) << i;
    EXPECT_EQ(C.GetPixels(i, 40 - i), FG) << i;
  }
  EXPECT_EQ(C.GetPixels(21, 20), BG);
}

namespace {

TLMTextProperties Caption(const char* Text, uint8_t H, uint8_t V, int32_t Direction,
                          bool Transparent) {
  TLMTextProperties C;
  C.Text = TLMText::FromString(Text);
  C.Size = 12;
  C.FontName = "MS Sans Serif";
  C.FGColor = clBlack;
  C.BGColor = BG;
  C.Transparent = Transparent;
  C.dx = 3;
  C.dy = 8;
  C.Direction = Direction;
  C.HAlignment = H;
  C.VAlignment = V;
  return C;
}

} // namespace

// Upright captions with a box: the box lands where the alignment puts it,
// f * (width div 2) left and g * (height div 2) up of the anchor.
TEST(LandMarkDraw, CaptionPlacement) {
  constexpr int X = 100, Y = 60;
  const int F[3] = {0, 2, 1};
  for (uint8_t H = 0; H < 3; ++H)
    for (uint8_t V = 0; V < 3; ++V) {
      TBitmap B(220, 140, pf24bit);
      DrawLandMarkCaption(B.GetCanvas(), X, Y, Caption("Gipfel 42", H, V, 0, false));
      const int32_t W = B.GetCanvas().TextWidth("Gipfel 42");
      const int32_t Ht = B.GetCanvas().TextHeight("Gipfel 42");
      ASSERT_GT(W, 20);
      const int L = X + 3 - F[H] * (W / 2), T = Y + 8 - int(V) * (Ht / 2);
      EXPECT_EQ(Ink(B).Box, Rect(L, T, L + W, T + Ht)) << int(H) << "," << int(V);
      EXPECT_EQ(B.GetCanvas().GetPixels(L, T), BG);
    }
}

TEST(LandMarkDraw, CaptionBoxTurningAndRefusals) {
  constexpr int X = 100, Y = 60;
  // Transparent: ink only, no box.
  TBitmap T(220, 140, pf24bit);
  DrawLandMarkCaption(T.GetCanvas(), X, Y, Caption("Gipfel", lmhCenter, lmvTop, 0, true));
  const TRect Box = Ink(T).Box;
  EXPECT_FALSE(Box.IsEmpty());
  for (int y = Box.Top; y < Box.Bottom; ++y)
    for (int x = Box.Left; x < Box.Right; ++x)
      ASSERT_NE(T.GetCanvas().GetPixels(x, y), BG);

  // Turned 90 degrees, right-justified, top: the text starts its width below
  // the anchor and reads upward, ending at the anchor; the box is the text
  // box turned, one text height wide to the right of the anchor.
  TBitmap R(220, 140, pf24bit);
  TLMTextProperties Up = Caption("Gipfel 42", lmhRight, lmvTop, 90, false);
  Up.dx = Up.dy = 0;
  DrawLandMarkCaption(R.GetCanvas(), X, Y, Up);
  const TLogFont Log = R.GetCanvas().GetFont().GetLogFont();
  EXPECT_EQ(Log.lfEscapement, 900);
  EXPECT_EQ(Log.lfOrientation, 900);
  EXPECT_EQ(Log.lfQuality, ANTIALIASED_QUALITY);
  const int32_t W = R.GetCanvas().TextWidth("Gipfel 42"),
                Ht = R.GetCanvas().TextHeight("Gipfel 42");
  EXPECT_EQ(Ink(R).Box, Rect(X, Y + 2 * (W / 2) - W, X + Ht, Y + 2 * (W / 2)));
  // The glyphs' ink: "G" near the bottom, "2" near the anchor.
  TBitmap RT(220, 140, pf24bit);
  Up.Transparent = true;
  DrawLandMarkCaption(RT.GetCanvas(), X, Y, Up);
  const TRect RInk = Ink(RT).Box;
  EXPECT_GE(RInk.Left, X);
  EXPECT_LE(RInk.Right, X + Ht);
  EXPECT_LE(RInk.Bottom, Y + W);
  EXPECT_GT(RInk.Bottom, Y + W - 4);
  EXPECT_GE(RInk.Top, Y - 1);
  EXPECT_LT(RInk.Top, Y + 4);

  // Alignments outside the enumerations and empty texts draw nothing.
  for (const TLMTextProperties& C :
       {Caption("Gipfel", 3, lmvTop, 0, false), Caption("Gipfel", lmhLeft, 7, 45, false),
        Caption("", lmhLeft, lmvTop, 0, false)}) {
    TBitmap N(220, 140, pf24bit);
    DrawLandMarkCaption(N.GetCanvas(), X, Y, C);
    EXPECT_TRUE(Ink(N).Box.IsEmpty());
  }

  // Hostile sizes, directions and offsets finish with a bounded face.
  for (int32_t Size : {INT32_MAX, INT32_MIN, -5, 0})
    for (int32_t Dir : {0, 30, INT32_MAX, INT32_MIN}) {
      TBitmap H(120, 80, pf24bit);
      TLMTextProperties C =
          Caption("WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW", lmhCenter, lmvBottom, Dir, false);
      C.Size = Size;
      C.dx = INT32_MAX;
      DrawLandMarkCaption(H.GetCanvas(), 10, 10, C);
      C.dx = 0;
      C.HAlignment = lmhLeft;
      C.VAlignment = lmvTop;
      DrawLandMarkCaption(H.GetCanvas(), 10, 10, C);
      EXPECT_LT(H.GetCanvas().TextHeight("W"), 2000) << Size;
      EXPECT_FALSE(Ink(H).Box.IsEmpty()) << Size << "," << Dir;
      if (Dir == 0) {
        EXPECT_NE(H.GetCanvas().GetPixels(10, 18), clWhite) << Size; // the box's corner
      }
    }
}
