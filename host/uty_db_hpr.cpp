// The database helper: the data-ID text of a company record.
#include <cstring>

#include "platform/platform.h"

ClUtyDBHpr* ClUtyDBHpr::Inst() {
  static ClUtyDBHpr helper;
  return &helper;
}

long ClUtyDBHpr::MakeIDStr(const StDATAINFO* info, char* id_text) {
  // The data-ID text is the record's leading text (at most 15 bytes).
  std::size_t n = strnlen(info->DataId, sizeof info->DataId - 1);
  std::memcpy(id_text, info->DataId, n);
  id_text[n] = '\0';
  return 0;
}
