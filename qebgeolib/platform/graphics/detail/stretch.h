// Block copy and stretch: the work behind TCanvas::CopyRect, StretchBlt and Draw, any
// raster operation, nearest-pixel or area-average sampling, between any pixel formats.
#pragma once

#include <cstdint>
#include <vector>

#include "qebgeolib/platform/graphics/bitmap.h"
#include "qebgeolib/platform/graphics/canvas.h"

namespace qeb::detail {

// Work memory of block copies, kept by each canvas so repeated copies
// allocate nothing once the buffers have grown.
struct TStretchScratch {
  std::vector<int32_t> ColIndex, RowIndex;     // nearest source column / row
  std::vector<int32_t> ColTapStart, ColTapSrc; // area average: taps per column
  std::vector<uint32_t> ColTapWeight;
  std::vector<int32_t> RowTapStart, RowTapSrc; // and per row
  std::vector<uint32_t> RowTapWeight;
  std::vector<uint32_t> Sums;              // vertical sums of one row
  std::vector<int16_t> Levels;             // and as biased 8.8 values
  std::vector<int32_t> Windows;            // horizontal plan of a shrinking average
  std::vector<int32_t> PixelWindows;       // and the windows of one pixel
  std::vector<const uint8_t*> TapRows;     // source rows of one destination row
  std::vector<uint32_t> Work;              // one row of working pixels
  std::vector<uint32_t> Decoded, Decoded2; // decoded source rows
};

// The block copy behind TCanvas::StretchBlt; Pattern is the brush colour.
void BlockCopy(TBitmap& Dst, int32_t X, int32_t Y, int32_t W, int32_t H, const TBitmap& Src,
               int32_t SX, int32_t SY, int32_t SW, int32_t SH, TCopyMode Rop, TStretchBltMode Mode,
               TColor Pattern, TStretchScratch& Scratch);

} // namespace qeb::detail
