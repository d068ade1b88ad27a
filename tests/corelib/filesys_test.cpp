#include <gtest/gtest.h>

#include "qebgeolib/companion/corelib/filesys.h"

using namespace qeb;

TEST(FileSys, StripPath) {
  EXPECT_EQ(StripPath("/data/maps/alps.jpg"), "alps.jpg");
  EXPECT_EQ(StripPath("C:\\maps\\alps.jpg"), "alps.jpg");
  EXPECT_EQ(StripPath("maps\\sub/alps"), "alps");
  EXPECT_EQ(StripPath("alps.jpg"), "alps.jpg");
  EXPECT_EQ(StripPath("maps/"), "");
  EXPECT_EQ(StripPath(""), "");
}

TEST(FileSys, StripExtension) {
  EXPECT_EQ(StripExtension("/data/alps.jpg"), "/data/alps");
  EXPECT_EQ(StripExtension("C:\\m\\map.v2.jpg"), "C:\\m\\map.v2");
  EXPECT_EQ(StripExtension("db"), "db");
  EXPECT_EQ(StripExtension("map."), "map");
  // A dot in a directory is no extension.
  EXPECT_EQ(StripExtension("/data.d/db"), "/data.d/db");
  EXPECT_EQ(StripExtension("d.x\\db"), "d.x\\db");
  // Leading dots name hidden files or directories.
  EXPECT_EQ(StripExtension(".profile"), ".profile");
  EXPECT_EQ(StripExtension("/home/u/.profile"), "/home/u/.profile");
  EXPECT_EQ(StripExtension("..cfg"), "..cfg");
  EXPECT_EQ(StripExtension(".profile.bak"), ".profile");
  EXPECT_EQ(StripExtension("."), ".");
  EXPECT_EQ(StripExtension("a/.."), "a/..");
  EXPECT_EQ(StripExtension(""), "");
}
