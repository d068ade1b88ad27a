// Internal helpers of the graphics layer: single pixels and whole rows moved
// between the stored pixel formats and one working form, 0x00RRGGBB in a
// uint32_t (bytes blue, green, red, 0 in memory, the pf32bit layout).
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "qebgeolib/platform/graphics/bitmap.h"
#include "qebgeolib/platform/graphics/canvas.h"

namespace qeb::detail {

// TColor (0x00BBGGRR) <-> working pixel (0x00RRGGBB); the swap is its own
// inverse.
constexpr uint32_t SwapRB(uint32_t C) {
  return (C & 0xFF) << 16 | (C & 0xFF00) | (C >> 16 & 0xFF);
}

constexpr uint16_t XrgbTo15(uint32_t P) {
  return uint16_t((P >> 9 & 0x7C00) | (P >> 6 & 0x03E0) | (P >> 3 & 0x001F));
}
constexpr uint32_t Expand5(uint32_t V) {
  return V << 3 | V >> 2;
}
constexpr uint32_t X15ToXrgb(uint32_t P) {
  return Expand5(P >> 10 & 31) << 16 | Expand5(P >> 5 & 31) << 8 | Expand5(P & 31);
}

inline uint32_t Load24(const uint8_t* P) {
  return uint32_t(P[0]) | uint32_t(P[1]) << 8 | uint32_t(P[2]) << 16;
}
inline void Store24(uint8_t* P, uint32_t V) {
  P[0] = uint8_t(V);
  P[1] = uint8_t(V >> 8);
  P[2] = uint8_t(V >> 16);
}
inline uint16_t Load16(const uint8_t* P) {
  uint16_t V;
  std::memcpy(&V, P, 2);
  return V;
}
inline void Store16(uint8_t* P, uint16_t V) {
  std::memcpy(P, &V, 2);
}
inline uint32_t Load32(const uint8_t* P) {
  uint32_t V;
  std::memcpy(&V, P, 4);
  return V;
}
inline void Store32(uint8_t* P, uint32_t V) {
  std::memcpy(P, &V, 4);
}

// Nearest palette entry of a working pixel by squared RGB distance, first
// entry on ties. The matcher remembers its answers per 15-bit colour cell
// together with the exact colour, so repeated colours cost one lookup.
class TPaletteMatcher {
public:
  explicit TPaletteMatcher(const std::vector<TColor>& Palette);
  uint8_t Match(uint32_t Xrgb);

private:
  std::vector<uint32_t> FXrgb;
  std::unique_ptr<uint32_t[]> FCacheKey; // 0x01RRGGBB when filled
  std::unique_ptr<uint8_t[]> FCacheIndex;
};

uint8_t NearestPaletteIndex(const std::vector<TColor>& Palette, uint32_t Xrgb);

// Working pixels of Count pixels of row Row starting at column X0. The
// caller keeps the range inside the bitmap.
void DecodeRow(const TBitmap& Bmp, int32_t Row, int32_t X0, int32_t Count, uint32_t* Out);

// Stores Count working pixels into row Row from column X0. Matcher is needed
// for palette formats only (may be null otherwise).
void EncodeRow(TBitmap& Bmp, int32_t Row, int32_t X0, int32_t Count, const uint32_t* In,
               TPaletteMatcher* Matcher);

// Stored pixel values (not colours) of a row segment, and back; for palette
// formats these are the indexes.
uint32_t GetPixelValue(const TBitmap& Bmp, int32_t X, int32_t Y);
void SetPixelValue(TBitmap& Bmp, int32_t X, int32_t Y, uint32_t Value);

// Working colour of a stored pixel value.
uint32_t ValueToXrgb(const TBitmap& Bmp, uint32_t Value);

} // namespace qeb::detail
