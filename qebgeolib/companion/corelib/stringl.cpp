#include "qebgeolib/companion/corelib/stringl.h"

#include <algorithm>

namespace qeb {

namespace {

template <typename T> int32_t FindIx(std::string_view Text, std::span<const T> List, int32_t High) {
  if (High < 0 || List.empty()) return 0;
  const size_t Last = std::min(static_cast<size_t>(High), List.size() - 1);
  for (size_t I = 0; I <= Last; ++I)
    if (std::string_view(List[I]) == Text) return static_cast<int32_t>(I + 1);
  return 0;
}

bool IsFN83Char(unsigned char C) {
  if ((C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || (C >= '0' && C <= '9')) return true;
  return std::string_view(".!#$%&'()-@^_`{}~").find(static_cast<char>(C)) != std::string_view::npos;
}

} // namespace

int32_t StringIx(std::string_view Text, std::span<const std::string_view> List, int32_t High) {
  return FindIx(Text, List, High);
}

int32_t StringIx(std::string_view Text, std::span<const std::string> List, int32_t High) {
  return FindIx(Text, List, High);
}

std::string ReduceStringToFN83CompliantChars(std::string_view Text) {
  std::string Result;
  Result.reserve(Text.size());
  for (char C : Text)
    if (IsFN83Char(static_cast<unsigned char>(C))) Result += C;
  if (Result.find_first_not_of('.') == std::string::npos) Result.clear();
  return Result;
}

} // namespace qeb
