// Code page 932 byte classes and the multibyte helpers.
#include "win32/mbcs.h"

#include <gtest/gtest.h>

#include <cstring>

#include "win32/codepage.h"
#include "win32/crt.h"

using namespace win32;

TEST(MbcsTest, TrailBytesThatLookLikeSeparatorsAreNotSeparators) {
  const std::string hyo = Sjis("表");  // 95 5C
  ASSERT_EQ(hyo, "\x95\x5C");
  const std::string path = "C:\\" + hyo + "\\" + Sjis("ソ") + "x";  // ソ 83 5C
  EXPECT_EQ(MbsRChr(path, '\\'), 5u);
  EXPECT_EQ(MbsChr(hyo, '\\'), std::string::npos);
  EXPECT_TRUE(IsTrailPosition(path, 4));
  EXPECT_FALSE(IsTrailPosition(path, 5));
  EXPECT_EQ(MbsChr(path, 0x955Cu), 3u);  // a double-byte character is found whole
}

TEST(MbcsTest, CopyNeverSplitsACharacter) {
  char d[8];
  std::memset(d, 'X', sizeof d);
  MbsnbCpy(d, "ab\x82\xA0", 3);
  EXPECT_EQ(std::string(d, 3), std::string("ab\0", 3));
  std::memset(d, 'X', sizeof d);
  MbsnbCpy(d, "ab", 5);
  EXPECT_EQ(std::string(d, 6), std::string("ab\0\0\0X", 6));
  std::memset(d, 'X', sizeof d);
  MbsnbCpy(d, "abcd", 4);
  EXPECT_EQ(std::string(d, 5), "abcdX");  // no terminator when the source fills n bytes
  std::memset(d, 'X', sizeof d);
  MbsnbCpy(d, "a\x82", 4);  // a lead byte followed by the end
  EXPECT_EQ(std::string(d, 5), std::string("a\0\0\0X", 5));
  EXPECT_EQ(CutAtCharBoundary("a\x82\xA0\x82\xA2", 4), "a\x82\xA0");
  EXPECT_EQ(CutAtCharBoundary("abc", 10), "abc");
}

TEST(MbcsTest, CaseInsensitiveComparisonFoldsAsciiAndFullWidthLatin) {
  EXPECT_EQ(MbsICmp("C:\\Data", "c:\\DATA"), 0);
  EXPECT_EQ(MbsICmp(Sjis("ａｂ"), Sjis("ＡＢ")), 0);
  EXPECT_EQ(MbsICmp("a", "b"), -1);
  EXPECT_EQ(MbsICmp("b", "a"), 1);
  EXPECT_EQ(MbsICmp("ab", "a"), 1);
  EXPECT_EQ(MbsnbICmp("abcX", "ABCY", 3), 0);
  EXPECT_EQ(MbsnbICmp("x", "y", 0), 0);
  // A lead byte that is the n-th byte ends the comparison.
  EXPECT_EQ(MbsnbICmp("a\x82\xA0", "a\x82\xA2", 2), 0);
}

TEST(MbcsTest, ConversionsRefuseWhatHasNoForm) {
  std::string out;
  EXPECT_TRUE(Utf8ToCp932("～①髙＂", &out));
  EXPECT_EQ(out, "\x81\x60\x87\x40\xFB\xFC\xFA\x57");
  EXPECT_FALSE(Utf8ToCp932("\xF0\x9F\x98\x80", &out));  // an emoji
  EXPECT_FALSE(Cp932ToUtf8("\x82", &out));              // a lone lead byte
  EXPECT_EQ(ToUtf8Lossy("a\x82"), "a?");
}

TEST(CrtTest, AtolSkipsBlanksTakesASignAndSaturates) {
  EXPECT_EQ(Atol("  +2x"), 2);
  EXPECT_EQ(Atol("\t-17"), -17);
  EXPECT_EQ(Atol("abc"), 0);
  EXPECT_EQ(Atol(""), 0);
  EXPECT_EQ(Atol("2147483647"), INT32_MAX);
  EXPECT_EQ(Atol("-2147483648"), INT32_MIN);
  EXPECT_EQ(Atol("2147483648"), INT32_MAX);
  EXPECT_EQ(Atol("4294967297"), INT32_MAX);
  EXPECT_EQ(Atol("-4294967297"), INT32_MIN);
  EXPECT_EQ(Atol("-" + std::string(40, '9') + "x"), INT32_MIN);
  EXPECT_EQ(Atol("\x81\x40"
                 "5"),
            0);  // the full-width blank is not a blank
}
