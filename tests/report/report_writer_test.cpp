// The breakdown report document: the whole document byte for byte, the DATA walk over every row order,
// balance texts, the full-width company name, function ids and write failures.
#include "report/report_writer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "res/edition.h"
#include "res/texts.h"
#include "tests/report/report_fixture.h"
#include "win32/codepage.h"
#include "win32/global_mem.h"
#include "win32/replace_file.h"

namespace {

constexpr std::int64_t kYen = 10000;

class ReportWriterTest : public ReportFolderTest {
 protected:
  void SetUp() override {
    ReportFolderTest::SetUp();
    std::memset(&m_data, 0, sizeof m_data);
    SetCompany("ABC商事");
    m_data.PeriodStart = 20230401;
    m_data.PeriodEnd = 20240331;
  }

  void SetCompany(const std::string& utf8) {
    const std::string name = win32::Sjis(utf8);
    std::memset(m_data.CompanyName, 0, sizeof m_data.CompanyName);
    std::memcpy(m_data.CompanyName, name.data(), name.size());
  }
  // A row; the name is UTF-8 unless raw is set (bytes the UTF-8 converter would not give).
  void AddRow(std::int32_t id, const std::string& name, int has_subs, std::int64_t balance,
              bool raw = false) {
    auto row = std::make_unique<StZANDAKAINFO>();
    row->AccountId = id;
    const std::string bytes = raw ? name : win32::Sjis(name);
    std::memcpy(row->Name, bytes.data(), std::min(bytes.size(), sizeof row->Name - 1));
    row->HasSubAccounts = static_cast<std::uint8_t>(has_subs);
    row->Balance = balance;
    m_rows.push_back(row.get());
    m_storage.push_back(std::move(row));
  }
  // The rows of the document example, followed by one account whose name uses code page 932's
  // extensions (髙 FB FC, ① 87 40, ＂ FA 57).
  void AddExampleRows() {
    AddRow(1000000, "現金", 0, 152300 * kYen);
    AddRow(1310000, "普通預金", 1, 2000000 * kYen);
    AddRow(1310001, "第一口座", 0, 1500000 * kYen);
    AddRow(1310002, "第二口座", 0, 500000 * kYen);
    AddRow(1310000, "普通預金", 0, 2000000 * kYen);
    AddRow(2000000, "\xFB\xFC\x8B\xB4\x87\x40\xFA\x57", 0, -123456789 * kYen, true);
  }

  int WriteReport(res::EditionId edition = res::EditionId::kHalvorack, std::int16_t function_id = 1,
                  const char* path = "C:\\out.xml") {
    ClReportWriter writer(m_progress, m_rows, res::Edition(edition));
    writer.SetProgressBase(500);
    return writer.Write(path, function_id, m_data);
  }
  std::string Document() const { return TempDir::Read(m_dir.Sub("out.xml")); }
  std::string DocumentPath() const { return m_dir.Sub("out.xml"); }

  // The lines between <DATA> and </DATA>, without CR LF.
  std::vector<std::string> DataLines() const {
    const std::string doc = Document();
    const std::string open = "\t<DATA>\r\n";
    const std::string close = "\t</DATA>\r\n";
    std::size_t at = doc.find(open);
    const std::size_t end = doc.find(close);
    std::vector<std::string> lines;
    if (at == std::string::npos || end == std::string::npos) return lines;
    for (at += open.size(); at < end;) {
      const std::size_t eol = doc.find("\r\n", at);
      lines.push_back(doc.substr(at, eol - at));
      at = eol + 2;
    }
    return lines;
  }
  static std::vector<std::string> Account(const std::string& count, const std::string& code,
                                          const std::string& name, const std::string& balance,
                                          bool close = true) {
    std::vector<std::string> lines = {
        "\t\t<KANJYOKAMOKU Count=\"" + count + "\">",
        "\t\t\t<KANJYOKAMOKU_CODE>" + code + "</KANJYOKAMOKU_CODE>",
        "\t\t\t<KANJYOKAMOKU_NAME>" + win32::Sjis(name) + "</KANJYOKAMOKU_NAME>",
        "\t\t\t<KANJYOKAMOKU_ZANDAKA>" + balance + "</KANJYOKAMOKU_ZANDAKA>"};
    if (close) lines.push_back("\t\t</KANJYOKAMOKU>");
    return lines;
  }
  static std::vector<std::string> Sub(const std::string& count, const std::string& code,
                                      const std::string& name, const std::string& balance) {
    return {"\t\t\t<HOJYOKAMOKU Count=\"" + count + "\">",
            "\t\t\t\t<HOJYOKAMOKU_CODE>" + code + "</HOJYOKAMOKU_CODE>",
            "\t\t\t\t<HOJYOKAMOKU_NAME>" + win32::Sjis(name) + "</HOJYOKAMOKU_NAME>",
            "\t\t\t\t<HOJYOKAMOKU_ZANDAKA>" + balance + "</HOJYOKAMOKU_ZANDAKA>", "\t\t\t</HOJYOKAMOKU>"};
  }
  static std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
  }

  StDATAINFO m_data;
  RecordingProgress m_progress;
  ClZandakaList m_rows;
  std::vector<std::unique_ptr<StZANDAKAINFO>> m_storage;
};

TEST_F(ReportWriterTest, WholeDocumentMatchesTheExpectedFilePerEdition) {
  AddExampleRows();
  const struct {
    res::EditionId id;
    const char* file;
  } editions[] = {{res::EditionId::kHalvorack, "report_halvorack.xml"},
                  {res::EditionId::kDremmick, "report_dremmick.xml"},
                  {res::EditionId::kFennowal, "report_fennowal.xml"}};
  for (const auto& edition : editions) {
    SCOPED_TRACE(edition.file);
    m_progress.advances.clear();
    ASSERT_EQ(WriteReport(edition.id), 1);
    EXPECT_EQ(Document(),
              TempDir::Read(std::string(UW_SOURCE_DIR) + "/tests/report/expected/" + edition.file));
    ASSERT_TRUE(WellFormed(DocumentPath()));
    const std::string copy = Utf8Copy(DocumentPath());
    EXPECT_EQ(XPath(copy, "string(//PROGRAMNAME)"), res::DefaultProductName(res::Edition(edition.id)));
    EXPECT_EQ(XPath(copy, "string(//KANJYOKAMOKU[3]/KANJYOKAMOKU_NAME)"), m_storage[5]->Name);
    EXPECT_EQ(XPath(copy, "string(//KANJYOKAMOKU[2]/HOJYOKAMOKU[2]/HOJYOKAMOKU_ZANDAKA)"), "500000");
    const std::vector<std::pair<int, int>> advances = {{500, 600}, {600, 700}, {700, 1000}};
    EXPECT_EQ(m_progress.advances, advances);
  }
}

TEST_F(ReportWriterTest, DataWalkClosesTheLastAccountWhateverItsLastRow) {
  // The last row is a sub-account.
  AddRow(1000000, "現金", 0, 0);
  AddRow(1310000, "普通預金", 1, 5 * kYen);
  AddRow(1310001, "第一口座", 0, 5 * kYen);
  ASSERT_EQ(WriteReport(), 1);
  EXPECT_EQ(DataLines(), Join({Account("   1", "100", "現金", ""),
                               Account("   2", "131", "普通預金", "5", false),
                               Sub("   1", "1", "第一口座", "5"),
                               {"\t\t</KANJYOKAMOKU>"}}));
  EXPECT_TRUE(WellFormed(DocumentPath()));

  // The last row is a main account with sub-accounts flagged and none following.
  m_rows.clear();
  AddRow(1000000, "現金", 0, 7 * kYen);
  AddRow(2000000, "売掛金", 1, -7 * kYen);
  ASSERT_EQ(WriteReport(), 1);
  EXPECT_EQ(DataLines(), Join({Account("   1", "100", "現金", "7"), Account("   2", "200", "売掛金", "-7")}));
  EXPECT_TRUE(WellFormed(DocumentPath()));

  // No rows: DATA has no content lines.
  m_rows.clear();
  ASSERT_EQ(WriteReport(), 1);
  EXPECT_NE(Document().find("\t<DATA>\r\n\t</DATA>\r\n</REPORT>\r\n"), std::string::npos);
  EXPECT_TRUE(WellFormed(DocumentPath()));
}

TEST_F(ReportWriterTest, DataWalkKeepsFlaggedAccountsWithoutSubAccountsWellFormed) {
  // Its own closing row follows directly: the account is closed and the closing row dropped.
  AddRow(1310000, "普通預金", 1, 3 * kYen);
  AddRow(1310000, "普通預金", 0, 3 * kYen);
  AddRow(2000000, "売掛金", 0, 4 * kYen);
  // Another account follows directly: it is written as a new account.
  AddRow(3000000, "買掛金", 1, 6 * kYen);
  AddRow(4000000, "未払金", 0, 8 * kYen);
  // The ordinary group after them still drops its closing row.
  AddRow(5000000, "借入金", 1, 9 * kYen);
  AddRow(5000001, "甲銀行", 0, 9 * kYen);
  AddRow(5000000, "借入金", 0, 9 * kYen);
  AddRow(6000000, "資本金", 0, 1 * kYen);
  ASSERT_EQ(WriteReport(), 1);
  EXPECT_EQ(DataLines(), Join({Account("   1", "131", "普通預金", "3"),
                               Account("   2", "200", "売掛金", "4"),
                               Account("   3", "300", "買掛金", "6"),
                               Account("   4", "400", "未払金", "8"),
                               Account("   5", "500", "借入金", "9", false),
                               Sub("   1", "1", "甲銀行", "9"),
                               {"\t\t</KANJYOKAMOKU>"},
                               Account("   6", "600", "資本金", "1")}));
  ASSERT_TRUE(WellFormed(DocumentPath()));
  EXPECT_EQ(XPath(Utf8Copy(DocumentPath()), "count(//KANJYOKAMOKU)"), "6");
}

TEST_F(ReportWriterTest, DataWalkWritesSubAccountsOfALeftOutAccountWithoutAnAccountEndTag) {
  AddRow(1500001, "甲", 0, 1 * kYen);  // before any account
  AddRow(1000000, "現金", 0, 2 * kYen);
  AddRow(1000001, "小口", 0, 3 * kYen);  // after an account without the flag
  AddRow(1000002, "予備", 0, 4 * kYen);
  AddRow(2000000, "売掛金", 0, 5 * kYen);
  AddRow(2500003, "乙", 0, 6 * kYen);  // the last row
  ASSERT_EQ(WriteReport(), 1);
  EXPECT_EQ(DataLines(), Join({Sub("   1", "1", "甲", "1"), Account("   1", "100", "現金", "2"),
                               Sub("   1", "1", "小口", "3"), Sub("   2", "2", "予備", "4"),
                               Account("   2", "200", "売掛金", "5"), Sub("   1", "3", "乙", "6")}));
  ASSERT_TRUE(WellFormed(DocumentPath()));
  const std::string copy = Utf8Copy(DocumentPath());
  EXPECT_EQ(XPath(copy, "count(/REPORT/DATA/HOJYOKAMOKU)"), "4");
  EXPECT_EQ(XPath(copy, "string(/REPORT/DATA/HOJYOKAMOKU[3]/HOJYOKAMOKU_NAME)"), win32::Sjis("予備"));
}

TEST_F(ReportWriterTest, BalanceTextKeepsWholeYenWithinTheRange) {
  const struct {
    std::int64_t balance;
    const char* text;
  } cases[] = {
      {9999, ""},
      {-9999, ""},
      {10000, "1"},
      {-10000, "-1"},
      {19999, "1"},
      {-19999, "-1"},
      {999'999'999'999 * kYen + 9999, "999999999999"},
      {1'000'000'000'000 * kYen, ""},
      {-99'999'999'999 * kYen - 9999, "-99999999999"},
      {-100'000'000'000 * kYen, ""},
      {INT64_MIN, ""},
      {INT64_MAX, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ClReportWriter::BalanceText(c.balance), c.text) << c.balance;
}

TEST_F(ReportWriterTest, CompanyNameBecomesFullWidthAndIsCutBetweenCharacters) {
  ClReportWriter writer(m_progress, m_rows, res::Edition(res::EditionId::kDremmick));
  EXPECT_EQ(writer.ToFullWidthName(win32::Sjis("ABC商事").c_str()), win32::Sjis("ＡＢＣ商事"));
  EXPECT_EQ(writer.ToFullWidthName(win32::Sjis("ｶﾞｯｺｳ a&b").c_str()), win32::Sjis("ガッコウ　ａ＆ｂ"));
  const std::string twenty = win32::Sjis("一二三四五六七八九十壱弐参肆伍陸漆捌玖拾");
  EXPECT_EQ(writer.ToFullWidthName(twenty.c_str()), twenty.substr(0, 32));
  // A tab stays one byte, so byte 32 starts the 16th kanji: it is left out whole.
  const std::string shifted = "\t" + twenty;
  EXPECT_EQ(writer.ToFullWidthName(shifted.c_str()), shifted.substr(0, 31));
  EXPECT_EQ(writer.ToFullWidthName(""), "");

  SetCompany("ＡＢ&<>\"'C");
  ASSERT_EQ(WriteReport(), 1);
  ASSERT_TRUE(WellFormed(DocumentPath()));
  EXPECT_EQ(XPath(Utf8Copy(DocumentPath()), "string(//KOMONSAKINAME)"), win32::Sjis("ＡＢ＆＜＞＂＇Ｃ"));
}

TEST_F(ReportWriterTest, FunctionIdIsWrittenSigned) {
  for (const std::int16_t id :
       {std::int16_t{32767}, std::int16_t{-5}, std::int16_t{1}, std::int16_t{-25536}}) {
    ASSERT_EQ(WriteReport(res::EditionId::kFennowal, id), 1);
    ASSERT_TRUE(WellFormed(DocumentPath()));
    EXPECT_EQ(XPath(Utf8Copy(DocumentPath()), "string(//FUNCTIONID)"), std::to_string(id));
  }
}

TEST_F(ReportWriterTest, MissingFolderFailsWithoutAFile) {
  AddExampleRows();
  EXPECT_EQ(WriteReport(res::EditionId::kHalvorack, 1, "C:\\missing\\out.xml"), 0);
  win32::CFileStatus status;
  EXPECT_FALSE(win32::CFile::GetStatus("C:\\missing\\out.xml", status));
  EXPECT_TRUE(m_ui.boxes.empty());
}

// Whatever fails (a section, the closing </REPORT> line, a full disk, the sync, the close, the rename),
// the path keeps the earlier report whole and no temporary file is left.
TEST_F(ReportWriterTest, AFailedWriteLeavesTheEarlierReport) {
  AddExampleRows();
  ASSERT_EQ(WriteReport(), 1);
  const std::string whole = Document();
  const std::string earlier = "<REPORT>earlier</REPORT>";
  for (const std::size_t limit : {std::size_t{100}, std::size_t{500}, std::size_t{900}, whole.size() - 3}) {
    SCOPED_TRACE(limit);
    m_dir.Write("out.xml", earlier);
    int result;
    {
      FileSizeLimit size_limit(limit);
      result = WriteReport();
    }
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Document(), earlier);
  }
  for (const char* step : {"fsync", "close", "rename"}) {
    SCOPED_TRACE(step);
    m_dir.Write("out.xml", earlier);
    win32::SetReplaceHookForTesting(
        [step](const char* now) { return std::strcmp(now, step) == 0 ? EIO : 0; });
    EXPECT_EQ(WriteReport(), 0);
    win32::SetReplaceHookForTesting(nullptr);
    EXPECT_EQ(Document(), earlier);
  }
  SmallDisk disk(m_dir, "small", 8192);
  ASSERT_TRUE(disk.ok()) << disk.why();
  win32::Drives().Set({{"C", win32::DRIVE_FIXED, m_dir.path()}, {"F", win32::DRIVE_FIXED, disk.path()}});
  m_dir.Write("small/out.xml", std::string(8192, 'e'));  // fills the disk
  m_progress.advances.clear();
  EXPECT_EQ(WriteReport(res::EditionId::kHalvorack, 1, "F:\\out.xml"), 0);
  EXPECT_TRUE(m_progress.advances.empty());
  EXPECT_EQ(TempDir::Read(m_dir.Sub("small/out.xml")), std::string(8192, 'e'));
  EXPECT_TRUE(LeftTempFiles(m_dir.path()).empty());
  EXPECT_TRUE(LeftTempFiles(disk.path()).empty());
}

}  // namespace
