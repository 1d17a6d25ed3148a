// Output path rules over real folders mapped as drives of several types.
#include "conditions/path_rules.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "win32/codepage.h"
#include "win32/drives.h"

namespace {

namespace fs = std::filesystem;
using win32::Sjis;

// Characters whose trail byte is a backslash (表 95 5C, ソ 83 5C, 能 94 5C) or a vertical bar (ポ 83 7C).
const std::string kHyo = Sjis("表");
const std::string kSo = Sjis("ソ");
const std::string kNo = Sjis("能");
const std::string kPo = Sjis("ポ");

class PathRulesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = win32::Drives().Entries();
    for (const char* sub : {"c", "e", "n", "q", "r", "p", "s", "sro", "u", "v"})
      fs::create_directory(dir_.Sub(sub));
    ASSERT_EQ(chmod(dir_.Sub("p").c_str(), 0555), 0);
    ASSERT_EQ(chmod(dir_.Sub("sro").c_str(), 0555), 0);
    win32::Drives().Set({
        {"C", win32::DRIVE_FIXED, dir_.Sub("c")},
        {"E", win32::DRIVE_REMOVABLE, dir_.Sub("e")},
        {"F", win32::DRIVE_REMOVABLE, dir_.Sub("no-disc")},
        {"N", win32::DRIVE_REMOTE, dir_.Sub("n")},
        {"Q", win32::DRIVE_CDROM, dir_.Sub("q")},
        {"R", win32::DRIVE_RAMDISK, dir_.Sub("r")},
        {"P", win32::DRIVE_FIXED, dir_.Sub("p")},
        {"U", win32::DRIVE_UNKNOWN, dir_.Sub("u")},
        {"V", 7, dir_.Sub("v")},
        {"\\\\srv\\share", win32::DRIVE_REMOTE, dir_.Sub("s")},
        {"\\\\srv\\ro", win32::DRIVE_REMOTE, dir_.Sub("sro")},
    });
  }
  void TearDown() override { win32::Drives().Set(saved_); }

  bool IsDir(const std::string& relative) const { return fs::is_directory(dir_.Sub(relative)); }

  TempDir dir_;
  std::vector<win32::DriveEntry> saved_;
};

TEST(PathCharsRule, AcceptsBackslashesSpacesAndDoubleByteCharacters) {
  for (const std::string& ok : {
           std::string("C:\\data\\out.xml"),
           std::string("C:\\my data\\out file.xml"),
           std::string("C:out.xml"),
           std::string("data\\out.xml"),
           std::string("\\\\srv\\share\\dir\\out.xml"),
           // 95 5C 5C: the trail byte and the real backslash after it are not a doubled backslash.
           "C:\\" + kHyo + "\\" + kSo + "\\out.xml",
           "\\\\srv\\share\\" + kNo + "\\x.xml",
           // 83 7C: the trail byte is not a vertical bar.
           "C:\\" + kPo + ".xml",
           Sjis("C:\\ｶﾅ\\出力.xml"),
       })
    EXPECT_TRUE(CheckPathChars(ok)) << win32::ToUtf8Lossy(ok);
}

TEST(PathCharsRule, RefusesWildcardsSeparatorsAndDoubledBackslashes) {
  for (const char* bad :
       {"C:\\data\\a?.xml", "C:\\data/out.xml", "C:\\data\\a:b.xml", "C:\\data\\a,b.xml", "C:\\data\\a;b.xml",
        "C:\\data\\a*.xml", "C:\\data\\a\"b.xml", "C:\\data\\a<b.xml", "C:\\data\\a>b.xml",
        "C:\\data\\a|b.xml", "*.xml", "C:\\\\data\\out.xml", "C:\\data\\\\out.xml", "\\\\srv\\\\share\\x.xml",
        "\\\\srv\\share\\a:b.xml", "\\\\srv\\share\\x\\\\y.xml"})
    EXPECT_FALSE(CheckPathChars(bad)) << bad;
  EXPECT_FALSE(CheckPathChars("C:\\" + kHyo + "\\\\out.xml"));
}

TEST(PathCharsRule, RefusesControlCharactersAndDeviceNames) {
  for (const std::string& bad :
       {std::string("C:\\a\tb.xml"), std::string("C:\\data\x01\\out.xml"), std::string("C\x1F:\\x.xml"),
        std::string("C:\\x.xml\r"), std::string("C:\\CON"), std::string("C:\\con.xml"),
        std::string("C:\\Data\\Aux\\r.xml"), std::string("C:\\nul .txt"), std::string("C:\\COM1.xml"),
        std::string("C:\\lpt9"), std::string("C:\\PRN."), std::string("\\\\srv\\share\\CON.xml"),
        std::string("CON.xml"), std::string("C:prn"), "C:\\" + kHyo + "\\com3.x.y"})
    EXPECT_FALSE(CheckPathChars(bad)) << win32::ToUtf8Lossy(bad);
  for (const std::string& ok :
       {std::string("C:\\CONSOLE.xml"), std::string("C:\\COM10.xml"), std::string("C:\\COM0.xml"),
        std::string("C:\\xcon.xml"), std::string("C:\\con2\\r.xml"), std::string("C:\\.con"),
        std::string("\\\\con\\aux\\r.xml"),  // a server and a share are no file names
        Sjis("C:\\ＣＯＮ.xml"),              // full-width letters are other letters
        std::string("C:\\del\x7F.xml")})     // 0x7F is no control character of a Windows name
    EXPECT_TRUE(CheckPathChars(ok)) << win32::ToUtf8Lossy(ok);
}

TEST(PathLengthRule, APathFitsAWindowsPathWithItsNul) {
  const std::string hyo259 = "C:\\" + std::string(127, 'a') + [] {
    std::string s;
    for (int i = 0; i < 64; ++i) s += kHyo;  // 128 bytes of double-byte characters
    return s;
  }() + "b";
  ASSERT_EQ(hyo259.size(), 259u);
  EXPECT_TRUE(CheckPathLength(hyo259));
  EXPECT_FALSE(CheckPathLength(hyo259 + "c"));
  EXPECT_TRUE(CheckPathLength(std::string(259, 'x') + std::string(1, '\0') + "beyond the end"));
}

TEST_F(PathRulesTest, DriveRuleByDriveType) {
  for (const char* ok :
       {"C:\\data\\out.xml", "c:\\x.xml", "E:\\x.xml", "N:\\x.xml", "K:\\x.xml", "k:x.xml", "V:\\x.xml", "C"})
    EXPECT_TRUE(CheckPathDrive(ok)) << ok;
  // CD-ROM, RAM disk, a read-only fixed drive, a removable drive without its medium, an unknown type.
  for (const char* bad : {"Q:\\x.xml", "R:\\x.xml", "P:\\x.xml", "F:\\x.xml", "U:\\x.xml", "1:\\x.xml", "",
                          "C:\\\\x.xml", ":\\x.xml"})
    EXPECT_FALSE(CheckPathDrive(bad)) << bad;
  EXPECT_FALSE(CheckPathDrive(kHyo + ":\\x.xml"));

  // Only writing is refused on the read-only drive.
  EXPECT_TRUE(CheckDriveLetter('P', kAccessExists));
  EXPECT_FALSE(CheckDriveLetter('p', kAccessReadWrite));
  EXPECT_FALSE(CheckDriveLetter('Q', kAccessExists));
  EXPECT_FALSE(CheckDriveLetter('@', kAccessExists));
  EXPECT_FALSE(CheckDriveLetter('[', kAccessExists));
}

TEST_F(PathRulesTest, DriveRuleTestsTheShareOfANetworkPath) {
  EXPECT_TRUE(CheckPathDrive("\\\\srv\\share\\dir\\out.xml"));
  EXPECT_TRUE(CheckPathDrive("\\\\SRV\\Share\\out.xml"));
  EXPECT_TRUE(CheckPathDrive("\\\\srv\\share\\"));
  // Nothing after the share name: there is no share text to test.
  EXPECT_FALSE(CheckPathDrive("\\\\srv\\share"));
  EXPECT_FALSE(CheckPathDrive("\\\\srv"));
  EXPECT_FALSE(CheckPathDrive("\\\\srv\\other\\out.xml"));
  EXPECT_FALSE(CheckPathDrive("\\\\srv\\ro\\out.xml"));
}

TEST(PathSplitRules, BackslashAndColonAreFoundAsWholeCharacters) {
  const std::string path = "C:\\" + kHyo + "\\" + kSo + kNo;
  EXPECT_EQ(GetFolderPart(path), "C:\\" + kHyo + "\\");
  EXPECT_EQ(GetFileNamePart(path), kSo + kNo);
  EXPECT_EQ(GetFolderPart(kHyo + kPo), "");
  EXPECT_EQ(GetFileNamePart(kHyo + kPo), kHyo + kPo);
  EXPECT_EQ(GetFolderPart("C:\\data\\"), "C:\\data\\");
  EXPECT_EQ(GetFileNamePart("C:\\data\\"), "");

  EXPECT_EQ(GetDrivePart("C:\\a\\b.xml"), "C:");
  EXPECT_EQ(GetAfterDrivePart("C:\\a\\b.xml"), "\\a\\b.xml");
  EXPECT_EQ(GetDrivePart("C:\\a:b"), "C:\\a:");
  EXPECT_EQ(GetAfterDrivePart("C:\\a:b"), "b");
  EXPECT_EQ(GetDrivePart("\\\\srv\\" + kSo), "");
  EXPECT_EQ(GetAfterDrivePart("\\\\srv\\" + kSo), "\\\\srv\\" + kSo);

  const std::string text = "a" + kHyo + "b\x81";  // a lead byte at the end pairs with nothing
  const bool expected[] = {false, true, true, false, false};
  for (std::size_t i = 0; i < text.size(); ++i) EXPECT_EQ(IsDbcsByteAt(text, i), expected[i]) << i;
  EXPECT_FALSE(IsDbcsByteAt("\x81\x30", 0));  // 0x30 is no trail byte
  EXPECT_FALSE(IsDbcsByteAt(Sjis("ｱ"), 0));
}

TEST(PathSplitRules, AddTrailingSepKeepsToTheBufferSize) {
  std::string path;
  EXPECT_FALSE(AddTrailingSep(&path));
  path = "C:\\data";
  EXPECT_TRUE(AddTrailingSep(&path));
  EXPECT_EQ(path, "C:\\data\\");
  EXPECT_TRUE(AddTrailingSep(&path));
  EXPECT_EQ(path, "C:\\data\\");
  // A final trail byte 0x5C is not a separator: a real one is appended.
  path = "C:\\" + kHyo;
  EXPECT_TRUE(AddTrailingSep(&path));
  EXPECT_EQ(path, "C:\\" + kHyo + "\\");

  // A lead byte without its trail byte would swallow the appended backslash.
  path = "C:\\a\x95";
  EXPECT_FALSE(AddTrailingSep(&path));
  EXPECT_EQ(path, "C:\\a\x95");

  path = "C:\\" + std::string(256, 'a');  // 259 characters
  EXPECT_TRUE(AddTrailingSep(&path));
  EXPECT_EQ(path.size(), kPathMax);
  EXPECT_EQ(path.back(), '\\');
  EXPECT_TRUE(AddTrailingSep(&path));  // 260 with its backslash: fine as it is

  const std::string full = "C:\\" + std::string(257, 'a');  // 260 characters: no room
  path = full;
  EXPECT_FALSE(AddTrailingSep(&path));
  EXPECT_EQ(path, full);
  path = "C:\\" + std::string(255, 'a') + kHyo;
  EXPECT_FALSE(AddTrailingSep(&path));
  path = full + "\\";  // 261 characters do not fit the buffer at all
  EXPECT_FALSE(AddTrailingSep(&path));

  path = "ab";
  EXPECT_FALSE(AddTrailingSep(&path, 3));
  EXPECT_TRUE(AddTrailingSep(&path, 4));
  EXPECT_EQ(path, "ab\\");
}

TEST(PathSplitRules, GetDirPartKeepsDriveAndFolder) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"C:\\data\\reports\\out.xml", "C:\\data\\reports\\"},
      {"C:out.xml", "C:\\"},
      {"C:", "C:"},
      {"\\\\srv\\share\\x.xml", "\\\\srv\\share\\"},
      {"C:\\" + kHyo, "C:\\"},
      {"C:\\" + kHyo + "\\" + kPo + ".xml", "C:\\" + kHyo + "\\"},
      {"C:\\" + kSo + "\\", "C:\\" + kSo + "\\"},
  };
  for (const auto& c : cases) {
    std::string buf = c.in;
    EXPECT_TRUE(GetDirPart(&buf)) << c.in;
    EXPECT_EQ(buf, c.out) << c.in;
  }
  for (const std::string& none : {std::string("out.xml"), std::string(""), kHyo,
                                  // longer than the working buffer, or a folder too long for the split
                                  "C:\\" + std::string(258, 'a'), "C:\\" + std::string(254, 'a') + "\\f"}) {
    std::string buf = none;
    EXPECT_FALSE(GetDirPart(&buf));
    EXPECT_EQ(buf, none);
  }
}

TEST_F(PathRulesTest, IsDirPathLooksAtTheFolderPart) {
  fs::create_directories(dir_.Sub("c/a/表"));
  dir_.Write("c/a/f.txt", "x");
  EXPECT_TRUE(IsDirPath("C:\\a\\"));
  EXPECT_TRUE(IsDirPath("C:\\a\\" + kHyo + "\\"));
  EXPECT_TRUE(IsDirPath("C:\\a\\anything.xml"));
  EXPECT_TRUE(IsDirPath("\\\\srv\\share\\"));
  EXPECT_FALSE(IsDirPath("C:\\a\\f.txt\\"));
  EXPECT_FALSE(IsDirPath("C:\\none\\"));
  EXPECT_FALSE(IsDirPath("K:\\"));
}

TEST_F(PathRulesTest, FolderChainIsCreatedFromTheRootDown) {
  fs::create_directory(dir_.Sub("c/a"));
  EXPECT_TRUE(CreateFolderChain("C:\\a\\b\\c\\"));
  EXPECT_TRUE(IsDir("c/a/b/c"));
  EXPECT_TRUE(CreateFolderChain("C:\\a\\b\\c\\"));  // all there already

  // A file name after the last backslash is not a level.
  EXPECT_TRUE(CreateFolderChain("C:\\x\\y\\out.xml"));
  EXPECT_TRUE(IsDir("c/x/y"));
  EXPECT_FALSE(fs::exists(dir_.Sub("c/x/y/out.xml")));

  EXPECT_TRUE(CreateFolderChain("C:\\" + kHyo + "\\" + kSo + "\\" + kNo + kPo + "\\"));
  EXPECT_TRUE(IsDir("c/表/ソ/能ポ"));
  EXPECT_TRUE(CreateFolderChain("\\\\srv\\share\\p\\q\\"));
  EXPECT_TRUE(IsDir("s/p/q"));

  EXPECT_FALSE(CreateFolderChain("a\\b\\"));
  EXPECT_FALSE(CreateFolderChain(""));
  EXPECT_FALSE(CreateFolderChain("K:\\x\\"));
  EXPECT_FALSE(CreateFolderChain("\\\\srv\\other\\x\\"));
}

TEST_F(PathRulesTest, FolderChainRollsBackWhatItCreated) {
  // A plain file stands where a level should be: nothing is created, nothing that was there goes.
  dir_.Write("c/a/f", "x");
  EXPECT_FALSE(CreateFolderChain("C:\\a\\f\\g\\"));
  EXPECT_TRUE(IsDir("c/a"));
  EXPECT_EQ(TempDir::Read(dir_.Sub("c/a/f")), "x");

  // A level deeper down cannot be created (its name is too long for the file system): the levels made
  // on the way are removed again, deepest first; the level that existed before stays.
  fs::create_directory(dir_.Sub("c/表"));
  std::string too_long;
  for (int i = 0; i < 86; ++i) too_long += kHyo;  // 172 bytes here, 258 bytes as a Linux name
  EXPECT_FALSE(CreateFolderChain("C:\\" + kHyo + "\\" + kSo + "\\" + kNo + "\\" + too_long + "\\x\\"));
  EXPECT_TRUE(IsDir("c/表"));
  EXPECT_FALSE(fs::exists(dir_.Sub("c/表/ソ")));
}

TEST_F(PathRulesTest, FolderChainTooLongForTheBuffersCreatesNothing) {
  // 259 characters whose folder part is longer than the split can hold: never cut to a shorter folder.
  EXPECT_FALSE(CreateFolderChain("C:\\" + std::string(250, 'x') + "\\yyyy\\"));
  EXPECT_FALSE(CreateFolderChain("C:\\" + std::string(256, 'x') + "\\"));
  EXPECT_TRUE(fs::is_empty(dir_.Sub("c")));
}

TEST_F(PathRulesTest, RemoveCreatedFoldersStopsAtTheStopFolder) {
  fs::create_directories(dir_.Sub("c/a/b/c/d"));
  EXPECT_TRUE(RemoveCreatedFolders("C:\\a\\b\\c\\d\\", "C:\\a\\b\\"));
  EXPECT_TRUE(IsDir("c/a/b"));
  EXPECT_FALSE(fs::exists(dir_.Sub("c/a/b/c")));

  // Case is ignored when the stop folder is compared.
  fs::create_directories(dir_.Sub("c/a/b/c"));
  EXPECT_TRUE(RemoveCreatedFolders("C:\\a\\b\\c\\", "c:\\A\\"));
  EXPECT_TRUE(IsDir("c/a"));
  EXPECT_FALSE(fs::exists(dir_.Sub("c/a/b")));

  // A level holding a file stops the removal; the levels above it stay.
  fs::create_directories(dir_.Sub("c/a/b/c/d"));
  dir_.Write("c/a/b/c/keep.txt", "x");
  EXPECT_FALSE(RemoveCreatedFolders("C:\\a\\b\\c\\d\\", "C:\\a\\"));
  EXPECT_FALSE(fs::exists(dir_.Sub("c/a/b/c/d")));
  EXPECT_TRUE(IsDir("c/a/b/c"));
}

TEST_F(PathRulesTest, RemoveCreatedFoldersRefusesAStopOffTheTargetsWay) {
  fs::create_directories(dir_.Sub("c/a/b"));
  fs::create_directories(dir_.Sub("c/ab"));
  fs::create_directories(dir_.Sub("e/a/b"));
  EXPECT_FALSE(RemoveCreatedFolders("C:\\a\\b\\", "C:\\x\\"));
  EXPECT_FALSE(RemoveCreatedFolders("C:\\a\\b\\", "C:\\ab\\"));
  EXPECT_FALSE(RemoveCreatedFolders("C:\\a\\b\\", "E:\\a\\"));
  EXPECT_FALSE(RemoveCreatedFolders("", "C:\\"));
  EXPECT_FALSE(RemoveCreatedFolders("a\\b\\", "a\\"));
  EXPECT_TRUE(IsDir("c/a/b"));
  EXPECT_TRUE(IsDir("c/ab"));
  EXPECT_TRUE(IsDir("e/a/b"));
}

}  // namespace
