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

#include "qebgeolib/geodb/detail/fileset.h"
#include "qebgeolib/geodb/geodb.h"
#include "tests/geodb/testutil.h"

namespace qeb {
namespace {

using namespace qeb::test;
namespace fs = std::filesystem;

constexpr TDateTime kDate = 44927.75;

// The commit step a forked child stops at.
int32_t StopAt = -1;

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

// A file set of Count items of AddItem, closed.
void MakeItems(const std::string& B, int32_t Count) {
  TGeoDB Db(nullptr);
  Db.SetGDBName(B);
  for (int32_t S = 1; S <= Count; ++S)
    AddItem(Db, S);
}

std::vector<std::vector<uint8_t>> IndexFiles(const std::string& B) {
  std::vector<std::vector<uint8_t>> R;
  for (int i = 0; i < 5; ++i)
    R.push_back(ReadAll(B + ".qebgi" + std::to_string(i)));
  return R;
}

TEST(GeoDBRobust, OpeningRefusesASummaryThatLostWhatTheIndexesName) {
  const std::string Dir = FreshDir(), B = Dir + "/db", Other = Dir + "/other";
  MakeItems(B, 6);
  {
    // Six entries again, but item 1 deleted: identifiers 2 to 7.
    TGeoDB Db(nullptr);
    Db.SetGDBName(Other);
    for (int32_t S = 1; S <= 7; ++S)
      AddItem(Db, S);
    Db.DeleteData(1);
  }
  const std::vector<uint8_t> Sum = ReadAll(B + ".qebgds");
  const auto Indexes = IndexFiles(B);
  const std::string Remedy = "; remove the index files to rebuild them from the summary.";
  const struct {
    std::vector<uint8_t> Summary;
    std::string Message;
  } Cases[] = {
      {{},
       "the index file \"" + B +
           ".qebgi0\" holds 6 entries, more than the 0 of the summary "
           "file \"" +
           B + ".qebgds\"" + Remedy},
      {std::vector<uint8_t>(Sum.begin(), Sum.end() - 240),
       "the index file \"" + B +
           ".qebgi0\" holds 6 entries, more than the 4 of the summary "
           "file \"" +
           B + ".qebgds\"" + Remedy},
      {ReadAll(Other + ".qebgds"), "the index file \"" + B +
                                       ".qebgi0\" names the item "
                                       "identifier 1, which the summary file \"" +
                                       B + ".qebgds\" does not hold" + Remedy},
  };
  TGeoDB Db(nullptr);
  Db.SetName("R");
  for (const auto& C : Cases) {
    WriteAll(B + ".qebgds", C.Summary);
    EXPECT_EQ(MessageOf([&] { Db.SetGDBName(B); }), "Component \"R\": SetGDBName: " + C.Message);
    EXPECT_EQ(Db.GetGDBName(), "");
    EXPECT_EQ(IndexFiles(B), Indexes);
  }
  // Without the index files the summary is all there is: they are rebuilt from it.
  for (int i = 0; i < 5; ++i)
    fs::remove(B + ".qebgi" + std::to_string(i));
  WriteAll(B + ".qebgds", Sum);
  Db.SetGDBName(B);
  EXPECT_FALSE(Db.GetIndexRebuildPending());
  EXPECT_EQ(IndexFiles(B), Indexes);
}

TEST(GeoDBRobust, DisagreeingIndexesAreRebuiltInMemoryUntilTheNextChange) {
  const std::string B = FreshDir() + "/db";
  MakeItems(B, 40);
  const auto Good = IndexFiles(B);
  auto Damage = [&](int i, auto Change) {
    std::vector<uint8_t> Ix = Good[static_cast<std::size_t>(i)];
    Change(Ix);
    WriteAll(B + ".qebgi" + std::to_string(i), Ix);
  };
  const int32_t Outside = 40, Twice = 3;
  auto DamageAll = [&] {
    Damage(0, [&](auto& Ix) { std::memcpy(&Ix[8 * 5 + 4], &Twice, 4); });   // an entry twice
    Damage(1, [](auto& Ix) { Ix.resize(Ix.size() - 3); });                  // not whole records
    Damage(2, [&](auto& Ix) { std::memcpy(&Ix[8 * 7 + 4], &Outside, 4); }); // outside the summary
    Damage(3, [](auto& Ix) { std::swap_ranges(Ix.begin(), Ix.begin() + 8, Ix.end() - 8); });
    Damage(4, [](auto& Ix) { Ix.resize(Ix.size() - 8 * 5); }); // an interrupted index write
  };
  DamageAll();
  const auto Damaged = IndexFiles(B);
  WriteAll(B + ".qebgi0.tmp", {1, 2}); // left by a killed index write
  {
    TGeoDB Db(nullptr);
    Db.SetGDBName(B);
    EXPECT_TRUE(Db.GetIndexRebuildPending());
    EXPECT_FALSE(fs::exists(B + ".qebgi0.tmp"));
    ExpectConsistent(Db);
    Db.SetLazyWrite(true);
    Db.SetLazyWrite(false);
  }
  // Reading, switching LazyWrite and closing wrote nothing.
  EXPECT_EQ(IndexFiles(B), Damaged);

  // A change writes the rebuilt files: at once, or with LazyWrite on closing.
  for (const bool Lazy : {false, true}) {
    DamageAll();
    {
      TGeoDB Db(nullptr);
      Db.SetGDBName(B);
      Db.SetLazyWrite(Lazy);
      Db.SetRevision(Db.GetRevision() + 1);
      EXPECT_TRUE(Db.GetIndexRebuildPending());
      AddItem(Db, Db.GetNumEntries() + 1);
      EXPECT_EQ(Db.GetIndexRebuildPending(), Lazy) << Lazy;
    }
    TGeoDB Db(nullptr);
    Db.SetGDBName(B);
    EXPECT_FALSE(Db.GetIndexRebuildPending()) << Lazy;
    ExpectConsistent(Db);
    Db.DeleteData(Db.GetNumEntries());
  }
  EXPECT_EQ(IndexFiles(B), Good);
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

TEST(GeoDBRobust, CollectionRefusesInconsistentRecordsAndTouchesNothing) {
  const std::string Dir = FreshDir(), B = Dir + "/db";
  MakeItems(B, 6); // 1 river, 2 BLOB, 3 town, 4 river, 5 BLOB, 6 town
  MakeItems(Dir + "/other", 8);
  const std::vector<uint8_t> Sum = ReadAll(B + ".qebgds"), Data = ReadAll(B + ".qebgdd");
  auto Field = [&](int32_t Entry, std::size_t Offset) {
    int32_t V = 0;
    std::memcpy(&V, &Sum[static_cast<std::size_t>(Entry - 1) * 120 + Offset], 4);
    return V;
  };
  const struct {
    int32_t Entry;
    std::size_t Offset;
    int32_t Value;
    std::string Message;
  } Cases[] = {
      {3, 108, 9, "entry 3 has the unknown item kind 9"},
      {1, 76, -5, "entry 1 has the negative data offset -5"},
      {4, 76, 8, "entry 4 has its data inside the 260-byte header (offset 8)"},
      {2, 112, -3, "entry 2 has the negative size -3"},
      {4, 112, -1, "entry 4 has the negative point count -1"},
      {4, 76, Field(1, 76) + 8, "entry 4 shares bytes with entry 1"},
      {5, 0, 2, "entry 5 has the item identifier 2 of entry 2"},
      {6, 0, 99,
       "entry 6 has the item identifier 99, above the highest identifier 6 of the data "
       "file: the summary file belongs to another database"},
      // A summary of another file set, whose first six entries look like these.
      {0, 0, 0,
       "entry 7 has the item identifier 7, above the highest identifier 6 of the data "
       "file: the summary file belongs to another database"},
  };
  for (const auto& C : Cases) {
    std::vector<uint8_t> Bad = C.Entry > 0 ? Sum : ReadAll(Dir + "/other.qebgds");
    if (C.Entry > 0)
      std::memcpy(&Bad[static_cast<std::size_t>(C.Entry - 1) * 120 + C.Offset], &C.Value, 4);
    if (C.Offset == 108) Bad[static_cast<std::size_t>(C.Entry - 1) * 120 + 108] = 9;
    WriteAll(B + ".qebgds", Bad);
    for (int i = 0; i < 5; ++i) // rebuilt from the summary as it is, whatever it names
      fs::remove(B + ".qebgi" + std::to_string(i));
    TGeoDB Db(nullptr);
    Db.SetName("G");
    Db.SetGDBName(B);
    EXPECT_EQ(MessageOf([&] { Db.GarbageCollection(); }),
              "Component \"G\": GarbageCollection: " + C.Message + ".");
    EXPECT_EQ(ReadAll(B + ".qebgds"), Bad) << C.Message;
    EXPECT_EQ(ReadAll(B + ".qebgdd"), Data) << C.Message;
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 14);
    // Listing never reads the header as points.
    if (C.Value == 8) {
      TgdbPolygon P;
      EXPECT_FALSE(Db.RetrievePolygon(4, P));
    }
  }
}

// The collection's commit is stopped before each of its steps, as by a crash; the next opening
// finds every item intact, whether the collection took effect or not, and no file left over.
TEST(GeoDBRobust, CollectionInterruptedAtEveryStepLosesNothing) {
  for (int32_t Step = 0; Step < detail::kGdbCommitSteps; ++Step) {
    const std::string Dir = FreshDir() + "/" + std::to_string(Step), B = Dir + "/db";
    fs::create_directories(Dir);
    MakeItems(B, 12);
    {
      TGeoDB Db(nullptr);
      Db.SetGDBName(B);
      for (int32_t E = 1; E <= 12; E += 3) // the same points again: the old ones become garbage
        Db.ReplaceRiver(E, "item" + std::to_string(E), PointsOf(E), kDate, E, 0, 0, 0, 0, 0, 0, E);
    }
    const int64_t Before = FileSize(B + ".qebgdd");
    const pid_t Child = fork();
    ASSERT_GE(Child, 0);
    if (Child == 0) {
      StopAt = Step;
      detail::GdbCommitProbe = [](int32_t At) {
        if (At == StopAt) _exit(0);
      };
      TGeoDB Db(nullptr);
      Db.SetGDBName(B);
      Db.GarbageCollection();
      _exit(1);
    }
    int Status = 0;
    waitpid(Child, &Status, 0);
    ASSERT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0) << "step " << Step;
    TGeoDB Db(nullptr);
    Db.SetGDBName(B);
    ExpectConsistent(Db);
    EXPECT_EQ(Db.GetNumEntries(), 12);
    // The marker, made after step 2, commits the collection.
    EXPECT_EQ(FileSize(B + ".qebgdd") < Before, Step > 2) << "step " << Step;
    Db.SetGDBName("");
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 7) << Step;
  }
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
