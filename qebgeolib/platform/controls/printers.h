// The printer: a document of pages drawn on a page canvas and handed, page by
// page, to a replaceable backend. The default backend writes PNG files.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "qebgeolib/platform/base/classes.h"
#include "qebgeolib/platform/graphics/bitmap.h"

namespace qeb {

class TCanvas;

// The printer used wrongly: "Printing in progress" for BeginDoc during a
// document or a page setup change while printing, "Printing not in progress"
// for page operations and the canvas outside a document, and the refusals
// of page sizes and resolutions.
class EPrinter : public Exception {
public:
  explicit EPrinter(const std::string& Message) : Exception(Message) {}
};

enum TPrinterOrientation : uint8_t { poPortrait, poLandscape };

// The accepted resolutions, and the longest page side in pixels. A page's
// pixel buffer (24 bits a pixel) must also stay within MaxBitmapBytes.
inline constexpr int32_t MinPrinterPixelsPerInch = 1;
inline constexpr int32_t MaxPrinterPixelsPerInch = 4800;
inline constexpr int32_t MaxPrinterPageSide = 32767;

// Where finished pages go. A document is StartDoc, PrintPage for pages 1, 2,
// ... in order, then EndDoc, or AbortDoc at any point after StartDoc. An
// exception from any of these ends the document (the printer calls AbortDoc
// after a failed PrintPage or EndDoc and passes the exception on).
class TPrinterBackend {
public:
  TPrinterBackend() = default;
  TPrinterBackend(const TPrinterBackend&) = delete;
  TPrinterBackend& operator=(const TPrinterBackend&) = delete;
  virtual ~TPrinterBackend() = default;

  virtual void StartDoc(const std::string& Title) = 0;
  virtual void PrintPage(const TBitmap& Page, int32_t PageNumber) = 0;
  virtual void EndDoc() = 0;
  // What was handed over of this document should not come out.
  virtual void AbortDoc() = 0;
};

// Writes each page as a PNG file, named after a template: "dir/out.png" gives
// dir/out.png for page 1 and dir/out-2.png, dir/out-3.png, ... for the pages
// after it; a template without extension gets ".png". An empty template (the
// default) means "<Title>.png" in the current folder, with the characters that
// cannot stand in a file name replaced by '_' and "qebprint" for an empty
// title. The template is taken at StartDoc. Existing files are overwritten;
// AbortDoc deletes the files of the document written so far. A file that
// cannot be written raises EInOutError.
class TPNGPrinterBackend : public TPrinterBackend {
public:
  explicit TPNGPrinterBackend(std::string OutputFile = std::string());

  const std::string& GetOutputFile() const { return FOutputFile; }
  void SetOutputFile(const std::string& Value) { FOutputFile = Value; }
  // The file of page PageNumber under the template of the running (or last)
  // document.
  std::string PageFileName(int32_t PageNumber) const;
  // The files the running (or last) document wrote, in page order.
  const std::vector<std::string>& GetFilesWritten() const { return FFiles; }

  void StartDoc(const std::string& Title) override;
  void PrintPage(const TBitmap& Page, int32_t PageNumber) override;
  void EndDoc() override {}
  void AbortDoc() override;

private:
  std::string FOutputFile;
  std::string FDocFile; // the template of the running document
  std::vector<std::string> FFiles;
};

// The classic printer object. The page is a white 24-bit bitmap of the paper
// size at the printer's resolution (default A4 portrait at 300 pixels per
// inch: 2480 x 3508); the host draws on GetCanvas() between BeginDoc and
// EndDoc. Drawing settings of the canvas carry over from page to page, the
// pixels do not. The paper is kept as a physical size, so changing the
// resolution changes the page's pixels, not the paper. Used from the GUI
// thread only.
class TPrinter : public TObject {
public:
  TPrinter();
  ~TPrinter() override;
  TPrinter(const TPrinter&) = delete;
  TPrinter& operator=(const TPrinter&) = delete;

  std::string_view ClassName() const override { return "TPrinter"; }

  // The document's name, handed to the backend at BeginDoc.
  const std::string& GetTitle() const { return FTitle; }
  void SetTitle(const std::string& Value) { FTitle = Value; }

  // ---- Page setup. Changes while printing raise "Printing in progress";
  // refused values leave everything as it was.

  int32_t GetPixelsPerInch() const { return FPixelsPerInch; }
  // MinPrinterPixelsPerInch..MaxPrinterPixelsPerInch, and the page it gives
  // must be acceptable (see SetPageSize).
  void SetPixelsPerInch(int32_t Value);
  // The page in pixels as printed (landscape pages are wider than high).
  int32_t GetPageWidth() const { return FPageWidth; }
  int32_t GetPageHeight() const { return FPageHeight; }
  // 1..MaxPrinterPageSide pixels a side and at most MaxBitmapBytes of
  // pixels; the paper becomes that size at the current resolution.
  void SetPageSize(int32_t Width, int32_t Height);
  // The paper in millimetres as printed; the page gets the nearest whole
  // pixels at the current resolution (same limits as SetPageSize).
  double GetPaperWidthMM() const { return FPaperWidthMM; }
  double GetPaperHeightMM() const { return FPaperHeightMM; }
  void SetPaperSize(double WidthMM, double HeightMM);
  // Switching the orientation exchanges the paper's width and height.
  TPrinterOrientation GetOrientation() const { return FOrientation; }
  void SetOrientation(TPrinterOrientation Value);

  // ---- The document.

  // Starts a document on page 1 (white). "Printing in progress" when one is
  // running; a backend failure in StartDoc passes on and starts nothing.
  void BeginDoc();
  // Hands the finished page to the backend and starts the next one.
  void NewPage();
  // Hands the last page over and ends the document.
  void EndDoc();
  // Drops the document (the backend's AbortDoc) and sets GetAborted.
  void Abort();
  bool GetPrinting() const { return FPrinting; }
  // True after Abort (or a backend failure) until the next BeginDoc.
  bool GetAborted() const { return FAborted; }
  // The page being drawn, from 1; after a document the number of its last
  // page; 0 before the first document.
  int32_t GetPageNumber() const { return FPageNumber; }
  // The canvas of the page being drawn; "Printing not in progress" outside a
  // document.
  TCanvas& GetCanvas();

  // Installs a backend (null: a fresh PNG backend) and returns the one it
  // replaces. "Printing in progress" during a document.
  std::unique_ptr<TPrinterBackend> SetBackend(std::unique_ptr<TPrinterBackend> Backend);
  TPrinterBackend& GetBackend() { return *FBackend; }

private:
  void CheckPrinting(bool Printing) const;
  // The page pixels of a paper size at a resolution; raises when refused.
  static void CheckedPageSize(double WidthMM, double HeightMM, int32_t PixelsPerInch,
                              int32_t& Width, int32_t& Height);
  // Ends the document after a backend failure; never throws.
  void FailDoc() noexcept;

  std::string FTitle;
  int32_t FPixelsPerInch = 300;
  double FPaperWidthMM = 210; // A4 portrait
  double FPaperHeightMM = 297;
  int32_t FPageWidth = 2480;
  int32_t FPageHeight = 3508;
  TPrinterOrientation FOrientation = poPortrait;
  bool FPrinting = false;
  bool FAborted = false;
  int32_t FPageNumber = 0;
  TBitmap FPage; // 0 x 0 outside a document
  std::unique_ptr<TPrinterBackend> FBackend;
};

// The process's printer.
TPrinter& Printer();

} // namespace qeb
