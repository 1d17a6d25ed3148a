// The settings file over real files in a temporary folder mapped as drive C:.
#include "conditions/settings_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "host/host_db.h"
#include "tests/support/host_fixture.h"
#include "win32/drives.h"
#include "win32/replace_file.h"

namespace {
const res::StEdition& Ed(res::EditionId id) { return res::Edition(id); }

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override { OpenHost(host_); }
  void TearDown() override {
    win32::SetReplaceHookForTesting(nullptr);
    host::HostDb::Inst().Close();
    win32::Drives().Set({});
  }
  void Reopen(const std::string& sql) {
    host::HostDb::Inst().Close();
    host_.Exec(sql);
    OpenHost(host_);
  }
  std::string File(const char* name = "Halvorack.env") {
    return TempDir::Read(dir_.Sub(std::string("c/Settings/") + name));
  }
  ClSettingsFile Halvorack(const std::string& user = "user1", const std::string& data_id = "D0000001") {
    return ClSettingsFile(Ed(res::EditionId::kHalvorack), user, 7, data_id);
  }
  struct Record {
    bool found;
    std::int16_t tax = -1;
    std::int16_t month = -1;
    std::string path;
  };
  static Record Read(const ClSettingsFile& s) {
    Record r{};
    char path[261];
    std::memset(path, 'X', sizeof path);
    r.found = s.ReadLastOutput(&r.tax, &r.month, path);
    if (r.found) r.path = path;
    return r;
  }
  TempDir dir_;
  HostBuilder host_{dir_};
};
}  // namespace

TEST_F(SettingsFileTest, FirstRunCreatesTheFolderChainAndOneLine) {
  Reopen("UPDATE session SET settings_folder = 'C:\\a\\b\\Settings';");
  EXPECT_FALSE(Read(Halvorack()).found);
  EXPECT_FALSE(std::filesystem::exists(dir_.Sub("c/a")));  // reading never creates anything
  ASSERT_TRUE(Halvorack().WriteLastOutput(1, 12, "C:\\out\\r.xml", ""));
  EXPECT_EQ(TempDir::Read(dir_.Sub("c/a/b/Settings/Halvorack.env")),
            "user1/7/D0000001:1/12/C:\\out\\r.xml\n");
  const Record r = Read(Halvorack());
  ASSERT_TRUE(r.found);
  EXPECT_EQ(r.tax, 1);
  EXPECT_EQ(r.month, 12);
  EXPECT_EQ(r.path, "C:\\out\\r.xml");
}

TEST_F(SettingsFileTest, RecordsMoveToTheEndAndOthersStay) {
  ASSERT_TRUE(Halvorack().WriteLastOutput(0, 3, "C:\\a.xml", ""));
  ASSERT_TRUE(Halvorack("user1", "D2").WriteLastOutput(1, 4, "C:\\b.xml", ""));
  EXPECT_EQ(File(), "user1/7/D0000001:0/3/C:\\a.xml\nuser1/7/D2:1/4/C:\\b.xml\n");
  ASSERT_TRUE(Halvorack().WriteLastOutput(1, 5, "C:\\c.xml", ""));
  EXPECT_EQ(File(), "user1/7/D2:1/4/C:\\b.xml\nuser1/7/D0000001:1/5/C:\\c.xml\n");
}

TEST_F(SettingsFileTest, AWriteWithoutPathKeepsThePathReadBefore) {
  ASSERT_TRUE(Halvorack().WriteLastOutput(0, 3, "C:\\first.xml", ""));
  const Record before = Read(Halvorack());
  ASSERT_TRUE(Halvorack().WriteLastOutput(1, 9, nullptr, before.path));
  const Record after = Read(Halvorack());
  EXPECT_EQ(after.path, "C:\\first.xml");
  EXPECT_EQ(after.tax, 1);
  EXPECT_EQ(after.month, 9);
}

TEST_F(SettingsFileTest, AnEmptyPathEndsWithTheSecondSlash) {
  ASSERT_TRUE(Halvorack().WriteLastOutput(0, 12, "", ""));
  EXPECT_EQ(File(), "user1/7/D0000001:0/12/\n");
  const Record r = Read(Halvorack());
  ASSERT_TRUE(r.found);
  EXPECT_EQ(r.path, "");
}

TEST_F(SettingsFileTest, EditionsUseTheirOwnFilesAndKeys) {
  ClSettingsFile dremmick(Ed(res::EditionId::kDremmick), "user1", 7, "D0000001");
  ClSettingsFile fennowal(Ed(res::EditionId::kFennowal), "user1", 7, "D0000001");
  ASSERT_TRUE(Halvorack().WriteLastOutput(1, 1, "h", ""));
  ASSERT_TRUE(dremmick.WriteLastOutput(0, 2, "d", ""));
  ASSERT_TRUE(fennowal.WriteLastOutput(0, 3, "f", ""));
  EXPECT_EQ(File("Halvorack.env"), "user1/7/D0000001:1/1/h\n");
  EXPECT_EQ(File("Dremmick.env"), "user1/D0000001:0/2/d\n");
  EXPECT_EQ(File("Fennowal.env"), "user1/D0000001:0/3/f\n");
}

TEST_F(SettingsFileTest, NoFolderOrAnUncreatableOneAnswersFalseAndChangesNothing) {
  Reopen("UPDATE session SET settings_folder = '';");
  EXPECT_FALSE(Halvorack().WriteLastOutput(1, 1, "x", ""));
  Reopen("UPDATE session SET settings_folder = 'C:\\blocked\\Settings';");
  dir_.Write("c/blocked", "a file where the folder should be");
  EXPECT_FALSE(Halvorack().WriteLastOutput(1, 1, "x", ""));
  EXPECT_EQ(TempDir::Read(dir_.Sub("c/blocked")), "a file where the folder should be");
  Reopen("UPDATE session SET settings_folder = 'Q:\\Settings';");  // a drive that does not exist
  EXPECT_FALSE(Halvorack().WriteLastOutput(1, 1, "x", ""));
}

TEST_F(SettingsFileTest, AFolderWhereTheFileShouldBeIsLeftAlone) {
  std::filesystem::create_directories(dir_.Sub("c/Settings/Halvorack.env"));
  EXPECT_FALSE(Halvorack().WriteLastOutput(1, 1, "x", ""));
  EXPECT_TRUE(std::filesystem::is_directory(dir_.Sub("c/Settings/Halvorack.env")));
}

TEST_F(SettingsFileTest, AKeyInsideAnotherLineIsNotMatchedAndThatLineStays) {
  // "xuser1/7/D0000001:" holds the key of user1 inside it.
  dir_.Write("c/Settings/Halvorack.env", "xuser1/7/D0000001:1/6/C:\\other.xml\n");
  EXPECT_FALSE(Read(Halvorack()).found);
  ASSERT_TRUE(Halvorack().WriteLastOutput(0, 2, "C:\\mine.xml", ""));
  EXPECT_EQ(File(), "xuser1/7/D0000001:1/6/C:\\other.xml\nuser1/7/D0000001:0/2/C:\\mine.xml\n");
}

TEST_F(SettingsFileTest, LongKeysAreNeverCut) {
  const std::string long_user(64, 'u');
  ClSettingsFile a = Halvorack(long_user, "DATAID-000000001");
  ClSettingsFile b = Halvorack(long_user, "DATAID-000000002");  // same first 50 bytes of key
  ASSERT_TRUE(a.WriteLastOutput(1, 1, "a", ""));
  ASSERT_TRUE(b.WriteLastOutput(0, 2, "b", ""));
  EXPECT_EQ(Read(a).path, "a");
  EXPECT_EQ(Read(b).path, "b");
}

TEST_F(SettingsFileTest, LinesNeverWrittenByTheProgramAreReadSafelyAndKept) {
  const std::string odd = std::string("bin\x01\xff/x\n") + std::string(10240, 'L') + "\n";
  dir_.Write("c/Settings/Halvorack.env", odd + "user1/7/D0000001:1/2");  // one slash, no line feed
  EXPECT_FALSE(Read(Halvorack()).found);
  ASSERT_TRUE(Halvorack().WriteLastOutput(1, 3, "p", ""));
  EXPECT_EQ(File(), odd + "user1/7/D0000001:1/3/p\n");
  dir_.Write("c/Settings/Halvorack.env", "user1/7/D0000001:1/4/" + std::string(300, 'p'));
  EXPECT_FALSE(Read(Halvorack()).found);  // a path longer than the path buffer
  dir_.Write("c/Settings/Halvorack.env", "user1/7/D0000001:1/4/x/y.xml");
  const Record r = Read(Halvorack());
  ASSERT_TRUE(r.found);
  EXPECT_EQ(r.month, 4);  // the month is the leading digits between the first and the last slash: "4/x"
  EXPECT_EQ(r.path, "y.xml");
}

TEST_F(SettingsFileTest, ACrBeforeTheLineFeedIsNoPartOfTheValue) {
  const struct {
    std::string line;
    bool found;
    std::string path = "C:\\out.xml";
  } cases[] = {
      {"user1/7/D0000001:1/5/C:\\out.xml\r\n", true},
      {"user1/7/D0000001:1/5/C:\\out.xml\n", true},
      // 0x7F is a character of a Windows name: the dialog takes it, so it is read back.
      {"user1/7/D0000001:1/5/C:\\out\x7F.xml\n", true, "C:\\out\x7F.xml"},
      // Any other control character: a record this program never wrote.
      {"user1/7/D0000001:1/5/C:\\out.xml\r\r\n", false},
      {"user1/7/D0000001:1/5/C:\\out.xml\r", false},
      {"user1/7/D0000001:1/5/C:\\o\tut.xml\n", false},
      {std::string("user1/7/D0000001:1/5/C:\\o\0ut.xml\n", 34), false},
  };
  for (const auto& c : cases) {
    dir_.Write("c/Settings/Halvorack.env", "other/1/D:0/1/x\r\n" + c.line);
    const Record r = Read(Halvorack());
    EXPECT_EQ(r.found, c.found) << c.line;
    if (c.found) {
      EXPECT_EQ(r.path, c.path);
      EXPECT_EQ(r.month, 5);
    }
  }
  // The rewrite takes the old record out whole and keeps the other lines byte for byte.
  dir_.Write("c/Settings/Halvorack.env", "other/1/D:0/1/x\r\nuser1/7/D0000001:1/5/C:\\out.xml\r\n");
  ASSERT_TRUE(Halvorack().WriteLastOutput(0, 3, "p", ""));
  EXPECT_EQ(File(), "other/1/D:0/1/x\r\nuser1/7/D0000001:0/3/p\n");
}

TEST_F(SettingsFileTest, AFileNamedInAnotherCaseIsTheSettingsFile) {
  std::filesystem::create_directories(dir_.Sub("c/settings"));
  dir_.Write("c/settings/halvorack.ENV", "user1/7/D0000001:1/5/C:\\out.xml\n");
  EXPECT_EQ(Read(Halvorack()).path, "C:\\out.xml");
  ASSERT_TRUE(Halvorack().WriteLastOutput(0, 3, "p", ""));
  EXPECT_EQ(TempDir::Read(dir_.Sub("c/settings/halvorack.ENV")), "user1/7/D0000001:0/3/p\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Sub("c")), {}), 1);
  EXPECT_FALSE(std::filesystem::exists(dir_.Sub("c/settings/Halvorack.env")));
}

// The file goes through in pieces of 64 KiB: a key cut by a piece's end, and a value cut from its key,
// are read and taken out as whole lines.
TEST_F(SettingsFileTest, LargeFilesAreReadAndRewrittenWhole) {
  auto pad = [](std::size_t bytes) {
    std::string line(bytes, 'x');
    line.back() = '\n';
    return line;
  };
  const std::string first = pad(65536 - 5), second = pad(131072 - 17 - (65536 - 5 + 25));
  dir_.Write("c/Settings/Halvorack.env", first + "user1/7/D0000001:0/1/old\n" + second +
                                             "user1/7/D0000001:0/9/dup\n" + "tail/1/D:0/1/t\n");
  EXPECT_EQ(Read(Halvorack()).path, "old");
  ASSERT_TRUE(Halvorack().WriteLastOutput(1, 2, "new", ""));
  EXPECT_EQ(File(), first + second + "tail/1/D:0/1/t\nuser1/7/D0000001:1/2/new\n");
}

// A file of any size goes through in bounded memory: the peak resident size of a process that reads and
// rewrites a 64 MiB file grows by far less than the file.
TEST_F(SettingsFileTest, AFileOfAnySizeIsReadAndRewrittenInBoundedMemory) {
  {
    std::ofstream out(dir_.Write("c/Settings/Halvorack.env", ""), std::ios::binary);
    std::string chunk;
    for (int i = 0; chunk.size() < (1 << 20); ++i)
      chunk += "other" + std::to_string(i) + "/1/D:0/1/C:\\x.xml\n";
    for (int i = 0; i < 64; ++i) out << chunk;
    out << "user1/7/D0000001:0/1/old\n";
  }
  const auto size = std::filesystem::file_size(dir_.Sub("c/Settings/Halvorack.env"));
  auto kilobytes = [](const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
      if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
    return -1L;
  };
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from the resident size now
    const long start = kilobytes("VmHWM:");
    const bool ok = Read(Halvorack()).path == "old" && Halvorack().WriteLastOutput(1, 2, "new", "");
    const long grown = kilobytes("VmHWM:") - start;
    if (grown >= 16 * 1024) std::fprintf(stderr, "the peak resident size grew by %ld KiB\n", grown);
    _exit(ok && start > 0 && grown < 16 * 1024 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  // The old record gave way to the new one, of the same length, at the end.
  EXPECT_EQ(std::filesystem::file_size(dir_.Sub("c/Settings/Halvorack.env")), size);
  std::ifstream in(dir_.Sub("c/Settings/Halvorack.env"), std::ios::binary);
  in.seekg(-25, std::ios::end);
  std::string last(25, '\0');
  in.read(last.data(), 25);
  EXPECT_EQ(last, "user1/7/D0000001:1/2/new\n");
}

TEST_F(SettingsFileTest, TheFileKeepsItsModeAndOwner) {
  dir_.Write("c/Settings/Halvorack.env", "a/1/b:0/1/c\n");
  ASSERT_EQ(chmod(dir_.Sub("c/Settings/Halvorack.env").c_str(), 0640), 0);
  ASSERT_EQ(chown(dir_.Sub("c/Settings/Halvorack.env").c_str(), 1234, 2345), 0);
  ASSERT_TRUE(Halvorack().WriteLastOutput(1, 2, "new", ""));
  struct stat st {};
  ASSERT_EQ(stat(dir_.Sub("c/Settings/Halvorack.env").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(st.st_uid, 1234u);
  EXPECT_EQ(st.st_gid, 2345u);
}

TEST_F(SettingsFileTest, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kRounds = 40;
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      ClSettingsFile mine = Halvorack("user" + std::to_string(c + 10));
      bool ok = true;
      for (int i = 0; i < kRounds; ++i)
        ok = mine.WriteLastOutput(0, static_cast<std::int16_t>(i % 12 + 1), "p", "") && ok;
      _exit(ok ? 0 : 1);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const std::string content = File();
  EXPECT_NE(content.find("user10/7/D0000001:0/"), std::string::npos) << content;
  EXPECT_NE(content.find("user11/7/D0000001:0/"), std::string::npos) << content;
  EXPECT_EQ(std::count(content.begin(), content.end(), '\n'), 2);
}

TEST_F(SettingsFileTest, AWriterKilledMidRewriteLeavesAWholeFile) {
  const std::string before = "a/1/b:0/1/c\nuser1/7/D0000001:0/1/old\n";
  for (const char* step : {"rename", "fsync-folder"}) {
    dir_.Write("c/Settings/Halvorack.env", before);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      win32::SetReplaceHookForTesting([step](const char* now) {
        if (std::strcmp(now, step) == 0) raise(SIGKILL);
        return 0;
      });
      Halvorack().WriteLastOutput(1, 2, "new", "");
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    const std::string after = File();
    if (std::strcmp(step, "rename") == 0)
      EXPECT_EQ(after, before);
    else
      EXPECT_EQ(after, "a/1/b:0/1/c\nuser1/7/D0000001:1/2/new\n");
  }
}

// The lock file takes the settings file's permission bits, whatever the umask; a link planted at it is
// never followed (its target is not made) and fails the write with the file unchanged.
TEST_F(SettingsFileTest, TheLockFileIsMadeSafely) {
  dir_.Write("c/Settings/Halvorack.env", "a/1/b:0/1/c\n");
  ASSERT_EQ(chmod(dir_.Sub("c/Settings/Halvorack.env").c_str(), 0664), 0);
  ASSERT_TRUE(Halvorack().WriteLastOutput(1, 2, "new", ""));
  struct stat st {};
  ASSERT_EQ(stat(dir_.Sub("c/Settings/Halvorack.env.lock").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0664u);

  const std::string before = File();
  std::filesystem::remove(dir_.Sub("c/Settings/Halvorack.env.lock"));
  ASSERT_EQ(symlink(dir_.Sub("c/planted").c_str(), dir_.Sub("c/Settings/Halvorack.env.lock").c_str()), 0);
  std::string why;
  EXPECT_FALSE(Halvorack().WriteLastOutput(0, 3, "other", "", &why));
  EXPECT_NE(why.find("Halvorack.env.lock cannot be used"), std::string::npos) << why;
  EXPECT_FALSE(std::filesystem::exists(dir_.Sub("c/planted")));
  EXPECT_EQ(File(), before);
}
