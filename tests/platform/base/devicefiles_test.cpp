// File streams on special files: they are refused for reading without
// blocking, and failed writes reach the caller.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "qebgeolib/platform/base/streams.h"
#include "qebgeolib/platform/base/sysutils.h"
#include "qebgeolib/platform/base/textfile.h"
#include "tests/errortext.h"

using namespace qeb;
using qeb::test::ErrorOf;

TEST(FileStreams, SpecialFilesAreRefusedForReadingAtOnce) {
  const std::string Fifo = std::string(QEB_TEST_TMPDIR) + "/qebgeo_fifo";
  ::unlink(Fifo.c_str());
  ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
  const std::pair<std::string, const char*> Cases[] = {
      {Fifo, "not a regular file (a FIFO)"},
      {"/dev/zero", "not a regular file (a character device)"}};
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
