// Fuzz target of the PNG reader: any bytes either load or raise
// EInvalidGraphic; an image that loads is written again and must read back
// with the same size and colours.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "qebgeolib/platform/base/streams.h"
#include "qebgeolib/platform/graphics/detail/pixelrows.h"
#include "qebgeolib/platform/graphics/pngimage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  using namespace qeb;
  TMemoryStream In;
  In.WriteBuffer(Data, int64_t(Size));
  In.SetPosition(0);
  TPNGImage P;
  try {
    P.LoadFromStream(In);
  } catch (const EInvalidGraphic&) {
    return 0;
  }
  TBitmap& A = P.GetBitmap();
  if (int64_t(A.GetWidth()) * A.GetHeight() > (int64_t(1) << 18)) return 0;
  TMemoryStream Out;
  P.SetCompressionLevel(1);
  P.SaveToStream(Out);
  Out.SetPosition(0);
  TPNGImage Q;
  Q.LoadFromStream(Out);
  TBitmap& B = Q.GetBitmap();
  if (A.GetWidth() != B.GetWidth() || A.GetHeight() != B.GetHeight()) __builtin_trap();
  std::vector<uint32_t> RA(std::size_t(A.GetWidth())), RB(RA.size());
  for (int32_t y = 0; y < A.GetHeight(); ++y) {
    detail::DecodeRow(A, y, 0, A.GetWidth(), RA.data());
    detail::DecodeRow(B, y, 0, B.GetWidth(), RB.data());
    if (RA != RB) __builtin_trap();
  }
  return 0;
}
