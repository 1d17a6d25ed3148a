// Windows path functions over the drive table: roots, the path split, drive types, folder creation and
// removal, the access test and the temporary folder.
#include "win32/paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>

#include "tests/support/temp_dir.h"
#include "win32/codepage.h"

namespace {

namespace fs = std::filesystem;
using win32::FALSE;
using win32::Sjis;
using win32::TRUE;
using win32::UINT;

class PathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = win32::Drives().Entries();
    for (const char* sub : {"c", "e", "q", "s"}) fs::create_directory(dir_.Sub(sub));
    win32::Drives().Set({{"C", win32::DRIVE_FIXED, dir_.Sub("c")},
                         {"E", win32::DRIVE_REMOVABLE, dir_.Sub("e")},
                         {"Q", win32::DRIVE_CDROM, dir_.Sub("q")},
                         {"\\\\srv\\share", win32::DRIVE_REMOTE, dir_.Sub("s")}});
  }
  void TearDown() override { win32::Drives().Set(saved_); }

  TempDir dir_;
  std::vector<win32::DriveEntry> saved_;
};

std::optional<std::string> SkipRoot(const std::string& path) {
  const char* rest = win32::PathSkipRootA(path.c_str());
  if (rest == nullptr) return std::nullopt;
  EXPECT_GE(rest, path.c_str());
  EXPECT_LE(rest, path.c_str() + path.size());
  return std::string(rest);
}

TEST(PathRoots, SkipRootFindsDriveAndShareRootsOnly) {
  EXPECT_EQ(SkipRoot("C:\\x\\y"), "x\\y");
  EXPECT_EQ(SkipRoot("C:\\"), "");
  EXPECT_EQ(SkipRoot("\\\\server\\share\\x"), "x");
  EXPECT_EQ(SkipRoot("\\\\server\\share\\"), "");
  for (const char* no_root : {"C:x", "\\x", "\\\\server\\share", "\\\\server", "dir\\f", "f", "", "C:/x"})
    EXPECT_EQ(SkipRoot(no_root), std::nullopt) << no_root;
  EXPECT_EQ(win32::PathSkipRootA(static_cast<const char*>(nullptr)), nullptr);
  // A share name ending in a character whose trail byte is 0x5C: that byte does not end the share.
  EXPECT_EQ(SkipRoot("\\\\srv\\" + Sjis("表") + "x\\y"), "y");
  EXPECT_EQ(SkipRoot("\\\\srv\\" + Sjis("表")), std::nullopt);
  EXPECT_EQ(SkipRoot(Sjis("表") + ":\\x"), std::nullopt);
}

TEST(PathRoots, StripToRootCutsComponentsUntilARootRemains) {
  struct Case {
    std::string in, out;
    win32::BOOL ok;
  } cases[] = {
      {"C:\\x\\y", "C:\\", TRUE},
      {"C:\\", "C:\\", TRUE},
      {"\\\\server\\share\\x", "\\\\server\\share", TRUE},
      {"\\\\server\\share\\", "\\\\server\\share", TRUE},
      {"\\\\server\\share", "\\\\server\\share", TRUE},
      {"\\\\server", "\\\\server", TRUE},
      {"\\x", "\\", TRUE},
      {"C:x", "C:", FALSE},
      {"dir\\f", "", FALSE},
      {"C:\\" + Sjis("表") + "\\" + Sjis("ソ"), "C:\\", TRUE},
      {"\\\\srv\\share\\" + Sjis("能"), "\\\\srv\\share", TRUE},
  };
  for (const auto& c : cases) {
    std::string buf = c.in;
    EXPECT_EQ(win32::PathStripToRootA(buf.data()), c.ok) << c.in;
    EXPECT_EQ(std::string(buf.c_str()), c.out) << c.in;
  }
  EXPECT_EQ(win32::PathStripToRootA(nullptr), FALSE);
}

struct Split {
  std::string drive, dir, fname, ext;
  bool operator==(const Split&) const = default;
};

std::optional<Split> DoSplit(const std::string& path) {
  char drive[win32::MAX_DRIVE], dir[win32::MAX_DIR], fname[win32::MAX_FNAME], ext[win32::MAX_EXT];
  if (!win32::SplitPath(path.c_str(), drive, dir, fname, ext)) {
    EXPECT_EQ(std::string(drive) + dir + fname + ext, "");
    return std::nullopt;
  }
  return Split{drive, dir, fname, ext};
}

TEST(PathSplit, SplitsDriveFolderNameAndExtension) {
  EXPECT_EQ(DoSplit("C:\\data\\reports\\out.xml"), (Split{"C:", "\\data\\reports\\", "out", ".xml"}));
  EXPECT_EQ(DoSplit("C:out.xml"), (Split{"C:", "", "out", ".xml"}));
  EXPECT_EQ(DoSplit("\\\\server\\share\\dir\\f.x"), (Split{"", "\\\\server\\share\\dir\\", "f", ".x"}));
  EXPECT_EQ(DoSplit("a.b.c"), (Split{"", "", "a.b", ".c"}));
  EXPECT_EQ(DoSplit("C:\\d.v\\name"), (Split{"C:", "\\d.v\\", "name", ""}));
  EXPECT_EQ(DoSplit(".profile"), (Split{"", "", "", ".profile"}));
  EXPECT_EQ(DoSplit("C:\\dir/f"), (Split{"C:", "\\dir/", "f", ""}));
}

TEST(PathSplit, TrailBytesOfDoubleByteCharactersAreNeverSeparators) {
  const std::string hyo = Sjis("表"), so = Sjis("ソ"), po = Sjis("ポ");
  ASSERT_EQ(hyo, "\x95\x5C");
  ASSERT_EQ(po, "\x83\x7C");
  EXPECT_EQ(DoSplit("C:\\a\\" + hyo), (Split{"C:", "\\a\\", hyo, ""}));
  EXPECT_EQ(DoSplit("C:\\" + so + "\\" + po + ".xml"), (Split{"C:", "\\" + so + "\\", po, ".xml"}));
  EXPECT_EQ(DoSplit("C:\\" + hyo + hyo + ".x"), (Split{"C:", "\\", hyo + hyo, ".x"}));
}

TEST(PathSplit, APartTooLongForItsBufferEmptiesEverything) {
  const std::string dir255 = "\\" + std::string(253, 'd') + "\\";  // 255 bytes: fits with its NUL
  EXPECT_EQ(DoSplit("C:" + dir255 + "f.x"), (Split{"C:", dir255, "f", ".x"}));
  EXPECT_EQ(DoSplit("C:\\" + std::string(254, 'd') + "\\f.x"), std::nullopt);
  EXPECT_EQ(DoSplit("C:\\" + std::string(256, 'n')), std::nullopt);
  // Only the parts asked for are measured.
  char drive[win32::MAX_DRIVE];
  EXPECT_TRUE(
      win32::SplitPath(("C:\\" + std::string(300, 'd') + "\\f").c_str(), drive, nullptr, nullptr, nullptr));
  EXPECT_STREQ(drive, "C:");
}

TEST_F(PathsTest, DriveTypeComesFromTheTable) {
  EXPECT_EQ(win32::GetDriveTypeA("C:\\"), UINT{win32::DRIVE_FIXED});
  EXPECT_EQ(win32::GetDriveTypeA("c:"), UINT{win32::DRIVE_FIXED});
  EXPECT_EQ(win32::GetDriveTypeA("E:/"), UINT{win32::DRIVE_REMOVABLE});
  EXPECT_EQ(win32::GetDriveTypeA("Q:\\"), UINT{win32::DRIVE_CDROM});
  EXPECT_EQ(win32::GetDriveTypeA("Z:\\"), UINT{win32::DRIVE_FIXED});
  for (const char* none : {"K:\\", "", "C", "C?", "?", "\nC:\\", "1:\\"})
    EXPECT_EQ(win32::GetDriveTypeA(none), UINT{win32::DRIVE_NO_ROOT_DIR}) << none;
}

TEST_F(PathsTest, DriveTypeOfAFolderNeedsItsTrailingBackslash) {
  fs::create_directory(dir_.Sub("c/data"));
  EXPECT_EQ(win32::GetDriveTypeA("C:\\data\\"), UINT{win32::DRIVE_FIXED});
  EXPECT_EQ(win32::GetDriveTypeA("C:\\data"), UINT{win32::DRIVE_NO_ROOT_DIR});
  EXPECT_EQ(win32::GetDriveTypeA("C:\\missing\\"), UINT{win32::DRIVE_NO_ROOT_DIR});
  EXPECT_EQ(win32::GetDriveTypeA("\\\\srv\\share\\"), UINT{win32::DRIVE_REMOTE});
  EXPECT_EQ(win32::GetDriveTypeA("\\\\srv\\share"), UINT{win32::DRIVE_NO_ROOT_DIR});
  EXPECT_EQ(win32::GetDriveTypeA("\\\\srv\\other\\"), UINT{win32::DRIVE_NO_ROOT_DIR});
}

TEST_F(PathsTest, IsDirectoryAnswersTheDirectoryAttribute) {
  fs::create_directory(dir_.Sub("c/data"));
  dir_.Write("c/data/f.xml", "x");
  EXPECT_EQ(win32::PathIsDirectoryA("C:\\data"), win32::FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(win32::PathIsDirectoryA("c:\\data\\"), win32::FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(win32::PathIsDirectoryA("C:\\"), win32::FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(win32::PathIsDirectoryA("C:\\data\\f.xml"), FALSE);
  EXPECT_EQ(win32::PathIsDirectoryA("C:\\data\\f.xml\\"), FALSE);
  EXPECT_EQ(win32::PathIsDirectoryA("C:\\nothing"), FALSE);
  EXPECT_EQ(win32::PathIsDirectoryA("K:\\"), FALSE);
  EXPECT_EQ(win32::PathIsDirectoryA("\\\\srv"), FALSE);
  EXPECT_NE(win32::PathIsDirectoryA("\\\\srv\\share"), FALSE);
  EXPECT_NE(win32::PathIsDirectoryA("\\\\srv\\share\\"), FALSE);
  EXPECT_EQ(win32::PathIsDirectoryA("\\\\srv\\gone"), FALSE);
  // Names Windows refuses never name a folder, even where Linux has one.
  fs::create_directory(dir_.Sub("c/a*b"));
  EXPECT_EQ(win32::PathIsDirectoryA("C:\\a*b"), FALSE);
}

TEST_F(PathsTest, CreateAndRemoveFolderReportWindowsErrors) {
  const std::string name = "C:\\" + Sjis("表ソ");
  ASSERT_NE(win32::CreateDirectoryA(name.c_str(), nullptr), FALSE);
  EXPECT_TRUE(fs::is_directory(dir_.Sub("c/表ソ")));

  const auto create_error = [](const std::string& p) {
    win32::SetLastError(0);
    EXPECT_EQ(win32::CreateDirectoryA(p.c_str(), nullptr), FALSE) << p;
    return win32::GetLastError();
  };
  dir_.Write("c/file", "x");
  EXPECT_EQ(create_error(name + "\\"), win32::ERROR_ALREADY_EXISTS);
  EXPECT_EQ(create_error("C:\\file"), win32::ERROR_ALREADY_EXISTS);
  EXPECT_EQ(create_error("C:\\missing\\x"), win32::ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(create_error("C:\\file\\x"), win32::ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(create_error("K:\\x"), win32::ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(create_error("C:\\a?b"), win32::ERROR_INVALID_NAME);
  EXPECT_EQ(create_error("C:\\a:b"), win32::ERROR_INVALID_NAME);
  EXPECT_EQ(create_error("C:\\" + std::string(300, 'x')), win32::ERROR_FILENAME_EXCED_RANGE);
  EXPECT_FALSE(fs::exists(dir_.Sub("c/a?b")));

  const auto remove_error = [](const std::string& p) {
    win32::SetLastError(0);
    EXPECT_EQ(win32::RemoveDirectoryA(p.c_str()), FALSE) << p;
    return win32::GetLastError();
  };
  dir_.Write("c/full/f", "x");
  EXPECT_EQ(remove_error("C:\\full"), win32::ERROR_DIR_NOT_EMPTY);
  EXPECT_EQ(remove_error("C:\\nothing"), win32::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(remove_error("C:\\nothing\\deeper"), win32::ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(remove_error("C:\\file"), win32::ERROR_DIRECTORY);
  EXPECT_TRUE(fs::exists(dir_.Sub("c/full/f")));

  EXPECT_NE(win32::RemoveDirectoryA((name + "\\").c_str()), FALSE);
  EXPECT_FALSE(fs::exists(dir_.Sub("c/表ソ")));
}

TEST_F(PathsTest, AccessLooksOnlyAtExistenceAndTheReadOnlyBit) {
  const std::string file = dir_.Write("c/f.xml", "x");
  fs::create_directory(dir_.Sub("c/ro"));
  EXPECT_EQ(win32::Access("C:\\f.xml", 0), 0);
  EXPECT_EQ(win32::Access("C:\\f.xml", 6), 0);
  EXPECT_EQ(win32::Access("C:\\", 6), 0);
  EXPECT_EQ(win32::Access("\\\\srv\\share", 6), 0);
  errno = 0;
  EXPECT_EQ(win32::Access("C:\\none.xml", 0), -1);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(win32::Access("K:\\", 0), -1);
  EXPECT_EQ(win32::Access("\\\\srv\\other", 0), -1);

  // Read-only for everybody, root included (the tests run as root).
  ASSERT_EQ(chmod(file.c_str(), 0444), 0);
  ASSERT_EQ(chmod(dir_.Sub("c/ro").c_str(), 0555), 0);
  EXPECT_EQ(win32::Access("C:\\f.xml", 4), 0);
  for (int mode : {2, 6}) {
    errno = 0;
    EXPECT_EQ(win32::Access("C:\\f.xml", mode), -1);
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(win32::Access("C:\\ro\\", mode), -1);
  }
  EXPECT_EQ(win32::Access("C:\\ro", 0), 0);
}

class TempPathTest : public PathsTest {
 protected:
  void SetUp() override {
    PathsTest::SetUp();
    if (const char* t = std::getenv("TMPDIR")) saved_tmpdir_ = t;
  }
  void TearDown() override {
    if (saved_tmpdir_) {
      setenv("TMPDIR", saved_tmpdir_->c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
    PathsTest::TearDown();
  }
  std::optional<std::string> saved_tmpdir_;
};

TEST_F(TempPathTest, TemporaryFolderIsAWindowsPathEndingWithABackslash) {
  fs::create_directory(dir_.Sub("c/" + std::string("表")));
  setenv("TMPDIR", (dir_.Sub("c") + "//表/").c_str(), 1);
  char buf[win32::MAX_PATH + 1];
  const std::string expected = "C:\\" + Sjis("表") + "\\";
  EXPECT_EQ(win32::GetTempPathA(sizeof buf, buf), expected.size());
  EXPECT_EQ(std::string(buf), expected);

  // Too small: the size needed with the NUL, nothing written.
  std::memset(buf, 'q', sizeof buf);
  EXPECT_EQ(win32::GetTempPathA(static_cast<win32::DWORD>(expected.size()), buf), expected.size() + 1);
  EXPECT_EQ(buf[0], 'q');

  unsetenv("TMPDIR");
  EXPECT_EQ(win32::GetTempPathA(sizeof buf, buf), 7u);
  EXPECT_STREQ(buf, "Z:\\tmp\\");
  setenv("TMPDIR", "relative/dir", 1);
  EXPECT_EQ(win32::GetTempPathA(sizeof buf, buf), 7u);
  EXPECT_STREQ(buf, "Z:\\tmp\\");
}

}  // namespace
