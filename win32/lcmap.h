// LCMapStringA with LCMAP_FULLWIDTH on code page 932: single-byte characters become their double-byte
// full-width forms.
//
// - ASCII 0x20-0x7E become the full-width forms (the blank the ideographic space 81 40; '"' FA 57 and '\''
//   FA 56 as in Windows' own code page table; '\' the full-width backslash 81 5F).
// - Half-width katakana 0xA1-0xDF become full-width katakana; a kana followed by a voiced or semi-voiced
//   sound mark (DE / DF) becomes the one composed character when code page 932 has it (ｶﾞ -> ガ, ﾊﾟ -> パ,
//   ｳﾞ -> ヴ); otherwise each byte is mapped on its own (ﾜﾞ -> ワ゛), and a lone mark becomes ゛ 81 4A or
//   ゜ 81 4B.
// - Double-byte characters, control bytes and every other byte pass unchanged.
// Sizes are in bytes. cchSrc -1 takes src up to its NUL and maps the NUL too (counted in the result).
// cchDest 0 answers the size needed. A result longer than cchDest answers 0 (ERROR_INSUFFICIENT_BUFFER);
// a flag other than LCMAP_FULLWIDTH answers 0 (ERROR_INVALID_FLAGS); a null src, cchSrc 0 or a negative
// cchDest answer 0 (ERROR_INVALID_PARAMETER).
#pragma once

#include <string>
#include <string_view>

#include "win32/last_error.h"
#include "win32/wintypes.h"

namespace win32 {

using LCID = DWORD;

inline constexpr LCID LANG_JAPANESE_DEFAULT = 0x0411;
inline constexpr DWORD LCMAP_HALFWIDTH = 0x00400000;
inline constexpr DWORD LCMAP_FULLWIDTH = 0x00800000;

inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_INVALID_FLAGS = 1004;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;

// The system default locale: Japanese (0x0411).
LCID GetSystemDefaultLCID();

// Sets the thread's last error (win32/last_error.h): 0 after a success.
int LCMapStringA(LCID locale, DWORD flags, const char* src, int cch_src, char* dst, int cch_dest);

// The full-width form of a whole text.
std::string ToFullWidth(std::string_view cp932);

}  // namespace win32
