// Number texts of the command line, independent of the locale: exact
// fixed-point output for values of any size, and whole-text parsers that
// accept nothing but a complete finite number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qeb::cli {

// The most decimals FormatFixed writes; more would only show binary noise.
inline constexpr int kMaxFixedDecimals = 17;

// V with exactly Decimals digits after the point, rounded (to_chars rounding,
// so the text reads back as the nearest value with that many decimals). A
// value that rounds to zero carries no minus sign. False, with Out emptied,
// for a value that is not finite or decimals outside 0..kMaxFixedDecimals.
bool FormatFixed(double V, int Decimals, std::string& Out);

// The shortest text that reads back as V; false, with Out emptied, when V is
// not finite (JSON has no spelling for infinities and NaN).
bool FormatShortest(float V, std::string& Out);

// The whole text is one finite decimal number (an exponent is allowed, no
// blanks, no leading "+"). Overflowing texts such as "1e999" are refused.
bool ParseNumber(std::string_view Text, double& V);
// The whole text is one decimal integer in the range of int32_t.
bool ParseInteger(std::string_view Text, int32_t& V);

} // namespace qeb::cli
