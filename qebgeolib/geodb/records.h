// Records of the geographic database: the byte layouts of its files (summary records, BLOB meta
// information, the data file header, index entries), the item kinds and the module's free helpers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "qebgeolib/companion/corelib/base.h"
#include "qebgeolib/platform/base/text.h"
#include "qebgeolib/platform/base/types.h"

namespace qeb {

// Every record below is written to disk byte for byte; the layouts are the same in 32-bit and
// 64-bit builds and are little-endian (the build refuses other hosts).

// Kind of an item. The ordinals are stored in the summary file.
enum TgdbItem : uint8_t {
  gitBorder,
  gitTown,
  gitCity,
  gitLake,
  gitRiver,
  gitRoad,
  gitRoute,
  gitBLOB,
  gitUndefined,
};

inline constexpr std::string_view GDB_ITEMNAMES[9] = {
    "Border", "Town", "City", "Lake", "River", "Road", "Route", "BLOB", "Undefined",
};

// The kinds whose data are points (all but towns, BLOBs and undefined items).
constexpr bool IsPolygonKind(TgdbItem Kind) {
  return Kind == gitBorder || (Kind >= gitCity && Kind <= gitRoute);
}

// A set of item kinds for queries: bit k stands for kind k; kinds outside the enumeration (found
// only in damaged or foreign files) share bit 15, which only gdbAllKinds sets.
using TgdbItemSet = uint16_t;
constexpr TgdbItemSet gdbKind(TgdbItem Kind) {
  return static_cast<TgdbItemSet>(1u << (Kind <= gitUndefined ? Kind : 15));
}
inline constexpr TgdbItemSet gdbAllKinds = 0xFFFF;

// Item names hold 59 single-byte characters.
using TgdbName = TShortString<59>;

// A polygon point: two 4-byte floats in degrees.
struct TSCoords {
  float Latit = 0;
  float Longit = 0;
};
using TgdbPolygon = std::vector<TSCoords>;

// Not used by the database itself; offered to callers that keep positions with heights.
struct TPositionData {
  double Latit = 0;
  double Longit = 0;
  double Height = 0;
};

// One item of the summary file (and of the in-memory summary).
struct TgdbData {
  int32_t ItemId = 0;
  TgdbName Name; // the characters after the length are blanks as this library writes them
  float Altitude = 0;
  uint8_t ClassFlag = 0;
  uint8_t Pad1[3] = {};
  int32_t Tag = 0;
  int32_t BlobOffset = -1; // start of the item's bytes in the data file; -1: none
  TDateTime Date = 0;
  int32_t StateFlag = 0;
  float LatLow = 0;
  float LatHigh = 0;
  float LongLow = 0;
  float LongHigh = 0;
  TgdbItem ItemKind = gitUndefined;
  uint8_t Pad2[3] = {};
  union {
    int32_t NumPoints = 0; // polygon kinds
    int32_t Size;          // gitBLOB: bytes after the meta information
  };
  bool Closed = false;
  uint8_t Pad3[3] = {};
};

// Meta information stored in front of a BLOB's bytes.
struct TMetaInfo {
  TShortString<255> Keywords;
  TShortString<127> Caption;
  TShortString<127> FilePath; // the file the BLOB came from
  TShortString<255> Descriptor;
  TShortString<255> Comment;
};

enum TMetaItem : uint8_t { miKwd, miCaption, miFilePath, miDescriptor, miComment };

// Header of the data file.
struct TgdbSystemData {
  int32_t HighestID = 0; // identifier of the most recently added item
  int32_t DBVersion = 4;
  TShortString<63> Description; // this library stores at most 60 characters
  int32_t Revision = 0;
  uint8_t Reserved[184] = {};
};

// Index entries; `index` is the 0-based position of the item in the summary file.
struct TIxItemIDRec {
  int32_t ItemID = 0;
  int32_t index = 0;
};
struct TIxLLRec {
  float LLValue = 0;
  int32_t index = 0;
};
using TIxItemIDRecArray = std::vector<TIxItemIDRec>;
using TIxLLRecArray = std::vector<TIxLLRec>;

inline constexpr int32_t kGdbHeaderSize = 260;
inline constexpr int32_t kGdbRecordSize = 120;
inline constexpr int32_t kGdbMetaSize = 1024;
inline constexpr int32_t kGdbIndexRecSize = 8;
inline constexpr int32_t kGdbVersion = 4;

static_assert(sizeof(TSCoords) == 8 && offsetof(TSCoords, Longit) == 4);
static_assert(sizeof(TPositionData) == 24);
static_assert(std::is_standard_layout_v<TgdbData> && std::is_trivially_copyable_v<TgdbData>);
static_assert(sizeof(TgdbData) == kGdbRecordSize);
static_assert(offsetof(TgdbData, ItemId) == 0 && offsetof(TgdbData, Name) == 4);
static_assert(offsetof(TgdbData, Altitude) == 64 && offsetof(TgdbData, ClassFlag) == 68);
static_assert(offsetof(TgdbData, Pad1) == 69 && offsetof(TgdbData, Tag) == 72);
static_assert(offsetof(TgdbData, BlobOffset) == 76 && offsetof(TgdbData, Date) == 80);
static_assert(offsetof(TgdbData, StateFlag) == 88 && offsetof(TgdbData, LatLow) == 92);
static_assert(offsetof(TgdbData, LatHigh) == 96 && offsetof(TgdbData, LongLow) == 100);
static_assert(offsetof(TgdbData, LongHigh) == 104 && offsetof(TgdbData, ItemKind) == 108);
static_assert(offsetof(TgdbData, Pad2) == 109 && offsetof(TgdbData, NumPoints) == 112);
static_assert(offsetof(TgdbData, Size) == 112 && offsetof(TgdbData, Closed) == 116);
static_assert(offsetof(TgdbData, Pad3) == 117 && sizeof(bool) == 1);
static_assert(std::is_trivially_copyable_v<TMetaInfo> && sizeof(TMetaInfo) == kGdbMetaSize);
static_assert(offsetof(TMetaInfo, Keywords) == 0 && offsetof(TMetaInfo, Caption) == 256);
static_assert(offsetof(TMetaInfo, FilePath) == 384 && offsetof(TMetaInfo, Descriptor) == 512);
static_assert(offsetof(TMetaInfo, Comment) == 768);
static_assert(std::is_trivially_copyable_v<TgdbSystemData>);
static_assert(sizeof(TgdbSystemData) == kGdbHeaderSize);
static_assert(offsetof(TgdbSystemData, HighestID) == 0 && offsetof(TgdbSystemData, DBVersion) == 4);
static_assert(offsetof(TgdbSystemData, Description) == 8);
static_assert(offsetof(TgdbSystemData, Revision) == 72);
static_assert(offsetof(TgdbSystemData, Reserved) == 76);
static_assert(sizeof(TIxItemIDRec) == kGdbIndexRecSize && offsetof(TIxItemIDRec, index) == 4);
static_assert(sizeof(TIxLLRec) == kGdbIndexRecSize && offsetof(TIxLLRec, index) == 4);

// The exception of the database module. Messages of a TGeoDB read
// `Component "<Name>": <operation>: <text>`.
class EQEBGeoDBError : public EQEBError {
public:
  explicit EQEBGeoDBError(const std::string& Msg) : EQEBError(Msg) {}
};

// Blank name (length 0, characters blanks), BlobOffset -1, ItemKind gitUndefined, Date the
// current local time, every other field 0 and Closed false. NumPoints/Size keeps its value.
void ClearGdbData(TgdbData& GdbData);

// Sets the length of the five strings to 0; their characters stay.
void ClearMetaInfo(TMetaInfo& MetaInfo);

// The item's south-west corner: a town's position.
TSCoords ExtractLocation(const TgdbData& GdbData);

// Latitude (clamped to -90..90) or longitude (clamped to -180..180) as DegreeToStr text with the
// hemisphere letter after a blank: "47°30' N", "12.50° W". NaN gives "NaN".
std::string GeoLatitude(double Latitude, TDegreeFormat Format, int32_t Decimals);
std::string GeoLongitude(double Longitude, TDegreeFormat Format, int32_t Decimals);

// The header of a data file (B.qebgdd) without opening the database. Raises EInOutError when the
// file cannot be read and EQEBGeoDBError when it is shorter than the 260-byte header.
TgdbSystemData ReadSystemInformation(const std::string& FileName);

// The current local date and time, and a file time (seconds and nanoseconds since 1970 UTC) as
// local date-time.
TDateTime GdbNow();
TDateTime GdbUnixToDateTime(int64_t Seconds, int64_t Nanoseconds);

} // namespace qeb
