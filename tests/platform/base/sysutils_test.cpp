#include "qebgeolib/platform/base/sysutils.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>

using namespace qeb;

TEST(SysUtils, FileNameParts) {
  EXPECT_EQ(ExtractFilePath("C:\\maps\\alps.jpg"), "C:\\maps\\");
  EXPECT_EQ(ExtractFileName("C:\\maps\\alps.jpg"), "alps.jpg");
  EXPECT_EQ(ExtractFilePath("/data/maps.d/x"), "/data/maps.d/");
  EXPECT_EQ(ExtractFileExt("/data/maps.d/x"), "");
  EXPECT_EQ(ExtractFileExt("a.tar.gz"), ".gz");
  EXPECT_EQ(ExtractFileExt("dir/.bashrc"), ".bashrc");
  EXPECT_EQ(ExtractFileName("dir/"), "");
  EXPECT_EQ(ExtractFilePath("plain"), "");
  EXPECT_EQ(ChangeFileExt("maps\\alps.jpg", ".xml"), "maps\\alps.xml");
  EXPECT_EQ(ChangeFileExt("maps.d/alps", ".xml"), "maps.d/alps.xml");
  EXPECT_EQ(ChangeFileExt("a.b", ""), "a");
}

TEST(SysUtils, TextHelpers) {
  EXPECT_EQ(LowerCase("ABC z\xC3\x9C"), "abc z\xC3\x9C"); // non-ASCII kept
  EXPECT_EQ(UpperCase("gelWGS84\xE9"), "GELWGS84\xE9");
  EXPECT_TRUE(SameText("VozIza", "vOZiZA"));
  EXPECT_FALSE(SameText("voziza", "voziz"));
  EXPECT_FALSE(SameText("\xC3\x9C", "\xC3\xBC"));
  EXPECT_EQ(Trim("\t\r\n a b \x01"), "a b");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(TrimLeft("  x "), "x ");
  EXPECT_EQ(TrimRight("  x "), "  x");
  EXPECT_EQ(IntToStr(INT64_MIN), "-9223372036854775808");
  EXPECT_EQ(IntToStr(0), "0");
}

TEST(SysUtils, FileOperations) {
  const std::string Dir = QEB_TEST_TMPDIR;
  const std::string A = Dir + "/platform_sys_a.txt", B = Dir + "/platform_sys_b.txt";
  DeleteFile(A);
  DeleteFile(B);
  std::FILE* F = std::fopen(A.c_str(), "w");
  ASSERT_NE(F, nullptr);
  std::fclose(F);
  EXPECT_TRUE(FileExists(A));
  EXPECT_FALSE(FileExists(Dir));
  EXPECT_FALSE(FileExists(""));
  EXPECT_TRUE(RenameFile(A, B));
  EXPECT_FALSE(FileExists(A));
  F = std::fopen(A.c_str(), "w");
  ASSERT_NE(F, nullptr);
  std::fclose(F);
  EXPECT_FALSE(RenameFile(A, B)); // an existing target is never replaced
  EXPECT_TRUE(FileExists(A));
  EXPECT_TRUE(DeleteFile(A));
  EXPECT_TRUE(DeleteFile(B));
  EXPECT_FALSE(DeleteFile(B));
  EXPECT_FALSE(DeleteFile(Dir));
  EXPECT_FALSE(RenameFile(A, B));
}

TEST(SysUtils, FindFileIgnoringCase) {
  const std::string Dir = std::string(QEB_TEST_TMPDIR) + "/";
  const std::string Map = Dir + "Platform_Case_Map.JPG", Twin = Dir + "platform_case_twin.bmp";
  for (const std::string& N : {Map, Twin, Dir + "PLATFORM_CASE_TWIN.BMP"})
    std::fclose(std::fopen(N.c_str(), "w"));
  EXPECT_EQ(FindFileIgnoringCase(Dir + "platform_case_map.jpg"), Map);
  EXPECT_EQ(FindFileIgnoringCase(Map), Map);
  // Two candidates: the name stays as given; so does a name without a file.
  EXPECT_EQ(FindFileIgnoringCase(Dir + "Platform_Case_Twin.bmp"), Dir + "Platform_Case_Twin.bmp");
  EXPECT_EQ(FindFileIgnoringCase(Dir + "none.jpg"), Dir + "none.jpg");
  EXPECT_EQ(FindFileIgnoringCase(""), "");
  for (const std::string& N : {Map, Twin, Dir + "PLATFORM_CASE_TWIN.BMP"})
    DeleteFile(N);
}

TEST(SysUtils, DurableReplacement) {
  const std::string Dir = std::string(QEB_TEST_TMPDIR) + "/platform_sys_durable";
  std::filesystem::remove_all(Dir);
  std::filesystem::create_directories(Dir);
  const std::string A = Dir + "/a", B = Dir + "/b";
  auto Content = [](const std::string& Name) {
    std::ifstream F(Name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(F), {});
  };
  ReplaceFileAtomically(A, "first", 5);
  ReplaceFileAtomically(A, "new", 3); // an existing file is replaced whole
  EXPECT_EQ(Content(A), "new");
  ReplaceFileAtomically(B, "", 0);
  EXPECT_EQ(std::filesystem::file_size(B), 0u);
  RenameFileReplacing(A, B);
  EXPECT_EQ(Content(B), "new");
  EXPECT_FALSE(FileExists(A));
  // Failures name the file and leave no temporary file behind.
  const struct {
    std::function<void()> Call;
    std::string Named;
  } Failing[] = {
      {[&] { RenameFileReplacing(A, B); }, A},
      {[&] { ReplaceFileAtomically(Dir + "/none/c", "x", 1); }, Dir + "/none/c.tmp"},
      {[&] { ReplaceFileAtomically(Dir, "x", 1); }, Dir + ".tmp"}, // a folder of that name
      {[&] { SyncFileToDisk(A); }, A},
  };
  for (const auto& F : Failing) {
    try {
      F.Call();
      ADD_FAILURE() << F.Named;
    } catch (const EInOutError& E) {
      EXPECT_NE(std::string(E.what()).find(F.Named), std::string::npos) << E.what();
    }
  }
  EXPECT_EQ(Content(B), "new");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir), {}), 1);
}
