// In-memory search structure for box queries over the database's items: a packed R-tree of the
// items' bounding boxes in Hilbert order. It is derived from the summary and never stored.
#pragma once

#include <cstdint>
#include <vector>

#include "qebgeolib/geodb/records.h"

namespace qeb::detail {

class TgdbBoxTree {
public:
  // Builds the tree over Items[0..Count-1]. Items whose box is empty (a low bound above the high
  // bound, as for a polygon without points) or has NaN bounds are left out: they meet no window.
  void Build(const TgdbData* Items, int32_t Count);
  void Clear();

  bool Built() const { return FBuilt; }
  // The number of summary entries the tree covers (entries at and after it were added later).
  int32_t Covered() const { return FCovered; }

  // Appends the 0-based entries whose box meets the closed window and whose kind is in Kinds.
  void Query(float LatLo, float LatHi, float LongLo, float LongHi, TgdbItemSet Kinds,
             std::vector<int32_t>& Out) const;

  // Sorts values 0..Bound-1 ascending (a radix sort: a query's results cost linear time).
  void SortAscending(std::vector<int32_t>& Values, int32_t Bound);

private:
  // Boxes of all levels, leaves (the items) first, then each level of nodes up to the root.
  std::vector<float> FLatLo, FLatHi, FLongLo, FLongHi;
  std::vector<int32_t> FEntry; // per leaf: the 0-based summary entry
  std::vector<uint8_t> FKind;  // per leaf: the bit of its kind in a TgdbItemSet
  std::vector<int64_t> FLevel; // start of each level in the box arrays; last: the end
  std::vector<int32_t> FScratch;
  int32_t FCovered = 0;
  bool FBuilt = false;
};

} // namespace qeb::detail
