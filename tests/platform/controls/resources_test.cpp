// Embedded resource tables: the tests' own and the library's glyphs and cursors.
#include <gtest/gtest.h>

#include "qebgeolib/platform/controls/clipboard.h"
#include "qebgeolib/platform/controls/cursors.h"
#include "qebgeolib/platform/controls/resources.h"
#include "qebgeolib/platform/graphics/bitmap.h"
#include "qebgeolib/platform/graphics/canvas.h"
#include "qebgeolib/resources/georesources.h"

using namespace qeb;

namespace qeb::test {
const TResourceModule& TestResources();
}

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
