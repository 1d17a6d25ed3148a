// The connection to the accounting platform over the host database, and the platform's message box.
#include <string>
#include <utility>

#include "host/host_db.h"
#include "platform/platform.h"
#include "win32/mbcs.h"
#include "win32/ui_port.h"

namespace {
host::HostDb& Db() { return host::HostDb::Inst(); }
}  // namespace

ClAccConnect* ClAccConnect::Inst() {
  static ClAccConnect connect;
  return &connect;
}

void ClAccConnect::SetAppType(ClSysEnvMgr::_AppType type) {
  host::HostDb::Trace().push_back("SetAppType " + std::to_string(type));
}

void ClAccConnect::SetUseDataType(int type) {
  host::HostDb::Trace().push_back("SetUseDataType " + std::to_string(type));
}

long ClAccConnect::Initiate(std::string* why) {
  host::HostDb::Trace().push_back("Initiate");
  std::string error;
  if (!host::Connect(&error)) return host::FailWith(1, std::move(error), why);
  // The start-up's settings from the connection: the drive table and the host database's protection.
  host::PublishConnection();
  return 0;
}

long ClAccConnect::ExpSysLink() {
  host::HostDb::Trace().push_back("ExpSysLink");
  long result = 0;
  if (Db().Fault("ExpSysLink", &result)) return result;
  return 0;
}

int ClAccConnect::DispMsg(win32::HWND owner, const char* text, const char* caption, win32::UINT style) {
  std::string message = text != nullptr ? text : "";
  const std::string& package = Db().session().package_name;
  if (!package.empty()) {
    static const std::string kPlaceholder = "ES_APRPACKAGENAME";
    std::size_t pos = 0;
    while ((pos = message.find(kPlaceholder, pos)) != std::string::npos) {
      // Only at a character boundary: the placeholder is ASCII, but a trail byte could start a match.
      if (win32::IsTrailPosition(message, pos)) {
        ++pos;
        continue;
      }
      message.replace(pos, kPlaceholder.size(), package);
      pos += package.size();
    }
  }
  return win32::MessageBoxA(owner, message, caption != nullptr ? caption : "", style);
}

long ClAccConnect::LogOut() {
  host::HostDb::Trace().push_back("LogOut");
  return 0;
}

long ClAccConnect::Terminate() {
  host::HostDb::Trace().push_back("Terminate");
  host::Disconnect();
  return 0;
}

long ClAccConnect::Release() {
  host::HostDb::Trace().push_back("Release");
  return 0;
}
