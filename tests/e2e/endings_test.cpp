// How a run ends when something from outside ends it or holds it up: a signal in each phase, a kill at
// each moment of the writing, a locked host database, a held settings lock. The runs stop themselves at
// named points (UCHIWAKE_TEST_STOP) so that each moment is met exactly.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/e2e/e2e_fixture.h"

namespace {
class EndingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_.Exec(
        "INSERT INTO accounts (data_no, account_id, name) VALUES (1, 1000000, '現金'), (1, 1200000, "
        "'当座預金');"
        "INSERT INTO totals (data_no, account_id, slot, debit_ex) VALUES (1, 1000000, 0, 10000),"
        "(1, 1200000, 0, 30000);");
    dir_.Write("c/Settings/Halvorack.env", kSettings);
    dir_.Write("c/r.xml", kEarlier);
  }
  std::vector<std::string> Args(const StarterListener& window, const std::string& extra = "") {
    std::vector<std::string> args = {"--batch", "--month-to", "3", "--yes", "--output", "C:\\r.xml"};
    if (!extra.empty()) args.push_back(extra);
    args.push_back(window.Handshake("1025,7,"));
    return args;
  }
  std::string Report() { return TempDir::Read(dir_.Sub("c/r.xml")); }
  std::string Settings() { return TempDir::Read(dir_.Sub("c/Settings/Halvorack.env")); }
  bool NoTempFiles() {
    return LeftTempFiles(dir_.Sub("c")).empty() && LeftTempFiles(dir_.Sub("c/Settings")).empty();
  }

  static constexpr const char* kSettings = "user1/7/D0000001:0/5/C:\\keep.xml\n";
  static constexpr const char* kEarlier = "<REPORT>the earlier report</REPORT>";
  TempDir dir_;
  HostBuilder host_{dir_};
};

const std::vector<std::string> kCancelled = {"ENABLE 0", "FOREGROUND", "ENABLE 1", "POST 1025 7 1"};

// The lock waits of the runs started while it lives, shortened to two seconds through the one place the
// program takes them from.
class ShortLockWaits {
 public:
  ShortLockWaits() { setenv(kName, "2000", 1); }
  ~ShortLockWaits() { unsetenv(kName); }
  ShortLockWaits(const ShortLockWaits&) = delete;
  ShortLockWaits& operator=(const ShortLockWaits&) = delete;

 private:
  static constexpr const char* kName = "UCHIWAKE_TEST_LOCK_WAIT_MS";
};
}  // namespace

// Each signal in each phase ends the run as a cancel: the window is enabled again and told 1, the exit
// status is 128 + the signal, no message box, the temporary files are gone, the settings untouched, and
// the report path holds the earlier report. Once the new report is in place (while the settings are
// saved) the window is told 0: the report is written.
TEST_F(EndingTest, EachSignalInEachPhaseEndsTheRunAsACancel) {
  const struct {
    const char* phase;
    const char* stop;
    bool report_in_place;
  } phases[] = {
      {"dialog", "dialog", false},           {"question", "question", false},
      {"aggregation", "aggregation", false}, {"writing", "report-section:2", false},
      {"renaming", "replace-rename", false}, {"saving the settings", "replace-rename:2", true},
  };
  for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
    for (const auto& p : phases) {
      SCOPED_TRACE(std::string(p.phase) + ", signal " + std::to_string(sig));
      dir_.Write("c/r.xml", kEarlier);
      StarterListener window;
      ChildRun run(dir_, BinPath("halvorack"), host_.path(), Args(window), p.stop);
      ASSERT_TRUE(run.WaitStopped()) << run.Err();
      run.Signal(sig);
      run.Continue();
      EXPECT_EQ(run.Wait(), 128 + sig) << run.Err();
      std::vector<std::string> told = kCancelled;
      if (p.report_in_place) told.back() = "POST 1025 7 0";
      EXPECT_EQ(window.Drain(2000), told);
      const std::string err = run.Err();
      EXPECT_EQ(err.find("終了しました"), std::string::npos) << err;
      EXPECT_EQ(err.find("失敗しました"), std::string::npos) << err;
      EXPECT_EQ(err.find("中止します"), std::string::npos) << err;
      EXPECT_TRUE(NoTempFiles());
      EXPECT_EQ(Settings(), kSettings);
      if (p.report_in_place)
        EXPECT_NE(Report().find("</REPORT>\r\n"), std::string::npos);
      else
        EXPECT_EQ(Report(), kEarlier);
    }
  }
}

// A second signal while the first one ends the run does not interrupt that ending; a signal during the
// normal ending does not double it.
TEST_F(EndingTest, ASecondSignalOrOneDuringTheNormalEndingChangesNothing) {
  {
    StarterListener window;
    ChildRun run(dir_, BinPath("halvorack"), host_.path(), Args(window), "report-section:2");
    ASSERT_TRUE(run.WaitStopped()) << run.Err();
    run.Signal(SIGTERM);
    run.Signal(SIGHUP);
    run.Continue();
    const int status = run.Wait();
    EXPECT_TRUE(status == 128 + SIGTERM || status == 128 + SIGHUP) << status;
    EXPECT_EQ(window.Drain(2000), kCancelled);
    EXPECT_EQ(Report(), kEarlier);
    EXPECT_TRUE(NoTempFiles());
  }
  StarterListener window;
  ChildRun run(dir_, BinPath("halvorack"), host_.path(), Args(window), "ending");
  ASSERT_TRUE(run.WaitStopped()) << run.Err();
  run.Signal(SIGTERM);
  run.Continue();
  EXPECT_EQ(run.Wait(), 0) << run.Err();
  EXPECT_EQ(window.Drain(2000),
            (std::vector<std::string>{"ENABLE 0", "FOREGROUND", "ENABLE 1", "POST 1025 7 0"}));
  EXPECT_NE(Settings(), kSettings);
}

// Killed at each moment of the writing (between the sections, before and after each step of putting the
// file in place), the report path holds the earlier report or the whole new one, never a part; what a
// killed writer leaves is cleaned up by a later run once it is a minute old.
TEST_F(EndingTest, AKillAtAnyMomentOfTheWritingLeavesAWholeReport) {
  // Some 3000 accounts (a report of about 400 KB), so that the writing takes a while.
  host_.Exec(
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
      "INSERT INTO accounts (data_no, account_id, name) SELECT 1, (3000 + i) * 10000, '科目' || i FROM n;"
      "INSERT INTO totals (data_no, account_id, slot, debit_ex) SELECT 1, account_id, 0, 10000 FROM accounts "
      "WHERE account_id >= 30000000;");
  StarterListener window;
  ChildRun reference(dir_, BinPath("halvorack"), host_.path(), Args(window));
  ASSERT_EQ(reference.Wait(), 0) << reference.Err();
  const std::string whole = Report();
  ASSERT_NE(whole.find("</REPORT>\r\n"), std::string::npos);

  const char* stops[] = {"report-section:1", "report-section:2", "report-section:4", "report-written",
                         "replace-fsync",    "replace-close",    "replace-rename",   "replace-fsync-folder"};
  for (const char* stop : stops) {
    SCOPED_TRACE(stop);
    dir_.Write("c/r.xml", kEarlier);
    ChildRun run(dir_, BinPath("halvorack"), host_.path(), Args(window), stop);
    ASSERT_TRUE(run.WaitStopped()) << run.Err();
    run.Signal(SIGKILL);
    EXPECT_EQ(run.Wait(), 128 + SIGKILL);
    // Before the rename the earlier report, after it the new one.
    EXPECT_EQ(Report(), std::string(stop) == "replace-fsync-folder" ? whole : kEarlier);
  }
  // The killed runs' temporary files: kept while young, removed by the next run once a minute old.
  auto left_now = [&] {
    std::vector<std::string> names = LeftTempFiles(dir_.Sub("c"));
    std::sort(names.begin(), names.end());
    return names;
  };
  const std::vector<std::string> left = left_now();
  ASSERT_FALSE(left.empty());
  ChildRun young(dir_, BinPath("halvorack"), host_.path(), Args(window));
  ASSERT_EQ(young.Wait(), 0);
  EXPECT_EQ(left_now(), left);
  for (const auto& name : left)
    std::filesystem::last_write_time(dir_.Sub("c/" + name),
                                     std::filesystem::file_time_type::clock::now() - std::chrono::minutes(2));
  ChildRun later(dir_, BinPath("halvorack"), host_.path(), Args(window));
  ASSERT_EQ(later.Wait(), 0);
  EXPECT_TRUE(LeftTempFiles(dir_.Sub("c")).empty());
  EXPECT_EQ(Report(), whole);
}

// Another process holding the host database for a second is waited for; one that holds it past the wait
// (five seconds, two here) fails the run, and the one line on standard error says that the host database
// could not be read.
TEST_F(EndingTest, ALockedHostDatabaseIsWaitedFor) {
  const ShortLockWaits waits;
  {
    host_.Exec("BEGIN EXCLUSIVE;");
    StarterListener window;
    ChildRun run(dir_, BinPath("halvorack"), host_.path(), Args(window));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    host_.Exec("COMMIT;");
    EXPECT_EQ(run.Wait(), 0) << run.Err();
    EXPECT_EQ(window.Last(2000), "POST 1025 7 0");
  }
  const std::string saved = Settings();
  dir_.Write("c/r.xml", kEarlier);
  StarterListener window;
  ChildRun run(dir_, BinPath("halvorack"), host_.path(), Args(window), "dialog");
  ASSERT_TRUE(run.WaitStopped()) << run.Err();
  host_.Exec("BEGIN EXCLUSIVE;");
  const auto started = std::chrono::steady_clock::now();
  run.Continue();
  EXPECT_EQ(run.Wait(), 2);
  const auto took = std::chrono::steady_clock::now() - started;
  host_.Exec("COMMIT;");
  EXPECT_GE(took, std::chrono::seconds(2));
  EXPECT_LT(took, std::chrono::seconds(5));
  const std::string err = run.Err();
  EXPECT_NE(err.find("XMLファイルの出力に失敗しました。"), std::string::npos) << err;
  EXPECT_NE(err.find("\nhalvorack: host database " + host_.path() + ": "), std::string::npos) << err;
  EXPECT_NE(err.find("database is locked\n"), std::string::npos) << err;
  EXPECT_EQ(window.Last(2000), "POST 1025 7 2");
  EXPECT_EQ(Report(), kEarlier);
  EXPECT_EQ(Settings(), saved);
}

// Another process holding the settings lock: the run waits (ten seconds, two here), then ends as written
// without saving the settings, and says so in one line.
TEST_F(EndingTest, AHeldSettingsLockIsWaitedFor) {
  const ShortLockWaits waits;
  const std::string lock_path = dir_.Write("c/Settings/Halvorack.env.lock", "");
  const int lock = open(lock_path.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(lock, 0);
  ASSERT_EQ(flock(lock, LOCK_EX), 0);
  const auto started = std::chrono::steady_clock::now();
  RunOutcome run = RunProgramIn(dir_, "timeout -s KILL 60 " + BinPath("halvorack"), host_.path(),
                                "--batch --month-to 3 --yes --output 'C:\\r.xml'");
  const auto took = std::chrono::steady_clock::now() - started;
  close(lock);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_GE(took, std::chrono::seconds(2));
  EXPECT_LT(took, std::chrono::seconds(10));
  EXPECT_NE(Report().find("</REPORT>\r\n"), std::string::npos);
  EXPECT_EQ(Settings(), kSettings);
  EXPECT_NE(run.err.find("halvorack: the choices of this run were not saved: the settings file"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("科目内訳書情報の出力が終了しました。"), std::string::npos);
}
