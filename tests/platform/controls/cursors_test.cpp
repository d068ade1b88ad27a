// Cursor files and the screen's cursor table.
#include <gtest/gtest.h>

#include "qebgeolib/platform/controls/clipboard.h"
#include "qebgeolib/platform/controls/cursors.h"
#include "qebgeolib/platform/controls/resources.h"
#include "qebgeolib/platform/graphics/bitmap.h"
#include "qebgeolib/platform/graphics/canvas.h"
#include "qebgeolib/resources/georesources.h"

using namespace qeb;

namespace {

void Put16(std::vector<uint8_t>& D, uint32_t V) {
  D.push_back(uint8_t(V));
  D.push_back(uint8_t(V >> 8));
}
void Put32(std::vector<uint8_t>& D, uint32_t V) {
  Put16(D, V & 0xFFFF);
  Put16(D, V >> 16);
}

// A one-image .cur file of W x H pixels with Bits a pixel; Pixel(x, y) gives
// the stored value (palette index or 0xAARRGGBB), Masked(x, y) the mask bit.
template <class P, class M>
std::vector<uint8_t> MakeCursor(int W, int H, int Bits, P Pixel, M Masked, TPoint Hot = {}) {
  std::vector<uint8_t> Img;
  Put32(Img, 40);
  Put32(Img, uint32_t(W));
  Put32(Img, uint32_t(2 * H));
  Put16(Img, 1);
  Put16(Img, uint16_t(Bits));
  for (int i = 0; i < 6; ++i)
    Put32(Img, 0);
  if (Bits <= 8)
    for (uint32_t i = 0; i < (1u << Bits); ++i)
      Put32(Img, i * 0x00010203u); // index i: red i, green 2i, blue 3i
  const int Stride = (W * Bits + 31) / 32 * 4, MStride = (W + 31) / 32 * 4;
  for (int y = H - 1; y >= 0; --y) {
    std::vector<uint8_t> Row(std::size_t(Stride), 0);
    for (int x = 0; x < W; ++x) {
      const uint32_t V = Pixel(x, y);
      if (Bits < 8)
        Row[std::size_t(x * Bits / 8)] |= uint8_t(V << (8 - Bits - (x * Bits) % 8));
      else
        for (int b = 0; b < Bits / 8; ++b)
          Row[std::size_t(x * Bits / 8 + b)] = uint8_t(V >> (8 * b));
    }
    Img.insert(Img.end(), Row.begin(), Row.end());
  }
  for (int y = H - 1; y >= 0; --y) {
    std::vector<uint8_t> Row(std::size_t(MStride), 0);
    for (int x = 0; x < W; ++x)
      if (Masked(x, y)) Row[std::size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
    Img.insert(Img.end(), Row.begin(), Row.end());
  }
  std::vector<uint8_t> F;
  Put16(F, 0);
  Put16(F, 2);
  Put16(F, 1);
  F.push_back(uint8_t(W));
  F.push_back(uint8_t(H));
  F.push_back(0);
  F.push_back(0);
  Put16(F, uint16_t(Hot.X));
  Put16(F, uint16_t(Hot.Y));
  Put32(F, uint32_t(Img.size()));
  Put32(F, 22);
  F.insert(F.end(), Img.begin(), Img.end());
  return F;
}

std::string CursorError(std::vector<uint8_t> Data) {
  try {
    ReadCursorData(Data);
  } catch (const EInvalidGraphic& E) {
    return E.what();
  }
  return "no error";
}

} // namespace

TEST(Cursors, ReaderTakesEveryPlainDepthAndRefusesBadData) {
  const auto Checker = [](int x, int y) { return uint32_t((x + y) % 2); };
  const auto Left = [](int x, int) { return x < 2; };
  HCURSOR C1 = ReadCursorData(MakeCursor(5, 3, 1, Checker, Left, {2, 1}));
  EXPECT_EQ(C1->HotSpot, (TPoint{2, 1}));
  EXPECT_EQ(C1->Blend(0, 0, clLime), clLime);         // masked, colour 0
  EXPECT_EQ(C1->Blend(1, 0, 0x000000), RGB(1, 2, 3)); // masked, colour: inverts
  EXPECT_EQ(C1->Blend(3, 0, clLime), RGB(1, 2, 3));   // index 1
  EXPECT_EQ(C1->Blend(4, 0, clLime), clBlack);        // index 0
  EXPECT_EQ(C1->Blend(9, 9, clLime), clLime);         // outside
  HCURSOR C4 = ReadCursorData(MakeCursor(
      3, 2, 4, [](int x, int) { return uint32_t(x + 13); }, [](int, int) { return false; }));
  EXPECT_EQ(C4->Colors[2], RGB(15, 30, 45));
  HCURSOR C24 = ReadCursorData(MakeCursor(
      2, 2, 24, [](int, int y) { return y ? 0x00102030u : 0u; }, [](int, int) { return false; }));
  EXPECT_EQ(C24->Colors[2], RGB(0x10, 0x20, 0x30));
  // 32 bits with alpha: the alpha channel is the mask.
  HCURSOR C32 = ReadCursorData(MakeCursor(
      2, 1, 32, [](int x, int) { return x ? 0xFF0000FFu : 0x100000FFu; },
      [](int, int) { return false; }));
  EXPECT_EQ(C32->Mask, (std::vector<uint8_t>{1, 0}));
  EXPECT_EQ(C32->Colors[1], RGB(0, 0, 0xFF));

  const std::vector<uint8_t> Good = MakeCursor(5, 3, 1, Checker, Left);
  EXPECT_EQ(CursorError({}), "Cursor: file too short");
  std::vector<uint8_t> Bad = Good;
  Bad[2] = 1; // an icon
  EXPECT_EQ(CursorError(Bad), "Cursor: not a cursor file");
  Bad = Good;
  Bad[4] = 0;
  EXPECT_EQ(CursorError(Bad), "Cursor: no image");
  Bad = Good;
  Bad[18] = 0xFF; // image offset far outside
  EXPECT_EQ(CursorError(Bad), "Cursor: image outside the file");
  Bad = Good;
  Bad.resize(Bad.size() - 1);
  EXPECT_EQ(CursorError(Bad), "Cursor: image outside the file");
  Bad = Good;
  Bad[22 + 8] = 7; // odd double height
  EXPECT_EQ(CursorError(Bad), "Cursor: bad size");
  Bad = Good;
  Bad[22 + 5] = 0x7F; // width 2 billion
  EXPECT_EQ(CursorError(Bad), "Cursor: bad size");
  Bad = Good;
  Bad[22 + 14] = 16;
  EXPECT_EQ(CursorError(Bad), "Cursor: unsupported bit count 16");
  Bad = Good;
  Bad[22 + 16] = 1;
  EXPECT_EQ(CursorError(Bad), "Cursor: compressed images are not supported");
  Bad = Good;
  Bad[22 + 4] = 200; // wider than the data holds
  EXPECT_EQ(CursorError(Bad), "Cursor: image data truncated");
  // Every truncation of a good file fails cleanly.
  for (std::size_t n = 0; n < Good.size(); ++n)
    EXPECT_NE(CursorError(std::vector<uint8_t>(Good.begin(), Good.begin() + long(n))), "no error");
}

TEST(Cursors, ScreenTableStartsWithTheStandardCursors) {
  TScreen& S = Screen();
  ASSERT_NE(S.GetCursors(crHandPoint), nullptr);
  EXPECT_EQ(S.GetCursors(crHandPoint)->StandardShape, crHandPoint);
  EXPECT_TRUE(S.GetCursors(crHandPoint)->IsStandard());
  EXPECT_EQ(S.GetCursors(1234)->StandardShape, crDefault); // unset: the default cursor
  EXPECT_EQ(StandardCursor(-23), nullptr);
  EXPECT_EQ(StandardCursor(1), nullptr);

  const HCURSOR Zoom = LoadCursor(GeoLibResources(), "CURGEOZOOM");
  S.SetCursors(1000, Zoom);
  EXPECT_EQ(S.GetCursors(1000), Zoom);
  S.SetCursors(1000, nullptr);
  EXPECT_EQ(S.GetCursors(1000)->StandardShape, crDefault);
  // A replaced standard cursor comes back when its entry is cleared.
  S.SetCursors(crHandPoint, Zoom);
  EXPECT_EQ(S.GetCursors(crHandPoint), Zoom);
  S.SetCursors(crHandPoint, nullptr);
  EXPECT_EQ(S.GetCursors(crHandPoint)->StandardShape, crHandPoint);
}
