// The printer: document lifecycle, page setup limits and the PNG page backend.
#include "qebgeolib/platform/controls/printers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "qebgeolib/platform/base/sysutils.h"
#include "qebgeolib/platform/graphics/canvas.h"
#include "qebgeolib/platform/graphics/pngimage.h"
#include "tests/errortext.h"

using namespace qeb;
using qeb::test::ErrorOf;

TEST(Printer, PageSetupAndLimits) {
  TPrinter P;
  EXPECT_EQ(P.GetPageWidth(), 2480); // A4 at 300 pixels per inch
  // The paper keeps its physical size across resolutions, without drift.
  P.SetPixelsPerInch(72);
  EXPECT_EQ(P.GetPageWidth(), 595);
  P.SetPixelsPerInch(300);
  EXPECT_EQ(P.GetPageHeight(), 3508);
  P.SetOrientation(poLandscape);
  EXPECT_EQ(P.GetPageWidth(), 3508);
  EXPECT_DOUBLE_EQ(P.GetPaperWidthMM(), 297);

  P.SetPixelsPerInch(150);
  P.SetPageSize(600, 400);
  // 4800 pixels per inch would make this paper 19200 x 12800 pixels: too many
  // bytes. Refusals leave the setup as it was.
  EXPECT_THROW(P.SetPixelsPerInch(4800), EPrinter);
  EXPECT_EQ(ErrorOf([&] { P.SetPageSize(20000, 20000); }),
            "Page size 20000 x 20000 out of range: 1..32767 pixels a side and at most "
            "268435456 bytes");
  EXPECT_EQ(ErrorOf([&] { P.SetPixelsPerInch(0); }),
            "Resolution 0 out of range: 1..4800 pixels per inch");
  EXPECT_THROW(P.SetPaperSize(std::nan(""), 100), EPrinter);
  EXPECT_THROW(P.SetPaperSize(1e300, 100), EPrinter);
  P.SetPixelsPerInch(300);
  EXPECT_EQ(P.GetPageWidth(), 1200);
  EXPECT_EQ(P.GetPageHeight(), 800);
}

TEST(Printer, DocumentsOfPngPages) {
  TPrinter P;
  P.SetPageSize(64, 48);
  auto* Png = dynamic_cast<TPNGPrinterBackend*>(&P.GetBackend());
  ASSERT_NE(Png, nullptr);
  Png->SetOutputFile("maps/out.png");
  EXPECT_EQ(Png->PageFileName(1), "maps/out.png");
  EXPECT_EQ(Png->PageFileName(3), "maps/out-3.png");
  Png->SetOutputFile("maps.v2/out");
  EXPECT_EQ(Png->PageFileName(2), "maps.v2/out-2.png");
  Png->SetOutputFile("");
  EXPECT_EQ(Png->PageFileName(1), "qebprint.png");
  P.SetTitle(" Tour: a/b? ");
  P.BeginDoc();
  EXPECT_EQ(Png->PageFileName(1), "Tour_ a_b_.png");
  P.Abort();
  EXPECT_EQ(ErrorOf([&] { P.NewPage(); }), "Printing not in progress");
  EXPECT_THROW(P.GetCanvas(), EPrinter);
  EXPECT_THROW(P.Abort(), EPrinter);

  const std::string Dir = QEB_TEST_TMPDIR, Base = Dir + "/printers_doc.png";
  const std::string Second = Dir + "/printers_doc-2.png";
  std::filesystem::remove(Base);
  std::filesystem::remove(Second);
  Png->SetOutputFile(Base);
  P.BeginDoc();
  EXPECT_EQ(ErrorOf([&] { P.BeginDoc(); }), "Printing in progress");
  EXPECT_THROW(P.SetBackend(nullptr), EPrinter);
  P.GetCanvas().GetBrush().SetColor(clRed);
  P.GetCanvas().FillRect({0, 0, 64, 48});
  P.NewPage();
  EXPECT_EQ(P.GetPageNumber(), 2);
  // The new page is white again; the brush carries over.
  EXPECT_EQ(P.GetCanvas().GetPixels(0, 0), clWhite);
  EXPECT_EQ(P.GetCanvas().GetBrush().GetColor(), clRed);
  P.GetCanvas().SetPixels(63, 47, clGreen);
  P.EndDoc();
  EXPECT_EQ(P.GetPageNumber(), 2);
  ASSERT_EQ(Png->GetFilesWritten(), (std::vector<std::string>{Base, Second}));
  TPNGImage Page;
  Page.LoadFromFile(Base);
  EXPECT_EQ(Page.GetBitmap().GetCanvas().GetPixels(5, 5), clRed);
  Page.LoadFromFile(Second);
  EXPECT_EQ(Page.GetHeight(), 48);
  EXPECT_EQ(Page.GetBitmap().GetCanvas().GetPixels(63, 47), clGreen);

  // Abort: the pages written go, the page being drawn never comes out.
  DeleteFile(Second);
  P.BeginDoc();
  P.NewPage();
  EXPECT_TRUE(FileExists(Base));
  P.Abort();
  EXPECT_TRUE(P.GetAborted());
  EXPECT_FALSE(FileExists(Base) || FileExists(Second));

  // A page that cannot be written (a folder in the way) ends the document:
  // the error passes on, the pages written go, and the next one starts clean.
  ASSERT_TRUE(std::filesystem::create_directory(Second));
  P.BeginDoc();
  EXPECT_FALSE(P.GetAborted());
  EXPECT_EQ(P.GetPageNumber(), 1);
  P.NewPage();
  EXPECT_THROW(P.EndDoc(), EInOutError);
  std::filesystem::remove(Second);
  EXPECT_TRUE(P.GetAborted());
  EXPECT_FALSE(FileExists(Base));

  // Swapping the backend hands the old one back; null installs a fresh PNG one.
  EXPECT_EQ(P.SetBackend(nullptr).get(), Png);
  EXPECT_NE(dynamic_cast<TPNGPrinterBackend*>(&P.GetBackend()), nullptr);
}

TEST(Printer, BackendSeesTheDocumentInOrder) {
  struct TLogBackend : TPrinterBackend {
    std::string Log;
    void StartDoc(const std::string& Title) override { Log += "start " + Title; }
    void PrintPage(const TBitmap&, int32_t N) override { Log += " page " + std::to_string(N); }
    void EndDoc() override { Log += " end"; }
    void AbortDoc() override { Log += " abort "; }
  };
  TPrinter P;
  auto* B = new TLogBackend;
  P.SetBackend(std::unique_ptr<TPrinterBackend>(B));
  P.SetPageSize(8, 8);
  P.SetTitle("Alps");
  P.BeginDoc();
  P.Abort();
  P.BeginDoc();
  P.NewPage();
  P.EndDoc();
  EXPECT_EQ(B->Log, "start Alps abort start Alps page 1 page 2 end");
}
