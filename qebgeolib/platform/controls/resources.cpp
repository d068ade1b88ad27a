// Lookup of embedded resources and the bitmap resource loader.
#include "qebgeolib/platform/controls/resources.h"

#include "qebgeolib/platform/base/streams.h"
#include "qebgeolib/platform/base/sysutils.h"
#include "qebgeolib/platform/graphics/bitmap.h"

namespace qeb {

const TResourceEntry* FindResource(const TResourceModule& Module, std::string_view Name,
                                   std::string_view Type) {
  for (const TResourceEntry& E : Module.Entries)
    if (SameText(E.Name, Name) && (Type.empty() || SameText(E.Type, Type))) return &E;
  return nullptr;
}

void LoadBitmapResource(TBitmap& Bmp, const TResourceModule& Module, std::string_view Name) {
  const TResourceEntry* E = FindResource(Module, Name, RT_BITMAP);
  if (!E) throw EResNotFound(Name);
  TMemoryStream S;
  S.WriteBuffer(E->Data.data(), static_cast<int64_t>(E->Data.size()));
  S.SetPosition(0);
  Bmp.LoadFromStream(S);
}

} // namespace qeb
