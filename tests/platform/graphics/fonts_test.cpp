// Fonts and text on the canvas: lookup and fallback, metrics, the text box,
// antialiasing, rotation through the font description record.
#include "qebgeolib/platform/graphics/fonts.h"

#include <gtest/gtest.h>

#include <set>

#include "qebgeolib/platform/graphics/bitmap.h"
#include "qebgeolib/platform/graphics/canvas.h"

using namespace qeb;

namespace {

// Bounding box of the pixels that are not white.
TRect Inked(TBitmap& B) {
  TRect R{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  for (int y = 0; y < B.GetHeight(); ++y)
    for (int x = 0; x < B.GetWidth(); ++x)
      if (B.GetCanvas().GetPixels(x, y) != clWhite) {
        R.Left = std::min(R.Left, x);
        R.Top = std::min(R.Top, y);
        R.Right = std::max(R.Right, x + 1);
        R.Bottom = std::max(R.Bottom, y + 1);
      }
  return R;
}

} // namespace

TEST(Fonts, LookupFallbackAndSizes) {
  TFont F;
  EXPECT_EQ(F.GetSize(), 8);
  EXPECT_EQ(F.GetHeight(), -11);
  F.SetSize(12);
  EXPECT_EQ(F.GetHeight(), -16);
  F.SetHeight(20); // a cell height gives a negative size
  EXPECT_EQ(F.GetSize(), -15);
  F.SetSize(INT32_MIN); // extreme sizes saturate
  EXPECT_EQ(F.GetHeight(), INT32_MAX);
  F.SetHeight(INT32_MIN);
  EXPECT_EQ(F.GetSize(), 1610612736);

  TLogFont Unknown;
  Unknown.lfHeight = -13;
  Unknown.lfFaceName = "MS Sans Serif";
  TLogFont Sans = Unknown;
  Sans.lfFaceName = "no such font at all";
  const auto A = TFontFace::Get(Unknown), B = TFontFace::Get(Sans);
  ASSERT_FALSE(A->GetFileName().empty()) << "no font installed";
  EXPECT_EQ(A, B) << "unknown names share the one fallback face";
  EXPECT_EQ(A, TFontFace::Get(Unknown)) << "faces are cached";
  TLogFont Mono = Unknown;
  Mono.lfFaceName = "DejaVu Sans Mono";
  EXPECT_EQ(TFontFace::Get(Mono)->GetFamily(), "DejaVu Sans Mono");

  TBitmap Bmp(10, 10);
  TCanvas& C = Bmp.GetCanvas();
  C.GetFont().SetName("MS Sans Serif");
  C.GetFont().SetSize(10);
  const TSize E = C.TextExtent("Hello");
  EXPECT_GT(E.cx, 20);
  EXPECT_EQ(E.cy, C.GetFont().GetFace()->GetAscent() + C.GetFont().GetFace()->GetDescent());
  EXPECT_EQ(C.TextExtent(""), TSize({0, E.cy}));
  EXPECT_EQ(C.TextWidth("HelloHello"), 2 * E.cx);
  EXPECT_EQ(C.TextWidth("a\xC3"
                        "b"),
            C.TextWidth("a?b"))
      << "a malformed byte counts as '?'";
  C.GetFont().SetStyle(fsBold);
  EXPECT_GT(C.TextWidth("Hello"), E.cx);
  C.GetFont().SetSize(100000); // hostile sizes are capped, not rendered at gigabytes
  EXPECT_LT(C.TextHeight("X"), 2000);
}

TEST(Fonts, TextOutBoxBrushAndAntialiasing) {
  TBitmap B(120, 40);
  TCanvas& C = B.GetCanvas();
  C.GetFont().SetSize(14);
  C.GetFont().SetColor(clBlack);
  C.GetBrush().SetColor(clRed);
  C.GetBrush().SetStyle(bsClear); // no box: nothing red may appear
  const TSize E = C.TextExtent("Map 42");
  C.TextOut(10, 5, "Map 42");
  const TRect Ink = Inked(B);
  EXPECT_GE(Ink.Left, 10);
  EXPECT_GE(Ink.Top, 5);
  EXPECT_LE(Ink.Right, 10 + E.cx);
  EXPECT_LE(Ink.Bottom, 5 + E.cy);
  EXPECT_EQ(C.GetPenPos(), Point(10 + E.cx, 5));
  std::set<TColor> Shades;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 120; ++x)
      Shades.insert(C.GetPixels(x, y));
  EXPECT_GT(Shades.size(), 4u) << "antialiased edges blend";
  for (TColor S : Shades)
    EXPECT_TRUE(GetRValue(S) == GetGValue(S) && GetGValue(S) == GetBValue(S));

  // The same text again gives the same pixels (glyph cache); a solid brush
  // fills exactly the text box.
  TBitmap B2(120, 40);
  B2.GetCanvas().GetFont().SetSize(14);
  B2.GetCanvas().GetFont().SetColor(clBlack);
  B2.GetCanvas().GetBrush().SetColor(clRed);
  B2.GetCanvas().TextOut(10, 5, "Map 42");
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 120; ++x) {
      const bool InBox = x >= 10 && x < 10 + E.cx && y >= 5 && y < 5 + E.cy;
      const TColor P = B2.GetCanvas().GetPixels(x, y);
      if (!InBox) {
        ASSERT_EQ(P, clWhite) << x << "," << y;
      } else if (B.GetCanvas().GetPixels(x, y) == clWhite) {
        ASSERT_EQ(P, clRed) << x << "," << y;
      }
    }

  // Palette bitmaps get hard-edged glyphs in palette colours only.
  TBitmap P(60, 20, pf4bit);
  P.GetCanvas().GetFont().SetColor(clBlue);
  P.GetCanvas().TextOut(0, 0, "Hard");
  std::set<TColor> PS;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 60; ++x)
      PS.insert(P.GetCanvas().GetPixels(x, y));
  EXPECT_EQ(PS, (std::set<TColor>{clWhite, clBlue}));

  // Underline adds a line under the whole text width.
  TBitmap U(120, 40);
  U.GetCanvas().GetFont().SetSize(14);
  U.GetCanvas().GetFont().SetStyle(fsUnderline);
  U.GetCanvas().GetBrush().SetStyle(bsClear);
  U.GetCanvas().TextOut(10, 5, "Map 42");
  const TRect UInk = Inked(U);
  EXPECT_EQ(UInk.Left, 10);
  EXPECT_EQ(UInk.Right, 10 + E.cx);
}

TEST(Fonts, RotatedTextFromTheFontDescription) {
  TBitmap B(60, 120);
  TCanvas& C = B.GetCanvas();
  C.GetFont().SetSize(12);
  C.GetBrush().SetStyle(bsClear);
  TLogFont L = C.GetFont().GetLogFont();
  EXPECT_EQ(L.lfHeight, -16);
  EXPECT_EQ(L.lfWeight, FW_NORMAL);
  const TSize E = C.TextExtent("Rotated");
  L.lfEscapement = L.lfOrientation = 900;
  L.lfCharSet = DEFAULT_CHARSET;
  L.lfQuality = ANTIALIASED_QUALITY;
  C.GetFont().SetLogFont(L);
  EXPECT_EQ(C.GetFont().GetLogFont(), L);
  EXPECT_EQ(C.GetFont().GetOrientation(), 900);
  EXPECT_EQ(C.TextWidth("Rotated"), E.cx) << "extents are measured before rotation";
  // Reading upward from (10, 110): the box turns about its top left corner
  // and covers x 10 .. 10 + height, y 110 - width .. 110.
  C.TextOut(10, 110, "Rotated");
  const TRect Ink = Inked(B);
  EXPECT_GE(Ink.Left, 10);
  EXPECT_LE(Ink.Right, 10 + E.cy + 1);
  EXPECT_GE(Ink.Top, 110 - E.cx - 1);
  EXPECT_LE(Ink.Bottom, 111);
  EXPECT_GT(Ink.Bottom - Ink.Top, E.cx * 3 / 4) << "the text runs vertically";

  // With a solid brush the turned box is filled.
  TBitmap F(60, 120);
  F.GetCanvas().SetFont(C.GetFont());
  F.GetCanvas().GetBrush().SetColor(clLime);
  F.GetCanvas().TextOut(10, 110, "Rotated");
  int Lime = 0;
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 60; ++x) {
      const TColor P = F.GetCanvas().GetPixels(x, y);
      Lime += P == clLime;
      if (x < 9 || x > 11 + E.cy || y < 109 - E.cx || y > 111) {
        ASSERT_EQ(P, clWhite) << x << "," << y;
      }
    }
  EXPECT_GT(Lime, E.cx * E.cy / 2);
}
