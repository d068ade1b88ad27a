// Fuzz target of the text conversions: Windows-1252 and UTF-8 in both
// directions and the UTF-8 check, on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "qebgeolib/platform/base/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  using namespace qeb;
  const std::string_view In(reinterpret_cast<const char*>(Data), Size);

  // Every byte string is 1252 text, and it comes back unchanged.
  const std::string Utf8 = Cp1252ToUtf8(In);
  if (!IsValidUtf8(Utf8) || Utf8ToCp1252(Utf8) != In) __builtin_trap();

  // Any bytes as UTF-8: one 1252 byte per character or bad sequence.
  const std::string Bytes = Utf8ToCp1252(In);
  if (Bytes.size() > Size) __builtin_trap();
  // Valid UTF-8 whose characters all fit 1252 survives the round trip.
  if (IsValidUtf8(In) && Bytes.find('?') == std::string::npos && Cp1252ToUtf8(Bytes) != In)
    __builtin_trap();

  const std::string Decoded = DecodeExternalText(In);
  if (!IsValidUtf8(Decoded)) __builtin_trap();
  return 0;
}
