#include <gtest/gtest.h>

#include <climits>

#include "runtime/commands/core_commands.h"
#include "tests/commands/command_test_support.h"

namespace {

using namespace cmdtest;
namespace c = rt::commands;
using rt::TypedValue;

// Two four-byte characters whose neighbouring halves spell a third one:
// U+20000 U+20001 are 95 32 82 36 | 95 32 82 37, and 82 36 95 32 is U+A4CD.
const std::string kTwoRareCharacters = "\x95\x32\x82\x36\x95\x32\x82\x37";
const std::string kStraddlingCharacter = "\x82\x36\x95\x32";

TEST(TextCutting, PositionsAndCountsAtTheEdges) {
  EXPECT_EQ(callText(c::TextMid, {text("abcdef"), num(0), num(2)}), "");
  EXPECT_EQ(callText(c::TextMid, {text("abcdef"), num(6), num(5)}), "f");
  EXPECT_EQ(callText(c::TextMid, {text("abcdef"), num(7), num(1)}), "");
  EXPECT_EQ(callText(c::TextMid, {text("abcdef"), num(2), num(INT_MAX)}), "bcdef");
  EXPECT_EQ(callText(c::TextMid, {text("abcdef"), num(INT_MIN), num(3)}), "");
  EXPECT_EQ(callText(c::TextMid, {text("abcdef"), num(2), num(-1)}), "");
  EXPECT_EQ(callText(c::TextLeft, {text("abc"), num(10)}), "abc");
  EXPECT_EQ(callText(c::TextLeft, {text("abc"), num(INT_MIN)}), "");
  EXPECT_EQ(callText(c::TextRight, {text("abc"), num(0)}), "");
  EXPECT_EQ(callText(c::TextRight, {text("abc"), num(INT_MAX)}), "abc");
}

TEST(TextCutting, CuttersCountRawBytesAndMaySplitACharacter) {
  EXPECT_EQ(callText(c::TextLeft, {utf8("中文"), num(1)}), "\xD6");
  EXPECT_EQ(callText(c::TextRight, {utf8("中文"), num(3)}), gb("中文").substr(1));
  EXPECT_EQ(call(c::TextLength, {utf8("学员a")}).asInt(), 5);
}

TEST(TextCutting, EmptyResultsAreNullAndOthersAreNewBlocks) {
  TypedValue empty = call(c::TextLeft, {text("abc"), num(0)});
  EXPECT_EQ(empty.tag, rt::tag::kText);
  EXPECT_EQ(empty.asText(), nullptr);
  const TypedValue source = text("abc");
  TypedValue whole = call(c::TextLeft, {source, num(3)});
  EXPECT_NE(whole.asText(), source.asText());
  EXPECT_FALSE(rt::inConstantBlock(whole.asText()));
  EXPECT_EQ(take(whole), "abc");
}

TEST(TextCutting, CharactersSpacesAndZeroBytes) {
  EXPECT_EQ(callText(c::CharToText, {TypedValue::ofByte('A')}), "A");
  EXPECT_EQ(call(c::CharToText, {TypedValue::ofByte(0)}).asText(), nullptr);
  EXPECT_EQ(callText(c::CharToText, {TypedValue::ofByte(0xB0)}), "\xB0");
  EXPECT_EQ(callText(c::Spaces, {num(3)}), "   ");
  EXPECT_EQ(call(c::Spaces, {num(0)}).asText(), nullptr);
  EXPECT_EQ(call(c::Spaces, {num(INT_MIN)}).asText(), nullptr);
  TypedValue zeros = call(c::ZeroBytes, {num(4)});
  EXPECT_EQ(zeros.tag, rt::tag::kBytes);
  EXPECT_EQ(takeBytes(zeros), std::string(4, '\0'));
  EXPECT_EQ(call(c::ZeroBytes, {num(-5)}).pointer<void>(), nullptr);
}

// Calls with every declared parameter present, as the application does.
int32_t find(const TypedValue& t, const TypedValue& sought, const TypedValue& start = kOmitted,
             const TypedValue& ignoreCase = kOmitted) {
  return call(c::FindText, {t, sought, start, ignoreCase}).asInt();
}

TEST(FindText, PositionsCountBytesFromOne) {
  EXPECT_EQ(find(utf8("2008年5月"), utf8("月")), 8);
  EXPECT_EQ(find(text("abcabc"), text("c"), num(4)), 6);
  EXPECT_EQ(find(text("abcabc"), text("c"), num(-7)), 3);
  EXPECT_EQ(find(text("abc"), text("c"), num(INT_MIN)), 3);
  EXPECT_EQ(find(text("abc"), text("c"), num(4)), -1);
  EXPECT_EQ(find(text("abc"), text("abcd")), -1);
}

TEST(FindText, EmptySoughtTextFindsOnlyWhereBytesRemain) {
  EXPECT_EQ(find(text("abc"), text("")), 1);
  EXPECT_EQ(find(text("abc"), text(""), num(3)), 1);
  EXPECT_EQ(find(text("abc"), text(""), num(4)), -1);
  EXPECT_EQ(find(text(""), text("")), -1);
  EXPECT_EQ(find(TypedValue::ofText(nullptr), text("a")), -1);
}

TEST(FindText, NeverMatchesInsideACharacter) {
  // 中 is D6 D0 and 小 is D0 A1: the bytes D0 A1 occur at 2, inside 中 and the blank A1 A1.
  EXPECT_EQ(find(utf8("中　"), utf8("小")), -1);
  // 丂 is 81 40 followed by ASCII '@'; 81 41 has 'A' as its second byte.
  EXPECT_EQ(find(text("\x81\x41"), text("A")), -1);
  EXPECT_EQ(find(text("\x81\x41"), text("a"), kOmitted, TypedValue::ofBool(true)), -1);
  EXPECT_EQ(find(text(kTwoRareCharacters + "2"), text("2")), 9);
  EXPECT_EQ(find(text(kTwoRareCharacters), text(kStraddlingCharacter)), -1);
  EXPECT_EQ(find(text(kTwoRareCharacters), text("\x95\x32\x82\x37")), 5);
}

TEST(FindText, IgnoringCaseFoldsOnlySingleByteLetters) {
  EXPECT_EQ(find(text("xxHeLLo"), text("hello"), kOmitted, TypedValue::ofBool(true)), 3);
  EXPECT_EQ(find(text("xxHeLLo"), text("hello"), kOmitted, TypedValue::ofBool(false)), -1);
  // 81 41 and 81 61 are different characters whose second bytes differ in case only.
  EXPECT_EQ(find(text("\x81\x41"), text("\x81\x61"), kOmitted, TypedValue::ofBool(true)), -1);
}

TEST(FindText, TruncatedDoubleByteCharacterAtTheEnd) {
  EXPECT_EQ(find(text("ab\xB0"), text("\xB0")), 3);
  EXPECT_EQ(find(text("\xB0"), text("b")), -1);
  EXPECT_EQ(find(text("a\xB0"), text("\xB0")), 2);
}

std::string replace(const TypedValue& t, const TypedValue& sought, const TypedValue& replacement,
                    const TypedValue& start = kOmitted, const TypedValue& count = kOmitted,
                    const TypedValue& caseSensitive = kOmitted) {
  return callText(c::ReplaceText, {t, sought, replacement, start, count, caseSensitive});
}

TEST(ReplaceText, CountsStartsAndCase) {
  EXPECT_EQ(replace(text("a b c"), text(" "), text("")), "abc");
  EXPECT_EQ(replace(text("a b c"), text(" "), text(""), kOmitted, num(1)), "ab c");
  EXPECT_EQ(replace(text("a b c"), text(" "), text("--"), num(3)), "a b--c");
  EXPECT_EQ(replace(text("a b c"), text(" "), text("--"), num(-9)), "a--b--c");
  EXPECT_EQ(replace(text("a b c"), text(" "), text("_"), num(6)), "a b c");
  EXPECT_EQ(replace(text("a b c"), text(" "), text("_"), kOmitted, num(0)), "a b c");
  EXPECT_EQ(replace(text("a b c"), text(" "), text("_"), kOmitted, num(-5)), "a_b_c");
  EXPECT_EQ(replace(text("AbAB"), text("ab"), text("x")), "xx");
  EXPECT_EQ(replace(text("AbAB"), text("ab"), text("x"), kOmitted, kOmitted, TypedValue::ofBool(true)), "AbAB");
  EXPECT_EQ(replace(text("aaa"), text("aa"), text("b")), "ba");
}

TEST(ReplaceText, UnchangedCopiesAndEmptyResults) {
  const TypedValue source = text("abc");
  TypedValue copy = call(c::ReplaceText, {source, text(""), text("x"), kOmitted, kOmitted, kOmitted});
  EXPECT_NE(copy.asText(), source.asText());
  EXPECT_EQ(take(copy), "abc");
  EXPECT_EQ(call(c::ReplaceText, {text("aa"), text("a"), text(""), kOmitted, kOmitted, kOmitted}).asText(), nullptr);
  EXPECT_EQ(call(c::ReplaceText, {text(""), text("a"), text("b"), kOmitted, kOmitted, kOmitted}).asText(), nullptr);
}

TEST(ReplaceText, StepsOverCharactersWhole) {
  EXPECT_EQ(replace(utf8("中　"), utf8("小"), text("x")), gb("中　"));
  EXPECT_EQ(replace(text(kTwoRareCharacters), text(kStraddlingCharacter), text("x")), kTwoRareCharacters);
  EXPECT_EQ(replace(text("\x81\x41"
                         "A"),
                    text("a"), text("b")),
            "\x81\x41"
            "b");
  EXPECT_EQ(replace(text("a\xB0"), text("\xB0"), text("b")), "ab");
  // The cut before the start counts raw bytes, the scan after it characters.
  EXPECT_EQ(replace(utf8("年年"), utf8("年"), text("x"), num(2)),
            "\xC4"
            "\xEA\xC4\xEA");
}

std::vector<std::string> split(const TypedValue& t, const TypedValue& separator = kOmitted,
                               const TypedValue& maximum = kOmitted) {
  TypedValue result = call(c::SplitText, {t, separator, maximum});
  EXPECT_EQ(result.tag, rt::tag::kText | rt::tag::kArrayBit);
  return takeTextArray(result);
}

using Pieces = std::vector<std::string>;

TEST(SplitText, TrailingAndEmptyPieces) {
  EXPECT_EQ(split(text("a|b|"), text("|")), (Pieces{"a", "b"}));
  EXPECT_EQ(split(text("a||b"), text("|")), (Pieces{"a", "", "b"}));
  EXPECT_EQ(split(text("|a"), text("|")), (Pieces{"", "a"}));
  EXPECT_EQ(split(text("a,b")), (Pieces{"a", "b"}));
  EXPECT_EQ(split(text("a,b"), text("")), (Pieces{"a,b"}));
  EXPECT_EQ(split(text("a<>b<>c"), text("<>")), (Pieces{"a", "b", "c"}));
}

TEST(SplitText, MaximumParts) {
  EXPECT_EQ(split(text("x|y|z"), text("|"), num(2)), (Pieces{"x", "y"}));
  EXPECT_EQ(split(text("x|y|z"), text("|"), num(0)), Pieces{});
  EXPECT_EQ(split(text("x|y|z"), text("|"), num(-3)), Pieces{});
  EXPECT_EQ(split(text("x|y|z"), text("|"), num(INT_MAX)), (Pieces{"x", "y", "z"}));
}

TEST(SplitText, LayoutOfTheArrayBlock) {
  TypedValue result = call(c::SplitText, {text("ab|"), text("|"), kOmitted});
  void* block = result.pointer<void>();
  ASSERT_NE(block, nullptr);
  int32_t header[2];
  std::memcpy(header, block, sizeof header);
  EXPECT_EQ(header[0], 1);
  EXPECT_EQ(header[1], 1);
  char* element;
  std::memcpy(&element, rt::arrayElements(block), sizeof element);
  EXPECT_STREQ(element, "ab");
  EXPECT_FALSE(rt::inConstantBlock(element));
  takeTextArray(result);

  TypedValue none = call(c::SplitText, {text(""), text("|"), kOmitted});
  ASSERT_NE(none.pointer<void>(), nullptr);
  EXPECT_EQ(rt::arrayCount(none.pointer<void>()), 0);
  takeTextArray(none);

  TypedValue withEmpty = call(c::SplitText, {text("|b"), text("|"), kOmitted});
  std::memcpy(&element, rt::arrayElements(withEmpty.pointer<void>()), sizeof element);
  EXPECT_EQ(element, nullptr);  // the empty piece is the null text
  takeTextArray(withEmpty);
}

TEST(SplitText, SeparatorsInsideCharactersDoNotCut) {
  // 81 7C has '|' as its second byte.
  EXPECT_EQ(split(text("\x81\x7C|b"), text("|")), (Pieces{"\x81\x7C", "b"}));
  EXPECT_EQ(split(text(kTwoRareCharacters), text(kStraddlingCharacter)), Pieces{kTwoRareCharacters});
  EXPECT_EQ(split(text("a|\xB0"), text("|")), (Pieces{"a", "\xB0"}));
}

}  // namespace
