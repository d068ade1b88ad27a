#include "qebgeolib/platform/base/streams.h"

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>

using namespace qeb;

namespace {
std::string TmpName(const char* Name) {
  return std::string(QEB_TEST_TMPDIR) + "/platform_" + Name;
}
} // namespace

TEST(Streams, MemoryStreamReadWriteSeekAndSize) {
  TMemoryStream M;
  M.WriteBuffer("abcdef", 6);
  EXPECT_EQ(M.GetPosition(), 6);
  EXPECT_EQ(M.Seek(-2, soFromEnd), 4);
  char Buf[8] = {};
  EXPECT_EQ(M.Read(Buf, 8), 2);
  EXPECT_EQ(std::string(Buf, 2), "ef");
  EXPECT_EQ(M.Read(Buf, 8), 0);
  EXPECT_EQ(M.Read(Buf, -1), 0);

  // Writing past the end fills the gap with zeros.
  M.SetPosition(8);
  M.WriteBuffer("Z", 1);
  ASSERT_EQ(M.GetSize(), 9);
  EXPECT_EQ(std::memcmp(M.Memory(), "abcdef\0\0Z", 9), 0);

  M.SetSize(3); // the position moves back to the new end
  EXPECT_EQ(M.GetPosition(), 3);
  M.SetPosition(1);
  try {
    M.ReadBuffer(Buf, 3);
    FAIL();
  } catch (const EReadError& E) {
    EXPECT_STREQ(E.what(), "Stream read error");
  }
  EXPECT_THROW(M.Seek(-1, soFromBeginning), EStreamError);
  EXPECT_THROW(M.Seek(INT64_MAX, soFromCurrent), EStreamError);
  EXPECT_THROW(M.SetSize(-1), EStreamError);
  EXPECT_THROW(M.SetSize(INT64_MAX), EStreamError);
  EXPECT_EQ(M.GetSize(), 3);

  TMemoryStream Moved(std::move(M));
  EXPECT_EQ(Moved.GetSize(), 3);
  EXPECT_EQ(M.GetSize(), 0);

  TMemoryStream Copy;
  Moved.SetPosition(2);
  EXPECT_EQ(Copy.CopyFrom(Moved, 0), 3); // 0 copies the whole source
  EXPECT_EQ(std::memcmp(Copy.Memory(), "abc", 3), 0);
  Moved.SetPosition(1);
  EXPECT_THROW(Copy.CopyFrom(Moved, 5), EReadError);
  Copy.Clear();
  EXPECT_EQ(Copy.GetSize(), 0);
  EXPECT_EQ(Copy.GetPosition(), 0);
}

TEST(Streams, FileStreamModesAndErrors) {
  const std::string Name = TmpName("stream.bin");
  {
    TFileStream F(Name, fmCreate);
    F.WriteBuffer("hello world", 11);
    EXPECT_EQ(F.GetSize(), 11);
  }
  {
    TFileStream F(Name, fmOpenWrite); // keeps the content
    F.Seek(6, soFromBeginning);
    F.WriteBuffer("WORLD", 5);
    F.SetSize(8);
    EXPECT_EQ(F.GetPosition(), 8);
  }
  TMemoryStream M;
  M.LoadFromFile(Name);
  ASSERT_EQ(M.GetSize(), 8);
  EXPECT_EQ(std::memcmp(M.Memory(), "hello WO", 8), 0);
  M.WriteBuffer("!", 1);
  M.SaveToFile(Name);
  TFileStream R(Name, fmOpenRead);
  EXPECT_EQ(R.GetSize(), 8);
  char C = 0;
  R.ReadBuffer(&C, 1);
  EXPECT_EQ(C, '!');
  EXPECT_THROW(R.WriteBuffer("x", 1), EInOutError);

  try {
    TFileStream Missing(TmpName("missing.bin"), fmOpenRead);
    FAIL();
  } catch (const EInOutError& E) {
    EXPECT_EQ(E.ErrorCode, ENOENT);
    EXPECT_NE(std::string(E.what()).find("platform_missing.bin\""), std::string::npos);
  }
  try {
    TFileStream Dir(QEB_TEST_TMPDIR, fmOpenRead);
    FAIL();
  } catch (const EInOutError& E) {
    EXPECT_EQ(E.ErrorCode, EISDIR);
  }
}
