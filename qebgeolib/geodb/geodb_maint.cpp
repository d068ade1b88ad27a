// TGeoDB: box queries, garbage collection of the data file and the debug dump.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "qebgeolib/companion/corelib/filesys.h"
#include "qebgeolib/geodb/detail/boxtree.h"
#include "qebgeolib/geodb/detail/fileset.h"
#include "qebgeolib/geodb/geodb.h"
#include "qebgeolib/platform/base/sysutils.h"
#include "qebgeolib/platform/base/textfile.h"

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

std::string Num(double V) {
  char Buf[64];
  auto R = std::to_chars(Buf, Buf + sizeof Buf, V);
  return std::string(Buf, R.ptr);
}
std::string Num(float V) {
  char Buf[64];
  auto R = std::to_chars(Buf, Buf + sizeof Buf, V);
  return std::string(Buf, R.ptr);
}

} // namespace

// ---- Box queries ----

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

// ---- Garbage collection ----

void TGeoDB::GarbageCollection() {
  if (!IsOpen()) return;
  // The files are about to be replaced under their names.
  CloseCachedFiles();
  const std::string B = StripExtension(FNameGDS);
  TFileStream Src(FNameGDD, fmOpenRead);
  const int64_t FileSize = Src.GetSize();

  struct TPiece {
    int64_t Offset, Length;
    int32_t Entry;
  };
  std::vector<TPiece> Pieces;
  for (int32_t E = 0; E < FNumSumItems; ++E) {
    const TgdbData& D = FSumData[static_cast<std::size_t>(E)];
    if (D.BlobOffset < 0 || !(IsPolygonKind(D.ItemKind) || D.ItemKind == gitBLOB)) continue;
    const int64_t Length =
        D.ItemKind == gitBLOB ? int64_t{kGdbMetaSize} + D.Size : int64_t{D.NumPoints} * 8;
    if (Length < 0 || D.BlobOffset + Length > FileSize)
      Fail("GarbageCollection: entry " + std::to_string(E + 1) +
           " refers to bytes outside the data file.");
    Pieces.push_back({D.BlobOffset, Length, E});
  }
  std::sort(Pieces.begin(), Pieces.end(), [](const TPiece& A, const TPiece& C) {
    return A.Offset != C.Offset ? A.Offset < C.Offset : A.Length < C.Length;
  });
  int64_t Total = 0;
  for (std::size_t i = 0; i < Pieces.size(); ++i)
    if (i == 0 || Pieces[i].Offset != Pieces[i - 1].Offset ||
        Pieces[i].Length != Pieces[i - 1].Length)
      Total += Pieces[i].Length;

  Report(0);
  std::vector<TgdbData> NewSum(FSumData.begin(), FSumData.begin() + FNumSumItems);
  const std::string NewData = GdbGcData(B), NewSummary = GdbGcSummary(B);
  try {
    TFileStream Dst(NewData, fmCreate);
    Dst.WriteBuffer(&FSystemData, sizeof FSystemData);
    std::vector<uint8_t> Buf(static_cast<std::size_t>(kGdbBlock));
    int64_t Pos = kGdbHeaderSize, Copied = 0;
    for (std::size_t i = 0; i < Pieces.size(); ++i) {
      const TPiece& P = Pieces[i];
      // Entries sharing one byte range (possible in foreign files) keep sharing it.
      if (i > 0 && P.Offset == Pieces[i - 1].Offset && P.Length == Pieces[i - 1].Length) {
        NewSum[static_cast<std::size_t>(P.Entry)].BlobOffset =
            NewSum[static_cast<std::size_t>(Pieces[i - 1].Entry)].BlobOffset;
        continue;
      }
      NewSum[static_cast<std::size_t>(P.Entry)].BlobOffset = static_cast<int32_t>(Pos);
      Src.Seek(P.Offset, soFromBeginning);
      for (int64_t Rest = P.Length; Rest > 0;) {
        const int64_t Count = std::min(kGdbBlock, Rest);
        Src.ReadBuffer(Buf.data(), Count);
        Dst.WriteBuffer(Buf.data(), Count);
        Rest -= Count;
        Copied += Count;
        Report(GdbPercent(static_cast<double>(Copied), static_cast<double>(Total)));
      }
      Pos += P.Length;
    }
    TFileStream Sum(NewSummary, fmCreate);
    Sum.WriteBuffer(NewSum.data(), static_cast<int64_t>(NewSum.size()) * kGdbRecordSize);
  } catch (...) {
    DeleteFile(NewData);
    DeleteFile(NewSummary);
    throw;
  }
  // From here on the collection is committed: the marker makes the next opening finish the two
  // renames should this process stop before it does.
  { TFileStream Marker(GdbGcMarker(B), fmCreate); }
  GdbRenameOver(NewData, FNameGDD);
  GdbRenameOver(NewSummary, FNameGDS);
  DeleteFile(GdbGcMarker(B));
  std::copy(NewSum.begin(), NewSum.end(), FSumData.begin());
  Report(100);
}

// ---- Debug dump ----

void TGeoDB::ExportDataDebug(const std::string& FName) {
  FlushPendingIndex();
  TTextFile T(FName);
  T.Rewrite();
  const TgdbSystemData& H = FSystemData;
  T.WriteLn("TGeoDB \"" + GetName() + "\" debug dump");
  T.WriteLn("Database: " + (IsOpen() ? GetGDBName() : std::string("(closed)")));
  T.WriteLn("HighestID: " + std::to_string(H.HighestID));
  T.WriteLn("DBVersion: " + std::to_string(H.DBVersion));
  T.WriteLn("Description: \"" + H.Description.ToString() + "\"");
  T.WriteLn("Revision: " + std::to_string(H.Revision));
  T.WriteLn("LazyWrite: " + std::string(FLazyWrite ? "true" : "false"));
  T.WriteLn("NumEntries: " + std::to_string(FNumSumItems));
  T.WriteLn();
  T.WriteLn("Entries (entry: ItemId Kind \"Name\" Class Tag State Date Altitude LatLow LatHigh "
            "LongLow LongHigh BlobOffset NumPoints/Size Closed)");
  for (int32_t E = 0; E < FNumSumItems; ++E) {
    const TgdbData& D = FSumData[static_cast<std::size_t>(E)];
    const std::string Kind = D.ItemKind <= gitUndefined ? std::string(GDB_ITEMNAMES[D.ItemKind])
                                                        : "Kind" + std::to_string(D.ItemKind);
    T.WriteLn(std::to_string(E + 1) + ": " + std::to_string(D.ItemId) + " " + Kind + " \"" +
              D.Name.ToString() + "\" " + std::to_string(D.ClassFlag) + " " +
              std::to_string(D.Tag) + " " + std::to_string(D.StateFlag) + " " + Num(D.Date) + " " +
              Num(D.Altitude) + " " + Num(D.LatLow) + " " + Num(D.LatHigh) + " " + Num(D.LongLow) +
              " " + Num(D.LongHigh) + " " + std::to_string(D.BlobOffset) + " " +
              std::to_string(D.NumPoints) + " " + (D.Closed ? "closed" : "open"));
  }
  T.WriteLn();
  T.WriteLn("Index 0 ItemID (position: ItemID entry)");
  for (std::size_t p = 0; p < FIx0ItemId.size(); ++p)
    T.WriteLn(std::to_string(p + 1) + ": " + std::to_string(FIx0ItemId[p].ItemID) + " " +
              std::to_string(FIx0ItemId[p].index + 1));
  const char* Names[5] = {"", "LatLow", "LatHigh", "LongLow", "LongHigh"};
  const TIxLLRecArray* LL[5] = {nullptr, &FIx1LatLo, &FIx2LatHi, &FIx3LongLo, &FIx4LongHi};
  for (int i = 1; i < 5; ++i) {
    T.WriteLn();
    T.WriteLn("Index " + std::to_string(i) + " " + Names[i] + " (position: value entry)");
    for (std::size_t p = 0; p < LL[i]->size(); ++p)
      T.WriteLn(std::to_string(p + 1) + ": " + Num((*LL[i])[p].LLValue) + " " +
                std::to_string((*LL[i])[p].index + 1));
  }
  T.Close();
}

} // namespace qeb
