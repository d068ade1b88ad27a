// The five indexes: the insertion and search rules, the batch insertion against the plain rule,
// and box queries against a scan of every item.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "qebgeolib/geodb/detail/indexes.h"
#include "qebgeolib/geodb/geodb.h"
#include "tests/geodb/testutil.h"

namespace qeb {

using namespace detail; // the internal pieces of this module
namespace {

using namespace qeb::test;

constexpr TDateTime kDate = 45000.25;

TEST(GeoDBIndex, InsertionAndSearchRules) {
  // Inserting 20 into 10, 20, 30 puts it before the existing 20.
  TIxLLRecArray Ix = {{10, 0}, {20, 1}, {30, 2}, {}};
  TGeoDB::SortIxInto(Ix, {20, 3});
  EXPECT_EQ(Ix[1].index, 3);
  EXPECT_EQ(Ix[2].index, 1);
  TIxItemIDRecArray Id = {{5, 0}, {}};
  TGeoDB::SortIxItemIDInto(Id, {-2, 1});
  EXPECT_EQ(Id[0].ItemID, -2);

  const std::string B = FreshDir() + "/db";
  TGeoDB Db(nullptr);
  Db.SetGDBName(B);
  for (float Lat : {10.0f, 20.0f, 20.0f, 30.0f})
    Db.AddTown("T", kDate, 0, {Lat, 0}, 0, 0, 0);
  EXPECT_EQ(Db.GetClosestLatLowIx(5), 1);
  EXPECT_EQ(Db.GetClosestLatLowIx(25), 4);
  EXPECT_EQ(Db.GetClosestLatLowIx(35), 5);
  EXPECT_EQ(Db.GetClosestLatLowIx(20), 2);
  EXPECT_EQ(Db.GetClosestLatHighIx(30), 4);
  Db.AddTown("T", kDate, 0, {47.1f, 0}, 0, 0, 0);
  // 47.1 has no exact float: it never equals the stored 47.1f (just below it).
  EXPECT_LT(47.1f, 47.1);
  EXPECT_EQ(Db.GetClosestLatLowIx(47.1), 6);
  EXPECT_EQ(Db.GetClosestLatLowIx(static_cast<double>(47.1f)), 5);
  EXPECT_EQ(Db.GetClosestLongLowIx(0), 3); // five equal keys: the first probe meets one
  EXPECT_EQ(Db.GetClosestItemIDIx(3), 3);
  EXPECT_EQ(Db.GetClosestItemIDIx(9), 6);
  EXPECT_EQ(Db.SearchForItemID(4), 4);
  EXPECT_EQ(Db.SearchForItemID(6), 0);
  EXPECT_EQ(Db.GetIxLatLow(0).index, Db.GetIxLatLow(1).index);
  EXPECT_EQ(Db.GetIxLatLow(99).LLValue, 47.1f);
  for (int32_t i = 1; i <= 5; ++i) {
    EXPECT_GE(Db.GetIxLongHigh(i).index, 1);
    EXPECT_LE(Db.GetIxLongHigh(i).index, 5);
  }
}

// Keys from a small set, so that equal keys are common; -0 and +0 are equal keys.
float SmallKey(std::mt19937& R) {
  static const float Keys[] = {-0.0f, 0.0f, 1.5f, 2.0f, -7.0f, 3.25f, 100.0f};
  return Keys[R() % 7];
}

template <class Rec, class Make> void CompareBatchWithRule(uint32_t Seed, Make MakeKey) {
  std::mt19937 R(Seed);
  for (int Round = 0; Round < 40; ++Round) {
    // An existing index built by the rule, then a batch on top of it.
    const int Old = static_cast<int>(R() % 60), New = static_cast<int>(R() % 300);
    std::vector<Rec> Seq(static_cast<std::size_t>(Old + New));
    for (int i = 0; i < Old + New; ++i) {
      Rec& E = Seq[static_cast<std::size_t>(i)];
      if constexpr (std::is_same_v<Rec, TIxLLRec>)
        E.LLValue = MakeKey(R);
      else
        E.ItemID = static_cast<int32_t>(MakeKey(R));
      E.index = i;
    }
    std::vector<Rec> Rule, Batch;
    for (int i = 0; i < Old + New; ++i) {
      if (i == Old) Batch = Rule;
      Rule.push_back(Seq[static_cast<std::size_t>(i)]);
      gdbix::InsertOne(Rule, Seq[static_cast<std::size_t>(i)]);
    }
    if (New == 0) Batch = Rule;
    const std::vector<Rec> Added(Seq.begin() + Old, Seq.end());
    gdbix::InsertBatch<Rec>(Batch, Added);
    ASSERT_EQ(Batch.size(), Rule.size());
    for (std::size_t p = 0; p < Rule.size(); ++p)
      ASSERT_EQ(Batch[p].index, Rule[p].index) << "round " << Round << " position " << p;
  }
}

TEST(GeoDBIndex, BatchInsertionEqualsTheRule) {
  CompareBatchWithRule<TIxLLRec>(1, SmallKey);
  CompareBatchWithRule<TIxLLRec>(2, [](std::mt19937& R) { return static_cast<float>(R() % 40); });
  CompareBatchWithRule<TIxItemIDRec>(3, [](std::mt19937& R) { return (R() % 5) - 2.0f; });
  CompareBatchWithRule<TIxItemIDRec>(4, [](std::mt19937& R) { return R() % 100000 * 1.0f; });
  CompareBatchWithRule<TIxLLRec>(5, [](std::mt19937& R) { return R() % 2 ? 1.0f : -0.0f; });
  for (int64_t L = 0; L < 40; ++L) // the arithmetic bisection against the real one
    for (int64_t Less = 0; Less <= L; ++Less)
      for (int64_t Eq = 0; Less + Eq <= L; ++Eq) {
        std::vector<TIxItemIDRec> Ix;
        for (int64_t i = 0; i < L; ++i)
          Ix.push_back({i < Less ? 0 : i < Less + Eq ? 1 : 2, 0});
        EXPECT_EQ(gdbix::RulePosition(L, Less, Eq), gdbix::Bisect(Ix.data(), L, 1).first);
      }
}

// The indexes of a bulk load (LazyWrite, batched) equal the rule applied add by add, and the
// files equal those of a load without LazyWrite and of RecalcIndexes.
TEST(GeoDBIndex, BulkLoadMatchesReference) {
  const std::string Dir = FreshDir();
  std::mt19937 R(7);
  struct TItem {
    TSCoords At;
    bool Town;
  };
  std::vector<TItem> Items;
  for (int i = 0; i < 1500; ++i)
    Items.push_back({{static_cast<float>(R() % 13), static_cast<float>(R() % 9) - 4}, R() % 3 > 0});
  auto Load = [&](const std::string& B, bool Lazy, int Count) {
    TGeoDB Db(nullptr);
    Db.SetGDBName(B);
    Db.SetLazyWrite(Lazy);
    for (int i = 0; i < Count; ++i) {
      const TItem& It = Items[static_cast<std::size_t>(i)];
      if (It.Town)
        Db.AddTown("T", kDate, 0, It.At, 0, 0, 0);
      else
        Db.AddLake("L", Square(It.At.Latit, It.At.Longit, 1), kDate, 0, 0, 0, 0, 0, 0, 0, 0);
      if (i == Count / 2) Db.GetIxLatLow(1); // a batch in the middle
    }
  };
  Load(Dir + "/lazy", true, 1500);
  Load(Dir + "/eager", false, 300);
  Load(Dir + "/lazy300", true, 300);

  TGeoDB Db(nullptr);
  Db.SetGDBName(Dir + "/lazy");
  TIxLLRecArray Ref[5];
  for (int e = 0; e < 1500; ++e) {
    const TgdbData D = Db.GetSumdata(e + 1);
    const float Keys[5] = {0, D.LatLow, D.LatHigh, D.LongLow, D.LongHigh};
    for (int i = 1; i < 5; ++i) {
      Ref[i].push_back({});
      TGeoDB::SortIxInto(Ref[i], {Keys[i], e});
    }
  }
  for (int i = 1; i < 5; ++i) {
    const std::vector<uint8_t> File = ReadAll(Dir + "/lazy.qebgi" + std::to_string(i));
    ASSERT_EQ(File.size(), Ref[i].size() * 8);
    EXPECT_EQ(std::memcmp(File.data(), Ref[i].data(), File.size()), 0) << "index " << i;
  }
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(ReadAll(Dir + "/eager.qebgi" + std::to_string(i)),
              ReadAll(Dir + "/lazy300.qebgi" + std::to_string(i)));
  const std::vector<uint8_t> Before = ReadAll(Dir + "/lazy.qebgi3");
  Db.RecalcIndexes();
  EXPECT_EQ(ReadAll(Dir + "/lazy.qebgi3"), Before);
}

TEST(GeoDBIndex, FindItemsInBoxEqualsAScan) {
  const std::string B = FreshDir() + "/db";
  TGeoDB Db(nullptr);
  Db.SetGDBName(B);
  Db.SetLazyWrite(true);
  std::mt19937 R(11);
  auto U = [&](double Lo, double Hi) {
    return static_cast<float>(Lo + (Hi - Lo) * (R() / 4294967296.0));
  };
  auto AddRandom = [&](int Count) {
    for (int i = 0; i < Count; ++i) {
      const float Lat = U(-80, 80), Long = U(-180, 170);
      if (R() % 4 == 0)
        Db.AddRoad("R", {{Lat, Long}, {Lat + U(0, 3), Long + U(0, 8)}}, kDate, 0, 0, 0, 0, 0, 0, 0,
                   0);
      else
        Db.AddTown("T", kDate, 0, {Lat, Long}, 0, 0, 0);
    }
  };
  auto Scan = [&](double A, double Bv, double C, double D, TgdbItemSet K) {
    std::vector<int32_t> Out;
    for (int32_t E = 1; E <= Db.GetNumEntries(); ++E) {
      const TgdbData X = Db.GetSumdata(E);
      if (X.LatLow <= X.LatHigh && X.LongLow <= X.LongHigh && X.LatLow <= Bv && X.LatHigh >= A &&
          X.LongLow <= D && X.LongHigh >= C && (K & gdbKind(X.ItemKind)))
        Out.push_back(E);
    }
    return Out;
  };
  auto Check = [&] {
    for (int q = 0; q < 60; ++q) {
      const double A = U(-90, 80), C = U(-180, 170);
      const double Bv = A + U(0, q % 2 ? 60 : 10), D = C + U(0, q % 2 ? 120 : 20);
      const TgdbItemSet K = q % 3 == 0 ? gdbKind(gitRoad) : gdbAllKinds;
      ASSERT_EQ(Db.FindItemsInBox(A, Bv, C, D, K), Scan(A, Bv, C, D, K)) << q;
    }
  };
  AddRandom(3000);
  Check();
  AddRandom(200); // scanned beside the tree
  Check();
  Db.DeleteData(5);
  Db.ReplaceTown(7, "X", kDate, 0, {1, 1}, 0, 0, 0);
  Check();

  // A town stored at 47.1f is found by a window starting at 47.1, and items without points
  // never; bad windows give nothing.
  const int32_t T = Db.AddTown("Edge", kDate, 0, {47.1f, 8.3f}, 0, 0, 0);
  const int32_t E = Db.AddCity("Empty", {}, false, kDate, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(Db.FindItemsInBox(47.1, 47.2, 8.3, 8.3, gdbKind(gitTown)), std::vector<int32_t>{T});
  EXPECT_EQ(Db.FindItemsInBox(-90, 90, -180, 180, gdbKind(gitCity)), std::vector<int32_t>{});
  EXPECT_GT(E, 0);
  EXPECT_TRUE(Db.FindItemsInBox(NAN, 1, 0, 1).empty());
  EXPECT_TRUE(Db.FindItemsInBox(5, 1, 0, 1).empty());
  EXPECT_EQ(Db.FindItemsInBox(-1e300, 1e300, -INFINITY, INFINITY),
            Scan(-1e300, 1e300, -INFINITY, INFINITY, gdbAllKinds));
}

} // namespace
} // namespace qeb
