// Universal numeric constants of the base companion library.
#pragma once

#include <limits>

namespace qeb {

// The largest finite and the smallest positive 8-byte float (the latter is
// subnormal: 4.94e-324).
inline constexpr double uc_MaxDouble = std::numeric_limits<double>::max();
inline constexpr double uc_MinDouble = std::numeric_limits<double>::denorm_min();

} // namespace qeb
