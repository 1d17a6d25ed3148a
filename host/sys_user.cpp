// The current user and the selected company of the session.
#include <algorithm>
#include <cstring>

#include "host/host_db.h"
#include "platform/platform.h"

namespace {
host::HostDb& Db() { return host::HostDb::Inst(); }
}  // namespace

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
