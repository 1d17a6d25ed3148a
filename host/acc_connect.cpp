// The connection to the accounting platform over the host database, and the platform's message box.
#include <string>

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
  Db().Trace().push_back("SetAppType " + std::to_string(type));
}

void ClAccConnect::SetUseDataType(int type) {
  Db().Trace().push_back("SetUseDataType " + std::to_string(type));
}

long ClAccConnect::Initiate() {
  Db().Trace().push_back("Initiate");
  m_strLastError.clear();
  if (!Db().Open(&m_strLastError)) return 1;
  return 0;
}

const std::string& ClAccConnect::LastError() const {
  return m_strLastError.empty() ? Db().ReadError() : m_strLastError;
}

long ClAccConnect::ExpSysLink() {
  Db().Trace().push_back("ExpSysLink");
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
  Db().Trace().push_back("LogOut");
  return 0;
}

long ClAccConnect::Terminate() {
  Db().Trace().push_back("Terminate");
  Db().Close();
  return 0;
}

long ClAccConnect::Release() {
  Db().Trace().push_back("Release");
  return 0;
}
