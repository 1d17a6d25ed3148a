// The bad-input campaign: broken host databases, oversized texts, long command lines, odd SUPPORT.INF
// and settings files. Each gets its behaviour or a clear error; none crashes.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/e2e/e2e_fixture.h"

namespace {
class BadInputTest : public ::testing::Test {
 protected:
  RunOutcome Run(const std::string& args, const std::string& program = BinPath("halvorack")) {
    return RunProgramIn(dir_, program, host_.path(), args);
  }
  // A clear one-line error that names the host database and the place.
  void ExpectHostError(const std::string& sql, const std::string& names) {
    host_.Exec(sql);
    RunOutcome run = Run("--batch --month-to 3 --output 'C:\\r.xml'");
    EXPECT_EQ(run.status, 2) << sql;
    EXPECT_NE(run.err.find("halvorack: host database " + host_.path()), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(names), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
  TempDir dir_;
  HostBuilder host_{dir_};
};
}  // namespace

TEST_F(BadInputTest, BrokenHostDatabasesGiveAClearError) {
  ExpectHostError("UPDATE companies SET name = printf('%.300c', 'n');",
                  "companies row data_no 1 column name: 300 bytes");
  ExpectHostError("UPDATE companies SET name = 'ok', data_id = printf('%.40c', 'd');",
                  "column data_id: 40 bytes");
  ExpectHostError(
      "UPDATE companies SET data_id = 'D0000001'; UPDATE session SET user_id = printf('%.100c', 'u');",
      "session row 1 column user_id: 100 bytes");
  ExpectHostError("UPDATE session SET user_id = 'user1'; UPDATE companies SET name = '𠮷野家';",
                  "no Shift_JIS (code page 932) form");
  // A table whose name column was declared as a number.
  ExpectHostError(
      "DROP TABLE companies; CREATE TABLE companies (data_no INTEGER PRIMARY KEY, data_id TEXT, name INTEGER,"
      " period_start INTEGER, period_end INTEGER, period_option INTEGER, data_kind INTEGER, tax_included "
      "INTEGER);"
      "INSERT INTO companies VALUES (1, 'D0000001', 42, 20230401, 20240331, 0, 0, 0);",
      "companies row data_no 1 column name: a number where a text is expected");
  ExpectHostError("DROP TABLE companies;", "no such table: companies");
  ExpectHostError("DELETE FROM session;", "the session table has no row");
}

TEST_F(BadInputTest, MissingAggregationTablesFailTheRun) {
  host_.Exec("DROP TABLE totals;");
  RunOutcome run = Run("--batch --month-to 3 --output 'C:\\r.xml'");
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_NE(run.err.find("XMLファイルの出力に失敗しました。"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir_.Sub("c/r.xml")));
}

TEST_F(BadInputTest, ACompanyThatIsNotThereRunsWithAnEmptyRecord) {
  host_.Exec("UPDATE session SET selected_no2 = 99;");
  RunOutcome run = Run("--batch --month-to 3 --output 'C:\\r.xml'");
  // Zero dates: the period has no months, so every last month is refused.
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.err.find("集計期間に誤りがあります。"), std::string::npos);
}

TEST_F(BadInputTest, WrongColumnTypesAreRefused) {
  ExpectHostError("UPDATE companies SET period_start = 'abc', period_end = 20240331;",
                  "companies row data_no 1 column period_start: a text where a number is expected");
}

TEST_F(BadInputTest, CommandLinesOfTenThousandCharacters) {
  const std::string long_path = "C:\\" + std::string(10000, 'p') + ".xml";
  StarterListener window;
  // A dictated path that Windows could not open is refused by the dialog's path rules, as a dictated path
  // with a refused character is: the run ends as cancelled.
  RunOutcome fixed = Run("--batch --month-to 3 " + ShellQuote(window.Handshake("1025,7," + long_path)));
  EXPECT_EQ(fixed.status, 1) << fixed.err;
  EXPECT_EQ(window.Last(2000), "POST 1025 7 1");
  // Set into the path edit whole (as a program setting an edit's text bypasses its typing limit), a path
  // that does not fit a Windows path is refused with the other path rules, before a folder is made; so
  // is one of 260 bytes.
  for (const std::string& typed_path : {long_path, "C:\\new\\" + std::string(251, 'p') + ".x"}) {
    RunOutcome typed = Run("--batch --month-to 3 --yes --output " + ShellQuote(typed_path));
    EXPECT_EQ(typed.status, 1) << typed.err;
    EXPECT_NE(typed.err.find("出力先のパスが長すぎます。"), std::string::npos) << typed.err;
    EXPECT_FALSE(std::filesystem::exists(dir_.Sub("c/new")));
  }
  // Ten thousand characters of hand-shake without commas: a stand-alone run.
  RunOutcome words = Run("--batch --month-to 3 --output 'C:\\r.xml' " + std::string(10000, 'w'));
  EXPECT_EQ(words.status, 0) << words.err;
}

TEST_F(BadInputTest, OddSupportInfFilesStillGiveAReport) {
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"one megabyte", std::string(1024 * 1024, 'a') + "\r\n"},
      {"binary", std::string("\x00\xff\x1a[=\x90\xbb\x95\x69\x96\xbc=]\x01\x02\r\n", 18)},
      {"long values", "\x5b\x3d\x90\xbb\x95\x69\x96\xbc\x3d\x5d" + std::string(1000, 'N') + "\r\n"},
  };
  for (const auto& c : cases) {
    const std::string program = CopyProgramFolder(dir_, "prog");
    dir_.Write("prog/SUPPORT.INF", c.bytes);
    std::filesystem::remove(dir_.Sub("c/r.xml"));
    RunOutcome run = Run("--batch --month-to 3 --output 'C:\\r.xml'", program);
    EXPECT_EQ(run.status, 0) << c.name << "\n" << run.err;
    const std::string report = TempDir::Read(dir_.Sub("c/r.xml"));
    EXPECT_NE(report.find("</REPORT>\r\n"), std::string::npos) << c.name;
    std::size_t line_start = 0;
    while (line_start < report.size()) {
      std::size_t end = report.find("\r\n", line_start);
      if (end == std::string::npos) end = report.size();
      EXPECT_LE(end - line_start, 500u) << c.name;
      line_start = end + 2;
    }
  }
}

TEST_F(BadInputTest, OddSettingsFilesAreReadSafelyAndKept) {
  const std::string odd = std::string("\x00\xff\x80 binary/1/x\n", 14) + std::string(10 * 1024, 'L') + "\n" +
                          "no line feed at the end";
  dir_.Write("c/Settings/Halvorack.env", odd);
  RunOutcome run = Run("--batch --month-to 3 --output 'C:\\r.xml'");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(TempDir::Read(dir_.Sub("c/Settings/Halvorack.env")), odd + "\nuser1/7/D0000001:0/3/C:\\r.xml\n");
}
