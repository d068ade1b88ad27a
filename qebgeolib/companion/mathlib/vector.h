// Vector of doubles for least-squares right-hand sides and results, indexed
// from 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qeb {

// GetVal and SetVal check the index only in builds without NDEBUG, where an
// index outside 1..NrOfElem() throws std::out_of_range; release builds trust
// the caller.
class TVector {
public:
  TVector() = default;
  explicit TVector(int32_t Size) { SetVecSize(Size); }

  // Elements that remain keep their values, new ones are 0; a negative size
  // is taken as 0.
  void SetVecSize(int32_t Size);
  int32_t NrOfElem() const { return static_cast<int32_t>(FData.size()); }
  void Fill(double V);

  double GetVal(int32_t Index) const { return FData[Offset(Index)]; }
  void SetVal(int32_t Index, double V) { FData[Offset(Index)] = V; }

private:
  size_t Offset(int32_t Index) const {
#ifndef NDEBUG
    if (Index < 1 || Index > NrOfElem()) IndexError(Index);
#endif
    return static_cast<size_t>(Index - 1);
  }
  [[noreturn]] void IndexError(int32_t Index) const;

  std::vector<double> FData;
};

} // namespace qeb
