// The line writer of streams.
#include "qebgeolib/companion/corelib/streams.h"

#include "qebgeolib/platform/base/text.h"

namespace qeb {

void WriteLnStream(TStream& S, std::string_view Text) {
  std::string Bytes = Utf8ToCp1252(Text);
  Bytes += "\r\n";
  S.WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
}

} // namespace qeb
