// The data manager: the user object, the set manager and the set objects it hands out.
#include "host/host_db.h"
#include "platform/platform.h"
#include "platform/rule.h"
#include "platform/shohizei.h"

// The set manager is only a token the program passes back to the set objects.
class ClSetMgr {};

ClDataMgr* ClDataMgr::Inst() {
  static ClDataMgr mgr;
  return &mgr;
}

ClSysUser* ClDataMgr::GetSysUserObject() {
  static ClSysUser user;
  return &user;
}

ClSetMgr* ClDataMgr::GetSetMgr() {
  static ClSetMgr mgr;
  return &mgr;
}

// The set objects are the open connection's: their cursors and chosen companies end with it.
void* ClDataMgr::GetSetObject(int id, int) {
  host::Connection& connection = host::Current();
  switch (id) {
    case 1:
      return &connection.kamoku;
    case 4:
      return &connection.shohizei;
    case 5:
      return &connection.data;
    default:
      return nullptr;
  }
}
