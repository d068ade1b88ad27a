// The insertion and search rules of the database's five sorted indexes, and a batch insertion that
// gives exactly the same index as inserting the entries one by one, in O(n log n).
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <numeric>
#include <span>
#include <utility>
#include <vector>

#include "qebgeolib/geodb/records.h"

namespace qeb::detail::gdbix {

inline float Key(const TIxLLRec& R) {
  return R.LLValue;
}
inline int32_t Key(const TIxItemIDRec& R) {
  return R.ItemID;
}

// The bisection shared by insertion and the closest-position searches: stops at the first
// probe whose key equals V. Returns the 0-based insertion position, and whether an equal key
// was met. Keys are compared in the type of V, so a float key widened to double compares
// exactly with a double V.
template <class Rec, class V>
std::pair<int64_t, bool> Bisect(const Rec* Ix, int64_t Count, V Value) {
  if (Count <= 0) return {0, false};
  int64_t Lo = 0, Hi = Count - 1, Mid = 0;
  while (Lo <= Hi) {
    Mid = (Lo + Hi) / 2;
    const V K = static_cast<V>(Key(Ix[Mid]));
    if (Value > K)
      Lo = Mid + 1;
    else if (Value < K)
      Hi = Mid - 1;
    else
      return {Mid, true};
  }
  return {Value > static_cast<V>(Key(Ix[Mid])) ? Mid + 1 : Mid, false};
}

// The insertion rule for one entry: the index has already grown by one and its last element is
// free. A key equal to existing keys goes before the equal entry the bisection meets first.
template <class Rec> void InsertOne(std::vector<Rec>& Ix, const Rec& New) {
  const int64_t L = static_cast<int64_t>(Ix.size()) - 1;
  const int64_t P = Bisect(Ix.data(), L, Key(New)).first;
  std::move_backward(Ix.begin() + P, Ix.begin() + L, Ix.begin() + L + 1);
  Ix[P] = New;
}

// Where the rule puts a key into an index of L entries of which Less are smaller than the key and
// Equal equal to it. The probes never need the keys themselves: a probe below Less meets a
// smaller key, one at or above Less + Equal a greater key, anything between an equal one.
inline int64_t RulePosition(int64_t L, int64_t Less, int64_t Equal) {
  if (L <= 0) return 0;
  int64_t Lo = 0, Hi = L - 1, Mid = 0;
  while (Lo <= Hi) {
    Mid = (Lo + Hi) / 2;
    if (Mid < Less)
      Lo = Mid + 1;
    else if (Mid >= Less + Equal)
      Hi = Mid - 1;
    else
      return Mid;
  }
  return Mid < Less ? Mid + 1 : Mid;
}

namespace detail {

// Binary indexed tree over 0..n-1 with counts.
class TFenwick {
public:
  explicit TFenwick(std::size_t N, bool AllOnes = false) : FTree(N + 1, 0) {
    if (!AllOnes) return;
    for (std::size_t i = 1; i <= N; ++i) {
      FTree[i] += 1;
      const std::size_t Parent = i + (i & (~i + 1));
      if (Parent <= N) FTree[Parent] += FTree[i];
    }
  }
  void Add(std::size_t I, int32_t Delta) {
    for (++I; I < FTree.size(); I += I & (~I + 1))
      FTree[I] += Delta;
  }
  // Sum over 0..I-1.
  int64_t Prefix(std::size_t I) const {
    int64_t S = 0;
    for (; I > 0; I -= I & (~I + 1))
      S += FTree[I];
    return S;
  }
  // The position of the (K+1)-th counted element (K 0-based); all counts are 0 or 1.
  std::size_t FindKth(int64_t K) const {
    std::size_t Pos = 0, Step = 1;
    while (Step * 2 < FTree.size())
      Step *= 2;
    for (; Step > 0; Step /= 2) {
      if (Pos + Step < FTree.size() && FTree[Pos + Step] <= K) {
        Pos += Step;
        K -= FTree[Pos];
      }
    }
    return Pos;
  }

private:
  std::vector<int32_t> FTree;
};

// A set of positions 0..n-1 that counts its members below a position: a bit per position and a
// Fenwick tree over the 64-bit words, small enough to stay in the cache for millions of bits.
class TBitCounter {
public:
  explicit TBitCounter(std::size_t N) : FBits((N + 63) / 64, 0), FWords(FBits.size()) {}
  void Set(std::size_t I) {
    FBits[I / 64] |= uint64_t{1} << (I % 64);
    FWords.Add(I / 64, 1);
  }
  int64_t CountBelow(std::size_t I) const {
    const uint64_t Mask = (uint64_t{1} << (I % 64)) - 1;
    return FWords.Prefix(I / 64) + std::popcount(FBits[I / 64] & Mask);
  }

private:
  std::vector<uint64_t> FBits;
  TFenwick FWords;
};

// Keys as unsigned integers in the same order, equal keys (-0 and +0 among floats) equal.
inline uint32_t SortKey(float F) {
  if (F == 0) return 0x80000000u;
  const uint32_t B = std::bit_cast<uint32_t>(F);
  return (B & 0x80000000u) ? ~B : B | 0x80000000u;
}
inline uint32_t SortKey(int32_t I) {
  return static_cast<uint32_t>(I) ^ 0x80000000u;
}

struct TSortItem {
  uint32_t Key;
  uint32_t Index; // position in the batch: its order of insertion
};

// The batch ordered by key by a stable radix sort, so equal keys keep their order of insertion.
template <class Rec> std::vector<TSortItem> SortByKey(std::span<const Rec> New) {
  std::vector<TSortItem> A(New.size()), B(New.size());
  for (std::size_t i = 0; i < New.size(); ++i)
    A[i] = {SortKey(Key(New[i])), static_cast<uint32_t>(i)};
  for (int Shift = 0; Shift < 32; Shift += 11) {
    std::vector<uint32_t> Count(2049, 0);
    for (const TSortItem& X : A)
      ++Count[((X.Key >> Shift) & 2047) + 1];
    for (std::size_t d = 1; d < Count.size(); ++d)
      Count[d] += Count[d - 1];
    for (const TSortItem& X : A)
      B[Count[(X.Key >> Shift) & 2047]++] = X;
    A.swap(B);
  }
  return A;
}

// A group of equal keys: the old entries Ix[Less, Less + Equal) and the new entries with these
// keys, in order of insertion, each inserted at Offset within the group as it was then. Appends
// the group's final order to Out.
template <class Rec>
void PlaceGroup(const std::vector<Rec>& Ix, int64_t Less, int64_t Equal,
                const std::vector<const Rec*>& Members, const std::vector<int64_t>& Offset,
                std::vector<Rec>& Out) {
  const std::size_t M = Members.size();
  const auto Total = static_cast<std::size_t>(Equal) + M;
  const auto OldFirst = Ix.begin() + Less, OldLast = OldFirst + Equal;
  if (Total <= 64) {
    std::vector<Rec> G(OldFirst, OldLast);
    for (std::size_t k = 0; k < M; ++k)
      G.insert(G.begin() + Offset[k], *Members[k]);
    Out.insert(Out.end(), G.begin(), G.end());
    return;
  }
  // Large groups backwards: the last member takes the slot its offset names, each earlier one
  // the free slot its offset names among those left, the old entries the rest in order.
  std::vector<const Rec*> Slot(Total, nullptr);
  TFenwick Free(Total, true);
  for (std::size_t k = M; k-- > 0;) {
    const std::size_t S = Free.FindKth(Offset[k]);
    Slot[S] = Members[k];
    Free.Add(S, -1);
  }
  auto Old = OldFirst;
  for (const Rec* R : Slot)
    Out.push_back(R != nullptr ? *R : *Old++);
}

} // namespace detail

// Inserts New[0], New[1], ... one after the other by the rule of InsertOne, into the sorted Ix.
// The rule keeps the index sorted, so only the order inside groups of equal keys needs working
// out: a new entry lands at offset RulePosition(L, Less, Equal) - Less of its group, where L,
// Less and Equal are the index length and the counts of smaller and equal keys at its time.
// The smaller new keys present at that time are counted with a bit per entry of the batch in
// key order. Keys must be ordered by < (no NaN); Ix must be sorted.
template <class Rec> void InsertBatch(std::vector<Rec>& Ix, std::span<const Rec> New) {
  const std::size_t K = New.size();
  if (K == 0) return;
  const std::size_t L0 = Ix.size();
  // A few entries: the plain rule costs one move each.
  if (K <= 8) {
    for (const Rec& R : New) {
      Ix.push_back(R);
      InsertOne(Ix, R);
    }
    return;
  }
  // Ascending keys beyond the last one (new item identifiers): each goes to the end.
  bool Append = L0 == 0 || Key(New[0]) > Key(Ix.back());
  for (std::size_t i = 1; Append && i < K; ++i)
    Append = Key(New[i]) > Key(New[i - 1]);
  if (Append) {
    Ix.insert(Ix.end(), New.begin(), New.end());
    return;
  }

  // The batch in key order, equal keys in order of insertion.
  const std::vector<detail::TSortItem> Sorted = detail::SortByKey(New);

  // Groups of equal keys with their old entries, found by one walk through Ix.
  struct TGroup {
    uint32_t First, Last; // in Sorted
    int64_t Less, Equal;  // in Ix
  };
  std::vector<TGroup> Groups;
  std::vector<uint32_t> GroupOf(K);
  bool AnyShared = false;
  std::size_t p = 0;
  for (std::size_t j = 0; j < K;) {
    const uint32_t V = Sorted[j].Key;
    std::size_t e = j + 1;
    while (e < K && Sorted[e].Key == V)
      ++e;
    while (p < L0 && detail::SortKey(Key(Ix[p])) < V)
      ++p;
    std::size_t q = p;
    while (q < L0 && detail::SortKey(Key(Ix[q])) == V)
      ++q;
    Groups.push_back({static_cast<uint32_t>(j), static_cast<uint32_t>(e), static_cast<int64_t>(p),
                      static_cast<int64_t>(q - p)});
    AnyShared = AnyShared || e - j + (q - p) > 1;
    for (std::size_t k = j; k < e; ++k)
      GroupOf[k] = static_cast<uint32_t>(Groups.size() - 1);
    p = q;
    j = e;
  }

  // Offsets of the new entries in groups of more than one entry, in order of insertion.
  std::vector<int64_t> OffsetOf;
  if (AnyShared) {
    std::vector<uint32_t> PosOf(K);
    for (std::size_t j = 0; j < K; ++j)
      PosOf[Sorted[j].Index] = static_cast<uint32_t>(j);
    OffsetOf.assign(K, 0);
    std::vector<uint32_t> Seen(Groups.size(), 0);
    detail::TBitCounter Present(K);
    for (std::size_t i = 0; i < K; ++i) {
      const uint32_t j = PosOf[i];
      const TGroup& G = Groups[GroupOf[j]];
      if (G.Last - G.First + G.Equal > 1) {
        const int64_t Less = G.Less + Present.CountBelow(G.First);
        const int64_t Equal = G.Equal + Seen[GroupOf[j]]++;
        OffsetOf[i] = RulePosition(static_cast<int64_t>(L0 + i), Less, Equal) - Less;
      }
      Present.Set(j);
    }
  }

  std::vector<Rec> Out;
  Out.reserve(L0 + K);
  std::vector<const Rec*> Members;
  std::vector<int64_t> Offsets;
  p = 0;
  for (const TGroup& G : Groups) {
    Out.insert(Out.end(), Ix.begin() + static_cast<std::ptrdiff_t>(p), Ix.begin() + G.Less);
    if (G.Last - G.First + G.Equal == 1) {
      Out.push_back(New[Sorted[G.First].Index]);
    } else {
      Members.clear();
      Offsets.clear();
      for (uint32_t j = G.First; j < G.Last; ++j) {
        Members.push_back(&New[Sorted[j].Index]);
        Offsets.push_back(OffsetOf[Sorted[j].Index]);
      }
      detail::PlaceGroup(Ix, G.Less, G.Equal, Members, Offsets, Out);
    }
    p = static_cast<std::size_t>(G.Less + G.Equal);
  }
  Out.insert(Out.end(), Ix.begin() + static_cast<std::ptrdiff_t>(p), Ix.end());
  Ix = std::move(Out);
}

} // namespace qeb::detail::gdbix
