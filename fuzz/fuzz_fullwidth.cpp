// The full-width mapping: valid code page 932 stays valid and keeps no half-width ASCII or katakana
// character; the size asked for is what a large enough call writes, at most twice the source; a call
// with too small a destination fails with ERROR_INSUFFICIENT_BUFFER and writes nothing; no byte past the
// mapped size (or past the destination) is ever written.
//
// Input: byte 0 = the source is NUL-terminated (cchSrc -1) when bit 7 is set; destination size = needed
// size + (bits 0-2) - 4. The rest is the source.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "win32/codepage.h"
#include "win32/lcmap.h"
#include "win32/mbcs.h"

namespace {

using fuzz::Check;

constexpr unsigned char kCanary = 0xA5;
constexpr std::size_t kSlack = 16;

// No single-byte printable ASCII or half-width katakana character is left.
void CheckAllFullWidth(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t len = win32::CharLenAt(text, i);
    if (len == 1) {
      const auto c = static_cast<unsigned char>(text[i]);
      Check(!(c >= 0x20 && c <= 0x7E) && !win32::IsKanaByte(c));
    }
    i += len;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const bool terminated = (data[0] & 0x80) != 0;
  std::string src(reinterpret_cast<const char*>(data + 1), size - 1);
  if (terminated) src = src.c_str();
  // The bytes that are mapped: with -1 the NUL is one of them.
  const std::string_view mapped_src(src.c_str(), terminated ? src.size() + 1 : src.size());
  const int cch_src = terminated ? -1 : static_cast<int>(src.size());
  const win32::DWORD flags = win32::LCMAP_FULLWIDTH;
  const win32::LCID lcid = win32::GetSystemDefaultLCID();

  const int needed = win32::LCMapStringA(lcid, flags, src.c_str(), cch_src, nullptr, 0);
  if (cch_src == 0) {
    Check(needed == 0 && win32::GetLastError() == win32::ERROR_INVALID_PARAMETER);
    return 0;
  }
  Check(win32::GetLastError() == 0);
  Check(needed >= static_cast<int>(mapped_src.size()) && needed <= 2 * static_cast<int>(mapped_src.size()));

  const std::string full = win32::ToFullWidth(mapped_src);
  Check(static_cast<int>(full.size()) == needed);
  std::string utf8;
  if (win32::Cp932ToUtf8(mapped_src, &utf8)) {
    Check(win32::Cp932ToUtf8(full, &utf8));
    CheckAllFullWidth(full);
  }
  // With -1 the result is a C text again: it ends with the source's NUL.
  if (terminated) Check(full.back() == '\0' && std::strlen(full.c_str()) + 1 == full.size());

  const int dest = needed + static_cast<int>(data[0] & 7) - 4;
  if (dest < 0) return 0;
  std::vector<unsigned char> buf(static_cast<std::size_t>(dest) + kSlack, kCanary);
  const int written =
      win32::LCMapStringA(lcid, flags, src.c_str(), cch_src, reinterpret_cast<char*>(buf.data()), dest);
  std::size_t untouched_from = 0;
  if (dest == 0) {
    Check(written == needed);  // a second size query
  } else if (dest < needed) {
    Check(written == 0 && win32::GetLastError() == win32::ERROR_INSUFFICIENT_BUFFER);
  } else {
    Check(written == needed && win32::GetLastError() == 0);
    Check(std::memcmp(buf.data(), full.data(), full.size()) == 0);
    untouched_from = full.size();
  }
  for (std::size_t i = untouched_from; i < buf.size(); ++i) Check(buf[i] == kCanary);
  return 0;
}
