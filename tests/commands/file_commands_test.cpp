#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>

#include "runtime/commands/core_commands.h"
#include "runtime/encoding.h"
#include "runtime/program_folder.h"
#include "tests/commands/command_test_support.h"
#include "tests/support/temp_folder.h"

namespace {

using namespace cmdtest;
using jxtest::TempFolder;
namespace c = rt::commands;
using rt::TypedValue;

class FileCommands : public ::testing::Test {
 protected:
  void TearDown() override { c::closeAllFiles(); }

  // A runtime path of a file in the folder: GB18030 with '\' separators.
  TypedValue runtimePath(const std::string& nameUtf8) const {
    std::string gbPath = rt::utf8ToGb(folder.path().string()) + "\\" + rt::utf8ToGb(nameUtf8);
    return text(gbPath);
  }
  int32_t open(const std::string& name, const TypedValue& mode, const TypedValue& sharing = kOmitted) const {
    return call(c::OpenFile, {runtimePath(name), mode, sharing}).asInt();
  }
  static bool writeLines(int32_t file, std::vector<TypedValue> values) {
    values.insert(values.begin(), num(file));
    return call(c::WriteTextLine, std::move(values)).asBool();
  }

  TempFolder folder;
};

TEST_F(FileCommands, ProgramFolderAndCurrentDirectory) {
  rt::setProgramFolder(rt::utf8ToGb(folder.path().string()) + "\\");
  EXPECT_EQ(callText(c::ProgramFolder, {}), rt::utf8ToGb(folder.path().string()));

  std::string chinese = folder.file("程序目录");
  std::filesystem::create_directory(chinese);
  std::string previous = std::filesystem::current_path().string();
  ASSERT_EQ(chdir(chinese.c_str()), 0);
  EXPECT_EQ(callText(c::CurrentDirectory, {}), rt::utf8ToGb(chinese));
  ASSERT_EQ(chdir(previous.c_str()), 0);
}

TEST_F(FileCommands, RemoveFile) {
  TempFolder::write(folder.file("日志.log"), "x");
  EXPECT_TRUE(call(c::RemoveFile, {runtimePath("日志.log")}).asBool());
  EXPECT_FALSE(std::filesystem::exists(folder.file("日志.log")));
  EXPECT_FALSE(call(c::RemoveFile, {runtimePath("日志.log")}).asBool());
  EXPECT_FALSE(call(c::RemoveFile, {text(rt::utf8ToGb(folder.path().string()))}).asBool());
  EXPECT_FALSE(call(c::RemoveFile, {text("")}).asBool());
}

TEST_F(FileCommands, ReadFileBytes) {
  TempFolder::write(folder.file("照片.bmp"), std::string("BM\0\x01\xFF", 5));
  TypedValue bytes = call(c::ReadFileBytes, {runtimePath("照片.bmp")});
  EXPECT_EQ(bytes.tag, rt::tag::kBytes);
  EXPECT_EQ(takeBytes(bytes), std::string("BM\0\x01\xFF", 5));

  TempFolder::write(folder.file("empty"), "");
  EXPECT_EQ(call(c::ReadFileBytes, {runtimePath("empty")}).pointer<void>(), nullptr);
  EXPECT_EQ(call(c::ReadFileBytes, {runtimePath("missing")}).pointer<void>(), nullptr);
  EXPECT_EQ(call(c::ReadFileBytes, {text(rt::utf8ToGb(folder.path().string()))}).pointer<void>(), nullptr);
  EXPECT_EQ(call(c::ReadFileBytes, {text("/dev/zero")}).pointer<void>(), nullptr);
}

TEST_F(FileCommands, OpenModesAndTheirFiles) {
  EXPECT_EQ(open("log.log", num(3), num(1)), 0);
  EXPECT_FALSE(std::filesystem::exists(folder.file("log.log")));
  EXPECT_EQ(open("log.log", kOmitted, kOmitted), 0);  // mode 3 by default
  EXPECT_EQ(open("log.log", num(1)), 0);
  EXPECT_EQ(open("log.log", num(2)), 0);

  int32_t created = open("log.log", num(5));
  EXPECT_NE(created, 0);
  EXPECT_TRUE(std::filesystem::exists(folder.file("log.log")));

  TempFolder::write(folder.file("keep"), "old");
  int32_t kept = open("keep", num(6));
  ASSERT_NE(kept, 0);
  EXPECT_EQ(TempFolder::read(folder.file("keep")), "old");
  EXPECT_NE(open("keep", num(4)), 0);
  EXPECT_EQ(TempFolder::read(folder.file("keep")), "");
}

TEST_F(FileCommands, OnlyRegularFilesOpenAndPipesNeverBlock) {
  ASSERT_EQ(mkfifo(folder.file("pipe").c_str(), 0600), 0);
  EXPECT_EQ(call(c::ReadFileBytes, {runtimePath("pipe")}).pointer<void>(), nullptr);
  EXPECT_EQ(open("pipe", num(1)), 0);
  EXPECT_EQ(open("pipe", num(5)), 0);
  std::filesystem::create_directory(folder.file("dir"));
  EXPECT_EQ(open("dir", num(1)), 0);
  EXPECT_EQ(open("dir", num(6)), 0);
}

// A link planted for a file the program appends to (log.log) is refused for
// writing, and the file it names stays as it was; reading through it works.
TEST_F(FileCommands, WritingNeverFollowsALink) {
  TempFolder elsewhere;
  TempFolder::write(elsewhere.file("victim"), "keep");
  std::filesystem::create_symlink(elsewhere.file("victim"), folder.file("log.log"));
  for (int32_t mode : {2, 3, 4, 5, 6}) EXPECT_EQ(open("log.log", num(mode)), 0) << mode;
  EXPECT_EQ(TempFolder::read(elsewhere.file("victim")), "keep");
  EXPECT_NE(open("log.log", num(1)), 0);
}

TEST_F(FileCommands, OpenRefusesBadArguments) {
  TempFolder::write(folder.file("f"), "");
  for (int32_t mode : {0, 7, -1, INT_MIN, INT_MAX}) EXPECT_EQ(open("f", num(mode)), 0) << mode;
  for (int32_t sharing : {0, 5, INT_MIN}) EXPECT_EQ(open("f", num(1), num(sharing)), 0) << sharing;
  EXPECT_EQ(call(c::OpenFile, {text(""), num(5), kOmitted}).asInt(), 0);
}

TEST_F(FileCommands, WriteTextLineConvertsEachValueAndEndsItsLine) {
  int32_t file = open("log.log", num(4));
  ASSERT_NE(file, 0);
  EXPECT_TRUE(writeLines(file, {text("abc"), text("")}));
  EXPECT_TRUE(writeLines(file, {num(5)}));
  EXPECT_TRUE(writeLines(file, {TypedValue::ofText(nullptr), TypedValue::unitRef(0x52000001, 0, rt::kind::kWindow),
                                TypedValue::ofBool(true), TypedValue::ofDouble(0.5)}));
  EXPECT_TRUE(writeLines(file, {}));
  EXPECT_EQ(TempFolder::read(folder.file("log.log")), "abc\r\n\r\n5\r\n" + gb("真") + "\r\n0.5\r\n");
}

// A long text goes out on its own write; the lines stay in their order.
TEST_F(FileCommands, WriteTextLineKeepsTheOrderAroundALongText) {
  int32_t file = open("log.log", num(4));
  ASSERT_NE(file, 0);
  const std::string longText(200 * 1024, 'x');
  EXPECT_TRUE(writeLines(file, {text("a"), text(longText), num(7), text(longText + "y"), text("b")}));
  EXPECT_EQ(TempFolder::read(folder.file("log.log")), "a\r\n" + longText + "\r\n7\r\n" + longText + "y\r\nb\r\n");
}

TEST_F(FileCommands, AppendingAfterSeekToEnd) {
  TempFolder::write(folder.file("log.log"), "first\r\n");
  int32_t file = open("log.log", num(3), num(1));
  ASSERT_NE(file, 0);
  EXPECT_TRUE(call(c::SeekToEnd, {num(file)}).asBool());
  EXPECT_TRUE(writeLines(file, {utf8("第二")}));
  EXPECT_EQ(TempFolder::read(folder.file("log.log")), "first\r\n" + gb("第二") + "\r\n");
}

TEST_F(FileCommands, UnknownFileNumbersAreRefused) {
  EXPECT_FALSE(call(c::SeekToEnd, {num(0)}).asBool());
  EXPECT_FALSE(call(c::SeekToEnd, {num(12345)}).asBool());
  EXPECT_FALSE(writeLines(-1, {text("x")}));
  int32_t file = open("a", num(4));
  ASSERT_NE(file, 0);
  EXPECT_TRUE(call(c::SeekToEnd, {num(file)}).asBool());
  rt::coreLibrary().notify(rt::kNotifyShutdown);
  EXPECT_FALSE(call(c::SeekToEnd, {num(file)}).asBool());
  EXPECT_FALSE(writeLines(file, {text("x")}));
  EXPECT_NE(open("b", num(4)), file);  // numbers are not reused
}

TEST_F(FileCommands, WritingToAReadOnlyFileFails) {
  TempFolder::write(folder.file("ro"), "data");
  int32_t file = open("ro", num(1));
  ASSERT_NE(file, 0);
  EXPECT_FALSE(writeLines(file, {text("x")}));
  EXPECT_EQ(TempFolder::read(folder.file("ro")), "data");
}

// A write that fails half-way (the file size limit) leaves the position where
// it was, so the next line overwrites the partial one.
TEST_F(FileCommands, FailedWriteRestoresThePosition) {
  int32_t file = open("log.log", num(4));
  ASSERT_NE(file, 0);
  rlimit previous{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
  auto previousHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = previous;
  small.rlim_cur = 10;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool first = writeLines(file, {text("abc")});
  bool tooLong = writeLines(file, {text("0123456789")});
  setrlimit(RLIMIT_FSIZE, &previous);
  signal(SIGXFSZ, previousHandler);
  EXPECT_TRUE(first);
  EXPECT_FALSE(tooLong);
  EXPECT_TRUE(writeLines(file, {text("xyz")}));
  EXPECT_EQ(TempFolder::read(folder.file("log.log")), "abc\r\nxyz\r\n");
}

TEST_F(FileCommands, SharingDeniesWhatTheFirstOpenerForbids) {
  TempFolder::write(folder.file("shared"), "content");
  constexpr int32_t kRead = 1, kWrite = 2, kCreate = 4;
  constexpr int32_t kShareAll = 1, kDenyRead = 2, kDenyWrite = 3;

  ASSERT_NE(open("shared", num(kRead), num(kDenyWrite)), 0);
  EXPECT_NE(open("shared", num(kRead), num(kDenyWrite)), 0) << "readers denying writes coexist";
  EXPECT_EQ(open("shared", num(kWrite), num(kShareAll)), 0) << "writing is denied";
  EXPECT_EQ(open("shared", num(kRead), num(kDenyRead)), 0) << "would deny the readers";
  EXPECT_EQ(open("shared", num(kCreate), num(kShareAll)), 0);
  EXPECT_EQ(TempFolder::read(folder.file("shared")), "content") << "a refused truncation keeps the data";
  EXPECT_EQ(takeBytes(call(c::ReadFileBytes, {runtimePath("shared")})), "content");
}

TEST_F(FileCommands, SharingDenyReadAndExclusive) {
  TempFolder::write(folder.file("w"), "content");
  constexpr int32_t kRead = 1, kWrite = 2, kReadWrite = 3;
  constexpr int32_t kShareAll = 1, kDenyRead = 2, kDenyAll = 4;

  ASSERT_NE(open("w", num(kWrite), num(kDenyRead)), 0);
  EXPECT_NE(open("w", num(kWrite), num(kShareAll)), 0) << "others may still write";
  EXPECT_EQ(open("w", num(kRead), num(kShareAll)), 0);
  EXPECT_EQ(call(c::ReadFileBytes, {runtimePath("w")}).pointer<void>(), nullptr);

  TempFolder::write(folder.file("x"), "content");
  ASSERT_NE(open("x", num(kReadWrite), num(kDenyAll)), 0);
  EXPECT_EQ(open("x", num(kRead), num(kShareAll)), 0);
  EXPECT_EQ(open("x", num(kWrite), num(kShareAll)), 0);
  c::closeAllFiles();
  EXPECT_NE(open("x", num(kRead), num(kShareAll)), 0) << "closing releases the locks";
}

}  // namespace
