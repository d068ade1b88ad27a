// Pieces shared by the source files of TGeoDB and not part of its interface: file access that
// reuses the streams LazyWrite keeps open, the checks of an item's byte range, the copy block
// size and the names of the garbage collection's files.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "qebgeolib/geodb/geodb.h"
#include "qebgeolib/platform/base/streams.h"

namespace qeb {

// BLOBs are copied through blocks of this size, never whole.
inline constexpr int64_t kGdbBlock = 16384;

// One operation's access to the data or the summary file: the stream kept open while LazyWrite
// is set, else a stream of its own that closes when the operation ends. Reading operations open
// read-only, so a database on read-only media can be read.
class TGeoDB::TFileUse {
public:
  TFileUse(std::unique_ptr<TFileStream>& Cache, const std::string& Name, bool Write,
           bool KeepOpen) {
    if (!Cache && Write && KeepOpen) Cache = std::make_unique<TFileStream>(Name, fmOpenReadWrite);
    if (Cache) {
      FStream = Cache.get();
    } else {
      FOwn.emplace(Name, Write ? fmOpenReadWrite : fmOpenRead);
      FStream = &*FOwn;
    }
  }
  TFileStream* operator->() { return FStream; }
  TFileStream& operator*() { return *FStream; }

private:
  std::optional<TFileStream> FOwn;
  TFileStream* FStream = nullptr;
};

namespace detail {

// Whether Length bytes at Offset are item data of a data file of FileSize bytes: after the
// header and before the end.
inline bool GdbRangeInFile(int64_t Offset, int64_t Length, int64_t FileSize) {
  return Offset >= kGdbHeaderSize && Length >= 0 && Offset + Length <= FileSize;
}

// The key index file b + 1 takes from a summary record.
inline float BoundOf(const TgdbData& D, TgdbBound B) {
  switch (B) {
  case gbLatLow:
    return D.LatLow;
  case gbLatHigh:
    return D.LatHigh;
  case gbLongLow:
    return D.LongLow;
  default:
    return D.LongHigh;
  }
}

// The garbage collection's commit calls this, when set, before each of its steps with the
// step's number 0 .. kGdbCommitSteps - 1; the crash tests stop the process there.
inline constexpr int32_t kGdbCommitSteps = 6;
extern void (*GdbCommitProbe)(int32_t Step);

} // namespace detail

// Percent of Done in Total, rounded to the nearest, halves to even.
inline int32_t GdbPercent(double Done, double Total) {
  return static_cast<int32_t>(std::nearbyint(Done * 100.0 / Total));
}

// Names of the garbage collection's new files and of its commit marker, for base name B.
inline std::string GdbGcData(const std::string& B) {
  return B + ".qebgdd.gc";
}
inline std::string GdbGcSummary(const std::string& B) {
  return B + ".qebgds.gc";
}
inline std::string GdbGcMarker(const std::string& B) {
  return B + ".qebggc";
}

} // namespace qeb
