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
  // The window is told that the run failed.
  EXPECT_EQ(window.Drain(2000), (std::vector<std::string>{"FOREGROUND", "ENABLE 1", "POST 1025 7 2"}));
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

namespace {
using HostDataEdgeTest = EdgeTest;

// Two main accounts with totals.
void AddAccounts(HostBuilder& host) {
  host.Exec(
      "INSERT INTO accounts (data_no, account_id, name) VALUES (1, 11100000, '現金'), (1, 11300000, "
      "'普通預金');"
      "INSERT INTO totals (data_no, account_id, slot, debit_ex) VALUES (1, 11100000, 0, 10000),"
      "(1, 11300000, 1, 20000);");
}
}  // namespace

TEST_F(HostDataEdgeTest, AValueBeyondItsFieldFailsTheRunNamingTableRowAndColumn) {
  const struct {
    const char* sql;
    const char* line;
  } cases[] = {
      {"INSERT INTO accounts (data_no, account_id, name) VALUES (1, 2147490000, '大口');",
       "accounts row account_id 2147490000 column account_id: 2147490000 does not fit its field "
       "(-2147483648 to 2147483647)"},
      {"UPDATE accounts SET list_flag = 300 WHERE account_id = 11300000;",
       "accounts row account_id 11300000 column list_flag: 300 does not fit its field (-128 to 127)"},
      {"UPDATE accounts SET exclude1 = 256;",
       "accounts row account_id 11100000 column exclude1: 256 does not fit its field (0 to 255)"},
      {"UPDATE accounts SET exclude2 = -1;",
       "accounts row account_id 11100000 column exclude2: -1 does not fit its field (0 to 255)"},
      {"UPDATE accounts SET balance_side = 257;",
       "accounts row account_id 11100000 column balance_side: 257 does not fit its field (0 to 255)"},
      {"UPDATE accounts SET attributes = 4294967296;",
       "accounts row account_id 11100000 column attributes: 4294967296 does not fit its field "
       "(-2147483648 to 4294967295)"},
      {"UPDATE totals SET debit_ex = 'abc';",
       "totals row account_id 11100000 slot 0 column debit_ex: a text where a number is expected"},
      {"DROP TABLE totals; CREATE TABLE totals (data_no, account_id, slot, debit_ex, debit_in, credit_ex, "
       "credit_in); INSERT INTO totals VALUES (1, 11100000, 15, 1, 1, 1, 1);",
       "totals row account_id 11100000 slot 15 column slot: 15 does not fit its field (0 to 14)"},
      {"UPDATE accounts SET name = '現' || char(27) || '金' WHERE account_id = 11100000;",
       "accounts row account_id 11100000 column name: the text holds the control character 0x1B"},
      {"UPDATE accounts SET name = '𠮷' WHERE account_id = 11300000;",
       "accounts row account_id 11300000 column name: the text has a character with no Shift_JIS (code page "
       "932) form: '𠮷' (U+20BB7)"},
      {"UPDATE accounts SET name = printf('%.57c', 'n') WHERE account_id = 11300000;",
       "accounts row account_id 11300000 column name: 57 bytes, at most 56 allowed"},
      // A file without the documented keys and column types: the keys hold all the same.
      {"DROP TABLE totals; CREATE TABLE totals (data_no, account_id, slot, debit_ex, debit_in, credit_ex, "
       "credit_in); INSERT INTO totals VALUES (1, 11100000, 1, 1, 0, 0, 0), (1, 11100000, 1, 2, 0, 0, 0);",
       "totals row account_id 11100000 slot 1 column slot: a second row of this account and slot"},
      {"DROP TABLE accounts; CREATE TABLE accounts (data_no, account_id, name); INSERT INTO accounts VALUES "
       "(1, 11100000, '現金'), (1, 11100000, '現金');",
       "accounts row account_id 11100000 column account_id: a second row of this account"},
      {"DROP TABLE accounts; CREATE TABLE accounts (data_no, account_id, name); INSERT INTO accounts VALUES "
       "(1, 11100000, '現金'), ('1', 11300000, '普通預金');",
       "accounts row account_id 11300000 column data_no: a text where a number is expected"},
      {"DROP TABLE totals; CREATE TABLE totals (data_no, account_id, slot, debit_ex); INSERT INTO totals "
       "VALUES (1, 11100000, 0, 5), (NULL, 11300000, 2, 5);",
       "totals row account_id 11300000 slot 2 column data_no: no value (NULL)"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    HostBuilder host(dir);
    AddAccounts(host);
    host.Exec(c.sql);
    StarterListener window;
    RunOutcome run = RunProgramIn(dir, BinPath("halvorack"), host.path(),
                                  "--batch --month-to 3 --output 'C:\\r.xml' " + window.Handshake("1025,7,"));
    EXPECT_EQ(run.status, 2) << c.sql << "\n" << run.err;
    const std::string prefix = "halvorack: host database " + host.path() + ": ";
    EXPECT_NE(run.err.find(prefix + c.line + "\n"), std::string::npos) << c.sql << "\n" << run.err;
    EXPECT_EQ(run.err.find(prefix), run.err.rfind(prefix)) << "one line: " << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir.Sub("c/r.xml"))) << c.sql;
  }
}

TEST_F(HostDataEdgeTest, AnOlderDatabaseTakesTheDefaultsOfItsMissingColumns) {
  host_.Exec(
      "DROP TABLE session; CREATE TABLE session (user_id TEXT, selected_no INTEGER, selected_no2 INTEGER, "
      "app_folder TEXT, settings_folder TEXT);"
      "INSERT INTO session VALUES ('user1', 7, 1, 'C:\\Data', 'C:\\Settings');"
      "DROP TABLE companies; CREATE TABLE companies (data_no INTEGER PRIMARY KEY, data_id TEXT, name TEXT, "
      "period_start INTEGER, period_end INTEGER);"
      "INSERT INTO companies VALUES (1, 'D0000001', 'テスト商事', 20230401, 20240331);"
      "DROP TABLE accounts; CREATE TABLE accounts (data_no INTEGER, account_id INTEGER, name TEXT);"
      "DROP TABLE totals; CREATE TABLE totals (data_no INTEGER, account_id INTEGER, slot INTEGER, "
      "debit_ex INTEGER);"
      "DROP TABLE faults; CREATE TABLE faults (operation TEXT, result INTEGER);");
  AddAccounts(host_);
  RunOutcome run = Run("--batch --month-to 3 --output 'C:\\r.xml'");
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string report = TempDir::Read(dir_.Sub("c/r.xml"));
  // Both accounts listed (list_flag 0), as debit-balance accounts (balance_side 1), tax-exclusive.
  EXPECT_NE(report.find("<KANJYOKAMOKU_CODE>1110</KANJYOKAMOKU_CODE>\r\n\t\t\t<KANJYOKAMOKU_NAME>" +
                        win32::Sjis("現金") + "</KANJYOKAMOKU_NAME>\r\n\t\t\t<KANJYOKAMOKU_ZANDAKA>1<"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("<KANJYOKAMOKU_CODE>1130</KANJYOKAMOKU_CODE>"), std::string::npos);
}

TEST_F(HostDataEdgeTest, AMissingRequiredColumnNamesItself) {
  const struct {
    const char* sql;
    int status;
    const char* line;
  } cases[] = {
      {"DROP TABLE accounts; CREATE TABLE accounts (data_no, account_id, balance_side);", 2,
       "table accounts has no column name, which is required"},
      {"DROP TABLE totals;", 2, "no such table: totals"},
      {"DROP TABLE companies; CREATE TABLE companies (data_no INTEGER PRIMARY KEY, data_id, name, "
       "period_start);",
       2, "table companies has no column period_end, which is required"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    HostBuilder host(dir);
    host.Exec(c.sql);
    RunOutcome run =
        RunProgramIn(dir, BinPath("halvorack"), host.path(), "--batch --month-to 3 --output 'C:\\r.xml'");
    EXPECT_EQ(run.status, c.status) << c.sql << "\n" << run.err;
    EXPECT_NE(run.err.find("halvorack: host database " + host.path() + ": " + c.line + "\n"),
              std::string::npos)
        << c.sql << "\n"
        << run.err;
  }
}

TEST_F(HostDataEdgeTest, ValuesTheHostMayHoldAreWrittenAsTheyAre) {
  const struct {
    const char* sql;
    std::string in_report;  // UTF-8; empty: the account 1130 is not listed
  } cases[] = {
      // Tabs, line breaks and 0x7F pass into names unchanged.
      {"UPDATE accounts SET name = '現' || char(9) || '金' WHERE account_id = 11100000;",
       "<KANJYOKAMOKU_NAME>現\t金</KANJYOKAMOKU_NAME>"},
      {"UPDATE accounts SET name = '普通' || char(13, 10) || '預金' WHERE account_id = 11300000;",
       "<KANJYOKAMOKU_NAME>普通\r\n預金</KANJYOKAMOKU_NAME>"},
      {"UPDATE accounts SET name = 'A' || char(127) WHERE account_id = 11300000;",
       "<KANJYOKAMOKU_NAME>A\x7F</KANJYOKAMOKU_NAME>"},
      {"UPDATE companies SET name = 'テスト' || char(9) || '商事';",
       "<KOMONSAKINAME>テスト\t商事</KOMONSAKINAME>"},
      // Another company's row is not this run's: a name or a period that would be refused in it stays.
      {"INSERT INTO companies VALUES (2, 'D2', 'a' || char(1), 20240401, 20230331, 0, 0, 0);",
       "<KOMONSAKINAME>テスト商事</KOMONSAKINAME>"},
      // The attribute word's bits, stored as the unsigned pattern: bit 31 lists, bits 27-31 do not.
      {"UPDATE accounts SET attributes = 2147483648 WHERE account_id = 11300000;",
       "<KANJYOKAMOKU_CODE>1130</KANJYOKAMOKU_CODE>"},
      {"UPDATE accounts SET attributes = 4160749568 WHERE account_id = 11300000;", ""},
  };
  for (const auto& c : cases) {
    TempDir dir;
    HostBuilder host(dir);
    AddAccounts(host);
    host.Exec(c.sql);
    RunOutcome run =
        RunProgramIn(dir, BinPath("halvorack"), host.path(), "--batch --month-to 3 --output 'C:\\r.xml'");
    EXPECT_EQ(run.status, 0) << c.sql << "\n" << run.err;
    const std::string report = TempDir::Read(dir.Sub("c/r.xml"));
    if (c.in_report.empty())
      EXPECT_EQ(report.find("<KANJYOKAMOKU_CODE>1130<"), std::string::npos) << c.sql;
    else
      EXPECT_NE(report.find(win32::Sjis(c.in_report)), std::string::npos) << c.sql << "\n" << report;
  }
}

TEST_F(HostDataEdgeTest, AnAggregationOverflowNamesTheAccount) {
  AddAccounts(host_);
  host_.Exec(
      "UPDATE totals SET debit_ex = 900000000000000000 WHERE account_id = 11300000;"
      "INSERT INTO totals (data_no, account_id, slot, debit_ex) VALUES (1, 11300000, 0, "
      "900000000000000000);");
  RunOutcome run = Run("--batch --month-to 3 --output 'C:\\r.xml'");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("XMLファイルの出力に失敗しました。"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("halvorack: the balance of account_id 11300000 (account 1130, sub-account 0) does "
                         "not fit: a sum of its totals reaches 10^14 yen\n"),
            std::string::npos)
      << run.err;
}

TEST_F(HostDataEdgeTest, AccountCodesAtTheTopKeepTheirSubAccounts) {
  for (const char* code : {"214747", "214748"}) {
    TempDir dir;
    HostBuilder host(dir);
    host.Exec(std::string("INSERT INTO accounts (data_no, account_id, name) VALUES (1, ") + code +
              "0000, 'M'), (1, " + code + "0001, 'S1'), (1, " + code + "3647, 'S2');" +
              "INSERT INTO totals (data_no, account_id, slot, debit_ex) VALUES (1, " + code +
              "0000, 1, 10000), "
              "(1, " +
              code + "0001, 1, 20000), (1, " + code + "3647, 1, 40000);");
    RunOutcome run =
        RunProgramIn(dir, BinPath("halvorack"), host.path(), "--batch --month-to 3 --output 'C:\\r.xml'");
    EXPECT_EQ(run.status, 0) << code << "\n" << run.err;
    const std::string report = TempDir::Read(dir.Sub("c/r.xml"));
    // The main account's balance holds its sub-accounts', which are written inside it.
    const std::string expected =
        std::string("\t\t\t<KANJYOKAMOKU_CODE>") + code +
        "</KANJYOKAMOKU_CODE>\r\n\t\t\t<KANJYOKAMOKU_NAME>M</KANJYOKAMOKU_NAME>\r\n"
        "\t\t\t<KANJYOKAMOKU_ZANDAKA>7</KANJYOKAMOKU_ZANDAKA>\r\n"
        "\t\t\t<HOJYOKAMOKU Count=\"   1\">\r\n\t\t\t\t<HOJYOKAMOKU_CODE>1</HOJYOKAMOKU_CODE>";
    EXPECT_NE(report.find(expected), std::string::npos) << code << "\n" << report;
    EXPECT_NE(report.find("<HOJYOKAMOKU_CODE>3647</HOJYOKAMOKU_CODE>"), std::string::npos) << code;
    EXPECT_EQ(report.find("\t\t<HOJYOKAMOKU "), report.find("\t\t\t<HOJYOKAMOKU ") + 1) << code;
  }
}

TEST_F(HostDataEdgeTest, TheCountAndTheWalkReadOneSnapshot) {
  AddAccounts(host_);
  host_.Exec("PRAGMA journal_mode=WAL;");
  ChildRun run(dir_, BinPath("halvorack"), host_.path(),
               {"--batch", "--month-to", "3", "--output", "C:\\r.xml"}, "aggregation:1");
  ASSERT_TRUE(run.WaitStopped()) << run.Err();
  // The accounting product adds accounts ahead of those counted while the walk stands at its first row.
  host_.Exec(
      "INSERT INTO accounts (data_no, account_id, name) VALUES (1, 10000000, 'N1'), (1, 10010000, 'N2');");
  run.Continue();
  EXPECT_EQ(run.Wait(), 0) << run.Err();
  const std::string report = TempDir::Read(dir_.Sub("c/r.xml"));
  EXPECT_NE(report.find("<KANJYOKAMOKU_CODE>1110<"), std::string::npos) << report;
  EXPECT_NE(report.find("<KANJYOKAMOKU_CODE>1130<"), std::string::npos) << report;
  EXPECT_EQ(report.find("<KANJYOKAMOKU_CODE>1000<"), std::string::npos) << report;
}
