// Whole runs of the built executables as separate processes, against host databases and folders made
// here, with a test socket playing the starting window.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/e2e/e2e_fixture.h"

namespace {

class RunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A company with a cash account, a bank account with two sub-accounts and a payables account.
    host_.Exec(
        "INSERT INTO accounts (data_no, account_id, name, balance_side) VALUES "
        "(1, 1000000, '現金', 1), (1, 1310000, '普通預金', 1), (1, 1310001, 'みずほ銀行', 1),"
        "(1, 1310002, '三井住友銀行', 1), (1, 2000000, '買掛金', 0);"
        "INSERT INTO totals (data_no, account_id, slot, debit_ex, credit_ex, debit_in, credit_in) VALUES "
        "(1, 1000000, 0, 1000000, 0, 1000000, 0), (1, 1000000, 1, 500000, 300000, 550000, 330000),"
        "(1, 1310001, 0, 20000000, 0, 20000000, 0), (1, 1310002, 2, 7000000, 1000000, 7000000, 1000000),"
        "(1, 2000000, 0, 0, 4000000, 0, 4000000), (1, 2000000, 12, 1000000, 0, 1100000, 0),"
        "(1, 2000000, 13, 0, 90000, 0, 99000);");
  }

  RunOutcome Run(const std::string& prog, const std::string& args, const std::string& prefix = "") {
    return RunProgramIn(dir_, BinPath(prog), host_.path(), args, prefix);
  }
  std::string Settings(const char* file = "Halvorack.env") {
    return TempDir::Read(dir_.Sub(std::string("c/Settings/") + file));
  }
  std::string Expected(const std::string& name) {
    return TempDir::Read(std::string(UW_SOURCE_DIR) + "/tests/e2e/expected/" + name);
  }

  TempDir dir_;
  HostBuilder host_{dir_};
};
}  // namespace

TEST_F(RunTest, AWholeRunOfEachEdition) {
  struct Edition {
    const char* prog;
    const char* settings;
    const char* line;
  } editions[] = {
      {"halvorack", "Halvorack.env", "user1/7/D0000001:1/3/\n"},
      {"dremmick", "Dremmick.env", "user1/D0000001:1/3/\n"},
      {"fennowal", "Fennowal.env", "user1/D0000001:1/3/\n"},
  };
  std::filesystem::create_directories(dir_.Sub("c/out"));
  for (const auto& e : editions) {
    StarterListener window;
    std::filesystem::remove(dir_.Sub("c/out/r.xml"));
    RunOutcome run =
        Run(e.prog, "--batch --month-to 3 --tax 1 --output 'C:\\out\\r.xml' " + window.Handshake("1025,-5,"));
    EXPECT_EQ(run.status, 0) << e.prog << ": " << run.err;
    const std::string report = TempDir::Read(dir_.Sub("c/out/r.xml"));
    if (std::getenv("UW_UPDATE_EXPECTED") !=
        nullptr)  // to renew the expected files after a deliberate change
      std::ofstream(std::string(UW_SOURCE_DIR) + "/tests/e2e/expected/" + e.prog + ".xml", std::ios::binary)
          << report;
    EXPECT_EQ(report, Expected(std::string(e.prog) + ".xml")) << e.prog;
    // The document parses: a UTF-8 copy, since libxml2 refuses code page 932's own characters.
    const std::string check = "iconv -f CP932 -t UTF-8 " + ShellQuote(dir_.Sub("c/out/r.xml")) +
                              " | sed '1s/Shift_JIS/UTF-8/' | xmllint --noout - 2>&1";
    EXPECT_EQ(std::system(check.c_str()), 0) << e.prog;
    // A run started by a window passes no path to the settings: the path read at start (none) stays.
    EXPECT_EQ(Settings(e.settings), e.line) << e.prog;
    EXPECT_EQ(window.Drain(2000),
              (std::vector<std::string>{"ENABLE 0", "FOREGROUND", "ENABLE 1", "POST 1025 -5 0"}));
    EXPECT_NE(run.err.find("集計中 100％"), std::string::npos);
  }
}

TEST_F(RunTest, AStandAloneRunPostsNothingAndSavesThePath) {
  StarterListener window;
  RunOutcome run = Run("halvorack", "--batch --month-to 12 --output 'C:\\r.xml'");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(window.Drain(300).empty());
  EXPECT_NE(TempDir::Read(dir_.Sub("c/r.xml")).find("<FUNCTIONID>1</FUNCTIONID>"), std::string::npos);
  EXPECT_EQ(Settings(), "user1/7/D0000001:0/12/C:\\r.xml\n");
  EXPECT_NE(run.err.find("科目内訳書情報の出力が終了しました。"), std::string::npos);
}

TEST_F(RunTest, CancelLikeEndsWriteNothing) {
  dir_.Write("c/Settings/Halvorack.env", "user1/7/D0000001:0/5/C:\\keep.xml\n");
  const std::string before = Settings();
  struct Case {
    const char* args;
    const char* message;
  } cases[] = {
      {"--batch --month-to 13 --output 'C:\\r.xml' ", "集計期間に誤りがあります。"},
      {"--batch --output 'C:\\missing\\r.xml' ", "作成してもよろしいですか？"},
      {"--batch --output 'C:\\*.xml' ", "不正な文字"},
  };
  for (const auto& c : cases) {
    StarterListener window;
    RunOutcome run = Run("halvorack", c.args + window.Handshake("1025,7,"));
    EXPECT_EQ(run.status, 1) << c.args << "\n" << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("中止します"), std::string::npos);  // no cancel message
    EXPECT_EQ(window.Last(2000), "POST 1025 7 1");
    EXPECT_FALSE(std::filesystem::exists(dir_.Sub("c/r.xml")));
    EXPECT_FALSE(std::filesystem::exists(dir_.Sub("c/missing")));
    EXPECT_EQ(Settings(), before);
  }
  host_.Exec("UPDATE companies SET data_kind = 99;");
  StarterListener window;
  RunOutcome past = Run("halvorack", "--batch --output 'C:\\r.xml' " + window.Handshake("1025,7,"));
  EXPECT_EQ(past.status, 1);
  EXPECT_NE(past.err.find("過去実績データ"), std::string::npos);
  EXPECT_EQ(window.Last(2000), "POST 1025 7 1");
  EXPECT_EQ(Settings(), before);
}

TEST_F(RunTest, YesCreatesTheMissingFolder) {
  RunOutcome run = Run("halvorack", "--batch --yes --output 'C:\\new\\deep\\r.xml'");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(std::filesystem::exists(dir_.Sub("c/new/deep/r.xml")));
}

TEST_F(RunTest, AFailedEnvironmentCheckEndsWithTwo) {
  // The program alone in a folder, without VornelDef.ini beside it.
  TempDir bin;
  std::filesystem::copy(BinPath("halvorack"), bin.Sub("halvorack"));
  StarterListener window;
  RunOutcome run =
      RunProgramIn(dir_, bin.Sub("halvorack"), host_.path(), "--batch " + window.Handshake("1025,7,"));
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("動作環境が不正です。"), std::string::npos);
  EXPECT_EQ(window.Last(2000), "POST 1025 7 2");
}

TEST_F(RunTest, AnAggregationFaultWritesNoReport) {
  host_.Exec("INSERT INTO faults VALUES ('MoveNext', 2, 7);");
  dir_.Write("c/r.xml", "existing");
  StarterListener window;
  RunOutcome run = Run("halvorack", "--batch --yes --output 'C:\\r.xml' " + window.Handshake("1025,7,"));
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_NE(run.err.find("XMLファイルの出力に失敗しました。"), std::string::npos);
  EXPECT_EQ(TempDir::Read(dir_.Sub("c/r.xml")), "existing");
  EXPECT_EQ(window.Last(2000), "POST 1025 7 2");
  EXPECT_FALSE(std::filesystem::exists(dir_.Sub("c/Settings/Halvorack.env")));
}

TEST_F(RunTest, AFixedPathTakesTheReportAndTheSavedPathStays) {
  dir_.Write("c/Settings/Halvorack.env", "user1/7/D0000001:0/5/C:\\saved.xml\n");
  dir_.Write("c/fixed/r.xml", "old report");
  StarterListener window;
  RunOutcome run =
      Run("halvorack", "--batch --month-to 6 '" + window.Handshake("1025,7,C:\\fixed\\r.xml") + "'");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(TempDir::Read(dir_.Sub("c/fixed/r.xml")).find("<REPORT"), std::string::npos);  // overwritten
  EXPECT_EQ(Settings(), "user1/7/D0000001:0/6/C:\\saved.xml\n");
  EXPECT_EQ(
      Run("halvorack", "--batch --output 'C:\\x.xml' '" + window.Handshake("1025,7,C:\\fixed\\r.xml") + "'")
          .status,
      64);
}

TEST_F(RunTest, OptionsThatNeedBatchAreUsageErrors) {
  EXPECT_EQ(Run("halvorack", "--month-to 3").status, 64);
  EXPECT_EQ(Run("halvorack", "--batch --month-to 123").status, 64);
  EXPECT_EQ(Run("halvorack", "--batch --month-to a").status, 64);
  EXPECT_EQ(Run("halvorack", "--batch --tax 2").status, 64);
  RunOutcome empty = Run("halvorack", "--batch --month-to '' --output 'C:\\r.xml'");
  EXPECT_EQ(empty.status, 1);  // an empty month is refused by the dialog
}

TEST_F(RunTest, HostsimHearsTheProgramForAnyHandle) {
  // A handle beyond 32 bits saturates in the hand-shake; hostsim must listen where the program sends.
  const std::string hostsim = std::string(UW_BIN_DIR) + "/../tools/hostsim";
  for (const std::string& handle : {std::to_string(0x50000000 + getpid()), std::string("3000000000")}) {
    SCOPED_TRACE(handle);
    RunOutcome run = RunProgramIn(dir_, hostsim + " --handle " + handle + " " + BinPath("halvorack"),
                                  host_.path(), "--batch --month-to ''");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("received: ENABLE 0"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("received: POST 1025 7 1"), std::string::npos) << run.err;
  }
}
