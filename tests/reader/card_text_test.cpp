// The card's texts as the program takes them, the cut into fixed buffers,
// and the library's settings file.
#include "reader/card_text.h"

#include <gtest/gtest.h>

#include "base/gb18030.h"
#include "reader/settings.h"
#include "reader/sim/simulated_reader.h"

namespace {

using sdt::Bytes;

std::string gb(const std::string& utf8) { return base::utf8ToGb18030(utf8).value(); }

Bytes ucs2(std::u16string_view units) {
  Bytes bytes;
  for (char16_t unit : units) {
    bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  return bytes;
}

TEST(CardTextTest, FieldStopsAtZeroLosesTrailingBlanksAndMarksLoneSurrogates) {
  EXPECT_EQ(sdt::fieldText(ucs2(u"张 三   ")), gb("张 三"));
  EXPECT_EQ(sdt::fieldText(ucs2(std::u16string(u"王五\0  李", 6))), gb("王五"));
  EXPECT_EQ(sdt::fieldText(ucs2(u"a\xD800z")), "a?z");
  EXPECT_EQ(sdt::fieldText(ucs2(u"\U00020000")), gb("\U00020000"));  // a pair outside the BMP
  EXPECT_EQ(sdt::fieldText(ucs2(u"     ")), "");
}

TEST(CardTextTest, CodesBecomeTheirNames) {
  EXPECT_EQ(sdt::sexName("1"), gb("男"));
  EXPECT_EQ(sdt::sexName("2"), gb("女"));
  EXPECT_EQ(sdt::sexName("0"), gb("未知"));
  EXPECT_EQ(sdt::sexName("9"), gb("未说明"));
  EXPECT_EQ(sdt::sexName("5"), "5");
  const std::pair<const char*, const char*> nations[] = {
      {"01", "汉"},   {"02", "蒙古"}, {"10", "朝鲜"},     {"29", "柯尔克孜"}, {"43", "乌孜别克"},
      {"56", "基诺"}, {"97", "其他"}, {"98", "外国血统"}, {"57", "57"},       {"", ""}};
  for (auto [code, name] : nations) EXPECT_EQ(sdt::nationName(code), gb(name)) << code;
  // Every name of the table fits the program's ten-byte field.
  for (int code = 1; code <= 98; ++code) {
    char text[3];
    std::snprintf(text, sizeof text, "%02d", code);
    EXPECT_LE(sdt::nationName(text).size(), 10u) << code;
  }
}

TEST(CardTextTest, CutFallsBetweenCharactersOfOneTwoAndFourBytes) {
  std::string text = gb("a汉\u3400b");  // 1 + 2 + 4 + 1 bytes
  const size_t expected[] = {0, 1, 1, 3, 3, 3, 3, 7, 8, 8};
  for (size_t limit = 0; limit < std::size(expected); ++limit)
    EXPECT_EQ(base::gb18030PrefixLength(text, limit), expected[limit]) << limit;
  // A character cut off at the end of the input is not taken.
  EXPECT_EQ(base::gb18030PrefixLength(text.substr(0, 5), 10), 3u);

  char buffer[8] = "#######";
  sdt::writeCut(buffer, 5, text);
  EXPECT_STREQ(buffer, gb("a汉").c_str());
  EXPECT_EQ(buffer[4], '#');  // nothing after the zero
}

TEST(CardTextTest, BaseInfoNeedsBothLengthsAndTheWholeData) {
  sdt::sim::Card card = sdt::sim::sampleCard();
  card.validTo = "长期";
  Bytes data = sdt::sim::baseInfoData(card);
  auto info = sdt::baseInfoOf(data);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->texts.name, gb(card.name));
  EXPECT_EQ(info->texts.address, gb(card.address));
  EXPECT_EQ(info->texts.validTo, gb("长期"));
  EXPECT_TRUE(std::equal(info->photo.begin(), info->photo.end(), card.photo.begin()));

  Bytes shorter(data.begin(), data.end() - 1);
  EXPECT_FALSE(sdt::baseInfoOf(shorter));
  Bytes wrongTextLength = data;
  wrongTextLength[1] = 0x01;
  EXPECT_FALSE(sdt::baseInfoOf(wrongTextLength));
  Bytes wrongPhotoLength = data;
  wrongPhotoLength[2] = 0x05;
  EXPECT_FALSE(sdt::baseInfoOf(wrongPhotoLength));
}

TEST(ReaderSettingsTest, PortsMapToDevicesAndTheFileOverrides) {
  sdt::ReaderSettings none;
  const std::pair<int32_t, const char*> builtIn[] = {
      {1, "/dev/ttyS0"}, {16, "/dev/ttyS15"}, {1001, "/dev/ttyUSB0"}, {1016, "/dev/ttyUSB15"}};
  for (auto [port, device] : builtIn) EXPECT_EQ(sdt::devicePath(none, port), device) << port;
  for (int32_t port : {0, -1, 17, 1000, 1017}) EXPECT_FALSE(sdt::devicePath(none, port)) << port;

  sdt::ReaderSettings settings = sdt::parseSettings(
      "; reader\r\n[ports]\r\n 1001 = /dev/pts/7 \r\n5000=/tmp/reader\r\nx=/dev/null\r\n"
      "[other]\r\n2 = /dev/zero\r\n[photo]\r\ndecoder = plugins/libdecode.so\r\nfunction=decode\r\n",
      "/opt/school");
  EXPECT_EQ(sdt::devicePath(settings, 1001), "/dev/pts/7");
  EXPECT_EQ(sdt::devicePath(settings, 5000), "/tmp/reader");
  EXPECT_EQ(sdt::devicePath(settings, 2), "/dev/ttyS1");  // [other] maps nothing
  ASSERT_TRUE(settings.photoDecoder);
  EXPECT_EQ(settings.photoDecoder->library, "/opt/school/plugins/libdecode.so");
  EXPECT_EQ(settings.photoDecoder->function, "decode");

  EXPECT_FALSE(sdt::parseSettings("[photo]\ndecoder=/x.so\n", "/").photoDecoder);  // no function: no decoder
  EXPECT_EQ(sdt::parseSettings("[photo]\ndecoder=/x.so\nfunction=f\n", "/opt").photoDecoder->library, "/x.so");
}

// The rules of every settings file: a comment after a value (as README.md
// writes one), names ignoring case, the first line of a port counting.
TEST(ReaderSettingsTest, CommentsAfterValuesAndRepeatedPorts) {
  sdt::ReaderSettings settings = sdt::parseSettings(
      "[Ports]\n1 = /dev/a  # first\n01 = /dev/b\n# 2 = /dev/c\n"
      "[photo]\nDecoder = libcardphoto.so        ; relative to this folder\nfunction = sdtapi_decode_photo\n",
      "/opt/school");
  EXPECT_EQ(sdt::devicePath(settings, 1), "/dev/a");
  EXPECT_EQ(sdt::devicePath(settings, 2), "/dev/ttyS1");
  ASSERT_TRUE(settings.photoDecoder);
  EXPECT_EQ(settings.photoDecoder->library, "/opt/school/libcardphoto.so");
}

}  // namespace
