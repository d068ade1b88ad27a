// A printer backend on Qt's PDF writer: "printing" makes a PDF file.
#pragma once

#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <memory>
#include <string>

#include "qebgeolib/platform/controls/printers.h"

namespace qeb::qt {

// Writes a document as one PDF file, a PDF page for each printed page, the
// page bitmap filling it. A page's paper size is its pixel size at the
// resolution of Printer, the printer this backend is installed in (read at
// each page, so page setup changes between documents apply). The file is
// written beside its name and replaces it only at EndDoc, so AbortDoc or a
// failure leaves an existing file as it was. StartDoc takes the file name;
// a file that cannot be written raises EInOutError.
class PdfPrinterBackend : public TPrinterBackend {
public:
  PdfPrinterBackend(std::string FileName, const TPrinter& Printer);
  ~PdfPrinterBackend() override;

  const std::string& GetFileName() const { return FFileName; }
  void SetFileName(const std::string& Value) { FFileName = Value; }

  void StartDoc(const std::string& Title) override;
  void PrintPage(const TBitmap& Page, int32_t PageNumber) override;
  void EndDoc() override;
  void AbortDoc() override;

private:
  void Close() noexcept;

  std::string FFileName;
  const TPrinter& FPrinter;
  std::string FDocFile; // the name of the running document
  std::unique_ptr<QSaveFile> FFile;
  std::unique_ptr<QPdfWriter> FWriter;
  std::unique_ptr<QPainter> FPainter;
};

} // namespace qeb::qt
