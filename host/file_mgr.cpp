// The file manager: the session's application and settings folders.
#include <string>

#include "host/host_db.h"
#include "platform/platform.h"
#include "win32/mbcs.h"

namespace {
host::HostDb& Db() { return host::HostDb::Inst(); }
}  // namespace

ClFileMgr* ClFileMgr::Inst() {
  static ClFileMgr mgr;
  return &mgr;
}

std::string ClFileMgr::GetAppFolderPath(int type) {
  std::string folder = type == 0   ? Db().session().app_folder
                       : type == 1 ? Db().session().settings_folder
                                   : "";
  if (!folder.empty()) {
    const bool ends_with_sep = folder.back() == '\\' && !win32::IsTrailPosition(folder, folder.size() - 1);
    if (!ends_with_sep) folder += '\\';
  }
  return folder;
}
