// Fuzz target of the command line's JSON reader: arbitrary text is read or
// refused with EJsonError, within small limits so that the limit checks are
// reached too.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tools/qebgeo/jsonread.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  using namespace qeb::cli;
  TJsonLimits Limits;
  Limits.MaxDepth = 8;
  Limits.MaxString = 64;
  Limits.MaxValues = 1000;
  try {
    ParseJson(std::string_view(reinterpret_cast<const char*>(Data), Size), Limits);
  } catch (const EJsonError&) {
  }
  return 0;
}
