// The full-width mapping of code page 932 texts.
#include "win32/lcmap.h"

#include <gtest/gtest.h>

#include <string>

#include "win32/codepage.h"

namespace {

using namespace win32;

// The UTF-8 form of one code point.
std::string Utf8Of(char32_t c) {
  std::string s;
  if (c < 0x80) {
    s += static_cast<char>(c);
  } else if (c < 0x800) {
    s += static_cast<char>(0xC0 | (c >> 6));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    s += static_cast<char>(0xE0 | (c >> 12));
    s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  }
  return s;
}

TEST(LcmapTest, AsciiBecomesTheFullWidthForms) {
  // Checked through the system's code page 932 decoder: every printable ASCII character comes out as
  // U+FF01..U+FF5E, the blank as the ideographic space.
  for (int c = 0x20; c <= 0x7E; ++c) {
    const std::string out = ToFullWidth(std::string(1, static_cast<char>(c)));
    ASSERT_EQ(out.size(), 2u) << c;
    std::string utf8;
    ASSERT_TRUE(Cp932ToUtf8(out, &utf8)) << c;
    EXPECT_EQ(utf8, Utf8Of(c == 0x20 ? U'\u3000' : static_cast<char32_t>(c + 0xFEE0))) << c;
  }
  // Windows' own bytes where code page 932 has two codes for one character.
  EXPECT_EQ(ToFullWidth("\"'"), "\xFA\x57\xFA\x56");
  EXPECT_EQ(ToFullWidth("~-\\"), "\x81\x60\x81\x7C\x81\x5F");
}

TEST(LcmapTest, HalfWidthKatakanaBecomeFullWidth) {
  EXPECT_EQ(ToFullWidth(Sjis("｡｢｣､･ｦｧｨｩｪｫｬｭｮｯｰｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜﾝ")),
            Sjis("。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘ"
                 "ホマミムメモヤユヨラリルレロワン"));
  // Voiced and semi-voiced marks compose where code page 932 has the character.
  EXPECT_EQ(ToFullWidth(Sjis("ｶﾞｷﾞｸﾞｹﾞｺﾞｻﾞｼﾞｽﾞｾﾞｿﾞﾀﾞﾁﾞﾂﾞﾃﾞﾄﾞﾊﾞﾋﾞﾌﾞﾍﾞﾎﾞﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟｳﾞ")),
            Sjis("ガギグゲゴザジズゼゾダヂヅデドバビブベボパピプペポヴ"));
  // Elsewhere each byte is mapped on its own; a lone mark is the spacing mark.
  EXPECT_EQ(ToFullWidth(Sjis("ﾜﾞｦﾞｱﾟﾞﾟ")), Sjis("ワ゛ヲ゛ア゜゛゜"));
  EXPECT_EQ(ToFullWidth(Sjis("ｶﾞﾞ")), Sjis("ガ゛"));
}

TEST(LcmapTest, DoubleByteAndOtherBytesPassUnchanged) {
  const std::string kanji = Sjis("表ソ能①髙＂科目");  // trail bytes 0x5C, 0x40 and others
  EXPECT_EQ(ToFullWidth(kanji), kanji);
  EXPECT_EQ(ToFullWidth(std::string("\t\x7F\x80\xA0\xFD", 5)), std::string("\t\x7F\x80\xA0\xFD", 5));
  EXPECT_EQ(ToFullWidth("\x95"), "\x95");  // a lead byte without its trail byte
  EXPECT_EQ(ToFullWidth(Sjis("ｱｲｳABCabc")), Sjis("アイウＡＢＣａｂｃ"));
}

TEST(LcmapTest, SizesFollowTheWindowsCall) {
  const std::string text = Sjis("aｱ");
  const char* src = text.c_str();
  char out[16] = {};
  // -1: the NUL is mapped and counted.
  EXPECT_EQ(LCMapStringA(GetSystemDefaultLCID(), LCMAP_FULLWIDTH, src, -1, nullptr, 0), 5);
  EXPECT_EQ(LCMapStringA(GetSystemDefaultLCID(), LCMAP_FULLWIDTH, src, -1, out, sizeof out), 5);
  EXPECT_EQ(std::string(out, 5), std::string("\x82\x81\x83\x41\0", 5));
  EXPECT_EQ(LCMapStringA(GetSystemDefaultLCID(), LCMAP_FULLWIDTH, src, 1, out, sizeof out), 2);
  // Too small: nothing but the error.
  char small[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(LCMapStringA(GetSystemDefaultLCID(), LCMAP_FULLWIDTH, src, -1, small, 4), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(std::string(small, 4), "xxxx");
  EXPECT_EQ(LCMapStringA(GetSystemDefaultLCID(), LCMAP_FULLWIDTH | LCMAP_HALFWIDTH, src, -1, out, 16), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FLAGS);
  EXPECT_EQ(LCMapStringA(GetSystemDefaultLCID(), LCMAP_FULLWIDTH, src, 0, out, 16), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(LCMapStringA(GetSystemDefaultLCID(), LCMAP_FULLWIDTH, nullptr, -1, out, 16), 0);
  // Twice the input and its NUL is always enough.
  const std::string all = [] {
    std::string s;
    for (int c = 0x20; c <= 0xDF; ++c) s += static_cast<char>(c);
    return s;
  }();
  std::string room(2 * (all.size() + 1), '\0');
  EXPECT_GT(LCMapStringA(GetSystemDefaultLCID(), LCMAP_FULLWIDTH, all.c_str(), -1, room.data(),
                         static_cast<int>(room.size())),
            0);
}

}  // namespace
