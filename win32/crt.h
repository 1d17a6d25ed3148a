// Decimal conversion as the program's C runtime does it.
#pragma once

#include <cstdint>
#include <string_view>

namespace win32 {

// atol of the Windows C runtime: leading blanks (0x20, 0x09-0x0D) skipped, an optional sign, digits up to
// the first non-digit, 0 without digits. A value beyond 32 bits saturates at INT32_MAX / INT32_MIN (as
// strtol does), so a huge number never wraps round into a small one.
std::int32_t Atol(std::string_view s);
inline int Atoi(std::string_view s) { return Atol(s); }

}  // namespace win32
