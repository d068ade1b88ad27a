// Output of the map control: clipboard, caller bitmaps and printer pages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "qebgeolib/platform/base/sysutils.h"
#include "qebgeolib/platform/controls/clipboard.h"
#include "qebgeolib/platform/controls/printers.h"
#include "qebgeolib/platform/graphics/pngimage.h"
#include "tests/errortext.h"
#include "tests/voziza/viewtest.h"

using namespace qeb;
using qeb::test::ErrorOf;
using qeb::test::PixelCode;
using qeb::test::Px;
using qeb::test::To15;

namespace {

// A control named "Map" showing a coded image of W x H pixels; with Overlays
// calibrated and showing the graticule.
void Load(TVozIza& V, int32_t W, int32_t H, bool Overlays = false) {
  V.SetName("Map");
  test::ShowCodedImage(V, W, H);
  if (!Overlays) return;
  test::CalibrateCorners(V, 50, 10, 49, 11);
  V.SetShowGrat(sgPointsAndLines);
}

// Pixels of A and B inside [X0, X1) x [Y0, Y1) that differ.
int Differences(const TBitmap& A, const TBitmap& B, int32_t X0, int32_t Y0, int32_t X1,
                int32_t Y1) {
  int N = 0;
  for (int32_t Y = Y0; Y < Y1; ++Y)
    for (int32_t X = X0; X < X1; ++X)
      N += Px(A, X, Y) != Px(B, X, Y);
  return N;
}

} // namespace

TEST(VozIzaOutput, Clipboard) {
  TVozIza V(nullptr);
  Load(V, 700, 600);
  V.SetTopLeft({7, 9});
  TBitmap Shown;
  Shown.Assign(&V.GetSurface());
  // A change that is not drawn: the clipboard still gets the view on screen.
  V.SetSuppressPaint(true);
  V.SetTopLeft({100, 100});
  V.CopyToClipboard();
  TBitmap Got;
  ASSERT_TRUE(Clipboard().GetBitmap(Got));
  ASSERT_EQ((TPoint{Got.GetWidth(), Got.GetHeight()}), (TPoint{500, 400}));
  // Ring 0 keeps the new bitmap's white, ring 1 is the outline, the inside
  // is what the control shows.
  int Bad = 0;
  for (int32_t Y = 0; Y < 400; ++Y)
    for (int32_t X = 0; X < 500; ++X) {
      const int32_t Ring = std::min({X, Y, 499 - X, 399 - Y});
      Bad += Px(Got, X, Y) != (Ring == 0 ? clWhite : Ring == 1 ? clBlack : Px(Shown, X, Y));
    }
  EXPECT_EQ(Bad, 0);

  // The whole image at magnification 1, whatever the view.
  V.CopyEntireMapToClipboard();
  ASSERT_TRUE(Clipboard().GetBitmap(Got));
  ASSERT_EQ((TPoint{Got.GetWidth(), Got.GetHeight()}), (TPoint{700, 600}));
  EXPECT_EQ(Px(Got, 0, 0), To15(PixelCode(0, 0)));
  EXPECT_EQ(Px(Got, 699, 599), To15(PixelCode(699, 599)));
}

TEST(VozIzaOutput, CopyToBMPComposesAViewOfItsOwn) {
  TVozIza V(nullptr);
  Load(V, 1200, 1000, true);
  // A host's drawing placed through MapImageToControl lands where it does
  // on screen (compared with the rest of the view below).
  V.SetOnDataRendered([&V](TObject*, TCanvas& C) {
    const TPoint P = V.MapImageToControl({300, 200});
    C.GetBrush().SetColor(0xFF00FF);
    C.FillRect(Rect(P.X - 2, P.Y - 2, P.X + 3, P.Y + 3));
  });
  V.SetMagnification(0.5); // builds the cache at 0.5
  TBitmap Shown, Dest[2] = {TBitmap(500, 400), TBitmap(500, 400)};
  Shown.Assign(&V.GetSurface());
  const std::pair<TPoint, double> Views[2] = {{{40, 60}, 2.0}, {{8, 4}, 0.25}};
  for (int I = 0; I < 2; ++I)
    V.CopyToBMP(&Dest[I], Views[I].first, Views[I].second, 0, 0, 500, 400);
  EXPECT_EQ(V.GetMagnification(), 0.5);
  EXPECT_EQ(V.MapImageToControl({300, 200}), (TPoint{150, 100}));
  V.Repaint();
  EXPECT_EQ(Differences(V.GetSurface(), Shown, 0, 0, 500, 400), 0);
  // The control shows the same pictures at those views (frame aside).
  for (int I = 0; I < 2; ++I) {
    V.SetTopLeft(Views[I].first);
    V.SetMagnification(Views[I].second);
    EXPECT_EQ(Differences(Dest[I], V.GetSurface(), 2, 2, 498, 398), 0) << I;
  }
}

TEST(VozIzaOutput, CopyToBMPPlacesClipsAndRefuses) {
  TVozIza V(nullptr);
  Load(V, 300, 200);
  TBitmap Dest(100, 80, pf32bit);
  Dest.GetCanvas().GetBrush().SetColor(clLime);
  Dest.GetCanvas().FillRect({0, 0, 100, 80});
  V.CopyToBMP(&Dest, {0, 0}, 1.0, 30, 20, 50, 40);
  EXPECT_EQ(Px(Dest, 30, 20), To15(PixelCode(0, 0)));
  EXPECT_EQ(Px(Dest, 79, 59), To15(PixelCode(49, 39)));
  EXPECT_EQ(Px(Dest, 80, 59), clLime);
  EXPECT_EQ(Px(Dest, 79, 60), clLime);
  // Partly off the top left, at magnification 2.
  V.CopyToBMP(&Dest, {10, 10}, 2.0, -5, -7, 50, 40);
  EXPECT_EQ(Px(Dest, 0, 0), To15(PixelCode(12, 13)));
  EXPECT_EQ(Px(Dest, 45, 0), clLime);

  TBitmap Before;
  Before.Assign(&Dest);
  const TPoint O = Point(0, 0);
  const std::string E = "Component \"Map\": ";
  EXPECT_EQ(ErrorOf([&] { V.CopyToBMP(nullptr, O, 1, 0, 0, 10, 10); }),
            E + "no destination bitmap");
  for (int32_t S : {0, (1 << 20) + 1})
    EXPECT_EQ(ErrorOf([&] { V.CopyToBMP(&Dest, O, 1, 0, 0, S, 10); }),
              E + "output size must lie between 1 and 1048576 pixels a side");
  for (double M : {0.0, std::nan(""), 1025.0})
    EXPECT_THROW(V.CopyToBMP(&Dest, O, M, 0, 0, 10, 10), EQEBVozIzaError);
  EXPECT_THROW(V.CopyToBMP(&Dest, Point(0, -(1 << 29)), 1, 0, 0, 10, 10), EQEBVozIzaError);
  // Wholly outside the destination: nothing drawn, no error.
  V.CopyToBMP(&Dest, {0, 0}, 1, 100, 0, 50, 50);
  EXPECT_EQ(Differences(Dest, Before, 0, 0, 100, 80), 0);
}

TEST(VozIzaOutput, LargeOutputInTilesMatchesOneComposition) {
  TVozIza V(nullptr);
  Load(V, 3000, 900, true);
  V.SetGratLineDist(0.1); // meridians 900 view pixels apart, a parallel at row 15
  const TColor Grat = To15(V.GetColorGraticule());
  // 8200 pixels wide: two tiles, the second from view column 4100. At m = 2
  // it starts at a whole image pixel and all matches one composition; at
  // m = 3 one wide composition stretches the image by 8200 / 2733, not
  // exactly 3, so only the drawn lines must land on the same pixels.
  // The control itself, as wide, composes it in one piece (frame aside).
  V.SetBounds(0, 0, 8200, 30);
  V.SetTopLeft({5, 85});
  for (double M : {2.0, 3.0}) {
    V.SetMagnification(M);
    TBitmap Tiled(8200, 30, pf15bit);
    V.CopyToBMP(&Tiled, {5, 85}, M, 0, 0, 8200, 30);
    int Lines = 0, LineDiffs = 0, AllDiffs = 0;
    for (int32_t Y = 1; Y < 29; ++Y)
      for (int32_t X = 1; X < 8199; ++X) {
        const TColor A = Px(V.GetSurface(), X, Y), B = Px(Tiled, X, Y);
        Lines += A == Grat;
        LineDiffs += (A == Grat || B == Grat) && A != B;
        AllDiffs += A != B;
      }
    EXPECT_GT(Lines, 5000) << M; // the parallel crosses the seam
    EXPECT_EQ(LineDiffs, 0) << M;
    EXPECT_TRUE(M != 2.0 || AllDiffs == 0) << AllDiffs;
  }
}

TEST(VozIzaOutput, Printing) {
  TVozIza V(nullptr);
  Load(V, 600, 500);
  V.SetTopLeft({3, 5});
  V.SetAntiAlias(false); // nearest pixels: exact samples when reducing
  TPrinter P;
  V.SetPrinter(&P);
  int32_t W = -1, H = -1;
  V.CalcExtentsOfPrint({0, 0, 1000, 500}, 50000, W, H);
  EXPECT_EQ((TPoint{W, H}), (TPoint{0, 0})); // no resolution yet
  TCalibData D = V.GetCalibData();
  D.Resolution = 10; // metres per pixel
  V.SetCalibData(D);
  // 10 m at 1:50000 is 0.2 mm: 2.3622 pixels at 300 per inch.
  V.CalcExtentsOfPrint({1000, 500, 0, 0}, 50000, W, H);
  EXPECT_EQ((TPoint{W, H}), (TPoint{2362, 1181}));
  P.SetPixelsPerInch(600);
  V.CalcExtentsOfPrint({0, 0, 1000, 500}, 50000, W, H);
  EXPECT_EQ((TPoint{W, H}), (TPoint{4724, 2362}));
  V.CalcExtentsOfPrint({0, 0, 1000, 500}, 0, W, H);
  EXPECT_EQ((TPoint{W, H}), (TPoint{0, 0}));

  const std::string File = test::TempPath("view_output_print.png");
  DeleteFile(File);
  P.SetPixelsPerInch(254); // 10 m a pixel at 1:100000 is one printer pixel
  P.SetPageSize(1200, 1000);
  P.SetBackend(std::make_unique<TPNGPrinterBackend>(File));
  EXPECT_EQ(ErrorOf([&] { V.PrintIt(0); }), "Component \"Map\": scale factor must be positive");
  V.PrintIt(2.0);
  TPNGImage Page;
  Page.LoadFromFile(File);
  ASSERT_EQ((TPoint{Page.GetWidth(), Page.GetHeight()}), (TPoint{1200, 1000}));
  EXPECT_EQ(Px(Page.GetBitmap(), 0, 0), To15(PixelCode(3, 5)));
  EXPECT_EQ(Px(Page.GetBitmap(), 21, 41), To15(PixelCode(13, 25)));
  EXPECT_EQ(Px(Page.GetBitmap(), 999, 799), To15(PixelCode(502, 404)));
  EXPECT_EQ(Px(Page.GetBitmap(), 1000, 0), clWhite);

  int32_t X = 10, Y = 20;
  EXPECT_EQ(ErrorOf([&] { V.CopyToOpenPrinter(X, Y, 1.0); }), "Printing not in progress");
  P.BeginDoc();
  V.CopyToOpenPrinter(X, Y, 0.5);
  EXPECT_EQ((TPoint{X, Y}), (TPoint{260, 220}));
  EXPECT_EQ(ErrorOf([&] { V.CopyToOpenPrinter(Rect(0, 0, 10, 10), 1, 0, 0); }),
            "Component \"Map\": map scale 1:1 needs a magnification outside 1/1024..1024");
  V.CopyToOpenPrinter({140, 80, 100, 50}, 50000, 300, 400); // 2 pixels a pixel
  V.CopyToOpenPrinter({0, 0}, 100000, 1180, 990, 100, 100); // 1:1, clipped at the corner
  P.EndDoc();
  Page.LoadFromFile(File);
  const TBitmap& B = Page.GetBitmap();
  EXPECT_EQ(Px(B, 10, 20), To15(PixelCode(4, 6)));
  EXPECT_EQ(Px(B, 300, 400), To15(PixelCode(100, 50)));
  EXPECT_EQ(Px(B, 379, 459), To15(PixelCode(139, 79)));
  EXPECT_EQ(Px(B, 380, 400), clWhite);
  EXPECT_EQ(Px(B, 1199, 999), To15(PixelCode(19, 9)));

  // Without a printer of its own the control prints on Printer().
  V.SetPrinter(nullptr);
  auto Saved = Printer().SetBackend(std::make_unique<TPNGPrinterBackend>(File));
  V.PrintIt(1.0);
  Printer().SetBackend(std::move(Saved));
  Page.LoadFromFile(File);
  EXPECT_EQ(Page.GetWidth(), 2480);
}
