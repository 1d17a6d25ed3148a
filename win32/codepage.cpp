// iconv-based conversions between code page 932 and UTF-8.
#include "win32/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace win32 {

namespace {
bool Convert(const char* to, const char* from, std::string_view in, std::string* out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string result;
  result.resize(in.size() * 4 + 16);
  char* inbuf = const_cast<char*>(in.data());
  std::size_t inleft = in.size();
  char* outbuf = result.data();
  std::size_t outleft = result.size();
  bool ok = true;
  while (inleft > 0) {
    if (iconv(cd, &inbuf, &inleft, &outbuf, &outleft) == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) {
        std::size_t used = result.size() - outleft;
        result.resize(result.size() * 2);
        outbuf = result.data() + used;
        outleft = result.size() - used;
        continue;
      }
      ok = false;
      break;
    }
  }
  if (ok && iconv(cd, nullptr, nullptr, &outbuf, &outleft) == static_cast<std::size_t>(-1)) ok = false;
  iconv_close(cd);
  if (!ok) return false;
  result.resize(result.size() - outleft);
  *out = std::move(result);
  return true;
}
}  // namespace

bool Cp932ToUtf8(std::string_view cp932, std::string* utf8) {
  // A NUL inside the text is kept as NUL.
  return Convert("UTF-8", "CP932", cp932, utf8);
}

bool Utf8ToCp932(std::string_view utf8, std::string* cp932) { return Convert("CP932", "UTF-8", utf8, cp932); }

std::string Sjis(std::string_view utf8_literal) {
  std::string out;
  if (!Utf8ToCp932(utf8_literal, &out)) {
    std::fprintf(stderr, "internal error: literal has no code page 932 form\n");
    std::abort();
  }
  return out;
}

std::string ToUtf8Lossy(std::string_view cp932) {
  std::string out;
  if (Cp932ToUtf8(cp932, &out)) return out;
  out.clear();
  for (std::size_t i = 0; i < cp932.size();) {
    std::size_t len =
        (i + 1 < cp932.size() &&
         ((static_cast<unsigned char>(cp932[i]) >= 0x81 && static_cast<unsigned char>(cp932[i]) <= 0x9F) ||
          (static_cast<unsigned char>(cp932[i]) >= 0xE0 && static_cast<unsigned char>(cp932[i]) <= 0xFC)))
            ? 2
            : 1;
    std::string piece;
    if (Cp932ToUtf8(cp932.substr(i, len), &piece))
      out += piece;
    else
      out += '?';
    i += len;
  }
  return out;
}

}  // namespace win32
