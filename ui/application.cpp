// The Qt application of a run and the wait cursor.
#include "ui/application.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QIcon>
#include <QJsonArray>
#include <QJsonObject>
#include <QLibraryInfo>
#include <QLocale>
#include <QPluginLoader>
#include <QTranslator>
#include <cstdlib>
#include <memory>
#include <string>

#include "win32/unix_socket.h"

namespace ui {

namespace {
std::unique_ptr<QApplication>& Instance() {
  static std::unique_ptr<QApplication> app;
  return app;
}

FatalHook g_fatalHook = nullptr;

void QuietHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtFatalMsg && g_fatalHook != nullptr)
    g_fatalHook(message.section(QLatin1Char('\n'), 0, 0).toLocal8Bit().constData());
  // The offscreen platform reports every raise() as unsupported; that is expected, not a fault.
  if (message.contains(QLatin1String("does not support raise()"))) return;
  // Qt picks a runtime folder of its own when the session has none; nothing to tell the user.
  if (message.startsWith(QLatin1String("QStandardPaths:"))) return;
  if (type == QtDebugMsg || type == QtInfoMsg) return;
  std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}
}  // namespace

void SetFatalHook(FatalHook hook) { g_fatalHook = hook; }

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

namespace {
// Whether a platform plugin answering to `key` is installed where Qt looks for it. Only the plugins'
// metadata is read; none is loaded.
bool HasPlatformPlugin(const QString& key) {
  QStringList folders;
  const QString extra = qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH");
  if (!extra.isEmpty()) folders << extra;
  for (const QString& path : QCoreApplication::libraryPaths()) folders << path + QStringLiteral("/platforms");
  for (const QString& folder : folders) {
    for (const QString& file : QDir(folder).entryList({QStringLiteral("*.so")}, QDir::Files)) {
      const QJsonArray keys = QPluginLoader(folder + QLatin1Char('/') + file)
                                  .metaData()
                                  .value(QStringLiteral("MetaData"))
                                  .toObject()
                                  .value(QStringLiteral("Keys"))
                                  .toArray();
      for (const QJsonValue& k : keys)
        if (k.toString().compare(key, Qt::CaseInsensitive) == 0) return true;
    }
  }
  return false;
}

// Whether a compositor accepts a connection on the session's Wayland socket, found as the Wayland
// client library finds it: $WAYLAND_SOCKET, else $WAYLAND_DISPLAY (wayland-0 when unset), a path of its
// own or a name in $XDG_RUNTIME_DIR. A socket file whose compositor is gone refuses the connection.
bool WaylandAnswers() {
  if (!qEnvironmentVariableIsEmpty("WAYLAND_SOCKET")) return true;
  std::string path =
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ? "wayland-0" : std::getenv("WAYLAND_DISPLAY");
  if (path[0] != '/') {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || *runtime == '\0') return false;
    path = std::string(runtime) + "/" + path;
  }
  return win32::UnixSocketAnswers(path);
}

// Whether the display named by $DISPLAY accepts an X connection.
bool XAnswers() {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') return false;
  xcb_connection_t* connection = xcb_connect(display, nullptr);
  const bool ok = xcb_connection_has_error(connection) == 0;
  xcb_disconnect(connection);
  return ok;
}

// Whether Qt's platform `name` (without its ":arguments") can start here.
bool PlatformStarts(const QString& name) {
  if (name == QLatin1String("offscreen") || name == QLatin1String("minimal")) return true;
  if (!HasPlatformPlugin(name)) return false;
  if (name.startsWith(QLatin1String("wayland"), Qt::CaseInsensitive)) return WaylandAnswers();
  if (name.compare(QLatin1String("xcb"), Qt::CaseInsensitive) == 0) return XAnswers();
  return true;  // a framebuffer or VNC platform: Qt's own to judge
}
}  // namespace

bool DisplayReachable() {
  // The platforms Qt tries, in its order: $QT_QPA_PLATFORM's list, else Wayland before X when the session
  // is a Wayland one.
  QString platforms = qEnvironmentVariable("QT_QPA_PLATFORM");
  if (platforms.isEmpty())
    platforms = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qgetenv("XDG_SESSION_TYPE") == "wayland"
                    ? QStringLiteral("wayland;xcb")
                    : QStringLiteral("xcb");
  for (const QString& entry : platforms.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
    if (!PlatformStarts(entry.section(QLatin1Char(':'), 0, 0))) continue;
    // Qt would reach the same one after failing on those before it, with lines about each: it is named.
    qputenv("QT_QPA_PLATFORM", entry.toLocal8Bit());
    return true;
  }
  return false;
}

void SetWaitCursor(bool on) {
  if (QApplication::instance() == nullptr) return;
  if (on)
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  else if (QApplication::overrideCursor() != nullptr)
    QApplication::restoreOverrideCursor();
}

}  // namespace ui
