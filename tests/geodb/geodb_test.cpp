// TGeoDB: the file set, the header, adding, replacing, deleting and reading items back.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "qebgeolib/geodb/geodb.h"
#include "tests/geodb/testutil.h"

namespace qeb {
namespace {

using namespace qeb::test;
namespace fs = std::filesystem;

constexpr TDateTime kDate = 45000.5;

TEST(GeoDBFiles, CreatingOpeningAndHeader) {
  const std::string Dir = FreshDir(), B = Dir + "/world";
  TGeoDB Db(nullptr);
  Db.SetName("Atlas");
  Db.SetRevision(5); // nothing open: not kept
  EXPECT_EQ(Db.GetRevision(), 0);
  Db.SetGDBName(B + ".dat");
  EXPECT_EQ(Db.GetGDBName(), B);
  EXPECT_EQ(Db.GetNumEntries(), 0);
  for (const char* Ext : {".qebgi0", ".qebgi1", ".qebgi2", ".qebgi3", ".qebgi4", ".qebgds"})
    EXPECT_EQ(FileSize(B + Ext), 0) << Ext;
  std::vector<uint8_t> H = ReadAll(B + ".qebgdd");
  ASSERT_EQ(H.size(), 260u);
  EXPECT_EQ(H[4], 4); // DBVersion
  for (std::size_t i : {0u, 8u, 72u, 100u, 259u})
    EXPECT_EQ(H[i], 0) << i;

  // An empty database answers with cleared records and the empty search results.
  EXPECT_EQ(Db.GetSumdata(1).ItemKind, gitUndefined);
  EXPECT_EQ(Db.GetSumdata(1).BlobOffset, -1);
  EXPECT_EQ(Db.GetIxLatLow(1).index, 0);
  EXPECT_EQ(Db.GetClosestLatLowIx(3), 1);
  EXPECT_EQ(Db.GetClosestItemIDIx(3), 1);
  EXPECT_EQ(Db.SearchForItemID(1), 0);

  Db.SetDescription(std::string(70, 'x') + "\xC3\xA4");
  EXPECT_EQ(Db.GetDescription(), std::string(60, 'x'));
  Db.SetRevision(7);
  H = ReadAll(B + ".qebgdd");
  EXPECT_EQ(H[8], 60);
  EXPECT_EQ(H[72], 7);
  Db.SetDescription("Bergen \xC3\xA5"); // UTF-8 at the API, 1252 in the file
  EXPECT_EQ(ReadAll(B + ".qebgdd")[8 + 8], 0xE5);

  // Closing resets the header; reopening reads it back.
  Db.SetLazyWrite(true);
  Db.SetGDBName("");
  EXPECT_FALSE(Db.GetLazyWrite());
  EXPECT_EQ(Db.GetRevision(), 0);
  EXPECT_EQ(Db.GetGDBName(), "");
  Db.SetGDBName(B);
  EXPECT_EQ(Db.GetRevision(), 7);
  EXPECT_EQ(Db.GetDescription(), "Bergen \xC3\xA5");
  EXPECT_EQ(ReadSystemInformation(B + ".qebgdd").Revision, 7);

  // A header write that fails names the component and the operation.
  Db.SetGDBName("");
  Db.SetGDBName(B);
  fs::remove(B + ".qebgdd");
  fs::create_directory(B + ".qebgdd");
  EXPECT_EQ(MessageOf([&] { Db.SetDescription("x"); }),
            "Component \"Atlas\": SetDescription: cannot open database.");
  EXPECT_EQ(MessageOf([&] { Db.SetRevision(1); }),
            "Component \"Atlas\": SetRevision: cannot open database.");
  EXPECT_EQ(MessageOf([&] {
              Db.AddTown("T", kDate, 0, {1, 2}, 0, 0, 0);
            }),
            "Component \"Atlas\": AddData: cannot open database.");
}

TEST(GeoDBItems, AddingStoresRecords) {
  const std::string B = FreshDir() + "/db";
  TGeoDB Db(nullptr);
  EXPECT_EQ(Db.AddTown("T", kDate, 0, {1, 2}, 0, 0, 0), -1); // nothing open
  Db.SetGDBName(B);
  EXPECT_EQ(Db.AddTown("Graz", kDate, 3, {47.07f, 15.44f}, 353, 9, 77), 1);
  EXPECT_EQ(Db.AddTown(std::string(70, 'n'), kDate, 0, {1, 2}, 0, 0, 0), 2);
  EXPECT_EQ(ReadSystemInformation(B + ".qebgdd").HighestID, 2);

  const TgdbData T = Db.GetSumdata(1);
  EXPECT_EQ(T.ItemId, 1);
  EXPECT_EQ(T.Name.ToString(), "Graz");
  EXPECT_EQ(std::string(T.Name.Chars + 4, 55), std::string(55, ' '));
  EXPECT_EQ(T.ItemKind, gitTown);
  EXPECT_EQ(T.BlobOffset, -1);
  EXPECT_EQ(T.LatLow, 47.07f);
  EXPECT_EQ(T.LatHigh, 47.07f);
  EXPECT_EQ(T.LongHigh, 15.44f);
  EXPECT_EQ(T.Altitude, 353.0f);
  EXPECT_EQ(T.ClassFlag, 9);
  EXPECT_EQ(T.Tag, 77);
  EXPECT_EQ(T.StateFlag, 3);
  EXPECT_EQ(T.Date, kDate);
  EXPECT_EQ(ExtractLocation(T).Longit, 15.44f);
  EXPECT_EQ(Db.GetSumdata(2).Name.Length(), 59u);
  EXPECT_EQ(std::memcmp(ReadAll(B + ".qebgds").data(), &T, 120), 0);

  // Polygon bounds come from the points, whatever was passed.
  const int64_t DataSize = FileSize(B + ".qebgdd");
  EXPECT_EQ(Db.AddBorder("B", {{10, 20}, {12, 18}, {11, 25}}, true, kDate, 0, 0, 0, 0, 0, 0, 0, 0),
            3);
  TgdbData D = Db.GetSumdata(3);
  EXPECT_EQ(D.LatLow, 10);
  EXPECT_EQ(D.LatHigh, 12);
  EXPECT_EQ(D.LongLow, 18);
  EXPECT_EQ(D.LongHigh, 25);
  EXPECT_EQ(D.BlobOffset, DataSize);
  EXPECT_EQ(D.NumPoints, 3);
  EXPECT_TRUE(D.Closed);
  EXPECT_EQ(FileSize(B + ".qebgdd"), DataSize + 24);
  Db.AddCity("C", {}, true, kDate, 0, 1, 2, 3, 4, 0, 0, 0);
  D = Db.GetSumdata(4);
  EXPECT_TRUE(D.Closed);
  EXPECT_EQ(D.LatLow, 90);
  EXPECT_EQ(D.LatHigh, -90);
  EXPECT_EQ(D.LongLow, 180);
  EXPECT_EQ(D.LongHigh, -180);
  EXPECT_EQ(D.NumPoints, 0);
  EXPECT_EQ(D.BlobOffset, DataSize + 24);
  Db.AddLake("L", Square(1, 1, 1), kDate, 0, 0, 0, 0, 0, 0, 0, 0);
  Db.AddRiver("R", Square(1, 1, 1), kDate, 0, 0, 0, 0, 0, 0, 0, 0);
  Db.AddRoad("Rd", Square(1, 1, 1), kDate, 0, 0, 0, 0, 0, 0, 0, 0);
  Db.AddRoute("Rt", Square(1, 1, 1), kDate, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_TRUE(Db.GetSumdata(5).Closed);
  EXPECT_FALSE(Db.GetSumdata(6).Closed);
  EXPECT_EQ(Db.GetSumdata(8).ItemKind, gitRoute);
  EXPECT_EQ(Db.GetSumdata(0).ItemId, 1);
  EXPECT_EQ(Db.GetSumdata(-3).ItemId, 1);
  EXPECT_EQ(Db.GetSumdata(18).ItemId, 8);

  TgdbPolygon P = {{5, 5}};
  EXPECT_FALSE(Db.RetrievePolygon(1, P)); // a town
  EXPECT_EQ(P.size(), 1u);
  EXPECT_FALSE(Db.RetrievePolygon(9, P));
  EXPECT_TRUE(Db.RetrievePolygon(4, P));
  EXPECT_TRUE(P.empty());
  EXPECT_TRUE(Db.RetrievePolygon(3, P));
  ASSERT_EQ(P.size(), 3u);
  EXPECT_EQ(P[2].Longit, 25);

  EXPECT_EQ(MessageOf([&] {
              Db.AddTown("N", kDate, 0, {NAN, 1}, 0, 0, 0);
            }),
            "Component \"\": AddData: invalid bounds.");
  EXPECT_EQ(Db.GetNumEntries(), 8);
}

TEST(GeoDBItems, ProgressPercentages) {
  const std::string B = FreshDir() + "/db";
  TGeoDB Db(nullptr);
  Db.SetGDBName(B);
  TProgress Pr;
  Pr.Attach(Db);
  Db.AddRiver("R", Square(0, 0, 1), kDate, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(Pr.Seen, (std::vector<int32_t>{0, 0, 25, 50, 75, 100}));

  TgdbPolygon Line(250);
  for (int i = 0; i < 250; ++i)
    Line[static_cast<std::size_t>(i)] = {static_cast<float>(i) / 10, 1};
  Db.AddRoad("Long", Line, kDate, 0, 0, 0, 0, 0, 0, 0, 0);
  Pr.Seen.clear();
  TgdbPolygon P;
  ASSERT_TRUE(Db.RetrievePolygon(2, P));
  std::vector<int32_t> Want = {0};
  for (int i = 3; i <= 249; i += 3)
    Want.push_back(static_cast<int32_t>(std::nearbyint(i * 100.0 / 250)));
  Want.push_back(100);
  EXPECT_EQ(Pr.Seen, Want);
  EXPECT_EQ(P[249].Latit, 24.9f);

  std::vector<uint8_t> Bytes(40000);
  for (std::size_t i = 0; i < Bytes.size(); ++i)
    Bytes[i] = static_cast<uint8_t>(i * 7);
  Pr.Seen.clear();
  const int64_t Before = FileSize(B + ".qebgdd");
  Db.AddBLOB("blob", kDate, 0, 1, 2, 3, 4, 0, 0, 0, TMetaInfo{}, Bytes.data(), 40000);
  EXPECT_EQ(Pr.Seen, (std::vector<int32_t>{0, 41, 82, 100}));
  EXPECT_EQ(FileSize(B + ".qebgdd"), Before + 1024 + 40000);

  Db.SetOnPercDoneEnabled(false);
  Pr.Seen.clear();
  Db.RetrievePolygon(2, P);
  EXPECT_TRUE(Pr.Seen.empty());
}

TEST(GeoDBItems, BlobsInAllForms) {
  const std::string Dir = FreshDir(), B = Dir + "/db";
  TGeoDB Db(nullptr);
  Db.SetName("G");
  Db.SetGDBName(B);
  TMetaInfo M;
  M.Keywords = TShortString<255>::FromString("maps");
  M.Caption = TShortString<127>::FromString("Caption");
  const std::vector<uint8_t> Bytes = {1, 2, 3, 4, 5};
  ASSERT_EQ(Db.AddBLOB("Mem Blob*.txt", kDate, 0, 1, 2, 3, 4, 5, 6, 7, M, Bytes.data(), 5), 1);
  TMemoryStream S;
  S.WriteBuffer("stream!", 7);
  ASSERT_EQ(Db.AddBLOB("S", kDate, 0, 1, 2, 3, 4, 5, 6, 7, M, S), 2);
  ASSERT_EQ(Db.AddBLOB("Empty", kDate, 0, 1, 2, 3, 4, 5, 6, 7, M, nullptr, 0), 3);
  EXPECT_EQ(MessageOf([&] { Db.AddBLOB("x", kDate, 0, 1, 2, 3, 4, 5, 6, 7, M, nullptr, 3); }),
            "Component \"G\": AddData: invalid BLOB data.");

  // To memory: exactly the BLOB's size works, one byte less raises after the meta information.
  uint8_t Out[5] = {};
  TMetaInfo Got;
  EXPECT_TRUE(Db.RetrieveBLOB(1, Got, Out, 5));
  EXPECT_EQ(std::vector<uint8_t>(Out, Out + 5), Bytes);
  EXPECT_EQ(Got.Caption.ToString(), "Caption");
  EXPECT_EQ(MessageOf([&] { Db.RetrieveBLOB(1, Got, Out, 4); }),
            "Component \"G\": RetrieveBLOB: BLOB to be retrieved is larger than SizeOfBlobData.");
  EXPECT_FALSE(Db.RetrieveBLOB(9, Got, Out, 5));

  // To a stream and to files; a folder path gets the reduced item name.
  TMemoryStream T;
  EXPECT_TRUE(Db.RetrieveBLOB(2, Got, T));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(T.Memory()), 7), "stream!");
  EXPECT_TRUE(Db.RetrieveBLOB(1, Dir + "/", Got));
  EXPECT_EQ(ReadAll(Dir + "/MemBlob.txt"), Bytes);
  EXPECT_TRUE(Db.RetrieveBLOB(3, Dir + "/zero.bin", Got));
  EXPECT_EQ(FileSize(Dir + "/zero.bin"), 0);
  const int32_t Town = Db.AddTown("**", kDate, 0, {1, 1}, 0, 0, 0);
  EXPECT_FALSE(Db.RetrieveBLOB(Town, Dir + "/", Got));

  // From a file whose path is longer than 127 characters: read from the full path; only the
  // stored FilePath is cut.
  const std::string Long = Dir + "/" + std::string(140, 'd');
  fs::create_directories(Long);
  const std::string Src = Long + "/source.bin";
  WriteAll(Src, std::vector<uint8_t>(20000, 0xAB));
  const int32_t F = Db.AddBLOB(Src, kDate, 0, 1, 2, 3, 4, 5, 6, 7, M);
  ASSERT_GT(F, 0);
  EXPECT_EQ(Db.GetSumdata(F).Name.ToString(), "source.bin");
  EXPECT_EQ(Db.GetSumdata(F).Size, 20000);
  ASSERT_TRUE(Db.GetMetaInfo(F, Got));
  EXPECT_EQ(Got.FilePath.ToString(), Src.substr(0, 127));
  EXPECT_TRUE(Db.RetrieveBLOB(F, Dir + "/copy.bin", Got));
  EXPECT_EQ(ReadAll(Dir + "/copy.bin"), ReadAll(Src));
  const int32_t G =
      Db.AddBLOB(Src, "other/name.dat", "C:\\orig\\name.dat", kDate, 0, 1, 2, 3, 4, 5, 6, 7, M);
  EXPECT_EQ(Db.GetSumdata(G).Name.ToString(), "name.dat");
  ASSERT_TRUE(Db.GetMetaInfo(G, Got));
  EXPECT_EQ(Got.FilePath.ToString(), "C:\\orig\\name.dat");
  EXPECT_EQ(Got.Keywords.ToString(), "maps");
  const int32_t Count = Db.GetNumEntries();
  EXPECT_THROW(Db.AddBLOB(Dir + "/missing", kDate, 0, 1, 2, 3, 4, 5, 6, 7, M), EInOutError);
  EXPECT_EQ(Db.GetNumEntries(), Count);

  // Meta information is rewritten in place; other kinds have none.
  Got.Comment = TShortString<255>::FromString("checked");
  EXPECT_TRUE(Db.UpdateMetaInfo(1, Got));
  TMetaInfo Again;
  ASSERT_TRUE(Db.GetMetaInfo(1, Again));
  EXPECT_EQ(Again.Comment.ToString(), "checked");
  EXPECT_FALSE(Db.GetMetaInfo(Town, Again));
  EXPECT_FALSE(Db.UpdateMetaInfo(0, Again));

  // The stream form sizes the stream by a non-BLOB entry's count, then answers false.
  Db.AddRiver("R", Square(0, 0, 1), kDate, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_FALSE(Db.RetrieveBLOB(Db.GetNumEntries(), Got, T));
  EXPECT_EQ(T.GetSize(), 4);

  Db.ReplaceBLOB(1, "Replaced", kDate, 0, 1, 2, 3, 4, 5, 6, 7, M, Bytes.data(), 2);
  EXPECT_EQ(Db.GetSumdata(1).ItemId, 1);
  EXPECT_EQ(Db.GetSumdata(1).Size, 2);
}

TEST(GeoDBItems, ReplacingAndDeleting) {
  const std::string B = FreshDir() + "/db";
  TGeoDB Db(nullptr);
  Db.SetGDBName(B);
  Db.AddBorder("A", Square(10, 10, 1), true, kDate, 0, 0, 0, 0, 0, 0, 0, 0);
  Db.AddTown("B", kDate, 0, {20, 20}, 0, 0, 0);
  Db.AddTown("C", kDate, 0, {30, 30}, 0, 0, 0);
  EXPECT_EQ(Db.GetIxLatLow(1).index, 1);

  // Replacing keeps the identifier, appends the new points and moves the entry in the indexes.
  const int64_t Size = FileSize(B + ".qebgdd");
  Db.ReplaceBorder(1, "A2", Square(40, 40, 2), false, kDate, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(Db.GetSumdata(1).ItemId, 1);
  EXPECT_EQ(Db.GetSumdata(1).BlobOffset, Size);
  EXPECT_EQ(Db.GetSumdata(1).LatHigh, 42);
  EXPECT_EQ(Db.GetIxLatLow(3).index, 1);
  EXPECT_EQ(Db.GetIxLatLow(3).LLValue, 40);
  EXPECT_EQ(Db.GetIxLatLow(1).index, 2);
  EXPECT_EQ(ReadSystemInformation(B + ".qebgdd").HighestID, 3);

  Db.ReplaceTown(0, "X", kDate, 0, {1, 1}, 0, 0, 0);
  Db.DeleteData(4);
  EXPECT_EQ(Db.GetSumdata(2).Name.ToString(), "B");
  EXPECT_EQ(Db.GetNumEntries(), 3);

  // Deleting entry 2 of 3: the last entry takes its number, identifiers stay.
  Db.DeleteData(2);
  EXPECT_EQ(Db.GetNumEntries(), 2);
  EXPECT_EQ(Db.GetSumdata(2).ItemId, 3);
  EXPECT_EQ(Db.SearchForItemID(3), 2);
  EXPECT_EQ(Db.SearchForItemID(2), 0);
  EXPECT_EQ(FileSize(B + ".qebgds"), 240);
  EXPECT_EQ(FileSize(B + ".qebgi3"), 16);
  for (int32_t ix = 1; ix <= 2; ++ix)
    EXPECT_EQ(Db.GetSumdata(Db.GetIxLongLow(ix).index).LongLow, Db.GetIxLongLow(ix).LLValue);
  Db.DeleteData(2); // the last one
  Db.DeleteData(1);
  EXPECT_EQ(Db.GetNumEntries(), 0);
  EXPECT_EQ(FileSize(B + ".qebgi0"), 0);
  EXPECT_EQ(Db.AddTown("D", kDate, 0, {1, 1}, 0, 0, 0), 1);
  EXPECT_EQ(Db.GetSumdata(1).ItemId, 4);
}

TEST(GeoDBItems, LazyWriteDefersIndexFiles) {
  const std::string B = FreshDir() + "/db";
  {
    TGeoDB Db(nullptr);
    Db.SetGDBName(B);
    Db.SetLazyWrite(true);
    for (int i = 0; i < 20; ++i)
      Db.AddTown("T", kDate, 0, {static_cast<float>(i % 3), 1}, 0, 0, 0);
    for (int i = 0; i < 5; ++i)
      EXPECT_EQ(FileSize(B + ".qebgi" + std::to_string(i)), 0);
    Db.SetLazyWrite(false);
    EXPECT_EQ(FileSize(B + ".qebgi2"), 160);
    Db.SetLazyWrite(true);
    Db.AddTown("U", kDate, 0, {9, 9}, 0, 0, 0);
    Db.SetGDBName(""); // closing writes them
    EXPECT_EQ(FileSize(B + ".qebgi4"), 168);
  }
  {
    TGeoDB* Db = new TGeoDB(nullptr);
    Db->SetGDBName(B);
    Db->SetLazyWrite(true);
    Db->AddTown("V", kDate, 0, {9, 9}, 0, 0, 0);
    delete Db; // and so does destruction
    EXPECT_EQ(FileSize(B + ".qebgi1"), 176);
  }
  // After SaveIndex(2) the file holds NumEntries records with 0-based entries.
  TGeoDB Db(nullptr);
  Db.SetGDBName(B);
  const std::vector<uint8_t> Ix = ReadAll(B + ".qebgi2");
  int32_t MaxEntry = -1;
  for (std::size_t p = 0; p < Ix.size(); p += 8) {
    int32_t E;
    std::memcpy(&E, &Ix[p + 4], 4);
    MaxEntry = std::max(MaxEntry, E);
  }
  EXPECT_EQ(MaxEntry, 21);
}

TEST(GeoDBItems, SearchUpdateAndExport) {
  const std::string Dir = FreshDir(), B = Dir + "/db";
  TGeoDB Db(nullptr);
  Db.SetGDBName(B);
  Db.AddTown("\xC3\x84rhus", kDate, 0, {56, 10}, 0, 2, 0); // Ärhus
  Db.AddRiver("aarhus", Square(56, 10, 1), kDate, 0, 0, 0, 0, 0, 0, 3, 0);
  Db.AddTown("\xC3\xA4RHUS", kDate, 0, {57, 10}, 0, 3, 0);
  const auto N = [](const char* S) { return TgdbName::FromString(S); };
  EXPECT_EQ(Db.SearchData(N("\xC3\xA4rhUs")), 1);
  EXPECT_EQ(Db.SearchData(N("\xC3\xA4rhUs"), gitUndefined, 2, 0), 3);
  EXPECT_EQ(Db.SearchData(N("\xC3\xA4rhus"), gitTown, 1, 3), 3);
  EXPECT_EQ(Db.SearchData(N("AARHUS"), gitTown, 1, 0), 0);
  EXPECT_EQ(Db.SearchData(N("AARHUS"), gitRiver, -5, 3), 2);
  EXPECT_EQ(Db.SearchData(N("rhus")), 0);

  // UpdateBasicData rewrites the record but keeps identifier, kind and data.
  TgdbData D = Db.GetSumdata(2);
  const int32_t Offset = D.BlobOffset;
  D.ItemId = 99;
  D.ItemKind = gitTown;
  D.BlobOffset = 5;
  D.Name = N("Renamed");
  D.LatLow = -5;
  D.Tag = 1234;
  Db.UpdateBasicData(2, D);
  D = Db.GetSumdata(2);
  EXPECT_EQ(D.ItemId, 2);
  EXPECT_EQ(D.ItemKind, gitRiver);
  EXPECT_EQ(D.BlobOffset, Offset);
  EXPECT_EQ(D.Tag, 1234);
  EXPECT_EQ(D.Name.Chars[7], ' ');
  EXPECT_EQ(Db.GetIxLatLow(1).index, 2);
  EXPECT_EQ(Db.SearchData(N("renamed")), 2);
  D.LongHigh = NAN;
  EXPECT_EQ(MessageOf([&] { Db.UpdateBasicData(2, D); }),
            "Component \"\": UpdateBasicData: invalid bounds.");
  TGeoDB Re(nullptr);
  Re.SetGDBName(B);
  EXPECT_EQ(Re.GetSumdata(2).Tag, 1234);
  EXPECT_EQ(Re.GetIxLatLow(1).index, 2);

  Db.SetDescription("dump me");
  Db.ExportDataDebug(Dir + "/dump.txt");
  const std::vector<uint8_t> Dump = ReadAll(Dir + "/dump.txt");
  const std::string Text(Dump.begin(), Dump.end());
  EXPECT_NE(Text.find("Description: \"dump me\""), std::string::npos);
  EXPECT_NE(Text.find("2: 2 River \"Renamed\" 3 1234"), std::string::npos);
  EXPECT_NE(Text.find("Index 1 LatLow (position: value entry)\r\n1: -5 2\r\n"), std::string::npos);
}

TEST(GeoDBItems, GarbageCollectionCompactsSafely) {
  const std::string B = FreshDir() + "/db";
  TGeoDB Db(nullptr);
  Db.SetGDBName(B);
  TMetaInfo M;
  M.Caption = TShortString<127>::FromString("kept");
  const std::vector<uint8_t> Bytes(3000, 0x5A);
  Db.AddRiver("R", Square(1, 1, 1), kDate, 0, 0, 0, 0, 0, 0, 0, 0);
  Db.AddBLOB("Blob", kDate, 0, 1, 2, 3, 4, 0, 0, 0, M, Bytes.data(), 3000);
  Db.AddTown("T", kDate, 0, {1, 1}, 0, 0, 0);
  Db.AddRoad("Rd", Square(2, 2, 2), kDate, 0, 0, 0, 0, 0, 0, 0, 0);
  for (int i = 0; i < 5; ++i)
    Db.ReplaceRiver(1, "R", Square(3, 3, static_cast<float>(i)), kDate, 0, 0, 0, 0, 0, 0, 0, 0);
  TProgress Pr;
  Pr.Attach(Db);
  Db.GarbageCollection();
  EXPECT_EQ(Pr.Seen.front(), 0);
  EXPECT_EQ(Pr.Seen.back(), 100);
  EXPECT_EQ(FileSize(B + ".qebgdd"), 260 + 32 + 1024 + 3000 + 32);
  EXPECT_FALSE(fs::exists(B + ".qebggc"));
  TGeoDB Re(nullptr);
  Re.SetGDBName(B);
  TgdbPolygon P;
  ASSERT_TRUE(Re.RetrievePolygon(1, P));
  EXPECT_EQ(P[2].Latit, 7);
  ASSERT_TRUE(Re.RetrievePolygon(4, P));
  EXPECT_EQ(P[2].Longit, 4);
  std::vector<uint8_t> Out(3000);
  TMetaInfo Got;
  ASSERT_TRUE(Re.RetrieveBLOB(2, Got, Out.data(), 3000));
  EXPECT_EQ(Out, Bytes);
  EXPECT_EQ(Got.Caption.ToString(), "kept");

  // A collection interrupted after its commit marker is finished by the next opening; one
  // interrupted before it is discarded.
  Re.SetGDBName("");
  const std::vector<uint8_t> Data = ReadAll(B + ".qebgdd"), Sum = ReadAll(B + ".qebgds");
  Db.SetGDBName("");
  WriteAll(B + ".qebgdd.gc", Data);
  WriteAll(B + ".qebgds.gc", Sum);
  WriteAll(B + ".qebgdd", {1, 2, 3});
  WriteAll(B + ".qebggc", {});
  Db.SetGDBName(B);
  EXPECT_EQ(ReadAll(B + ".qebgdd"), Data);
  EXPECT_FALSE(fs::exists(B + ".qebggc") || fs::exists(B + ".qebgds.gc"));
  Db.SetGDBName("");
  WriteAll(B + ".qebgdd.gc", {9});
  Db.SetGDBName(B);
  EXPECT_FALSE(fs::exists(B + ".qebgdd.gc"));
  EXPECT_EQ(ReadAll(B + ".qebgdd"), Data);
}

TEST(GeoDBRecords, HelpersAndFormatting) {
  TgdbData D;
  D.NumPoints = 17;
  D.ItemKind = gitLake;
  D.Tag = 5;
  ClearGdbData(D);
  EXPECT_EQ(D.NumPoints, 17);
  EXPECT_EQ(D.ItemKind, gitUndefined);
  EXPECT_EQ(D.Tag, 0);
  EXPECT_EQ(D.BlobOffset, -1);
  EXPECT_EQ(D.Name.Chars[58], ' ');
  EXPECT_GT(D.Date, 44000); // today, not the epoch

  TMetaInfo M;
  M.Comment = TShortString<255>::FromString("abc");
  ClearMetaInfo(M);
  EXPECT_TRUE(M.Comment.Empty());
  EXPECT_EQ(M.Comment.Chars[0], 'a');

  EXPECT_EQ(GeoLatitude(-33.5, dfDeg, 1), "33.5\xC2\xB0 S");
  EXPECT_EQ(GeoLatitude(95, dfDeg, 0), "90\xC2\xB0 N");
  EXPECT_EQ(GeoLongitude(-200, dfDegMin, 0), "180\xC2\xB0"
                                             "00' W");
  EXPECT_EQ(GeoLongitude(0, dfDeg, 0), "0\xC2\xB0 E");
  EXPECT_EQ(GeoLongitude(NAN, dfDeg, 0), "NaN");
  EXPECT_EQ(GDB_ITEMNAMES[gitBLOB], "BLOB");
  EXPECT_EQ(gdbKind(static_cast<TgdbItem>(200)), 0x8000);
}

} // namespace
} // namespace qeb
