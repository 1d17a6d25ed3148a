// The connection, the data manager, the user, the company data set and the folder manager over the host
// database.
#include <cstring>

#include "host/host_db.h"
#include "platform/platform.h"
#include "win32/mbcs.h"
#include "win32/ui_port.h"

namespace {
host::HostDb& Db() { return host::HostDb::Inst(); }

void FillRecord(const host::Company& c, StDATAINFO* info) {
  std::memset(info, 0, sizeof *info);
  std::memcpy(info->DataId, c.data_id.data(), std::min(c.data_id.size(), sizeof info->DataId - 1));
  info->DataNo = c.data_no;
  std::memcpy(info->CompanyName, c.name.data(), std::min(c.name.size(), sizeof info->CompanyName - 1));
  info->PeriodStart = c.period_start;
  info->PeriodEnd = c.period_end;
  info->PeriodOption = c.period_option;
  info->DataKind = c.data_kind;
}

// Walk cursors of the company data set: cursor number -> next index.
std::vector<long>& DatCursors() {
  static std::vector<long> cursors;
  return cursors;
}
}  // namespace

ClAccConnect* ClAccConnect::Inst() {
  static ClAccConnect connect;
  return &connect;
}

void ClAccConnect::SetAppType(ClSysEnvMgr::_AppType type) {
  m_nAppType = type;
  Db().Trace().push_back("SetAppType " + std::to_string(type));
}

void ClAccConnect::SetUseDataType(int type) {
  m_nUseDataType = type;
  Db().Trace().push_back("SetUseDataType " + std::to_string(type));
}

long ClAccConnect::Initiate() {
  Db().Trace().push_back("Initiate");
  m_strLastError.clear();
  if (!Db().Open(&m_strLastError)) return 1;
  m_bConnected = true;
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
  m_bConnected = false;
  return 0;
}

long ClAccConnect::Release() {
  Db().Trace().push_back("Release");
  return 0;
}

long ClSysUser::GetCurUserID(char* user_id) {
  std::memset(user_id, 0, host::kMaxUserId + 1);
  const std::string& id = Db().session().user_id;
  std::memcpy(user_id, id.data(), std::min(id.size(), host::kMaxUserId));
  return 0;
}

long ClSysUser::GetSelectedNo(const char*, std::int32_t* selected_no, std::int32_t* selected_no2) {
  *selected_no = Db().session().selected_no;
  *selected_no2 = Db().session().selected_no2;
  return 0;
}

StDATAINFO* ClSetData::GetSelectedInfo() {
  const host::Company* c = Db().FindCompanyByNo(Db().session().selected_no2);
  if (c != nullptr)
    FillRecord(*c, &m_selected);
  else
    std::memset(&m_selected, 0, sizeof m_selected);
  return &m_selected;
}

long ClSetData::GetDatCursor(long* cursor) {
  auto& cursors = DatCursors();
  for (std::size_t i = 0; i < cursors.size(); ++i) {
    if (cursors[i] < 0) {
      cursors[i] = 0;
      *cursor = static_cast<long>(i) + 1;
      return 0;
    }
  }
  cursors.push_back(0);
  *cursor = static_cast<long>(cursors.size());
  return 0;
}

long ClSetData::ReadyDat(long cursor, int) {
  auto& cursors = DatCursors();
  if (cursor < 1 || static_cast<std::size_t>(cursor) > cursors.size()) return 1;
  cursors[cursor - 1] = 0;
  return 0;
}

long ClSetData::WalkDat(StDATAINFO* info, long cursor) {
  auto& cursors = DatCursors();
  if (cursor < 1 || static_cast<std::size_t>(cursor) > cursors.size() || cursors[cursor - 1] < 0) return 1;
  long& next = cursors[cursor - 1];
  const auto& companies = Db().companies();
  if (static_cast<std::size_t>(next) >= companies.size()) return 1;
  FillRecord(companies[static_cast<std::size_t>(next++)], info);
  return 0;
}

long ClSetData::ReleaseDatCursor(long cursor) {
  auto& cursors = DatCursors();
  if (cursor < 1 || static_cast<std::size_t>(cursor) > cursors.size()) return 1;
  cursors[cursor - 1] = -1;
  return 0;
}

ClDataMgr* ClDataMgr::Inst() {
  static ClDataMgr mgr;
  return &mgr;
}

ClSysUser* ClDataMgr::GetSysUserObject() {
  static ClSysUser user;
  return &user;
}

ClLinkMgr* ClLinkMgr::Inst() {
  static ClLinkMgr mgr;
  return &mgr;
}

ClUtyDBHpr* ClUtyDBHpr::Inst() {
  static ClUtyDBHpr helper;
  return &helper;
}

long ClUtyDBHpr::MakeIDStr(const StDATAINFO* info, char* id_text) {
  // The data-ID text is the record's leading text (at most 15 bytes).
  std::size_t n = strnlen(info->DataId, sizeof info->DataId - 1);
  std::memcpy(id_text, info->DataId, n);
  id_text[n] = '\0';
  return 0;
}

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
