// Resources, cursors, the screen's cursor table and the clipboard.
#include <gtest/gtest.h>

#include "qebgeolib/platform/bitmap.h"
#include "qebgeolib/platform/canvas.h"
#include "qebgeolib/platform/clipboard.h"
#include "qebgeolib/platform/cursors.h"
#include "qebgeolib/platform/resources.h"
#include "qebgeolib/resources/georesources.h"

using namespace qeb;

namespace qeb::test {
const TResourceModule& TestResources();
}

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

TEST(Resources, EmbeddedTablesKeepEveryByteAndFindNamesInAnyCase) {
  const TResourceModule& M = test::TestResources();
  EXPECT_EQ(M.ModuleName, "TestResources");
  const TResourceEntry* All = FindResource(M, "allbytes");
  ASSERT_NE(All, nullptr);
  ASSERT_EQ(All->Data.size(), 256u);
  for (std::size_t i = 0; i < 256; ++i)
    ASSERT_EQ(All->Data[i], i);
  const TResourceEntry* Empty = FindResource(M, "EMPTY", RT_RCDATA);
  ASSERT_NE(Empty, nullptr);
  EXPECT_TRUE(Empty->Data.empty());
  const TResourceEntry* Hello = FindResource(M, "Hello.TXT");
  ASSERT_NE(Hello, nullptr);
  EXPECT_EQ(std::string(Hello->Data.begin(), Hello->Data.end()), "Hello, resources!\n");
  EXPECT_EQ(FindResource(M, "allbytes", RT_BITMAP), nullptr);
  EXPECT_EQ(FindResource(M, "nothing"), nullptr);

  TBitmap B;
  try {
    LoadBitmapResource(B, M, "MISSING");
    FAIL();
  } catch (const EResNotFound& E) {
    EXPECT_STREQ(E.what(), "Resource MISSING not found");
  }
  EXPECT_THROW(LoadBitmapResource(B, M, "hello.txt"), EResNotFound); // not a bitmap resource
  // A cursor resource whose data is no cursor loads as none.
  EXPECT_EQ(LoadCursor(M, "BROKEN"), nullptr);
  EXPECT_EQ(LoadCursor(M, "GLYPH"), nullptr);
  EXPECT_NE(LoadCursor(M, "hand"), nullptr);
}

TEST(Resources, TheAtlasGlyphsAndCursorsAreInTheLibrary) {
  for (const char* Name : {"POINTR", "ZOOMIN"}) {
    TBitmap B;
    LoadBitmapResource(B, GeoLibResources(), Name);
    EXPECT_EQ(B.GetWidth(), 40) << Name;
    EXPECT_EQ(B.GetHeight(), 20) << Name;
    EXPECT_EQ(B.GetPixelFormat(), pf8bit) << Name;
    // Both glyphs share the transparent background at their bottom left.
    EXPECT_EQ(B.GetCanvas().GetPixels(0, 19), B.GetCanvas().GetPixels(20, 19)) << Name;
  }
  const auto Check = [](const char* Name, TPoint Hot) {
    const HCURSOR C = LoadCursor(GeoLibResources(), Name);
    ASSERT_NE(C, nullptr) << Name;
    EXPECT_EQ(C->Width, 32);
    EXPECT_EQ(C->Height, 32);
    EXPECT_EQ(C->HotSpot, Hot) << Name;
    int Black = 0, White = 0;
    for (std::size_t i = 0; i < C->Colors.size(); ++i)
      if (!C->Mask[i]) ++(C->Colors[i] == clBlack ? Black : White);
    EXPECT_GT(Black, 20) << Name;
    EXPECT_GT(White, 20) << Name;
    // Away from the drawing the cursor is transparent.
    EXPECT_EQ(C->Blend(31, 0, clRed), clRed);
  };
  Check("CURGEOZOOM", {6, 6});
  Check("curgeohand", {0, 0});
  // The hand cursor's hot spot is the black tip of its arrow.
  EXPECT_EQ(LoadCursor(GeoLibResources(), "CURGEOHAND")->Blend(0, 0, clWhite), clBlack);
}

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

TEST(Clipboard, BitmapsAndTextRoundTripThroughTheBackend) {
  TClipboard& C = Clipboard();
  C.Clear();
  TBitmap Out;
  try {
    Out.Assign(&C);
    FAIL();
  } catch (const EClipboardException& E) {
    EXPECT_STREQ(E.what(), "Clipboard does not contain a bitmap");
  }
  TBitmap In(7, 5, pf15bit);
  In.GetCanvas().SetPixels(3, 2, clRed);
  C.Assign(&In);
  In.GetCanvas().SetPixels(3, 2, clBlue); // the clipboard holds a copy
  EXPECT_TRUE(C.HasFormat(CF_BITMAP));
  EXPECT_FALSE(C.HasFormat(CF_TEXT));
  Out.Assign(&C);
  EXPECT_EQ(Out.GetWidth(), 7);
  EXPECT_EQ(Out.GetPixelFormat(), pf15bit);
  EXPECT_EQ(Out.GetCanvas().GetPixels(3, 2), clRed);
  C.SetAsText("Grüße");
  EXPECT_FALSE(C.HasFormat(CF_BITMAP));
  EXPECT_EQ(C.GetAsText(), "Grüße");
  C.Assign(nullptr);
  EXPECT_FALSE(C.HasFormat(CF_TEXT));
  TPen Pen;
  EXPECT_THROW(C.Assign(&Pen), EConvertError);

  // A replacement backend gets the calls; the old one comes back intact.
  struct TCounting : TClipboardBackend {
    int Sets = 0;
    void Clear() override {}
    bool HasFormat(TClipboardFormat) override { return false; }
    void SetBitmap(const TBitmap&) override { ++Sets; }
    bool GetBitmap(TBitmap&) override { return false; }
    void SetText(const std::string&) override {}
    std::string GetText() override { return {}; }
  };
  C.SetAsText("kept");
  auto Old = C.SetBackend(std::make_unique<TCounting>());
  C.Assign(&In);
  EXPECT_EQ(static_cast<TCounting&>(C.GetBackend()).Sets, 1);
  C.SetBackend(std::move(Old));
  EXPECT_EQ(C.GetAsText(), "kept");
  C.Clear();
}
