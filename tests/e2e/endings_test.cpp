// How a run ends when something from outside ends it or holds it up: a signal in each phase, a kill at
// each moment of the writing, a locked host database, a held settings lock. The runs stop themselves at
// named points (UCHIWAKE_TEST_STOP) so that each moment is met exactly.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iterator>
#include <memory>
#include <thread>

#include "tests/e2e/e2e_fixture.h"
#include "win32/starter.h"

// Whether the sanitizers' runtime is built in (clang says so through __has_feature, GCC by a macro).
#if defined(__SANITIZE_ADDRESS__)
#define SANITIZED_BUILD 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SANITIZED_BUILD 1
#endif
#endif
#ifndef SANITIZED_BUILD
#define SANITIZED_BUILD 0
#endif

namespace {
class EndingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_.Exec(kAccounts);
    dir_.Write("c/Settings/Halvorack.env", kSettings);
    dir_.Write("c/r.xml", kEarlier);
  }
  std::vector<std::string> Args(const StarterListener& window, const std::string& extra = "") {
    std::vector<std::string> args = {"--batch", "--month-to", "3", "--yes", "--output", "C:\\r.xml"};
    if (!extra.empty()) args.push_back(extra);
    args.push_back(window.Handshake("1025,7,"));
    return args;
  }
  std::string Report(const TempDir& dir) { return TempDir::Read(dir.Sub("c/r.xml")); }
  std::string Report() { return Report(dir_); }
  std::string Settings(const TempDir& dir) { return TempDir::Read(dir.Sub("c/Settings/Halvorack.env")); }
  std::string Settings() { return Settings(dir_); }
  bool NoTempFiles(const TempDir& dir) {
    return LeftTempFiles(dir.Sub("c")).empty() && LeftTempFiles(dir.Sub("c/Settings")).empty();
  }
  bool NoTempFiles() { return NoTempFiles(dir_); }

  // A run to its end: the report and the settings it leaves.
  bool ReferenceRun() {
    StarterListener window;
    ChildRun run(dir_, BinPath("halvorack"), host_.path(), Args(window));
    if (run.Wait() != 0) return false;
    whole_ = Report();
    saved_ = Settings();
    return whole_.find("</REPORT>\r\n") != std::string::npos && saved_ != kSettings;
  }

  static constexpr const char* kAccounts =
      "INSERT INTO accounts (data_no, account_id, name) VALUES (1, 1000000, '現金'), (1, 1200000, "
      "'当座預金');"
      "INSERT INTO totals (data_no, account_id, slot, debit_ex) VALUES (1, 1000000, 0, 10000),"
      "(1, 1200000, 0, 30000);";
  static constexpr const char* kSettings = "user1/7/D0000001:0/5/C:\\keep.xml\n";
  static constexpr const char* kEarlier = "<REPORT>the earlier report</REPORT>";
  TempDir dir_;
  HostBuilder host_{dir_};
  std::string whole_;
  std::string saved_;
};

// No core files from the children while it lives.
class NoCoreFiles {
 public:
  NoCoreFiles() {
    getrlimit(RLIMIT_CORE, &old_);
    rlimit none = old_;
    none.rlim_cur = 0;
    setrlimit(RLIMIT_CORE, &none);
  }
  ~NoCoreFiles() { setrlimit(RLIMIT_CORE, &old_); }

 private:
  rlimit old_{};
};

// Fills the window's queue (as a window that does not read does); answers how many datagrams it took.
int FillQueue(const StarterListener& window) {
  sockaddr_un addr{};
  const socklen_t len = win32::StarterSocketAddress(window.handle(), &addr);
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  int n = 0;
  while (sendto(fd, "FILLER", 6, MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&addr), len) == 6) ++n;
  close(fd);
  return n;
}

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

// Each signal from outside whose default ends a process, at each moment of the run, ends the run as a
// cancel, and by that signal: the window is enabled again and told the result that matches the file at
// the report path (1 and the earlier report until the new one is renamed into place, 0 and the new one
// from then on), no message box, no temporary file left, the settings saved only once renamed in place.
TEST_F(EndingTest, EachSignalAtEachMomentEndsTheRunByItTellingWhatIsOnDisk) {
  ASSERT_TRUE(ReferenceRun());
  NoCoreFiles no_cores;  // SIGQUIT and SIGXCPU dump a core by default
  const struct {
    const char* stop;
    bool report_in_place;
    bool settings_saved;
  } moments[] = {
      {"dialog", false, false},         {"question", false, false},
      {"aggregation", false, false},    {"report-section:2", false, false},
      {"replace-rename", false, false}, {"replace-fsync-folder", true, false},
      {"replace-fsync:2", true, false}, {"replace-fsync-folder:2", true, true},
  };
  const int signals[] = {SIGTERM, SIGINT, SIGHUP,  SIGQUIT, SIGUSR1,   SIGUSR2,  SIGALRM, SIGVTALRM,
                         SIGPROF, SIGIO,  SIGXCPU, SIGPWR,  SIGSTKFLT, SIGRTMIN, SIGRTMAX};
  // The signals of one moment are met at once, each by a run of its own in folders of its own.
  struct Bench {
    TempDir dir;
    HostBuilder host{dir};
    StarterListener window;
    std::unique_ptr<ChildRun> run;
  };
  std::vector<std::unique_ptr<Bench>> benches;
  for (std::size_t i = 0; i < std::size(signals); ++i) {
    benches.push_back(std::make_unique<Bench>());
    benches.back()->host.Exec(kAccounts);
  }
  for (const auto& m : moments) {
    for (auto& b : benches) {
      b->dir.Write("c/r.xml", kEarlier);
      b->dir.Write("c/Settings/Halvorack.env", kSettings);
      b->run =
          std::make_unique<ChildRun>(b->dir, BinPath("halvorack"), b->host.path(), Args(b->window), m.stop);
    }
    for (std::size_t i = 0; i < benches.size(); ++i) {
      ChildRun& run = *benches[i]->run;
      ASSERT_TRUE(run.WaitStopped()) << m.stop << "\n" << run.Err();
      run.Signal(signals[i]);
      run.Continue();
    }
    for (std::size_t i = 0; i < benches.size(); ++i) {
      const int sig = signals[i];
      SCOPED_TRACE(std::string(m.stop) + ", signal " + std::to_string(sig));
      Bench& b = *benches[i];
      EXPECT_EQ(b.run->Wait(), 128 + sig) << b.run->Err();
      EXPECT_EQ(b.run->TermSignal(), sig);
      std::vector<std::string> told = kCancelled;
      if (m.report_in_place) told.back() = "POST 1025 7 0";
      EXPECT_EQ(b.window.Drain(2000), told);
      EXPECT_EQ(Report(b.dir), m.report_in_place ? whole_ : kEarlier);
      EXPECT_EQ(Settings(b.dir), m.settings_saved ? saved_ : kSettings);
      EXPECT_TRUE(NoTempFiles(b.dir));
      const std::string err = b.run->Err();
      EXPECT_EQ(err.find("しました"), std::string::npos) << err;
      EXPECT_EQ(err.find("中止します"), std::string::npos) << err;
    }
  }
}

// A signal the caller ignored (nohup, a job started in the background) stays ignored, and a closed pipe or
// a file-size limit makes a write fail rather than end the process: the run goes on to its own ending.
TEST_F(EndingTest, IgnoredAndWriteSignalsLeaveTheRunToItsOwnEnding) {
  ASSERT_TRUE(ReferenceRun());
  const struct {
    int sig;
    bool ignored_by_caller;
  } cases[] = {{SIGHUP, true}, {SIGINT, true}, {SIGTERM, true}, {SIGPIPE, false}, {SIGXFSZ, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE("signal " + std::to_string(c.sig));
    dir_.Write("c/r.xml", kEarlier);
    StarterListener window;
    struct sigaction ignore {
    }, old{};
    ignore.sa_handler = SIG_IGN;
    if (c.ignored_by_caller) sigaction(c.sig, &ignore, &old);
    ChildRun run(dir_, BinPath("halvorack"), host_.path(), Args(window), "aggregation");
    if (c.ignored_by_caller) sigaction(c.sig, &old, nullptr);
    ASSERT_TRUE(run.WaitStopped()) << run.Err();
    run.Signal(c.sig);
    run.Continue();
    EXPECT_EQ(run.Wait(), 0) << run.Err();
    EXPECT_EQ(window.Last(2000), "POST 1025 7 0");
    EXPECT_EQ(Report(), whole_);
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

// A shell loop over runs, interrupted as Ctrl+C does (SIGINT to the whole process group): the run ends by
// SIGINT, so bash ends the loop instead of starting the next run; the status line on the terminal is
// ended with a line feed first.
TEST_F(EndingTest, SigintStopsAShellLoopAndEndsTheStatusLine) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string terminal = ptsname(master);
  const std::string loop = "for i in 1 2; do UCHIWAKE_TEST_STOP=$stop " + ShellQuote(BinPath("halvorack")) +
                           " --host " + ShellQuote(host_.path()) +
                           " --batch --month-to 3 --yes --output 'C:\\r.xml'; stop=; echo next; done";
  std::vector<std::string> argv_s = {"/bin/bash", "-c", loop};
  std::vector<char*> argv = NullTerminated(argv_s);
  std::vector<std::string> env_s = EnvironmentWithoutStop();
  env_s.push_back("stop=report-section:2");
  std::vector<char*> envp = NullTerminated(env_s);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, terminal.c_str(), O_WRONLY | O_NOCTTY, 0);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);  // a group of its own, as a job of a shell
  pid_t bash = -1;
  ASSERT_EQ(posix_spawn(&bash, argv[0], &actions, &attr, argv.data(), envp.data()), 0);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);

  // The run stopped itself: bash's child in state T.
  auto stopped_child = [&] {
    std::string children =
        TempDir::Read("/proc/" + std::to_string(bash) + "/task/" + std::to_string(bash) + "/children");
    if (children.empty()) return false;
    const std::string stat = TempDir::Read("/proc/" + std::to_string(std::stoi(children)) + "/stat");
    const std::size_t close_paren = stat.rfind(')');
    return close_paren != std::string::npos && stat.compare(close_paren + 2, 1, "T") == 0;
  };
  for (int i = 0; i < 1000 && !stopped_child(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(stopped_child());
  kill(-bash, SIGINT);
  kill(-bash, SIGCONT);
  int raw = 0;
  ASSERT_EQ(waitpid(bash, &raw, 0), bash);
  std::string out;
  char buf[4096];
  for (pollfd p{master, POLLIN, 0}; poll(&p, 1, 200) > 0;) {
    const ssize_t n = read(master, buf, sizeof buf);
    if (n <= 0) break;
    out.append(buf, static_cast<std::size_t>(n));
  }
  close(master);
  EXPECT_TRUE(WIFSIGNALED(raw) && WTERMSIG(raw) == SIGINT) << raw << "\n" << out;
  EXPECT_EQ(out.find("next"), std::string::npos) << out;
  ASSERT_NE(out.find("集計中"), std::string::npos) << out;
  EXPECT_TRUE(out.size() >= 5 && out.compare(out.size() - 5, 5, "\x1b[K\r\n") == 0) << out;
}

// A window whose queue is full (it has not read for a second) still hears how the run ended, a normal
// ending or a signal; one that never reads is given up on after a bounded wait, at start and at the end.
TEST_F(EndingTest, AWindowThatDoesNotReadForASecondIsWaitedFor) {
  const struct {
    const char* stop;
    int sig;
    int status;
    const char* result;
  } cases[] = {{"ending", 0, 0, "POST 1025 7 0"}, {"aggregation", SIGTERM, 128 + SIGTERM, "POST 1025 7 1"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stop);
    StarterListener window;
    ChildRun run(dir_, BinPath("halvorack"), host_.path(), Args(window), c.stop);
    ASSERT_TRUE(run.WaitStopped()) << run.Err();
    EXPECT_EQ(window.Drain(), std::vector<std::string>{"ENABLE 0"});
    ASSERT_GT(FillQueue(window), 0);
    if (c.sig != 0) run.Signal(c.sig);
    run.Continue();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    // What the window reads once it reads again, up to the result.
    std::vector<std::string> told;
    while (told.empty() || told.back().rfind("POST", 0) != 0) {
      const std::vector<std::string> got = window.Drain(2500);
      if (got.empty()) break;
      std::copy_if(got.begin(), got.end(), std::back_inserter(told), [](auto& d) { return d != "FILLER"; });
    }
    EXPECT_EQ(told, (std::vector<std::string>{"FOREGROUND", "ENABLE 1", c.result}));
    EXPECT_EQ(run.Wait(), c.status) << run.Err();
  }
  // Full from the start and never read: the run waits a moment for each notice, then goes on and ends.
  StarterListener window;
  FillQueue(window);
  const auto started = std::chrono::steady_clock::now();
  ChildRun run(dir_, BinPath("halvorack"), host_.path(), Args(window));
  EXPECT_EQ(run.Wait(), 0) << run.Err();
  const auto took = std::chrono::steady_clock::now() - started;
  EXPECT_GE(took, std::chrono::milliseconds(2400));
  EXPECT_LT(took, std::chrono::seconds(5));
  EXPECT_NE(Report().find("</REPORT>\r\n"), std::string::npos);
}

// File handles that run out: VornelDef.ini that cannot be opened (EMFILE) is not taken for an old
// product, and a toolkit that cannot start ends the run with a line, not an abort; either way the run
// fails (2) and the window is told.
TEST_F(EndingTest, RunningOutOfFileHandlesFailsTheRunWithALine) {
#if SANITIZED_BUILD
  GTEST_SKIP() << "the sanitizers' runtime needs file handles of its own";
#endif
  const struct {
    int handles;
    const char* line;
  } cases[] = {{5, "halvorack: the environment file "}, {4, "halvorack: the window toolkit cannot go on: "}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.handles);
    StarterListener window;
    // The limit is set after the shell's redirections, which need handles of their own, and after the
    // handles a parallel test runner may have left open below it are closed.
    const std::string limited = "sh -c 'exec 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&-; ulimit -n " +
                                std::to_string(c.handles) + " && exec \"$0\" \"$@\"' " + BinPath("halvorack");
    const RunOutcome run =
        RunProgramIn(dir_, limited, host_.path(),
                     "--batch --month-to 3 --yes --output 'C:\\r.xml' " + window.Handshake("1025,7,"));
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find(c.line), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("最新版を入手"), std::string::npos) << run.err;
    EXPECT_EQ(window.Last(2000), "POST 1025 7 2");
    EXPECT_EQ(Report(), kEarlier);
  }
}
