// The main of the tests on a Wayland desktop: weston in a window of an X server of their own (Xvfb with
// openbox), the program started on weston with its protocol traffic logged, then GoogleTest. The test's
// own drawing is offscreen. Listing the tests needs no display. UW_WAYLAND_SCALE=2 runs them on an output
// of scale 2.
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
  const char* scale = std::getenv("UW_WAYLAND_SCALE");
  if (!XSession::Start(&error, "1600x1200x24") ||
      !WaylandSession::Start(QSize(1500, 1100), scale != nullptr ? std::atoi(scale) : 1, &error)) {
    std::fprintf(stderr, "wayland_test: %s\n", error.c_str());
    WaylandSession::Stop();
    XSession::Stop();
    return 1;
  }
  int status;
  {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ui::InstallQuietMessages();
    QApplication app(argc, argv);
    // The program: Wayland first as a list names it (the X server is there too, as Qt's fallback), every
    // request and event on standard error.
    setenv("QT_QPA_PLATFORM", "wayland;xcb", 1);
    setenv("WAYLAND_DEBUG", "client", 1);
    status = RUN_ALL_TESTS();
  }
  WaylandSession::Stop();
  XSession::Stop();
  return status;
}
