#include <gtest/gtest.h>

#include "qebgeolib/companion/corelib/base.h"
#include "qebgeolib/platform/graphics/bitmap.h"
#include "qebgeolib/platform/graphics/canvas.h"

using namespace qeb;

namespace {

// The bitmap as text with the five frame colours as digits 1..5 (5 drawn
// as 'x' to keep it apart from 4), '.' for the untouched grey.
std::string Frame(TFrameStyle Style, int W, int H, TRect R) {
  TBitmap B(W, H);
  B.GetCanvas().GetBrush().SetColor(clTeal);
  B.GetCanvas().FillRect(Rect(0, 0, W, H));
  B.GetCanvas().GetBrush().SetStyle(bsClear);
  DrawFrame(B.GetCanvas(), Style, R.Left, R.Top, R.Right, R.Bottom, 0x000001, 0x000002, 0x000003,
            0x000004, 0x000005);
  EXPECT_EQ(B.GetCanvas().GetBrush().GetStyle(), bsClear) << "the brush is restored";
  EXPECT_EQ(B.GetCanvas().GetBrush().GetColor(), clTeal);
  std::string S;
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) {
      const TColor C = B.GetCanvas().GetPixels(x, y);
      S += C == clTeal ? '.' : C == 5 ? 'x' : char('0' + C);
    }
    S += '\n';
  }
  return S;
}

} // namespace

TEST(DrawFrame, EveryStyle) {
  const TRect R = Rect(0, 0, 5, 4); // right and bottom included
  const char* Empty = ".......\n";
  EXPECT_EQ(Frame(frsNone, 7, 6, R), std::string(Empty) + Empty + Empty + Empty + Empty + Empty);
  EXPECT_EQ(Frame(frsSingle, 7, 6, R),
            "xxxxxx.\nx....x.\nx....x.\nx....x.\nxxxxxx.\n" + std::string(Empty));
  EXPECT_EQ(Frame(frsLowered, 7, 6, R),
            "333331.\n344421.\n34..21.\n322221.\n111111.\n" + std::string(Empty));
  EXPECT_EQ(Frame(frsRaised, 7, 6, R),
            "222224.\n211134.\n21..34.\n233334.\n444444.\n" + std::string(Empty));
  EXPECT_EQ(Frame(frsEmbossed, 7, 6, R),
            "111113.\n133313.\n13..13.\n111113.\n333333.\n" + std::string(Empty));
  EXPECT_EQ(Frame(frsEngraved, 7, 6, R),
            "333331.\n311131.\n31..31.\n333331.\n111111.\n" + std::string(Empty));
  // Degenerate and inverted rectangles, and rectangles beyond the bitmap.
  EXPECT_EQ(Frame(frsLowered, 3, 2, Rect(0, 0, 2, 0)), "111\n...\n");
  EXPECT_EQ(Frame(frsSingle, 3, 2, Rect(2, 0, 1, 1)), "...\n...\n");
  EXPECT_EQ(Frame(TFrameStyle(77), 3, 2, Rect(0, 0, 2, 1)), "...\n...\n");
  EXPECT_EQ(Frame(frsSingle, 3, 2, Rect(INT32_MIN, -1, INT32_MAX, 1)), "...\nxxx\n");
}
