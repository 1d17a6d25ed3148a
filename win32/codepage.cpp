// iconv-based conversions between code page 932 and UTF-8.
#include "win32/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace win32 {

namespace {
// One converter per direction and thread, opened on first use: opening one costs more than converting a
// short text.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

bool Convert(const Converter& converter, std::string_view in, std::string* out) {
  if (!converter.ok()) return false;
  iconv_t cd = converter.get();
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
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
  if (!ok) return false;
  result.resize(result.size() - outleft);
  *out = std::move(result);
  return true;
}
}  // namespace

bool Cp932ToUtf8(std::string_view cp932, std::string* utf8) {
  // A NUL inside the text is kept as NUL.
  thread_local const Converter converter("UTF-8", "CP932");
  return Convert(converter, cp932, utf8);
}

bool Utf8ToCp932(std::string_view utf8, std::string* cp932) {
  thread_local const Converter converter("CP932", "UTF-8");
  return Convert(converter, utf8, cp932);
}

std::string FirstWithoutCp932Form(std::string_view utf8) {
  std::string converted;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    char text[32];
    std::snprintf(text, sizeof text, "byte 0x%02X", lead);
    const std::string bad_byte = text;
    std::size_t len = 0;
    if (lead < 0x80) {
      len = 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      len = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      len = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      len = 4;
    }
    if (len == 0 || i + len > utf8.size()) return bad_byte;
    std::uint32_t code = len == 1 ? lead : lead & (0x7Fu >> len);
    for (std::size_t k = 1; k < len; ++k) {
      const auto c = static_cast<unsigned char>(utf8[i + k]);
      if ((c & 0xC0u) != 0x80u) return bad_byte;
      code = (code << 6) | (c & 0x3Fu);
    }
    const std::string_view one = utf8.substr(i, len);
    if (!Utf8ToCp932(one, &converted)) {
      // An overlong form or a surrogate is no UTF-8 character either.
      const bool overlong = (len == 3 && code < 0x800) || (len == 4 && code < 0x10000);
      if (overlong || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return bad_byte;
      std::snprintf(text, sizeof text, "' (U+%04X)", static_cast<unsigned>(code));
      return "'" + std::string(one) + text;
    }
    i += len;
  }
  return {};
}

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
