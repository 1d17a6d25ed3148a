#include "tests/support/in_process.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>

#include "host/host_db.h"
#include "win32/executable.h"

InProcessRun::InProcessRun(const TempDir& dir, const HostBuilder& host, bool progress_window) {
  char cwd[PATH_MAX];
  if (getcwd(cwd, sizeof cwd) != nullptr) cwd_ = cwd;
  dir.Write("c/bin/VornelDef.ini", "[ProgramLevel]\r\nQV13_U=2\r\n");
  win32::SetModulePathForTesting(host.drive_c() + "/bin/prog");
  host::HostDb::SetPath(host.path());
  guard.UseUi(&ui);
  if (!progress_window) quiet_ = std::fopen("/dev/null", "w");
}

InProcessRun::~InProcessRun() {
  if (quiet_ != nullptr) std::fclose(quiet_);
  win32::SetModulePathForTesting("");
  EXPECT_EQ(chdir(cwd_.c_str()), 0);
}
