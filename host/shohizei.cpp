// The consumption-tax settings set over the host database's companies.
#include "platform/shohizei.h"

#include <cstring>

#include "host/host_db.h"

ClSetShohizei::~ClSetShohizei() = default;

long ClSetShohizei::Get(StSHOHIZEIINFO* info) {
  host::HostDb& db = host::HostDb::Inst();
  long result = 0;
  if (db.Fault("ShohizeiGet", &result)) return result;
  const std::int32_t data_no = CurDataNo();
  const host::Company* company = data_no >= 0 ? db.FindCompanyByNo(data_no) : nullptr;
  if (company == nullptr) return kPlatformNoCompany;
  if (!company->tax_included.has_value()) return kPlatformNoTaxSettings;
  if (info == nullptr) return kPlatformNotReady;
  std::memset(info, 0, sizeof *info);
  info->TaxIncluded = *company->tax_included != 0 ? 1 : 0;
  return 0;
}
