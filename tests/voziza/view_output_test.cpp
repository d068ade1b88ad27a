// Output of the map control: clipboard, caller bitmaps and printer pages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "qebgeolib/platform/clipboard.h"
#include "qebgeolib/platform/pngimage.h"
#include "qebgeolib/platform/printers.h"
#include "qebgeolib/platform/sysutils.h"
#include "tests/errortext.h"
#include "tests/voziza/viewtest.h"

using namespace qeb;
using qeb::test::ErrorOf;
using qeb::test::PixelCode;
using qeb::test::To15;
using qeb::test::TTestView;

namespace {

TColor Px(const TBitmap& B, int32_t X, int32_t Y) {
  return const_cast<TBitmap&>(B).GetCanvas().GetPixels(X, Y);
}

// A control named "Map" showing a coded image of W x H pixels.
void Load(TTestView& V, int32_t W, int32_t H) {
  V.SetName("Map");
  TBitmap Bmp;
  test::FillCodedImage(Bmp, W, H);
  V.SetMapBitMap(&Bmp);
}

// Pixels of A and B inside [X0, X1) x [Y0, Y1) (B read at an offset) that
// differ.
int Differences(const TBitmap& A, const TBitmap& B, int32_t X0, int32_t Y0, int32_t X1, int32_t Y1,
                int32_t DX = 0, int32_t DY = 0) {
  int N = 0;
  for (int32_t Y = Y0; Y < Y1; ++Y)
    for (int32_t X = X0; X < X1; ++X)
      N += Px(A, X, Y) != Px(B, X + DX, Y + DY);
  return N;
}

// Keeps a copy of every page.
class TPageKeeper : public TPrinterBackend {
public:
  explicit TPageKeeper(std::vector<std::unique_ptr<TBitmap>>& Pages) : FPages(Pages) {}
  void StartDoc(const std::string&) override {}
  void PrintPage(const TBitmap& Page, int32_t) override {
    FPages.push_back(std::make_unique<TBitmap>());
    FPages.back()->Assign(const_cast<TBitmap*>(&Page));
  }
  void EndDoc() override {}
  void AbortDoc() override {}

private:
  std::vector<std::unique_ptr<TBitmap>>& FPages;
};

} // namespace

TEST(VozIzaOutput, ClipboardHoldsTheLastComposedView) {
  TTestView V;
  Load(V, 700, 600);
  test::CalibrateCorners(V, 50, 10, 49, 11);
  V.SetShowGrat(sgPointsAndLines);
  V.SetTopLeft({7, 9});
  TBitmap Shown;
  Shown.Assign(const_cast<TBitmap*>(&V.GetSurface()));
  // A change that is not drawn: the clipboard still gets the view on screen.
  V.SetSuppressPaint(true);
  V.SetTopLeft({100, 100});
  const int Paints = V.Paints;
  V.CopyToClipboard();
  EXPECT_EQ(V.Paints, Paints);

  TBitmap Got;
  ASSERT_TRUE(Clipboard().GetBitmap(Got));
  ASSERT_EQ(Got.GetWidth(), 500);
  ASSERT_EQ(Got.GetHeight(), 400);
  // Ring 0 keeps the new bitmap's white, ring 1 is the outline, the inside
  // is what the control shows.
  int Bad = 0;
  for (int32_t Y = 0; Y < 400; ++Y)
    for (int32_t X = 0; X < 500; ++X) {
      const int32_t Ring = std::min({X, Y, 499 - X, 399 - Y});
      Bad += Px(Got, X, Y) != (Ring == 0 ? clWhite : Ring == 1 ? clBlack : Px(Shown, X, Y));
    }
  EXPECT_EQ(Bad, 0);
  EXPECT_EQ(Px(Got, 3, 3), To15(PixelCode(10, 12)));
}

TEST(VozIzaOutput, CopyToBMPComposesAViewOfItsOwn) {
  TTestView V;
  Load(V, 1200, 1000);
  test::CalibrateCorners(V, 50, 10, 49, 11);
  V.SetShowGrat(sgPointsAndLines);
  // A host's drawing placed through MapImageToControl lands where it does
  // on screen (compared with the rest of the view below).
  V.SetOnDataRendered([&V](TObject*, TCanvas& C) {
    const TPoint P = V.MapImageToControl({300, 200});
    C.GetBrush().SetColor(0xFF00FF);
    C.FillRect(Rect(P.X - 2, P.Y - 2, P.X + 3, P.Y + 3));
  });
  V.SetMagnification(0.5); // builds the cache at 0.5
  ASSERT_EQ(V.FCacheMag, 0.5);
  const int32_t CacheW = V.FImgCache.GetWidth();
  TBitmap AuxBefore;
  AuxBefore.Assign(&V.AuxBmp);

  for (const auto& [TL, M] : {std::pair{TPoint{40, 60}, 2.0}, std::pair{TPoint{8, 4}, 0.25}}) {
    const int Paints = V.Paints;
    TBitmap Dest(500, 400);
    V.CopyToBMP(&Dest, TL, M, 0, 0, 500, 400);
    EXPECT_EQ(V.Paints, Paints);
    EXPECT_EQ(V.FCacheMag, 0.5);
    EXPECT_EQ(V.FImgCache.GetWidth(), CacheW);
    EXPECT_EQ(V.GetMagnification(), 0.5);
    EXPECT_EQ(Differences(V.AuxBmp, AuxBefore, 0, 0, 500, 400), 0);
    // The control shows the same picture at that view (frame aside).
    V.SetTopLeft(TL);
    V.SetMagnification(M);
    EXPECT_EQ(Differences(Dest, V.AuxBmp, 2, 2, 498, 398), 0) << M;
    V.SetTopLeft({0, 0});
    V.SetMagnification(0.5);
    AuxBefore.Assign(&V.AuxBmp);
  }
}

TEST(VozIzaOutput, CopyToBMPPlacesClipsAndRefuses) {
  TTestView V;
  Load(V, 300, 200);
  TBitmap Dest(100, 80, pf32bit);
  Dest.GetCanvas().GetBrush().SetColor(clLime);
  Dest.GetCanvas().FillRect({0, 0, 100, 80});
  V.CopyToBMP(&Dest, {0, 0}, 1.0, 30, 20, 50, 40);
  EXPECT_EQ(Px(Dest, 30, 20), To15(PixelCode(0, 0)));
  EXPECT_EQ(Px(Dest, 79, 59), To15(PixelCode(49, 39)));
  EXPECT_EQ(Px(Dest, 80, 59), clLime);
  EXPECT_EQ(Px(Dest, 79, 60), clLime);
  EXPECT_EQ(Px(Dest, 29, 20), clLime);
  // Partly off the top left, at magnification 2.
  V.CopyToBMP(&Dest, {10, 10}, 2.0, -5, -7, 50, 40);
  EXPECT_EQ(Px(Dest, 0, 0), To15(PixelCode(12, 13)));
  EXPECT_EQ(Px(Dest, 44, 32), To15(PixelCode(10 + 49 / 2, 10 + 39 / 2)));
  EXPECT_EQ(Px(Dest, 45, 0), clLime);

  TBitmap Before;
  Before.Assign(&Dest);
  const std::string P = "Component \"Map\": ";
  EXPECT_EQ(ErrorOf([&] {
              V.CopyToBMP(nullptr, {0, 0}, 1, 0, 0, 10, 10);
            }),
            P + "no destination bitmap");
  for (double M : {0.0, -1.0, std::nan(""), double(INFINITY), 1.0 / 2048, 1025.0})
    EXPECT_EQ(ErrorOf([&] {
                V.CopyToBMP(&Dest, {0, 0}, M, 0, 0, 10, 10);
              }),
              P + "magnification must lie between 1/1024 and 1024");
  for (int32_t S : {0, -3, (1 << 20) + 1})
    EXPECT_EQ(ErrorOf([&] {
                V.CopyToBMP(&Dest, {0, 0}, 1, 0, 0, S, 10);
              }),
              P + "output size must lie between 1 and 1048576 pixels a side");
  EXPECT_EQ(ErrorOf([&] {
              V.CopyToBMP(&Dest, {0, -(1 << 29)}, 1, 0, 0, 10, 10);
            }),
            P + "view position must lie between -268435456 and 268435456");
  EXPECT_EQ(Differences(Dest, Before, 0, 0, 100, 80), 0);
  // Wholly outside the destination: nothing drawn, no error.
  V.CopyToBMP(&Dest, {0, 0}, 1, 100, 0, 50, 50);
  EXPECT_EQ(Differences(Dest, Before, 0, 0, 100, 80), 0);
}

TEST(VozIzaOutput, LargeOutputInTilesMatchesOneComposition) {
  TTestView V;
  Load(V, 3000, 900);
  test::CalibrateCorners(V, 50, 10, 49, 11);
  V.SetShowGrat(sgPointsAndLines);
  V.SetGratLineDist(0.1); // meridians 900 view pixels apart, a parallel at row 15
  const TColor Grat = To15(V.GetColorGraticule());
  // 8200 pixels wide: two tiles side by side, the second starting at view
  // column 4100. At m = 2 it is composed from image column 5 + 2050 and
  // everything matches one composition. At m = 3 it starts at image column
  // 5 + 1366 (view column 4098): the drawn lines still land on the same
  // pixels; the image stretch of one wide composition is not exactly 3
  // (8200 / 2733), so image pixels may differ by a pixel's shift there.
  for (double M : {2.0, 3.0}) {
    const TTestView::TViewPort View{{5, 85}, M, 8200, 30};
    TBitmap One(8200, 30, pf15bit), Tiled(8200, 30, pf15bit);
    V.ComposeView(One, View, false, false);
    V.CopyToBMP(&Tiled, View.TopLeft, View.Mag, 0, 0, View.Width, View.Height);
    int Lines = 0, LineDiffs = 0, AllDiffs = 0;
    for (int32_t Y = 0; Y < 30; ++Y)
      for (int32_t X = 0; X < 8200; ++X) {
        const TColor A = Px(One, X, Y), B = Px(Tiled, X, Y);
        Lines += A == Grat;
        LineDiffs += (A == Grat || B == Grat) && A != B;
        AllDiffs += A != B;
      }
    EXPECT_GT(Lines, 5000) << M; // the parallel crosses the seam
    EXPECT_EQ(LineDiffs, 0) << M;
    if (M == 2.0) {
      EXPECT_EQ(AllDiffs, 0);
    }
  }
}

TEST(VozIzaOutput, EntireMapToClipboard) {
  TTestView Empty;
  Clipboard().SetAsText("kept");
  Empty.CopyEntireMapToClipboard();
  EXPECT_EQ(Clipboard().GetAsText(), "kept");

  TTestView V;
  Load(V, 320, 240);
  test::CalibrateCorners(V, 50, 10, 49, 11);
  V.SetShowGrat(sgPoints);
  V.SetMagnification(2);
  V.SetTopLeft({50, 50});
  V.CopyEntireMapToClipboard();
  TBitmap Got, Ref(320, 240, pf15bit);
  ASSERT_TRUE(Clipboard().GetBitmap(Got));
  ASSERT_EQ(Got.GetWidth(), 320);
  ASSERT_EQ(Got.GetHeight(), 240);
  V.ComposeView(Ref, {{0, 0}, 1.0, 320, 240}, false, false);
  EXPECT_EQ(Differences(Got, Ref, 0, 0, 320, 240), 0);
  EXPECT_EQ(Px(Got, 0, 120), To15(PixelCode(0, 120))); // no frame
  EXPECT_EQ(Px(Got, 0, 0), To15(V.GetColorCalibPoints()));
}

TEST(VozIzaOutput, ExtentsOfPrint) {
  TTestView V;
  TPrinter P;
  V.SetPrinter(&P);
  int32_t W = -1, H = -1;
  V.CalcExtentsOfPrint({0, 0, 1000, 500}, 50000, W, H);
  EXPECT_EQ(W, 0); // no resolution yet
  EXPECT_EQ(H, 0);
  V.FCalibData.Resolution = 10; // metres per pixel
  // 10 m at 1:50000 is 0.2 mm: 2.3622 pixels at 300 per inch.
  V.CalcExtentsOfPrint({1000, 500, 0, 0}, 50000, W, H);
  EXPECT_EQ(W, 2362);
  EXPECT_EQ(H, 1181);
  P.SetPixelsPerInch(600);
  V.CalcExtentsOfPrint({0, 0, 1000, 500}, 50000, W, H);
  EXPECT_EQ(W, 4724);
  EXPECT_EQ(H, 2362);
  V.CalcExtentsOfPrint({0, 0, 1000, 500}, 0, W, H);
  EXPECT_EQ(W, 0);
  EXPECT_EQ(H, 0);
}

TEST(VozIzaOutput, PrintItWritesAPngPage) {
  TTestView V;
  Load(V, 600, 500);
  V.SetTopLeft({3, 5});
  TPrinter P;
  P.SetPageSize(1200, 1000);
  const std::string File = test::TempPath("view_output_print.png");
  DeleteFile(File);
  P.SetBackend(std::make_unique<TPNGPrinterBackend>(File));
  V.SetPrinter(&P);
  EXPECT_EQ(ErrorOf([&] { V.PrintIt(0); }), "Component \"Map\": scale factor must be positive");
  EXPECT_FALSE(FileExists(File));
  V.PrintIt(2.0);
  EXPECT_FALSE(P.GetPrinting());
  TPNGImage Page;
  Page.LoadFromFile(File);
  ASSERT_EQ(Page.GetWidth(), 1200);
  ASSERT_EQ(Page.GetHeight(), 1000);
  const TBitmap& B = Page.GetBitmap();
  EXPECT_EQ(Px(B, 0, 0), To15(PixelCode(3, 5)));
  EXPECT_EQ(Px(B, 21, 41), To15(PixelCode(13, 25)));
  EXPECT_EQ(Px(B, 999, 799), To15(PixelCode(502, 404)));
  EXPECT_EQ(Px(B, 1000, 0), clWhite);
  EXPECT_EQ(Px(B, 0, 800), clWhite);
}

TEST(VozIzaOutput, CopyToOpenPrinter) {
  TTestView V;
  Load(V, 400, 300);
  V.SetAntiAlias(false); // nearest pixels: exact samples when reducing
  std::vector<std::unique_ptr<TBitmap>> Pages;
  TPrinter P;
  P.SetPixelsPerInch(254); // 1 m a pixel at 1:10000 is one printer pixel
  P.SetPageSize(800, 700);
  P.SetBackend(std::make_unique<TPageKeeper>(Pages));
  V.SetPrinter(&P);
  int32_t X = 10, Y = 20;
  EXPECT_EQ(ErrorOf([&] { V.CopyToOpenPrinter(X, Y, 1.0); }), "Printing not in progress");

  P.BeginDoc();
  V.CopyToOpenPrinter(X, Y, 0.5);
  EXPECT_EQ(X, 260);
  EXPECT_EQ(Y, 220);
  auto Refusal = [&](int32_t Scale) {
    return ErrorOf([&] { V.CopyToOpenPrinter(TRect{0, 0, 10, 10}, Scale, 0, 0); });
  };
  const std::string E = "Component \"Map\": ";
  EXPECT_EQ(Refusal(5000), E + "the map's resolution is unknown");
  V.FCalibData.Resolution = 1;
  EXPECT_EQ(Refusal(0), E + "map scale must be positive");
  EXPECT_EQ(Refusal(1), E + "map scale 1:1 needs a magnification outside 1/1024..1024");
  V.CopyToOpenPrinter({140, 80, 100, 50}, 5000, 300, 400); // 2 pixels a pixel
  V.CopyToOpenPrinter({20, 30}, 10000, 0, 600, 40, 30);    // 1:1
  V.CopyToOpenPrinter({0, 0}, 10000, 780, 690, 100, 100);  // clipped at the corner
  P.EndDoc();

  ASSERT_EQ(Pages.size(), 1u);
  const TBitmap& B = *Pages[0];
  EXPECT_EQ(Px(B, 10, 20), To15(PixelCode(1, 1)));
  EXPECT_EQ(Px(B, 110, 70), To15(PixelCode(201, 101)));
  EXPECT_EQ(Px(B, 259, 219), To15(V.GetColorBackGnd()));
  EXPECT_EQ(Px(B, 260, 100), clWhite);
  EXPECT_EQ(Px(B, 300, 400), To15(PixelCode(100, 50)));
  EXPECT_EQ(Px(B, 379, 459), To15(PixelCode(139, 79)));
  EXPECT_EQ(Px(B, 380, 400), clWhite);
  EXPECT_EQ(Px(B, 0, 600), To15(PixelCode(20, 30)));
  EXPECT_EQ(Px(B, 39, 629), To15(PixelCode(59, 59)));
  EXPECT_EQ(Px(B, 40, 600), clWhite);
  EXPECT_EQ(Px(B, 799, 699), To15(PixelCode(19, 9)));

  // Without a printer of its own the control prints on Printer().
  V.SetPrinter(nullptr);
  auto Saved = Printer().SetBackend(std::make_unique<TPageKeeper>(Pages));
  V.PrintIt(1.0);
  Printer().SetBackend(std::move(Saved));
  ASSERT_EQ(Pages.size(), 2u);
  EXPECT_EQ(Pages[1]->GetWidth(), 2480);
  EXPECT_EQ(Px(*Pages[1], 5, 7), To15(PixelCode(5, 7)));
  EXPECT_EQ(Px(*Pages[1], 500, 7), clWhite);
}
