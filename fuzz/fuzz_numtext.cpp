// Fuzz target of the command line's number texts: arbitrary text through the
// parsers, and arbitrary doubles through the fixed and shortest forms, which
// must read back as the value they show.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "tools/qebgeo/numtext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  using namespace qeb::cli;
  const std::string_view In(reinterpret_cast<const char*>(Data), Size);

  double Parsed = 0;
  if (ParseNumber(In, Parsed) && !std::isfinite(Parsed)) __builtin_trap();
  int32_t Int = 0;
  ParseInteger(In, Int);

  // The first 8 bytes are a double, the next one the number of decimals.
  if (Size < 9) return 0;
  double V;
  std::memcpy(&V, Data, sizeof V);
  const int Decimals = static_cast<int8_t>(Data[8]) % (kMaxFixedDecimals + 3);
  std::string S;
  const bool Ok = FormatFixed(V, Decimals, S);
  if (Ok != (std::isfinite(V) && Decimals >= 0 && Decimals <= kMaxFixedDecimals)) __builtin_trap();
  if (Ok) {
    double Back = 0;
    if (S.find_first_not_of("-0123456789.") != std::string::npos || !ParseNumber(S, Back))
      __builtin_trap();
    // Within half a unit of the last decimal, or exact where the double has
    // no fraction to round.
    const double Unit = std::pow(10.0, -Decimals);
    if (!(std::fabs(Back - V) <= Unit / 2 * (1 + 1e-9) + std::fabs(V) * 1e-15)) __builtin_trap();
  } else if (!S.empty()) {
    __builtin_trap();
  }
  float F;
  std::memcpy(&F, Data, sizeof F);
  if (FormatShortest(F, S)) {
    double Back = 0;
    if (!ParseNumber(S, Back) || static_cast<float>(Back) != F) __builtin_trap();
  } else if (std::isfinite(F)) {
    __builtin_trap();
  }
  return 0;
}
