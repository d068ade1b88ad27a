// TGeoDB: garbage collection of the data file and the debug dump.
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

// ---- Garbage collection ----

void (*detail::GdbCommitProbe)(int32_t Step) = nullptr;

namespace {

void CommitStep(int32_t Step) {
  if (GdbCommitProbe != nullptr) GdbCommitProbe(Step);
}

} // namespace

void TGeoDB::GarbageCollection() {
  if (!IsOpen()) return;
  // The files are about to be replaced under their names.
  CloseCachedFiles();
  const std::string B = StripExtension(FNameGDS);
  TFileStream Src(FNameGDD, fmOpenRead);
  const int64_t FileSize = Src.GetSize();
  TgdbSystemData OnDisk;
  if (Src.Read(&OnDisk, sizeof OnDisk) != static_cast<int64_t>(sizeof OnDisk))
    Fail("GarbageCollection: the data file is shorter than its 260-byte header.");

  // Every record is checked before anything is written: the collection keeps only the bytes the
  // summary names, so a record that names the wrong bytes would cost the real ones.
  auto Refuse = [&](int32_t E, const std::string& What) {
    Fail("GarbageCollection: entry " + std::to_string(E + 1) + " " + What + ".");
  };
  struct TPiece {
    int64_t Offset, Length;
    int32_t Entry;
  };
  std::vector<TPiece> Pieces;
  std::vector<std::pair<int32_t, int32_t>> Ids; // identifier, entry
  for (int32_t E = 0; E < FNumSumItems; ++E) {
    const TgdbData& D = FSumData[static_cast<std::size_t>(E)];
    if (D.ItemKind > gitUndefined)
      Refuse(E, "has the unknown item kind " + std::to_string(D.ItemKind));
    // Identifiers are given out through the header before a record is written.
    if (D.ItemId > OnDisk.HighestID)
      Refuse(E, "has the item identifier " + std::to_string(D.ItemId) +
                    ", above the highest identifier " + std::to_string(OnDisk.HighestID) +
                    " of the data file: the summary file belongs to another database");
    Ids.emplace_back(D.ItemId, E);
    if (!(IsPolygonKind(D.ItemKind) || D.ItemKind == gitBLOB) || D.BlobOffset == -1) continue;
    if (D.BlobOffset < 0) Refuse(E, "has the negative data offset " + std::to_string(D.BlobOffset));
    if (D.BlobOffset < kGdbHeaderSize)
      Refuse(E, "has its data inside the 260-byte header (offset " + std::to_string(D.BlobOffset) +
                    ")");
    const bool Blob = D.ItemKind == gitBLOB;
    if (D.NumPoints < 0)
      Refuse(E, std::string(Blob ? "has the negative size " : "has the negative point count ") +
                    std::to_string(D.NumPoints));
    const int64_t Length = Blob ? int64_t{kGdbMetaSize} + D.Size : int64_t{D.NumPoints} * 8;
    if (!GdbRangeInFile(D.BlobOffset, Length, FileSize))
      Refuse(E, "refers to bytes outside the data file");
    Pieces.push_back({D.BlobOffset, Length, E});
  }
  std::sort(Ids.begin(), Ids.end());
  for (std::size_t i = 1; i < Ids.size(); ++i)
    if (Ids[i].first == Ids[i - 1].first)
      Refuse(std::max(Ids[i].second, Ids[i - 1].second),
             "has the item identifier " + std::to_string(Ids[i].first) + " of entry " +
                 std::to_string(std::min(Ids[i].second, Ids[i - 1].second) + 1));
  std::sort(Pieces.begin(), Pieces.end(), [](const TPiece& A, const TPiece& C) {
    return A.Offset != C.Offset ? A.Offset < C.Offset : A.Length < C.Length;
  });
  // Items never share bytes, except entries naming one and the same range (possible in
  // foreign files), which keep sharing it.
  int64_t Total = 0, End = 0;
  for (std::size_t i = 0; i < Pieces.size(); ++i) {
    const TPiece& P = Pieces[i];
    if (i > 0 && P.Offset == Pieces[i - 1].Offset && P.Length == Pieces[i - 1].Length) continue;
    if (P.Offset < End) {
      const auto Other =
          std::find_if(Pieces.begin(), Pieces.begin() + static_cast<std::ptrdiff_t>(i),
                       [&](const TPiece& Q) { return Q.Offset + Q.Length > P.Offset; });
      Refuse(P.Entry, "shares bytes with entry " + std::to_string(Other->Entry + 1));
    }
    End = P.Offset + P.Length;
    Total += P.Length;
  }

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
    CommitStep(0);
    TFileStream Sum(NewSummary, fmCreate);
    Sum.WriteBuffer(NewSum.data(), static_cast<int64_t>(NewSum.size()) * kGdbRecordSize);
  } catch (...) {
    DeleteFile(NewData);
    DeleteFile(NewSummary);
    throw;
  }
  FChanged = true;
  // The marker commits the collection, so both new files must be on the disk before it is: the
  // next opening finishes the renames should this process or the machine stop before they are
  // done, and discards the new files while there is no marker.
  const std::string Marker = GdbGcMarker(B);
  try {
    CommitStep(1);
    SyncFileToDisk(NewData);
    SyncFileToDisk(NewSummary);
    CommitStep(2);
    { TFileStream Created(Marker, fmCreate); }
    SyncFileToDisk(Marker);
    SyncFileToDisk(ExtractFilePath(Marker).empty() ? std::string(".") : ExtractFilePath(Marker));
  } catch (...) {
    DeleteFile(Marker);
    DeleteFile(NewData);
    DeleteFile(NewSummary);
    throw;
  }
  CommitStep(3);
  RenameFileReplacing(NewData, FNameGDD);
  CommitStep(4);
  RenameFileReplacing(NewSummary, FNameGDS);
  CommitStep(5);
  DeleteFile(Marker);
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
  const char* Names[kGdbBounds] = {"LatLow", "LatHigh", "LongLow", "LongHigh"};
  for (int b = 0; b < kGdbBounds; ++b) {
    const TIxLLRecArray& Ix = FIxLL[static_cast<std::size_t>(b)];
    T.WriteLn();
    T.WriteLn("Index " + std::to_string(b + 1) + " " + Names[b] + " (position: value entry)");
    for (std::size_t p = 0; p < Ix.size(); ++p)
      T.WriteLn(std::to_string(p + 1) + ": " + Num(Ix[p].LLValue) + " " +
                std::to_string(Ix[p].index + 1));
  }
  T.Close();
}

} // namespace qeb
