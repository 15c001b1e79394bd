// The school folder of an installed program: its command line, where it
// looks, what it remembers, and the first-start dialog answered through the
// scripted desktop.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/school_folder.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/temp_folder.h"
#include "tools/program_folder.h"

namespace {

namespace fs = std::filesystem;
using app::school::CommandLine;
using jxtest::TempFolder;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

CommandLine parse(std::vector<const char*> args) {
  args.insert(args.begin(), "jiaxiao");
  return app::school::parseCommandLine(static_cast<int>(args.size()), args.data());
}

fs::perms permsOf(const fs::path& path) { return fs::status(path).permissions() & fs::perms::all; }

TEST(SchoolCommandLine, TakesOneFolderMadeAbsoluteAndRefusesAnythingElse) {
  EXPECT_EQ(parse({}).action, CommandLine::Action::kRun);
  EXPECT_FALSE(parse({}).folder);
  EXPECT_EQ(parse({"--folder", "/srv/学校/"}).folder->string(), "/srv/学校");
  EXPECT_EQ(parse({"--folder=/srv/a/../b"}).folder, fs::path("/srv/b"));
  EXPECT_EQ(parse({"--folder", "here"}).folder, fs::current_path() / "here");
  EXPECT_EQ(parse({"--help"}).action, CommandLine::Action::kHelp);
  EXPECT_EQ(parse({"--folder", "x", "-h"}).action, CommandLine::Action::kHelp);
  EXPECT_EQ(parse({"--version"}).action, CommandLine::Action::kVersion);

  for (const auto& args : std::vector<std::vector<const char*>>{
           {"--folder"}, {"--folder="}, {"--folder", "a", "--folder", "b"}, {"--verbose"}, {"/srv/school"}}) {
    CommandLine line = parse(args);
    EXPECT_EQ(line.action, CommandLine::Action::kRefused) << args.front();
    EXPECT_FALSE(line.refusal.empty());
  }
  EXPECT_THAT(parse({"/srv/school"}).refusal, HasSubstr("--folder"));
  EXPECT_THAT(std::string(app::school::usage()), HasSubstr("--folder FOLDER"));
}

// The environment is the process's own: each case sets what it needs.
class SchoolPlacesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
      if (const char* value = std::getenv(name)) saved_.emplace_back(name, value);
  }
  void TearDown() override {
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) unsetenv(name);
    for (const auto& [name, value] : saved_) setenv(name.c_str(), value.c_str(), 1);
  }
  std::vector<std::pair<std::string, std::string>> saved_;
};

TEST_F(SchoolPlacesTest, BaseDirectoriesFromTheEnvironmentWithHomeForMissingOrRelativeOnes) {
  setenv("HOME", "/home/教练", 1);
  unsetenv("XDG_CONFIG_HOME");
  setenv("XDG_DATA_HOME", "relative/data", 1);
  app::school::Places places = app::school::placesFromEnvironment();
  EXPECT_EQ(places.configFile, fs::path("/home/教练/.config/jiaxiao/jiaxiao.ini"));
  EXPECT_EQ(places.defaultFolder, fs::path("/home/教练/.local/share/jiaxiao/school"));

  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  setenv("XDG_DATA_HOME", "/data", 1);
  places = app::school::placesFromEnvironment();
  EXPECT_EQ(places.configFile, fs::path("/cfg/jiaxiao/jiaxiao.ini"));
  EXPECT_EQ(places.defaultFolder, fs::path("/data/jiaxiao/school"));
}

class SchoolFolderTest : public ::testing::Test {
 protected:
  // Making a school costs a key derivation: one is made for the suite, and a
  // case that needs a school gets a copy.
  static void SetUpTestSuite() {
    made_ = std::make_unique<TempFolder>("jx-school-made");
    admin::FolderRequest request;
    request.folder = made_->path();
    ASSERT_TRUE(admin::makeProgramFolder(request).ok);
  }
  static void TearDownTestSuite() { made_.reset(); }
  void SetUp() override { oldMask_ = umask(022); }
  void TearDown() override { umask(oldMask_); }

  app::school::Places places() const { return {home_ / "config" / "jiaxiao" / "jiaxiao.ini", home_ / "school"}; }
  fs::path schoolNamed(const std::string& name) const {
    fs::copy(made_->path(), home_ / name, fs::copy_options::recursive);
    return home_ / name;
  }

  static inline std::unique_ptr<TempFolder> made_;
  TempFolder home_{"jx-school"};
  jxtest::ScriptedDesktop desktop_;
  mode_t oldMask_ = 0;
};

TEST_F(SchoolFolderTest, StartsInTheFolderGivenElseTheOneRememberedElseTheDefault) {
  const app::school::Places at = places();
  EXPECT_EQ(app::school::startingFolder(parse({}), at), at.defaultFolder);

  // Remembered with blanks and Chinese intact, in a configuration folder
  // made private.
  const fs::path remembered = home_ / " 东区 驾校 ";
  ASSERT_TRUE(app::school::rememberFolder(at.configFile, remembered));
  EXPECT_EQ(permsOf(at.configFile.parent_path()), fs::perms::owner_all);
  EXPECT_EQ(app::school::rememberedFolder(at.configFile), remembered);
  EXPECT_EQ(app::school::startingFolder(parse({}), at), remembered);
  EXPECT_EQ(app::school::startingFolder(parse({"--folder", "/srv/other"}), at), fs::path("/srv/other"));

  // What is not an absolute folder in a small regular file is not remembered.
  TempFolder::write(at.configFile, "[学校]\n文件夹=relative/school\n");
  EXPECT_FALSE(app::school::rememberedFolder(at.configFile));
  TempFolder::write(at.configFile, "[学校]\n文件夹=/srv/a\n" + std::string(70 * 1024, ';'));
  EXPECT_FALSE(app::school::rememberedFolder(at.configFile));
  EXPECT_FALSE(app::school::rememberFolder(at.configFile, "/srv/two\nlines"));
}

TEST_F(SchoolFolderTest, ASchoolFolderOpensWithoutAQuestion) {
  const fs::path school = schoolNamed("学校");
  EXPECT_EQ(app::school::openSchool(school, desktop_), school);

  // A desk whose records are on a server holds only its settings.
  const fs::path desk = home_ / "desk";
  fs::create_directory(desk);
  TempFolder::write(desk / "database.ini", "[数据库]\n连接=host=server\n");
  EXPECT_EQ(app::school::openSchool(desk, desktop_), desk);
  EXPECT_TRUE(desktop_.choices().empty());
}

TEST_F(SchoolFolderTest, FirstStartMakesAPrivateSchoolWhereItWasAsked) {
  const fs::path folder = home_ / "data" / "jiaxiao" / "school";
  desktop_.answerChoice("新建学校");
  ASSERT_EQ(app::school::openSchool(folder, desktop_), folder);

  ASSERT_EQ(desktop_.choices().size(), 1u);
  EXPECT_EQ(desktop_.choices()[0].caption, "驾校学员管理");
  EXPECT_THAT(desktop_.choices()[0].text, HasSubstr(folder.string()));
  EXPECT_THAT(desktop_.choices()[0].buttons, ElementsAre("新建学校", "打开已有学校", "退出"));
  // What the admin tool's init makes, private whatever the umask, and the
  // folders above it made private too.
  for (const char* name : {"hj.mdb", "systeminfo.ini", "log.log", "table.xlsx"})
    EXPECT_EQ(permsOf(folder / name), fs::perms::owner_read | fs::perms::owner_write) << name;
  EXPECT_EQ(permsOf(folder), fs::perms::owner_all);
  EXPECT_EQ(permsOf(home_ / "data" / "jiaxiao"), fs::perms::owner_all);
  EXPECT_TRUE(desktop_.messageBoxes().empty());
}

TEST_F(SchoolFolderTest, AnExistingSchoolIsChosenAfterAFolderThatHoldsNone) {
  const fs::path school = schoolNamed("东区");
  const fs::path empty = home_ / "empty";
  fs::create_directory(empty);
  desktop_.answerChoice("打开已有学校");
  desktop_.answerFileDialog(empty.string());
  desktop_.answerChoice("打开已有学校");
  desktop_.cancelFileDialog();
  desktop_.answerChoice("打开已有学校");
  desktop_.answerFileDialog(school.string());

  const fs::path asked = home_ / "new" / "school";
  EXPECT_EQ(app::school::openSchool(asked, desktop_), school);
  EXPECT_EQ(desktop_.choices().size(), 3u);
  ASSERT_EQ(desktop_.fileDialogs().size(), 3u);
  EXPECT_TRUE(desktop_.fileDialogs()[0].folder);
  EXPECT_EQ(desktop_.fileDialogs()[0].initialFolder, home_.path().string());  // the nearest folder that exists
  ASSERT_EQ(desktop_.messageBoxes().size(), 1u);
  EXPECT_THAT(desktop_.messageBoxes()[0].text, HasSubstr(empty.string()));
  EXPECT_FALSE(fs::exists(asked));
  EXPECT_FALSE(fs::exists(empty / "hj.mdb"));
}

TEST_F(SchoolFolderTest, AFolderThatCannotBeMadeIsReportedAndAskedAgainUntilQuit) {
  TempFolder::write(home_ / "file", "not a folder");
  desktop_.answerChoice("新建学校");
  desktop_.answerChoice("退出");
  EXPECT_FALSE(app::school::openSchool(home_ / "file" / "school", desktop_));
  EXPECT_EQ(desktop_.choices().size(), 2u);
  ASSERT_EQ(desktop_.messageBoxes().size(), 1u);
  EXPECT_THAT(desktop_.messageBoxes()[0].text, HasSubstr("无法在文件夹"));

  // Closing the question quits as well, and nothing was made.
  desktop_.reset();
  EXPECT_FALSE(app::school::openSchool(home_ / "untouched", desktop_));
  EXPECT_FALSE(fs::exists(home_ / "untouched"));
}

TEST_F(SchoolFolderTest, TheSchoolOpenedIsRememberedAndAQuitRemembersNothing) {
  const app::school::Places at = places();
  desktop_.answerChoice("退出");
  EXPECT_FALSE(app::school::chooseSchool(parse({}), at, desktop_));
  EXPECT_FALSE(fs::exists(at.configFile));

  desktop_.answerChoice("新建学校");
  EXPECT_EQ(app::school::chooseSchool(parse({}), at, desktop_), at.defaultFolder);
  EXPECT_EQ(app::school::rememberedFolder(at.configFile), at.defaultFolder);

  const fs::path other = schoolNamed("other");
  EXPECT_EQ(app::school::chooseSchool(parse({"--folder", other.c_str()}), at, desktop_), other);
  EXPECT_EQ(app::school::rememberedFolder(at.configFile), other);
  EXPECT_EQ(app::school::chooseSchool(parse({}), at, desktop_), other);
}

TEST_F(SchoolFolderTest, AProgramBesideASchoolWorksThereUnlessGivenAFolder) {
  const fs::path school = schoolNamed("beside");
  EXPECT_FALSE(app::school::worksInSchoolFolder(parse({}), school));
  EXPECT_TRUE(app::school::worksInSchoolFolder(parse({"--folder", "/srv/x"}), school));
  EXPECT_TRUE(app::school::worksInSchoolFolder(parse({}), home_.path()));  // installed: no school beside it
}

}  // namespace
