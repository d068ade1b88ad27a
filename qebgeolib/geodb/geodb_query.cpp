// TGeoDB: box queries over the items' bounding boxes.
#include <algorithm>
#include <cmath>
#include <limits>

#include "qebgeolib/geodb/detail/boxtree.h"
#include "qebgeolib/geodb/geodb.h"

namespace qeb {

using namespace detail; // the internal pieces of this module

namespace {

constexpr float kFltMax = std::numeric_limits<float>::max();
constexpr float kInf = std::numeric_limits<float>::infinity();

// The window's bounds as floats, one float step wider than the nearest float, so that a stored
// bound rounded from a value on the window's edge is inside.
float WidenDown(double V) {
  if (!(V > -kFltMax)) return -kInf;
  if (V > kFltMax) return kFltMax;
  return std::nextafter(static_cast<float>(V), -kInf);
}
float WidenUp(double V) {
  if (!(V < kFltMax)) return kInf;
  if (V < -kFltMax) return -kFltMax;
  return std::nextafter(static_cast<float>(V), kInf);
}

} // namespace

void TGeoDB::FindItemsInBox(double LatLow, double LatHigh, double LongLow, double LongHigh,
                            TgdbItemSet Kinds, std::vector<int32_t>& Entries) const {
  Entries.clear();
  if (!(LatLow <= LatHigh) || !(LongLow <= LongHigh) || FNumSumItems == 0) return;
  const float La = WidenDown(LatLow), Lb = WidenUp(LatHigh);
  const float Oa = WidenDown(LongLow), Ob = WidenUp(LongHigh);
  if (!FBoxTree) FBoxTree = std::make_unique<TgdbBoxTree>();
  // Items added after the tree was built are scanned one by one until they are many enough
  // for a rebuild to pay.
  const int32_t Tail = FNumSumItems - FBoxTree->Covered();
  if (!FBoxTree->Built() || Tail > std::max(4096, FBoxTree->Covered() / 8))
    FBoxTree->Build(FSumData.data(), FNumSumItems);
  FBoxTree->Query(La, Lb, Oa, Ob, Kinds, Entries);
  for (int32_t E = FBoxTree->Covered(); E < FNumSumItems; ++E) {
    const TgdbData& D = FSumData[static_cast<std::size_t>(E)];
    if (D.LatLow <= D.LatHigh && D.LongLow <= D.LongHigh && D.LatLow <= Lb && D.LatHigh >= La &&
        D.LongLow <= Ob && D.LongHigh >= Oa && (Kinds & gdbKind(D.ItemKind)))
      Entries.push_back(E);
  }
  FBoxTree->SortAscending(Entries, FNumSumItems);
  for (int32_t& E : Entries)
    ++E;
}

std::vector<int32_t> TGeoDB::FindItemsInBox(double LatLow, double LatHigh, double LongLow,
                                            double LongHigh, TgdbItemSet Kinds) const {
  std::vector<int32_t> Entries;
  FindItemsInBox(LatLow, LatHigh, LongLow, LongHigh, Kinds, Entries);
  return Entries;
}

} // namespace qeb
