// Whole-file replacement: the clean-up of temporary files left by killed writers.
#include "win32/replace_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "tests/support/temp_dir.h"

// Only temporary files older than a minute whose writer is gone (their lock free) are removed.
TEST(ReplaceFileTest, StaleTemporaryFilesOfDeadWritersAreRemoved) {
  TempDir dir;
  const auto old_time = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(2);
  for (const char* name :
       {".uchiwake-1-dead.tmp", ".uchiwake-2-alive.tmp", ".uchiwake-3-young.tmp", "old.tmp"}) {
    dir.Write(name, "x");
    if (std::string(name).find("young") == std::string::npos)
      std::filesystem::last_write_time(dir.Sub(name), old_time);
  }
  const int alive = open(dir.Sub(".uchiwake-2-alive.tmp").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(flock(alive, LOCK_EX), 0);
  EXPECT_EQ(win32::RemoveStaleTempFiles(dir.path()), 1);
  close(alive);
  std::vector<std::string> left = LeftTempFiles(dir.path());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{".uchiwake-2-alive.tmp", ".uchiwake-3-young.tmp"}));
  EXPECT_TRUE(std::filesystem::exists(dir.Sub("old.tmp")));
}
