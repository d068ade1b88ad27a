// The country table of the geodetic module: 231 countries with their codes, centre and capital,
// sorted by name. There is no lookup function; callers scan CountryData for a name or a code.
#pragma once

#include <cstdint>

#include "qebgeolib/platform/base/text.h"

namespace qeb {

// Texts are Windows-1252 short strings (all of them plain ASCII in the shipped table). Codes are
// lower case. A name with two forms holds both, separated by a semicolon ("Burma;Myanmar").
// Positions are degrees, north and east positive; CapAlt is metres.
struct TCountryData {
  TShortString<40> Name;
  TShortString<2> Fips10;
  TShortString<2> ISO3166_2;
  TShortString<3> ISO3166_3;
  double CLat;
  double CLong;
  TShortString<31> Capital; // empty where there is none (Antarctica)
  double CapLat;
  double CapLong;
  int32_t CapAlt;
};

inline constexpr int32_t CountryCount = 231;

// Indexed from 0, sorted by Name in ascending byte order.
extern const TCountryData CountryData[CountryCount];

} // namespace qeb
