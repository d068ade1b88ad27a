// The printer object and its PNG file backend.
#include "qebgeolib/platform/controls/printers.h"

#include <cmath>
#include <exception>

#include "qebgeolib/platform/base/sysutils.h"
#include "qebgeolib/platform/graphics/canvas.h"
#include "qebgeolib/platform/graphics/pngimage.h"

namespace qeb {

namespace {

constexpr double MMPerInch = 25.4;

// Page pixels of a length in millimetres; NaN and overflow give values that
// the range check refuses.
int32_t MMToPixels(double MM, int32_t PixelsPerInch) {
  const double Px = std::floor(MM / MMPerInch * PixelsPerInch + 0.5);
  if (!(Px >= 0)) return 0;
  return Px > MaxPrinterPageSide ? MaxPrinterPageSide + 1 : static_cast<int32_t>(Px);
}

bool PageSizeAccepted(int32_t Width, int32_t Height) {
  return Width >= 1 && Height >= 1 && Width <= MaxPrinterPageSide && Height <= MaxPrinterPageSide &&
         ScanLineBytes(Width, pf24bit) * Height <= MaxBitmapBytes;
}

[[noreturn]] void PageSizeError(int32_t Width, int32_t Height) {
  throw EPrinter("Page size " + IntToStr(Width) + " x " + IntToStr(Height) + " out of range: 1.." +
                 IntToStr(MaxPrinterPageSide) + " pixels a side and at most " +
                 IntToStr(MaxBitmapBytes) + " bytes");
}

// "<Title>.png" with what a file name cannot hold replaced.
std::string TitleFileName(const std::string& Title) {
  std::string Name = Trim(Title);
  for (char& C : Name) {
    const auto U = static_cast<unsigned char>(C);
    if (U < 0x20 || U == 0x7F || std::string_view("/\\:*?\"<>|").find(C) != std::string_view::npos)
      C = '_';
  }
  if (Name.empty()) Name = "qebprint";
  return Name + ".png";
}

std::string DocFileName(const std::string& Template, const std::string& Title) {
  if (Template.empty()) return TitleFileName(Title);
  return ExtractFileExt(Template).empty() ? Template + ".png" : Template;
}

} // namespace

// ---- TPNGPrinterBackend

TPNGPrinterBackend::TPNGPrinterBackend(std::string OutputFile)
    : FOutputFile(std::move(OutputFile)) {}

std::string TPNGPrinterBackend::PageFileName(int32_t PageNumber) const {
  const std::string Doc = FDocFile.empty() ? DocFileName(FOutputFile, std::string()) : FDocFile;
  if (PageNumber <= 1) return Doc;
  const std::string Ext = ExtractFileExt(Doc);
  return Doc.substr(0, Doc.size() - Ext.size()) + "-" + IntToStr(PageNumber) + Ext;
}

void TPNGPrinterBackend::StartDoc(const std::string& Title) {
  FDocFile = DocFileName(FOutputFile, Title);
  FFiles.clear();
}

void TPNGPrinterBackend::PrintPage(const TBitmap& Page, int32_t PageNumber) {
  TPNGImage Png;
  Png.Assign(&Page);
  const std::string Name = PageFileName(PageNumber);
  Png.SaveToFile(Name);
  FFiles.push_back(Name);
}

void TPNGPrinterBackend::AbortDoc() {
  for (const std::string& F : FFiles)
    DeleteFile(F);
  FFiles.clear();
}

// ---- TPrinter

TPrinter::TPrinter() : FPage(0, 0, pf24bit), FBackend(std::make_unique<TPNGPrinterBackend>()) {}

TPrinter::~TPrinter() {
  if (FPrinting) FailDoc();
}

void TPrinter::CheckPrinting(bool Printing) const {
  if (FPrinting != Printing)
    throw EPrinter(Printing ? "Printing not in progress" : "Printing in progress");
}

void TPrinter::CheckedPageSize(double WidthMM, double HeightMM, int32_t PixelsPerInch,
                               int32_t& Width, int32_t& Height) {
  Width = MMToPixels(WidthMM, PixelsPerInch);
  Height = MMToPixels(HeightMM, PixelsPerInch);
  if (!PageSizeAccepted(Width, Height)) PageSizeError(Width, Height);
}

void TPrinter::SetPixelsPerInch(int32_t Value) {
  CheckPrinting(false);
  if (Value < MinPrinterPixelsPerInch || Value > MaxPrinterPixelsPerInch)
    throw EPrinter("Resolution " + IntToStr(Value) +
                   " out of range: " + IntToStr(MinPrinterPixelsPerInch) + ".." +
                   IntToStr(MaxPrinterPixelsPerInch) + " pixels per inch");
  int32_t W = 0, H = 0;
  CheckedPageSize(FPaperWidthMM, FPaperHeightMM, Value, W, H);
  FPixelsPerInch = Value;
  FPageWidth = W;
  FPageHeight = H;
}

void TPrinter::SetPageSize(int32_t Width, int32_t Height) {
  CheckPrinting(false);
  if (!PageSizeAccepted(Width, Height)) PageSizeError(Width, Height);
  FPageWidth = Width;
  FPageHeight = Height;
  FPaperWidthMM = Width * MMPerInch / FPixelsPerInch;
  FPaperHeightMM = Height * MMPerInch / FPixelsPerInch;
}

void TPrinter::SetPaperSize(double WidthMM, double HeightMM) {
  CheckPrinting(false);
  int32_t W = 0, H = 0;
  CheckedPageSize(WidthMM, HeightMM, FPixelsPerInch, W, H);
  FPaperWidthMM = WidthMM;
  FPaperHeightMM = HeightMM;
  FPageWidth = W;
  FPageHeight = H;
}

void TPrinter::SetOrientation(TPrinterOrientation Value) {
  CheckPrinting(false);
  if (Value == FOrientation) return;
  std::swap(FPaperWidthMM, FPaperHeightMM);
  std::swap(FPageWidth, FPageHeight);
  FOrientation = Value;
}

void TPrinter::BeginDoc() {
  CheckPrinting(false);
  FPage.NewImage(FPageWidth, FPageHeight, pf24bit);
  try {
    FBackend->StartDoc(FTitle);
  } catch (...) {
    FPage.NewImage(0, 0, pf24bit);
    throw;
  }
  FPrinting = true;
  FAborted = false;
  FPageNumber = 1;
  FPage.GetCanvas().MoveTo(0, 0);
}

void TPrinter::NewPage() {
  CheckPrinting(true);
  try {
    FBackend->PrintPage(FPage, FPageNumber);
    FPage.NewImage(FPageWidth, FPageHeight, pf24bit);
  } catch (...) {
    FailDoc();
    throw;
  }
  ++FPageNumber;
  FPage.GetCanvas().MoveTo(0, 0);
}

void TPrinter::EndDoc() {
  CheckPrinting(true);
  try {
    FBackend->PrintPage(FPage, FPageNumber);
    FBackend->EndDoc();
  } catch (...) {
    FailDoc();
    throw;
  }
  FPrinting = false;
  FPage.NewImage(0, 0, pf24bit);
}

void TPrinter::Abort() {
  CheckPrinting(true);
  std::exception_ptr Failure;
  try {
    FBackend->AbortDoc();
  } catch (...) {
    Failure = std::current_exception();
  }
  FPrinting = false;
  FAborted = true;
  FPage.NewImage(0, 0, pf24bit);
  if (Failure) std::rethrow_exception(Failure);
}

void TPrinter::FailDoc() noexcept {
  try {
    FBackend->AbortDoc();
  } catch (...) {
    // The document is lost either way; the first failure is the one reported.
  }
  FPrinting = false;
  FAborted = true;
  try {
    FPage.NewImage(0, 0, pf24bit);
  } catch (...) {
    // An empty image needs no memory; nothing to do.
  }
}

TCanvas& TPrinter::GetCanvas() {
  CheckPrinting(true);
  return FPage.GetCanvas();
}

std::unique_ptr<TPrinterBackend> TPrinter::SetBackend(std::unique_ptr<TPrinterBackend> Backend) {
  CheckPrinting(false);
  if (!Backend) Backend = std::make_unique<TPNGPrinterBackend>();
  std::swap(Backend, FBackend);
  return Backend;
}

TPrinter& Printer() {
  // Never destroyed: controls and hosts may print until the process ends.
  static TPrinter& P = *new TPrinter;
  return P;
}

} // namespace qeb
