// The map control's scaled copy of its whole map image: at small
// magnifications panning copies a window of it instead of scaling the image
// again on every repaint.
#pragma once

#include "qebgeolib/platform/graphics/bitmap.h"

namespace qeb::detail {

class TImageCache {
public:
  TImageCache() { FImgCache.SetPixelFormat(pf15bit); }
  TImageCache(const TImageCache&) = delete;
  TImageCache& operator=(const TImageCache&) = delete;
  void Assign(const TImageCache& Src);

  // To be called whenever the image's pixels change.
  void Invalidate() { FCacheMag = 0; }

  // The scaled image to show Image at magnification M with AntiAlias, or
  // null when the view is to be scaled from Image itself. The build rule:
  // a cache that does not fit is rebuilt only while M lies below Limit
  // (larger caches would cost more than they save); a fitting one is used
  // whatever the limit, so lowering the limit costs no rebuild. Without
  // memory for a new cache the answer is null.
  TBitmap* For(TBitmap& Image, double M, bool AntiAlias, double Limit);

  TBitmap FImgCache;
  double FCacheMag = 0; // the magnification of FImgCache; 0: none
  bool FCacheAA = true; // the AntiAlias it was built with
};

} // namespace qeb::detail
