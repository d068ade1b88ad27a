// The stream helpers of the base companion: the tag reader of the map files
// (its own header) and the line writer of streams.
#pragma once

#include <string_view>

#include "qebgeolib/companion/corelib/tagreader.h"
#include "qebgeolib/platform/base/streams.h"

namespace qeb {

// Writes Text in Windows-1252 followed by CR LF.
void WriteLnStream(TStream& S, std::string_view Text);

} // namespace qeb
