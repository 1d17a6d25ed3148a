// The base of the platform's set objects: the company they work on.
#include <cstring>
#include <string_view>

#include "host/host_db.h"
#include "platform/rule.h"

namespace {
host::HostDb& Db() { return host::HostDb::Inst(); }

constexpr std::size_t kMaxDataIdText = 34;
}  // namespace

ClSetBase::~ClSetBase() = default;

long ClSetBase::AttachSetMgr(ClSetMgr*) { return 0; }

long ClSetBase::SetCurDataID(const char* data_id) {
  m_bDataIdSet = true;
  m_nDataNo = -1;
  if (data_id == nullptr) return kPlatformNoCompany;
  const host::Company* c = Db().FindCompanyById(std::string_view(data_id, strnlen(data_id, kMaxDataIdText)));
  if (c == nullptr) return kPlatformNoCompany;
  m_nDataNo = c->data_no;
  return 0;
}

std::int32_t ClSetBase::CurDataNo() const {
  if (m_bDataIdSet) return m_nDataNo;
  const host::Company* c = Db().FindCompanyByNo(Db().session().selected_no2);
  return c != nullptr ? c->data_no : -1;
}
