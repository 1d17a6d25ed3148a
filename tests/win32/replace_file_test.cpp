// Whole-file replacement: what the new file keeps of the old one, and the clean-up of temporary files
// left by killed writers.
#include "win32/replace_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "tests/support/temp_dir.h"
#include "win32/drives.h"

namespace {
class ReplaceFileTest : public ::testing::Test {
 protected:
  void SetUp() override { win32::Drives().Set({{"C", win32::DRIVE_FIXED, m_dir.path()}}); }
  void TearDown() override { win32::Drives().Set({}); }
  TempDir m_dir;
};
}  // namespace

TEST_F(ReplaceFileTest, TheNewFileKeepsTheModeAndOwner) {
  const std::string path = m_dir.Write("kept.txt", "old");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  ASSERT_EQ(chown(path.c_str(), 1234, 2345), 0);
  ASSERT_TRUE(win32::ReplaceFileContents("C:\\kept.txt", "new"));
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(st.st_uid, 1234u);
  EXPECT_EQ(st.st_gid, 2345u);
  EXPECT_EQ(TempDir::Read(path), "new");
  EXPECT_TRUE(LeftTempFiles(m_dir.path()).empty());
}

// Only temporary files older than a minute whose writer is gone (their lock free) are removed.
TEST_F(ReplaceFileTest, StaleTemporaryFilesOfDeadWritersAreRemoved) {
  const auto old_time = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(2);
  for (const char* name :
       {".uchiwake-1-dead.tmp", ".uchiwake-2-alive.tmp", ".uchiwake-3-young.tmp", "old.tmp"}) {
    m_dir.Write(name, "x");
    if (std::string(name).find("young") == std::string::npos)
      std::filesystem::last_write_time(m_dir.Sub(name), old_time);
  }
  const int alive = open(m_dir.Sub(".uchiwake-2-alive.tmp").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(flock(alive, LOCK_EX), 0);
  EXPECT_EQ(win32::RemoveStaleTempFiles(m_dir.path()), 1);
  close(alive);
  std::vector<std::string> left = LeftTempFiles(m_dir.path());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{".uchiwake-2-alive.tmp", ".uchiwake-3-young.tmp"}));
  EXPECT_TRUE(std::filesystem::exists(m_dir.Sub("old.tmp")));
}
