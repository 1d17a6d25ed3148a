#include "win32/crt.h"

namespace win32 {

std::int32_t Atol(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || (s[i] >= 0x09 && s[i] <= 0x0D))) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  std::uint32_t value = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9')
    value = value * 10u + static_cast<std::uint32_t>(s[i++] - '0');
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

}  // namespace win32
