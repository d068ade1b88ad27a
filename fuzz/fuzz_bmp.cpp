// Fuzz target of the BMP reader: any bytes either load or raise
// EInvalidGraphic; an image that loads is written again and must read back
// with the same format, size, palette and colours.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "qebgeolib/platform/base/streams.h"
#include "qebgeolib/platform/graphics/bitmap.h"
#include "qebgeolib/platform/graphics/detail/pixelrows.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  using namespace qeb;
  TMemoryStream In;
  In.WriteBuffer(Data, int64_t(Size));
  In.SetPosition(0);
  TBitmap B;
  try {
    B.LoadFromStream(In);
  } catch (const EInvalidGraphic&) {
    return 0;
  }
  // A tiny RLE file may declare a huge image; the round trip of that would
  // only measure memory speed.
  if (int64_t(B.GetWidth()) * B.GetHeight() > (int64_t(1) << 18)) return 0;
  TMemoryStream Out;
  B.SaveToStream(Out);
  Out.SetPosition(0);
  TBitmap C;
  C.LoadFromStream(Out);
  if (C.GetWidth() != B.GetWidth() || C.GetHeight() != B.GetHeight() ||
      C.GetPixelFormat() != B.GetPixelFormat() || C.GetPalette() != B.GetPalette())
    __builtin_trap();
  std::vector<uint32_t> RB(std::size_t(B.GetWidth())), RC(RB.size());
  for (int32_t y = 0; y < B.GetHeight(); ++y) {
    detail::DecodeRow(B, y, 0, B.GetWidth(), RB.data());
    detail::DecodeRow(C, y, 0, C.GetWidth(), RC.data());
    if (RB != RC) __builtin_trap();
  }
  return 0;
}
