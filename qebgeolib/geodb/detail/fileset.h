// Pieces shared by the source files of TGeoDB and not part of its interface: file access that
// reuses the streams LazyWrite keeps open, atomic file replacement and the copy block size.
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

// Writes Bytes to Name + ".tmp" and renames that over Name, so Name is always either the old or
// the new content. Raises EInOutError.
void GdbReplaceFile(const std::string& Name, const void* Bytes, int64_t Count);

// Renames, replacing an existing target (unlike the framework's RenameFile). Raises EInOutError.
void GdbRenameOver(const std::string& From, const std::string& To);

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
