// TGeoDB: a file database of geographic items (borders, towns, cities, lakes, rivers, roads,
// routes and BLOBs) with an item-identifier index and four sorted bounding-box indexes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "qebgeolib/companion/corelib/base.h"
#include "qebgeolib/geodb/records.h"
#include "qebgeolib/platform/base/classes.h"
#include "qebgeolib/platform/base/streams.h"

namespace qeb {

namespace detail {
class TgdbBoxTree;
// The four bounds of an item's box; bound b is kept in index file b + 1.
enum TgdbBound : uint8_t { gbLatLow, gbLatHigh, gbLongLow, gbLongHigh };
inline constexpr int kGdbBounds = 4;
} // namespace detail

// A database is a set of seven files sharing a base name B: B.qebgi0 (index by item identifier),
// B.qebgi1 to B.qebgi4 (indexes of LatLow, LatHigh, LongLow and LongHigh), B.qebgds (the summary,
// one 120-byte TgdbData per item, in entry order) and B.qebgdd (a 260-byte header followed by the
// items' points and BLOB bytes). While a database is open the summary, the header and the indexes
// live in memory and are the truth; the summary and the header are rewritten at once by every
// change, the index files at once unless LazyWrite is set.
//
// Entry numbers (DBEntry) are 1-based positions in the summary and change when an item is
// deleted (the last entry takes the deleted one's number); item identifiers never change.
//
// Robustness beyond the plain file set:
// - Opening checks the summary (whole records, no NaN bounds) and the data file header (260
//   bytes) and raises EQEBGeoDBError otherwise.
// - Opening never destroys what the index files know. Index files that name more entries than
//   the summary holds, or an item identifier the summary lacks (an emptied, truncated or foreign
//   summary; an interrupted LazyWrite session that deleted items), make opening fail with
//   EQEBGeoDBError; removing the index files lets the next opening rebuild them from the
//   summary. Index files that name no more than the summary holds but disagree with it (fewer
//   entries after an interrupted write, unsorted, damaged entries) are rebuilt in memory only;
//   the files are rewritten when the database is next changed (or closed after a change), and
//   until then GetIndexRebuildPending is true. Missing index files are created at once.
// - Index files are replaced atomically and durably (a new file flushed to the disk and renamed
//   over the old one), so a crash or power loss leaves the old or the new index. The summary is
//   appended record by record and cut back when a write fails, so it always holds whole
//   records; a deletion writes the index files before the summary.
// - Retrievals check every record against the data file: an item of an unknown kind, with a
//   negative count, an offset inside the 260-byte header or data past the end gives false, never
//   header bytes as coordinates, a read past the end or an allocation from an unchecked count.
// - Garbage collection checks every record before it touches a file, writes the new data and
//   summary files beside the old ones, flushes them to the disk and commits them through a
//   marker file; opening completes or discards an interrupted collection.
class TGeoDB : public TComponent {
public:
  explicit TGeoDB(TComponent* AOwner);
  ~TGeoDB() override;

  std::string_view ClassName() const override { return "TGeoDB"; }

  // --- The file set and its header ---

  // A non-empty name opens the file set of StripExtension(Name), creating missing files; an empty
  // name closes. An open file set is closed first (its indexes written if LazyWrite is set).
  // When opening fails the component is left closed.
  void SetGDBName(const std::string& Name);
  // The base name B of the open file set (empty when closed).
  std::string GetGDBName() const;

  // While true, index files are written only when LazyWrite is switched off, the database closed
  // or the component destroyed. Switching it off writes them at once.
  bool GetLazyWrite() const { return FLazyWrite; }
  void SetLazyWrite(bool Value);

  int32_t GetNumEntries() const { return FNumSumItems; }

  // True from an opening that rebuilt disagreeing index files in memory until the rebuilt files
  // are written: by the next change (at once, or with LazyWrite when it is switched off or the
  // database closed), by RecalcIndexes or by SaveIndex of each rebuilt index. While it is true
  // the index files on disk are left as they were found.
  bool GetIndexRebuildPending() const { return FIxPending != 0; }

  // Progress of long operations: called with this component and a percentage, only while
  // OnPercDoneEnabled is true.
  const TOnPercentDoneEvent& GetOnPercentDone() const { return FOnPercentDone; }
  void SetOnPercentDone(TOnPercentDoneEvent Handler) { FOnPercentDone = std::move(Handler); }
  bool GetOnPercDoneEnabled() const { return FOnPercDoneEnabled; }
  void SetOnPercDoneEnabled(bool Value) { FOnPercDoneEnabled = Value; }

  // Header values. The writers do nothing while no database is open; a description keeps its
  // first 60 characters. A failed header write raises EQEBGeoDBError
  // `Component "<Name>": SetDescription: cannot open database.` (SetRevision alike).
  std::string GetDescription() const { return FSystemData.Description.ToString(); }
  void SetDescription(const std::string& Value);
  int32_t GetRevision() const { return FSystemData.Revision; }
  void SetRevision(int32_t Value);
  int32_t GetDBVersion() const { return FSystemData.DBVersion; }
  // The header as held in memory.
  const TgdbSystemData& GetSystemData() const { return FSystemData; }

  // Data[ix]: a copy of the record of entry ix, ix clamped to 1..NumEntries; a cleared record
  // (ClearGdbData, NumPoints 0) while the database is empty.
  TgdbData GetSumdata(int32_t ix) const;

  // --- Indexes ---

  // Index entries at 1-based position ix (clamped to 1..NumEntries) with `index` as the entry
  // number (1-based); {0, 0} while the database is empty.
  TIxItemIDRec GetIxItemID(int32_t ix) const;
  TIxLLRec GetIxLatLow(int32_t ix) const;
  TIxLLRec GetIxLatHigh(int32_t ix) const;
  TIxLLRec GetIxLongLow(int32_t ix) const;
  TIxLLRec GetIxLongHigh(int32_t ix) const;

  // The entry number of the item with this identifier, or 0.
  int32_t SearchForItemID(int32_t ItemID) const;
  // 1-based positions by bisection: that of an equal key if the bisection meets one (not
  // necessarily the first of several), else that of the first greater key, NumEntries + 1 when
  // every key is smaller, 1 in an empty database. Stored 4-byte keys are widened and compared
  // exactly with the 8-byte value.
  int32_t GetClosestItemIDIx(int32_t ItemID) const;
  int32_t GetClosestLatLowIx(double Latit) const;
  int32_t GetClosestLatHighIx(double Latit) const;
  int32_t GetClosestLongLowIx(double Longit) const;
  int32_t GetClosestLongHighIx(double Longit) const;

  // Writes index file i (0..4) whole, with 0-based `index` values; nothing while closed or for
  // another i.
  void SaveIndex(int32_t i);

  // The insertion rule of the indexes: Ix has grown by one (its last element is free) and the
  // rest is sorted; Rec goes before the equal key the bisection meets first, else to its sorted
  // place.
  static void SortIxInto(TIxLLRecArray& Ix, const TIxLLRec& Rec);
  static void SortIxItemIDInto(TIxItemIDRecArray& Ix, const TIxItemIDRec& Rec);

  // --- Adding items: each returns the new entry number, or -1 while no database is open ---
  //
  // Names keep their first 59 characters. Polygon items get the bounds of their points (the
  // bounds passed are not used); a town's bounds are its position. NaN bounds of a town or BLOB
  // raise EQEBGeoDBError `Component "<Name>": AddData: invalid bounds.`; a failed header write
  // `... AddData: cannot open database.`; other file failures raise EInOutError.

  int32_t AddBorder(const std::string& Name, const TgdbPolygon& Polygon, bool ClosedLine,
                    TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                    float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag);
  int32_t AddCity(const std::string& Name, const TgdbPolygon& Polygon, bool ClosedLine,
                  TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                  float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag);
  // Lakes are always closed; rivers, roads and routes never.
  int32_t AddLake(const std::string& Name, const TgdbPolygon& Polygon, TDateTime Date,
                  int32_t StateFlag, float LatLow, float LatHigh, float LongLow, float LongHigh,
                  float Altitude, uint8_t ClassNumber, int32_t UserTag);
  int32_t AddRiver(const std::string& Name, const TgdbPolygon& Polygon, TDateTime Date,
                   int32_t StateFlag, float LatLow, float LatHigh, float LongLow, float LongHigh,
                   float Altitude, uint8_t ClassNumber, int32_t UserTag);
  int32_t AddRoad(const std::string& Name, const TgdbPolygon& Polygon, TDateTime Date,
                  int32_t StateFlag, float LatLow, float LatHigh, float LongLow, float LongHigh,
                  float Altitude, uint8_t ClassNumber, int32_t UserTag);
  int32_t AddRoute(const std::string& Name, const TgdbPolygon& Polygon, TDateTime Date,
                   int32_t StateFlag, float LatLow, float LatHigh, float LongLow, float LongHigh,
                   float Altitude, uint8_t ClassNumber, int32_t UserTag);
  int32_t AddTown(const std::string& Name, TDateTime Date, int32_t StateFlag, TSCoords Location,
                  float Altitude, uint8_t ClassNumber, int32_t UserTag);

  // BLOBs from a file: the item is named after the file (or after FNameInDB), its meta
  // information is MInfo with FilePath set to FileName (or to OrgFilePath), cut to 127
  // characters; the file is read from its full name. Date and Size come from the file. A file
  // that cannot be opened raises EInOutError before anything is changed.
  int32_t AddBLOB(const std::string& FileName, TDateTime Date, int32_t StateFlag, float LatLow,
                  float LatHigh, float LongLow, float LongHigh, float Altitude, uint8_t ClassNumber,
                  int32_t UserTag, const TMetaInfo& MInfo);
  int32_t AddBLOB(const std::string& FileName, const std::string& FNameInDB, TDateTime Date,
                  int32_t StateFlag, float LatLow, float LatHigh, float LongLow, float LongHigh,
                  float Altitude, uint8_t ClassNumber, int32_t UserTag, const TMetaInfo& MInfo);
  int32_t AddBLOB(const std::string& FileName, const std::string& FNameInDB,
                  const std::string& OrgFilePath, TDateTime Date, int32_t StateFlag, float LatLow,
                  float LatHigh, float LongLow, float LongHigh, float Altitude, uint8_t ClassNumber,
                  int32_t UserTag, const TMetaInfo& MInfo);
  // BLOBs from memory: SizeOfBLOBData bytes at PBLOBData, or the whole of Data. A negative size,
  // or a null pointer with a positive size, raises `... AddData: invalid BLOB data.`.
  int32_t AddBLOB(const std::string& Name, TDateTime Date, int32_t StateFlag, float LatLow,
                  float LatHigh, float LongLow, float LongHigh, float Altitude, uint8_t ClassNumber,
                  int32_t UserTag, const TMetaInfo& MInfo, const void* PBLOBData,
                  int32_t SizeOfBLOBData);
  int32_t AddBLOB(const std::string& Name, TDateTime Date, int32_t StateFlag, float LatLow,
                  float LatHigh, float LongLow, float LongHigh, float Altitude, uint8_t ClassNumber,
                  int32_t UserTag, const TMetaInfo& MInfo, TMemoryStream& Data);

  // --- Replacing: the entry keeps its item identifier, new data is appended. DBEntry outside
  // 1..NumEntries, or no open database: nothing happens. ---

  void ReplaceBorder(int32_t DBEntry, const std::string& Name, const TgdbPolygon& Polygon,
                     bool ClosedLine, TDateTime Date, int32_t StateFlag, float LatLow,
                     float LatHigh, float LongLow, float LongHigh, float Altitude,
                     uint8_t ClassNumber, int32_t UserTag);
  void ReplaceCity(int32_t DBEntry, const std::string& Name, const TgdbPolygon& Polygon,
                   bool ClosedLine, TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh,
                   float LongLow, float LongHigh, float Altitude, uint8_t ClassNumber,
                   int32_t UserTag);
  void ReplaceLake(int32_t DBEntry, const std::string& Name, const TgdbPolygon& Polygon,
                   TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                   float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag);
  void ReplaceRiver(int32_t DBEntry, const std::string& Name, const TgdbPolygon& Polygon,
                    TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                    float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag);
  void ReplaceRoad(int32_t DBEntry, const std::string& Name, const TgdbPolygon& Polygon,
                   TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                   float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag);
  void ReplaceRoute(int32_t DBEntry, const std::string& Name, const TgdbPolygon& Polygon,
                    TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                    float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag);
  void ReplaceTown(int32_t DBEntry, const std::string& Name, TDateTime Date, int32_t StateFlag,
                   TSCoords Location, float Altitude, uint8_t ClassNumber, int32_t UserTag);
  void ReplaceBLOB(int32_t DBEntry, const std::string& FileName, TDateTime Date, int32_t StateFlag,
                   float LatLow, float LatHigh, float LongLow, float LongHigh, float Altitude,
                   uint8_t ClassNumber, int32_t UserTag, const TMetaInfo& MInfo);
  void ReplaceBLOB(int32_t DBEntry, const std::string& Name, TDateTime Date, int32_t StateFlag,
                   float LatLow, float LatHigh, float LongLow, float LongHigh, float Altitude,
                   uint8_t ClassNumber, int32_t UserTag, const TMetaInfo& MInfo,
                   const void* PBLOBData, int32_t SizeOfBLOBData);
  void ReplaceBLOB(int32_t DBEntry, const std::string& Name, TDateTime Date, int32_t StateFlag,
                   float LatLow, float LatHigh, float LongLow, float LongHigh, float Altitude,
                   uint8_t ClassNumber, int32_t UserTag, const TMetaInfo& MInfo,
                   TMemoryStream& Data);

  // Removes the entry; the last entry takes its number. The data file is not touched.
  void DeleteData(int32_t DbEntry);

  // --- Reading items back. No open database: false without events. DBEntry below 1 counts as
  // 1. A damaged item (data outside the data file, a negative count) gives false. ---

  // The points of a polygon item; false (Polygon unchanged) for other kinds.
  bool RetrievePolygon(int32_t DBEntry, TgdbPolygon& Polygon);
  // A BLOB to a file. A Filepath that is empty or ends with a folder separator gets the item's
  // name reduced to 8.3 characters appended; an empty result raises
  // `... RetrieveBLOB: invalid filename.`.
  bool RetrieveBLOB(int32_t DBEntry, const std::string& Filepath, TMetaInfo& MetaInfo);
  // A BLOB to memory; a block smaller than the BLOB (or null) raises
  // `... RetrieveBLOB: BLOB to be retrieved is larger than SizeOfBlobData.` after MetaInfo was
  // read.
  bool RetrieveBLOB(int32_t DBEntry, TMetaInfo& MetaInfo, void* PBLOBData, int32_t SizeOfBLOBData);
  // A BLOB to a stream, which is sized to the BLOB and filled from position 0 (the position ends
  // after the bytes). For an entry of another kind the stream is sized to its NumPoints value
  // (bytes, not points), its position set to 0, and the result is false; a count larger than the
  // data file leaves the stream alone.
  bool RetrieveBLOB(int32_t DBEntry, TMetaInfo& MetaInfo, TMemoryStream& BlobStream);

  // --- Searching and maintenance ---

  // The first entry at or after StartSearchAt (below 1 counts as 1) whose name equals Name
  // without regard to letter case (Windows-1252 letters), whose kind is ItemType (gitUndefined:
  // any kind) and whose class is ClassNumber (0: any class); 0 when there is none.
  int32_t SearchData(const TgdbName& Name, TgdbItem ItemType, int32_t StartSearchAt,
                     uint8_t ClassNumber) const;
  // The first entry of that name, any kind and class.
  int32_t SearchData(const TgdbName& Name) const;

  // Meta information of a BLOB entry (1..NumEntries) read from, or rewritten in place in, the
  // data file; false for other kinds, entries out of range, damaged items or a closed database.
  bool GetMetaInfo(int32_t DBEntry, TMetaInfo& MetaInfo);
  bool UpdateMetaInfo(int32_t DBEntry, const TMetaInfo& MetaInfo);

  // Rewrites the summary record of entry DbEntry from GdbData and re-indexes it. What describes
  // the stored data is kept: ItemId, ItemKind, BlobOffset and NumPoints/Size; the name is stored
  // as AddData stores names. NaN bounds raise `... UpdateBasicData: invalid bounds.`; an entry
  // out of range does nothing.
  void UpdateBasicData(int32_t DbEntry, const TgdbData& GdbData);

  // Rebuilds the five indexes from the summary, inserting the entries in entry order by the
  // insertion rule, and writes them unless LazyWrite is set.
  void RecalcIndexes();

  // Rewrites the data file with only the bytes the summary refers to, in the order of their
  // offsets, and updates the offsets. Reports progress by bytes copied. Every record is checked
  // first; a record that does not fit the data file raises `... GarbageCollection: entry <n>
  // <what is wrong>.` and no file is touched:
  //   - an item kind outside the known kinds;
  //   - a data offset below -1 (-1 means no data), or inside the 260-byte header;
  //   - a negative point count or BLOB size;
  //   - data outside the data file (`refers to bytes outside the data file`);
  //   - data overlapping another item's without being the same bytes;
  //   - an item identifier used by an earlier entry, or above the data file header's highest
  //     identifier (a summary that belongs to another data file).
  void GarbageCollection();

  // A readable text dump of the header, every record and the five indexes.
  void ExportDataDebug(const std::string& FName);

  // The entry numbers (ascending) of the items of the given kinds whose bounding box meets the
  // window LatLow..LatHigh, LongLow..LongHigh (degrees, bounds included). The stored bounds are
  // 4-byte floats, so the window is widened by one float step on each side: an item on the
  // boundary is never lost. A NaN bound or an inverted window gives no entries. Items without
  // extent (polygons without points) are never found. Entries is replaced.
  void FindItemsInBox(double LatLow, double LatHigh, double LongLow, double LongHigh,
                      TgdbItemSet Kinds, std::vector<int32_t>& Entries) const;
  std::vector<int32_t> FindItemsInBox(double LatLow, double LatHigh, double LongLow,
                                      double LongHigh, TgdbItemSet Kinds = gdbAllKinds) const;

protected:
  // Everything an item is added or replaced with. The pointers refer to the caller's data for
  // the duration of the call; a null Polygon or MInfo stands for none.
  struct TgdbItemArgs {
    TgdbName Name;
    const TgdbPolygon* Polygon = nullptr;
    bool ClosedLine = false;
    TgdbItem ItemType = gitUndefined;
    uint8_t ClassNumber = 0;
    TDateTime Date = 0;
    int32_t StateFlag = 0;
    float LatLow = 0, LatHigh = 0, LongLow = 0, LongHigh = 0;
    float Altitude = 0;
    int32_t UserTag = 0;
    const TMetaInfo* MInfo = nullptr;
    const void* PBLOBData = nullptr;
    int32_t SizeOfBLOBData = 0;
    bool BLOBFromFile = false;
    // The file a BLOB is read from when BLOBFromFile is set (empty: MInfo's FilePath).
    std::string SourceFile = {};
  };
  // The fields every Add and Replace form takes from its arguments alike.
  static TgdbItemArgs ItemArgs(std::string_view Name, TgdbItem ItemType, TDateTime Date,
                               int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                               float LongHigh, float Altitude, uint8_t ClassNumber,
                               int32_t UserTag);
  // Appends any kind of item (see the Add methods). Returns the new entry number, -1 while no
  // database is open.
  int32_t AddData(const TgdbItemArgs& Item);
  void ReplaceData(int32_t DBEntry, const TgdbItemArgs& Item);
  // Index maintenance of one entry (1-based); the arrays must have room (insertion) as the
  // callers arrange.
  void InsertIntoIndex(int32_t DBEntry, const TgdbData& GdbData);
  void RemoveIndexEntries(int32_t DBEntry);

private:
  struct TSource;
  class TFileUse;

  bool IsOpen() const { return !FNameGDS.empty(); }
  void Report(int32_t Percent);
  [[noreturn]] void Fail(const std::string& Text) const;
  void Close();
  void Open(const std::string& Name);
  void OpenFiles(const std::string& Name);
  void WriteHeader(const char* Operation);
  void WriteAllIndexes();
  // The index writes that closing, destruction and switching LazyWrite off owe: all five with
  // LazyWrite, the rebuilt ones after a change; none for an unchanged database whose rebuilt
  // indexes are pending.
  void WriteIndexesOnClose();
  void CloseCachedFiles() noexcept;
  // Applies the index insertions that AddData deferred (entries FIxCount..NumEntries-1).
  void FlushPendingIndex() const;
  void RebuildIndex(int32_t i) const;
  void InvalidateBoxTree() const;
  // Builds the record of a new or replacing item and appends its data to the data file.
  TgdbData BuildItem(const char* Operation, int32_t ItemId, const TgdbItemArgs& Item,
                     TSource* Source);
  // Refuses bad arguments before anything is written.
  void CheckItemArgs(const char* Operation, const TgdbItemArgs& Item) const;
  // The file a BLOB item is read from.
  static std::string SourcePath(const TgdbItemArgs& Item);
  void OpenSource(const char* Operation, const std::string& Path, TSource& Source) const;
  void WriteSummaryRecord(int32_t Position, const TgdbData& Rec, bool Append);
  // The entry (0-based) when DBEntry (clamped below to 1) exists, else -1.
  int32_t RetrievalEntry(int32_t DBEntry) const;

  std::string FNameGDS;
  std::string FNameGDD;
  std::string FNameIX[5];
  std::vector<TgdbData> FSumData;
  int32_t FNumSumItems = 0;
  bool FLazyWrite = false;
  // The indexes and the number of entries they hold; AddData defers insertions until an index is
  // read, saved or changed otherwise, and then inserts the whole batch at once.
  mutable TIxItemIDRecArray FIx0ItemId;
  mutable std::array<TIxLLRecArray, detail::kGdbBounds> FIxLL; // by detail::TgdbBound
  mutable int32_t FIxCount = 0;
  // Bit i: index i was rebuilt in memory on opening and its file not yet rewritten.
  uint8_t FIxPending = 0;
  // The open database has been changed (a write other than the indexes').
  bool FChanged = false;
  TOnPercentDoneEvent FOnPercentDone;
  bool FOnPercDoneEnabled = true;
  TgdbSystemData FSystemData;
  // While LazyWrite is set, the data and summary files stay open between operations.
  std::unique_ptr<TFileStream> FDataFile, FSumFile;
  // Built on the first box query; entries added later are scanned until a rebuild pays.
  mutable std::unique_ptr<detail::TgdbBoxTree> FBoxTree;
};

} // namespace qeb
