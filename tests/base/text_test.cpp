// UTF-8 by hand and the iconv converter: the cases where a converter goes
// wrong are the malformed ones, so most rows here are malformed.
#include <gtest/gtest.h>

#include <string>

#include "base/gb18030.h"
#include "base/iconv_converter.h"
#include "base/text.h"
#include "base/utf8.h"

namespace {

struct Decoded {
  const char* bytes;
  char32_t codePoint;
  size_t step;  // how far the decoder moves
};

TEST(Utf8Test, DecodingTakesOnlyTheShortestFormOfACodePoint) {
  const Decoded cases[] = {
      {"A", U'A', 1},
      {"\xC3\xA9", U'é', 2},
      {"\xE4\xB8\xAD", U'中', 3},
      {"\xF0\x9F\x98\x80", U'\U0001F600', 4},
      {"\xF4\x8F\xBF\xBF", U'\U0010FFFF', 4},
      // A byte that never starts a character, alone or cut short: one byte.
      {"\x80", base::kNotUtf8, 1},
      {"\xC0\x80", base::kNotUtf8, 1},
      {"\xC1\xBF", base::kNotUtf8, 1},
      {"\xE4\xB8", base::kNotUtf8, 1},
      {"\xE4\x41\x41", base::kNotUtf8, 1},
      // F5 to FF start nothing, however many continuation bytes follow.
      {"\xF5\x80\x80\x80", base::kNotUtf8, 1},
      {"\xF8\x80\x80", base::kNotUtf8, 1},
      {"\xFF\xBF\xBF", base::kNotUtf8, 1},
      // Whole sequences that name no code point: the whole sequence.
      {"\xE0\x80\xAF", base::kNotUtf8, 3},
      {"\xED\xA0\x80", base::kNotUtf8, 3},
      {"\xF4\x90\x80\x80", base::kNotUtf8, 4},
  };
  for (const Decoded& c : cases) {
    std::string_view text = c.bytes;
    size_t at = 0;
    EXPECT_EQ(base::decodeUtf8(text, at), c.codePoint) << text;
    EXPECT_EQ(at, c.step) << text;
  }
}

TEST(Utf8Test, Utf16RoundTripsAndReplacesWhatIsNotACharacter) {
  std::string text = "a中\U0001F600é";
  std::u16string units = base::utf8ToUtf16(text);
  EXPECT_EQ(units, u"a中\U0001F600é");
  EXPECT_EQ(base::utf16Length(text), units.size());
  EXPECT_EQ(base::utf16ToUtf8(units), text);

  EXPECT_EQ(base::utf8ToUtf16("a\xF8\x80\x80z"), u"a\uFFFD\uFFFD\uFFFDz");
  EXPECT_EQ(base::utf16Length("a\xF8\x80\x80z"), 5u);
  EXPECT_EQ(base::utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD");  // a surrogate written out is one character
  EXPECT_EQ(base::utf16ToUtf8(std::u16string{u'a', char16_t(0xD800), u'b', char16_t(0xDC00)}), "a\uFFFDb\uFFFD");
}

TEST(ConverterTest, StrictConversionsRefuseWhatReplacingOnesReplace) {
  base::Converter toGb("GB18030", "UTF-8");
  ASSERT_TRUE(toGb.usable());
  EXPECT_EQ(toGb.convert("a中"), "a\xD6\xD0");
  EXPECT_EQ(toGb.convert("a\xFFz"), std::nullopt);
  EXPECT_EQ(toGb.convert("a\xE4\xB8"), std::nullopt) << "cut short at the end";
  EXPECT_EQ(toGb.convertReplacing("a\xFFz\xE4\xB8", "?", 1), "a?z??");
  // The descriptor is reset between conversions: a failed one leaves nothing behind.
  EXPECT_EQ(toGb.convert("中"), "\xD6\xD0");

  base::Converter fromUtf16("GB18030", "UTF-16LE");
  EXPECT_EQ(fromUtf16.convertReplacing(std::string("a\0\x00\xD8", 4), "?", 2), "a?") << "a high surrogate alone";

  base::Converter unknown("NO-SUCH-ENCODING", "UTF-8");
  EXPECT_FALSE(unknown.usable());
  EXPECT_EQ(unknown.convert("a"), std::nullopt);
  EXPECT_EQ(unknown.convertReplacing("a", "?", 1), "");
}

TEST(ConverterTest, OutputLongerThanOneChunkArrivesWhole) {
  std::string utf8;
  for (int i = 0; i < 3000; ++i) utf8 += "中a";
  std::optional<std::string> gb = base::utf8ToGb18030(utf8);
  ASSERT_TRUE(gb);
  EXPECT_EQ(gb->size(), 9000u);
  EXPECT_EQ(base::gb18030ToUtf8(*gb), utf8);
}

TEST(TextTest, TrimmingAndLines) {
  EXPECT_EQ(base::trimmed(" \t\v\fa b\r\n"), "a b\r\n");
  EXPECT_EQ(base::trimmed(" \t\r\v\f"), "");
  EXPECT_EQ(base::trimmedEnd("  a \r"), "  a");
  // A cell's wide spaces go too, never a character that merely ends in 0xA0.
  EXPECT_EQ(base::trimmedCellText("\xC2\xA0\n 张三\xE3\x80\x80\t"), "张三");
  EXPECT_EQ(base::trimmedCellText("\xE5\x8F\xA0"), "\xE5\x8F\xA0");
  EXPECT_EQ(base::trimmedCellText("\xE3\x80\x80"), "");
  std::string_view rest = "one\r\ntwo\n\nthree";
  std::vector<std::string_view> lines;
  while (!rest.empty()) lines.push_back(base::takeLine(rest));
  EXPECT_EQ(lines, (std::vector<std::string_view>{"one\r", "two", "", "three"}));
}

}  // namespace
