// Pixel arithmetic shared by the map control's units: positions computed in
// 64 bits and brought back into 32, and mouse positions held to the control.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

namespace qeb::detail {

inline int32_t Saturate(int64_t V) {
  return static_cast<int32_t>(std::clamp<int64_t>(V, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// Also for Lo > Hi (a control of size 0), without the undefined behaviour of
// std::clamp: the result is then Lo or Hi, never outside both.
inline int32_t Limit(int32_t V, int32_t Lo, int32_t Hi) {
  return V < Lo ? Lo : V > Hi ? Hi : V;
}

// Inside a control of W x H pixels, its right and bottom edges included.
inline bool Inside(int32_t X, int32_t Y, int32_t W, int32_t H) {
  return X >= 0 && X <= W && Y >= 0 && Y <= H;
}

} // namespace qeb::detail
