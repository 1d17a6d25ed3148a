// The full-width mapping from an explicit table of Windows' own code page 932 bytes (ASCII and
// half-width katakana to their double-byte forms, and the composed voiced kana). A table rather than a
// converter: the library converters differ from Windows on '"' and '\'' (EE FC / EE FB instead of
// FA 57 / FA 56) and turn lone sound marks and ﾜﾞ into characters code page 932 does not have.
#include "win32/lcmap.h"

#include <cstring>

#include "win32/last_error.h"
#include "win32/mbcs.h"

namespace win32 {

namespace {

// ASCII 0x20-0x7E, as the two bytes of the full-width form.
constexpr unsigned short kAscii[95] = {
    0x8140, 0x8149, 0xFA57, 0x8194, 0x8190, 0x8193, 0x8195, 0xFA56,  // blank ! " # $ % & '
    0x8169, 0x816A, 0x8196, 0x817B, 0x8143, 0x817C, 0x8144, 0x815E,  // ( ) * + , - . /
    0x824F, 0x8250, 0x8251, 0x8252, 0x8253, 0x8254, 0x8255, 0x8256,  // 0-7
    0x8257, 0x8258, 0x8146, 0x8147, 0x8183, 0x8181, 0x8184, 0x8148,  // 8 9 : ; < = > ?
    0x8197, 0x8260, 0x8261, 0x8262, 0x8263, 0x8264, 0x8265, 0x8266,  // @ A-G
    0x8267, 0x8268, 0x8269, 0x826A, 0x826B, 0x826C, 0x826D, 0x826E,  // H-O
    0x826F, 0x8270, 0x8271, 0x8272, 0x8273, 0x8274, 0x8275, 0x8276,  // P-W
    0x8277, 0x8278, 0x8279, 0x816D, 0x815F, 0x816E, 0x814F, 0x8151,  // X Y Z [ \ ] ^ _
    0x814D, 0x8281, 0x8282, 0x8283, 0x8284, 0x8285, 0x8286, 0x8287,  // ` a-g
    0x8288, 0x8289, 0x828A, 0x828B, 0x828C, 0x828D, 0x828E, 0x828F,  // h-o
    0x8290, 0x8291, 0x8292, 0x8293, 0x8294, 0x8295, 0x8296, 0x8297,  // p-w
    0x8298, 0x8299, 0x829A, 0x816F, 0x8162, 0x8170, 0x8160,          // x y z { | } ~
};

// Half-width katakana 0xA1-0xDF.
constexpr unsigned short kKana[63] = {
    0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340,          // ｡ ｢ ｣ ､ ･ ｦ ｧ
    0x8342, 0x8344, 0x8346, 0x8348, 0x8383, 0x8385, 0x8387, 0x8362,  // ｨ ｩ ｪ ｫ ｬ ｭ ｮ ｯ
    0x815B, 0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834A, 0x834C,  // ｰ ｱ ｲ ｳ ｴ ｵ ｶ ｷ
    0x834E, 0x8350, 0x8352, 0x8354, 0x8356, 0x8358, 0x835A, 0x835C,  // ｸ ｹ ｺ ｻ ｼ ｽ ｾ ｿ
    0x835E, 0x8360, 0x8363, 0x8365, 0x8367, 0x8369, 0x836A, 0x836B,  // ﾀ ﾁ ﾂ ﾃ ﾄ ﾅ ﾆ ﾇ
    0x836C, 0x836D, 0x836E, 0x8371, 0x8374, 0x8377, 0x837A, 0x837D,  // ﾈ ﾉ ﾊ ﾋ ﾌ ﾍ ﾎ ﾏ
    0x837E, 0x8380, 0x8381, 0x8382, 0x8384, 0x8386, 0x8388, 0x8389,  // ﾐ ﾑ ﾒ ﾓ ﾔ ﾕ ﾖ ﾗ
    0x838A, 0x838B, 0x838C, 0x838D, 0x838F, 0x8393, 0x814A, 0x814B,  // ﾘ ﾙ ﾚ ﾛ ﾜ ﾝ ﾞ ﾟ
};

constexpr unsigned char kVoicedMark = 0xDE;
constexpr unsigned char kSemiVoicedMark = 0xDF;

// The composed form of kana + mark, or 0 when code page 932 has none. In the full-width block the voiced
// form of ｶ-ﾄ and ﾊ-ﾎ follows the plain one directly, and the semi-voiced form of ﾊ-ﾎ follows that.
unsigned short Compose(unsigned char kana, unsigned char mark) {
  if (mark == kVoicedMark) {
    if (kana == 0xB3) return 0x8394;  // ｳﾞ -> ヴ
    if ((kana >= 0xB6 && kana <= 0xC4) || (kana >= 0xCA && kana <= 0xCE)) return kKana[kana - 0xA1] + 1;
  } else if (mark == kSemiVoicedMark) {
    if (kana >= 0xCA && kana <= 0xCE) return kKana[kana - 0xA1] + 2;
  }
  return 0;
}

void Put(unsigned short code, std::string* out) {
  out->push_back(static_cast<char>(code >> 8));
  out->push_back(static_cast<char>(code & 0xFF));
}

}  // namespace

LCID GetSystemDefaultLCID() { return LANG_JAPANESE_DEFAULT; }

std::string ToFullWidth(std::string_view in) {
  std::string out;
  out.reserve(in.size() * 2);
  for (std::size_t i = 0; i < in.size();) {
    const auto c = static_cast<unsigned char>(in[i]);
    if (IsLeadByte(c) && i + 1 < in.size()) {
      out.append(in.substr(i, 2));
      i += 2;
    } else if (c >= 0x20 && c <= 0x7E) {
      Put(kAscii[c - 0x20], &out);
      ++i;
    } else if (c >= 0xA1 && c <= 0xDF) {
      const unsigned short composed =
          i + 1 < in.size() ? Compose(c, static_cast<unsigned char>(in[i + 1])) : 0;
      if (composed != 0) {
        Put(composed, &out);
        i += 2;
      } else {
        Put(kKana[c - 0xA1], &out);
        ++i;
      }
    } else {
      out.push_back(static_cast<char>(c));
      ++i;
    }
  }
  return out;
}

int LCMapStringA(LCID locale, DWORD flags, const char* src, int cch_src, char* dst, int cch_dest) {
  if (flags != LCMAP_FULLWIDTH) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  if (src == nullptr || cch_src == 0 || cch_src < -1 || cch_dest < 0 || (cch_dest > 0 && dst == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // With -1 the terminating NUL is part of the text and maps to itself.
  const std::size_t length = cch_src == -1 ? std::strlen(src) + 1 : static_cast<std::size_t>(cch_src);
  const std::string mapped = ToFullWidth(std::string_view(src, length));
  if (cch_dest == 0) {
    SetLastError(0);
    return static_cast<int>(mapped.size());
  }
  if (mapped.size() > static_cast<std::size_t>(cch_dest)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(dst, mapped.data(), mapped.size());
  SetLastError(0);
  return static_cast<int>(mapped.size());
}

}  // namespace win32
