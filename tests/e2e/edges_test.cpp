// Texts and data as they come, run by the built program: UTF-8 command lines, Windows names over Linux
// folders, and host data that an older or damaged accounting product could hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/e2e_fixture.h"
#include "win32/codepage.h"

namespace {
class EdgeTest : public ::testing::Test {
 protected:
  RunOutcome Run(const std::string& args, const std::string& program = BinPath("halvorack")) {
    return RunProgramIn(dir_, program, host_.path(), args);
  }
  TempDir dir_;
  HostBuilder host_{dir_};
};

using CommandLineEdgeTest = EdgeTest;
using WindowsNamesEdgeTest = EdgeTest;

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}
}  // namespace

TEST_F(CommandLineEdgeTest, JapaneseDictatedPathsReachTheirFiles) {
  struct Case {
    const char* dictated;
    const char* linux_path;
  } cases[] = {
      {"C:\\出力\\a.xml", "c/出力/a.xml"},
      {"C:\\データ\\内訳書.xml", "c/データ/内訳書.xml"},
      {"C:\\表ソ\\能.xml", "c/表ソ/能.xml"},  // trail bytes 0x5C
  };
  for (const auto& c : cases) {
    StarterListener window;
    RunOutcome run = Run("--batch --month-to 3 --yes " +
                         ShellQuote(window.Handshake(std::string("1025,7,") + c.dictated)));
    EXPECT_EQ(run.status, 0) << c.dictated << "\n" << run.err;
    EXPECT_NE(TempDir::Read(dir_.Sub(c.linux_path)).find("</REPORT>"), std::string::npos) << c.dictated;
    EXPECT_EQ(window.Last(2000), "POST 1025 7 0") << c.dictated;
  }
}

TEST_F(CommandLineEdgeTest, AHandshakeWithNoShiftJisFormIsAStartUpFailure) {
  StarterListener window;
  RunOutcome run = Run("--batch --month-to 3 " + ShellQuote(window.Handshake("1025,7,C:\\𠮷野家\\a.xml")));
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err,
            "halvorack: the hand-shake has a character with no Shift_JIS (code page 932) form: '𠮷' "
            "(U+20BB7)\n");
  EXPECT_TRUE(window.Drain(300).empty());
  RunOutcome bytes = Run("--batch --month-to 3 " + ShellQuote(window.Handshake("1025,7,C:\\\x95\x5C.xml")));
  EXPECT_EQ(bytes.status, 2);
  EXPECT_NE(bytes.err.find("form: byte 0x95\n"), std::string::npos) << bytes.err;
}

TEST_F(WindowsNamesEdgeTest, ANameAsWindowsReadsItMeansTheFileThatIsThere) {
  for (const char* path : {"C:\\DATA\\Report.xml", "C:\\Data\\report.xml.", "C:\\data \\REPORT.XML  "}) {
    dir_.Write("c/Data/report.xml", "old");
    // Without --yes the question is answered No: it must be the overwrite question, not the folder's.
    RunOutcome asked = Run(std::string("--batch --month-to 3 --output ") + ShellQuote(path));
    EXPECT_EQ(asked.status, 1) << path << "\n" << asked.err;
    EXPECT_NE(asked.err.find("上書きしてもよろしいですか？"), std::string::npos) << path << "\n" << asked.err;
    EXPECT_EQ(asked.err.find("作成してもよろしいですか？"), std::string::npos) << path;
    RunOutcome run = Run(std::string("--batch --month-to 3 --yes --output ") + ShellQuote(path));
    EXPECT_EQ(run.status, 0) << path << "\n" << run.err;
    EXPECT_NE(TempDir::Read(dir_.Sub("c/Data/report.xml")).find("</REPORT>"), std::string::npos) << path;
    EXPECT_EQ(Entries(dir_.Sub("c")), (std::vector<std::string>{"Data", "Settings"})) << path;
    EXPECT_EQ(Entries(dir_.Sub("c/Data")), std::vector<std::string>{"report.xml"}) << path;
  }
}

TEST_F(WindowsNamesEdgeTest, DeviceNamesAndControlCharactersAreBadCharacters) {
  for (const char* path : {"C:\\CON.xml", "C:\\aux\\r.xml", "C:\\r\x01.xml"}) {
    RunOutcome run = Run(std::string("--batch --month-to 3 --yes --output ") + ShellQuote(path));
    EXPECT_EQ(run.status, 1) << path << "\n" << run.err;
    EXPECT_NE(run.err.find("不正な文字"), std::string::npos) << path << "\n" << run.err;
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir_.Sub("c")));
}

TEST_F(WindowsNamesEdgeTest, ACrLfSettingsRecordSendsTheReportToItsPath) {
  dir_.Write("c/Settings/Halvorack.env", "user1/7/D0000001:0/5/C:\\out.xml\r\n");
  RunOutcome run = Run("--batch --month-to 3 --yes");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(TempDir::Read(dir_.Sub("c/out.xml")).find("</REPORT>"), std::string::npos);
  EXPECT_EQ(Entries(dir_.Sub("c")), (std::vector<std::string>{"Settings", "out.xml"}));
  EXPECT_EQ(TempDir::Read(dir_.Sub("c/Settings/Halvorack.env")), "user1/7/D0000001:0/3/C:\\out.xml\n");
}

TEST_F(WindowsNamesEdgeTest, TheProgramsOwnFilesAreFoundInAnyCase) {
  const std::string program = CopyProgramFolder(dir_, "prog");
  std::filesystem::rename(dir_.Sub("prog/SUPPORT.INF"), dir_.Sub("prog/Support.inf"));
  std::filesystem::rename(dir_.Sub("prog/VornelDef.ini"), dir_.Sub("prog/VORNELDEF.INI"));
  dir_.Write("prog/Support.inf", win32::Sjis("[=製品名=]会計ソフト 試用版\r\n"));
  RunOutcome run = Run("--batch --month-to 3 --output 'C:\\r.xml'", program);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(
      TempDir::Read(dir_.Sub("c/r.xml")).find(win32::Sjis("<PROGRAMNAME>会計ソフト 試用版</PROGRAMNAME>")),
      std::string::npos);
}
