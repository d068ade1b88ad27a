// Resources compiled into a library or program: named blobs (bitmaps,
// cursors, raw data) looked up by name, and the loader of bitmap resources.
// The build step qeb_embed_resources (qebgeolib/resources/EmbedResources.cmake)
// generates a module's table.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "qebgeolib/platform/base/exception.h"

namespace qeb {

class TBitmap;

// Resource types, as the embedding step names them.
inline constexpr std::string_view RT_BITMAP = "BITMAP"; // a whole BMP file
inline constexpr std::string_view RT_CURSOR = "CURSOR"; // a whole .cur file
inline constexpr std::string_view RT_RCDATA = "RCDATA"; // anything else

struct TResourceEntry {
  std::string_view Name;
  std::string_view Type;
  std::span<const uint8_t> Data;
};

// The resources of one library or program (what a module instance handle
// stands for): a constant table, so lookups need no registration and no
// process-wide state.
struct TResourceModule {
  std::string_view ModuleName;
  std::span<const TResourceEntry> Entries;
};

// A resource that is not there: "Resource <Name> not found".
class EResNotFound : public Exception {
public:
  explicit EResNotFound(std::string_view Name)
      : Exception("Resource " + std::string(Name) + " not found") {}
};

// The entry of that name and type, names compared without regard to the
// case of ASCII letters; an empty Type matches any type. Null when absent.
const TResourceEntry* FindResource(const TResourceModule& Module, std::string_view Name,
                                   std::string_view Type = {});

// Loads the bitmap resource Name into Bmp. EResNotFound when there is none;
// the BMP reader's EInvalidGraphic when its data is corrupt.
void LoadBitmapResource(TBitmap& Bmp, const TResourceModule& Module, std::string_view Name);

} // namespace qeb
