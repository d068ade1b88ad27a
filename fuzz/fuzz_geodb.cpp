// Fuzz target of the database: opening a damaged file set, reading everything in it, changing it
// and opening it again.
//
// The first input byte chooses the form of the rest (bit 0), whether the changes are made
// with LazyWrite (bit 1) and whether the damaged set is garbage-collected before any change
// (bit 2). Even: a whole file set, seven files cut from
// the input by 16-bit little-endian lengths (indexes 0 to 4, summary, data; the data file takes
// the rest). Odd: edits of 5 bytes each (file, operation, 16-bit position, value) applied to a
// sound file set made at start-up, which reaches the deep paths quickly.
//
// Checked beyond "no crash": opening and reading change no file, whether opening succeeds or
// refuses; a file set that opens has indexes matching its summary, box queries equal a scan of
// the summary; a garbage collection either refuses and changes no file or keeps every item
// that could be read before it; and after our own changes the set opens again.
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "qebgeolib/geodb/geodb.h"

namespace {

using namespace qeb;
namespace fs = std::filesystem;

const char* const kExt[7] = {".qebgi0", ".qebgi1", ".qebgi2", ".qebgi3",
                             ".qebgi4", ".qebgds", ".qebgdd"};

// A scratch folder for the file sets, in memory where possible; removed at exit.
const std::string& Dir() {
  static const struct TDir {
    std::string Path;
    TDir() {
      Path =
          (fs::exists("/dev/shm") ? std::string("/dev/shm") : fs::temp_directory_path().string()) +
          "/qeb-fuzz-geodb-XXXXXX";
      if (mkdtemp(Path.data()) == nullptr) std::abort();
    }
    ~TDir() {
      std::error_code E;
      fs::remove_all(Path, E);
    }
  } D;
  return D.Path;
}

std::vector<uint8_t> ReadFile(const std::string& Name) {
  std::ifstream F(Name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(F), {});
}

void WriteFile(const std::string& Name, const std::vector<uint8_t>& Bytes) {
  std::ofstream F(Name, std::ios::binary | std::ios::trunc);
  F.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
}

void Clean() {
  for (const auto& E : fs::directory_iterator(Dir()))
    fs::remove_all(E.path());
}

// The sound file set the edits start from: every kind, a replaced item and a deleted one.
const std::vector<std::vector<uint8_t>>& BaseSet() {
  static const std::vector<std::vector<uint8_t>> Files = [] {
    Clean();
    const std::string B = Dir() + "/base";
    {
      TGeoDB Db(nullptr);
      Db.SetGDBName(B);
      TMetaInfo M;
      M.Caption = TShortString<127>::FromString("caption");
      const uint8_t Bytes[40] = {1, 2, 3};
      for (int i = 0; i < 4; ++i) {
        const auto F = static_cast<float>(i);
        Db.AddTown("Town", 45000, 0, {F, -F}, 0, 1, i);
        Db.AddRiver("River", {{F, F}, {F + 1, F + 2}, {F - 1, F}}, 45000, 0, 0, 0, 0, 0, 0, 2, i);
        Db.AddBLOB("Blob", 45000, 0, F, F + 1, F, F + 1, 0, 3, i, M, Bytes, 10 * i);
      }
      Db.AddCity("City", {{5, 5}, {6, 6}}, true, 45000, 0, 0, 0, 0, 0, 0, 0, 0);
      Db.ReplaceTown(1, "Moved", 45000, 0, {2, 2}, 0, 1, 0);
      Db.DeleteData(3);
    }
    std::vector<std::vector<uint8_t>> V;
    for (const char* E : kExt)
      V.push_back(ReadFile(B + E));
    Clean();
    return V;
  }();
  return Files;
}

std::vector<std::vector<uint8_t>> FilesFrom(const uint8_t* Data, std::size_t Size) {
  std::vector<std::vector<uint8_t>> Files(7);
  std::size_t Pos = 0;
  for (int f = 0; f < 6; ++f) {
    std::size_t Len = 0;
    if (Pos + 2 <= Size) Len = Data[Pos] | (Data[Pos + 1] << 8);
    Pos = std::min(Size, Pos + 2);
    Len = std::min(Len, Size - Pos);
    Files[static_cast<std::size_t>(f)].assign(Data + Pos, Data + Pos + Len);
    Pos += Len;
  }
  Files[6].assign(Data + Pos, Data + Size);
  return Files;
}

std::vector<std::vector<uint8_t>> Edited(const uint8_t* Data, std::size_t Size) {
  static const int32_t Hostile[8] = {0, -1, 0x7FFFFFFF, INT32_MIN, 0x7FFFFF00, 1024, 260, 8};
  std::vector<std::vector<uint8_t>> Files = BaseSet();
  for (std::size_t p = 0; p + 5 <= Size; p += 5) {
    std::vector<uint8_t>& F = Files[Data[p] % 7];
    const std::size_t At = (Data[p + 2] | (Data[p + 3] << 8)) % (F.size() + 1);
    const uint8_t V = Data[p + 4];
    switch (Data[p + 1] % 4) {
    case 0:
      if (At < F.size()) F[At] = V;
      break;
    case 1:
      F.resize(At);
      break;
    case 2:
      if (At + 4 <= F.size()) std::memcpy(&F[At], &Hostile[V % 8], 4);
      break;
    default:
      F.insert(F.end(), V % 32, V);
      break;
    }
  }
  return Files;
}

std::vector<std::vector<uint8_t>> ReadSet(const std::string& B) {
  std::vector<std::vector<uint8_t>> V;
  for (const char* E : kExt)
    V.push_back(ReadFile(B + E));
  return V;
}

bool Meets(const TgdbData& D, float A, float B, float C, float E) {
  return D.LatLow <= D.LatHigh && D.LongLow <= D.LongHigh && D.LatLow <= B && D.LatHigh >= A &&
         D.LongLow <= E && D.LongHigh >= C;
}

void Explore(TGeoDB& Db) {
  const int32_t N = Db.GetNumEntries();
  for (int32_t ix = 1; ix <= N; ++ix) {
    const TIxLLRec R = Db.GetIxLatHigh(ix);
    if (R.index < 1 || R.index > N || !(R.LLValue == Db.GetSumdata(R.index).LatHigh))
      __builtin_trap();
    if (ix > 1 && Db.GetIxLatHigh(ix - 1).LLValue > R.LLValue) __builtin_trap();
    const TIxItemIDRec I = Db.GetIxItemID(ix);
    if (Db.GetSumdata(I.index).ItemId != I.ItemID) __builtin_trap();
  }
  std::vector<uint8_t> Buf(2048);
  for (int32_t E = 0; E <= std::min(N, 40) + 1; ++E) {
    TgdbPolygon P;
    TMetaInfo M;
    TMemoryStream S;
    Db.RetrievePolygon(E, P);
    Db.RetrieveBLOB(E, M, S);
    try {
      Db.RetrieveBLOB(E, M, Buf.data(), static_cast<int32_t>(Buf.size()));
    } catch (const EQEBGeoDBError&) {
    }
    Db.GetMetaInfo(E, M);
    const TgdbData D = Db.GetSumdata(E);
    Db.SearchForItemID(D.ItemId);
    Db.SearchData(D.Name, D.ItemKind, E, D.ClassFlag);
  }
  Db.GetClosestLatLowIx(1.5);
  Db.GetClosestLongHighIx(-0.5);
  Db.GetClosestItemIDIx(3);
  const float W[3][4] = {{-1, 2, -3, 1}, {0, 100, 0, 100}, {-1e30f, 1e30f, -1e30f, 1e30f}};
  for (const auto& Q : W) {
    std::vector<int32_t> Want;
    for (int32_t E = 1; E <= N; ++E)
      if (Meets(Db.GetSumdata(E), std::nextafter(Q[0], -1e38f), std::nextafter(Q[1], 1e38f),
                std::nextafter(Q[2], -1e38f), std::nextafter(Q[3], 1e38f)))
        Want.push_back(E);
    if (Db.FindItemsInBox(Q[0], Q[1], Q[2], Q[3]) != Want) __builtin_trap();
  }
}

// Collects the damaged set as it was opened.
void CollectFirst(TGeoDB& Db, const std::string& B,
                  const std::vector<std::vector<uint8_t>>& Before) {
  const int32_t N = std::min(Db.GetNumEntries(), 64);
  std::vector<TgdbPolygon> Points(static_cast<std::size_t>(N) + 1);
  std::vector<std::vector<uint8_t>> Blobs(static_cast<std::size_t>(N) + 1);
  std::vector<uint8_t> Had(static_cast<std::size_t>(N) + 1, 0);
  auto Read = [&Db](int32_t E, TgdbPolygon& P, std::vector<uint8_t>& Bytes) {
    TMetaInfo M;
    TMemoryStream S;
    const bool Polygon = Db.RetrievePolygon(E, P);
    const bool Blob = Db.RetrieveBLOB(E, M, S);
    if (Blob) Bytes.assign(S.Memory(), S.Memory() + S.GetSize());
    return static_cast<uint8_t>(Polygon | (Blob << 1));
  };
  for (int32_t E = 1; E <= N; ++E)
    Had[static_cast<std::size_t>(E)] =
        Read(E, Points[static_cast<std::size_t>(E)], Blobs[static_cast<std::size_t>(E)]);
  try {
    Db.GarbageCollection();
  } catch (const EQEBGeoDBError&) {
    if (ReadSet(B) != Before || fs::exists(B + ".qebgdd.gc") || fs::exists(B + ".qebgds.gc") ||
        fs::exists(B + ".qebggc"))
      __builtin_trap();
    return;
  }
  for (int32_t E = 1; E <= N; ++E) {
    TgdbPolygon P;
    std::vector<uint8_t> Bytes;
    const auto e = static_cast<std::size_t>(E);
    if (Read(E, P, Bytes) != Had[e] || Bytes != Blobs[e] || P.size() != Points[e].size() ||
        (!P.empty() && std::memcmp(P.data(), Points[e].data(), P.size() * sizeof P[0]) != 0))
      __builtin_trap();
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  if (Size == 0) return 0;
  const auto Files = (Data[0] & 1) ? Edited(Data + 1, Size - 1) : FilesFrom(Data + 1, Size - 1);
  Clean();
  const std::string B = Dir() + "/db";
  for (int f = 0; f < 7; ++f)
    WriteFile(B + kExt[f], Files[static_cast<std::size_t>(f)]);

  TGeoDB Db(nullptr);
  try {
    Db.SetGDBName(B);
  } catch (const EQEBGeoDBError&) {
    // Refused: the files are as they were.
    if (ReadSet(B) != Files) __builtin_trap();
    return 0;
  }
  Explore(Db);
  // Opening and reading wrote nothing, even when the indexes were rebuilt.
  if (ReadSet(B) != Files) __builtin_trap();
  if (Data[0] & 4) CollectFirst(Db, B, Files);
  try {
    Db.SetLazyWrite((Data[0] & 2) != 0);
    Db.AddTown("New", 45000, 0, {1, 2}, 0, 0, 0);
    Db.AddRiver("R", {{1, 1}, {2, 2}}, 45000, 0, 0, 0, 0, 0, 0, 0, 0);
    Db.ReplaceTown(1, "Re", 45000, 0, {3, 4}, 0, 0, 0);
    Db.DeleteData(2);
    TgdbData D = Db.GetSumdata(1);
    D.LatLow = -D.LatLow;
    Db.UpdateBasicData(1, D);
    Db.ExportDataDebug(Dir() + "/dump.txt");
    Db.GarbageCollection();
  } catch (const EQEBGeoDBError&) {
    // the refusals of the interface (garbage collection of a damaged item)
  }
  Db.SetGDBName("");
  // What we opened and changed must open again, sound.
  Db.SetGDBName(B);
  Explore(Db);
  return 0;
}
