// The main of the test binaries: a quiet, headless environment for Qt, a QApplication, then GoogleTest.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
void QuietHandler(QtMsgType type, const QMessageLogContext&, const QString& msg) {
  // The offscreen platform says this on every raise(); everything else is shown.
  if (msg.contains(QLatin1String("does not support raise()"))) return;
  if (type != QtDebugMsg) std::fprintf(stderr, "%s\n", msg.toLocal8Bit().constData());
}
}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const std::string runtime = "/tmp/uwtest-runtime-" + std::to_string(getuid());
  mkdir(runtime.c_str(), 0700);
  chmod(runtime.c_str(), 0700);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 0);
  setenv("XDG_CONFIG_HOME", (runtime + "/config").c_str(), 0);
  setenv("XDG_CACHE_HOME", (runtime + "/cache").c_str(), 0);
  qInstallMessageHandler(QuietHandler);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
