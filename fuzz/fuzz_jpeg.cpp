// Fuzz target of the JPEG reader: any bytes either load and decode or raise
// EInvalidGraphic, and a decoded image has the size the header announced.
#include <cstddef>
#include <cstdint>

#include "qebgeolib/platform/base/streams.h"
#include "qebgeolib/platform/graphics/jpegimage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  using namespace qeb;
  TMemoryStream In;
  In.WriteBuffer(Data, int64_t(Size));
  In.SetPosition(0);
  TJPEGImage J;
  TBitmap B;
  try {
    J.LoadFromStream(In);
    B.Assign(&J);
  } catch (const EInvalidGraphic&) {
    return 0;
  }
  if (B.GetWidth() != J.GetWidth() || B.GetHeight() != J.GetHeight()) __builtin_trap();
  return 0;
}
