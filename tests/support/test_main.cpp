// The main of the test binaries: a quiet, headless environment for Qt, a QApplication, then GoogleTest.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ui/application.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const std::string runtime = "/tmp/uwtest-runtime-" + std::to_string(getuid());
  mkdir(runtime.c_str(), 0700);
  chmod(runtime.c_str(), 0700);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 0);
  setenv("XDG_CONFIG_HOME", (runtime + "/config").c_str(), 0);
  setenv("XDG_CACHE_HOME", (runtime + "/cache").c_str(), 0);
  ui::InstallQuietMessages();
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
