// The PDF printer backend: one PDF page a printed page, and an aborted or
// failed document leaves the file that was there.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "bindings/qt/qtprinter.h"
#include "qebgeolib/platform/base/sysutils.h"
#include "qebgeolib/platform/graphics/canvas.h"

using namespace qeb;
namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& F) {
  std::ifstream In(F, std::ios::binary);
  return {std::istreambuf_iterator<char>(In), {}};
}

} // namespace

TEST(QtPdfPrinter, PagesAbortAndFailure) {
  const fs::path Dir = fs::temp_directory_path() / "qeb_qtprinter";
  fs::remove_all(Dir);
  fs::create_directories(Dir);
  const std::string File = (Dir / "out.pdf").string();
  TPrinter P;
  P.SetPixelsPerInch(72); // page pixels are PDF points
  P.SetBackend(std::make_unique<qt::PdfPrinterBackend>(File, P));

  // Two pages, the second landscape: two page objects with their own boxes.
  P.BeginDoc();
  P.GetCanvas().FillRect(Rect(10, 10, 100, 100));
  P.NewPage();
  P.EndDoc();
  P.SetOrientation(poLandscape);
  P.BeginDoc();
  P.NewPage();
  P.EndDoc();
  const std::string Pdf = ReadAll(File);
  ASSERT_EQ(Pdf.rfind("%PDF-", 0), 0u);
  const std::regex Page("/Type /Page[^s]");
  EXPECT_EQ(std::distance(std::sregex_iterator(Pdf.begin(), Pdf.end(), Page), {}), 2);
  std::smatch Box;
  ASSERT_TRUE(std::regex_search(Pdf, Box, std::regex(R"(/MediaBox \[0 0 ([0-9.]+) ([0-9.]+)\])")));
  EXPECT_NEAR(std::stod(Box.str(1)), 842, 0.5);
  EXPECT_NEAR(std::stod(Box.str(2)), 595, 0.5);

  // Aborted: the last document stays, and no temporary file is left.
  P.BeginDoc();
  P.NewPage();
  P.Abort();
  EXPECT_EQ(ReadAll(File), Pdf);
  EXPECT_EQ(std::distance(fs::directory_iterator(Dir), {}), 1);

  // A folder that does not exist: the document does not start.
  static_cast<qt::PdfPrinterBackend&>(P.GetBackend()).SetFileName((Dir / "no" / "x.pdf").string());
  EXPECT_THROW(P.BeginDoc(), EInOutError);
  EXPECT_FALSE(P.GetPrinting());
  fs::remove_all(Dir);
}
