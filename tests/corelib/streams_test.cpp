#include "qebgeolib/companion/corelib/streams.h"

#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <tuple>

using namespace qeb;

namespace {

constexpr std::string_view kTags[] = {"voziza",     "/voziza",     "calline",      "corners",
                                      "resolution", "gmlandmarks", "/gmlandmarks", "landmark",
                                      "calquads",   "lmsymbols",   "/lmsymbols",   "symbol",
                                      "utmzone",    "utmsouth",    "ellipsoid",    "invalidtag"};
constexpr int32_t kHigh = 15;

using TTag = std::tuple<int32_t, std::string, std::string>;
using TTags = std::vector<TTag>;

std::string TmpName(const char* Name) {
  return std::string(QEB_TEST_TMPDIR) + "/corelib_" + Name;
}

void WriteBytes(const std::string& Name, std::string_view Bytes) {
  TFileStream F(Name, fmCreate);
  F.WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
}

// Every tag up to the end; fails the test instead of looping on a reader
// that stops consuming.
template <class TRead> TTags AllTags(TRead Read, std::size_t Bound = 1000) {
  TTags R;
  std::string A, C;
  for (std::size_t I = 0; I < Bound; ++I) {
    const int32_t Idx = Read(A, C);
    if (Idx == kHigh) {
      EXPECT_TRUE(A.empty() && C.empty());
      return R;
    }
    R.emplace_back(Idx, A, C);
  }
  ADD_FAILURE() << "the tag reader did not reach the end";
  return R;
}

TTags FileTags(TTextFile& F) {
  return AllTags(
      [&](std::string& A, std::string& C) { return ReadNextTagInTextFile(F, kTags, kHigh, A, C); });
}

TTags StreamTags(TStream& S, std::size_t Bound = 1000) {
  return AllTags(
      [&](std::string& A, std::string& C) { return ReadNextTagInStream(S, kTags, kHigh, A, C); },
      Bound);
}

TTags MemoryTags(std::string_view Bytes, std::size_t Bound = 1000) {
  TMemoryStream M;
  M.WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
  M.SetPosition(0);
  TTags R = StreamTags(M, Bound);
  EXPECT_EQ(M.GetPosition(), M.GetSize());
  return R;
}

// Skips the stream up to and including the first line that holds Marker,
// the way the map readers find their root line.
void SkipStreamLine(TStream& S, std::string_view Marker) {
  std::string Line;
  char C;
  while (S.Read(&C, 1) == 1) {
    if (C != '\n') {
      Line.push_back(C);
      continue;
    }
    if (Line.find(Marker) != std::string::npos) return;
    Line.clear();
  }
}

const char* const kCalibration[] = {
    "<?xml version=\"1.0\"?>",
    "",
    "<!-- TVozIza Calibration / QEB Component Suite -->",
    "<voziza sig=\"QEBCSuite\" vers=\"1.0\" id=\"A\" model=\"equirect\" map=\"x.jpg\" "
    "caption=\"Z\xC3\xBCrich\">",
    "<corners>",
    "[47.50000,8.00000] [46.50000,8.00000]",
    "  [46.50000,9.00000] [47.50000,9.00000] ",
    "</Corners>",
    "<resolution>12.500</resolution>",
    "<!-- a comment with <calline> inside -->",
    "<calline type=\"parallel\" value=\"47.5\" npoints=\"3\">",
    "[10,20] [30,40]",
    "[50,60] ",
    "</calline>",
    "<CalQuads npoints=\"1\" >",
    "[47.00000,8.00000,1,2] ",
    "</calquads >",
    "</voziza>",
    "<voziza id=\"B\">"};

const TTags kCalibrationTags = {
    {3, "", "\n[47.50000,8.00000] [46.50000,8.00000]\n  [46.50000,9.00000] [47.50000,9.00000] \n"},
    {4, "", "12.500"},
    {2, "type=\"parallel\" value=\"47.5\" npoints=\"3\"", "\n[10,20] [30,40]\n[50,60] \n"},
    {8, "npoints=\"1\"", "\n[47.00000,8.00000,1,2] \n"},
    {1, "", ""},
    {0, "id=\"B\"", "\n"},
};

} // namespace

TEST(TagReader, CalibrationFileAndStreamsAgree) {
  const std::string Name = TmpName("calib.xml");
  {
    TTextFile W(Name);
    W.Rewrite();
    for (const char* L : kCalibration)
      W.WriteLn(L);
    W.Close();
  }
  TTextFile F(Name);
  F.Reset();
  std::string Line;
  while (F.ReadLn(Line) && Line.find("<voziza") == std::string::npos) {
  }
  EXPECT_EQ(FileTags(F), kCalibrationTags);
  EXPECT_TRUE(F.Eof());

  TMemoryStream M;
  M.LoadFromFile(Name);
  SkipStreamLine(M, "<voziza");
  EXPECT_EQ(StreamTags(M), kCalibrationTags);
  TFileStream FS(Name, fmOpenRead); // read in chunks, not in place
  SkipStreamLine(FS, "<voziza");
  EXPECT_EQ(StreamTags(FS), kCalibrationTags);
  EXPECT_EQ(FS.GetPosition(), FS.GetSize());

  // Line reading goes on where the tag reader stopped.
  F.Reset();
  F.ReadLn(Line);
  std::string A, C;
  F.SetPosition(F.Text().find("<resolution>"));
  EXPECT_EQ(ReadNextTagInTextFile(F, kTags, kHigh, A, C), 4);
  EXPECT_TRUE(F.ReadLn(Line));
  EXPECT_EQ(Line, "");
  EXPECT_TRUE(F.ReadLn(Line));
  EXPECT_EQ(Line, "<!-- a comment with <calline> inside -->");
}

TEST(TagReader, LandmarkSetsAndContainers) {
  const std::string Set = "<gmlandmarks sig=\"QEBCSuite\" vers=\"1.0\" id=\"b\">\n"
                          "<landmark lat=\"47.5\" captext=\"Z\xFCrich\"/>\n"
                          "<LANDMARK lat=\"1\" />\n"
                          "<unknown a=\"1\">text</unknown>\n"
                          "</gmlandmarks>\n"
                          "<landmark lat=\"9\"/>";
  // The Windows-1252 caption comes back as UTF-8.
  EXPECT_EQ(MemoryTags(Set), (TTags{{5, "sig=\"QEBCSuite\" vers=\"1.0\" id=\"b\"", "\n"},
                                    {7, "lat=\"47.5\" captext=\"Z\xC3\xBCrich\"", ""},
                                    {7, "lat=\"1\"", ""},
                                    {6, "", ""},
                                    {7, "lat=\"9\"", ""}}));
  const std::string Name = TmpName("landmarks.xml");
  WriteBytes(Name, Set);
  TTextFile F(Name);
  F.Reset();
  std::string Line;
  F.ReadLn(Line);
  EXPECT_EQ(FileTags(F), (TTags{{7, "lat=\"47.5\" captext=\"Z\xC3\xBCrich\"", ""},
                                {7, "lat=\"1\"", ""},
                                {6, "", ""},
                                {7, "lat=\"9\"", ""}}));
  // UTF-8 text in a stream stays as it is.
  EXPECT_EQ(MemoryTags("<symbol name=\"\xE2\x82\xAC\">\xC3\xA9</symbol>"),
            (TTags{{11, "name=\"\xE2\x82\xAC\"", "\xC3\xA9"}}));
}

TEST(TagReader, MalformedInputEndsWithHigh) {
  EXPECT_EQ(MemoryTags(""), TTags{});
  EXPECT_EQ(MemoryTags("no tags at all\r\n"), TTags{});
  EXPECT_EQ(MemoryTags("<resolution>1</resolution><calline type=\"x\""), (TTags{{4, "", "1"}}));
  EXPECT_EQ(MemoryTags("<utmzone>3<!-- never closed <utmsouth>x</utmsouth>"),
            (TTags{{12, "", "3"}}));
  EXPECT_EQ(MemoryTags("<?xml <utmzone>3</utmzone>"), TTags{});
  // Missing and mismatched closing tags lose nothing that follows.
  EXPECT_EQ(MemoryTags("<resolution>5\r\n<corners>[1,2]</corners>"),
            (TTags{{4, "", "5\n"}, {3, "", "[1,2]"}}));
  EXPECT_EQ(MemoryTags("<utmzone>32</utmsouth><utmsouth>TRUE</utmsouth  \n>"),
            (TTags{{12, "", "32"}, {13, "", "TRUE"}}));
  EXPECT_EQ(MemoryTags("<utmzone>32</utmzonex><ellipsoid>"), (TTags{{12, "", "32"}, {14, "", ""}}));
  EXPECT_EQ(MemoryTags("</voziza"), TTags{});

  // Huge lines: one long attribute text, one unterminated tag, one line of '<'.
  const std::string Long(1 << 20, 'a');
  const TTags LongTag = MemoryTags("<symbol " + Long + "/>");
  ASSERT_EQ(LongTag.size(), 1u);
  EXPECT_EQ(std::get<1>(LongTag[0]), Long);
  EXPECT_EQ(MemoryTags("<symbol " + Long), TTags{});
  const auto T0 = std::chrono::steady_clock::now();
  EXPECT_EQ(MemoryTags(std::string(1 << 20, '<')), TTags{});
  EXPECT_EQ(MemoryTags(std::string(1 << 20, '<').append(">")), TTags{});
  std::string Closers;
  for (int I = 0; I < 50000; ++I)
    Closers += "<utmzone>1</utmzone          x>";
  EXPECT_EQ(MemoryTags(Closers, 60000).size(), 50000u);
  EXPECT_LT(std::chrono::steady_clock::now() - T0, std::chrono::seconds(10));

  // Random bytes, with the characters of the syntax made frequent.
  std::mt19937 Rng(12345);
  const char Syntax[] = "<>/!?-\" \r\nlandmark";
  for (int Round = 0; Round < 20; ++Round) {
    std::string Bytes(4096, '\0');
    for (char& B : Bytes)
      B = Rng() % 2 ? Syntax[Rng() % (sizeof Syntax - 1)] : static_cast<char>(Rng());
    MemoryTags(Bytes, Bytes.size() + 1);
  }
}

TEST(TagReader, QuotedValuesMayHoldGreaterThan) {
  EXPECT_EQ(MemoryTags("<landmark captext=\"a > b\" lat=\"1\"/><utmzone>2</utmzone>"),
            (TTags{{7, "captext=\"a > b\" lat=\"1\"", ""}, {12, "", "2"}}));
  // A quote that is never closed is a plain character: the first '>' ends the tag.
  EXPECT_EQ(MemoryTags("<landmark captext=\"a>text<utmzone>2</utmzone>"),
            (TTags{{7, "captext=\"a", "text"}, {12, "", "2"}}));
  // Hostile quoting stays linear: an unclosed quote before many tags, and
  // quotes that pair up across tags.
  const auto T0 = std::chrono::steady_clock::now();
  std::string Unclosed = "<landmark a=\"/>";
  std::string Pairs;
  for (int I = 0; I < 100000; ++I) {
    Unclosed += "<landmark/>";
    Pairs += "<landmark a=\">";
  }
  EXPECT_EQ(MemoryTags(Unclosed, 200000).size(), 100001u);
  EXPECT_EQ(MemoryTags(Pairs, 200000).size(), 50000u);
  EXPECT_LT(std::chrono::steady_clock::now() - T0, std::chrono::seconds(10));
}

TEST(TagReader, BoundsOfTheTagList) {
  TMemoryStream M;
  WriteLnStream(M, "<landmark a=\"1\"/><utmzone>5</utmzone>");
  M.SetPosition(0);
  std::string A = "old", C = "old";
  EXPECT_EQ(ReadNextTagInStream(M, kTags, -1, A, C), -1);
  EXPECT_EQ(ReadNextTagInStream(M, {}, 3, A, C), 3);
  EXPECT_EQ(M.GetPosition(), 0);
  EXPECT_TRUE(A.empty() && C.empty());
  // Only Tags[0..High] count: utmzone (12) lies beyond High 8.
  EXPECT_EQ(ReadNextTagInStream(M, kTags, 8, A, C), 7);
  EXPECT_EQ(ReadNextTagInStream(M, kTags, 8, A, C), 8);
  M.SetPosition(0);
  EXPECT_EQ(ReadNextTagInStream(M, kTags, 99, A, C), 7);
  EXPECT_EQ(ReadNextTagInStream(M, kTags, 99, A, C), 12);
  EXPECT_EQ(C, "5");
  EXPECT_EQ(ReadNextTagInStream(M, kTags, 99, A, C), 99);

  TTextFile Closed;
  EXPECT_THROW(ReadNextTagInTextFile(Closed, kTags, kHigh, A, C), EInOutError);
}

TEST(TagReader, WriteLnStreamWritesCp1252AndCrLf) {
  TMemoryStream M;
  WriteLnStream(M, "Z\xC3\xBCrich \xE2\x82\xAC \xE4\xB8\xAD");
  WriteLnStream(M, "");
  const std::string Expected = "Z\xFCrich \x80 ?\r\n\r\n";
  ASSERT_EQ(M.GetSize(), static_cast<int64_t>(Expected.size()));
  EXPECT_EQ(std::memcmp(M.Memory(), Expected.data(), Expected.size()), 0);
}
