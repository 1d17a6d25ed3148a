// The consumption-tax settings set of the accounting platform (ClDataMgr::GetSetObject(4, 1)) and the
// record it delivers. The implementation over the host database's `companies.tax_included` is in
// host/shohizei.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/rule.h"

#pragma pack(push, 1)

// The consumption-tax settings of a company, 20 bytes. Only TaxIncluded is read by the program.
struct StSHOHIZEIINFO {
  std::uint8_t reserved1[5];
  std::uint8_t TaxIncluded;  // non-zero: the company books tax-inclusive (the tax default of the dialog)
  std::uint8_t reserved2[14];
};

#pragma pack(pop)

static_assert(sizeof(StSHOHIZEIINFO) == 20);
static_assert(offsetof(StSHOHIZEIINFO, TaxIncluded) == 5);

// Answer of Get for a company that has no consumption-tax settings.
inline constexpr long kPlatformNoTaxSettings = 9006;

// Used through ClSetBase: AttachSetMgr, SetCurDataID (the selected StDATAINFO, whose leading text is the
// data ID), then Get.
class ClSetShohizei : public ClSetBase {
 public:
  ClSetShohizei() = default;
  ~ClSetShohizei() override;

  // 0 when *info was filled with the current company's settings: all zero except TaxIncluded, which is 1
  // when the company's tax_included is non-zero. Non-zero, *info untouched, when the set works on no
  // company (kPlatformNoCompany), the company's tax_included is NULL (kPlatformNoTaxSettings), or the
  // `faults` row "ShohizeiGet" is due (its result).
  long Get(StSHOHIZEIINFO* info);
};
