// The conversions take a table path for ASCII and two-byte characters and
// iconv for everything else; both must give iconv's own answer.
#include <gtest/gtest.h>

#include <string>

#include "base/iconv_converter.h"
#include "runtime/encoding.h"
#include "runtime/heap.h"

namespace {

// iconv on input it accepts whole; empty when it refuses any of it.
std::string iconvWhole(const char* to, const char* from, const std::string& in) {
  return base::Converter(to, from).convert(in).value_or("");
}

std::string pair(unsigned lead, unsigned trail) {
  return std::string{static_cast<char>(lead), static_cast<char>(trail)};
}

TEST(EncodingTest, EveryTwoByteCharacterConvertsAsIconvConvertsIt) {
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      std::string gb = "a";
      gb += pair(lead, trail);
      gb += 'z';
      std::string utf8 = iconvWhole("UTF-8", "GB18030", gb);
      ASSERT_FALSE(utf8.empty()) << std::hex << lead << " " << trail;
      ASSERT_EQ(rt::gbToUtf8(gb), utf8) << std::hex << lead << " " << trail;
      ASSERT_EQ(rt::utf8ToGb(utf8), iconvWhole("GB18030", "UTF-8", utf8)) << std::hex << lead << " " << trail;
      std::string utf16 = iconvWhole("UTF-16LE", "GB18030", gb);
      std::u16string units = rt::gbToUtf16(gb);
      ASSERT_EQ(std::string(reinterpret_cast<const char*>(units.data()), units.size() * 2), utf16);
      ASSERT_EQ(rt::utf16ToGb(units), iconvWhole("GB18030", "UTF-16LE", utf16));
    }
  }
}

TEST(EncodingTest, FourByteAndOutsideThePlaneCharactersKeepTheirBytes) {
  // 䶮 (four bytes in GB18030) and U+20000 (outside the basic plane) beside ASCII and two-byte text.
  const std::string utf8 = "张\xE4\xB6\xAE 1 \xF0\xA0\x80\x80 号";
  std::string gb = rt::utf8ToGb(utf8);
  EXPECT_EQ(gb, iconvWhole("GB18030", "UTF-8", utf8));
  EXPECT_EQ(rt::gbToUtf8(gb), utf8);
  std::u16string units = rt::gbToUtf16(gb);
  EXPECT_EQ(units, u"张\u4DAE 1 \U00020000 号");
  EXPECT_EQ(rt::utf16ToGb(units), gb);
}

TEST(EncodingTest, InvalidInputIsReplacedNeverDropped) {
  // A lead byte at the end, a lead byte before a byte that cannot follow it, the bytes 0x80 and 0xFF.
  EXPECT_EQ(rt::gbToUtf8("ab\x81"), "ab\xEF\xBF\xBD");
  EXPECT_EQ(rt::gbToUtf8("\x81\x20x"), "\xEF\xBF\xBD x");
  EXPECT_EQ(rt::gbToUtf8("\x80\xFF"), "\xEF\xBF\xBD\xEF\xBF\xBD");
  // Overlong forms, an encoded surrogate and a cut-off character in UTF-8.
  EXPECT_EQ(rt::utf8ToGb("a\xC0\x80"), "a??");
  EXPECT_EQ(rt::utf8ToGb("\xED\xA0\x80!"), std::string("???") + "!");
  EXPECT_EQ(rt::utf8ToGb("张\xE5\xBC"), rt::utf8ToGb("张") + "??");
  // A lone surrogate in UTF-16.
  EXPECT_EQ(rt::utf16ToGb(std::u16string(u"a") + char16_t(0xD800) + u"b"), "a?b");
}

// New runtime texts are converted straight into their blocks: long ASCII
// runs, Chinese runs, an overlong three-byte form of a character that has a
// pair (U+00B7) and cut-off characters must come out as iconv has them.
TEST(EncodingTest, NewTextsFromUtf8AreWhatIconvGives) {
  EXPECT_EQ(rt::newTextFromUtf8(""), nullptr);
  const std::string samples[] = {
      "110101199001011234",
      "河北省石家庄市长安区建设北大街1号院3单元502室",
      "C1 2025年1月1日 京B1023学 abcdefghijklmnopqrstuvwxyz",
      "\xC2\xB7 \xE0\x82\xB7 x",
      "张三\xE5\xBC",
      "12345678\xE4",
  };
  for (const std::string& utf8 : samples) {
    char* text = rt::newTextFromUtf8(utf8);
    ASSERT_NE(text, nullptr) << utf8;
    std::string expected = rt::utf8ToGb(utf8);
    EXPECT_EQ(std::string(text), expected) << utf8;
    std::string whole = iconvWhole("GB18030", "UTF-8", utf8);  // empty for the invalid samples
    if (!whole.empty()) { EXPECT_EQ(expected, whole) << utf8; }
    rt::Free(text);
  }
  EXPECT_EQ(rt::utf8ToGb("\xE0\x82\xB7"), "???");
}

TEST(EncodingTest, AsciiAndNulBytesPassUnchanged) {
  const std::string text("id\0 1\x7F", 6);
  EXPECT_EQ(rt::gbToUtf8(text), text);
  EXPECT_EQ(rt::utf8ToGb(text), text);
  EXPECT_EQ(rt::utf8ToGb(std::string("张\0三", 7)), rt::utf8ToGb("张") + std::string(1, '\0') + rt::utf8ToGb("三"));
  EXPECT_EQ(rt::gbToUtf8(""), "");
}

}  // namespace
