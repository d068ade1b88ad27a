#include "qebgeolib/voziza/detail/imagecache.h"

#include <new>

#include "qebgeolib/platform/graphics/canvas.h"
#include "qebgeolib/voziza/detail/calibmodels.h"

namespace qeb::detail {

void TImageCache::Assign(const TImageCache& Src) {
  if (&Src == this) return;
  FImgCache.Assign(&Src.FImgCache);
  FCacheMag = Src.FCacheMag;
  FCacheAA = Src.FCacheAA;
}

TBitmap* TImageCache::For(TBitmap& Image, double M, bool AntiAlias, double Limit) {
  const bool Fits = FCacheMag != 0 && FCacheMag == M && FCacheAA == AntiAlias;
  if (Fits) return &FImgCache;
  if (!(M < Limit)) return nullptr;
  const int32_t CW = RoundPixel(Image.GetWidth() * M);
  const int32_t CH = RoundPixel(Image.GetHeight() * M);
  try {
    // Every pixel is written by the stretch below.
    FImgCache.NewImage(CW, CH, pf15bit, false);
    TCanvas& CC = FImgCache.GetCanvas();
    CC.SetStretchBltMode(AntiAlias ? sbmHalftone : sbmColorOnColor);
    CC.StretchBlt(0, 0, CW, CH, Image.GetCanvas(), 0, 0, Image.GetWidth(), Image.GetHeight(),
                  cmSrcCopy);
  } catch (const EOutOfResources&) {
    FCacheMag = 0;
    return nullptr;
  } catch (const std::bad_alloc&) {
    FCacheMag = 0;
    return nullptr;
  }
  FCacheMag = M;
  FCacheAA = AntiAlias;
  return &FImgCache;
}

} // namespace qeb::detail
