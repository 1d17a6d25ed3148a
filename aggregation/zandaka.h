// One balance row of the aggregation and the list that holds the rows in delivery order.
#pragma once

#include <cstdint>
#include <list>

struct StZANDAKAINFO {
  std::int32_t AccountId = 0;       // account code x 10000 + sub-account code (0 on a main account)
  char Name[17] = {};               // code page 932, at most 16 bytes, always NUL-terminated
  std::uint8_t HasSubAccounts = 0;  // non-zero on a main account whose sub-account rows follow it
  std::int64_t Balance = 0;         // 1/10000 yen, positive on the account's own balance side
};

// The application object's result list: pointers to rows it owns and frees at shutdown.
using ClZandakaList = std::list<StZANDAKAINFO*>;
