// Code page 932 byte classes and the multibyte string helpers of the C runtime.
//
// Every text of the program is a byte string in code page 932. A lead byte (0x81-0x9F, 0xE0-0xFC) and
// the byte after it form one character; the trail byte may be 0x5C or 0x7C and is never a backslash or a
// vertical bar of its own. Half-width katakana (0xA1-0xDF) are single bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace win32 {

bool IsLeadByte(unsigned char c);   // _ismbblead
bool IsTrailByte(unsigned char c);  // _ismbbtrail
bool IsKanaByte(unsigned char c);   // _ismbbkana

// Byte length of the character that starts at s[i] (1 or 2; 1 for a lead byte at the end of s).
std::size_t CharLenAt(std::string_view s, std::size_t i);

// True when byte i of s is the second byte of a double-byte character (scanning from the start).
bool IsTrailPosition(std::string_view s, std::size_t i);

// _mbsnbcpy: copies exactly n bytes into dst, never splits a character (the position of a lead byte
// that would be split becomes NUL), pads with NULs when src is shorter, and writes no terminator when
// src fills all n bytes.
char* MbsnbCpy(char* dst, const char* src, std::size_t n);

// Cuts s to at most max_bytes bytes without splitting a double-byte character.
std::string CutAtCharBoundary(std::string_view s, std::size_t max_bytes);

// _mbschr / _mbsrchr over whole characters; npos when absent.
std::size_t MbsChr(std::string_view s, unsigned int c);
std::size_t MbsRChr(std::string_view s, unsigned int c);

// _mbsicmp / _mbsnbicmp: -1, 0 or +1; ASCII letters and full-width Latin letters folded.
int MbsICmp(std::string_view a, std::string_view b);
int MbsnbICmp(std::string_view a, std::string_view b, std::size_t n);

}  // namespace win32
