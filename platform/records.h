// Records exchanged with the accounting platform. Their sizes and field offsets are the platform's:
// the program reads them by offset, so they are packed and checked here.
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)

// One company data entry, 1506 bytes.
struct StDATAINFO {
  char DataId[16];  // the data-ID text (at most 15 bytes), what identifies the entry
  std::int32_t DataNo;
  std::uint8_t reserved1[4];
  char CompanyName[260];     // NUL-terminated code page 932 text
  std::int32_t PeriodStart;  // yyyymmdd
  std::int32_t PeriodEnd;    // yyyymmdd
  std::uint8_t reserved2[12];
  std::int32_t PeriodOption;
  std::uint8_t reserved3[18];
  std::int16_t DataKind;  // 99: past actual data
  std::uint8_t reserved4[1178];
};

#pragma pack(pop)

static_assert(sizeof(StDATAINFO) == 1506);
static_assert(offsetof(StDATAINFO, DataNo) == 16);
static_assert(offsetof(StDATAINFO, CompanyName) == 24);
static_assert(offsetof(StDATAINFO, PeriodStart) == 284);
static_assert(offsetof(StDATAINFO, PeriodEnd) == 288);
static_assert(offsetof(StDATAINFO, PeriodOption) == 304);
static_assert(offsetof(StDATAINFO, DataKind) == 326);

inline constexpr std::int16_t kDataKindPastActual = 99;
