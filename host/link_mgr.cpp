// The link manager and the option link it hands out.
#include "platform/platform.h"

// The option link is only a token the program passes back to the aggregation rule.
class ClOptLink {};

ClLinkMgr* ClLinkMgr::Inst() {
  static ClLinkMgr mgr;
  return &mgr;
}

ClOptLink* ClLinkMgr::GetOptLink() {
  static ClOptLink link;
  return &link;
}
