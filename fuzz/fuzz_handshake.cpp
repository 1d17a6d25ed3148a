// The hand-shake as it enters: any bytes of the UTF-8 command line either convert to code page 932 (and
// then no character is named as lacking a form) or do not (and then one is named); a converted text
// parses without reading or writing outside a buffer; a parsed hand-shake always had three commas; its
// fixed path is the converted text after the third comma; and its numbers are the C runtime's decimal
// conversion saturated at 32 bits, the function id keeping the low 16 bits of that.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/link_app.h"
#include "fuzz/fuzz_support.h"
#include "win32/codepage.h"

namespace {

using fuzz::Check;

// The decimal value of a field as the runtime reads it, saturated at 32 bits: written independently of
// win32::Atol (blanks, a sign, digits; the magnitude counted in digits beyond the tenth).
std::int64_t Decimal(std::string_view s) {
  std::size_t i = s.find_first_not_of(" \t\n\v\f\r");
  if (i == std::string_view::npos) return 0;
  const bool negative = s[i] == '-';
  if (s[i] == '+' || s[i] == '-') ++i;
  while (i < s.size() && s[i] == '0') ++i;
  std::size_t end = i;
  while (end < s.size() && s[end] >= '0' && s[end] <= '9') ++end;
  if (end - i > 10) return negative ? INT32_MIN : INT32_MAX;
  std::int64_t value = end == i ? 0 : std::stoll(std::string(s.substr(i, end - i)));
  if (negative) value = -value;
  return value < INT32_MIN ? INT32_MIN : value > INT32_MAX ? INT32_MAX : value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string utf8(reinterpret_cast<const char*>(data), size);
  utf8 = utf8.c_str();  // the command line is a NUL-terminated text

  std::string text;
  const bool converted = win32::Utf8ToCp932(utf8, &text);
  Check(converted == win32::FirstWithoutCp932Form(utf8).empty());
  if (!converted) return 0;
  // The code page 932 form reads back as itself.
  std::string back, again;
  Check(win32::Cp932ToUtf8(text, &back) && win32::Utf8ToCp932(back, &again) && again == text);

  ClLinkApp app(res::Edition(res::EditionId::kHalvorack));
  const int found = app.ParseCommandLine(text.c_str());
  std::size_t commas[3] = {};
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size() && seen < 3; ++i)
    if (text[i] == ',') commas[seen++] = i;
  Check((found == 1) == (seen == 3));
  if (found == 0) return 0;
  const std::string_view t(text);
  Check(app.m_hStarterWnd == static_cast<std::uint32_t>(Decimal(t.substr(0, commas[0]))));
  Check(app.m_nNotifyMsg ==
        static_cast<std::uint32_t>(Decimal(t.substr(commas[0] + 1, commas[1] - commas[0] - 1))));
  Check(app.m_nFunctionId ==
        static_cast<std::int16_t>(Decimal(t.substr(commas[1] + 1, commas[2] - commas[1] - 1)) & 0xFFFF));
  Check(app.m_strFixedOutputPath == t.substr(commas[2] + 1));
  return 0;
}
