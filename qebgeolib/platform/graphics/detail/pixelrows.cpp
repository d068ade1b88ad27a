// Pixel and row conversions between the stored formats and working pixels.
#include "qebgeolib/platform/graphics/detail/pixelrows.h"

namespace qeb::detail {

uint8_t NearestPaletteIndex(const std::vector<TColor>& Palette, uint32_t Xrgb) {
  const int R = int(Xrgb >> 16 & 0xFF), G = int(Xrgb >> 8 & 0xFF), B = int(Xrgb & 0xFF);
  int Best = 0;
  int BestDist = 1 << 30;
  for (std::size_t i = 0; i < Palette.size(); ++i) {
    const TColor C = Palette[i];
    const int DR = int(GetRValue(C)) - R, DG = int(GetGValue(C)) - G, DB = int(GetBValue(C)) - B;
    const int D = DR * DR + DG * DG + DB * DB;
    if (D < BestDist) {
      BestDist = D;
      Best = int(i);
      if (D == 0) break;
    }
  }
  return uint8_t(Best);
}

TPaletteMatcher::TPaletteMatcher(const std::vector<TColor>& Palette)
    : FCacheKey(new uint32_t[32768]()), FCacheIndex(new uint8_t[32768]) {
  FXrgb.reserve(Palette.size());
  for (TColor C : Palette)
    FXrgb.push_back(SwapRB(C));
}

uint8_t TPaletteMatcher::Match(uint32_t Xrgb) {
  Xrgb &= 0xFFFFFF;
  const uint32_t Cell = XrgbTo15(Xrgb);
  if (FCacheKey[Cell] == (Xrgb | 0x1000000)) return FCacheIndex[Cell];
  const int R = int(Xrgb >> 16), G = int(Xrgb >> 8 & 0xFF), B = int(Xrgb & 0xFF);
  int Best = 0;
  int BestDist = 1 << 30;
  for (std::size_t i = 0; i < FXrgb.size(); ++i) {
    const uint32_t C = FXrgb[i];
    const int DR = int(C >> 16) - R, DG = int(C >> 8 & 0xFF) - G, DB = int(C & 0xFF) - B;
    const int D = DR * DR + DG * DG + DB * DB;
    if (D < BestDist) {
      BestDist = D;
      Best = int(i);
      if (D == 0) break;
    }
  }
  FCacheKey[Cell] = Xrgb | 0x1000000;
  FCacheIndex[Cell] = uint8_t(Best);
  return uint8_t(Best);
}

uint32_t ValueToXrgb(const TBitmap& Bmp, uint32_t Value) {
  switch (Bmp.GetPixelFormat()) {
  case pf4bit:
  case pf8bit: {
    const auto& Pal = Bmp.GetPalette();
    return Value < Pal.size() ? SwapRB(Pal[Value]) : 0;
  }
  case pf15bit:
    return X15ToXrgb(Value);
  default:
    return Value & 0xFFFFFF;
  }
}

void DecodeRow(const TBitmap& Bmp, int32_t Row, int32_t X0, int32_t Count, uint32_t* Out) {
  const uint8_t* Line = Bmp.GetBits() + int64_t(Row) * Bmp.GetScanLineSize();
  switch (Bmp.GetPixelFormat()) {
  case pf4bit: {
    uint32_t Pal[16] = {};
    const auto& P = Bmp.GetPalette();
    for (std::size_t i = 0; i < P.size() && i < 16; ++i)
      Pal[i] = SwapRB(P[i]);
    for (int32_t i = 0; i < Count; ++i) {
      const int32_t X = X0 + i;
      const uint8_t B = Line[X >> 1];
      Out[i] = Pal[(X & 1) ? (B & 15) : (B >> 4)];
    }
    break;
  }
  case pf8bit: {
    uint32_t Pal[256] = {};
    const auto& P = Bmp.GetPalette();
    for (std::size_t i = 0; i < P.size() && i < 256; ++i)
      Pal[i] = SwapRB(P[i]);
    for (int32_t i = 0; i < Count; ++i)
      Out[i] = Pal[Line[X0 + i]];
    break;
  }
  case pf15bit:
    for (int32_t i = 0; i < Count; ++i)
      Out[i] = X15ToXrgb(Load16(Line + 2 * int64_t(X0 + i)));
    break;
  case pf24bit: {
    const uint8_t* S = Line + 3 * int64_t(X0);
    for (int32_t i = 0; i < Count; ++i, S += 3)
      Out[i] = Load24(S);
    break;
  }
  case pf32bit: {
    const uint8_t* S = Line + 4 * int64_t(X0);
    for (int32_t i = 0; i < Count; ++i, S += 4)
      Out[i] = Load32(S) & 0xFFFFFF;
    break;
  }
  }
}

void EncodeRow(TBitmap& Bmp, int32_t Row, int32_t X0, int32_t Count, const uint32_t* In,
               TPaletteMatcher* Matcher) {
  uint8_t* Line = Bmp.GetBits() + int64_t(Row) * Bmp.GetScanLineSize();
  switch (Bmp.GetPixelFormat()) {
  case pf4bit:
    for (int32_t i = 0; i < Count; ++i) {
      const int32_t X = X0 + i;
      const uint8_t V = Matcher->Match(In[i]) & 15;
      uint8_t& B = Line[X >> 1];
      B = (X & 1) ? uint8_t((B & 0xF0) | V) : uint8_t((B & 0x0F) | V << 4);
    }
    break;
  case pf8bit:
    for (int32_t i = 0; i < Count; ++i)
      Line[X0 + i] = Matcher->Match(In[i]);
    break;
  case pf15bit:
    for (int32_t i = 0; i < Count; ++i)
      Store16(Line + 2 * int64_t(X0 + i), XrgbTo15(In[i]));
    break;
  case pf24bit: {
    uint8_t* D = Line + 3 * int64_t(X0);
    for (int32_t i = 0; i < Count; ++i, D += 3)
      Store24(D, In[i]);
    break;
  }
  case pf32bit: {
    uint8_t* D = Line + 4 * int64_t(X0);
    for (int32_t i = 0; i < Count; ++i, D += 4)
      Store32(D, In[i] & 0xFFFFFF);
    break;
  }
  }
}

uint32_t GetPixelValue(const TBitmap& Bmp, int32_t X, int32_t Y) {
  const uint8_t* Line = Bmp.GetBits() + int64_t(Y) * Bmp.GetScanLineSize();
  switch (Bmp.GetPixelFormat()) {
  case pf4bit:
    return (X & 1) ? (Line[X >> 1] & 15) : (Line[X >> 1] >> 4);
  case pf8bit:
    return Line[X];
  case pf15bit:
    return Load16(Line + 2 * int64_t(X));
  case pf24bit:
    return Load24(Line + 3 * int64_t(X));
  case pf32bit:
    return Load32(Line + 4 * int64_t(X));
  }
  return 0;
}

void SetPixelValue(TBitmap& Bmp, int32_t X, int32_t Y, uint32_t Value) {
  uint8_t* Line = Bmp.GetBits() + int64_t(Y) * Bmp.GetScanLineSize();
  switch (Bmp.GetPixelFormat()) {
  case pf4bit: {
    uint8_t& B = Line[X >> 1];
    B = (X & 1) ? uint8_t((B & 0xF0) | (Value & 15)) : uint8_t((B & 0x0F) | (Value & 15) << 4);
    break;
  }
  case pf8bit:
    Line[X] = uint8_t(Value);
    break;
  case pf15bit:
    Store16(Line + 2 * int64_t(X), uint16_t(Value & 0x7FFF));
    break;
  case pf24bit:
    Store24(Line + 3 * int64_t(X), Value);
    break;
  case pf32bit:
    Store32(Line + 4 * int64_t(X), Value);
    break;
  }
}

} // namespace qeb::detail
