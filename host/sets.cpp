// The set manager and the set objects of the data manager.
#include "host/host_db.h"
#include "platform/platform.h"
#include "platform/rule.h"
#include "platform/shohizei.h"

class ClSetMgr {};
class ClOptLink {};

ClSetMgr* ClDataMgr::GetSetMgr() {
  static ClSetMgr mgr;
  return &mgr;
}

ClOptLink* ClLinkMgr::GetOptLink() {
  static ClOptLink link;
  return &link;
}

void* ClDataMgr::GetSetObject(int id, int) {
  static ClSetData data;
  switch (id) {
    case 1: {
      static ClSetKamoku kamoku;
      return &kamoku;
    }
    case 4: {
      static ClSetShohizei shohizei;
      return &shohizei;
    }
    case 5:
      return &data;
    default:
      return nullptr;
  }
}
