// The Qt application of a run and the wait cursor.
#include "ui/application.h"

#include <QApplication>
#include <QCursor>
#include <cstdlib>
#include <memory>

namespace ui {

namespace {
std::unique_ptr<QApplication>& Instance() {
  static std::unique_ptr<QApplication> app;
  return app;
}

void QuietHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
  // The offscreen platform reports every raise() as unsupported; that is expected, not a fault.
  if (message.contains(QLatin1String("does not support raise()"))) return;
  // Qt picks a runtime folder of its own when the session has none; nothing to tell the user.
  if (message.startsWith(QLatin1String("QStandardPaths:"))) return;
  if (type == QtDebugMsg || type == QtInfoMsg) return;
  std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}
}  // namespace

void InstallQuietMessages() { qInstallMessageHandler(QuietHandler); }

Application::Application(int& argc, char** argv, bool batch) {
  if (batch) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  InstallQuietMessages();
  if (QApplication::instance() == nullptr) Instance() = std::make_unique<QApplication>(argc, argv);
}

Application::~Application() { Instance().reset(); }

void SetWaitCursor(bool on) {
  if (QApplication::instance() == nullptr) return;
  if (on)
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  else if (QApplication::overrideCursor() != nullptr)
    QApplication::restoreOverrideCursor();
}

}  // namespace ui
