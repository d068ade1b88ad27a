// Fuzz target of the cursor reader: any bytes either give a cursor whose
// mask and colours cover every pixel, or raise EInvalidGraphic.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "qebgeolib/platform/controls/cursors.h"
#include "qebgeolib/platform/graphics/graphics.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  using namespace qeb;
  HCURSOR C;
  try {
    C = ReadCursorData(std::span<const uint8_t>(Data, Size));
  } catch (const EInvalidGraphic&) {
    return 0;
  }
  if (!C) return 0;
  const std::size_t Pixels = std::size_t(C->Width) * std::size_t(C->Height);
  if (C->Width < 0 || C->Height < 0 || C->Width > 256 || C->Height > 256 ||
      C->Mask.size() != Pixels || C->Colors.size() != Pixels)
    std::abort();
  for (int32_t Y = 0; Y < C->Height; ++Y)
    for (int32_t X = 0; X < C->Width; ++X)
      (void)C->Blend(X, Y, 0x00808080);
  return 0;
}
