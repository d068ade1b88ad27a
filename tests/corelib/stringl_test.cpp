#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "qebgeolib/companion/corelib/stringl.h"

using namespace qeb;

TEST(StringIx, PositionWithinHighAndClamping) {
  constexpr std::array<std::string_view, 4> Tags = {"voziza", "/voziza", "landmark", "voziza"};
  EXPECT_EQ(StringIx("voziza", Tags, 3), 1); // first match wins
  EXPECT_EQ(StringIx("landmark", Tags, 3), 3);
  EXPECT_EQ(StringIx("Landmark", Tags, 3), 0); // case matters
  EXPECT_EQ(StringIx("landmark", Tags, 1), 0); // beyond High
  EXPECT_EQ(StringIx("landmark", Tags, 2), 3);
  EXPECT_EQ(StringIx("landmark", Tags, 1000), 3);
  EXPECT_EQ(StringIx("voziza", Tags, -1), 0);
  EXPECT_EQ(StringIx("", Tags, 3), 0);
  EXPECT_EQ(StringIx("x", std::span<const std::string_view>(), 5), 0);

  const std::vector<std::string> Names = {"WGS84", "WGS72", ""};
  EXPECT_EQ(StringIx("WGS72", Names, 2), 2);
  EXPECT_EQ(StringIx("", Names, 2), 3);
  EXPECT_EQ(StringIx("", Names, 1), 0);
}

TEST(ReduceStringToFN83CompliantChars, KeepsOnlySafeCharacters) {
  EXPECT_EQ(ReduceStringToFN83CompliantChars("Az09.!#$%&'()-@^_`{}~"), "Az09.!#$%&'()-@^_`{}~");
  EXPECT_EQ(ReduceStringToFN83CompliantChars("my file, v2+3;[x]=\"y\"*?<>|.dat"),
            "myfilev23xy.dat");
  // Directories and drives cannot survive, nor can "." or "..".
  EXPECT_EQ(ReduceStringToFN83CompliantChars("../../etc/passwd"), "....etcpasswd");
  EXPECT_EQ(ReduceStringToFN83CompliantChars("C:\\Windows\\x.ini"), "CWindowsx.ini");
  EXPECT_EQ(ReduceStringToFN83CompliantChars("/.."), "");
  EXPECT_EQ(ReduceStringToFN83CompliantChars(". / ."), "");
  EXPECT_EQ(ReduceStringToFN83CompliantChars(".hidden"), ".hidden");
  // Non-ASCII UTF-8 sequences and control characters vanish completely.
  EXPECT_EQ(ReduceStringToFN83CompliantChars("Z\xC3\xBCrich\t\n\x7F\x01.bmp"), "Zrich.bmp");
  EXPECT_EQ(ReduceStringToFN83CompliantChars(std::string("a\0b", 3)), "ab");
  EXPECT_EQ(ReduceStringToFN83CompliantChars(""), "");
}
