#include "qebgeolib/platform/controls/stdctrls.h"

#include <gtest/gtest.h>

#include "qebgeolib/platform/controls/application.h"
#include "qebgeolib/platform/controls/resources.h"
#include "qebgeolib/resources/georesources.h"

using namespace qeb;

namespace {

struct TToolbar : ::testing::Test {
  THeadlessHost& H = Application().GetHeadlessHost();
  TPanel Panel{nullptr};
  TSpeedButton* Pointer = new TSpeedButton(&Panel);
  TSpeedButton* Zoom = new TSpeedButton(&Panel);
  std::vector<std::string> Log;
  TToolbar() {
    Panel.SetBounds(0, 0, 200, 33);
    for (auto [B, X, Name] : {std::tuple{Pointer, 3, "pointer"}, {Zoom, 32, "zoom"}}) {
      B->SetParent(&Panel);
      B->SetBounds(X, 3, 26, 26);
      B->SetGroupIndex(999);
      B->SetFlat(true);
      B->SetOnClick([this, B = B, Name = std::string(Name)](TObject* Sender) {
        EXPECT_EQ(Sender, B);
        Log.push_back(Name + (B->GetDown() ? " down" : " up"));
      });
    }
    Pointer->SetDown(true);
  }
  ~TToolbar() override { H.ClearInput(); }
  void ClickAt(int32_t X, int32_t Y) {
    H.PostClick(&Panel, mbLeft, 0, X, Y);
    Application().ProcessMessages();
  }
};

} // namespace

TEST_F(TToolbar, GroupedButtonsAreExclusiveAndClickAfterTheirDownStateIsSet) {
  EXPECT_TRUE(Pointer->GetDown());
  ClickAt(40, 10);
  EXPECT_TRUE(Zoom->GetDown());
  EXPECT_FALSE(Pointer->GetDown());
  ClickAt(40, 10); // the one down stays down without AllowAllUp
  EXPECT_TRUE(Zoom->GetDown());
  ClickAt(10, 10);
  EXPECT_EQ(Log, (std::vector<std::string>{"zoom down", "zoom down", "pointer down"}));
  EXPECT_FALSE(Zoom->GetDown());

  // Released outside: no click, no change.
  Log.clear();
  H.PostMouseDown(&Panel, mbLeft, 0, 40, 10);
  H.PostMouseMove(&Panel, 0, 100, 10);
  Application().ProcessMessages();
  EXPECT_TRUE(Zoom->GetPressed() == false);
  H.PostMouseUp(&Panel, mbLeft, 0, 100, 10);
  Application().ProcessMessages();
  EXPECT_TRUE(Log.empty());
  EXPECT_TRUE(Pointer->GetDown());

  // AllowAllUp is shared by the group; then the one down comes up.
  Zoom->SetAllowAllUp(true);
  EXPECT_TRUE(Pointer->GetAllowAllUp());
  ClickAt(10, 10);
  EXPECT_FALSE(Pointer->GetDown());
  EXPECT_FALSE(Zoom->GetDown());
  // The program's Click fires the event without touching Down.
  Pointer->Click();
  EXPECT_EQ(Log.back(), "pointer up");
  // No group, no lasting down state.
  Zoom->SetGroupIndex(0);
  Zoom->SetDown(true);
  EXPECT_FALSE(Zoom->GetDown());
}

TEST_F(TToolbar, ButtonsDrawTheirGlyphsAndDisabledImage) {
  TBitmap Glyph;
  LoadBitmapResource(Glyph, GeoLibResources(), "pointr");
  Pointer->SetGlyph(Glyph);
  Pointer->SetNumGlyphs(2);
  Pointer->SetNumGlyphs(7); // ignored
  EXPECT_EQ(Pointer->GetNumGlyphs(), 2);
  TBitmap Normal, Disabled, Pressed;
  Pointer->GetGlyphImage(0, Normal);
  Pointer->GetGlyphImage(1, Disabled);
  Pointer->GetGlyphImage(2, Pressed); // not in the bitmap: the normal one
  EXPECT_EQ(Normal.GetWidth(), 20);
  EXPECT_EQ(Normal.GetHeight(), 20);
  EXPECT_EQ(Pressed.GetCanvas().GetPixels(3, 5), Normal.GetCanvas().GetPixels(3, 5));
  EXPECT_NE(Disabled.GetCanvas().GetPixels(3, 5), Normal.GetCanvas().GetPixels(3, 5));

  // The glyph lands centred and its background colour is left out.
  // Down: lighter face, sunken by one pixel.
  const auto Shot = [&](int32_t X, int32_t Y) {
    TBitmap B;
    Panel.PaintTo(B);
    return B.GetCanvas().GetPixels(X, Y);
  };
  const TColor Background = Normal.GetCanvas().GetPixels(0, 19);
  const int32_t Ox = 3 + 3 + 1, Oy = 3 + 3 + 1; // button, centring, sunken shift
  EXPECT_EQ(Shot(Ox + 2, Oy + 1), Normal.GetCanvas().GetPixels(2, 1));
  EXPECT_NE(Shot(Ox + 0, Oy + 0), Background);
  Pointer->SetEnabled(false);
  EXPECT_EQ(Shot(Ox + 3, Oy + 5), Disabled.GetCanvas().GetPixels(3, 5));
}

TEST(StdCtrls, ComboBoxSelectionAndChangeEvents) {
  TComboBox Box(nullptr);
  Box.SetStyle(csDropDownList);
  int Changes = 0;
  Box.SetOnChange([&](TObject* Sender) {
    EXPECT_EQ(Sender, &Box);
    ++Changes;
  });
  TComboBoxItems& Items = Box.GetItems();
  EXPECT_EQ(Items.Add("alps"), 0);
  EXPECT_EQ(Items.Add("c:\\maps\\jura.xml"), 1);
  Items.Add("tirol");
  EXPECT_EQ(Box.GetItemIndex(), -1);
  EXPECT_EQ(Box.GetText(), "");
  Box.SetItemIndex(1);
  EXPECT_EQ(Box.GetText(), "c:\\maps\\jura.xml");
  Box.SetItemIndex(3); // out of range: no selection
  EXPECT_EQ(Box.GetItemIndex(), -1);
  Box.SetItemIndex(-7);
  EXPECT_EQ(Box.GetItemIndex(), -1);
  EXPECT_EQ(Changes, 0); // the program's changes never fire OnChange

  Box.Select(2);
  Box.Select(2);
  Box.Select(3);
  EXPECT_EQ(Changes, 2);
  EXPECT_EQ(Box.GetItemIndex(), 2);
  // The selection stays on its item as the list changes.
  Items.Insert(0, "new");
  EXPECT_EQ(Box.GetText(), "tirol");
  Items.Delete(1);
  EXPECT_EQ(Box.GetItemIndex(), 2);
  Items.Delete(2);
  EXPECT_EQ(Box.GetItemIndex(), -1);
  EXPECT_THROW(Items.Delete(5), std::out_of_range);
  EXPECT_THROW(Items.Insert(9, "x"), std::out_of_range);
  EXPECT_EQ(Items.IndexOf("c:\\maps\\jura.xml"), 1);
  Box.SetItemIndex(0);
  Items.Clear();
  EXPECT_EQ(Box.GetItemIndex(), -1);
  EXPECT_EQ(Changes, 2);

  // The plain look: a white field, the drop-down arrow in button text colour.
  Items.Add("x");
  Box.SetItemIndex(0);
  TBitmap B;
  Box.PaintTo(B);
  EXPECT_EQ(B.GetCanvas().GetPixels(100, 10), ColorToRGB(clWindow));
  const int32_t ArrowX = 145 - 2 - 17 + 17 / 2;
  EXPECT_EQ(B.GetCanvas().GetPixels(ArrowX, 21 / 2 - 1), ColorToRGB(clBtnText));
}

TEST(StdCtrls, PanelDrawsARaisedBevel) {
  TPanel P(nullptr);
  P.SetBounds(0, 0, 50, 20);
  TBitmap B;
  P.PaintTo(B);
  TCanvas& C = B.GetCanvas();
  EXPECT_EQ(C.GetPixels(10, 0), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(C.GetPixels(0, 10), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(C.GetPixels(10, 19), ColorToRGB(clBtnShadow));
  EXPECT_EQ(C.GetPixels(49, 10), ColorToRGB(clBtnShadow));
  EXPECT_EQ(C.GetPixels(10, 10), ColorToRGB(clBtnFace));
}
