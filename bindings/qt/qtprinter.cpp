#include "bindings/qt/qtprinter.h"

#include <QPageLayout>
#include <QPageSize>
#include <cerrno>

#include "bindings/qt/qthost.h"
#include "qebgeolib/platform/base/sysutils.h"

namespace qeb::qt {

namespace {

[[noreturn]] void WriteFailed(const std::string& FileName, const QString& Reason) {
  throw EInOutError("Cannot write \"" + FileName + "\": " + Reason.toStdString(), EIO);
}

} // namespace

PdfPrinterBackend::PdfPrinterBackend(std::string FileName, const TPrinter& Printer)
    : FFileName(std::move(FileName)), FPrinter(Printer) {}

PdfPrinterBackend::~PdfPrinterBackend() {
  Close();
}

// The painter must end before the file goes: it writes the PDF's tail.
void PdfPrinterBackend::Close() noexcept {
  if (FPainter && FPainter->isActive()) FPainter->end();
  FPainter.reset();
  FWriter.reset();
  FFile.reset(); // uncommitted: the temporary file is removed
}

void PdfPrinterBackend::StartDoc(const std::string& Title) {
  Close();
  FDocFile = FFileName;
  auto File = std::make_unique<QSaveFile>(QString::fromStdString(FDocFile));
  if (FDocFile.empty() || !File->open(QIODevice::WriteOnly))
    WriteFailed(FDocFile, File->errorString());
  FFile = std::move(File);
  FWriter = std::make_unique<QPdfWriter>(FFile.get());
  FWriter->setTitle(QString::fromStdString(Title));
  FWriter->setCreator(QStringLiteral("qebgeolib"));
  FPainter = std::make_unique<QPainter>();
}

void PdfPrinterBackend::PrintPage(const TBitmap& Page, int32_t PageNumber) {
  if (!FWriter) throw EPrinter("Printing not in progress");
  const int32_t Dpi = FPrinter.GetPixelsPerInch();
  const QPageSize Size(QSizeF(Page.GetWidth() * 25.4 / Dpi, Page.GetHeight() * 25.4 / Dpi),
                       QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
  FWriter->setResolution(Dpi);
  FWriter->setPageLayout(QPageLayout(Size, QPageLayout::Portrait, QMarginsF()));
  if (PageNumber > 1 && FPainter->isActive()) {
    if (!FWriter->newPage()) WriteFailed(FDocFile, QStringLiteral("no new page"));
  } else if (!FPainter->isActive() && !FPainter->begin(FWriter.get())) {
    WriteFailed(FDocFile, FFile->errorString());
  }
  const QRect Target = FPainter->viewport();
  FPainter->drawImage(Target, ToQImage(Page));
}

void PdfPrinterBackend::EndDoc() {
  if (!FWriter) throw EPrinter("Printing not in progress");
  // A document without pages still makes a valid file of one blank page.
  if (!FPainter->isActive() && !FPainter->begin(FWriter.get()))
    WriteFailed(FDocFile, FFile->errorString());
  FPainter->end();
  const bool Ok = FFile->commit();
  const QString Reason = FFile->errorString();
  Close();
  if (!Ok) WriteFailed(FDocFile, Reason);
}

void PdfPrinterBackend::AbortDoc() {
  Close();
}

} // namespace qeb::qt
