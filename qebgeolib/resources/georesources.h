// The resources compiled into qebgeolib: the atlas's tool button glyphs
// "POINTR" and "ZOOMIN" (40 x 20, 256 colours, normal and disabled glyph side
// by side) and its cursors "CURGEOZOOM" (hot spot 6, 6) and "CURGEOHAND"
// (hot spot 0, 0), 32 x 32 in two colours.
#pragma once

#include "qebgeolib/platform/controls/resources.h"

namespace qeb {

const TResourceModule& GeoLibResources();

} // namespace qeb
