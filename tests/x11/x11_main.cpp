// The main of the tests on a real X server: a display of their own (Xvfb) with the openbox window
// manager, Qt on its xcb platform for the test's own drawing, then GoogleTest. Listing the tests needs
// no display.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/test_runtime.h"
#include "tests/x11/desktop.h"
#include "ui/application.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  UseTestRuntimeFolders();
  std::string error;
  if (!XSession::Start(&error)) {
    std::fprintf(stderr, "x11_test: %s\n", error.c_str());
    XSession::Stop();
    return 1;
  }
  // The program and this test both on the X server (the normal test run sets the offscreen platform).
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  int status;
  {
    ui::InstallQuietMessages();
    QApplication app(argc, argv);
    status = RUN_ALL_TESTS();
  }
  XSession::Stop();
  return status;
}
