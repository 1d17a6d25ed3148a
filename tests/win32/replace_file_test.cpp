// Whole-file replacement: the clean-up of temporary files left by killed writers.
#include "win32/replace_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

// Only temporary files of the exact form the writers make, older than a minute, whose writer is gone
// (their lock free) are removed: a user's file named like one stays.
TEST(ReplaceFileTest, StaleTemporaryFilesOfDeadWritersAreRemoved) {
  TempDir dir;
  const auto old_time = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(2);
  const std::vector<std::string> kept = {".uchiwake-2-00000000000a11fe.tmp",  // locked: its writer lives
                                         ".uchiwake-3-0000000000000000.tmp",  // young
                                         ".uchiwake-2023-年度末.tmp",
                                         ".uchiwake-notes.tmp",
                                         ".uchiwake-1-ABCDEF0123456789.tmp",
                                         ".uchiwake-01-0123456789abcdef.tmp",
                                         ".uchiwake-1-0123456789abcdef0.tmp",
                                         ".uchiwake--0123456789abcdef.tmp",
                                         ".uchiwake-1-0123456789abcdef.tmp.xml",
                                         "old.tmp"};
  for (const std::string& name : kept) dir.Write(name, "x");
  dir.Write(".uchiwake-1-0123456789abcdef.tmp", "x");
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    if (entry.path().filename().string().find("-3-") == std::string::npos)
      std::filesystem::last_write_time(entry.path(), old_time);
  const int alive = open(dir.Sub(kept[0]).c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(flock(alive, LOCK_EX), 0);
  EXPECT_EQ(win32::RemoveStaleTempFiles(dir.path()), 1);
  close(alive);
  EXPECT_FALSE(std::filesystem::exists(dir.Sub(".uchiwake-1-0123456789abcdef.tmp")));
  for (const std::string& name : kept) EXPECT_TRUE(std::filesystem::exists(dir.Sub(name))) << name;
}
