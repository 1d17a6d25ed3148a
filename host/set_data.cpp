// The company data set: the selected company and a walk over every company of the host database.
#include <algorithm>
#include <cstring>

#include "host/host_db.h"
#include "platform/platform.h"

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
}  // namespace

StDATAINFO* ClSetData::GetSelectedInfo() {
  const host::Company* c = Db().FindCompanyByNo(Db().session().selected_no2);
  if (c != nullptr)
    FillRecord(*c, &m_selected);
  else
    std::memset(&m_selected, 0, sizeof m_selected);
  return &m_selected;
}

long ClSetData::GetDatCursor(long* cursor) {
  for (std::size_t i = 0; i < m_cursors.size(); ++i) {
    if (m_cursors[i] < 0) {
      m_cursors[i] = 0;
      *cursor = static_cast<long>(i) + 1;
      return 0;
    }
  }
  m_cursors.push_back(0);
  *cursor = static_cast<long>(m_cursors.size());
  return 0;
}

long ClSetData::ReadyDat(long cursor, int) {
  if (cursor < 1 || static_cast<std::size_t>(cursor) > m_cursors.size()) return 1;
  m_cursors[cursor - 1] = 0;
  return 0;
}

long ClSetData::WalkDat(StDATAINFO* info, long cursor) {
  if (cursor < 1 || static_cast<std::size_t>(cursor) > m_cursors.size() || m_cursors[cursor - 1] < 0)
    return 1;
  long& next = m_cursors[cursor - 1];
  const auto& companies = Db().companies();
  if (static_cast<std::size_t>(next) >= companies.size()) return 1;
  FillRecord(companies[static_cast<std::size_t>(next++)], info);
  return 0;
}

long ClSetData::ReleaseDatCursor(long cursor) {
  if (cursor < 1 || static_cast<std::size_t>(cursor) > m_cursors.size()) return 1;
  m_cursors[cursor - 1] = -1;
  return 0;
}
