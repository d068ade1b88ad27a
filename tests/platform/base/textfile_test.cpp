#include "qebgeolib/platform/base/textfile.h"

#include <cerrno>
#include <gtest/gtest.h>

using namespace qeb;

namespace {

std::string TmpName(const char* Name) {
  return std::string(QEB_TEST_TMPDIR) + "/platform_" + Name;
}

void WriteBytes(const std::string& Name, std::string_view Bytes) {
  TFileStream F(Name, fmCreate);
  F.WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
}

std::string ReadBytes(const std::string& Name) {
  TMemoryStream M;
  M.LoadFromFile(Name);
  return std::string(reinterpret_cast<const char*>(M.Memory()), M.GetSize());
}

std::vector<std::string> Lines(const std::string& Name) {
  TTextFile F(Name);
  F.Reset();
  std::vector<std::string> R;
  std::string L;
  while (!F.Eof()) {
    EXPECT_TRUE(F.ReadLn(L));
    R.push_back(L);
  }
  EXPECT_FALSE(F.ReadLn(L));
  EXPECT_EQ(L, "");
  return R;
}

using V = std::vector<std::string>;

} // namespace

TEST(TextFile, WritesCp1252WithCrLfAndReadsBack) {
  const std::string Name = TmpName("text_w.txt");
  TTextFile F;
  F.AssignFile(Name);
  F.Rewrite();
  F.Write("Z\xC3\xBCrich ");
  F.WriteLn("\xE2\x82\xAC 5 \xE4\xB8\xAD"); // euro fits, CJK does not
  F.WriteLn();
  F.Close();
  F.Close(); // harmless
  EXPECT_EQ(ReadBytes(Name), "Z\xFCrich \x80 5 ?\r\n\r\n");
  F.Append();
  F.WriteLn("end");
  F.Close();
  EXPECT_EQ(Lines(Name), (V{"Z\xC3\xBCrich \xE2\x82\xAC 5 ?", "", "end"}));
}

TEST(TextFile, LineEndsEncodingsAndSharedPosition) {
  const std::string Name = TmpName("text_r.txt");
  WriteBytes(Name, "a\r\nb\nc\rd\r\r\ne");
  EXPECT_EQ(Lines(Name), (V{"a", "b", "c", "d", "", "e"}));
  WriteBytes(Name, "x\n\n");
  EXPECT_EQ(Lines(Name), (V{"x", ""}));
  WriteBytes(Name, "");
  EXPECT_EQ(Lines(Name), V{});
  WriteBytes(Name, "\xEF\xBB\xBFK\xC3\xB6ln\r\n");
  EXPECT_EQ(Lines(Name), V{"K\xC3\xB6ln"});
  WriteBytes(Name, "K\xF6ln\r\n\x80");
  EXPECT_EQ(Lines(Name), (V{"K\xC3\xB6ln", "\xE2\x82\xAC"}));

  TTextFile F(Name);
  F.Reset();
  EXPECT_EQ(F.Text(), "K\xC3\xB6ln\r\n\xE2\x82\xAC");
  std::string L;
  F.ReadLn(L);
  EXPECT_EQ(F.Position(), 7u);
  F.SetPosition(1);
  F.ReadLn(L);
  EXPECT_EQ(L, "\xC3\xB6ln");
  F.SetPosition(1000);
  EXPECT_TRUE(F.Eof());
}

TEST(TextFile, Failures) {
  TTextFile F(TmpName("text_missing.txt"));
  EXPECT_FALSE(F.TryReset());
  EXPECT_FALSE(F.IsOpen());
  try {
    F.Reset();
    FAIL();
  } catch (const EInOutError& E) {
    EXPECT_EQ(E.ErrorCode, ENOENT);
    EXPECT_NE(std::string(E.what()).find("platform_text_missing.txt"), std::string::npos);
  }
  EXPECT_THROW(F.Append(), EInOutError);
  EXPECT_THROW(F.Eof(), EInOutError);
  TTextFile Unnamed;
  EXPECT_THROW(Unnamed.Rewrite(), EInOutError);
  EXPECT_FALSE(Unnamed.TryReset());

  const std::string Name = TmpName("text_modes.txt");
  F.AssignFile(Name);
  F.Rewrite();
  std::string L;
  try {
    F.ReadLn(L);
    FAIL();
  } catch (const EInOutError& E) {
    EXPECT_EQ(E.ErrorCode, EBADF);
    EXPECT_STREQ(E.what(), ("Text file \"" + Name + "\" is not open for input").c_str());
  }
  F.Close();
  ASSERT_TRUE(F.TryReset());
  EXPECT_THROW(F.WriteLn("x"), EInOutError);

  // A sparse file above the cap is refused before anything is allocated.
  {
    TFileStream Big(Name, fmCreate);
    Big.SetSize(static_cast<int64_t>(TTextFile::kMaxReadSize) + 1);
  }
  try {
    F.Reset();
    FAIL();
  } catch (const EInOutError& E) {
    EXPECT_EQ(E.ErrorCode, EFBIG);
  }
  EXPECT_FALSE(F.IsOpen());
  DeleteFile(Name);
}
