// Code page 932 byte classes and multibyte helpers, as the C runtime of a Japanese Windows gives them.
#include "win32/mbcs.h"

#include <cstring>

namespace win32 {

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

bool IsTrailByte(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

bool IsKanaByte(unsigned char c) { return c >= 0xA1 && c <= 0xDF; }

std::size_t CharLenAt(std::string_view s, std::size_t i) {
  if (i + 1 < s.size() && IsLeadByte(static_cast<unsigned char>(s[i])) && s[i + 1] != '\0') return 2;
  return 1;
}

bool IsTrailPosition(std::string_view s, std::size_t i) {
  std::size_t p = 0;
  while (p < i) p += CharLenAt(s, p);
  return p > i;
}

char* MbsnbCpy(char* dst, const char* src, std::size_t n) {
  std::size_t i = 0;
  while (i < n && src[i] != '\0') {
    const auto c = static_cast<unsigned char>(src[i]);
    if (IsLeadByte(c)) {
      if (i + 1 >= n || src[i + 1] == '\0') {
        // A character that would be split, or a lead byte followed by the end: not copied.
        dst[i++] = '\0';
        break;
      }
      dst[i] = src[i];
      dst[i + 1] = src[i + 1];
      i += 2;
    } else {
      dst[i] = src[i];
      ++i;
    }
  }
  while (i < n) dst[i++] = '\0';
  return dst;
}

std::string CutAtCharBoundary(std::string_view s, std::size_t max_bytes) {
  std::size_t p = 0;
  while (p < s.size()) {
    std::size_t len = CharLenAt(s, p);
    if (p + len > max_bytes) break;
    p += len;
  }
  return std::string(s.substr(0, p));
}

namespace {
unsigned int CharAt(std::string_view s, std::size_t i, std::size_t len) {
  if (len == 2) return (static_cast<unsigned char>(s[i]) << 8) | static_cast<unsigned char>(s[i + 1]);
  return static_cast<unsigned char>(s[i]);
}

unsigned int FoldChar(unsigned int c) {
  if (c >= 'A' && c <= 'Z') return c + 0x20;
  if (c >= 0x8260 && c <= 0x8279) return c + 0x21;  // full-width A-Z to a-z
  return c;
}

int CompareFolded(std::string_view a, std::string_view b, std::size_t n) {
  std::size_t i = 0, j = 0;
  while (true) {
    const bool a_end = i >= a.size() || i >= n || a[i] == '\0';
    const bool b_end = j >= b.size() || j >= n || b[j] == '\0';
    if (a_end || b_end) return a_end == b_end ? 0 : (a_end ? -1 : 1);
    std::size_t la = CharLenAt(a, i), lb = CharLenAt(b, j);
    // A lead byte that is the n-th byte counts as the end of the string.
    const bool a_naked = la == 2 && i + 2 > n;
    const bool b_naked = lb == 2 && j + 2 > n;
    if (a_naked || b_naked) return a_naked == b_naked ? 0 : (a_naked ? -1 : 1);
    unsigned int ca = FoldChar(CharAt(a, i, la)), cb = FoldChar(CharAt(b, j, lb));
    if (ca != cb) return ca < cb ? -1 : 1;
    i += la;
    j += lb;
  }
}
}  // namespace

std::size_t MbsChr(std::string_view s, unsigned int c) {
  for (std::size_t i = 0; i < s.size();) {
    std::size_t len = CharLenAt(s, i);
    if (CharAt(s, i, len) == c) return i;
    i += len;
  }
  return std::string_view::npos;
}

std::size_t MbsRChr(std::string_view s, unsigned int c) {
  std::size_t found = std::string_view::npos;
  for (std::size_t i = 0; i < s.size();) {
    std::size_t len = CharLenAt(s, i);
    if (CharAt(s, i, len) == c) found = i;
    i += len;
  }
  return found;
}

int MbsICmp(std::string_view a, std::string_view b) { return CompareFolded(a, b, std::string_view::npos); }

int MbsnbICmp(std::string_view a, std::string_view b, std::size_t n) {
  if (n == 0) return 0;
  return CompareFolded(a, b, n);
}

}  // namespace win32
