// The printer: document lifecycle, page setup limits, backends and PNG pages.
#include "qebgeolib/platform/printers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "qebgeolib/platform/canvas.h"
#include "qebgeolib/platform/pngimage.h"
#include "qebgeolib/platform/sysutils.h"
#include "tests/errortext.h"

using namespace qeb;
using qeb::test::ErrorOf;

namespace {

std::string TmpName(const std::string& Name) {
  return std::string(QEB_TEST_TMPDIR) + "/printers_" + Name;
}

// Records what reaches it; can be told to fail at a page.
class TRecordingBackend : public TPrinterBackend {
public:
  struct TLog {
    std::vector<std::string> Calls;
    std::vector<TColor> PageCorners; // pixel (0, 0) of each page
    std::vector<TColor> PageMarks;   // pixel (5, 5)
    int32_t FailAtPage = 0;
  };
  explicit TRecordingBackend(TLog& Log) : FLog(Log) {}
  void StartDoc(const std::string& Title) override { FLog.Calls.push_back("start " + Title); }
  void PrintPage(const TBitmap& Page, int32_t PageNumber) override {
    if (PageNumber == FLog.FailAtPage) throw std::runtime_error("paper jam");
    auto& C = const_cast<TBitmap&>(Page).GetCanvas();
    FLog.Calls.push_back("page " + std::to_string(PageNumber) + " " +
                         std::to_string(Page.GetWidth()) + "x" + std::to_string(Page.GetHeight()));
    FLog.PageCorners.push_back(C.GetPixels(0, 0));
    FLog.PageMarks.push_back(C.GetPixels(5, 5));
  }
  void EndDoc() override { FLog.Calls.push_back("end"); }
  void AbortDoc() override { FLog.Calls.push_back("abort"); }

private:
  TLog& FLog;
};

} // namespace

TEST(Printer, PageSetupDefaultsAndLimits) {
  TPrinter P;
  EXPECT_EQ(P.GetPixelsPerInch(), 300);
  EXPECT_EQ(P.GetPageWidth(), 2480);
  EXPECT_EQ(P.GetPageHeight(), 3508);
  EXPECT_EQ(P.GetOrientation(), poPortrait);

  // The paper keeps its physical size across resolutions, without drift.
  P.SetPixelsPerInch(72);
  EXPECT_EQ(P.GetPageWidth(), 595);
  EXPECT_EQ(P.GetPageHeight(), 842);
  P.SetPixelsPerInch(300);
  EXPECT_EQ(P.GetPageWidth(), 2480);
  EXPECT_EQ(P.GetPageHeight(), 3508);

  P.SetOrientation(poLandscape);
  EXPECT_EQ(P.GetPageWidth(), 3508);
  EXPECT_EQ(P.GetPageHeight(), 2480);
  EXPECT_DOUBLE_EQ(P.GetPaperWidthMM(), 297);
  P.SetOrientation(poPortrait);

  P.SetPageSize(600, 400);
  EXPECT_EQ(P.GetPageWidth(), 600);
  EXPECT_DOUBLE_EQ(P.GetPaperWidthMM(), 600 * 25.4 / 300);
  P.SetPixelsPerInch(150);
  EXPECT_EQ(P.GetPageWidth(), 300);
  EXPECT_EQ(P.GetPageHeight(), 200);

  // Refusals leave the setup as it was.
  EXPECT_EQ(ErrorOf([&] { P.SetPageSize(0, 100); }),
            "Page size 0 x 100 out of range: 1..32767 pixels a side and at most 268435456 bytes");
  EXPECT_EQ(ErrorOf([&] { P.SetPageSize(20000, 20000); }),
            "Page size 20000 x 20000 out of range: 1..32767 pixels a side and at most "
            "268435456 bytes");
  EXPECT_THROW(P.SetPaperSize(std::nan(""), 100), EPrinter);
  EXPECT_THROW(P.SetPaperSize(1e300, 100), EPrinter);
  EXPECT_EQ(ErrorOf([&] { P.SetPixelsPerInch(0); }),
            "Resolution 0 out of range: 1..4800 pixels per inch");
  // 4800 ppi would make this paper 19200 x 12800 pixels: too many bytes.
  P.SetPageSize(600, 400);
  P.SetPixelsPerInch(300);
  EXPECT_THROW(P.SetPixelsPerInch(4800), EPrinter);
  EXPECT_EQ(P.GetPixelsPerInch(), 300);
  EXPECT_EQ(P.GetPageWidth(), 1200);
  EXPECT_EQ(P.GetPageHeight(), 800);
}

TEST(Printer, LifecycleErrorsAndPages) {
  TPrinter P;
  TRecordingBackend::TLog Log;
  P.SetBackend(std::make_unique<TRecordingBackend>(Log));
  P.SetPageSize(40, 30);
  P.SetTitle("Alps");

  EXPECT_EQ(P.GetPageNumber(), 0);
  EXPECT_EQ(ErrorOf([&] { P.GetCanvas(); }), "Printing not in progress");
  EXPECT_EQ(ErrorOf([&] { P.NewPage(); }), "Printing not in progress");
  EXPECT_EQ(ErrorOf([&] { P.EndDoc(); }), "Printing not in progress");
  EXPECT_EQ(ErrorOf([&] { P.Abort(); }), "Printing not in progress");

  P.BeginDoc();
  EXPECT_TRUE(P.GetPrinting());
  EXPECT_EQ(P.GetPageNumber(), 1);
  EXPECT_EQ(ErrorOf([&] { P.BeginDoc(); }), "Printing in progress");
  EXPECT_EQ(ErrorOf([&] { P.SetPageSize(10, 10); }), "Printing in progress");
  EXPECT_EQ(ErrorOf([&] { P.SetPixelsPerInch(100); }), "Printing in progress");
  EXPECT_EQ(ErrorOf([&] { P.SetBackend(nullptr); }), "Printing in progress");
  TCanvas& C = P.GetCanvas();
  EXPECT_EQ(C.GetSurface()->GetPixelFormat(), pf24bit);
  C.GetBrush().SetColor(clRed);
  C.FillRect({0, 0, 40, 30});
  P.NewPage();
  EXPECT_EQ(P.GetPageNumber(), 2);
  // The new page is white again; the brush carries over.
  EXPECT_EQ(P.GetCanvas().GetPixels(0, 0), clWhite);
  EXPECT_EQ(P.GetCanvas().GetBrush().GetColor(), clRed);
  P.GetCanvas().SetPixels(5, 5, clBlue);
  P.EndDoc();
  EXPECT_FALSE(P.GetPrinting());
  EXPECT_FALSE(P.GetAborted());
  EXPECT_EQ(P.GetPageNumber(), 2);
  EXPECT_EQ(ErrorOf([&] { P.GetCanvas(); }), "Printing not in progress");
  EXPECT_EQ(Log.Calls,
            (std::vector<std::string>{"start Alps", "page 1 40x30", "page 2 40x30", "end"}));
  EXPECT_EQ(Log.PageCorners, (std::vector<TColor>{clRed, clWhite}));
  EXPECT_EQ(Log.PageMarks, (std::vector<TColor>{clRed, clBlue}));

  // Abort: no page reaches the backend, and a new document starts clean.
  Log.Calls.clear();
  P.BeginDoc();
  P.Abort();
  EXPECT_TRUE(P.GetAborted());
  EXPECT_FALSE(P.GetPrinting());
  P.BeginDoc();
  EXPECT_FALSE(P.GetAborted());
  EXPECT_EQ(P.GetPageNumber(), 1);
  P.EndDoc();
  EXPECT_EQ(Log.Calls,
            (std::vector<std::string>{"start Alps", "abort", "start Alps", "page 1 40x30", "end"}));

  // A failing page ends the document: aborted, not printing, error passed on.
  Log.Calls.clear();
  Log.FailAtPage = 2;
  P.BeginDoc();
  P.NewPage();
  EXPECT_EQ(ErrorOf([&] { P.EndDoc(); }), "paper jam");
  EXPECT_FALSE(P.GetPrinting());
  EXPECT_TRUE(P.GetAborted());
  EXPECT_EQ(Log.Calls, (std::vector<std::string>{"start Alps", "page 1 40x30", "abort"}));

  // Swapping the backend hands the old one back; null installs a PNG one.
  auto Old = P.SetBackend(nullptr);
  EXPECT_NE(dynamic_cast<TRecordingBackend*>(Old.get()), nullptr);
  EXPECT_NE(dynamic_cast<TPNGPrinterBackend*>(&P.GetBackend()), nullptr);
}

TEST(Printer, PngBackendFiles) {
  TPrinter P;
  P.SetPageSize(64, 48);
  auto* Png = dynamic_cast<TPNGPrinterBackend*>(&P.GetBackend());
  ASSERT_NE(Png, nullptr);

  // Naming: the template for page 1, "-<n>" before the extension after it,
  // ".png" added to a template without one, the title as default.
  Png->SetOutputFile("maps/out.png");
  EXPECT_EQ(Png->PageFileName(1), "maps/out.png");
  EXPECT_EQ(Png->PageFileName(3), "maps/out-3.png");
  Png->SetOutputFile("");
  P.SetTitle(" Tour: a/b? ");
  P.BeginDoc();
  EXPECT_EQ(Png->PageFileName(1), "Tour_ a_b_.png");
  P.Abort();
  Png->SetOutputFile("maps.v2/out");
  P.SetTitle("");
  P.BeginDoc();
  EXPECT_EQ(Png->PageFileName(2), "maps.v2/out-2.png");
  P.Abort();
  Png->SetOutputFile("");
  P.BeginDoc();
  EXPECT_EQ(Png->PageFileName(1), "qebprint.png");
  P.Abort();

  const std::string Base = TmpName("doc.png");
  for (const char* F : {"doc.png", "doc-2.png"})
    DeleteFile(TmpName(F));
  Png->SetOutputFile(Base);
  P.BeginDoc();
  P.GetCanvas().SetPixels(3, 4, clRed);
  P.NewPage();
  P.GetCanvas().SetPixels(63, 47, clGreen);
  P.EndDoc();
  ASSERT_EQ(Png->GetFilesWritten(), (std::vector<std::string>{Base, TmpName("doc-2.png")}));
  TPNGImage Page1, Page2;
  Page1.LoadFromFile(Base);
  Page2.LoadFromFile(TmpName("doc-2.png"));
  EXPECT_EQ(Page1.GetWidth(), 64);
  EXPECT_EQ(Page1.GetHeight(), 48);
  EXPECT_EQ(Page1.GetBitmap().GetCanvas().GetPixels(3, 4), clRed);
  EXPECT_EQ(Page1.GetBitmap().GetCanvas().GetPixels(63, 47), clWhite);
  EXPECT_EQ(Page2.GetBitmap().GetCanvas().GetPixels(3, 4), clWhite);
  EXPECT_EQ(Page2.GetBitmap().GetCanvas().GetPixels(63, 47), clGreen);

  // An aborted document leaves no files behind.
  for (const char* F : {"doc.png", "doc-2.png"})
    DeleteFile(TmpName(F));
  P.BeginDoc();
  P.NewPage();
  EXPECT_TRUE(FileExists(Base));
  P.Abort();
  EXPECT_FALSE(FileExists(Base));

  // A page that cannot be written fails the document with the file error.
  Png->SetOutputFile(TmpName("no_such_folder/x.png"));
  P.BeginDoc();
  EXPECT_THROW(P.EndDoc(), EInOutError);
  EXPECT_FALSE(P.GetPrinting());
  EXPECT_TRUE(P.GetAborted());
}
