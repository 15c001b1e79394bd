#include <gtest/gtest.h>

#include <time.h>

#include <cfloat>
#include <climits>
#include <cmath>

#include "runtime/commands/core_commands.h"
#include "runtime/convert.h"
#include "tests/commands/command_test_support.h"

namespace {

using namespace cmdtest;
namespace c = rt::commands;
using rt::TypedValue;

std::string textOf(const TypedValue& v) { return rt::valueToText(v); }
double at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) { return rt::makeDateTime({y, mo, d, h, mi, s}); }
std::string dateText(double days) { return textOf(TypedValue::ofDateTime(days)); }

TEST(ValueToText, Numbers) {
  EXPECT_EQ(textOf(TypedValue::ofByte(255)), "255");
  EXPECT_EQ(textOf(TypedValue::ofShort(-32768)), "-32768");
  EXPECT_EQ(textOf(TypedValue{0x8000, 0, rt::tag::kShort}), "-32768");  // only the low 16 bits count
  EXPECT_EQ(textOf(TypedValue::ofInt(INT_MIN)), "-2147483648");
  EXPECT_EQ(textOf(TypedValue::ofInt64(INT64_MIN)), "-9223372036854775808");
  EXPECT_EQ(textOf(TypedValue::ofDouble(0.1)), "0.1");
  EXPECT_EQ(textOf(TypedValue::ofDouble(1e15)), "1e+15");
  EXPECT_EQ(textOf(TypedValue::ofDouble(1.0 / 3)), "0.3333333333333");
  EXPECT_EQ(textOf(TypedValue::ofFloat(0.1f)), "0.1");
  EXPECT_EQ(textOf(TypedValue::ofFloat(3.14159265f)), "3.14159");
  EXPECT_EQ(textOf(TypedValue::ofFloat(1234567.0f)), "1.23457e+06");
  EXPECT_EQ(textOf(TypedValue::ofFloat(FLT_MAX)), "3.40282e+38");
}

TEST(ValueToText, BoolTextAndUnsupportedTags) {
  EXPECT_EQ(textOf(TypedValue::ofBool(true)), gb("真"));
  EXPECT_EQ(textOf(TypedValue{7, 0, rt::tag::kBool}), gb("真"));
  EXPECT_EQ(textOf(TypedValue::ofBool(false)), gb("假"));
  EXPECT_EQ(textOf(text("abc")), "abc");
  bool supported = false;
  EXPECT_EQ(rt::valueToText(TypedValue::ofText(nullptr), &supported), "");
  EXPECT_TRUE(supported);
  EXPECT_EQ(rt::valueToText(TypedValue::unitRef(0x52000001, 0, rt::kind::kWindow), &supported), "");
  EXPECT_FALSE(supported);
  EXPECT_EQ(rt::valueToText(TypedValue::ofPointer(nullptr, rt::tag::kBytes), &supported), "");
  EXPECT_FALSE(supported);
}

TEST(ValueToText, DateTimeShowsOnlyTheTimeUnitsThatAreNotZero) {
  EXPECT_EQ(dateText(at(2008, 5, 6)), gb("2008年5月6日"));
  EXPECT_EQ(dateText(at(2008, 5, 6, 8)), gb("2008年5月6日8时"));
  EXPECT_EQ(dateText(at(2008, 5, 6, 8, 30)), gb("2008年5月6日8时30分"));
  EXPECT_EQ(dateText(at(2008, 5, 6, 8, 0, 5)), gb("2008年5月6日8时0分5秒"));
  EXPECT_EQ(dateText(0.0), gb("1899年12月30日"));
}

TEST(ValueToText, DateTimeTimeOfDayRoundsToWholeSeconds) {
  // 08:30 as it would have been stored by another program: 8.5 / 24.
  EXPECT_EQ(dateText(39574.0 + 8.5 / 24), gb("2008年5月6日8时30分"));
  EXPECT_EQ(dateText(39574.0 + 30600.0 / 86400 - 1e-9), gb("2008年5月6日8时30分"));
  EXPECT_EQ(dateText(39574.0 + 86399.9 / 86400), gb("2008年5月7日"));
  // Before 1899-12-30 the fraction still counts forward from midnight.
  EXPECT_EQ(dateText(-1.25), gb("1899年12月29日6时"));
  EXPECT_EQ(dateText(at(1899, 12, 29, 6)), gb("1899年12月29日6时"));
}

TEST(ValueToText, DateTimeIsClampedToYears100To9999) {
  EXPECT_EQ(dateText(3000000.0), gb("9999年12月31日"));
  EXPECT_EQ(dateText(2958465.75), gb("9999年12月31日"));
  EXPECT_EQ(dateText(-1e300), gb("100年1月1日"));
  EXPECT_EQ(dateText(-657434.0), gb("100年1月1日"));
  EXPECT_EQ(dateText(INFINITY), gb("9999年12月31日"));
  EXPECT_EQ(dateText(NAN), gb("1899年12月30日"));
}

TEST(DateTime, SplitAndMakeAreInverse) {
  for (double days : {-657434.0, -1.0, 0.0, 1.0, 59.0, 60.0, 61.0, 36526.0, 39574.75, 2958465.0}) {
    rt::DateParts p = rt::splitDateTime(days);
    EXPECT_DOUBLE_EQ(rt::makeDateTime(p), days) << days;
  }
  rt::DateParts leap = rt::splitDateTime(at(2000, 2, 29));
  EXPECT_EQ(leap.month, 2);
  EXPECT_EQ(leap.day, 29);
  EXPECT_EQ(at(2000, 3, 1) - at(2000, 2, 28), 2.0);
  EXPECT_EQ(at(1900, 3, 1) - at(1900, 2, 28), 1.0);  // 1900 was not a leap year
  EXPECT_EQ(at(2008, 13, 1), at(2009, 1, 1));
}

int32_t toInteger(const TypedValue& v) { return call(c::ToInteger, {v}).asInt(); }

TEST(ToInteger, Texts) {
  EXPECT_EQ(toInteger(utf8("１２３")), 123);
  EXPECT_EQ(toInteger(utf8("　－１２")), -12);
  EXPECT_EQ(toInteger(utf8("＋７")), 7);
  EXPECT_EQ(toInteger(text("12ab")), 12);
  EXPECT_EQ(toInteger(text(" \t-42")), -42);
  EXPECT_EQ(toInteger(text("abc")), 0);
  EXPECT_EQ(toInteger(TypedValue::ofText(nullptr)), 0);
  EXPECT_EQ(toInteger(utf8("1中2")), 1);
  EXPECT_EQ(toInteger(text("\xA3")), 0);
  EXPECT_EQ(toInteger(text("99999999999999999999")), INT_MAX);
  EXPECT_EQ(toInteger(text("-2147483648")), INT_MIN);
  EXPECT_EQ(toInteger(text("-99999999999999999999")), INT_MIN);
}

TEST(ToInteger, NumbersTruncateTowardZero) {
  EXPECT_EQ(toInteger(TypedValue::ofDouble(3.99)), 3);
  EXPECT_EQ(toInteger(TypedValue::ofDouble(-3.99)), -3);
  EXPECT_EQ(toInteger(TypedValue::ofDouble(1e300)), INT_MAX);
  EXPECT_EQ(toInteger(TypedValue::ofDouble(NAN)), 0);
  EXPECT_EQ(toInteger(TypedValue::ofShort(-5)), -5);
  EXPECT_EQ(toInteger(TypedValue::ofByte(200)), 200);
  EXPECT_EQ(toInteger(TypedValue::ofInt64(0x100000005LL)), 5);
  EXPECT_EQ(toInteger(TypedValue::ofBool(true)), 1);
  EXPECT_EQ(toInteger(TypedValue::ofDateTime(5.5)), 0);
  EXPECT_EQ(toInteger(kOmitted), 0);
}

TEST(ToText, ValuesAndArrays) {
  EXPECT_EQ(callText(c::ToText, {TypedValue::ofInt(-7)}), "-7");
  EXPECT_EQ(callText(c::ToText, {TypedValue::ofBool(false)}), gb("假"));
  EXPECT_EQ(call(c::ToText, {TypedValue::ofText(nullptr)}).asText(), nullptr);

  void* bytes = rt::newByteArray("ab\0cd", 5);
  EXPECT_EQ(callText(c::ToText, {TypedValue::ofPointer(bytes, rt::tag::kBytes)}), "ab");
  rt::Free(bytes);
  void* ints = rt::newArray(2, 4);
  const int32_t values[2] = {0x64636261, 0x68676665};  // "abcdefgh", no zero byte
  std::memcpy(rt::arrayElements(ints), values, sizeof values);
  EXPECT_EQ(callText(c::ToText, {TypedValue::ofPointer(ints, rt::tag::kInt | rt::tag::kArrayBit)}), "abcdefgh");
  rt::Free(ints);

  void* texts = rt::newArray(1, sizeof(char*));
  TypedValue none = call(c::ToText, {TypedValue::ofPointer(texts, rt::tag::kText | rt::tag::kArrayBit)});
  EXPECT_EQ(none.tag, 0u);
  EXPECT_EQ(none.asText(), nullptr);
  rt::Free(texts);
}

TEST(Now, IsTheLocalWallClockToTheSecond) {
  time_t before = time(nullptr);
  TypedValue now = call(c::Now, {});
  time_t after = time(nullptr);
  ASSERT_EQ(now.tag, rt::tag::kDateTime);
  tm local{};
  localtime_r(&before, &local);
  double low = at(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  localtime_r(&after, &local);
  double high = at(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  EXPECT_GE(now.asDouble(), low);
  EXPECT_LE(now.asDouble(), high);
}

}  // namespace
