// The edition table: the three builds differ only by these values.
#pragma once

#include <string>

namespace res {

enum class EditionId { kHalvorack = 0, kDremmick = 1, kFennowal = 2 };

struct StEdition {
  EditionId id;
  const char* program;        // executable name
  int app_type;               // ClAccConnect::SetAppType value
  const char* settings_file;  // settings file name in the settings folder
  // Settings key: edition 1 "%s/%d/%s:" (user id, first selected number, data-ID text); editions 2 and 3
  // "%s/%s:" (user id, data-ID text).
  const char* key_format;
  bool key_has_selected_no;
  const char* default_product_utf8;  // default PROGRAMNAME of the report
};

const StEdition& Edition(EditionId id);
// The default product name in code page 932.
std::string DefaultProductName(const StEdition& edition);

}  // namespace res
