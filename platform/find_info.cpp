// The value of a search condition, kept in the record's bytes as the platform keeps it.
#include <cstring>

#include "platform/rule.h"

std::int16_t FindValue16(const StFINDINFO& cond) {
  std::int16_t v;
  std::memcpy(&v, cond.Value, sizeof v);
  return v;
}

std::int32_t FindValue(const StFINDINFO& cond) {
  if (cond.ValueType == kFindValue32) {
    std::int32_t v;
    std::memcpy(&v, cond.Value, sizeof v);
    return v;
  }
  return FindValue16(cond);
}

void SetFindValue16(StFINDINFO* cond, std::int16_t value) {
  std::memset(cond->Value, 0, sizeof cond->Value);
  std::memcpy(cond->Value, &value, sizeof value);
  cond->ValueType = kFindValue16;
}

void SetFindValue32(StFINDINFO* cond, std::int32_t value) {
  std::memcpy(cond->Value, &value, sizeof value);
  cond->ValueType = kFindValue32;
}
