// The product information reader and what the report makes of its values.
#include "report/support_inf.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "report/report_writer.h"
#include "res/edition.h"
#include "res/texts.h"
#include "tests/report/report_fixture.h"
#include "win32/codepage.h"
#include "win32/global_mem.h"

namespace {

const std::string& NameMarker() { return res::Text(res::TextId::kProductNameMarker); }
const std::string& VersionMarker() { return res::Text(res::TextId::kProductVersionMarker); }

class SupportInfTest : public ReportFolderTest {
 protected:
  void WriteInf(const std::string& bytes) { m_dir.Write("SUPPORT.INF", bytes); }

  // The SYSTEM section written for the edition, and whether it was written.
  std::string SystemSection(res::EditionId edition, int* result) {
    RecordingProgress progress;
    ClZandakaList rows;
    ClReportWriter writer(progress, rows, res::Edition(edition));
    {
      win32::CFile file;
      ClXmlWriter xml;
      xml.Open(&file, "C:\\system.xml");
      *result = writer.WriteSystem(xml, 1);
      xml.Close();
    }
    return TempDir::Read(m_dir.Sub("system.xml"));
  }
};

TEST_F(SupportInfTest, ReadsValuesUpToTheLineEnd) {
  WriteInf("header\r\n" + NameMarker() + win32::Sjis("Taliskor２２ 表示") + "\r\n" + VersionMarker() +
           "22.03.05\r\n");
  ClSupportInf inf;
  EXPECT_EQ(inf.GetProductName(), win32::Sjis("Taliskor２２ 表示"));
  EXPECT_EQ(inf.GetProductVersion(), "22.03.05");
  EXPECT_EQ(inf.Load(), 1);
}

TEST_F(SupportInfTest, LineEndsAndMarks) {
  const struct {
    const char* what;
    std::string file;
    std::string name;
    std::string version;
  } cases[] = {
      {"empty value", NameMarker() + "\r\n" + VersionMarker() + "1.0\r\n", "", "1.0"},
      {"no final CR LF", NameMarker() + "N\r\n" + VersionMarker() + "22.03.07", "N", "22.03.07"},
      {"bare LF", NameMarker() + "N\nnext\n" + VersionMarker() + "2\r\nlast",
       "N\nnext\n" + VersionMarker() + "2", "2"},
      {"end-of-file mark", NameMarker() + "N\x1A" + "junk\r\n" + VersionMarker() + "3\x1A", "N", "3"},
      {"marker twice", NameMarker() + "first\r\n" + NameMarker() + "second\r\n", "first", ""},
      {"marker at the end", "x\r\n" + VersionMarker(), "", ""},
      {"lone CR", NameMarker() + "a\rb\r\n", "a\rb", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteInf(c.file);
    ClSupportInf inf;
    EXPECT_EQ(inf.GetProductName(), c.name);
    EXPECT_EQ(inf.GetProductVersion(), c.version);
  }
}

TEST_F(SupportInfTest, OnlyTheFirst30000BytesAreRead) {
  std::string file(29990, 'x');
  file += NameMarker() + "abcdefghijkl\r\n";  // the marker ends at 30,000: its value is past the data
  file += VersionMarker() + "9\r\n";          // wholly past the data
  WriteInf(file);
  ClSupportInf inf;
  EXPECT_EQ(inf.GetProductName(), "");
  EXPECT_EQ(inf.GetProductVersion(), "");

  file = std::string(29980, 'x') + NameMarker() + "abcdefghijkl\r\n";
  WriteInf(file);
  ClSupportInf cut;
  EXPECT_EQ(cut.GetProductName(), "abcdefghij");  // the value stops at the last byte read

  // A double-byte character whose second byte lies past the data is not cut in half.
  file = std::string(29980, 'x') + NameMarker() + "abcdefghi\x95\x5C\r\n";
  WriteInf(file);
  ClSupportInf split;
  EXPECT_EQ(split.GetProductName(), "abcdefghi");
}

TEST_F(SupportInfTest, MissingFileGivesTheDefaultsWithoutAMessage) {
  const std::size_t blocks = win32::GlobalLiveBlocksForTesting();
  {
    ClSupportInf inf;
    EXPECT_EQ(inf.GetProductName(), "");
    EXPECT_EQ(inf.GetProductVersion(), "");
    // Loaded once: the file appearing now is not read by this reader.
    WriteInf(NameMarker() + "late\r\n");
    EXPECT_EQ(inf.GetProductName(), "");
  }
  EXPECT_EQ(win32::GlobalLiveBlocksForTesting(), blocks);
  EXPECT_TRUE(m_ui.boxes.empty());
}

TEST_F(SupportInfTest, AllocationFailureIsShownAndTheNextLookupTriesAgain) {
  WriteInf(NameMarker() + "Name\r\n" + VersionMarker() + "22.03.09\r\n");
  win32::FailGlobalAllocForTesting(1);
  {
    ClSupportInf inf;
    EXPECT_EQ(inf.GetProductName(), "");
    EXPECT_EQ(inf.GetProductVersion(), "22.03.09");
  }
  ASSERT_EQ(m_ui.boxes.size(), 1u);
  EXPECT_EQ(m_ui.boxes[0].text, win32::Sjis("ﾒﾓﾘが不足しています。"));
  EXPECT_EQ(m_ui.boxes[0].caption, win32::Sjis("科目内訳書"));
  EXPECT_EQ(m_ui.boxes[0].style, win32::MB_OK | win32::MB_ICONEXCLAMATION);

  // Both lookups failing: two messages, the defaults written, the report goes on.
  m_ui.boxes.clear();
  win32::FailGlobalAllocForTesting(2);
  int result = 0;
  const std::string system = SystemSection(res::EditionId::kHalvorack, &result);
  win32::FailGlobalAllocForTesting(0);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(m_ui.boxes.size(), 2u);
  EXPECT_NE(system.find("\t\t<PROGRAMNAME>" + win32::Sjis("Taliskor２２ Meridon") + "</PROGRAMNAME>\r\n"),
            std::string::npos);
  EXPECT_NE(system.find("\t\t<PROGRAMVER>22.03.0X</PROGRAMVER>\r\n"), std::string::npos);
}

TEST_F(SupportInfTest, EmptyValuesGiveTheEditionDefaults) {
  WriteInf(NameMarker() + "\r\n" + VersionMarker() + "\r\n");
  int result = 0;
  const std::string system = SystemSection(res::EditionId::kFennowal, &result);
  EXPECT_EQ(result, 1);
  EXPECT_NE(system.find("<PROGRAMNAME>" + win32::Sjis("Taliskor２２ Sanvelle") + "</PROGRAMNAME>"),
            std::string::npos);
  EXPECT_NE(system.find("<PROGRAMVER>22.03.0X</PROGRAMVER>"), std::string::npos);
  EXPECT_NE(system.find("<CONNECTEDPROGRAMVER>22.03.00</CONNECTEDPROGRAMVER>"), std::string::npos);
}

TEST_F(SupportInfTest, LongValuesAreCutSoThatEveryLineFits) {
  // 表 ends in 0x5C; '&' grows fivefold when escaped. Both values far exceed a 256-byte line.
  std::string name;
  for (int i = 0; i < 300; ++i) name += win32::Sjis("表") + "&";
  const std::string version(1000, '9');
  WriteInf(NameMarker() + name + "\r\n" + VersionMarker() + version + "\r\n");
  {
    ClSupportInf inf;
    const std::string got = inf.GetProductName();
    EXPECT_LE(got.size(), 255u);
    EXPECT_EQ(got, name.substr(0, got.size()));
    EXPECT_EQ(got.back(), '&');  // cut between characters
  }
  int result = 0;
  const std::string system = SystemSection(res::EditionId::kDremmick, &result);
  EXPECT_EQ(result, 1);
  std::size_t at = 0;
  while (at < system.size()) {
    const std::size_t eol = system.find("\r\n", at);
    ASSERT_NE(eol, std::string::npos);
    EXPECT_LE(eol + 2 - at, 255u);
    at = eol + 2;
  }
  const std::size_t name_at = system.find("<PROGRAMNAME>");
  ASSERT_NE(name_at, std::string::npos);
  EXPECT_EQ(system.substr(name_at + 13, 8), "\x95\x5C&amp;\x95");
  EXPECT_NE(system.find("<PROGRAMVER>" + std::string(226, '9') + "</PROGRAMVER>"), std::string::npos);

  // The whole document with these values is well-formed and holds the cut values.
  RecordingProgress progress;
  ClZandakaList rows;
  StDATAINFO data{};
  ClReportWriter writer(progress, rows, res::Edition(res::EditionId::kDremmick));
  ASSERT_EQ(writer.Write("C:\\long.xml", 1, data), 1);
  ASSERT_TRUE(WellFormed(m_dir.Sub("long.xml")));
  const std::string copy = Utf8Copy(m_dir.Sub("long.xml"));
  std::string expected_name;
  for (int i = 0; i < 32; ++i) expected_name += win32::Sjis("表") + "&";
  EXPECT_EQ(XPath(copy, "string(//PROGRAMNAME)"), expected_name);
  EXPECT_EQ(XPath(copy, "string-length(//PROGRAMVER)"), "226");
}

}  // namespace
