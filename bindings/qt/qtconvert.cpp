// Bitmaps, cursors and the clipboard between the framework and Qt.
#include <QBitmap>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPixmap>
#include <cstring>

#include "bindings/qt/qthost.h"
#include "qebgeolib/platform/graphics/bitmap.h"

namespace qeb::qt {

QImage ToQImage(const TBitmap& Bitmap) {
  if (Bitmap.Empty()) return QImage();
  const TBitmap* Source = &Bitmap;
  TBitmap Converted;
  if (Bitmap.GetPixelFormat() != pf32bit) {
    Converted.Assign(&Bitmap);
    Converted.SetPixelFormat(pf32bit);
    Source = &Converted;
  }
  // pf32bit rows are blue, green, red, reserved: Format_RGB32 in memory.
  return QImage(Source->GetBits(), Source->GetWidth(), Source->GetHeight(),
                Source->GetScanLineSize(), QImage::Format_RGB32)
      .copy();
}

void FromQImage(const QImage& Image, TBitmap& Dest) {
  if (Image.isNull()) {
    Dest.NewImage(0, 0, pf32bit);
    return;
  }
  const QImage Q = Image.convertToFormat(QImage::Format_RGB32);
  TBitmap New;
  New.NewImage(Q.width(), Q.height(), pf32bit, false);
  for (int y = 0; y < Q.height(); ++y) {
    uint8_t* Row = New.ScanLine(y);
    std::memcpy(Row, Q.constScanLine(y), std::size_t(Q.width()) * 4);
    for (int x = 0; x < Q.width(); ++x)
      Row[4 * x + 3] = 0; // the reserved byte of pf32bit
  }
  Dest.Assign(&New);
}

QCursor ToQCursor(const HCURSOR& Cursor) {
  if (!Cursor) return QCursor(Qt::ArrowCursor);
  if (Cursor->IsStandard()) {
    switch (Cursor->StandardShape) {
    case crNone:
      return QCursor(Qt::BlankCursor);
    case crCross:
      return QCursor(Qt::CrossCursor);
    case crIBeam:
      return QCursor(Qt::IBeamCursor);
    case crSizeNESW:
      return QCursor(Qt::SizeBDiagCursor);
    case crSizeNS:
      return QCursor(Qt::SizeVerCursor);
    case crSizeNWSE:
      return QCursor(Qt::SizeFDiagCursor);
    case crSizeWE:
      return QCursor(Qt::SizeHorCursor);
    case crUpArrow:
      return QCursor(Qt::UpArrowCursor);
    case crHourGlass:
    case crSQLWait:
      return QCursor(Qt::WaitCursor);
    case crDrag:
    case crMultiDrag:
      return QCursor(Qt::DragMoveCursor);
    case crNoDrop:
    case crNo:
      return QCursor(Qt::ForbiddenCursor);
    case crHSplit:
      return QCursor(Qt::SplitHCursor);
    case crVSplit:
      return QCursor(Qt::SplitVCursor);
    case crAppStart:
      return QCursor(Qt::BusyCursor);
    case crHelp:
      return QCursor(Qt::WhatsThisCursor);
    case crHandPoint:
      return QCursor(Qt::PointingHandCursor);
    case crSizeAll:
      return QCursor(Qt::SizeAllCursor);
    default:
      return QCursor(Qt::ArrowCursor);
    }
  }
  QImage Img(Cursor->Width, Cursor->Height, QImage::Format_ARGB32);
  for (int y = 0; y < Cursor->Height; ++y)
    for (int x = 0; x < Cursor->Width; ++x) {
      const std::size_t i = std::size_t(y) * std::size_t(Cursor->Width) + std::size_t(x);
      const TColor C = Cursor->Colors[i];
      QRgb P = 0;
      if (!Cursor->Mask[i])
        P = qRgb(GetRValue(C), GetGValue(C), GetBValue(C));
      else if (C != 0)
        P = qRgb(0, 0, 0);
      Img.setPixel(x, y, P);
    }
  return QCursor(QPixmap::fromImage(Img), Cursor->HotSpot.X, Cursor->HotSpot.Y);
}

void ClipboardBackend::Clear() {
  QGuiApplication::clipboard()->clear();
}

bool ClipboardBackend::HasFormat(TClipboardFormat Format) {
  const QMimeData* M = QGuiApplication::clipboard()->mimeData();
  if (!M) return false;
  return Format == CF_BITMAP ? M->hasImage() : M->hasText();
}

void ClipboardBackend::SetBitmap(const TBitmap& Bitmap) {
  QGuiApplication::clipboard()->setImage(ToQImage(Bitmap));
}

bool ClipboardBackend::GetBitmap(TBitmap& Dest) {
  const QImage I = QGuiApplication::clipboard()->image();
  if (I.isNull()) return false;
  FromQImage(I, Dest);
  return true;
}

void ClipboardBackend::SetText(const std::string& Text) {
  QGuiApplication::clipboard()->setText(QString::fromUtf8(Text.data(), qsizetype(Text.size())));
}

std::string ClipboardBackend::GetText() {
  return QGuiApplication::clipboard()->text().toUtf8().toStdString();
}

} // namespace qeb::qt
