#include "qebgeolib/companion/corelib/dstruct.h"

#include <algorithm>

namespace qeb {

void TBitFld::SetSize(int32_t Size) {
  Size = std::max(Size, 0);
  if (Size < FSize && Size % 64 != 0) {
    // Clear the bits cut off inside the last kept word, so growing again
    // brings them back clear.
    FWords[Size / 64] &= (uint64_t{1} << (Size % 64)) - 1;
  }
  FWords.resize((static_cast<size_t>(Size) + 63) / 64, 0);
  FSize = Size;
}

void TBitFld::Clear() {
  std::fill(FWords.begin(), FWords.end(), 0);
}

void TBitFld::SetBit(int32_t Index, bool Value) {
  if (Index < 1 || Index > FSize) return;
  const auto I = static_cast<uint32_t>(Index - 1);
  const uint64_t Mask = uint64_t{1} << (I % 64);
  if (Value)
    FWords[I / 64] |= Mask;
  else
    FWords[I / 64] &= ~Mask;
}

bool TBitFld::GetBit(int32_t Index) const {
  if (Index < 1 || Index > FSize) return false;
  const auto I = static_cast<uint32_t>(Index - 1);
  return (FWords[I / 64] >> (I % 64)) & 1;
}

} // namespace qeb
