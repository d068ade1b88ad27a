#include "qebgeolib/platform/graphics/canvas.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <tuple>
#include <vector>

#include "qebgeolib/platform/graphics/bitmap.h"

using namespace qeb;

namespace {

// The bitmap as text, one line a row: '.' white, '#' black, 'r' red,
// 'b' blue, 'g' lime, '?' anything else.
std::string Pic(TBitmap& B) {
  std::string S;
  for (int y = 0; y < B.GetHeight(); ++y) {
    for (int x = 0; x < B.GetWidth(); ++x) {
      const TColor C = B.GetCanvas().GetPixels(x, y);
      S += C == clWhite   ? '.'
           : C == clBlack ? '#'
           : C == clRed   ? 'r'
           : C == clBlue  ? 'b'
           : C == clLime  ? 'g'
                          : '?';
    }
    S += '\n';
  }
  return S;
}

// A bitmap of pseudo-random pixels.
void Noise(TBitmap& B, uint32_t Seed) {
  for (int y = 0; y < B.GetHeight(); ++y)
    for (int x = 0; x < B.GetWidth(); ++x) {
      Seed = Seed * 1664525u + 1013904223u;
      B.GetCanvas().SetPixels(x, y, Seed >> 8);
    }
}

bool SamePixels(TBitmap& A, TBitmap& B) {
  for (int y = 0; y < A.GetHeight(); ++y)
    for (int x = 0; x < A.GetWidth(); ++x)
      if (A.GetCanvas().GetPixels(x, y) != B.GetCanvas().GetPixels(x, y)) return false;
  return true;
}

} // namespace

TEST(Canvas, LinesLeaveOutTheirEndPixel) {
  TBitmap B(8, 5);
  TCanvas& C = B.GetCanvas();
  C.MoveTo(1, 1);
  C.LineTo(5, 1);
  C.LineTo(5, 4);
  C.MoveTo(0, 4);
  C.LineTo(3, 1); // diagonal up, end (3, 1) left out
  C.MoveTo(7, 0);
  C.LineTo(7, 0); // zero length: nothing
  EXPECT_EQ(Pic(B), "........\n"
                    ".#####..\n"
                    "..#..#..\n"
                    ".#...#..\n"
                    "#.......\n");
  EXPECT_EQ(C.GetPenPos(), Point(7, 0));

  // Clipping keeps exactly the pixels of the whole line, whatever the
  // coordinates.
  TBitmap Big(60, 40), Small(20, 10);
  for (auto [X0, Y0, X1, Y1] : {std::array{-7, 3, 55, 38}, std::array{59, -5, 2, 33},
                                std::array{-30, 20, 70, 21}, std::array{12, -40, 13, 45}}) {
    Big.GetCanvas().MoveTo(X0, Y0);
    Big.GetCanvas().LineTo(X1, Y1);
    Small.GetCanvas().MoveTo(X0 - 20, Y0 - 15);
    Small.GetCanvas().LineTo(X1 - 20, Y1 - 15);
  }
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x)
      ASSERT_EQ(Small.GetCanvas().GetPixels(x, y), Big.GetCanvas().GetPixels(x + 20, y + 15));
  TBitmap Row(6, 3);
  Row.GetCanvas().MoveTo(INT32_MIN, 1);
  Row.GetCanvas().LineTo(INT32_MAX, 1);
  Row.GetCanvas().MoveTo(INT32_MIN, INT32_MIN);
  Row.GetCanvas().LineTo(INT32_MAX, INT32_MAX); // exactly the diagonal, no overflow
  EXPECT_EQ(Pic(Row), "#.....\n######\n..#...\n");
}

TEST(Canvas, DashPatternsAndGaps) {
  TBitmap B(30, 4);
  TCanvas& C = B.GetCanvas();
  C.GetPen().SetStyle(psDot);
  C.GetBrush().SetStyle(bsClear);
  C.MoveTo(0, 0);
  C.LineTo(10, 0);
  C.LineTo(20, 0); // the pattern goes on across LineTo
  C.MoveTo(0, 1);  // and restarts at MoveTo
  C.LineTo(4, 1);
  C.GetBrush().SetColor(clRed); // a solid brush paints the gaps
  C.GetPen().SetStyle(psDash);
  C.MoveTo(0, 2);
  C.LineTo(30, 2);
  C.GetPen().SetStyle(psDashDot);
  C.MoveTo(0, 3);
  C.LineTo(30, 3);
  EXPECT_EQ(Pic(B), "###...###...###...##..........\n"
                    "###...........................\n"
                    "##################rrrrrr######\n"
                    "#########rrrrrr###rrrrrr######\n");
}

TEST(Canvas, RectanglesEllipsesAndBrushes) {
  TBitmap B(9, 6);
  TCanvas& C = B.GetCanvas();
  C.GetBrush().SetColor(clRed);
  C.Rectangle(5, 4, 1, 0); // corners in any order
  C.GetBrush().SetStyle(bsClear);
  C.Rectangle(6, 0, 9, 4);
  C.Rectangle(8, 4, 9, 6); // one column wide
  EXPECT_EQ(Pic(B), ".####.###\n"
                    ".#rr#.#.#\n"
                    ".#rr#.#.#\n"
                    ".####.###\n"
                    "........#\n"
                    "........#\n");

  TBitmap E(10, 7);
  E.GetCanvas().GetBrush().SetColor(clBlue);
  E.GetCanvas().Ellipse(1, 1, 9, 6);
  EXPECT_EQ(Pic(E), "..........\n"
                    "...####...\n"
                    ".##bbbb##.\n"
                    ".#bbbbbb#.\n"
                    ".##bbbb##.\n"
                    "...####...\n"
                    "..........\n");
  // Extents of larger and thin ellipses: exactly x1..x2-1, y1..y2-1.
  for (auto [W, H] : {std::pair{30, 11}, std::pair{2, 25}, std::pair{25, 2}, std::pair{1, 1}}) {
    TBitmap T(40, 40);
    T.GetCanvas().Ellipse(3, 4, 3 + W, 4 + H);
    int MinX = 99, MaxX = -1, MinY = 99, MaxY = -1;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x)
        if (T.GetCanvas().GetPixels(x, y) != clWhite) {
          MinX = std::min(MinX, x);
          MaxX = std::max(MaxX, x);
          MinY = std::min(MinY, y);
          MaxY = std::max(MaxY, y);
        }
    EXPECT_EQ(MinX, 3);
    EXPECT_EQ(MaxX, 3 + W - 1);
    EXPECT_EQ(MinY, 4);
    EXPECT_EQ(MaxY, 4 + H - 1);
  }

  // FillRect and FrameRect use the brush and ignore the pen mode.
  TBitmap F(5, 4);
  F.GetCanvas().GetPen().SetMode(pmXor);
  F.GetCanvas().GetBrush().SetColor(clBlack);
  F.GetCanvas().FillRect(Rect(1, 1, 3, 3));
  F.GetCanvas().FillRect(Rect(3, 3, 2, 2)); // inverted: nothing
  F.GetCanvas().GetBrush().SetColor(clRed);
  F.GetCanvas().FrameRect(Rect(2, 0, 5, 4));
  EXPECT_EQ(Pic(F), "..rrr\n.#r.r\n.#r.r\n..rrr\n");
}

TEST(Canvas, PolygonsFillByEvenOddAndOutlineEveryVertex) {
  TBitmap B(7, 7);
  TCanvas& C = B.GetCanvas();
  C.GetBrush().SetColor(clRed);
  const TPoint Square[] = {{1, 1}, {5, 1}, {5, 5}, {1, 5}};
  C.Polygon(Square);
  EXPECT_EQ(Pic(B), ".......\n"
                    ".#####.\n"
                    ".#rrr#.\n"
                    ".#rrr#.\n"
                    ".#rrr#.\n"
                    ".#####.\n"
                    ".......\n");
  // A pentagram: its centre is outside by the even-odd rule.
  TBitmap S(41, 41);
  S.GetCanvas().GetPen().SetStyle(psClear);
  S.GetCanvas().GetBrush().SetColor(clBlack);
  const TPoint Star[] = {{20, 0}, {32, 40}, {0, 14}, {40, 14}, {8, 40}};
  S.GetCanvas().Polygon(Star);
  EXPECT_EQ(S.GetCanvas().GetPixels(20, 22), clWhite);
  EXPECT_EQ(S.GetCanvas().GetPixels(20, 8), clBlack);
  EXPECT_EQ(S.GetCanvas().GetPixels(5, 16), clBlack);
  // Polyline: no closing segment, pen position unchanged.
  TBitmap L(5, 3);
  L.GetCanvas().MoveTo(4, 2);
  const TPoint Path[] = {{0, 0}, {4, 0}, {4, 2}};
  L.GetCanvas().Polyline(Path);
  EXPECT_EQ(Pic(L), "#####\n....#\n.....\n");
  EXPECT_EQ(L.GetCanvas().GetPenPos(), Point(4, 2));
}

// The fill is sampled at each pixel's own position with left and top edges
// inside, so it meets the outline from within on sloped edges of every
// direction: along every row and column the painted pixels form one run
// that starts and ends in the pen colour.
TEST(Canvas, PolygonFillMeetsItsOutlineOnEverySlope) {
  const std::vector<std::vector<TPoint>> Shapes = {
      {{50, 10}, {60, 20}, {50, 30}, {40, 20}}, // diamond
      {{30, 3}, {52, 37}, {6, 30}},             // pointing up
      {{5, 4}, {55, 9}, {27, 38}},              // pointing down
      {{3, 21}, {57, 2}, {44, 38}},             // pointing left
      {{58, 17}, {2, 3}, {13, 36}},             // pointing right
  };
  for (const auto& Shape : Shapes) {
    TBitmap B(64, 40);
    TCanvas& C = B.GetCanvas();
    C.GetBrush().SetColor(clRed);
    C.Polygon(Shape);
    int Red = 0;
    auto CheckRun = [&](int N, auto Pixel, const char* What, int Index) {
      int First = -1, Last = -1;
      for (int i = 0; i < N; ++i)
        if (Pixel(i) != clWhite) {
          if (First < 0) First = i;
          Last = i;
        }
      if (First < 0) return;
      EXPECT_EQ(Pixel(First), clBlack) << What << Index << " at " << First;
      EXPECT_EQ(Pixel(Last), clBlack) << What << Index << " at " << Last;
      for (int i = First; i <= Last; ++i) {
        ASSERT_NE(Pixel(i), clWhite) << What << Index << " gap at " << i;
        Red += Pixel(i) == clRed;
      }
    };
    for (int y = 0; y < 40; ++y)
      CheckRun(
          64, [&](int x) { return C.GetPixels(x, y); }, "row ", y);
    for (int x = 0; x < 64; ++x)
      CheckRun(
          40, [&](int y) { return C.GetPixels(x, y); }, "column ", x);
    EXPECT_GT(Red, 100) << Shape[0].X;
  }
  // The diamond's telling pixels: outside its upper left edge, inside its
  // lower right one.
  TBitmap D(64, 40);
  D.GetCanvas().GetBrush().SetColor(clRed);
  D.GetCanvas().Polygon(Shapes[0]);
  EXPECT_EQ(D.GetCanvas().GetPixels(49, 10), clWhite);
  EXPECT_EQ(D.GetCanvas().GetPixels(50, 11), clRed);
  EXPECT_EQ(D.GetCanvas().GetPixels(59, 21), clBlack);
  EXPECT_EQ(D.GetCanvas().GetPixels(58, 21), clRed);
}

TEST(Canvas, XorTwiceRestoresAndPenModes) {
  for (TPixelFormat F : {pf4bit, pf8bit, pf15bit, pf24bit, pf32bit}) {
    TBitmap B(40, 30, F), Orig(40, 30, F);
    Noise(B, 7);
    Orig.Assign(&B);
    TCanvas& C = B.GetCanvas();
    C.GetPen().SetMode(pmXor);
    C.GetPen().SetColor(clWhite);
    for (int Pass = 0; Pass < 2; ++Pass) {
      C.GetBrush().SetStyle(bsClear);
      C.GetPen().SetStyle(psDot);
      C.Rectangle(3, 4, 30, 20);
      C.GetPen().SetStyle(psSolid);
      C.MoveTo(0, 29);
      C.LineTo(39, 0);
      C.GetBrush().SetColor(clRed);
      C.Ellipse(5, 5, 25, 28);
      C.GetPen().SetWidth(3);
      C.MoveTo(2, 2);
      C.LineTo(35, 27);
      C.GetPen().SetWidth(1);
      const TPoint Tri[] = {{10, 0}, {39, 15}, {0, 29}};
      C.Polygon(Tri);
      if (Pass == 0) {
        EXPECT_FALSE(SamePixels(B, Orig));
      }
    }
    EXPECT_TRUE(SamePixels(B, Orig)) << int(F);
  }
  TBitmap N(2, 1);
  N.GetCanvas().SetPixels(0, 0, RGB(10, 20, 30));
  N.GetCanvas().GetPen().SetMode(pmNot);
  N.GetCanvas().MoveTo(0, 0);
  N.GetCanvas().LineTo(2, 0);
  EXPECT_EQ(N.GetCanvas().GetPixels(0, 0), RGB(245, 235, 225));
  EXPECT_EQ(N.GetCanvas().GetPixels(1, 0), clBlack);
}

TEST(Canvas, WidePensAndPixels) {
  TBitmap B(9, 7);
  TCanvas& C = B.GetCanvas();
  C.GetPen().SetWidth(3);
  C.MoveTo(2, 3);
  C.LineTo(6, 3); // round caps reach one pixel beyond each end
  EXPECT_EQ(Pic(B), ".........\n"
                    ".........\n"
                    ".#######.\n"
                    ".#######.\n"
                    ".#######.\n"
                    ".........\n"
                    ".........\n");
  TBitmap R(8, 8);
  R.GetCanvas().GetPen().SetWidth(3); // centred on the outline of (2, 2)-(6, 6)
  R.GetCanvas().GetBrush().SetStyle(bsClear);
  R.GetCanvas().Rectangle(2, 2, 7, 7);
  EXPECT_EQ(Pic(R), "........\n"
                    ".#######\n"
                    ".#######\n"
                    ".#######\n"
                    ".###.###\n"
                    ".#######\n"
                    ".#######\n"
                    ".#######\n");
  R.GetCanvas().GetPen().SetStyle(psInsideFrame);
  R.GetCanvas().GetPen().SetColor(clRed);
  R.GetCanvas().Rectangle(0, 0, 4, 4);
  EXPECT_EQ(Pic(R).substr(0, 18), "rrrr....\nrrrr####\n");

  TBitmap P(2, 2, pf15bit);
  P.GetCanvas().SetPixels(0, 0, RGB(0xFF, 0x84, 0x07));
  EXPECT_EQ(P.GetCanvas().GetPixels(0, 0), RGB(0xFF, 0x84, 0x00));
  P.GetCanvas().SetPixels(-1, 0, clBlack); // outside: ignored
  EXPECT_EQ(P.GetCanvas().GetPixels(2, 0), 0xFFFFFFFFu);
  EXPECT_EQ(P.GetCanvas().GetClipRect(), Rect(0, 0, 2, 2));
}

// Code that sets pen, brush and font for its own drawing hands the canvas
// back as it found it, also when it throws.
TEST(Canvas, StateSaverPutsPenBrushAndFontBack) {
  TBitmap B(6, 6);
  TCanvas& C = B.GetCanvas();
  TPen& P = C.GetPen();
  TFont& F = C.GetFont();
  P.SetColor(clRed), P.SetWidth(3), P.SetMode(pmXor), P.SetStyle(psDot);
  C.GetBrush().SetColor(clBlue), C.GetBrush().SetStyle(bsClear);
  F.SetName("DejaVu Sans"), F.SetSize(12), F.SetColor(clLime), F.SetStyle(fsBold);
  const auto State = [&] {
    return std::tuple(P.GetColor(), P.GetWidth(), P.GetMode(), P.GetStyle(),
                      C.GetBrush().GetColor(), C.GetBrush().GetStyle(), F.GetName(), F.GetSize(),
                      F.GetColor(), F.GetStyle());
  };
  const auto Before = State();
  const auto DrawOwnWay = [&](bool Fail) {
    const TCanvasStateSaver Saved(C);
    C.SetPen(TPen()), C.SetBrush(TBrush()), C.SetFont(TFont());
    C.Rectangle(0, 0, 6, 6);
    if (Fail) throw EInvalidGraphicOperation("drawing failed");
  };
  DrawOwnWay(false);
  EXPECT_EQ(State(), Before);
  EXPECT_THROW(DrawOwnWay(true), EInvalidGraphicOperation);
  EXPECT_EQ(State(), Before);
  // Turned text fills its box as a polygon without outline, and keeps the
  // pen as it was.
  F.SetOrientation(900);
  C.GetBrush().SetStyle(bsSolid);
  C.TextOut(1, 5, "x");
  EXPECT_EQ(std::tuple(P.GetStyle(), P.GetMode()), std::tuple(psDot, pmXor));
}
