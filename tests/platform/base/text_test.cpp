#include "qebgeolib/platform/base/text.h"

#include <gtest/gtest.h>

using namespace qeb;

TEST(Text, EveryCp1252ByteRoundTripsThroughUtf8) {
  for (int B = 0; B < 256; ++B) {
    const std::string Byte(1, static_cast<char>(B));
    const std::string Utf8 = Cp1252ToUtf8(Byte);
    EXPECT_TRUE(IsValidUtf8(Utf8)) << B;
    EXPECT_EQ(Utf8ToCp1252(Utf8), Byte) << B;
  }
  // The whole table at once, in one string.
  std::string All;
  for (int B = 0; B < 256; ++B)
    All.push_back(static_cast<char>(B));
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(All)), All);

  EXPECT_EQ(Cp1252ToUtf8("\x80"), "\xE2\x82\xAC");       // euro sign
  EXPECT_EQ(Cp1252ToUtf8("\x9F"), "\xC5\xB8");           // Y with diaeresis
  EXPECT_EQ(Cp1252ToUtf8("Z\xFCrich"), "Z\xC3\xBCrich"); // u umlaut
  EXPECT_EQ(Cp1252ToUtf8("\x81\x8D\x8F\x90\x9D"), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
  EXPECT_EQ(Cp1252ToUtf8(std::string_view("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Text, CharactersOutside1252BecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1252("a\xE2\x82\xAC"
                         "b"),
            "a\x80"
            "b");
  EXPECT_EQ(Utf8ToCp1252("\xE4\xB8\xAD"), "?");         // CJK
  EXPECT_EQ(Utf8ToCp1252("x\xF0\x9F\x98\x80y"), "x?y"); // emoji, four bytes
  EXPECT_EQ(Utf8ToCp1252("\xCE\xA9"), "?");             // Greek omega
  EXPECT_EQ(Utf8ToCp1252("\xC2\x80"), "?");             // U+0080 has no byte: 0x80 is the euro
  EXPECT_EQ(Utf8ToCp1252("\xC5\x92\xE2\x84\xA2"), "\x8C\x99"); // OE ligature, trade mark
}

TEST(Text, MalformedUtf8) {
  struct Case {
    std::string_view In, Out;
  };
  const Case Cases[] = {
      {"\xC3", "?"},     // cut off at the end
      {"\xC3(", "?("},   // lead byte without continuation keeps the next byte
      {"\xE2\x82", "?"}, // cut-off three-byte form counts once
      {"\xE2\x82z", "?z"},
      {"\xC0\xAF", "??"},           // overlong '/'
      {"\xE0\x80\xAF", "???"},      // overlong three-byte form
      {"\xED\xA0\x80", "???"},      // surrogate
      {"\xF4\x90\x80\x80", "????"}, // above U+10FFFF
      {"\xFF\xFE", "??"},
      {"\x80\xBF", "??"}, // stray continuation bytes
  };
  for (const Case& C : Cases) {
    EXPECT_FALSE(IsValidUtf8(C.In)) << C.In;
    EXPECT_EQ(Utf8ToCp1252(C.In), C.Out) << C.In;
  }
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_TRUE(IsValidUtf8(std::string(1000, 'a') + "\xF4\x8F\xBF\xBF" + std::string(13, 'b')));
  EXPECT_FALSE(IsValidUtf8(std::string(1000, 'a') + "\xF4\x8F\xBF"));
  EXPECT_TRUE(IsValidUtf8("\xEF\xBF\xBD\xF0\x90\x80\x80\xED\x9F\xBF"));
}

TEST(Text, ExternalTextAndShortStrings) {
  EXPECT_EQ(DecodeExternalText("caf\xC3\xA9"), "caf\xC3\xA9");
  EXPECT_EQ(DecodeExternalText("caf\xE9"), "caf\xC3\xA9");
  EXPECT_EQ(DecodeExternalText("\xC3"), "\xC3\x83");

  auto S = TShortString<4>::FromString("Z\xC3\xBCrich");
  EXPECT_EQ(S.Bytes(), "Z\xFCri");
  EXPECT_EQ(S.ToString(), "Z\xC3\xBCri");
  S.Len = 200; // damaged record
  EXPECT_EQ(S.Length(), 4u);
}
