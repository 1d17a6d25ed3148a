// Profile (INI) reading.
#include "win32/profile.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"
#include "win32/drives.h"

using namespace win32;

namespace {
std::string Lookup(const std::string& text, const char* key = "QV13_U", const char* def = "1") {
  bool found = false;
  return LookupProfileValue(text, "ProgramLevel", key, def, &found);
}
}  // namespace

TEST(ProfileTest, FindsKeysCaseInsensitivelyAndTrimmed) {
  EXPECT_EQ(Lookup("[programlevel]\r\nqv13_u=2\r\n"), "2");
  EXPECT_EQ(Lookup("[ ProgramLevel ]\n  QV13_U  =  3  \n"), "3");
  EXPECT_EQ(Lookup("[ProgramLevel]\nQV13_U=\"4\"\n"), "4");
  EXPECT_EQ(Lookup("[ProgramLevel]\nQV13_U='5\n"), "'5");
  EXPECT_EQ(Lookup("[ProgramLevel]\nQV13_U=6\nQV13_U=7\n"), "6");
  EXPECT_EQ(Lookup("[ProgramLevel]\nQV13_U=v ; note\n"), "v ; note");
}

TEST(ProfileTest, DefaultsForMissingSectionKeyOrComment) {
  EXPECT_EQ(Lookup(""), "1");
  EXPECT_EQ(Lookup("[Other]\nQV13_U=2\n"), "1");
  EXPECT_EQ(Lookup("[ProgramLevel]\n;QV13_U=2\nQV13_U\n"), "1");
  EXPECT_EQ(Lookup("[ProgramLevel]\nQV13_U=\n"), "");  // present but empty: not the default
  EXPECT_EQ(Lookup("", "QV13_U", "abc  "), "abc");     // trailing blanks of the default go
}

TEST(ProfileTest, ReadsAFileThroughTheDriveTableAndTruncates) {
  TempDir dir;
  const auto saved = Drives().Entries();
  Drives().Set({{"C", DRIVE_FIXED, dir.path()}});
  dir.Write("VornelDef.ini", "[ProgramLevel]\r\nQV13_U=val1\r\n");
  char buf[16] = "untouched";
  EXPECT_EQ(GetPrivateProfileStringA("ProgramLevel", "QV13_U", "1", buf, 16, "C:\\VornelDef.ini"), 4u);
  EXPECT_STREQ(buf, "val1");
  EXPECT_EQ(GetPrivateProfileStringA("ProgramLevel", "QV13_U", "1", buf, 4, "C:\\VornelDef.ini"), 3u);
  EXPECT_STREQ(buf, "val");
  EXPECT_EQ(GetPrivateProfileStringA("ProgramLevel", "QV13_U", "1", buf, 16, "C:\\missing.ini"), 1u);
  EXPECT_STREQ(buf, "1");
  // A bare file name is looked up in the Windows folder, which does not exist here.
  EXPECT_EQ(GetPrivateProfileStringA("ProgramLevel", "QV13_U", "1", buf, 16, "VornelDef.ini"), 1u);
  char untouched[4] = "abc";
  EXPECT_EQ(GetPrivateProfileStringA("ProgramLevel", "QV13_U", "1", untouched, 0, "C:\\VornelDef.ini"), 0u);
  EXPECT_STREQ(untouched, "abc");
  Drives().Set(saved);
}
