// A grid index of the landmarks' positions (latitude, longitude), so that a
// view over a few of a million landmarks touches only those near it. Built on
// demand after the list changes, in linear time.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace qeb {
struct TLandMark;
}

namespace qeb::detail {

class TLandMarkIndex {
public:
  // The list changed; the next query rebuilds.
  void Invalidate() { FValid = false; }

  // Marks (one bit per landmark, bit i for the 0-based landmark i) every
  // landmark whose latitude lies in
  // [LatLo, LatHi] and longitude in [LongLo, LongHi], and every landmark
  // with a position that is not finite (the index cannot place those, so
  // callers test them like the others). More may be marked than lie in the
  // box; none inside is missed. A NaN bound marks every landmark. The marks
  // stay valid until the next call.
  std::span<const uint64_t> MarkBox(std::span<const TLandMark> List, double LatLo, double LatHi,
                                    double LongLo, double LongHi);

private:
  void Build(std::span<const TLandMark> List);
  // The cell column or row of a coordinate, clamped to the grid.
  int32_t CellOf(double V, double Lo, double Scale, int32_t Count) const;

  bool FValid = false;
  std::size_t FBuiltFor = 0; // the list size the index was built for
  double FLatLo = 0, FLongLo = 0, FLatScale = 0, FLongScale = 0;
  int32_t FRows = 0, FCols = 0;
  // Cell r * FCols + c holds FItems[FStart[cell] .. FStart[cell + 1]).
  std::vector<uint32_t> FStart;
  std::vector<uint32_t> FItems;
  std::vector<uint32_t> FOdd; // landmarks with a position that is not finite
  std::vector<uint64_t> FMarks;
};

} // namespace qeb::detail
