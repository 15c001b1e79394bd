#include <gtest/gtest.h>
#include <sys/stat.h>

#include "base/ini.h"
#include "base/regular_file.h"
#include "runtime/commands/core_commands.h"
#include "runtime/commands/ini_reader.h"
#include "runtime/encoding.h"
#include "tests/commands/command_test_support.h"
#include "tests/support/temp_folder.h"

namespace {

using namespace cmdtest;
using jxtest::TempFolder;
namespace c = rt::commands;
using rt::TypedValue;

class ReadIniValue : public ::testing::Test {
 protected:
  void SetUp() override {
    TempFolder::write(folder.file("systeminfo.ini"),
                      "; settings\r\n"
                      "[Other]\r\n"
                      "name=wrong\r\n"
                      "[ " +
                          gb("车型") +
                          " ]\r\n"
                          "  Name  =  C1 " +
                          gb("手动挡") +
                          "  \r\n"
                          "name=second\r\n"
                          ";quoted=no\r\n"
                          "quoted = \"  padded \"\r\n"
                          "single='x'\r\n"
                          "mixed=\"x'\r\n"
                          "bare\r\n"
                          "empty=\r\n");
  }
  TypedValue path() const { return text(rt::utf8ToGb(folder.path().string()) + "\\systeminfo.ini"); }
  std::string readAt(const TypedValue& p, const TypedValue& section, const TypedValue& key,
                     const TypedValue& fallback = kOmitted) const {
    return callText(c::ReadIniValue, {p, section, key, fallback});
  }
  std::string read(const TypedValue& section, const TypedValue& key, const TypedValue& fallback = kOmitted) const {
    return readAt(path(), section, key, fallback);
  }

  TempFolder folder;
};

TEST_F(ReadIniValue, NamesIgnoreCaseAndBlanksAndTheFirstKeyWins) {
  EXPECT_EQ(read(utf8("车型"), text("name")), "C1 " + gb("手动挡"));
  EXPECT_EQ(read(utf8("车型 "), text("NAME")), "C1 " + gb("手动挡"));
  EXPECT_EQ(read(text("other"), text("Name")), "wrong");
}

TEST_F(ReadIniValue, CommentsQuotesAndEmptyValues) {
  EXPECT_EQ(read(utf8("车型"), text("quoted")), "  padded ");
  EXPECT_EQ(read(utf8("车型"), text("single")), "x");
  EXPECT_EQ(read(utf8("车型"), text("mixed")), "\"x'");
  EXPECT_EQ(read(utf8("车型"), text(";quoted"), text("d")), "d");
  EXPECT_EQ(read(utf8("车型"), text("bare"), text("d")), "");
  EXPECT_EQ(read(utf8("车型"), text("empty"), text("d")), "");
}

TEST_F(ReadIniValue, MissingFileSectionOrKeyGivesTheDefault) {
  EXPECT_EQ(readAt(text("/nonexistent/x.ini"), text("a"), text("b"), text("dflt")), "dflt");
  EXPECT_EQ(read(text("nosuch"), text("name"), text("dflt  ")), "dflt");
  EXPECT_EQ(read(utf8("车型"), text("nosuch"), utf8("默认")), gb("默认"));
  EXPECT_EQ(call(c::ReadIniValue, {path(), text("nosuch"), text("name"), kOmitted}).asText(), nullptr);
}

TEST_F(ReadIniValue, BlankArgumentsGiveTheEmptyTextWhateverTheDefault) {
  EXPECT_EQ(read(utf8("车型"), text(" \t"), text("dflt")), "");
  EXPECT_EQ(readAt(text(""), text("name"), text("dflt")), "");
  EXPECT_EQ(readAt(text("\x01 "), utf8("车型"), text("name"), text("dflt")), "");
  // Leading bytes 1..32 are skipped before the lookup.
  EXPECT_EQ(read(text("\x1F\t other"), text("\x01name")), "wrong");
}

std::string readFrom(const TempFolder& folder, const std::string& value) {
  TempFolder::write(folder.file("big.ini"), "[s]\nk=" + value + "\n");
  return rt::ini::readValue(rt::utf8ToGb(folder.file("big.ini")), "s", "k", "");
}

std::string characters(size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) out += "\xB0\xA1";
  return out;
}

TEST(IniReader, ValuesAreCutToTheBufferWithoutSplittingACharacter) {
  TempFolder folder;
  EXPECT_EQ(readFrom(folder, std::string(20000, 'x')), std::string(10239, 'x'));
  EXPECT_EQ(readFrom(folder, std::string("a").append(characters(5120))), std::string("a").append(characters(5119)));
  EXPECT_EQ(readFrom(folder, characters(5120)), characters(5119));  // 10238 bytes: the next one would not fit whole
  EXPECT_EQ(rt::ini::readValue("/nonexistent", "s", "k", std::string(10240, 'd')), std::string(10239, 'd'));
}

TEST(IniReader, PipesAndEndlessDevicesCountAsMissingFiles) {
  TempFolder folder;
  ASSERT_EQ(mkfifo(folder.file("pipe").c_str(), 0600), 0);
  EXPECT_EQ(rt::ini::readValue(rt::utf8ToGb(folder.file("pipe")), "s", "k", "d"), "d");
  EXPECT_EQ(rt::ini::readValue("/dev/zero", "s", "k", "d"), "d");
  EXPECT_EQ(rt::ini::readValue(rt::utf8ToGb(folder.path().string()), "s", "k", "d"), "d");
  // A file beyond the size limit (sparse: it costs no disk) counts as missing too.
  TempFolder::write(folder.file("huge.ini"), "[s]\nk=v\n");
  EXPECT_EQ(rt::ini::readValue(rt::utf8ToGb(folder.file("huge.ini")), "s", "k", "d"), "v");
  std::filesystem::resize_file(folder.file("huge.ini"), base::kSettingsFileLimit + 1);
  EXPECT_EQ(rt::ini::readValue(rt::utf8ToGb(folder.file("huge.ini")), "s", "k", "d"), "d");
}

TEST(IniReader, SectionNamesEndAtABracketThatIsNotInsideACharacter) {
  // 81 5D has ']' as its second byte.
  EXPECT_EQ(base::ini::findValue("[\x81\x5D]\nk=v\n", "\x81\x5D", "k"), "v");
  EXPECT_EQ(base::ini::findValue("[a]b]\nk=v\n", "a", "k"), "v");
  EXPECT_EQ(base::ini::findValue("[a\nk=v\n", "a", "k"), "v");
  EXPECT_EQ(base::ini::findValue("k=v\n[a]\n", "a", "k"), std::nullopt);
  EXPECT_EQ(base::ini::findValue("[a]\r\nK = v\r\n[A]\r\nk=w\r\n", "a", "k"), "v");
  EXPECT_EQ(base::ini::findValue("[a]\nk=v=w\n", "a", "k"), "v=w");
  // Different double-byte characters whose second bytes differ only in case.
  EXPECT_EQ(base::ini::findValue("[\x81\x41]\nk=v\n", "\x81\x61", "k"), std::nullopt);
}

}  // namespace
