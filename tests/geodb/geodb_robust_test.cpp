// TGeoDB against damage: validation and repair on opening, damaged items, processes killed in the
// middle of a bulk load, and file sets exchanged between the 32-bit and the 64-bit build.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <thread>

#include "qebgeolib/geodb/geodb.h"
#include "tests/geodb/testutil.h"

namespace qeb {
namespace {

using namespace qeb::test;
namespace fs = std::filesystem;

constexpr TDateTime kDate = 44927.75;

// Deterministic content of the item added as the S-th entry.
TgdbPolygon PointsOf(int32_t S) {
  TgdbPolygon P;
  for (int32_t k = 0; k <= S % 7; ++k)
    P.push_back({static_cast<float>((S * 7 + k) % 160) - 80, static_cast<float>(S % 300 - 150)});
  return P;
}
std::vector<uint8_t> BytesOf(int32_t S) {
  std::vector<uint8_t> B(static_cast<std::size_t>(S % 300));
  for (std::size_t i = 0; i < B.size(); ++i)
    B[i] = static_cast<uint8_t>(S + i * 31);
  return B;
}
void AddItem(TGeoDB& Db, int32_t S) {
  const std::string Name = "item" + std::to_string(S);
  if (S % 3 == 0) {
    Db.AddTown(Name, kDate, S, {static_cast<float>(S % 50), static_cast<float>(S % 70)}, 0, 0, S);
  } else if (S % 3 == 1) {
    Db.AddRiver(Name, PointsOf(S), kDate, S, 0, 0, 0, 0, 0, 0, S);
  } else {
    const std::vector<uint8_t> B = BytesOf(S);
    Db.AddBLOB(Name, kDate, S, 1, 2, 3, 4, 0, 0, S, TMetaInfo{}, B.data(),
               static_cast<int32_t>(B.size()));
  }
}

// Every entry is the item of its number with its data intact, and the indexes agree with the
// summary.
void ExpectConsistent(TGeoDB& Db) {
  const int32_t N = Db.GetNumEntries();
  int32_t LastId = 0;
  for (int32_t E = 1; E <= N; ++E) {
    const TgdbData D = Db.GetSumdata(E);
    ASSERT_EQ(D.Name.ToString(), "item" + std::to_string(E));
    ASSERT_EQ(D.Tag, E);
    ASSERT_GT(D.ItemId, LastId);
    LastId = D.ItemId;
    ASSERT_EQ(Db.SearchForItemID(D.ItemId), E);
    if (E % 3 == 1) {
      TgdbPolygon P;
      ASSERT_TRUE(Db.RetrievePolygon(E, P)) << E;
      const TgdbPolygon Want = PointsOf(E);
      ASSERT_EQ(P.size(), Want.size());
      ASSERT_EQ(std::memcmp(P.data(), Want.data(), P.size() * 8), 0) << E;
    } else if (E % 3 == 2) {
      TMemoryStream S;
      TMetaInfo M;
      ASSERT_TRUE(Db.RetrieveBLOB(E, M, S)) << E;
      const std::vector<uint8_t> Want = BytesOf(E);
      ASSERT_EQ(std::vector<uint8_t>(S.Memory(), S.Memory() + S.GetSize()), Want) << E;
    }
  }
  ASSERT_LE(LastId, Db.GetSystemData().HighestID);
  for (int32_t ix = 1; ix <= N; ++ix) {
    const TIxLLRec R = Db.GetIxLongHigh(ix);
    ASSERT_EQ(R.LLValue, Db.GetSumdata(R.index).LongHigh);
    if (ix > 1) {
      ASSERT_LE(Db.GetIxLongHigh(ix - 1).LLValue, R.LLValue);
    }
  }
}

TEST(GeoDBRobust, OpeningRefusesADamagedSummaryOrHeader) {
  const std::string B = FreshDir() + "/db";
  {
    TGeoDB Db(nullptr);
    Db.SetGDBName(B);
    for (int32_t S = 1; S <= 6; ++S)
      AddItem(Db, S);
  }
  const std::vector<uint8_t> Sum = ReadAll(B + ".qebgds"), Data = ReadAll(B + ".qebgdd");
  TGeoDB Db(nullptr);
  Db.SetName("D");
  auto Opening = [&] { return MessageOf([&] { Db.SetGDBName(B + ".x"); }); };

  std::vector<uint8_t> Bad = Sum;
  Bad.push_back(0);
  WriteAll(B + ".qebgds", Bad);
  EXPECT_EQ(Opening(), "Component \"D\": SetGDBName: the summary file \"" + B +
                           ".qebgds\" is not a whole number of 120-byte records.");
  EXPECT_EQ(Db.GetGDBName(), "");
  EXPECT_EQ(Db.GetNumEntries(), 0);
  EXPECT_EQ(Db.AddTown("x", kDate, 0, {1, 1}, 0, 0, 0), -1);

  Bad = Sum;
  const float NaN = NAN;
  std::memcpy(&Bad[120 * 4 + 100], &NaN, 4);
  WriteAll(B + ".qebgds", Bad);
  EXPECT_EQ(Opening(), "Component \"D\": SetGDBName: entry 5 of the summary file \"" + B +
                           ".qebgds\" has invalid bounds.");
  WriteAll(B + ".qebgds", Sum);

  WriteAll(B + ".qebgdd", std::vector<uint8_t>(Data.begin(), Data.begin() + 259));
  EXPECT_EQ(Opening(), "Component \"D\": SetGDBName: the data file \"" + B +
                           ".qebgdd\" is shorter than its 260-byte header.");
  EXPECT_THROW(ReadSystemInformation(B + ".qebgdd"), EQEBGeoDBError);
  EXPECT_THROW(ReadSystemInformation(B + ".none"), EInOutError);

  // A failed opening creates nothing.
  const std::string Other = B + "_other";
  WriteAll(Other + ".qebgds", std::vector<uint8_t>(7));
  EXPECT_THROW(Db.SetGDBName(Other), EQEBGeoDBError);
  EXPECT_FALSE(fs::exists(Other + ".qebgi0") || fs::exists(Other + ".qebgdd"));

  // The header's HighestID never falls behind the identifiers in use.
  std::vector<uint8_t> Header = Data;
  std::memset(Header.data(), 0, 4);
  WriteAll(B + ".qebgdd", Header);
  Db.SetGDBName(B);
  EXPECT_EQ(Db.AddTown("next", kDate, 0, {1, 1}, 0, 0, 0), 7);
  EXPECT_EQ(Db.GetSumdata(7).ItemId, 7);
}

TEST(GeoDBRobust, DamagedIndexFilesAreRebuilt) {
  const std::string B = FreshDir() + "/db";
  {
    TGeoDB Db(nullptr);
    Db.SetGDBName(B);
    for (int32_t S = 1; S <= 40; ++S)
      AddItem(Db, S);
  }
  std::vector<uint8_t> Good[5];
  for (int i = 0; i < 5; ++i)
    Good[i] = ReadAll(B + ".qebgi" + std::to_string(i));
  auto Damage = [&](int i, auto Change) {
    std::vector<uint8_t> Ix = Good[i];
    Change(Ix);
    WriteAll(B + ".qebgi" + std::to_string(i), Ix);
  };
  const int32_t Outside = 40, Twice = 3;
  Damage(0, [&](auto& Ix) { std::memcpy(&Ix[8 * 5 + 4], &Twice, 4); });   // an entry twice
  Damage(1, [](auto& Ix) { Ix.resize(Ix.size() - 3); });                  // not whole records
  Damage(2, [&](auto& Ix) { std::memcpy(&Ix[8 * 7 + 4], &Outside, 4); }); // outside the summary
  Damage(3, [](auto& Ix) { std::swap_ranges(Ix.begin(), Ix.begin() + 8, Ix.end() - 8); });
  fs::remove(B + ".qebgi4");
  WriteAll(B + ".qebgi0.tmp", {1, 2}); // left by a killed index write
  TGeoDB Db(nullptr);
  Db.SetGDBName(B);
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(ReadAll(B + ".qebgi" + std::to_string(i)), Good[i]) << i;
  EXPECT_FALSE(fs::exists(B + ".qebgi0.tmp"));
  ExpectConsistent(Db);

  // Fewer index entries than summary entries (a crash before the index write): rebuilt too.
  Db.SetGDBName("");
  Damage(2, [](auto& Ix) { Ix.resize(Ix.size() - 8); });
  Db.SetGDBName(B);
  EXPECT_EQ(ReadAll(B + ".qebgi2"), Good[2]);
}

TEST(GeoDBRobust, DamagedItemsGiveFalse) {
  const std::string B = FreshDir() + "/db";
  {
    TGeoDB Db(nullptr);
    Db.SetGDBName(B);
    for (int32_t S = 1; S <= 6; ++S)
      AddItem(Db, S);
  }
  std::vector<uint8_t> Sum = ReadAll(B + ".qebgds");
  const int64_t DataSize = FileSize(B + ".qebgdd");
  auto Set = [&](int32_t Entry, std::size_t Offset, int32_t Value) {
    std::memcpy(&Sum[static_cast<std::size_t>(Entry - 1) * 120 + Offset], &Value, 4);
  };
  Set(1, 112, 0x7FFFFFFF);                        // river: hostile point count
  Set(2, 112, 0x7FFFFF00);                        // BLOB: hostile size
  Set(4, 76, static_cast<int32_t>(DataSize - 4)); // river: points past the end
  Set(5, 76, -7);                                 // BLOB without data
  Set(3, 112, 0x7FFFFFFF);                        // town: hostile count
  Sum[5 * 120 + 116] = 0xC3;                      // not a bool
  WriteAll(B + ".qebgds", Sum);
  TGeoDB Db(nullptr);
  Db.SetName("X");
  Db.SetGDBName(B);
  TgdbPolygon P = {{1, 2}};
  EXPECT_FALSE(Db.RetrievePolygon(1, P));
  EXPECT_FALSE(Db.RetrievePolygon(4, P));
  EXPECT_EQ(P.size(), 1u);
  TMetaInfo M;
  TMemoryStream S;
  S.WriteBuffer("keep", 4);
  uint8_t Buf[16];
  EXPECT_FALSE(Db.RetrieveBLOB(2, M, S));
  EXPECT_FALSE(Db.RetrieveBLOB(2, M, Buf, 16));
  EXPECT_FALSE(Db.RetrieveBLOB(2, B + ".out", M));
  EXPECT_FALSE(Db.RetrieveBLOB(5, M, S));
  EXPECT_FALSE(Db.GetMetaInfo(5, M));
  EXPECT_FALSE(Db.UpdateMetaInfo(5, M));
  EXPECT_FALSE(Db.RetrieveBLOB(3, M, S)); // a town whose count no file can hold
  EXPECT_EQ(S.GetSize(), 4);
  EXPECT_TRUE(Db.GetSumdata(6).Closed);
  EXPECT_EQ(MessageOf([&] { Db.GarbageCollection(); }),
            "Component \"X\": GarbageCollection: entry 1 refers to bytes outside the data file.");
  EXPECT_EQ(FileSize(B + ".qebgdd"), DataSize);
  EXPECT_FALSE(fs::exists(B + ".qebgdd.gc"));
}

// Child processes load items and are killed at random moments; after each kill the database
// opens consistent and holds every item whose adding had returned (and at most the one in
// progress, if its summary record was complete).
TEST(GeoDBRobust, KilledBulkLoadsLeaveAConsistentDatabase) {
  const std::string B = FreshDir() + "/db";
  std::mt19937 R(2024);
  constexpr int32_t kCap = 2500; // beyond this the child only replaces and collects garbage
  int32_t Confirmed = 0;
  for (int Round = 0; Round < 24; ++Round) {
    int Pipe[2];
    ASSERT_EQ(pipe(Pipe), 0);
    const bool Lazy = Round % 2 == 1;
    const pid_t Child = fork();
    ASSERT_GE(Child, 0);
    if (Child == 0) {
      close(Pipe[0]);
      int32_t Status = -1;
      try {
        TGeoDB Db(nullptr);
        Db.SetGDBName(B);
        Db.SetLazyWrite(Lazy);
        const auto Stop = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        for (int32_t S = Db.GetNumEntries() + 1; std::chrono::steady_clock::now() < Stop; ++S) {
          if (S <= kCap) {
            AddItem(Db, S);
            if (write(Pipe[1], &S, 4) != 4) break;
          } else {
            // Same content again: the old bytes become garbage.
            const int32_t E = 1 + 3 * (S % (kCap / 3));
            Db.ReplaceRiver(E, "item" + std::to_string(E), PointsOf(E), kDate, E, 0, 0, 0, 0, 0, 0,
                            E);
          }
          if (S % 97 == 0) Db.GarbageCollection();
        }
      } catch (const std::exception&) {
        if (write(Pipe[1], &Status, 4) != 4) _exit(2);
      }
      _exit(1);
    }
    close(Pipe[1]);
    std::this_thread::sleep_for(std::chrono::microseconds(2000 + R() % 25000));
    kill(Child, SIGKILL);
    int WaitStatus = 0;
    waitpid(Child, &WaitStatus, 0);
    int32_t V = 0;
    while (read(Pipe[0], &V, 4) == 4) {
      ASSERT_NE(V, -1) << "the child failed in round " << Round;
      Confirmed = V;
    }
    close(Pipe[0]);
    ASSERT_TRUE(WIFSIGNALED(WaitStatus)) << "round " << Round;

    TGeoDB Db(nullptr);
    Db.SetGDBName(B);
    ASSERT_GE(Db.GetNumEntries(), Confirmed) << "round " << Round;
    ASSERT_LE(Db.GetNumEntries(), Confirmed + 1) << "round " << Round;
    Confirmed = Db.GetNumEntries();
    ExpectConsistent(Db);
    if (HasFatalFailure()) return;
  }
  EXPECT_GT(Confirmed, 100);
}

// A canonical file set, written the same way by every build: the files are identical byte for
// byte, whatever the word size.
void WriteCanonical(const std::string& B) {
  TGeoDB Db(nullptr);
  Db.SetGDBName(B);
  Db.SetDescription("cross-build check \xC3\xA9");
  Db.SetRevision(12);
  Db.SetLazyWrite(true);
  for (int32_t S = 1; S <= 60; ++S)
    AddItem(Db, S);
  Db.AddCity("Wien", Square(48.1f, 16.2f, 0.3f), true, kDate, 1, 0, 0, 0, 0, 170, 4, 61);
  Db.ReplaceTown(3, "item3", kDate, 3, {-33.9f, 151.2f}, 58, 0, 3);
  Db.DeleteData(61);
  AddItem(Db, 61);
  TMetaInfo M;
  M.Descriptor = TShortString<255>::FromString("descriptor");
  Db.UpdateMetaInfo(2, M);
  Db.SetLazyWrite(false);
}

// Scratch is a base name for a modified copy.
void VerifyCanonical(const std::string& B, const std::string& Scratch) {
  TGeoDB Db(nullptr);
  Db.SetGDBName(B);
  EXPECT_EQ(Db.GetDescription(), "cross-build check \xC3\xA9");
  EXPECT_EQ(Db.GetRevision(), 12);
  EXPECT_EQ(Db.GetSystemData().HighestID, 62);
  EXPECT_EQ(Db.GetNumEntries(), 61);
  EXPECT_EQ(Db.GetSumdata(3).LatLow, -33.9f);
  EXPECT_EQ(Db.GetSumdata(3).Altitude, 58);
  EXPECT_EQ(Db.GetSumdata(61).ItemId, 62);
  TMetaInfo M;
  ASSERT_TRUE(Db.GetMetaInfo(2, M));
  EXPECT_EQ(M.Descriptor.ToString(), "descriptor");
  EXPECT_EQ(Db.FindItemsInBox(-34, -33, 151, 152), std::vector<int32_t>{3});
  Db.SetGDBName("");
  // Apart from entry 3, the content is that of AddItem.
  for (const char* Ext : {".qebgds", ".qebgdd", ".qebgi0"})
    fs::copy_file(B + Ext, Scratch + Ext);
  Db.SetGDBName(Scratch);
  Db.ReplaceTown(3, "item3", kDate, 3, {3, 3}, 0, 0, 3);
  ExpectConsistent(Db);
}

TEST(GeoDBCrossBuild, CanonicalFileSetRoundTrip) {
  const std::string Dir = FreshDir();
  WriteCanonical(Dir + "/a");
  VerifyCanonical(Dir + "/a", Dir + "/copy");
}

// scripts/test.sh runs these with the folders of the other build's file set.
TEST(GeoDBCrossBuild, WriteFileSet) {
  const char* Dir = std::getenv("QEB_GEODB_CROSS_WRITE");
  if (Dir == nullptr) GTEST_SKIP() << "QEB_GEODB_CROSS_WRITE names the folder to write to";
  fs::create_directories(Dir);
  WriteCanonical(std::string(Dir) + "/canonical");
}

TEST(GeoDBCrossBuild, ReadFileSet) {
  const char* Dir = std::getenv("QEB_GEODB_CROSS_READ");
  if (Dir == nullptr) GTEST_SKIP() << "QEB_GEODB_CROSS_READ names the folder to read from";
  const std::string Scratch = FreshDir();
  const std::string Theirs = std::string(Dir) + "/canonical", Ours = Scratch + "/canonical";
  WriteCanonical(Ours);
  for (const char* Ext :
       {".qebgi0", ".qebgi1", ".qebgi2", ".qebgi3", ".qebgi4", ".qebgds", ".qebgdd"})
    EXPECT_EQ(ReadAll(Theirs + Ext), ReadAll(Ours + Ext))
        << Ext << " differs, word size " << sizeof(void*) * 8;
  VerifyCanonical(Theirs, Scratch + "/copy");
}

} // namespace
} // namespace qeb
