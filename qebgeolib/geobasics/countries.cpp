// Properties of the country record that its users rely on; the rows themselves are generated into
// countries_table.cpp.
#include "qebgeolib/geobasics/countries.h"

#include <type_traits>

namespace qeb {

// Rows are copied around and may be written out byte for byte.
static_assert(std::is_trivially_copyable_v<TCountryData>);
static_assert(std::is_standard_layout_v<TCountryData>);
static_assert(sizeof(TShortString<40>) == 41 && sizeof(TShortString<2>) == 3 &&
              sizeof(TShortString<3>) == 4 && sizeof(TShortString<31>) == 32);

} // namespace qeb
