// Number texts of the command line.
#include "tools/qebgeo/numtext.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace qeb::cli {

namespace {

// The fixed form of the largest double has 309 digits before the point.
constexpr std::size_t kMaxFixedSize =
    1 + std::numeric_limits<double>::max_exponent10 + 1 + 1 + kMaxFixedDecimals;

} // namespace

bool FormatFixed(double V, int Decimals, std::string& Out) {
  Out.clear();
  if (!std::isfinite(V) || Decimals < 0 || Decimals > kMaxFixedDecimals) return false;
  char Buf[kMaxFixedSize];
  const auto R = std::to_chars(Buf, Buf + sizeof Buf, V, std::chars_format::fixed, Decimals);
  if (R.ec != std::errc()) return false;
  const std::string_view S(Buf, static_cast<std::size_t>(R.ptr - Buf));
  // "-0.000" would claim a sign the printed value does not have.
  const bool NegativeZero = S.front() == '-' && S.find_first_of("123456789") == S.npos;
  Out.assign(NegativeZero ? S.substr(1) : S);
  return true;
}

bool FormatShortest(float V, std::string& Out) {
  Out.clear();
  if (!std::isfinite(V)) return false;
  char Buf[64];
  const auto R = std::to_chars(Buf, Buf + sizeof Buf, V);
  if (R.ec != std::errc()) return false;
  Out.assign(Buf, R.ptr);
  return true;
}

bool ParseNumber(std::string_view Text, double& V) {
  double X = 0;
  const char* End = Text.data() + Text.size();
  const auto R = std::from_chars(Text.data(), End, X);
  if (R.ec != std::errc() || R.ptr != End || !std::isfinite(X)) return false;
  V = X;
  return true;
}

bool ParseInteger(std::string_view Text, int32_t& V) {
  int32_t X = 0;
  const char* End = Text.data() + Text.size();
  const auto R = std::from_chars(Text.data(), End, X);
  if (R.ec != std::errc() || R.ptr != End) return false;
  V = X;
  return true;
}

} // namespace qeb::cli
