// The Qt binding from an installed qebgeolib: a bitmap drawn by the library
// becomes a QImage and is saved by Qt.
#include <QImage>
#include <cstdio>

#include "bindings/qt/qthost.h"
#include "qebgeolib/platform/graphics/bitmap.h"
#include "qebgeolib/platform/graphics/canvas.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: qeb_consumer_qt IMAGE.png\n");
    return 2;
  }
  qeb::TBitmap Bitmap(16, 8, qeb::pf24bit);
  Bitmap.GetCanvas().SetPixels(3, 2, qeb::clRed);
  const QImage Image = qeb::qt::ToQImage(Bitmap);
  if (Image.size() != QSize(16, 8) || Image.pixel(3, 2) != qRgb(255, 0, 0) ||
      Image.pixel(0, 0) != qRgb(255, 255, 255) || !Image.save(argv[1], "PNG")) {
    std::fprintf(stderr, "qeb_consumer_qt: the bitmap did not come through Qt\n");
    return 1;
  }
  std::printf("%s through Qt\n", argv[1]);
  return 0;
}
