// Conversions between code page 932 and UTF-8, used only at the edges of the program (the window
// toolkit, the host database, Linux file names, the console and source literals).
//
// glibc's iconv "CP932" does the work: it agrees with Windows' own table on the characters the program
// meets (表 95 5C, ～ 81 60, ① 87 40, 髙 FB FC). A character that has no form in the target code page is an
// error: the functions answer false and never substitute '?'.
#pragma once

#include <string>
#include <string_view>

namespace win32 {

bool Cp932ToUtf8(std::string_view cp932, std::string* utf8);
bool Utf8ToCp932(std::string_view utf8, std::string* cp932);

// Names the first character of a UTF-8 text that has no code page 932 form, for a one-line message:
// "'𠮷' (U+20BB7)", or "byte 0xFF" where the text is not UTF-8 at all. Empty when the whole text converts.
std::string FirstWithoutCp932Form(std::string_view utf8);

// For texts known to convert (program literals); a text that does not convert is a programming error
// and aborts.
std::string Sjis(std::string_view utf8_literal);
// For display on the console: bytes that do not convert are shown as '?'.
std::string ToUtf8Lossy(std::string_view cp932);

}  // namespace win32
