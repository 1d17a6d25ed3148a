// The profile (INI) reader: any file text and names give a value without reading outside the text; a
// found value never holds a line end.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "win32/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view all(reinterpret_cast<const char*>(data), size);
  // The first line is "section\x01key"; the rest is the file.
  std::size_t nl = all.find('\n');
  std::string_view head = nl == std::string_view::npos ? all : all.substr(0, nl);
  std::string_view text = nl == std::string_view::npos ? std::string_view() : all.substr(nl + 1);
  std::size_t sep = head.find('\x01');
  std::string_view section = head.substr(0, sep);
  std::string_view key = sep == std::string_view::npos ? std::string_view() : head.substr(sep + 1);
  bool found = false;
  std::string value = win32::LookupProfileValue(text, section, key, "1", &found);
  if (found && value.find_first_of("\r\n") != std::string::npos) std::abort();
  if (!found && value != "1") std::abort();
  return 0;
}
