// The folders Qt and fontconfig write to while tests run: one runtime folder per user under /tmp (mode
// 0700, as Qt insists), with the configuration and cache below it, so that a test run leaves nothing in
// the user's home. Values already set in the environment are kept.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

inline void UseTestRuntimeFolders() {
  const std::string runtime = "/tmp/uwtest-runtime-" + std::to_string(getuid());
  mkdir(runtime.c_str(), 0700);
  chmod(runtime.c_str(), 0700);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 0);
  setenv("XDG_CONFIG_HOME", (runtime + "/config").c_str(), 0);
  setenv("XDG_CACHE_HOME", (runtime + "/cache").c_str(), 0);
}
