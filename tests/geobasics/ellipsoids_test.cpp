#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <string>

#include "qebgeolib/geobasics/geobasics.h"

using namespace qeb;

namespace {

// Integer arguments must not slip into the reciprocal-flattening or eccentricity overloads.
template <class T>
concept EccCallable = requires(T V) {
  GeoEllEccSquared(V);
};
template <class T>
concept RecipCallable = requires(T V) {
  RecipFlattening(V);
};
static_assert(EccCallable<TGeoEllipsoid> && EccCallable<double>);
static_assert(!EccCallable<int> && !EccCallable<uint8_t> && !EccCallable<long>);
static_assert(RecipCallable<TGeoEllipsoid> && RecipCallable<double>);
static_assert(!RecipCallable<int>);
static_assert(sizeof(TGeoEllipsoid) == 1 && sizeof(THemisphere) == 1 && hemiSouth == 1);

template <class F> std::string MessageOf(F&& Call) {
  try {
    Call();
  } catch (const EQEBGeoBasicsError& E) {
    const EQEBError& Base = E; // the module error is an EQEBError
    return Base.what();
  }
  return "(no exception)";
}

double Round(double V, int Decimals) {
  const double F = std::pow(10.0, Decimals);
  return std::round(V * F) / F;
}

} // namespace

TEST(Ellipsoids, TableIdentifiersNamesAndAxes) {
  EXPECT_EQ(gelNahrwan29, 60);
  EXPECT_EQ(gelSphere, 26);
  EXPECT_EQ(GeoEllipsoidId[gelWGS84], "gelWGS84");
  EXPECT_EQ(GeoEllipsoidId[gelClrk80intfoot], "gelClrk80intfoot");
  EXPECT_EQ(GeoEllipsoidId[gelNahrwan29], "gelNahrwan29");
  EXPECT_EQ(GeoEllipsoidName[gelWGS84], "WGS 1984");
  EXPECT_EQ(GeoEllipsoidName[gelEver30Ind], "Everest 1830 (India 1937 adj.)");
  EXPECT_EQ(GeoEllipsoidName[gelInt24AuthSph], "International 1924 Authalic Sphere");
  EXPECT_EQ(GeoEllipsoidData[gelWGS84].SemiMajor, 6378137.0);
  EXPECT_EQ(GeoEllipsoidData[gelWGS84].SemiMinor, 6356752.314245);
  EXPECT_EQ(GeoEllipsoidData[gelGRS80].SemiMinor, 6356752.31414);
  EXPECT_EQ(GeoEllipsoidData[gelClrk80].SemiMajor, 6378249.1448);
  EXPECT_EQ(GeoEllipsoidData[gelNahrwan29].SemiMinor, 6356566.42744);

  std::set<std::string_view> Ids, Names;
  std::set<int> Spheres;
  for (int i = 0; i < GeoEllipsoidCount; ++i) {
    Ids.insert(GeoEllipsoidId[i]);
    Names.insert(GeoEllipsoidName[i]);
    EXPECT_EQ(GeoEllipsoidId[i].substr(0, 3), "gel");
    EXPECT_GE(GeoEllipsoidData[i].SemiMajor, GeoEllipsoidData[i].SemiMinor);
    if (GeoEllipsoidData[i].SemiMajor == GeoEllipsoidData[i].SemiMinor) Spheres.insert(i);
  }
  EXPECT_EQ(Ids.size(), 61u);
  EXPECT_EQ(Names.size(), 61u);
  EXPECT_EQ(Spheres, (std::set<int>{gelSphere, gelAuthSph, gelInt24AuthSph, gelPopVisSphere}));
}

TEST(Ellipsoids, DerivedValues) {
  EXPECT_EQ(Round(RecipFlattening(gelWGS84), 7), 298.2572236);
  EXPECT_EQ(Round(GeoEllEccSquared(gelWGS84), 8), 0.00669438);
  for (TGeoEllipsoid S : {gelSphere, gelAuthSph, gelInt24AuthSph, gelPopVisSphere}) {
    EXPECT_EQ(RecipFlattening(S), 0.0);
    EXPECT_EQ(GeoEllEccSquared(S), 0.0);
  }
  EXPECT_EQ(GeoEllEccSquared(6356752.314245, 6378137.0),
            GeoEllEccSquared(6378137.0, 6356752.314245));
  EXPECT_NEAR(GeoEllEccSquared(6378137.0, 6356752.314245), GeoEllEccSquared(gelWGS84), 1e-15);
  EXPECT_EQ(GeoEllEccSquared(0.0), 0.0);
  EXPECT_NEAR(GeoEllEccSquared(RecipFlattening(gelWGS84)), GeoEllEccSquared(gelWGS84), 1e-15);
  EXPECT_EQ(RecipFlattening(6378137.0, 6378137.0), 0.0);
  EXPECT_NEAR(RecipFlattening(GeoEllEccSquared(gelWGS84)), RecipFlattening(gelWGS84), 1e-7);
  EXPECT_EQ(RecipFlattening(0.0), 0.0);
  EXPECT_EQ(EllipsoidMinAxFlat(6378137.0, 0.0), 6378137.0);
  EXPECT_NEAR(EllipsoidMinAxFlat(6378137.0, RecipFlattening(gelWGS84)), 6356752.314245, 1e-6);
  EXPECT_NEAR(EllipsoidMinAxEcc(6378137.0, GeoEllEccSquared(gelWGS84)), 6356752.314245, 1e-6);
  EXPECT_EQ(EllipsoidMinAxEcc(6378137.0, 0.0), 6378137.0);

  // A value outside the enumeration answers NaN instead of reading past the tables.
  const auto Bad = static_cast<TGeoEllipsoid>(200);
  EXPECT_TRUE(std::isnan(GeoEllEccSquared(Bad)));
  EXPECT_TRUE(std::isnan(RecipFlattening(Bad)));
}

TEST(Ellipsoids, ArgumentChecksRaiseExactMessages) {
  const double NaN = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(MessageOf([] { EllipsoidMinAxFlat(6378137.0, -1.0); }),
            "invalid reciprocal flattening");
  EXPECT_EQ(MessageOf([&] { EllipsoidMinAxFlat(6378137.0, NaN); }),
            "invalid reciprocal flattening");
  EXPECT_EQ(MessageOf([] { EllipsoidMinAxEcc(6378137.0, -0.1); }), "invalid eccentricity");
  EXPECT_EQ(MessageOf([&] { EllipsoidMinAxEcc(6378137.0, NaN); }), "invalid eccentricity");
  EXPECT_EQ(MessageOf([] { RecipFlattening(1.5); }), "invalid eccentricity");
  EXPECT_EQ(MessageOf([] { RecipFlattening(-1e-300); }), "invalid eccentricity");
  EXPECT_EQ(MessageOf([&] { RecipFlattening(NaN); }), "invalid eccentricity");
  // The bounds themselves are valid; no upper bound on EllipsoidMinAxEcc.
  EXPECT_EQ(RecipFlattening(1.0), 1.0);
  EXPECT_TRUE(std::isnan(EllipsoidMinAxEcc(6378137.0, 1.5)));
}
