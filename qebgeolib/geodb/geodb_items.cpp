// TGeoDB: adding, replacing, deleting and reading back items, meta information and name search.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

#include "qebgeolib/companion/corelib/filesys.h"
#include "qebgeolib/companion/corelib/stringl.h"
#include "qebgeolib/geodb/detail/boxtree.h"
#include "qebgeolib/geodb/detail/fileset.h"
#include "qebgeolib/geodb/detail/indexes.h"
#include "qebgeolib/geodb/geodb.h"
#include "qebgeolib/platform/base/sysutils.h"

namespace qeb {

using namespace detail; // the internal pieces of this module

struct TGeoDB::TSource {
  std::string Path;
  std::optional<TFileStream> File;
  int64_t Size = 0;
  TDateTime Date = 0;
};

namespace {

constexpr int32_t kMaxInt32 = std::numeric_limits<int32_t>::max();

const TgdbPolygon& NoPoints() {
  static const TgdbPolygon Empty;
  return Empty;
}

const TMetaInfo& NoMeta() {
  static const TMetaInfo Empty;
  return Empty;
}

// A stored name: the characters after the length are blanks.
TgdbName BlankName(const TgdbName& Name) {
  TgdbName R;
  std::memset(R.Chars, ' ', sizeof R.Chars);
  const std::string_view B = Name.Bytes();
  std::memcpy(R.Chars, B.data(), B.size());
  R.Len = static_cast<uint8_t>(B.size());
  return R;
}

bool AnyNaN(float A, float B, float C, float D) {
  return std::isnan(A) || std::isnan(B) || std::isnan(C) || std::isnan(D);
}

// Letter case of Windows-1252: ASCII, the Latin-1 letters and the four pairs in 0x8A..0x9F.
uint8_t Fold1252(uint8_t C) {
  if ((C >= 'A' && C <= 'Z') || (C >= 0xC0 && C <= 0xDE && C != 0xD7)) return C + 32;
  switch (C) {
  case 0x8A:
  case 0x8C:
  case 0x8E:
    return C + 16;
  case 0x9F:
    return 0xFF;
  default:
    return C;
  }
}

bool SameName(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  for (std::size_t i = 0; i < A.size(); ++i)
    if (Fold1252(static_cast<uint8_t>(A[i])) != Fold1252(static_cast<uint8_t>(B[i]))) return false;
  return true;
}

// The data of an entry lie between the header and the end of a file of FileSize bytes.
bool PolygonInFile(const TgdbData& D, int64_t FileSize) {
  return D.NumPoints >= 0 && GdbRangeInFile(D.BlobOffset, int64_t{D.NumPoints} * 8, FileSize);
}
bool MetaInFile(const TgdbData& D, int64_t FileSize) {
  return GdbRangeInFile(D.BlobOffset, kGdbMetaSize, FileSize);
}
bool BlobInFile(const TgdbData& D, int64_t FileSize) {
  return D.Size >= 0 && GdbRangeInFile(D.BlobOffset, int64_t{kGdbMetaSize} + D.Size, FileSize);
}

} // namespace

// ---- Building and appending items ----

void TGeoDB::CheckItemArgs(const char* Operation, const TgdbItemArgs& Item) const {
  const std::string Op(Operation);
  if (IsPolygonKind(Item.ItemType)) {
    if (Item.Polygon != nullptr && Item.Polygon->size() > static_cast<std::size_t>(kMaxInt32))
      Fail(Op + ": too many points.");
    return; // the bounds come from the points
  }
  if (AnyNaN(Item.LatLow, Item.LatHigh, Item.LongLow, Item.LongHigh))
    Fail(Op + ": invalid bounds.");
  if (Item.ItemType == gitBLOB && !Item.BLOBFromFile &&
      (Item.SizeOfBLOBData < 0 || (Item.SizeOfBLOBData > 0 && Item.PBLOBData == nullptr)))
    Fail(Op + ": invalid BLOB data.");
}

void TGeoDB::OpenSource(const char* Operation, const std::string& Path, TSource& Source) const {
  Source.Path = Path;
  Source.File.emplace(Path, fmOpenRead);
  Source.Size = Source.File->GetSize();
  if (Source.Size > kMaxInt32)
    Fail(std::string(Operation) + ": the file \"" + Path + "\" is too large for a BLOB.");
  struct stat St {};
  if (::stat(Path.c_str(), &St) == 0)
    Source.Date = GdbUnixToDateTime(St.st_mtim.tv_sec, St.st_mtim.tv_nsec);
}

TgdbData TGeoDB::BuildItem(const char* Operation, int32_t ItemId, const TgdbItemArgs& Item,
                           TSource* Source) {
  const TgdbPolygon& Polygon = Item.Polygon != nullptr ? *Item.Polygon : NoPoints();
  const TMetaInfo& MInfo = Item.MInfo != nullptr ? *Item.MInfo : NoMeta();
  const TgdbItem ItemType = Item.ItemType;
  const int32_t SizeOfBLOBData = Item.SizeOfBLOBData;
  TgdbData R;
  R.Name = BlankName(Item.Name);
  R.BlobOffset = -1;
  R.ItemId = ItemId;
  R.Altitude = Item.Altitude;
  R.ClassFlag = Item.ClassNumber;
  R.Tag = Item.UserTag;
  R.Date = Item.Date;
  R.StateFlag = Item.StateFlag;
  R.LatLow = Item.LatLow;
  R.LatHigh = Item.LatHigh;
  R.LongLow = Item.LongLow;
  R.LongHigh = Item.LongHigh;
  R.ItemKind = ItemType;

  // Appends at the end of the data file; a failed write cuts the file back, so no half item
  // stays behind.
  auto Append = [&](auto&& Write) {
    TFileUse F(FDataFile, FNameGDD, true, FLazyWrite);
    const int64_t End = F->Seek(0, soFromEnd);
    if (End > kMaxInt32) Fail(std::string(Operation) + ": the data file is full.");
    R.BlobOffset = static_cast<int32_t>(End);
    try {
      Write(*F);
    } catch (...) {
      try {
        F->SetSize(End);
      } catch (const std::exception&) {
      }
      throw;
    }
  };

  if (IsPolygonKind(ItemType)) {
    R.Closed = Item.ClosedLine;
    R.LatLow = 90;
    R.LatHigh = -90;
    R.LongLow = 180;
    R.LongHigh = -180;
    for (const TSCoords& P : Polygon) {
      if (P.Latit < R.LatLow) R.LatLow = P.Latit;
      if (P.Latit > R.LatHigh) R.LatHigh = P.Latit;
      if (P.Longit < R.LongLow) R.LongLow = P.Longit;
      if (P.Longit > R.LongHigh) R.LongHigh = P.Longit;
    }
    const auto N = static_cast<int64_t>(Polygon.size());
    R.NumPoints = static_cast<int32_t>(N);
    Append([&](TFileStream& F) {
      constexpr int64_t Chunk = kGdbBlock / 8;
      for (int64_t First = 0; First < N; First += Chunk) {
        const int64_t Count = std::min(Chunk, N - First);
        F.WriteBuffer(Polygon.data() + First, Count * 8);
        if (FOnPercentDone)
          for (int64_t f = First; f < First + Count; ++f)
            Report(GdbPercent(static_cast<double>(f), static_cast<double>(N)));
      }
    });
  } else if (ItemType == gitBLOB && Source != nullptr) {
    R.Date = Source->Date;
    R.Size = static_cast<int32_t>(Source->Size);
    Append([&](TFileStream& F) {
      F.WriteBuffer(&MInfo, sizeof MInfo);
      std::vector<uint8_t> Buf(static_cast<std::size_t>(kGdbBlock));
      for (int64_t Done = 0; Done < Source->Size;) {
        const int64_t Want = std::min(kGdbBlock, Source->Size - Done);
        if (Source->File->Read(Buf.data(), Want) != Want)
          throw EInOutError(EIO, "Cannot read file", Source->Path);
        F.WriteBuffer(Buf.data(), Want);
        Done += Want;
        Report(GdbPercent(static_cast<double>(Done), static_cast<double>(Source->Size)));
      }
    });
  } else if (ItemType == gitBLOB) {
    R.Size = SizeOfBLOBData;
    Append([&](TFileStream& F) {
      F.WriteBuffer(&MInfo, sizeof MInfo);
      const auto* P = static_cast<const uint8_t*>(Item.PBLOBData);
      int64_t Off = 0;
      for (int64_t k = 1; Off + kGdbBlock <= SizeOfBLOBData; ++k, Off += kGdbBlock) {
        F.WriteBuffer(P + Off, kGdbBlock);
        Report(GdbPercent(static_cast<double>(k * kGdbBlock), SizeOfBLOBData));
      }
      if (Off < SizeOfBLOBData) F.WriteBuffer(P + Off, SizeOfBLOBData - Off);
    });
  }
  return R;
}

void TGeoDB::WriteSummaryRecord(int32_t Position, const TgdbData& Rec, bool Append) {
  FChanged = true;
  TFileUse F(FSumFile, FNameGDS, true, FLazyWrite);
  const int64_t At = int64_t{Position} * kGdbRecordSize;
  F->Seek(At, soFromBeginning);
  try {
    F->WriteBuffer(&Rec, sizeof Rec);
  } catch (...) {
    // The summary must stay a whole number of records.
    if (Append) try {
        F->SetSize(At);
      } catch (const std::exception&) {
      }
    throw;
  }
}

int32_t TGeoDB::AddData(const TgdbItemArgs& Item) {
  if (!IsOpen()) return -1;
  if (FNumSumItems == kMaxInt32) Fail("AddData: the database is full.");
  CheckItemArgs("AddData", Item);
  // The source is opened first: a missing file changes nothing.
  TSource Source;
  const bool FromFile = Item.ItemType == gitBLOB && Item.BLOBFromFile;
  if (FromFile) OpenSource("AddData", SourcePath(Item), Source);
  // Room for the record before the files change, so that memory and files stay alike.
  if (FSumData.size() == FSumData.capacity()) FSumData.reserve(FSumData.size() * 2 + 16);

  Report(0);
  ++FSystemData.HighestID;
  WriteHeader("AddData");
  const TgdbData Rec =
      BuildItem("AddData", FSystemData.HighestID, Item, FromFile ? &Source : nullptr);
  WriteSummaryRecord(FNumSumItems, Rec, true);
  FSumData.push_back(Rec);
  ++FNumSumItems;
  // The index insertion waits in FIxCount until an index is needed (FlushPendingIndex).
  if (!FLazyWrite) WriteAllIndexes();
  Report(100);
  return FNumSumItems;
}

TGeoDB::TgdbItemArgs TGeoDB::ItemArgs(std::string_view Name, TgdbItem ItemType, TDateTime Date,
                                      int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                                      float LongHigh, float Altitude, uint8_t ClassNumber,
                                      int32_t UserTag) {
  TgdbItemArgs A;
  A.Name = TgdbName::FromString(Name);
  A.ItemType = ItemType;
  A.ClassNumber = ClassNumber;
  A.Date = Date;
  A.StateFlag = StateFlag;
  A.LatLow = LatLow;
  A.LatHigh = LatHigh;
  A.LongLow = LongLow;
  A.LongHigh = LongHigh;
  A.Altitude = Altitude;
  A.UserTag = UserTag;
  return A;
}

void TGeoDB::ReplaceData(int32_t DBEntry, const TgdbItemArgs& Item) {
  if (!IsOpen() || DBEntry < 1 || DBEntry > FNumSumItems) return;
  CheckItemArgs("ReplaceData", Item);
  TSource Source;
  const bool FromFile = Item.ItemType == gitBLOB && Item.BLOBFromFile;
  if (FromFile) OpenSource("ReplaceData", SourcePath(Item), Source);
  FlushPendingIndex();

  Report(0);
  const auto E = static_cast<std::size_t>(DBEntry - 1);
  const TgdbData Rec =
      BuildItem("ReplaceData", FSumData[E].ItemId, Item, FromFile ? &Source : nullptr);
  WriteSummaryRecord(DBEntry - 1, Rec, false);
  FSumData[E] = Rec;
  RemoveIndexEntries(DBEntry);
  InsertIntoIndex(DBEntry, Rec);
  if (FBoxTree && DBEntry - 1 < FBoxTree->Covered()) InvalidateBoxTree();
  if (!FLazyWrite) WriteAllIndexes();
  Report(100);
}

void TGeoDB::DeleteData(int32_t DbEntry) {
  if (!IsOpen() || DbEntry < 1 || DbEntry > FNumSumItems) return;
  FlushPendingIndex();
  FChanged = true;
  const int32_t Last = FNumSumItems - 1;
  // The indexes change first and their files are written before the summary: interrupted in
  // between, the files name fewer entries than the summary, which opening mends (the deletion
  // is undone), never more, which it refuses. A failure restores the indexes in memory.
  const TIxItemIDRecArray Saved0 = FIx0ItemId;
  const std::array<TIxLLRecArray, kGdbBounds> SavedLL = FIxLL;
  RemoveIndexEntries(DbEntry);
  auto Renumber = [&](auto& Ix) {
    for (std::size_t p = 0; p < static_cast<std::size_t>(FNumSumItems) && p < Ix.size(); ++p)
      if (Ix[p].index == Last) {
        Ix[p].index = DbEntry - 1;
        break;
      }
    Ix.resize(static_cast<std::size_t>(Last));
  };
  Renumber(FIx0ItemId);
  for (TIxLLRecArray& Ix : FIxLL)
    Renumber(Ix);
  try {
    if (!FLazyWrite) WriteAllIndexes();
    // The last record moves into the gap, then the file loses its last record: a crash between
    // the two leaves the moved item twice, never an item lost.
    TFileUse F(FSumFile, FNameGDS, true, FLazyWrite);
    F->Seek(int64_t{DbEntry - 1} * kGdbRecordSize, soFromBeginning);
    F->WriteBuffer(&FSumData[static_cast<std::size_t>(Last)], kGdbRecordSize);
    F->SetSize(int64_t{Last} * kGdbRecordSize);
  } catch (...) {
    FIx0ItemId = Saved0;
    FIxLL = SavedLL;
    throw;
  }
  FSumData[static_cast<std::size_t>(DbEntry - 1)] = FSumData[static_cast<std::size_t>(Last)];
  FSumData.pop_back();
  FNumSumItems = Last;
  FIxCount = Last;
  InvalidateBoxTree();
}

void TGeoDB::UpdateBasicData(int32_t DbEntry, const TgdbData& GdbData) {
  if (!IsOpen() || DbEntry < 1 || DbEntry > FNumSumItems) return;
  if (AnyNaN(GdbData.LatLow, GdbData.LatHigh, GdbData.LongLow, GdbData.LongHigh))
    Fail("UpdateBasicData: invalid bounds.");
  FlushPendingIndex();
  const auto E = static_cast<std::size_t>(DbEntry - 1);
  const TgdbData& Old = FSumData[E];
  TgdbData R;
  R.ItemId = Old.ItemId;
  R.Name = BlankName(GdbData.Name);
  R.Altitude = GdbData.Altitude;
  R.ClassFlag = GdbData.ClassFlag;
  R.Tag = GdbData.Tag;
  R.BlobOffset = Old.BlobOffset;
  R.Date = GdbData.Date;
  R.StateFlag = GdbData.StateFlag;
  R.LatLow = GdbData.LatLow;
  R.LatHigh = GdbData.LatHigh;
  R.LongLow = GdbData.LongLow;
  R.LongHigh = GdbData.LongHigh;
  R.ItemKind = Old.ItemKind;
  R.NumPoints = Old.NumPoints;
  R.Closed = GdbData.Closed;
  WriteSummaryRecord(DbEntry - 1, R, false);
  FSumData[E] = R;
  RemoveIndexEntries(DbEntry);
  InsertIntoIndex(DbEntry, R);
  if (FBoxTree && DbEntry - 1 < FBoxTree->Covered()) InvalidateBoxTree();
  if (!FLazyWrite) WriteAllIndexes();
}

std::string TGeoDB::SourcePath(const TgdbItemArgs& Item) {
  if (!Item.SourceFile.empty() || Item.MInfo == nullptr) return Item.SourceFile;
  return Item.MInfo->FilePath.ToString();
}

// ---- Typed adding and replacing ----

int32_t TGeoDB::AddBorder(const std::string& Name, const TgdbPolygon& Polygon, bool ClosedLine,
                          TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh,
                          float LongLow, float LongHigh, float Altitude, uint8_t ClassNumber,
                          int32_t UserTag) {
  TgdbItemArgs A = ItemArgs(Name, gitBorder, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh,
                            Altitude, ClassNumber, UserTag);
  A.Polygon = &Polygon;
  A.ClosedLine = ClosedLine;
  return AddData(A);
}

int32_t TGeoDB::AddCity(const std::string& Name, const TgdbPolygon& Polygon, bool ClosedLine,
                        TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh,
                        float LongLow, float LongHigh, float Altitude, uint8_t ClassNumber,
                        int32_t UserTag) {
  TgdbItemArgs A = ItemArgs(Name, gitCity, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh,
                            Altitude, ClassNumber, UserTag);
  A.Polygon = &Polygon;
  A.ClosedLine = ClosedLine;
  return AddData(A);
}

int32_t TGeoDB::AddLake(const std::string& Name, const TgdbPolygon& Polygon, TDateTime Date,
                        int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                        float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag) {
  TgdbItemArgs A = ItemArgs(Name, gitLake, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh,
                            Altitude, ClassNumber, UserTag);
  A.Polygon = &Polygon;
  A.ClosedLine = true;
  return AddData(A);
}

int32_t TGeoDB::AddRiver(const std::string& Name, const TgdbPolygon& Polygon, TDateTime Date,
                         int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                         float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag) {
  TgdbItemArgs A = ItemArgs(Name, gitRiver, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh,
                            Altitude, ClassNumber, UserTag);
  A.Polygon = &Polygon;
  return AddData(A);
}

int32_t TGeoDB::AddRoad(const std::string& Name, const TgdbPolygon& Polygon, TDateTime Date,
                        int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                        float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag) {
  TgdbItemArgs A = ItemArgs(Name, gitRoad, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh,
                            Altitude, ClassNumber, UserTag);
  A.Polygon = &Polygon;
  return AddData(A);
}

int32_t TGeoDB::AddRoute(const std::string& Name, const TgdbPolygon& Polygon, TDateTime Date,
                         int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                         float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag) {
  TgdbItemArgs A = ItemArgs(Name, gitRoute, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh,
                            Altitude, ClassNumber, UserTag);
  A.Polygon = &Polygon;
  return AddData(A);
}

int32_t TGeoDB::AddTown(const std::string& Name, TDateTime Date, int32_t StateFlag,
                        TSCoords Location, float Altitude, uint8_t ClassNumber, int32_t UserTag) {
  TgdbItemArgs A = ItemArgs(Name, gitTown, Date, StateFlag, Location.Latit, Location.Latit,
                            Location.Longit, Location.Longit, Altitude, ClassNumber, UserTag);
  return AddData(A);
}

int32_t TGeoDB::AddBLOB(const std::string& FileName, TDateTime Date, int32_t StateFlag,
                        float LatLow, float LatHigh, float LongLow, float LongHigh, float Altitude,
                        uint8_t ClassNumber, int32_t UserTag, const TMetaInfo& MInfo) {
  return AddBLOB(FileName, FileName, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh, Altitude,
                 ClassNumber, UserTag, MInfo);
}

int32_t TGeoDB::AddBLOB(const std::string& FileName, const std::string& FNameInDB, TDateTime Date,
                        int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                        float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag,
                        const TMetaInfo& MInfo) {
  TMetaInfo M = MInfo;
  M.FilePath = TShortString<127>::FromString(FileName);
  TgdbItemArgs A = ItemArgs(StripPath(FNameInDB), gitBLOB, Date, StateFlag, LatLow, LatHigh,
                            LongLow, LongHigh, Altitude, ClassNumber, UserTag);
  A.MInfo = &M;
  A.BLOBFromFile = true;
  A.SourceFile = FileName;
  return AddData(A);
}

int32_t TGeoDB::AddBLOB(const std::string& FileName, const std::string& FNameInDB,
                        const std::string& OrgFilePath, TDateTime Date, int32_t StateFlag,
                        float LatLow, float LatHigh, float LongLow, float LongHigh, float Altitude,
                        uint8_t ClassNumber, int32_t UserTag, const TMetaInfo& MInfo) {
  const int32_t Result = AddBLOB(FileName, FNameInDB, Date, StateFlag, LatLow, LatHigh, LongLow,
                                 LongHigh, Altitude, ClassNumber, UserTag, MInfo);
  TMetaInfo M;
  if (Result > 0 && GetMetaInfo(FNumSumItems, M)) {
    M.FilePath = TShortString<127>::FromString(OrgFilePath);
    UpdateMetaInfo(FNumSumItems, M);
  }
  return Result;
}

int32_t TGeoDB::AddBLOB(const std::string& Name, TDateTime Date, int32_t StateFlag, float LatLow,
                        float LatHigh, float LongLow, float LongHigh, float Altitude,
                        uint8_t ClassNumber, int32_t UserTag, const TMetaInfo& MInfo,
                        const void* PBLOBData, int32_t SizeOfBLOBData) {
  TgdbItemArgs A = ItemArgs(Name, gitBLOB, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh,
                            Altitude, ClassNumber, UserTag);
  A.MInfo = &MInfo;
  A.PBLOBData = PBLOBData;
  A.SizeOfBLOBData = SizeOfBLOBData;
  return AddData(A);
}

int32_t TGeoDB::AddBLOB(const std::string& Name, TDateTime Date, int32_t StateFlag, float LatLow,
                        float LatHigh, float LongLow, float LongHigh, float Altitude,
                        uint8_t ClassNumber, int32_t UserTag, const TMetaInfo& MInfo,
                        TMemoryStream& Data) {
  if (Data.GetSize() > kMaxInt32) Fail("AddData: invalid BLOB data.");
  return AddBLOB(Name, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh, Altitude, ClassNumber,
                 UserTag, MInfo, Data.Memory(), static_cast<int32_t>(Data.GetSize()));
}

void TGeoDB::ReplaceBorder(int32_t DBEntry, const std::string& Name, const TgdbPolygon& Polygon,
                           bool ClosedLine, TDateTime Date, int32_t StateFlag, float LatLow,
                           float LatHigh, float LongLow, float LongHigh, float Altitude,
                           uint8_t ClassNumber, int32_t UserTag) {
  TgdbItemArgs A = ItemArgs(Name, gitBorder, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh,
                            Altitude, ClassNumber, UserTag);
  A.Polygon = &Polygon;
  A.ClosedLine = ClosedLine;
  ReplaceData(DBEntry, A);
}

void TGeoDB::ReplaceCity(int32_t DBEntry, const std::string& Name, const TgdbPolygon& Polygon,
                         bool ClosedLine, TDateTime Date, int32_t StateFlag, float LatLow,
                         float LatHigh, float LongLow, float LongHigh, float Altitude,
                         uint8_t ClassNumber, int32_t UserTag) {
  TgdbItemArgs A = ItemArgs(Name, gitCity, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh,
                            Altitude, ClassNumber, UserTag);
  A.Polygon = &Polygon;
  A.ClosedLine = ClosedLine;
  ReplaceData(DBEntry, A);
}

void TGeoDB::ReplaceLake(int32_t DBEntry, const std::string& Name, const TgdbPolygon& Polygon,
                         TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh,
                         float LongLow, float LongHigh, float Altitude, uint8_t ClassNumber,
                         int32_t UserTag) {
  TgdbItemArgs A = ItemArgs(Name, gitLake, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh,
                            Altitude, ClassNumber, UserTag);
  A.Polygon = &Polygon;
  A.ClosedLine = true;
  ReplaceData(DBEntry, A);
}

void TGeoDB::ReplaceRiver(int32_t DBEntry, const std::string& Name, const TgdbPolygon& Polygon,
                          TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh,
                          float LongLow, float LongHigh, float Altitude, uint8_t ClassNumber,
                          int32_t UserTag) {
  TgdbItemArgs A = ItemArgs(Name, gitRiver, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh,
                            Altitude, ClassNumber, UserTag);
  A.Polygon = &Polygon;
  ReplaceData(DBEntry, A);
}

void TGeoDB::ReplaceRoad(int32_t DBEntry, const std::string& Name, const TgdbPolygon& Polygon,
                         TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh,
                         float LongLow, float LongHigh, float Altitude, uint8_t ClassNumber,
                         int32_t UserTag) {
  TgdbItemArgs A = ItemArgs(Name, gitRoad, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh,
                            Altitude, ClassNumber, UserTag);
  A.Polygon = &Polygon;
  ReplaceData(DBEntry, A);
}

void TGeoDB::ReplaceRoute(int32_t DBEntry, const std::string& Name, const TgdbPolygon& Polygon,
                          TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh,
                          float LongLow, float LongHigh, float Altitude, uint8_t ClassNumber,
                          int32_t UserTag) {
  TgdbItemArgs A = ItemArgs(Name, gitRoute, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh,
                            Altitude, ClassNumber, UserTag);
  A.Polygon = &Polygon;
  ReplaceData(DBEntry, A);
}

void TGeoDB::ReplaceTown(int32_t DBEntry, const std::string& Name, TDateTime Date,
                         int32_t StateFlag, TSCoords Location, float Altitude, uint8_t ClassNumber,
                         int32_t UserTag) {
  TgdbItemArgs A = ItemArgs(Name, gitTown, Date, StateFlag, Location.Latit, Location.Latit,
                            Location.Longit, Location.Longit, Altitude, ClassNumber, UserTag);
  ReplaceData(DBEntry, A);
}

void TGeoDB::ReplaceBLOB(int32_t DBEntry, const std::string& FileName, TDateTime Date,
                         int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                         float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag,
                         const TMetaInfo& MInfo) {
  TMetaInfo M = MInfo;
  M.FilePath = TShortString<127>::FromString(FileName);
  TgdbItemArgs A = ItemArgs(StripPath(FileName), gitBLOB, Date, StateFlag, LatLow, LatHigh, LongLow,
                            LongHigh, Altitude, ClassNumber, UserTag);
  A.MInfo = &M;
  A.BLOBFromFile = true;
  A.SourceFile = FileName;
  ReplaceData(DBEntry, A);
}

void TGeoDB::ReplaceBLOB(int32_t DBEntry, const std::string& Name, TDateTime Date,
                         int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                         float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag,
                         const TMetaInfo& MInfo, const void* PBLOBData, int32_t SizeOfBLOBData) {
  TgdbItemArgs A = ItemArgs(Name, gitBLOB, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh,
                            Altitude, ClassNumber, UserTag);
  A.MInfo = &MInfo;
  A.PBLOBData = PBLOBData;
  A.SizeOfBLOBData = SizeOfBLOBData;
  ReplaceData(DBEntry, A);
}

void TGeoDB::ReplaceBLOB(int32_t DBEntry, const std::string& Name, TDateTime Date,
                         int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                         float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag,
                         const TMetaInfo& MInfo, TMemoryStream& Data) {
  if (Data.GetSize() > kMaxInt32) Fail("ReplaceData: invalid BLOB data.");
  ReplaceBLOB(DBEntry, Name, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh, Altitude,
              ClassNumber, UserTag, MInfo, Data.Memory(), static_cast<int32_t>(Data.GetSize()));
}

// ---- Reading items back ----

int32_t TGeoDB::RetrievalEntry(int32_t DBEntry) const {
  const int32_t E = std::max(DBEntry, 1);
  return E <= FNumSumItems ? E - 1 : -1;
}

bool TGeoDB::RetrievePolygon(int32_t DBEntry, TgdbPolygon& Polygon) {
  if (!IsOpen()) return false;
  Report(0);
  bool Ok = false;
  {
    TFileUse F(FDataFile, FNameGDD, false, FLazyWrite);
    const int32_t E = RetrievalEntry(DBEntry);
    const TgdbData* D = E >= 0 ? &FSumData[static_cast<std::size_t>(E)] : nullptr;
    if (D != nullptr && IsPolygonKind(D->ItemKind) && PolygonInFile(*D, F->GetSize())) {
      const int32_t N = D->NumPoints;
      TgdbPolygon Points(static_cast<std::size_t>(N));
      F->Seek(D->BlobOffset, soFromBeginning);
      F->ReadBuffer(Points.data(), int64_t{N} * 8);
      if (FOnPercentDone) {
        const int32_t Step = N / 100 + 1;
        for (int32_t i = Step; i <= N; i += Step)
          Report(GdbPercent(i, N));
      }
      Polygon = std::move(Points);
      Ok = true;
    }
  }
  Report(100);
  return Ok;
}

bool TGeoDB::RetrieveBLOB(int32_t DBEntry, const std::string& Filepath, TMetaInfo& MetaInfo) {
  if (!IsOpen()) return false;
  TFileUse F(FDataFile, FNameGDD, false, FLazyWrite);
  const int32_t E = RetrievalEntry(DBEntry);
  if (E < 0) return false;
  const TgdbData D = FSumData[static_cast<std::size_t>(E)];
  if (D.ItemKind != gitBLOB || !BlobInFile(D, F->GetSize())) return false;
  Report(0);
  F->Seek(D.BlobOffset, soFromBeginning);
  F->ReadBuffer(&MetaInfo, sizeof MetaInfo);
  std::string Path = Filepath;
  if (Path.empty() || Path.back() == '\\' || Path.back() == '/') {
    // The name comes from the file set: reduced, it can only name a file in that folder.
    const std::string Own = ReduceStringToFN83CompliantChars(D.Name.ToString());
    if (Own.empty()) Fail("RetrieveBLOB: invalid filename.");
    Path += Own;
  }
  TFileStream Out(Path, fmCreate);
  std::vector<uint8_t> Buf(static_cast<std::size_t>(kGdbBlock));
  for (int64_t Rest = D.Size; Rest > 0;) {
    const int64_t Count = std::min(kGdbBlock, Rest);
    F->ReadBuffer(Buf.data(), Count);
    Out.WriteBuffer(Buf.data(), Count);
    Rest -= Count;
    Report(std::max(0, GdbPercent(static_cast<double>(D.Size - Rest), D.Size)));
  }
  Report(100);
  return true;
}

bool TGeoDB::RetrieveBLOB(int32_t DBEntry, TMetaInfo& MetaInfo, void* PBLOBData,
                          int32_t SizeOfBLOBData) {
  if (!IsOpen()) return false;
  Report(0);
  bool Ok = false;
  {
    TFileUse F(FDataFile, FNameGDD, false, FLazyWrite);
    const int32_t E = RetrievalEntry(DBEntry);
    const TgdbData* D = E >= 0 ? &FSumData[static_cast<std::size_t>(E)] : nullptr;
    if (D != nullptr && D->ItemKind == gitBLOB && BlobInFile(*D, F->GetSize())) {
      F->Seek(D->BlobOffset, soFromBeginning);
      F->ReadBuffer(&MetaInfo, sizeof MetaInfo);
      if (SizeOfBLOBData < D->Size)
        Fail("RetrieveBLOB: BLOB to be retrieved is larger than SizeOfBlobData.");
      if (D->Size > 0 && PBLOBData == nullptr) Fail("RetrieveBLOB: no memory for the BLOB.");
      auto* P = static_cast<uint8_t*>(PBLOBData);
      for (int64_t Done = 0; Done < D->Size;) {
        const int64_t Count = std::min(kGdbBlock, D->Size - Done);
        F->ReadBuffer(P + Done, Count);
        Done += Count;
        Report(GdbPercent(static_cast<double>(Done), D->Size));
      }
      Ok = true;
    }
  }
  Report(100);
  return Ok;
}

bool TGeoDB::RetrieveBLOB(int32_t DBEntry, TMetaInfo& MetaInfo, TMemoryStream& BlobStream) {
  if (!IsOpen()) return false;
  Report(0);
  bool Ok = false;
  {
    TFileUse F(FDataFile, FNameGDD, false, FLazyWrite);
    const int32_t E = RetrievalEntry(DBEntry);
    const TgdbData* D = E >= 0 ? &FSumData[static_cast<std::size_t>(E)] : nullptr;
    const int64_t FileSize = F->GetSize();
    if (D != nullptr && D->ItemKind == gitBLOB) {
      if (BlobInFile(*D, FileSize)) {
        BlobStream.SetSize(D->Size);
        BlobStream.SetPosition(0);
        F->Seek(D->BlobOffset, soFromBeginning);
        F->ReadBuffer(&MetaInfo, sizeof MetaInfo);
        std::vector<uint8_t> Buf(static_cast<std::size_t>(kGdbBlock));
        for (int64_t Done = 0; Done < D->Size;) {
          const int64_t Count = std::min(kGdbBlock, D->Size - Done);
          F->ReadBuffer(Buf.data(), Count);
          BlobStream.WriteBuffer(Buf.data(), Count);
          Done += Count;
          Report(GdbPercent(static_cast<double>(Done), D->Size));
        }
        Ok = true;
      }
    } else if (D != nullptr && D->NumPoints >= 0 && D->NumPoints <= FileSize) {
      // Entries of other kinds size the stream by their count, as callers of this form have
      // always seen; a count no sound file can hold is not allocated.
      BlobStream.SetSize(D->NumPoints);
      BlobStream.SetPosition(0);
    }
  }
  Report(100);
  return Ok;
}

// ---- Meta information and search ----

bool TGeoDB::GetMetaInfo(int32_t DBEntry, TMetaInfo& MetaInfo) {
  if (!IsOpen() || DBEntry < 1 || DBEntry > FNumSumItems) return false;
  const TgdbData& D = FSumData[static_cast<std::size_t>(DBEntry - 1)];
  if (D.ItemKind != gitBLOB) return false;
  TFileUse F(FDataFile, FNameGDD, false, FLazyWrite);
  if (!MetaInFile(D, F->GetSize())) return false;
  F->Seek(D.BlobOffset, soFromBeginning);
  F->ReadBuffer(&MetaInfo, sizeof MetaInfo);
  return true;
}

bool TGeoDB::UpdateMetaInfo(int32_t DBEntry, const TMetaInfo& MetaInfo) {
  if (!IsOpen() || DBEntry < 1 || DBEntry > FNumSumItems) return false;
  const TgdbData& D = FSumData[static_cast<std::size_t>(DBEntry - 1)];
  if (D.ItemKind != gitBLOB) return false;
  TFileUse F(FDataFile, FNameGDD, true, FLazyWrite);
  if (!MetaInFile(D, F->GetSize())) return false;
  FChanged = true;
  F->Seek(D.BlobOffset, soFromBeginning);
  F->WriteBuffer(&MetaInfo, sizeof MetaInfo);
  return true;
}

int32_t TGeoDB::SearchData(const TgdbName& Name, TgdbItem ItemType, int32_t StartSearchAt,
                           uint8_t ClassNumber) const {
  const std::string_view Want = Name.Bytes();
  for (int32_t E = std::max(StartSearchAt, 1); E <= FNumSumItems; ++E) {
    const TgdbData& D = FSumData[static_cast<std::size_t>(E - 1)];
    if (ItemType != gitUndefined && D.ItemKind != ItemType) continue;
    if (ClassNumber != 0 && D.ClassFlag != ClassNumber) continue;
    if (SameName(D.Name.Bytes(), Want)) return E;
  }
  return 0;
}

int32_t TGeoDB::SearchData(const TgdbName& Name) const {
  return SearchData(Name, gitUndefined, 1, 0);
}

} // namespace qeb
