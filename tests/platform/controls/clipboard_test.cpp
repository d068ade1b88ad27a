// The clipboard and its backend.
#include <gtest/gtest.h>

#include "qebgeolib/platform/controls/clipboard.h"
#include "qebgeolib/platform/controls/cursors.h"
#include "qebgeolib/platform/controls/resources.h"
#include "qebgeolib/platform/graphics/bitmap.h"
#include "qebgeolib/platform/graphics/canvas.h"
#include "qebgeolib/resources/georesources.h"

using namespace qeb;

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
