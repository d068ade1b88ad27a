// TGeoDB: the file set (opening, validation, closing), the header and the five indexes.
#include "qebgeolib/geodb/geodb.h"

#include <algorithm>
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

void GdbRenameOver(const std::string& From, const std::string& To) {
  if (std::rename(From.c_str(), To.c_str()) != 0)
    throw EInOutError(errno, "Cannot rename file", From);
}

void GdbReplaceFile(const std::string& Name, const void* Bytes, int64_t Count) {
  const std::string Tmp = Name + ".tmp";
  try {
    TFileStream F(Tmp, fmCreate);
    F.WriteBuffer(Bytes, Count);
  } catch (...) {
    DeleteFile(Tmp);
    throw;
  }
  try {
    GdbRenameOver(Tmp, Name);
  } catch (...) {
    DeleteFile(Tmp);
    throw;
  }
}

namespace {

bool BadBounds(const TgdbData& D) {
  return std::isnan(D.LatLow) || std::isnan(D.LatHigh) || std::isnan(D.LongLow) ||
         std::isnan(D.LongHigh);
}

// The key each index takes from a summary record.
float LLKey(const TgdbData& D, int32_t i) {
  switch (i) {
  case 1:
    return D.LatLow;
  case 2:
    return D.LatHigh;
  case 3:
    return D.LongLow;
  default:
    return D.LongHigh;
  }
}

// Reads an index file and checks it against the summary: whole records, one entry per summary
// entry, each entry once, keys equal to the record's field and ascending. False means the index
// must be rebuilt; a file that cannot be read counts as damaged too.
template <class Rec, class KeyOf>
bool LoadIndex(const std::string& Name, const std::vector<TgdbData>& Sum, KeyOf KeyOfRecord,
               std::vector<Rec>& Ix) {
  Ix.clear();
  if (!FileExists(Name)) return false;
  try {
    TFileStream F(Name, fmOpenRead);
    const int64_t Size = F.GetSize();
    if (Size != static_cast<int64_t>(Sum.size()) * kGdbIndexRecSize) return false;
    Ix.resize(Sum.size());
    F.ReadBuffer(Ix.data(), Size);
  } catch (const std::runtime_error&) {
    Ix.clear();
    return false;
  }
  std::vector<uint8_t> Seen(Sum.size(), 0);
  for (std::size_t p = 0; p < Ix.size(); ++p) {
    const int32_t E = Ix[p].index;
    if (E < 0 || static_cast<std::size_t>(E) >= Sum.size() || Seen[static_cast<std::size_t>(E)])
      return false;
    Seen[static_cast<std::size_t>(E)] = 1;
    if (!(gdbix::Key(Ix[p]) == KeyOfRecord(Sum[static_cast<std::size_t>(E)]))) return false;
    if (p > 0 && gdbix::Key(Ix[p]) < gdbix::Key(Ix[p - 1])) return false;
  }
  return true;
}

} // namespace

// ---- Lifecycle ----

TGeoDB::TGeoDB(TComponent* AOwner) : TComponent(AOwner) {}

TGeoDB::~TGeoDB() {
  // A destructor cannot report a failed write; the next opening finds the index files stale and
  // rebuilds them from the summary.
  try {
    if (FLazyWrite) WriteAllIndexes();
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
    if (FLazyWrite) WriteAllIndexes();
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
  FIx1LatLo.clear();
  FIx2LatHi.clear();
  FIx3LongLo.clear();
  FIx4LongHi.clear();
  FIxCount = 0;
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
    if (FileExists(GdbGcData(B))) GdbRenameOver(GdbGcData(B), GDD);
    if (FileExists(GdbGcSummary(B))) GdbRenameOver(GdbGcSummary(B), GDS);
    DeleteFile(GdbGcMarker(B));
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

  // Index files are derived data: whatever is wrong with them is mended from the summary.
  bool Good[5];
  Good[0] = LoadIndex(
      IX[0], Sum, [](const TgdbData& D) { return D.ItemId; }, FIx0ItemId);
  TIxLLRecArray* LL[5] = {nullptr, &FIx1LatLo, &FIx2LatHi, &FIx3LongLo, &FIx4LongHi};
  for (int32_t i = 1; i < 5; ++i)
    Good[i] = LoadIndex(
        IX[i], Sum, [i](const TgdbData& D) { return LLKey(D, i); }, *LL[i]);

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
  FIxCount = FNumSumItems;
  InvalidateBoxTree();
  for (int32_t i = 0; i < 5; ++i) {
    if (Good[i]) continue;
    RebuildIndex(i);
    try {
      SaveIndex(i);
    } catch (const std::runtime_error&) {
      // A stale index on read-only media: the rebuilt one serves from memory.
      if (!FileExists(IX[i])) throw;
    }
  }
}

// ---- Header ----

void TGeoDB::WriteHeader(const char* Operation) {
  try {
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
    WriteAllIndexes();
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
  TIxLLRecArray* LL[5] = {nullptr, &FIx1LatLo, &FIx2LatHi, &FIx3LongLo, &FIx4LongHi};
  TIxLLRecArray New(K);
  for (int32_t i = 1; i < 5; ++i) {
    for (std::size_t j = 0; j < K; ++j)
      New[j] = TIxLLRec{LLKey(FSumData[First + j], i), static_cast<int32_t>(First + j)};
    gdbix::InsertBatch<TIxLLRec>(*LL[i], New);
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
  TIxLLRecArray* LL[5] = {nullptr, &FIx1LatLo, &FIx2LatHi, &FIx3LongLo, &FIx4LongHi};
  TIxLLRecArray New(N);
  for (std::size_t e = 0; e < N; ++e)
    New[e] = TIxLLRec{LLKey(FSumData[e], i), static_cast<int32_t>(e)};
  LL[i]->clear();
  gdbix::InsertBatch<TIxLLRec>(*LL[i], New);
}

void TGeoDB::RecalcIndexes() {
  if (!IsOpen()) return;
  for (int32_t i = 0; i < 5; ++i)
    RebuildIndex(i);
  FIxCount = FNumSumItems;
  if (!FLazyWrite) WriteAllIndexes();
}

void TGeoDB::InsertIntoIndex(int32_t DBEntry, const TgdbData& GdbData) {
  const int32_t E = DBEntry - 1;
  gdbix::InsertOne(FIx0ItemId, TIxItemIDRec{GdbData.ItemId, E});
  gdbix::InsertOne(FIx1LatLo, TIxLLRec{GdbData.LatLow, E});
  gdbix::InsertOne(FIx2LatHi, TIxLLRec{GdbData.LatHigh, E});
  gdbix::InsertOne(FIx3LongLo, TIxLLRec{GdbData.LongLow, E});
  gdbix::InsertOne(FIx4LongHi, TIxLLRec{GdbData.LongHigh, E});
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
  RemoveFrom(FIx1LatLo, FNumSumItems, DBEntry - 1);
  RemoveFrom(FIx2LatHi, FNumSumItems, DBEntry - 1);
  RemoveFrom(FIx3LongLo, FNumSumItems, DBEntry - 1);
  RemoveFrom(FIx4LongHi, FNumSumItems, DBEntry - 1);
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
  return Accessed(FIx1LatLo, ix);
}
TIxLLRec TGeoDB::GetIxLatHigh(int32_t ix) const {
  FlushPendingIndex();
  return Accessed(FIx2LatHi, ix);
}
TIxLLRec TGeoDB::GetIxLongLow(int32_t ix) const {
  FlushPendingIndex();
  return Accessed(FIx3LongLo, ix);
}
TIxLLRec TGeoDB::GetIxLongHigh(int32_t ix) const {
  FlushPendingIndex();
  return Accessed(FIx4LongHi, ix);
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
  return Closest(FIx1LatLo, Latit);
}
int32_t TGeoDB::GetClosestLatHighIx(double Latit) const {
  FlushPendingIndex();
  return Closest(FIx2LatHi, Latit);
}
int32_t TGeoDB::GetClosestLongLowIx(double Longit) const {
  FlushPendingIndex();
  return Closest(FIx3LongLo, Longit);
}
int32_t TGeoDB::GetClosestLongHighIx(double Longit) const {
  FlushPendingIndex();
  return Closest(FIx4LongHi, Longit);
}

void TGeoDB::SaveIndex(int32_t i) {
  if (FNameIX[0].empty() || i < 0 || i > 4) return;
  FlushPendingIndex();
  if (i == 0) {
    GdbReplaceFile(FNameIX[0], FIx0ItemId.data(),
                   static_cast<int64_t>(FIx0ItemId.size()) * kGdbIndexRecSize);
    return;
  }
  const TIxLLRecArray* LL[5] = {nullptr, &FIx1LatLo, &FIx2LatHi, &FIx3LongLo, &FIx4LongHi};
  GdbReplaceFile(FNameIX[i], LL[i]->data(), static_cast<int64_t>(LL[i]->size()) * kGdbIndexRecSize);
}

void TGeoDB::WriteAllIndexes() {
  for (int32_t i = 0; i < 5; ++i)
    SaveIndex(i);
}

} // namespace qeb
