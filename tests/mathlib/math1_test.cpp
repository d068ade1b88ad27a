#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "qebgeolib/companion/mathlib/math1.h"

using namespace qeb;

namespace {
const std::string G = "\xC2\xB0"; // the degree sign
} // namespace

TEST(DegreeToStr, FormatsAndDecimals) {
  EXPECT_EQ(DegreeToStr(47.5, dfDeg, 2), "47.50" + G);
  EXPECT_EQ(DegreeToStr(47.5, dfDegMin, 2), "47" + G + "30.00'");
  EXPECT_EQ(DegreeToStr(47.5, dfDegMinSec, 1), "47" + G + "30'00.0\"");
  EXPECT_EQ(DegreeToStr(10, dfDeg, 0), "10" + G);
  EXPECT_EQ(DegreeToStr(10.1, dfDegMin, 0), "10" + G + "06'");
  EXPECT_EQ(DegreeToStr(0.0125, dfDegMinSec, 0), "0" + G + "00'45\"");
  EXPECT_EQ(DegreeToStr(12.3456789, dfDegMinSec, 3), "12" + G + "20'44.444\"");
  EXPECT_EQ(DegreeToStr(180, dfDegMinSec, 0), "180" + G + "00'00\"");
  // Decimals clamp to 0..9.
  EXPECT_EQ(DegreeToStr(1.5, dfDeg, -3), DegreeToStr(1.5, dfDeg, 0));
  EXPECT_EQ(DegreeToStr(1.5, dfDegMin, 40), "1" + G + "30.000000000'");
  // Unknown format counts as degrees.
  EXPECT_EQ(DegreeToStr(2.25, static_cast<TDegreeFormat>(7), 2), "2.25" + G);
}

TEST(DegreeToStr, CarriesNeverShowSixty) {
  EXPECT_EQ(DegreeToStr(47.99999, dfDegMin, 2), "48" + G + "00.00'");
  EXPECT_EQ(DegreeToStr(47.999999, dfDegMinSec, 1), "48" + G + "00'00.0\"");
  EXPECT_EQ(DegreeToStr(9.9999, dfDeg, 2), "10.00" + G);
  // 59.9999 seconds carries into the minute only.
  EXPECT_EQ(DegreeToStr(5 + 30.0 / 60 + 59.9999 / 3600, dfDegMinSec, 2), "5" + G + "31'00.00\"");
  EXPECT_EQ(DegreeToStr(5 + 59.996 / 60, dfDegMin, 2), "6" + G + "00.00'");
}

TEST(DegreeToStr, BadValues) {
  EXPECT_EQ(DegreeToStr(-47.5, dfDegMin, 1), DegreeToStr(47.5, dfDegMin, 1));
  EXPECT_EQ(DegreeToStr(std::nan(""), dfDegMinSec, 2), "NaN");
  EXPECT_EQ(DegreeToStr(-INFINITY, dfDeg, 2), "Inf");
  EXPECT_EQ(DegreeToStr(1e300, dfDegMinSec, 9).size(), 301u + 2 + 3 + 2 + 10 + 1);
  EXPECT_EQ(DegreeToStr(std::numeric_limits<double>::max(), dfDeg, 9).size(), 309u + 10 + 2);
}

TEST(ScanDateTime, KnownDatesAndPos) {
  auto Scan = [](const char* Text, const char* Fmt = "yyyymmddHHMMSS") {
    int32_t Pos = 1;
    return ScanDateTime(Text, Fmt, lgEnglish, Pos);
  };
  EXPECT_EQ(Scan("18991230000000"), 0.0);
  EXPECT_EQ(Scan("20000101120000"), 36526.5);
  EXPECT_DOUBLE_EQ(Scan("20240229235959"), 45351.0 + 86399.0 / 86400.0);
  // Before the epoch the fraction counts forward from the (negative) day.
  EXPECT_EQ(Scan("18991229060000"), -1.25);
  EXPECT_EQ(Scan("00010101000000"), -693593.0);
  EXPECT_EQ(Scan("99991231000000"), 2958465.0);
  // Other format characters must match; missing fields are the epoch's.
  EXPECT_EQ(Scan("2000-01-02", "yyyy-mm-dd"), 36527.0);
  EXPECT_EQ(Scan("1800", "HHMM"), 0.75);

  int32_t Pos = 3;
  EXPECT_EQ(ScanDateTime("x 19700101000000rest", "yyyymmddHHMMSS", lgGerman, Pos), 25569.0);
  EXPECT_EQ(Pos, 17);
}

TEST(ScanDateTime, MalformedGivesZeroAndKeepsPos) {
  const char* Fmt = "yyyymmddHHMMSS";
  for (const char* Bad : {"", "2000010112000", "20001301120000", "20000132120000", "20230229000000",
                          "20000101240000", "20000101126000", "20000101120060", "00000101000000",
                          "2000O101120000", "2000 101120000", "-2000101120000"}) {
    int32_t Pos = 1;
    EXPECT_EQ(ScanDateTime(Bad, Fmt, lgEnglish, Pos), 0.0) << Bad;
    EXPECT_EQ(Pos, 1) << Bad;
  }
  for (int32_t P : {0, -5, 15, 100}) {
    int32_t Pos = P;
    EXPECT_EQ(ScanDateTime("20000101120000", Fmt, lgEnglish, Pos), 0.0);
    EXPECT_EQ(Pos, P);
  }
  int32_t Pos = 1;
  EXPECT_EQ(ScanDateTime("20000101120000", "", lgEnglish, Pos), 0.0);
  EXPECT_EQ(ScanDateTime("2000/01/01", "yyyy-mm-dd", lgEnglish, Pos), 0.0);
  // A field of many digits saturates instead of overflowing.
  EXPECT_EQ(ScanDateTime("99999999999999999999", "yyyyyyyyyyyyyyyyyyyy", lgEnglish, Pos), 0.0);
}

TEST(HexAndScanHex, TextsPrefixesAndMalformed) {
  EXPECT_EQ(Hex(0, 0), "0");
  EXPECT_EQ(Hex(0xFF, 8), "000000FF");
  EXPECT_EQ(Hex(0xABCDEF, 2), "ABCDEF"); // never truncated
  EXPECT_EQ(Hex(0xFFFFFFFFu, 12), "FFFFFFFF");
  EXPECT_EQ(Hex(0x1A, -3), "1A");

  int32_t Pos = 1;
  EXPECT_EQ(ScanHex("00FF00FF", Pos), 0x00FF00FFu);
  EXPECT_EQ(Pos, 9);
  Pos = 1;
  EXPECT_EQ(ScanHex(" \t$c0ffee;", Pos), 0xC0FFEEu);
  EXPECT_EQ(Pos, 10);
  Pos = 1;
  EXPECT_EQ(ScanHex("0XdeadBEEF", Pos), 0xDEADBEEFu);
  Pos = 1;
  EXPECT_EQ(ScanHex("0xg", Pos), 0u); // "0" read, "x" is not a prefix here
  EXPECT_EQ(Pos, 2);
  Pos = 1;
  EXPECT_EQ(ScanHex("123456789", Pos), 0x12345678u); // at most 8 digits
  EXPECT_EQ(Pos, 9);
  EXPECT_EQ(ScanHex("123456789", Pos), 9u);

  for (const char* Bad : {"", "   ", "$", "$x1", "g12", "-1", "0x"}) {
    Pos = 1;
    EXPECT_EQ(ScanHex(Bad, Pos), 0u) << Bad;
    EXPECT_EQ(Pos, Bad == std::string_view("0x") ? 2 : 1) << Bad;
  }
  Pos = 0;
  EXPECT_EQ(ScanHex("FF", Pos), 0u);
  Pos = 3;
  EXPECT_EQ(ScanHex("FF", Pos), 0u);
  EXPECT_EQ(Pos, 3);
}

TEST(HexAndScanHex, RoundTrip) {
  auto Check = [](uint32_t V) {
    for (int32_t Digits : {1, 8}) {
      const std::string S = Hex(V, Digits);
      int32_t Pos = 1;
      if (ScanHex(S, Pos) != V || Pos != static_cast<int32_t>(S.size()) + 1) return false;
    }
    return true;
  };
  for (uint32_t V : {0u, 1u, 15u, 16u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFEu, 0xFFFFFFFFu})
    EXPECT_TRUE(Check(V)) << V;
  // An odd stride visits two million distinct values spread over the whole range.
  uint32_t V = 0;
  int Failures = 0;
  for (int I = 0; I < 2000000; ++I, V += 2654435761u)
    Failures += !Check(V);
  EXPECT_EQ(Failures, 0);
}

TEST(Round125, SeriesAndBoundaries) {
  EXPECT_EQ(Round125(1), 1.0);
  EXPECT_EQ(Round125(1.41), 1.0);
  EXPECT_EQ(Round125(1.42), 2.0);
  EXPECT_EQ(Round125(3.16), 2.0);
  EXPECT_EQ(Round125(3.17), 5.0);
  EXPECT_EQ(Round125(7.07), 5.0);
  EXPECT_EQ(Round125(7.08), 10.0);
  EXPECT_EQ(Round125(10), 10.0);
  EXPECT_EQ(Round125(9.999999999), 10.0);
  EXPECT_EQ(Round125(1234), 1000.0);
  EXPECT_EQ(Round125(450), 500.0);
  EXPECT_EQ(Round125(0.15), 0.2);
  EXPECT_EQ(Round125(0.1), 0.1);
  EXPECT_EQ(Round125(0.0007), 0.0005);
  EXPECT_EQ(Round125(3e-5), 2e-5);
  EXPECT_EQ(Round125(1e300), 1e300);
  EXPECT_EQ(Round125(std::numeric_limits<double>::max()), 1e308);
  EXPECT_GT(Round125(std::numeric_limits<double>::denorm_min()), 0.0);
  EXPECT_NEAR(Round125(3e-300) / 2e-300, 1.0, 1e-12);
  for (double Bad : {0.0, -5.0, -HUGE_VAL, HUGE_VAL, std::nan("")})
    EXPECT_EQ(Round125(Bad), 1.0) << Bad;
}

TEST(BRandom, FrequencyAndLimits) {
  for (double P : {0.1, 0.5, 0.9}) {
    int Hits = 0;
    const int N = 200000;
    for (int I = 0; I < N; ++I)
      Hits += BRandom(P);
    // Six standard deviations: a false alarm is practically impossible.
    EXPECT_NEAR(Hits / double(N), P, 6 * std::sqrt(P * (1 - P) / N)) << P;
  }
  bool AllTrue = true, AnyTrue = false;
  for (int I = 0; I < 10000; ++I) {
    AllTrue = AllTrue && BRandom(1) && BRandom(5);
    AnyTrue = AnyTrue || BRandom(0) || BRandom(-1) || BRandom(std::nan(""));
  }
  EXPECT_TRUE(AllTrue);
  EXPECT_FALSE(AnyTrue);
}
