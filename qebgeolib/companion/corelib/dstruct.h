// Compact data structures of the base companion library.
#pragma once

#include <cstdint>
#include <vector>

namespace qeb {

// A set of bits addressed 1..Size, packed 64 to a word. Indexes outside
// 1..Size are ignored by SetBit and read as false by GetBit.
class TBitFld {
public:
  TBitFld() = default;
  explicit TBitFld(int32_t Size) { SetSize(Size); }

  // Bits that remain addressable keep their values, new ones are clear;
  // a negative size counts as 0.
  void SetSize(int32_t Size);
  int32_t GetSize() const { return FSize; }
  void Clear();
  void SetBit(int32_t Index, bool Value);
  bool GetBit(int32_t Index) const;

private:
  std::vector<uint64_t> FWords;
  int32_t FSize = 0;
};

} // namespace qeb
