// The fault campaign: each simulated platform failure, full disks, files in the way, missing drives and
// folders, the program's own files and FIFOs as paths, a settings folder shared by two users, and what
// the run leaves behind (result code, message, files).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>

#include "tests/e2e/e2e_fixture.h"
#include "win32/replace_file.h"

namespace {
class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_.Exec(
        "INSERT INTO accounts (data_no, account_id, name) VALUES (1, 1000000, '現金'), (1, 1100000, "
        "'小口現金'),"
        "(1, 1200000, '当座預金');"
        "INSERT INTO totals (data_no, account_id, slot, debit_ex) VALUES (1, 1000000, 0, 10000),"
        "(1, 1100000, 0, 20000), (1, 1200000, 0, 30000);");
    dir_.Write("c/Settings/Halvorack.env", kSettings);
  }
  RunOutcome Run(const std::string& args, const std::string& prefix = "") {
    return RunProgramIn(dir_, BinPath("halvorack"), host_.path(), args, prefix);
  }
  std::string Settings() { return TempDir::Read(dir_.Sub("c/Settings/Halvorack.env")); }
  static constexpr const char* kSettings = "other/1/D:0/1/C:\\o.xml\nuser1/7/D0000001:0/5/C:\\keep.xml\n";
  TempDir dir_;
  HostBuilder host_{dir_};
};
}  // namespace

TEST_F(FaultTest, EachPlatformFailureEndsTheRunAsItShould) {
  struct Case {
    const char* fault;
    int status;
    bool report;
  } cases[] = {
      {"('ExpSysLink', 0, 1)", 1, false},  {"('ExpSysLink', 0, 9)", 2, false},
      {"('NewRule', 0, 1)", 2, false},     {"('GetSumCount', 0, 3)", 2, false},
      {"('WalkFind', 1, 9003)", 2, false},  // an account master that cannot be read drops no account unseen
      {"('SetMovePos', 0, 4)", 2, false},  {"('MoveNext', 0, 6)", 2, false},
      {"('MoveNext', 2, 6)", 2, false},    {"('NewPeriod', 0, 1)", 0, true},
      {"('ShohizeiGet', 0, 1)", 0, true},
  };
  for (const auto& c : cases) {
    host_.Exec(std::string("DELETE FROM faults; INSERT INTO faults VALUES ") + c.fault + ";");
    std::filesystem::remove(dir_.Sub("c/r.xml"));
    dir_.Write("c/Settings/Halvorack.env", kSettings);
    StarterListener window;
    RunOutcome run = Run("--batch --month-to 3 --output 'C:\\r.xml' " + window.Handshake("1025,7,"));
    EXPECT_EQ(run.status, c.status) << c.fault << "\n" << run.err;
    EXPECT_EQ(std::filesystem::exists(dir_.Sub("c/r.xml")), c.report) << c.fault;
    EXPECT_EQ(window.Last(2000), "POST 1025 7 " + std::to_string(c.status)) << c.fault;
    if (c.status == 2 && std::string(c.fault).find("ExpSysLink") == std::string::npos) {
      EXPECT_NE(run.err.find("XMLファイルの出力に失敗しました。"), std::string::npos) << c.fault;
    }
    if (c.status != 0) {
      EXPECT_EQ(Settings(), kSettings) << c.fault;
    }
  }
}

TEST_F(FaultTest, AFullDiskWhileRewritingTheSettingsKeepsTheOldFileWhole) {
  std::string big(60 * 1024, 'x');
  big += "\n";
  dir_.Write("c/Settings/Halvorack.env", big + kSettings);
  // 40 KiB: the report fits, the rewritten settings file does not.
  RunOutcome run = Run("--batch --month-to 3 --output 'C:\\r.xml'", "ulimit -f 40; ");
  EXPECT_EQ(run.status, 0) << run.err;  // a settings failure after a written report is not reported
  EXPECT_EQ(Settings(), big + kSettings);
  EXPECT_TRUE(std::filesystem::exists(dir_.Sub("c/r.xml")));
  for (const auto& entry : std::filesystem::directory_iterator(dir_.Sub("c/Settings"))) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "Halvorack.env" || name == "Halvorack.env.lock")
        << "a temporary file was left: " << name;
  }
}

TEST_F(FaultTest, AFileWhereTheSettingsFolderShouldBe) {
  std::filesystem::remove_all(dir_.Sub("c/Settings"));
  dir_.Write("c/Settings", "not a folder");
  RunOutcome run = Run("--batch --month-to 3 --output 'C:\\r.xml'");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(TempDir::Read(dir_.Sub("c/Settings")), "not a folder");
}

TEST_F(FaultTest, ASettingsFolderOnADriveThatDoesNotExist) {
  host_.Exec("UPDATE session SET settings_folder = 'Q:\\Settings';");
  RunOutcome run = Run("--batch --month-to 3 --output 'C:\\r.xml'");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(std::filesystem::exists(dir_.Sub("c/r.xml")));
}

TEST_F(FaultTest, AKilledRunLeavesAWholeSettingsFile) {
  // Killed at a random moment many times: the settings file is always one of the two whole versions.
  for (int i = 0; i < 20; ++i) {
    const std::string delay = std::to_string(0.005 * i);
    Run("--batch --month-to " + std::to_string(i % 12 + 1) + " --output 'C:\\r.xml'",
        "timeout -s KILL " + delay + " ");
    const std::string now = Settings();
    EXPECT_TRUE(now == kSettings || now.rfind("other/1/D:0/1/C:\\o.xml\nuser1/7/D0000001:0/", 0) == 0) << now;
    EXPECT_EQ(now.back(), '\n');
    dir_.Write("c/Settings/Halvorack.env", kSettings);
  }
}

TEST_F(FaultTest, AFullDiskOrASizeLimitKeepsTheEarlierReport) {
  SmallDisk disk(dir_, "c/small", 64 * 1024);
  ASSERT_TRUE(disk.ok()) << disk.why();
  // A report of some 30 KB: more than the limit, which the messages on standard error stay within.
  host_.Exec(
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 150) "
      "INSERT INTO accounts (data_no, account_id, name) SELECT 1, (3000 + i) * 10000, '科目' || i FROM n;"
      "INSERT INTO totals (data_no, account_id, slot, debit_ex) SELECT 1, account_id, 0, 10000 FROM accounts "
      "WHERE account_id >= 30000000;");
  const std::string earlier = "<REPORT>the earlier report</REPORT>";
  struct Case {
    const char* path;
    const char* prefix;
  } cases[] = {{"C:\\small\\r.xml", ""}, {"C:\\r.xml", "ulimit -f 16; "}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const std::string file = c.prefix[0] == '\0' ? "c/small/r.xml" : "c/r.xml";
    dir_.Write(file, earlier);
    // The rest of the small disk is taken: the new report finds no room at all.
    dir_.Write("c/small/filler", std::string(60 * 1024, 'f'));
    StarterListener window;
    RunOutcome run = Run(
        "--batch --month-to 3 --yes --output '" + std::string(c.path) + "' " + window.Handshake("1025,7,"),
        c.prefix);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find("XMLファイルの出力に失敗しました。"), std::string::npos);
    EXPECT_EQ(window.Last(2000), "POST 1025 7 2");
    EXPECT_EQ(TempDir::Read(dir_.Sub(file)), earlier);
    EXPECT_TRUE(LeftTempFiles(dir_.Sub("c")).empty());
    EXPECT_TRUE(LeftTempFiles(disk.path()).empty());
    EXPECT_EQ(Settings(), kSettings);
  }
}

// The program's own files by what they are, not how they are spelled: the host database and the files
// SQLite keeps beside it, the settings files and locks of every edition (made or not yet, in a settings
// folder made or not yet), SUPPORT.INF, VornelDef.ini (present as vorneldef.ini) and every edition's
// executable; in another case, with trailing dots or blanks, through another drive or a link; and a
// temporary file's name, which a later run's clean-up would remove. The dialog refuses them, a dictated
// path fails the run, and nothing is written.
TEST_F(FaultTest, TheProgramsOwnFilesAreNeverReplacedByAReport) {
  const std::string program = CopyProgramFolder(dir_, "c/prog");
  std::filesystem::rename(dir_.Sub("c/prog/VornelDef.ini"), dir_.Sub("c/prog/vorneldef.ini"));
  std::filesystem::copy(BinPath("dremmick"), dir_.Sub("c/prog/dremmick"));
  dir_.Write("c/Settings/Dremmick.env", "other/D:0/1/C:\\d.xml\n");
  host_.Exec("INSERT INTO drives VALUES ('H', 3, '.');");  // the host database's folder
  ASSERT_EQ(symlink(host_.path().c_str(), dir_.Sub("c/link.xml").c_str()), 0);
  ASSERT_EQ(symlink(dir_.Sub("c/Settings/Fennowal.env").c_str(), dir_.Sub("c/dangling.xml").c_str()), 0);
  struct Case {
    const char* path;
    const char* settings_folder;
  } cases[] = {
      {"H:\\host.sqlite", "C:\\Settings"},
      {"H:\\HOST.SQLITE-wal", "C:\\Settings"},
      {"H:\\host.sqlite-shm", "C:\\Settings"},
      {"H:\\host.sqlite-journal.", "C:\\Settings"},
      {"C:\\link.xml", "C:\\Settings"},
      {"C:\\Settings\\Halvorack.env", "C:\\Settings"},
      {"C:\\SETTINGS\\halvorack.env.lock", "C:\\Settings"},
      {"C:\\Settings\\dremmick.ENV", "C:\\Settings"},
      {"C:\\Settings\\Fennowal.env", "C:\\Settings"},
      {"C:\\Settings\\Fennowal.env.lock ", "C:\\Settings"},
      {"C:\\dangling.xml", "C:\\Settings"},
      {"C:\\later\\HALVORACK.ENV", "C:\\Later"},  // a first run: the settings folder is not there yet
      {"C:\\prog\\SUPPORT.INF", "C:\\Settings"},
      {"C:\\prog\\VornelDef.ini", "C:\\Settings"},
      {"C:\\prog\\halvorack", "C:\\Settings"},
      {"C:\\prog\\Dremmick", "C:\\Settings"},
      {"C:\\prog\\fennowal", "C:\\Settings"},
      {"C:\\.uchiwake-123-0123456789abcdef.tmp", "C:\\Settings"},
  };
  // Every file and link under the folder with its bytes: nothing may be made or changed.
  auto snapshot = [&] {
    std::map<std::string, std::string> all;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_.path())) {
      const std::string path = entry.path().string();
      if (entry.is_symlink())
        all[path] = "-> " + std::filesystem::read_symlink(entry.path()).string();
      else if (!entry.is_directory() && entry.path().filename() != "stderr.txt")
        all[path] = TempDir::Read(path);
    }
    return all;
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    host_.Exec(std::string("UPDATE session SET settings_folder = '") + c.settings_folder + "';");
    std::filesystem::remove_all(dir_.Sub("c/later"));
    const auto before = snapshot();
    StarterListener window;
    RunOutcome dictated = RunProgramIn(
        dir_, program, host_.path(),
        "--batch --month-to 3 --yes '" + window.Handshake("1025,7," + std::string(c.path)) + "'");
    EXPECT_EQ(dictated.status, 2) << dictated.err;
    EXPECT_NE(dictated.err.find("XMLファイルの出力に失敗しました。"), std::string::npos) << dictated.err;
    EXPECT_EQ(window.Last(2000), "POST 1025 7 2");
    RunOutcome asked = RunProgramIn(dir_, program, host_.path(),
                                    "--batch --month-to 3 --yes --output '" + std::string(c.path) + "'");
    EXPECT_EQ(asked.status, 1) << asked.err;
    EXPECT_NE(asked.err.find("指定されたファイルには出力できません。"), std::string::npos) << asked.err;
    EXPECT_TRUE(snapshot() == before);  // (not EXPECT_EQ: it would print the executables)
  }
}

// A FIFO at the report path, the settings file, SUPPORT.INF or VornelDef.ini is never opened: the run
// neither hangs nor writes through it.
TEST_F(FaultTest, AFifoAtAnyPathNeitherHangsNorIsWrittenThrough) {
  const std::string program = CopyProgramFolder(dir_, "c/prog");
  const std::string guard = "timeout -s KILL 30 ";
  auto fifo = [&](const std::string& relative) {
    std::filesystem::remove(dir_.Sub(relative));
    ASSERT_EQ(mkfifo(dir_.Sub(relative).c_str(), 0666), 0);
  };
  fifo("c/r.xml");
  RunOutcome asked =
      RunProgramIn(dir_, program, host_.path(), "--batch --month-to 3 --yes --output 'C:\\r.xml'", guard);
  EXPECT_EQ(asked.status, 1) << asked.err;
  EXPECT_NE(asked.err.find("指定されたファイルには出力できません。"), std::string::npos) << asked.err;
  StarterListener window;
  RunOutcome dictated =
      RunProgramIn(dir_, program, host_.path(),
                   "--batch --month-to 3 '" + window.Handshake("1025,7,C:\\r.xml") + "'", guard);
  EXPECT_EQ(dictated.status, 2) << dictated.err;
  EXPECT_EQ(window.Last(2000), "POST 1025 7 2");
  EXPECT_TRUE(std::filesystem::is_fifo(dir_.Sub("c/r.xml")));
  EXPECT_EQ(Settings(), kSettings);

  // The settings file reads as no record and is not saved; the report is written all the same.
  fifo("c/Settings/Halvorack.env");
  RunOutcome settings =
      RunProgramIn(dir_, program, host_.path(), "--batch --month-to 3 --output 'C:\\s.xml'", guard);
  EXPECT_EQ(settings.status, 0) << settings.err;
  EXPECT_NE(settings.err.find("halvorack: the choices of this run were not saved: the settings file"),
            std::string::npos)
      << settings.err;
  EXPECT_TRUE(std::filesystem::is_fifo(dir_.Sub("c/Settings/Halvorack.env")));
  EXPECT_TRUE(std::filesystem::exists(dir_.Sub("c/s.xml")));

  // SUPPORT.INF is unreadable: the report carries the edition's default product name.
  fifo("c/prog/SUPPORT.INF");
  RunOutcome support =
      RunProgramIn(dir_, program, host_.path(), "--batch --month-to 3 --output 'C:\\p.xml'", guard);
  EXPECT_EQ(support.status, 0) << support.err;
  EXPECT_NE(TempDir::Read(dir_.Sub("c/p.xml")).find("<PROGRAMVER>22.03.0X</PROGRAMVER>"), std::string::npos);

  // VornelDef.ini is unreadable: the level defaults to 1, too old.
  fifo("c/prog/VornelDef.ini");
  RunOutcome env =
      RunProgramIn(dir_, program, host_.path(), "--batch --month-to 3 --output 'C:\\e.xml'", guard);
  EXPECT_EQ(env.status, 2) << env.err;
  EXPECT_NE(env.err.find("最新版を入手してインストールしてから"), std::string::npos) << env.err;
}

// A user without root writes the report where only the file is writable, and through links. A folder
// closed to new files gets its existing file written in place (a new one cannot be made there); a
// symbolic link (dangling, relative, into the closed folder) stays, and the file it leads to gets the
// report; a hard link's name gets a new file, the file's other name keeps the old bytes (in the closed
// folder, written in place, both names show the report). Any entry at the path, a link included, is
// asked about first.
TEST_F(FaultTest, AReportIsWrittenThroughLinksAndInPlaceInAFolderClosedToNewFiles) {
  const std::string program = CopyProgramFolder(dir_, "c/prog");
  const std::string earlier = "<REPORT>the earlier report</REPORT>";
  ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
  ASSERT_EQ(chmod(dir_.Sub("c").c_str(), 0777), 0);
  std::filesystem::create_directories(dir_.Sub("c/closed"));
  std::filesystem::create_directories(dir_.Sub("c/open"));
  ASSERT_EQ(chmod(dir_.Sub("c/open").c_str(), 0777), 0);
  for (const char* file : {"c/closed/r.xml", "c/open/r.xml", "c/other.xml"}) {
    dir_.Write(file, earlier);
    ASSERT_EQ(chown(dir_.Sub(file).c_str(), 1001, 1001), 0);
  }
  ASSERT_EQ(symlink(dir_.Sub("c/open/r.xml").c_str(), dir_.Sub("c/link.xml").c_str()), 0);
  ASSERT_EQ(symlink("closed/r.xml", dir_.Sub("c/rel.xml").c_str()), 0);
  ASSERT_EQ(symlink(dir_.Sub("c/open/gone.xml").c_str(), dir_.Sub("c/dangling.xml").c_str()), 0);
  ASSERT_EQ(link(dir_.Sub("c/other.xml").c_str(), dir_.Sub("c/hard.xml").c_str()), 0);
  ASSERT_EQ(link(dir_.Sub("c/closed/r.xml").c_str(), dir_.Sub("c/closed/hard.xml").c_str()), 0);
  std::filesystem::create_directories(dir_.Sub("home"));
  ASSERT_EQ(chmod(dir_.Sub("home").c_str(), 0777), 0);
  const std::string as = "HOME=" + dir_.Sub("home") + " setpriv --reuid=1001 --regid=1001 --clear-groups ";
  struct Case {
    const char* path;
    int status;
    const char* written;  // the file that holds the report after the run
    const char* kept;     // a file that keeps the earlier bytes
  } cases[] = {
      {"C:\\closed\\r.xml", 0, "c/closed/r.xml", nullptr},
      {"C:\\closed\\new.xml", 2, nullptr, "c/closed/r.xml"},
      {"C:\\link.xml", 0, "c/open/r.xml", nullptr},
      {"C:\\rel.xml", 0, "c/closed/r.xml", nullptr},
      {"C:\\dangling.xml", 0, "c/open/gone.xml", nullptr},
      {"C:\\hard.xml", 0, "c/hard.xml", "c/other.xml"},
      {"C:\\closed\\hard.xml", 0, "c/closed/r.xml", nullptr},  // written in place: every name sees it
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    for (const char* file : {"c/closed/r.xml", "c/open/r.xml", "c/other.xml"}) dir_.Write(file, earlier);
    const std::string output = " --output '" + std::string(c.path) + "'";
    if (std::string(c.path).find("new") == std::string::npos) {
      RunOutcome no = RunProgramIn(dir_, program, host_.path(), "--batch --month-to 3" + output, as);
      EXPECT_EQ(no.status, 1) << no.err;
      EXPECT_NE(no.err.find("同名のファイルが存在します。"), std::string::npos) << no.err;
    }
    RunOutcome run = RunProgramIn(dir_, program, host_.path(), "--batch --month-to 3 --yes" + output, as);
    EXPECT_EQ(run.status, c.status) << run.err;
    if (c.written != nullptr) {
      EXPECT_NE(TempDir::Read(dir_.Sub(c.written)).find("</REPORT>"), std::string::npos);
      EXPECT_EQ(TempDir::Read(dir_.Sub(c.written)).find("earlier"), std::string::npos);
    }
    if (c.kept != nullptr) {
      EXPECT_EQ(TempDir::Read(dir_.Sub(c.kept)), earlier);
    }
    for (const char* link : {"c/link.xml", "c/rel.xml", "c/dangling.xml"})
      EXPECT_TRUE(std::filesystem::is_symlink(dir_.Sub(link))) << link;
    for (const char* folder : {"c", "c/open", "c/closed"})
      EXPECT_TRUE(LeftTempFiles(dir_.Sub(folder)).empty());
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.Sub("c/closed/new.xml")));
}

// The temporary file stays locked until it is in the report's place: a clean-up by another run in the
// same folder, with the file aged past a minute, leaves it alone while the writer stands at the rename.
TEST_F(FaultTest, AnotherRunsCleanUpLeavesATemporaryFileBeforeItsRename) {
  ChildRun run(dir_, BinPath("halvorack"), host_.path(),
               {"--batch", "--month-to", "3", "--output", "C:\\r.xml"}, "replace-rename");
  ASSERT_TRUE(run.WaitStopped()) << run.Err();
  const std::vector<std::string> temp = LeftTempFiles(dir_.Sub("c"));
  ASSERT_EQ(temp.size(), 1u);
  std::filesystem::last_write_time(dir_.Sub("c/" + temp[0]),
                                   std::filesystem::file_time_type::clock::now() - std::chrono::minutes(2));
  EXPECT_EQ(win32::RemoveStaleTempFiles(dir_.Sub("c")), 0);
  run.Continue();
  EXPECT_EQ(run.Wait(), 0) << run.Err();
  EXPECT_NE(TempDir::Read(dir_.Sub("c/r.xml")).find("</REPORT>"), std::string::npos);
}

// Two users share the settings folder: the settings file is writable by both, and both keep their
// records. The lock file takes the settings file's bits whatever the umask of its maker.
TEST_F(FaultTest, TwoUsersSharingTheSettingsFolderBothKeepTheirRecords) {
  const std::string program = CopyProgramFolder(dir_, "c/prog");
  ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
  ASSERT_EQ(chmod(dir_.Sub("c").c_str(), 0777), 0);
  ASSERT_EQ(chmod(dir_.Sub("c/Settings").c_str(), 0777), 0);
  ASSERT_EQ(chmod(dir_.Sub("c/Settings/Halvorack.env").c_str(), 0666), 0);
  ASSERT_EQ(chown(dir_.Sub("c/Settings/Halvorack.env").c_str(), 1001, 1001), 0);
  std::filesystem::create_directories(dir_.Sub("home"));
  ASSERT_EQ(chmod(dir_.Sub("home").c_str(), 0777), 0);
  for (const int uid : {1001, 1002}) {
    host_.Exec("UPDATE session SET user_id = 'user" + std::to_string(uid) + "';");
    const std::string as = "umask 022; HOME=" + dir_.Sub("home") + " setpriv --reuid=" + std::to_string(uid) +
                           " --regid=" + std::to_string(uid) + " --clear-groups ";
    RunOutcome run = RunProgramIn(dir_, program, host_.path(),
                                  "--batch --month-to 3 --output 'C:\\u" + std::to_string(uid) + ".xml'", as);
    EXPECT_EQ(run.status, 0) << uid << ": " << run.err;
    EXPECT_EQ(run.err.find("not saved"), std::string::npos) << run.err;
  }
  const std::string settings = Settings();
  EXPECT_NE(settings.find("other/1/D:0/1/C:\\o.xml\n"), std::string::npos) << settings;
  EXPECT_NE(settings.find("user1001/7/D0000001:0/3/C:\\u1001.xml\n"), std::string::npos) << settings;
  EXPECT_NE(settings.find("user1002/7/D0000001:0/3/C:\\u1002.xml\n"), std::string::npos) << settings;
  struct stat lock {};
  ASSERT_EQ(stat(dir_.Sub("c/Settings/Halvorack.env.lock").c_str(), &lock), 0);
  EXPECT_EQ(lock.st_mode & 0777, 0666u);
  EXPECT_TRUE(LeftTempFiles(dir_.Sub("c/Settings")).empty());
}
