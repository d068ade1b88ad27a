#include "qebgeolib/geodb/detail/boxtree.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>

namespace qeb::detail {

namespace {

// Children per node: a node's children are 16 consecutive boxes of the level below, so the tree
// needs no child pointers.
constexpr int64_t kFanout = 16;

// Position along a Hilbert curve of order 16 through the cell (X, Y): boxes close on the curve
// are close on the map, so runs of 16 make tight nodes.
uint32_t HilbertIndex(uint32_t X, uint32_t Y) {
  constexpr uint32_t N = 1u << 16;
  uint32_t D = 0;
  for (uint32_t S = N / 2; S > 0; S /= 2) {
    const uint32_t Rx = (X & S) ? 1 : 0;
    const uint32_t Ry = (Y & S) ? 1 : 0;
    D += S * S * ((3 * Rx) ^ Ry);
    if (Ry == 0) {
      if (Rx == 1) {
        X = N - 1 - X;
        Y = N - 1 - Y;
      }
      std::swap(X, Y);
    }
  }
  return D;
}

// A box centre that stays finite for infinite bounds.
double Centre(float Lo, float Hi) {
  const double C = (std::clamp<double>(Lo, -1e30, 1e30) + std::clamp<double>(Hi, -1e30, 1e30)) / 2;
  return C;
}

uint32_t Cell(double V, double Min, double Range) {
  if (!(Range > 0)) return 0;
  const double T = (V - Min) / Range * 65535.0;
  return static_cast<uint32_t>(std::clamp(T, 0.0, 65535.0));
}

} // namespace

void TgdbBoxTree::Clear() {
  FLatLo.clear();
  FLatHi.clear();
  FLongLo.clear();
  FLongHi.clear();
  FEntry.clear();
  FKind.clear();
  FLevel.clear();
  FCovered = 0;
  FBuilt = false;
}

void TgdbBoxTree::Build(const TgdbData* Items, int32_t Count) {
  Clear();
  std::vector<uint32_t> Use;
  Use.reserve(static_cast<std::size_t>(Count));
  double MinX = 1e300, MaxX = -1e300, MinY = 1e300, MaxY = -1e300;
  for (int32_t i = 0; i < Count; ++i) {
    const TgdbData& D = Items[i];
    if (!(D.LatLow <= D.LatHigh) || !(D.LongLow <= D.LongHigh)) continue;
    Use.push_back(static_cast<uint32_t>(i));
    const double X = Centre(D.LongLow, D.LongHigh), Y = Centre(D.LatLow, D.LatHigh);
    MinX = std::min(MinX, X);
    MaxX = std::max(MaxX, X);
    MinY = std::min(MinY, Y);
    MaxY = std::max(MaxY, Y);
  }
  std::vector<uint64_t> Keys(Use.size());
  for (std::size_t j = 0; j < Use.size(); ++j) {
    const TgdbData& D = Items[Use[j]];
    const uint32_t H = HilbertIndex(Cell(Centre(D.LongLow, D.LongHigh), MinX, MaxX - MinX),
                                    Cell(Centre(D.LatLow, D.LatHigh), MinY, MaxY - MinY));
    Keys[j] = (static_cast<uint64_t>(H) << 32) | Use[j];
  }
  std::vector<uint32_t>().swap(Use);
  std::sort(Keys.begin(), Keys.end());

  const auto NumItems = static_cast<int64_t>(Keys.size());
  int64_t Total = NumItems;
  for (int64_t N = NumItems; N > 1;) {
    N = (N + kFanout - 1) / kFanout;
    Total += N;
  }
  FLatLo.reserve(static_cast<std::size_t>(Total));
  FLatHi.reserve(static_cast<std::size_t>(Total));
  FLongLo.reserve(static_cast<std::size_t>(Total));
  FLongHi.reserve(static_cast<std::size_t>(Total));
  FEntry.reserve(Keys.size());
  FKind.reserve(Keys.size());
  for (uint64_t K : Keys) {
    const auto i = static_cast<int32_t>(K & 0xFFFFFFFFu);
    const TgdbData& D = Items[i];
    FLatLo.push_back(D.LatLow);
    FLatHi.push_back(D.LatHigh);
    FLongLo.push_back(D.LongLow);
    FLongHi.push_back(D.LongHigh);
    FEntry.push_back(i);
    FKind.push_back(static_cast<uint8_t>(D.ItemKind <= gitUndefined ? D.ItemKind : 15));
  }
  std::vector<uint64_t>().swap(Keys);

  FLevel.push_back(0);
  int64_t Start = 0, N = NumItems;
  while (N > 1) {
    for (int64_t First = 0; First < N; First += kFanout) {
      const int64_t Last = std::min(First + kFanout, N);
      float A = INFINITY, B = -INFINITY, C = INFINITY, E = -INFINITY;
      for (int64_t c = Start + First; c < Start + Last; ++c) {
        const auto u = static_cast<std::size_t>(c);
        A = std::min(A, FLatLo[u]);
        B = std::max(B, FLatHi[u]);
        C = std::min(C, FLongLo[u]);
        E = std::max(E, FLongHi[u]);
      }
      FLatLo.push_back(A);
      FLatHi.push_back(B);
      FLongLo.push_back(C);
      FLongHi.push_back(E);
    }
    Start += N;
    N = (N + kFanout - 1) / kFanout;
    FLevel.push_back(Start);
  }
  FLevel.push_back(Start + N);
  FCovered = Count;
  FBuilt = true;
}

void TgdbBoxTree::Query(float LatLo, float LatHi, float LongLo, float LongHi, TgdbItemSet Kinds,
                        std::vector<int32_t>& Out) const {
  if (!FBuilt || FEntry.empty()) return;
  const float* La = FLatLo.data();
  const float* Lb = FLatHi.data();
  const float* Oa = FLongLo.data();
  const float* Ob = FLongHi.data();
  auto Meets = [&](int64_t i) {
    return La[i] <= LatHi && Lb[i] >= LatLo && Oa[i] <= LongHi && Ob[i] >= LongLo;
  };
  // Leaves [First, Last): the window test and the kind filter.
  auto Leaves = [&](int64_t First, int64_t Last) {
    for (int64_t i = First; i < Last; ++i)
      if (Meets(i) && ((Kinds >> FKind[static_cast<std::size_t>(i)]) & 1u))
        Out.push_back(FEntry[static_cast<std::size_t>(i)]);
  };

  const auto Top = static_cast<int32_t>(FLevel.size()) - 2; // level of the root
  if (Top == 0) {
    Leaves(0, FLevel[1]);
    return;
  }
  if (!Meets(FLevel[static_cast<std::size_t>(Top)])) return;
  // Depth-first; each node pushes at most kFanout children, and a tree of 2^31 items has 8
  // levels, so this stack cannot overflow.
  struct TNode {
    int32_t Level;
    int64_t Index; // within its level
  };
  TNode Stack[kFanout * 10];
  int Sp = 0;
  Stack[Sp++] = {Top, 0};
  while (Sp > 0) {
    const TNode Node = Stack[--Sp];
    const auto Below = static_cast<std::size_t>(Node.Level - 1);
    const int64_t Base = FLevel[Below];
    const int64_t Count = FLevel[Below + 1] - Base;
    const int64_t First = Node.Index * kFanout;
    const int64_t Last = std::min(First + kFanout, Count);
    if (Below == 0) {
      Leaves(First, Last);
      continue;
    }
    for (int64_t c = Last; c-- > First;)
      if (Meets(Base + c)) Stack[Sp++] = {Node.Level - 1, c};
  }
}

void TgdbBoxTree::SortAscending(std::vector<int32_t>& Values, int32_t Bound) {
  if (Values.size() < 64) {
    std::sort(Values.begin(), Values.end());
    return;
  }
  FScratch.resize(Values.size());
  const int Bits = std::bit_width(static_cast<uint32_t>(std::max(Bound, 1)));
  for (int Shift = 0; Shift < Bits; Shift += 8) {
    std::array<uint32_t, 257> Count{};
    for (int32_t V : Values)
      ++Count[((static_cast<uint32_t>(V) >> Shift) & 255) + 1];
    for (std::size_t d = 1; d < Count.size(); ++d)
      Count[d] += Count[d - 1];
    for (int32_t V : Values)
      FScratch[Count[(static_cast<uint32_t>(V) >> Shift) & 255]++] = V;
    Values.swap(FScratch);
  }
}

} // namespace qeb::detail
