// Internal: the constant datum table generated into datums_table.cpp; public access goes through
// GeoDatumRecord.
#pragma once

#include "qebgeolib/geobasics/datumshift.h"

namespace qeb::detail {

// Index 0 holds datum number 1.
extern const TGeoDatum GeoDatumTable[GeoDatumCount];

} // namespace qeb::detail
