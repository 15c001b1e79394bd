// The settings reader's options and the read of a settings file. The rules
// every settings file shares are tested through the runtime's settings
// command (tests/commands/ini_test.cpp).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "base/ini.h"
#include "base/regular_file.h"
#include "tests/support/temp_folder.h"

namespace {

using base::ini::Characters;
using base::ini::Options;

constexpr Options kUtf8Hash{.characters = Characters::kUtf8, .hashComments = true};
constexpr Options kSdtapi{.characters = Characters::kUtf8, .hashComments = true, .trailingComments = true};

TEST(IniTest, CommentsAfterAValueEndItOnlyWhereAsked) {
  constexpr std::string_view content =
      "[photo]\n"
      "decoder = libcardphoto.so        ; relative to this folder\n"
      "function = f#g ;x\n"
      "quoted = \"a ; b\"   # why\n"
      "none = ; nothing\n";
  EXPECT_EQ(base::ini::findValue(content, "photo", "decoder"), "libcardphoto.so        ; relative to this folder");
  EXPECT_EQ(base::ini::findValue(content, "photo", "decoder", kSdtapi), "libcardphoto.so");
  EXPECT_EQ(base::ini::findValue(content, "photo", "function", kSdtapi), "f#g") << "a mark needs a blank before it";
  EXPECT_EQ(base::ini::findValue(content, "photo", "quoted", kSdtapi), "\"a") << "marks inside quotes count too";
  EXPECT_EQ(base::ini::findValue(content, "photo", "none", kSdtapi), "");
}

TEST(IniTest, HashCommentLinesOnlyWhereAsked) {
  constexpr std::string_view content = "[s]\n# k = commented\nk = v\n";
  EXPECT_EQ(base::ini::findValue(content, "s", "# k"), "commented");
  EXPECT_EQ(base::ini::findValue(content, "s", "k", kUtf8Hash), "v");
}

TEST(IniTest, Utf8NamesEndAtTheirBracketAndIgnoreOnlyAsciiCase) {
  // In GB18030 stepping, the last byte of 库 (E5 BA 93) would pair with ']'.
  constexpr std::string_view content = "[数据库]\nHost=a\n[Ä]\nk=b\n";
  EXPECT_EQ(base::ini::findValue(content, "数据库", "host", kUtf8Hash), "a");
  EXPECT_EQ(base::ini::findValue(content, "Ä", "K", kUtf8Hash), "b");
  EXPECT_EQ(base::ini::findValue(content, "ä", "k", kUtf8Hash), std::nullopt);
}

TEST(IniTest, SectionEntriesKeepTheFirstLineOfEachKeyAcrossRepeatedSections) {
  constexpr std::string_view content = "[ports]\n1 = /dev/a\nX=1\n[other]\n2=/dev/z\n[PORTS]\n2 = /dev/b\nx = 2\n";
  std::vector<base::ini::Entry> entries = base::ini::sectionEntries(content, "ports");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].key, "1");
  EXPECT_EQ(entries[0].value, "/dev/a");
  EXPECT_EQ(entries[1].value, "1") << "x and X are one key";
  EXPECT_EQ(entries[2].value, "/dev/b");
}

TEST(RegularFileTest, OnlyRegularFilesWithinTheLimitAreRead) {
  jxtest::TempFolder folder("jx-base");
  jxtest::TempFolder::write(folder / "small.ini", "[s]\nk=v\n");
  jxtest::TempFolder::write(folder / "big.ini", std::string(1000, 'x'));
  EXPECT_EQ(base::readRegularFile(folder / "small.ini"), "[s]\nk=v\n");
  EXPECT_EQ(base::readRegularFile(folder / "big.ini", 1000), std::string(1000, 'x'));
  EXPECT_EQ(base::readRegularFile(folder / "big.ini", 999), std::nullopt);
  EXPECT_EQ(base::readRegularFile(folder / "missing.ini"), std::nullopt);
  EXPECT_EQ(base::readRegularFile(folder.path()), std::nullopt);
  EXPECT_EQ(base::readRegularFile("/dev/zero"), std::nullopt);
  std::filesystem::create_symlink("/dev/zero", folder / "zero.ini");
  EXPECT_EQ(base::readRegularFile(folder / "zero.ini"), std::nullopt);
}

TEST(RegularFileTest, APipeWithoutAWriterIsRefusedAtOnce) {
  jxtest::TempFolder folder("jx-base");
  ASSERT_EQ(mkfifo((folder / "pipe.ini").c_str(), 0600), 0);
  // Opening a pipe for reading waits for a writer unless told not to; the
  // test would hang here.
  EXPECT_EQ(base::readRegularFile(folder / "pipe.ini"), std::nullopt);
}

}  // namespace
