// Decimal conversion as the program's C runtime does it.
#pragma once

#include <cstdint>
#include <string_view>

namespace win32 {

// atol of the old C runtime: leading blanks (0x20, 0x09-0x0D) skipped, an optional sign, digits up to
// the first non-digit, 0 without digits. No overflow check: the value wraps modulo 2^32.
std::int32_t Atol(std::string_view s);
inline int Atoi(std::string_view s) { return Atol(s); }

}  // namespace win32
