// The tool's number texts, and the platform's file streams on special files
// and failing writes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <limits>

#include "qebgeolib/platform/base/streams.h"
#include "qebgeolib/platform/base/sysutils.h"
#include "qebgeolib/platform/base/textfile.h"
#include "tests/errortext.h"
#include "tools/qebgeo/numtext.h"

using namespace qeb;
using namespace qeb::cli;
using qeb::test::ErrorOf;

TEST(NumberTexts, FixedFormIsExactOrRefused) {
  constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
  constexpr double Inf = std::numeric_limits<double>::infinity();
  struct TCase {
    double V;
    int Decimals;
    bool Ok;
    const char* Text;
  };
  const TCase Cases[] = {
      {-12.3456789, 5, true, "-12.34568"},
      {0.5, 5, true, "0.50000"},
      {-0.0001, 3, true, "0.000"},
      {1e21, 0, true, "1000000000000000000000"},
      {-4.9e-324, 17, true, "0.00000000000000000"},
      {NaN, 3, false, ""},
      {-Inf, 3, false, ""},
      {1.5, -1, false, ""},
      {1.5, kMaxFixedDecimals + 1, false, ""},
  };
  for (const TCase& C : Cases) {
    std::string S = "old";
    EXPECT_EQ(FormatFixed(C.V, C.Decimals, S), C.Ok) << C.Text;
    EXPECT_EQ(S, C.Text);
  }
  // The extremes keep every digit and read back as themselves.
  for (double V : {std::numeric_limits<double>::max(), -std::numeric_limits<double>::max()}) {
    std::string S;
    ASSERT_TRUE(FormatFixed(V, kMaxFixedDecimals, S));
    EXPECT_EQ(S.size(), (V < 0 ? 1u : 0u) + 309 + 1 + kMaxFixedDecimals);
    double Back = 0;
    ASSERT_TRUE(ParseNumber(S, Back));
    EXPECT_EQ(Back, V);
  }
  std::string S;
  EXPECT_TRUE(FormatShortest(-3.25f, S));
  EXPECT_EQ(S, "-3.25");
  EXPECT_FALSE(FormatShortest(std::numeric_limits<float>::infinity(), S));
  EXPECT_FALSE(FormatShortest(std::numeric_limits<float>::quiet_NaN(), S));
  EXPECT_EQ(S, "");
}

TEST(NumberTexts, ParsersTakeWholeFiniteTextsOnly) {
  const std::pair<const char*, bool> Numbers[] = {
      {"1.5", true},  {"-0.5e-3", true}, {"1e308", true}, {"1e309", false}, {"nan", false},
      {"inf", false}, {"", false},       {" 1", false},   {"1x", false},    {"+1", false}};
  for (auto [Text, Ok] : Numbers) {
    double V = 7;
    EXPECT_EQ(ParseNumber(Text, V), Ok) << Text;
    if (!Ok) {
      EXPECT_EQ(V, 7) << Text;
    }
  }
  const std::pair<const char*, bool> Integers[] = {
      {"-2147483648", true}, {"2147483648", false}, {"1.0", false}, {"", false}, {"12 ", false}};
  for (auto [Text, Ok] : Integers) {
    int32_t V = 0;
    EXPECT_EQ(ParseInteger(Text, V), Ok) << Text;
  }
}

TEST(FileStreams, SpecialFilesAreRefusedForReadingAtOnce) {
  const std::string Fifo = std::string(QEB_TEST_TMPDIR) + "/numtext_fifo";
  ::unlink(Fifo.c_str());
  ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
  const std::pair<std::string, const char*> Cases[] = {
      {Fifo, "not a regular file (a FIFO)"},
      {"/dev/zero", "not a regular file (a character device)"},
      {QEB_TEST_TMPDIR, "Is a directory"},
  };
  for (const auto& [Name, Reason] : Cases) {
    EXPECT_NE(ErrorOf([&] { TFileStream F(Name, fmOpenRead); }).find(Reason), std::string::npos)
        << Name;
    TTextFile T(Name);
    EXPECT_FALSE(T.TryReset()) << Name;
    EXPECT_NE(ErrorOf([&] { T.Reset(); }).find(Reason), std::string::npos) << Name;
  }
  ::unlink(Fifo.c_str());
  // Writing to a device stays allowed.
  TFileStream Null("/dev/null", fmOpenWrite);
  EXPECT_EQ(Null.Write("x", 1), 1);
  Null.Close();
  Null.Close();
  EXPECT_NE(ErrorOf([&] { Null.Write("x", 1); }), "(no error)");
}

TEST(FileStreams, FailedWritesReachTheCaller) {
  TTextFile T("/dev/full");
  T.Rewrite();
  T.WriteLn("buffered until the close");
  EXPECT_NE(ErrorOf([&] { T.Close(); }).find("No space left on device"), std::string::npos);
  EXPECT_FALSE(T.IsOpen());

  TMemoryStream M;
  M.WriteBuffer("abc", 3);
  EXPECT_NE(ErrorOf([&] { M.SaveToFile("/dev/full"); }).find("Cannot write file"),
            std::string::npos);
}
