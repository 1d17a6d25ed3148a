// The code page 932 conversions and the multibyte helpers: code page 932 that converts gives valid UTF-8
// that converts back to the same characters (a second round trip changes nothing, as a few codes have
// duplicates); the lossy form equals the strict one when that succeeds; a cut never splits a character
// and is as long as allowed; MbsnbCpy fills exactly n bytes, copies a prefix of the source, never leaves
// a lone lead byte and pads with NULs; character searches and case-blind comparisons are consistent.
//
// Input: byte 0 = n for the cut and the copy, byte 1 = the character searched for (with byte 2 when
// byte 1 is a lead byte). The rest is the text; its two halves are compared.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "win32/codepage.h"
#include "win32/mbcs.h"

namespace {

using fuzz::Check;

bool IsValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t len;
    std::uint32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + len > s.size()) return false;
    for (std::size_t k = 1; k < len; ++k) {
      const auto t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += len;
  }
  return true;
}

void CheckConversions(std::string_view text) {
  std::string utf8;
  const bool ok = win32::Cp932ToUtf8(text, &utf8);
  if (ok) {
    Check(IsValidUtf8(utf8));
    Check(win32::ToUtf8Lossy(text) == utf8);
    std::string back;
    Check(win32::Utf8ToCp932(utf8, &back));
    std::string utf8_again;
    Check(win32::Cp932ToUtf8(back, &utf8_again));
    Check(utf8_again == utf8);
    std::string back_again;
    Check(win32::Utf8ToCp932(utf8_again, &back_again) && back_again == back);
  } else {
    // The lossy form stands in '?' for what does not convert, and is valid all the same.
    Check(IsValidUtf8(win32::ToUtf8Lossy(text)));
  }
  // The same bytes read as UTF-8: what converts comes back to the same code page 932 bytes after one
  // more round.
  std::string cp932;
  if (win32::Utf8ToCp932(text, &cp932)) {
    std::string utf8_of;
    Check(win32::Cp932ToUtf8(cp932, &utf8_of));
    std::string cp932_again;
    Check(win32::Utf8ToCp932(utf8_of, &cp932_again) && cp932_again == cp932);
  }
}

void CheckCut(std::string_view text, std::size_t n) {
  const std::string cut = win32::CutAtCharBoundary(text, n);
  Check(cut.size() <= n && text.substr(0, cut.size()) == cut);
  if (cut.size() < text.size()) {
    Check(!win32::IsTrailPosition(text, cut.size()));
    Check(cut.size() + win32::CharLenAt(text, cut.size()) > n);
  }
}

void CheckCopy(const std::string& text, std::size_t n) {
  const char* src = text.c_str();
  const std::size_t src_len = std::strlen(src);
  // Exactly n bytes, so that a byte past them is seen.
  std::unique_ptr<char[]> dst(new char[n == 0 ? 1 : n]);
  std::memset(dst.get(), 0x5A, n == 0 ? 1 : n);
  Check(win32::MbsnbCpy(dst.get(), src, n) == dst.get());
  if (n == 0) {
    Check(dst[0] == 0x5A);
    return;
  }
  const std::size_t copied = strnlen(dst.get(), n);
  Check(copied <= src_len && std::memcmp(dst.get(), src, copied) == 0);
  for (std::size_t i = copied; i < n; ++i) Check(dst[i] == '\0');
  const std::string_view out(dst.get(), copied);
  if (copied > 0) {
    const std::size_t last = copied - 1;
    Check(!(win32::IsLeadByte(static_cast<unsigned char>(out[last])) && !win32::IsTrailPosition(out, last)));
    // Copied characters are whole characters of the source.
    Check(!win32::IsTrailPosition(std::string_view(src, src_len), copied));
  }
  if (copied < n && copied < src_len) {
    // Stopped early only before a character that would be split or that has no second byte.
    Check(win32::IsLeadByte(static_cast<unsigned char>(src[copied])));
    Check(copied + 1 >= n || src[copied + 1] == '\0');
  }
}

void CheckSearch(std::string_view text, unsigned int c) {
  const std::size_t first = win32::MbsChr(text, c);
  const std::size_t last = win32::MbsRChr(text, c);
  Check((first == std::string_view::npos) == (last == std::string_view::npos));
  if (first == std::string_view::npos) return;
  Check(first <= last);
  for (const std::size_t at : {first, last}) {
    Check(!win32::IsTrailPosition(text, at));
    const std::size_t len = win32::CharLenAt(text, at);
    const unsigned int found =
        len == 2 ? (static_cast<unsigned char>(text[at]) << 8) | static_cast<unsigned char>(text[at + 1])
                 : static_cast<unsigned char>(text[at]);
    Check(found == c);
  }
}

void CheckCompare(std::string_view a, std::string_view b, std::size_t n) {
  Check(win32::MbsICmp(a, a) == 0);
  const int ab = win32::MbsICmp(a, b);
  Check(ab >= -1 && ab <= 1 && ab == -win32::MbsICmp(b, a));
  const int nab = win32::MbsnbICmp(a, b, n);
  Check(nab == -win32::MbsnbICmp(b, a, n));
  // Texts equal without regard to case are equal on any first n bytes.
  if (ab == 0) Check(nab == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t n = data[0];
  unsigned int c = data[1];
  std::size_t head = 2;
  if (win32::IsLeadByte(static_cast<unsigned char>(c)) && size > 2) {
    c = (c << 8) | data[2];
    head = 3;
  }
  const std::string text(reinterpret_cast<const char*>(data + head), size - head);

  CheckConversions(text);
  CheckCut(text, n);
  CheckCopy(text, n);
  CheckSearch(text, c);
  const std::string_view all(text);
  CheckCompare(all.substr(0, all.size() / 2), all.substr(all.size() / 2), n);
  return 0;
}
