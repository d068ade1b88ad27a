// TGeoDB: the file set (opening, validation, closing), the header and the five indexes.
#include "qebgeolib/geodb/geodb.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>

#include "qebgeolib/companion/corelib/filesys.h"
#include "qebgeolib/geodb/detail/boxtree.h"
#include "qebgeolib/geodb/detail/fileset.h"
#include "qebgeolib/geodb/detail/indexes.h"
#include "qebgeolib/platform/base/sysutils.h"
#include "qebgeolib/platform/base/text.h"

namespace qeb {

using namespace detail; // the internal pieces of this module

namespace {

bool BadBounds(const TgdbData& D) {
  return std::isnan(D.LatLow) || std::isnan(D.LatHigh) || std::isnan(D.LongLow) ||
         std::isnan(D.LongHigh);
}

// What opening found in an index file.
struct TIxFile {
  bool Exists = false;
  bool Good = false; // it agrees with the summary and can be used as it is
  int64_t Count = 0; // whole records in it
};

// Reads an index file and checks it against the summary: whole records, one entry per summary
// entry, each entry once, keys equal to the record's field and ascending. A file of more
// records than the summary is not read: opening refuses it.
template <class Rec, class KeyOf>
TIxFile LoadIndex(const std::string& Name, const std::vector<TgdbData>& Sum, KeyOf KeyOfRecord,
                  std::vector<Rec>& Ix) {
  TIxFile R;
  Ix.clear();
  if (!FileExists(Name)) return R;
  R.Exists = true;
  TFileStream F(Name, fmOpenRead);
  const int64_t Size = F.GetSize();
  R.Count = Size / kGdbIndexRecSize;
  if (R.Count > static_cast<int64_t>(Sum.size())) return R;
  Ix.resize(static_cast<std::size_t>(R.Count));
  F.ReadBuffer(Ix.data(), R.Count * kGdbIndexRecSize);
  if (Size != static_cast<int64_t>(Sum.size()) * kGdbIndexRecSize) return R;
  std::vector<uint8_t> Seen(Sum.size(), 0);
  for (std::size_t p = 0; p < Ix.size(); ++p) {
    const int32_t E = Ix[p].index;
    if (E < 0 || static_cast<std::size_t>(E) >= Sum.size() || Seen[static_cast<std::size_t>(E)])
      return R;
    Seen[static_cast<std::size_t>(E)] = 1;
    if (!(gdbix::Key(Ix[p]) == KeyOfRecord(Sum[static_cast<std::size_t>(E)]))) return R;
    if (p > 0 && gdbix::Key(Ix[p]) < gdbix::Key(Ix[p - 1])) return R;
  }
  R.Good = true;
  return R;
}

} // namespace

// ---- Lifecycle ----

TGeoDB::TGeoDB(TComponent* AOwner) : TComponent(AOwner) {}

TGeoDB::~TGeoDB() {
  // A destructor cannot report a failed write; the next opening finds the index files stale and
  // rebuilds them from the summary.
  try {
    WriteIndexesOnClose();
  } catch (const std::exception&) {
  }
  CloseCachedFiles();
}

void TGeoDB::Report(int32_t Percent) {
  if (FOnPercentDone && FOnPercDoneEnabled) FOnPercentDone(this, Percent);
}

void TGeoDB::Fail(const std::string& Text) const {
  throw EQEBGeoDBError("Component \"" + GetName() + "\": " + Text);
}

void TGeoDB::CloseCachedFiles() noexcept {
  FDataFile.reset();
  FSumFile.reset();
}

void TGeoDB::InvalidateBoxTree() const {
  if (FBoxTree) FBoxTree->Clear();
}

void TGeoDB::SetGDBName(const std::string& Name) {
  if (Name.empty()) {
    Close();
    return;
  }
  const bool Lazy = FLazyWrite;
  if (IsOpen()) Close();
  FLazyWrite = Lazy;
  Open(Name);
}

std::string TGeoDB::GetGDBName() const {
  return StripExtension(FNameGDS);
}

void TGeoDB::Close() {
  std::exception_ptr Error;
  try {
    WriteIndexesOnClose();
  } catch (...) {
    Error = std::current_exception();
  }
  CloseCachedFiles();
  for (std::string& N : FNameIX)
    N.clear();
  FLazyWrite = false;
  FSystemData = TgdbSystemData();
  FNameGDS.clear();
  FNameGDD.clear();
  FNumSumItems = 0;
  FSumData.clear();
  FIx0ItemId.clear();
  for (TIxLLRecArray& Ix : FIxLL)
    Ix.clear();
  FIxCount = 0;
  FIxPending = 0;
  FChanged = false;
  InvalidateBoxTree();
  if (Error) std::rethrow_exception(Error);
}

void TGeoDB::Open(const std::string& Name) {
  try {
    OpenFiles(Name);
  } catch (...) {
    // Nothing of a half-read file set stays behind.
    const bool Lazy = FLazyWrite;
    FLazyWrite = false;
    Close();
    FLazyWrite = Lazy;
    throw;
  }
}

void TGeoDB::OpenFiles(const std::string& Name) {
  const std::string B = StripExtension(Name);
  const std::string GDS = B + ".qebgds", GDD = B + ".qebgdd";
  std::string IX[5];
  for (int i = 0; i < 5; ++i)
    IX[i] = B + ".qebgi" + static_cast<char>('0' + i);

  // An interrupted garbage collection: once its marker exists both new files are complete and
  // are put in place; without the marker they are discarded.
  if (FileExists(GdbGcMarker(B))) {
    if (FileExists(GdbGcData(B))) RenameFileReplacing(GdbGcData(B), GDD);
    if (FileExists(GdbGcSummary(B))) RenameFileReplacing(GdbGcSummary(B), GDS);
    DeleteFile(GdbGcMarker(B));
    SyncFileToDisk(ExtractFilePath(B).empty() ? std::string(".") : ExtractFilePath(B));
  } else {
    DeleteFile(GdbGcData(B));
    DeleteFile(GdbGcSummary(B));
  }
  for (const std::string& N : IX)
    DeleteFile(N + ".tmp");

  // The summary and the data file are the truth and must be sound.
  std::vector<TgdbData> Sum;
  const bool SumExists = FileExists(GDS);
  if (SumExists) {
    TFileStream F(GDS, fmOpenRead);
    const int64_t Size = F.GetSize();
    if (Size % kGdbRecordSize != 0)
      Fail("SetGDBName: the summary file \"" + GDS +
           "\" is not a whole number of 120-byte records.");
    if (Size / kGdbRecordSize > std::numeric_limits<int32_t>::max() ||
        static_cast<uint64_t>(Size) > std::numeric_limits<std::size_t>::max() / 2)
      Fail("SetGDBName: the summary file \"" + GDS + "\" holds too many records.");
    Sum.resize(static_cast<std::size_t>(Size / kGdbRecordSize));
    F.ReadBuffer(Sum.data(), Size);
  }
  for (std::size_t e = 0; e < Sum.size(); ++e) {
    // Any byte may stand in a file; a bool must hold 0 or 1 before it is read.
    auto* Raw = reinterpret_cast<unsigned char*>(&Sum[e]);
    Raw[offsetof(TgdbData, Closed)] = Raw[offsetof(TgdbData, Closed)] != 0;
    if (BadBounds(Sum[e]))
      Fail("SetGDBName: entry " + std::to_string(e + 1) + " of the summary file \"" + GDS +
           "\" has invalid bounds.");
  }
  TgdbSystemData Header;
  const bool DataExists = FileExists(GDD);
  if (DataExists) {
    TFileStream F(GDD, fmOpenRead);
    if (F.Read(&Header, sizeof Header) != static_cast<int64_t>(sizeof Header))
      Fail("SetGDBName: the data file \"" + GDD + "\" is shorter than its 260-byte header.");
  }
  // New items must not reuse an identifier, whatever the header says.
  for (const TgdbData& D : Sum)
    Header.HighestID = std::max(Header.HighestID, D.ItemId);

  // Index files are derived data, but they are also the last trace of entries a damaged or
  // foreign summary has lost: they are mended from the summary only when it holds everything
  // they name.
  TIxItemIDRecArray Ix0;
  std::array<TIxLLRecArray, kGdbBounds> IxLL;
  TIxFile Files[5];
  Files[0] = LoadIndex(
      IX[0], Sum, [](const TgdbData& D) { return D.ItemId; }, Ix0);
  for (int b = 0; b < kGdbBounds; ++b)
    Files[b + 1] = LoadIndex(
        IX[b + 1], Sum, [b](const TgdbData& D) { return BoundOf(D, TgdbBound(b)); }, IxLL[b]);
  const std::string Remedy = "; remove the index files to rebuild them from the summary.";
  for (int i = 0; i < 5; ++i)
    if (Files[i].Count > static_cast<int64_t>(Sum.size()))
      Fail("SetGDBName: the index file \"" + IX[i] + "\" holds " + std::to_string(Files[i].Count) +
           " entries, more than the " + std::to_string(Sum.size()) + " of the summary file \"" +
           GDS + "\"" + Remedy);
  if (Files[0].Exists && !Files[0].Good) {
    std::vector<int32_t> Ids(Sum.size());
    for (std::size_t e = 0; e < Sum.size(); ++e)
      Ids[e] = Sum[e].ItemId;
    std::sort(Ids.begin(), Ids.end());
    for (const TIxItemIDRec& R : Ix0)
      if (!std::binary_search(Ids.begin(), Ids.end(), R.ItemID))
        Fail("SetGDBName: the index file \"" + IX[0] + "\" names the item identifier " +
             std::to_string(R.ItemID) + ", which the summary file \"" + GDS + "\" does not hold" +
             Remedy);
  }

  if (!SumExists) TFileStream Created(GDS, fmCreate);
  if (!DataExists) {
    TFileStream F(GDD, fmCreate);
    F.WriteBuffer(&Header, sizeof Header);
  }

  FNameGDS = GDS;
  FNameGDD = GDD;
  for (int i = 0; i < 5; ++i)
    FNameIX[i] = IX[i];
  FSumData = std::move(Sum);
  FNumSumItems = static_cast<int32_t>(FSumData.size());
  FSystemData = Header;
  FIx0ItemId = std::move(Ix0);
  FIxLL = std::move(IxLL);
  FIxCount = FNumSumItems;
  FIxPending = 0;
  FChanged = false;
  InvalidateBoxTree();
  for (int32_t i = 0; i < 5; ++i) {
    if (Files[i].Good) continue;
    RebuildIndex(i);
    // A missing file holds nothing to lose; one that disagrees waits for the next change, so
    // that merely reading a database never rewrites it.
    if (Files[i].Exists)
      FIxPending |= static_cast<uint8_t>(1u << i);
    else
      SaveIndex(i);
  }
}

// ---- Header ----

void TGeoDB::WriteHeader(const char* Operation) {
  try {
    FChanged = true;
    TFileUse F(FDataFile, FNameGDD, true, FLazyWrite);
    F->Seek(0, soFromBeginning);
    F->WriteBuffer(&FSystemData, sizeof FSystemData);
  } catch (const EInOutError&) {
    Fail(std::string(Operation) + ": cannot open database.");
  } catch (const EStreamError&) {
    Fail(std::string(Operation) + ": cannot open database.");
  }
}

void TGeoDB::SetDescription(const std::string& Value) {
  if (!IsOpen()) return;
  const std::string Bytes = Utf8ToCp1252(Value);
  FSystemData.Description = TShortString<63>::FromBytes(std::string_view(Bytes).substr(0, 60));
  WriteHeader("SetDescription");
}

void TGeoDB::SetRevision(int32_t Value) {
  if (!IsOpen()) return;
  FSystemData.Revision = Value;
  WriteHeader("SetRevision");
}

void TGeoDB::SetLazyWrite(bool Value) {
  if (Value == FLazyWrite) return;
  FLazyWrite = Value;
  if (!Value) {
    CloseCachedFiles();
    if (FIxPending == 0 || FChanged) WriteAllIndexes();
  }
}

TgdbData TGeoDB::GetSumdata(int32_t ix) const {
  if (FNumSumItems == 0) {
    TgdbData D;
    ClearGdbData(D);
    return D;
  }
  return FSumData[static_cast<std::size_t>(std::clamp(ix, 1, FNumSumItems) - 1)];
}

// ---- Indexes ----

void TGeoDB::SortIxInto(TIxLLRecArray& Ix, const TIxLLRec& Rec) {
  if (!Ix.empty()) gdbix::InsertOne(Ix, Rec);
}

void TGeoDB::SortIxItemIDInto(TIxItemIDRecArray& Ix, const TIxItemIDRec& Rec) {
  if (!Ix.empty()) gdbix::InsertOne(Ix, Rec);
}

void TGeoDB::FlushPendingIndex() const {
  if (FIxCount >= FNumSumItems) return;
  const auto First = static_cast<std::size_t>(FIxCount);
  const std::size_t K = static_cast<std::size_t>(FNumSumItems) - First;
  {
    TIxItemIDRecArray New(K);
    for (std::size_t j = 0; j < K; ++j)
      New[j] = TIxItemIDRec{FSumData[First + j].ItemId, static_cast<int32_t>(First + j)};
    gdbix::InsertBatch<TIxItemIDRec>(FIx0ItemId, New);
  }
  TIxLLRecArray New(K);
  for (int b = 0; b < kGdbBounds; ++b) {
    for (std::size_t j = 0; j < K; ++j)
      New[j] =
          TIxLLRec{BoundOf(FSumData[First + j], TgdbBound(b)), static_cast<int32_t>(First + j)};
    gdbix::InsertBatch<TIxLLRec>(FIxLL[static_cast<std::size_t>(b)], New);
  }
  FIxCount = FNumSumItems;
}

void TGeoDB::RebuildIndex(int32_t i) const {
  const std::size_t N = FSumData.size();
  if (i == 0) {
    TIxItemIDRecArray New(N);
    for (std::size_t e = 0; e < N; ++e)
      New[e] = TIxItemIDRec{FSumData[e].ItemId, static_cast<int32_t>(e)};
    FIx0ItemId.clear();
    gdbix::InsertBatch<TIxItemIDRec>(FIx0ItemId, New);
    return;
  }
  const auto B = static_cast<TgdbBound>(i - 1);
  TIxLLRecArray New(N);
  for (std::size_t e = 0; e < N; ++e)
    New[e] = TIxLLRec{BoundOf(FSumData[e], B), static_cast<int32_t>(e)};
  FIxLL[B].clear();
  gdbix::InsertBatch<TIxLLRec>(FIxLL[B], New);
}

void TGeoDB::RecalcIndexes() {
  if (!IsOpen()) return;
  for (int32_t i = 0; i < 5; ++i)
    RebuildIndex(i);
  FIxCount = FNumSumItems;
  FChanged = true;
  if (!FLazyWrite) WriteAllIndexes();
}

void TGeoDB::InsertIntoIndex(int32_t DBEntry, const TgdbData& GdbData) {
  const int32_t E = DBEntry - 1;
  gdbix::InsertOne(FIx0ItemId, TIxItemIDRec{GdbData.ItemId, E});
  for (int b = 0; b < kGdbBounds; ++b)
    gdbix::InsertOne(FIxLL[static_cast<std::size_t>(b)],
                     TIxLLRec{BoundOf(GdbData, TgdbBound(b)), E});
}

namespace {

template <class Rec> void RemoveFrom(std::vector<Rec>& Ix, int32_t Count, int32_t Entry) {
  const auto N = std::min(static_cast<std::size_t>(Count), Ix.size());
  for (std::size_t p = 0; p < N; ++p) {
    if (Ix[p].index != Entry) continue;
    std::move(Ix.begin() + static_cast<std::ptrdiff_t>(p) + 1,
              Ix.begin() + static_cast<std::ptrdiff_t>(N),
              Ix.begin() + static_cast<std::ptrdiff_t>(p));
    return;
  }
}

} // namespace

void TGeoDB::RemoveIndexEntries(int32_t DBEntry) {
  RemoveFrom(FIx0ItemId, FNumSumItems, DBEntry - 1);
  for (TIxLLRecArray& Ix : FIxLL)
    RemoveFrom(Ix, FNumSumItems, DBEntry - 1);
}

namespace {

template <class Rec> Rec Accessed(const std::vector<Rec>& Ix, int32_t ix) {
  if (Ix.empty()) return Rec{};
  Rec R = Ix[static_cast<std::size_t>(std::clamp(ix, 1, static_cast<int32_t>(Ix.size())) - 1)];
  ++R.index;
  return R;
}

} // namespace

TIxItemIDRec TGeoDB::GetIxItemID(int32_t ix) const {
  FlushPendingIndex();
  return Accessed(FIx0ItemId, ix);
}
TIxLLRec TGeoDB::GetIxLatLow(int32_t ix) const {
  FlushPendingIndex();
  return Accessed(FIxLL[gbLatLow], ix);
}
TIxLLRec TGeoDB::GetIxLatHigh(int32_t ix) const {
  FlushPendingIndex();
  return Accessed(FIxLL[gbLatHigh], ix);
}
TIxLLRec TGeoDB::GetIxLongLow(int32_t ix) const {
  FlushPendingIndex();
  return Accessed(FIxLL[gbLongLow], ix);
}
TIxLLRec TGeoDB::GetIxLongHigh(int32_t ix) const {
  FlushPendingIndex();
  return Accessed(FIxLL[gbLongHigh], ix);
}

int32_t TGeoDB::SearchForItemID(int32_t ItemID) const {
  FlushPendingIndex();
  const auto [P, Found] =
      gdbix::Bisect(FIx0ItemId.data(), static_cast<int64_t>(FIx0ItemId.size()), ItemID);
  return Found ? FIx0ItemId[static_cast<std::size_t>(P)].index + 1 : 0;
}

int32_t TGeoDB::GetClosestItemIDIx(int32_t ItemID) const {
  FlushPendingIndex();
  return static_cast<int32_t>(
      gdbix::Bisect(FIx0ItemId.data(), static_cast<int64_t>(FIx0ItemId.size()), ItemID).first + 1);
}

namespace {

int32_t Closest(const TIxLLRecArray& Ix, double V) {
  return static_cast<int32_t>(gdbix::Bisect(Ix.data(), static_cast<int64_t>(Ix.size()), V).first +
                              1);
}

} // namespace

int32_t TGeoDB::GetClosestLatLowIx(double Latit) const {
  FlushPendingIndex();
  return Closest(FIxLL[gbLatLow], Latit);
}
int32_t TGeoDB::GetClosestLatHighIx(double Latit) const {
  FlushPendingIndex();
  return Closest(FIxLL[gbLatHigh], Latit);
}
int32_t TGeoDB::GetClosestLongLowIx(double Longit) const {
  FlushPendingIndex();
  return Closest(FIxLL[gbLongLow], Longit);
}
int32_t TGeoDB::GetClosestLongHighIx(double Longit) const {
  FlushPendingIndex();
  return Closest(FIxLL[gbLongHigh], Longit);
}

void TGeoDB::SaveIndex(int32_t i) {
  if (FNameIX[0].empty() || i < 0 || i > 4) return;
  FlushPendingIndex();
  if (i == 0) {
    ReplaceFileAtomically(FNameIX[0], FIx0ItemId.data(),
                          static_cast<int64_t>(FIx0ItemId.size()) * kGdbIndexRecSize);
  } else {
    const TIxLLRecArray& Ix = FIxLL[static_cast<std::size_t>(i - 1)];
    ReplaceFileAtomically(FNameIX[i], Ix.data(),
                          static_cast<int64_t>(Ix.size()) * kGdbIndexRecSize);
  }
  FIxPending &= static_cast<uint8_t>(~(1u << i));
}

void TGeoDB::WriteAllIndexes() {
  for (int32_t i = 0; i < 5; ++i)
    SaveIndex(i);
}

void TGeoDB::WriteIndexesOnClose() {
  if (FIxPending != 0 ? FChanged : FLazyWrite) WriteAllIndexes();
}

} // namespace qeb
