// Windows paths over the drive table, the current directory and the module path.
#include "win32/drives.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>

#include "tests/support/temp_dir.h"
#include "win32/codepage.h"
#include "win32/current_directory.h"
#include "win32/executable.h"
#include "win32/file_exists.h"

using namespace win32;

class DriveTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = Drives().Entries();
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    cwd_ = cwd;
    Drives().Set({{"C", DRIVE_FIXED, dir_.Sub("c")}, {"\\\\srv\\share", DRIVE_REMOTE, dir_.Sub("s")}});
  }
  void TearDown() override {
    ASSERT_EQ(chdir(cwd_.c_str()), 0);
    Drives().Set(saved_);
    SetModulePathForTesting("");
  }
  TempDir dir_;
  std::vector<DriveEntry> saved_;
  std::string cwd_;
};

TEST_F(DriveTableTest, MapsLettersSharesAndTheDefaultZ) {
  std::string out;
  ASSERT_TRUE(Drives().ToLinux("c:\\a\\b.xml", &out));
  EXPECT_EQ(out, dir_.Sub("c/a/b.xml"));
  ASSERT_TRUE(Drives().ToLinux("\\\\SRV\\Share\\x\\", &out));
  EXPECT_EQ(out, dir_.Sub("s/x/"));
  ASSERT_TRUE(Drives().ToLinux("Z:\\tmp\\r.xml", &out));
  EXPECT_EQ(out, "/tmp/r.xml");
  EXPECT_FALSE(Drives().ToLinux("Q:\\x", &out));
  EXPECT_FALSE(Drives().ToLinux("\\\\other\\share\\x", &out));
}

TEST_F(DriveTableTest, DotDotNeverClimbsAboveTheDriveRoot) {
  std::string out;
  ASSERT_TRUE(Drives().ToLinux("C:\\a\\..\\..\\..\\etc\\passwd", &out));
  EXPECT_EQ(out, dir_.Sub("c/etc/passwd"));
}

TEST_F(DriveTableTest, NamesResolveAsWindowsResolvesThem) {
  dir_.Write("c/Data/report.xml", "");
  dir_.Write("c/Data/Report.XML", "");  // differs only in case: the exact name wins, else the first
  dir_.Write("c/Data/other.xml", "");
  dir_.Write("c/ＡＢ/x", "");
  dir_.Write("c/表/y", "");
  const struct {
    std::string win;
    const char* linux_path;
  } cases[] = {
      {"C:\\data\\OTHER.xml", "c/Data/other.xml"},
      {"C:\\Data\\report.xml", "c/Data/report.xml"},
      {"C:\\Data\\Report.XML", "c/Data/Report.XML"},
      {"C:\\DATA\\REPORT.xml", "c/Data/Report.XML"},
      {"C:\\DATA\\new\\Sub.xml", "c/Data/new/Sub.xml"},  // below a missing name: as written
      {"C:\\data\\other.xml.", "c/Data/other.xml"},
      {"C:\\data. \\other.xml  ", "c/Data/other.xml"},
      {"C:\\data\\...\\other.xml", "c/Data/other.xml"},
      {"C:\\DATA\\", "c/Data/"},
      {Sjis("C:\\ａｂ\\x"), "c/ａｂ/x"},  // full-width letters have no case to ignore
      {Sjis("C:\\表\\Y"), "c/表/y"},
  };
  for (const auto& c : cases) {
    std::string out;
    ASSERT_TRUE(Drives().ToLinux(c.win, &out)) << c.win;
    EXPECT_EQ(out, dir_.Sub(c.linux_path)) << c.win;
  }
  ASSERT_EQ(chdir(dir_.Sub("c/Data").c_str()), 0);
  std::string out;
  ASSERT_TRUE(Drives().ToLinux("OTHER.XML.", &out));
  EXPECT_EQ(out, "other.xml");
}

TEST_F(DriveTableTest, DoubleByteNamesWithBackslashTrailBytesSurviveBothWays) {
  const std::string win = "C:\\" + Sjis("表ソ") + "\\" + Sjis("能.xml");
  std::string linux_path, back;
  ASSERT_TRUE(Drives().ToLinux(win, &linux_path));
  EXPECT_EQ(linux_path, dir_.Sub("c/表ソ/能.xml"));
  ASSERT_TRUE(Drives().ToWindows(linux_path, &back));
  EXPECT_EQ(back, win);
}

TEST_F(DriveTableTest, ReverseMappingTakesTheLongestRoot) {
  std::string out;
  ASSERT_TRUE(Drives().ToWindows(dir_.Sub("c/x"), &out));
  EXPECT_EQ(out, "C:\\x");
  ASSERT_TRUE(Drives().ToWindows(dir_.Sub("cc"), &out));  // not under c/
  EXPECT_EQ(out.substr(0, 3), "Z:\\");
  ASSERT_TRUE(Drives().ToWindows(dir_.Sub("s"), &out));
  EXPECT_EQ(out, "\\\\srv\\share\\");
}

TEST_F(DriveTableTest, CurrentDirectoryKeepsOnlyTheRootBackslash) {
  dir_.Write("c/sub/f", "");
  char buf[300];
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\sub"));
  ASSERT_EQ(GetCurrentDirectoryA(sizeof buf, buf), 6u);
  EXPECT_STREQ(buf, "C:\\sub");
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
  GetCurrentDirectoryA(sizeof buf, buf);
  EXPECT_STREQ(buf, "C:\\");
  EXPECT_EQ(GetCurrentDirectoryA(2, buf), 4u);  // too small: the size needed with the NUL
  EXPECT_FALSE(SetCurrentDirectoryA("C:\\missing"));
  EXPECT_TRUE(FileExistsA("sub\\f"));
  EXPECT_FALSE(FileExistsA("sub\\g"));
}

TEST_F(DriveTableTest, ModulePathTruncatesLikeWindows) {
  SetModulePathForTesting(dir_.Sub("c/bin/prog"));
  char buf[64];
  ASSERT_EQ(GetModuleFileNameA(0, buf, sizeof buf), 11u);
  EXPECT_STREQ(buf, "C:\\bin\\prog");
  EXPECT_EQ(GetModuleFileNameA(0, buf, 5), 5u);
  EXPECT_STREQ(buf, "C:\\b");
}
