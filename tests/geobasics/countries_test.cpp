#include <gtest/gtest.h>

#include <cctype>
#include <iterator>
#include <set>
#include <string>

#include "qebgeolib/geobasics/countries.h"

using namespace qeb;

namespace {

struct TRow {
  int Index;
  const char *Name, *Fips, *Iso2, *Iso3;
  double CLat, CLong;
  const char* Capital;
  double CapLat, CapLong;
  int32_t CapAlt;
};

const TRow Telling[] = {
    {0, "Afghanistan", "af", "af", "afg", 33.0, 65.0, "Kabul", 34.5309, 69.1368, 1807},
    {7, "Antarctica", "ay", "aq", "ata", -90.0, 0.0, "", -90.0, 0.0, 0},
    {33, "Burma;Myanmar", "bm", "mm", "mmr", 22.0, 98.0, "Rangoon", 19.7361, 96.2089, 77},
    {79, "Germany", "gm", "de", "deu", 51.0, 9.0, "Berlin", 52.5163, 13.3276, 34},
    {147, "Netherlands", "nl", "nl", "nld", 52.5, 5.75, "Amsterdam", 52.373, 4.8948, -1},
    {218, "United States", "us", "us", "usa", 38.0, -97.0, "Washington, DC", 38.9051, -77.0162, 2},
    {230, "Zimbabwe", "zi", "zw", "zwe", -20.0, 30.0, "Harare", -17.8292, 31.054, 1480},
};

bool IsLowerCode(std::string_view S, size_t Len) {
  if (S.size() != Len) return false;
  for (char C : S)
    if (!std::islower(static_cast<unsigned char>(C))) return false;
  return true;
}

} // namespace

TEST(Countries, TellingRowsComeOutExactly) {
  ASSERT_EQ(std::size(CountryData), 231u);
  for (const TRow& R : Telling) {
    SCOPED_TRACE(R.Name);
    const TCountryData& C = CountryData[R.Index];
    EXPECT_EQ(C.Name.ToString(), R.Name);
    EXPECT_EQ(C.Fips10.ToString(), R.Fips);
    EXPECT_EQ(C.ISO3166_2.ToString(), R.Iso2);
    EXPECT_EQ(C.ISO3166_3.ToString(), R.Iso3);
    EXPECT_EQ(C.CLat, R.CLat);
    EXPECT_EQ(C.CLong, R.CLong);
    EXPECT_EQ(C.Capital.ToString(), R.Capital);
    EXPECT_EQ(C.CapLat, R.CapLat);
    EXPECT_EQ(C.CapLong, R.CapLong);
    EXPECT_EQ(C.CapAlt, R.CapAlt);
  }
  EXPECT_TRUE(CountryData[7].Capital.Empty());
}

TEST(Countries, WholeTableIsConsistent) {
  std::set<std::string> Fips, Iso2, Iso3;
  int EmptyCapitals = 0;
  for (int i = 0; i < CountryCount; ++i) {
    const TCountryData& C = CountryData[i];
    SCOPED_TRACE(C.Name.ToString());
    EXPECT_FALSE(C.Name.Empty());
    if (i > 0) {
      EXPECT_LT(CountryData[i - 1].Name.Bytes(), C.Name.Bytes()); // sorted, unique
    }
    EXPECT_TRUE(IsLowerCode(C.Fips10.Bytes(), 2));
    EXPECT_TRUE(IsLowerCode(C.ISO3166_2.Bytes(), 2));
    EXPECT_TRUE(IsLowerCode(C.ISO3166_3.Bytes(), 3));
    Fips.insert(C.Fips10.ToString());
    Iso2.insert(C.ISO3166_2.ToString());
    Iso3.insert(C.ISO3166_3.ToString());
    EXPECT_TRUE(C.CLat >= -90 && C.CLat <= 90 && C.CapLat >= -90 && C.CapLat <= 90);
    EXPECT_TRUE(C.CLong >= -180 && C.CLong <= 180 && C.CapLong >= -180 && C.CapLong <= 180);
    EXPECT_TRUE(C.CapAlt > -500 && C.CapAlt < 5000);
    if (C.Capital.Empty()) ++EmptyCapitals;
  }
  EXPECT_EQ(EmptyCapitals, 1);
  EXPECT_EQ(Fips.size(), 231u);
  EXPECT_EQ(Iso2.size(), 231u);
  EXPECT_EQ(Iso3.size(), 231u);
  // Names whose commas and semicolons belong to the name.
  EXPECT_EQ(CountryData[49].Name.ToString(), "Congo, Republic of the");
  EXPECT_EQ(CountryData[61].Name.ToString(), "East Timor;Timor Lestre");
  EXPECT_EQ(CountryData[69].Name.ToString(), "Falkland Islands; Malvinas");
  EXPECT_EQ(CountryData[110].Name.ToString(), "Korea, North");
}
