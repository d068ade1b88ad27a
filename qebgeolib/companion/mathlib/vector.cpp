#include "qebgeolib/companion/mathlib/vector.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace qeb {

void TVector::SetVecSize(int32_t Size) {
  FData.resize(static_cast<size_t>(std::max(Size, 0)), 0.0);
}

void TVector::Fill(double V) {
  std::fill(FData.begin(), FData.end(), V);
}

void TVector::IndexError(int32_t Index) const {
  throw std::out_of_range("TVector: element " + std::to_string(Index) + " outside 1.." +
                          std::to_string(NrOfElem()));
}

} // namespace qeb
