// The Qt application of a run and the wait cursor.
#include "ui/application.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QCursor>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

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
  if (batch) return;
  // The desktop entry's window class (StartupWMClass) is the program's name, Qt's default class; on
  // Wayland the application id names the entry. The window icon is the installed theme's.
  QGuiApplication::setDesktopFileName(QStringLiteral("uchiwake-") + QCoreApplication::applicationName());
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("uchiwake")));
  // The program is Japanese whatever the session's language: Qt's texts from its Japanese catalogue.
  static QTranslator translator;
  const QLocale japanese(QLocale::Japanese, QLocale::Japan);
  QLocale::setDefault(japanese);
  m_bJapanese = translator.load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"),
                                QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
                QCoreApplication::installTranslator(&translator);
}

Application::~Application() { Instance().reset(); }

bool DisplayReachable() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  const std::string name = platform != nullptr ? platform : "";
  if (name.rfind("offscreen", 0) == 0 || name.rfind("minimal", 0) == 0) return true;
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  bool wayland_there = false;
  if (wayland != nullptr && *wayland != '\0') {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::error_code ec;
    wayland_there = wayland[0] == '/' ? std::filesystem::exists(wayland, ec)
                                      : runtime != nullptr &&
                                            std::filesystem::exists(std::string(runtime) + "/" + wayland, ec);
  }
  if (name.rfind("wayland", 0) == 0) return wayland_there;
  if (wayland_there && name.empty()) return true;
  // X: the display named by $DISPLAY must answer.
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') return false;
  xcb_connection_t* connection = xcb_connect(display, nullptr);
  const bool ok = xcb_connection_has_error(connection) == 0;
  xcb_disconnect(connection);
  return ok;
}

void SetWaitCursor(bool on) {
  if (QApplication::instance() == nullptr) return;
  if (on)
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  else if (QApplication::overrideCursor() != nullptr)
    QApplication::restoreOverrideCursor();
}

}  // namespace ui
