// The accounting platform as the program uses it: the connection, the data manager and its set objects,
// the current user, the company data set, the helper that makes data-ID texts and the folder manager.
//
// The platform's operations answer 0 for success. Singletons, set objects and the user object belong to
// the platform and are never freed by the program. The implementation over the host database is in
// host/.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/records.h"
#include "win32/wintypes.h"

class ClSysEnvMgr {
 public:
  enum _AppType : int { AppType_Dremmick = 0, AppType_Halvorack = 3, AppType_Fennowal = 4 };
};

class ClAccConnect {
 public:
  static ClAccConnect* Inst();

  void SetAppType(ClSysEnvMgr::_AppType type);
  void SetUseDataType(int type);
  // 0: connected. Anything else: the host database could not be opened; *why (when not null) receives
  // one line saying why.
  long Initiate(std::string* why = nullptr);
  // 0: go on; 1: cancelled; anything else: failure.
  long ExpSysLink();
  // Shows a modal message through the modal port; "ES_APRPACKAGENAME" in the text is replaced by the
  // session's package name when that is not empty. The result is the port's answer.
  int DispMsg(win32::HWND owner, const char* text, const char* caption, win32::UINT style);
  long LogOut();
  long Terminate();
  long Release();

  const char* m_pszTitle = nullptr;
  win32::HWND m_hOwnerWnd = 0;
};

class ClSysUser {
 public:
  // Writes the current user id (at most 64 bytes and a NUL) into a 65-byte buffer.
  long GetCurUserID(char* user_id);
  // The two numbers of the company selection for a user; the second is the selected entry's DataNo.
  long GetSelectedNo(const char* user_id, std::int32_t* selected_no, std::int32_t* selected_no2);
};

class ClSetBase;
class ClSetMgr;
class ClOptLink;

class ClSetData {
 public:
  // The selected entry (never null; zero-filled when no company has the selected number).
  StDATAINFO* GetSelectedInfo();
  long GetDatCursor(long* cursor);
  long ReadyDat(long cursor, int mode);
  // 0 while it fills an entry, non-zero at the end.
  long WalkDat(StDATAINFO* info, long cursor);
  long ReleaseDatCursor(long cursor);

 private:
  StDATAINFO m_selected{};
  std::vector<long> m_cursors;  // walk cursors: cursor number - 1 -> next entry, -1 when released
};

class ClDataMgr {
 public:
  static ClDataMgr* Inst();
  ClSysUser* GetSysUserObject();
  ClSetMgr* GetSetMgr();
  // Set identifiers: 1 account master, 4 consumption-tax settings, 5 company data. Null for others.
  void* GetSetObject(int id, int mode);
};

class ClLinkMgr {
 public:
  static ClLinkMgr* Inst();
  ClOptLink* GetOptLink();
};

class ClUtyDBHpr {
 public:
  static ClUtyDBHpr* Inst();
  // Writes the data-ID text of the record (at most 34 bytes and a NUL).
  long MakeIDStr(const StDATAINFO* info, char* id_text);
};

class ClFileMgr {
 public:
  static ClFileMgr* Inst();
  // Folder type 0: the application folder (the default output folder, possibly empty); type 1: the
  // settings folder. A non-empty folder always ends with a backslash.
  std::string GetAppFolderPath(int type);
};
