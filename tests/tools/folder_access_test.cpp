// Who may read and write a program folder made by the admin tool, and what
// `jiaxiao-admin check` finds and fixes in one.
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>

#include <fstream>
#include <optional>
#include <string>

#include "db/records_database.h"
#include "runtime/program_folder.h"
#include "tests/db/db_fixture.h"
#include "tests/tools/admin_tool.h"

namespace dbtest {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kFolderFiles[] = {"hj.mdb", "systeminfo.ini", "log.log"};
constexpr uid_t kSomeOtherUser = 65534;

// The process umask for the life of the object; the tool inherits it.
class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t mask) : old_(umask(mask)) {}
  ~ScopedUmask() { umask(old_); }

 private:
  mode_t old_;
};

struct stat statOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
  return info;
}
mode_t modeOf(const fs::path& path) { return statOf(path).st_mode & 07777; }

void writeText(const fs::path& file, const std::string& text, mode_t mode) {
  std::ofstream(file) << text;
  ASSERT_EQ(chmod(file.c_str(), mode), 0);
}

// A group files can be given to other than the primary one; nothing when
// this user has none (root may give any group).
std::optional<std::string> secondGroup() {
  if (geteuid() == 0) {
    for (const char* name : {"users", "nogroup", "daemon"})
      if (getgrnam(name)) return name;
  }
  gid_t groups[64];
  int count = getgroups(64, groups);
  for (int i = 0; i < count; ++i) {
    if (groups[i] == getegid()) continue;
    if (const struct group* entry = getgrgid(groups[i])) return std::string(entry->gr_name);
  }
  return std::nullopt;
}

TEST(FolderAccess, AFolderMadeByTheToolIsPrivateWhateverTheUmask) {
  TempFolder temp;
  ScopedUmask everyone(0);
  fs::path folder = temp / "school";
  ToolRun init = runTool("init " + quoted(folder));
  ASSERT_EQ(init.status, 0) << init.output;
  EXPECT_EQ(modeOf(folder), 0700u);
  for (const char* name : kFolderFiles) EXPECT_EQ(modeOf(folder / name), 0600u) << name;

  // A loose folder made again with demo data is tightened, the settings and
  // log it keeps included, and nothing is left beside the database.
  ASSERT_EQ(chmod(folder.c_str(), 0777), 0);
  ASSERT_EQ(chmod((folder / "systeminfo.ini").c_str(), 0666), 0);
  ToolRun demo = runTool("demo " + quoted(folder) + " --learners 5 --force");
  ASSERT_EQ(demo.status, 0) << demo.output;
  EXPECT_EQ(modeOf(folder), 0700u);
  for (const char* name : kFolderFiles) EXPECT_EQ(modeOf(folder / name), 0600u) << name;
  EXPECT_FALSE(fs::exists(folder / "hj.mdb.part"));
  EXPECT_FALSE(fs::exists(folder / "hj.mdb-journal"));
  EXPECT_EQ(runTool("check " + quoted(folder)).status, 0);
  EXPECT_EQ(queryValue(folder / "hj.mdb", std::string(db::records::kPassword), "SELECT count(*) FROM student"), "5");
}

TEST(FolderAccess, AFolderSharedWithAGroupIsTheGroupsOnly) {
  auto group = secondGroup();
  if (!group) GTEST_SKIP() << "this user belongs to no second group";
  gid_t gid = getgrnam(group->c_str())->gr_gid;
  TempFolder temp;
  ScopedUmask everyone(0);
  fs::path folder = temp / "desks";
  ToolRun init = runTool("init " + quoted(folder) + " --group " + *group);
  ASSERT_EQ(init.status, 0) << init.output;
  EXPECT_EQ(modeOf(folder), 02770u);
  EXPECT_EQ(statOf(folder).st_gid, gid);
  for (const char* name : kFolderFiles) {
    EXPECT_EQ(modeOf(folder / name), 0660u) << name;
    EXPECT_EQ(statOf(folder / name).st_gid, gid) << name;
  }
  EXPECT_EQ(runTool("check " + quoted(folder)).status, 0) << "group modes are right for a shared folder";

  // The folder's set-group-ID bit tells check that it is shared; what the
  // world may read, or another group may, is found and fixed.
  writeText(folder / "log.log", "", 0664);
  ASSERT_EQ(chown((folder / "systeminfo.ini").c_str(), static_cast<uid_t>(-1), getegid()), 0);
  ToolRun fix = runTool("check " + quoted(folder) + " --fix");
  EXPECT_EQ(fix.status, 0) << fix.output;
  EXPECT_THAT(fix.output, HasSubstr("log.log: users outside group " + *group + " may read it"));
  EXPECT_EQ(modeOf(folder / "log.log"), 0660u);
  EXPECT_EQ(statOf(folder / "systeminfo.ini").st_gid, gid);
  EXPECT_EQ(runTool("check " + quoted(folder) + " --group " + *group).status, 0);
  EXPECT_NE(runTool("init " + quoted(temp / "other") + " --group no-such-group-here").status, 0);

  // The desks' users own what they made in a shared folder.
  if (geteuid() == 0) {
    ASSERT_EQ(chown((folder / "log.log").c_str(), kSomeOtherUser, gid), 0);
    EXPECT_EQ(runTool("check " + quoted(folder)).status, 0);
  }
}

TEST(FolderAccess, CheckFindsOpenFilesAndPlantedLibrariesAndFixTightensWithoutDeleting) {
  TempFolder temp;
  fs::path folder = temp / "school";
  ASSERT_EQ(runTool("init " + quoted(folder)).status, 0);
  writeText(folder / "qt.conf", "[Paths]\nPlugins = /tmp/x\n", 0600);
  writeText(folder / "sdtapi.so", "", 0600);
  writeText(folder / "libsdtapi.so", "", 0600);  // the reader library's own place
  fs::create_directory(folder / "platforms");
  ASSERT_EQ(chmod((folder / "platforms").c_str(), 0755), 0);
  writeText(folder / "platforms" / "libqxcb.so", "", 0600);
  ASSERT_EQ(chmod((folder / "log.log").c_str(), 0644), 0);
  ASSERT_EQ(chmod((folder / "hj.mdb").c_str(), 0666), 0);
  // A link is judged by its name and never followed, not even by --fix.
  writeText(temp / "outside.txt", "", 0644);
  fs::create_symlink(temp / "outside.txt", folder / "helper.so");

  ToolRun check = runTool("check " + quoted(folder));
  EXPECT_EQ(check.status, 1);
  EXPECT_THAT(check.output, HasSubstr((folder / "qt.conf").string() + ": a qt.conf that jiaxiao-admin did not put"));
  EXPECT_THAT(check.output, HasSubstr((folder / "sdtapi.so").string() + ": a library"));
  EXPECT_THAT(check.output, HasSubstr((folder / "platforms/libqxcb.so").string() + ": a library"));
  EXPECT_THAT(check.output, HasSubstr((folder / "helper.so").string() + ": a library"));
  EXPECT_THAT(check.output, HasSubstr((folder / "platforms").string() + ": other users may read it (mode 0755)"));
  EXPECT_THAT(check.output, HasSubstr((folder / "log.log").string() + ": other users may read it (mode 0644)"));
  EXPECT_THAT(check.output, HasSubstr((folder / "hj.mdb").string() + ": other users may read and write it"));
  EXPECT_THAT(check.output, Not(HasSubstr("libsdtapi.so:")));
  EXPECT_THAT(check.output, Not(HasSubstr("systeminfo.ini")));

  ToolRun fix = runTool("check " + quoted(folder) + " --fix");
  EXPECT_EQ(fix.status, 1) << "the planted files are left to the user";
  EXPECT_THAT(fix.output, HasSubstr("7 found, 3 fixed, 4 left"));
  EXPECT_EQ(modeOf(folder / "log.log"), 0600u);
  EXPECT_EQ(modeOf(folder / "hj.mdb"), 0600u);
  EXPECT_EQ(modeOf(folder / "platforms"), 0700u);
  EXPECT_EQ(modeOf(temp / "outside.txt"), 0644u);
  for (const char* planted : {"qt.conf", "sdtapi.so", "platforms/libqxcb.so", "helper.so"})
    EXPECT_TRUE(fs::exists(fs::symlink_status(folder / planted))) << planted;

  for (const char* planted : {"qt.conf", "sdtapi.so", "platforms", "helper.so"}) fs::remove_all(folder / planted);
  // In a private folder a file of another user is that user's to change.
  if (geteuid() == 0) {
    writeText(folder / "photo.bmp", "", 0600);
    ASSERT_EQ(chown((folder / "photo.bmp").c_str(), kSomeOtherUser, static_cast<gid_t>(-1)), 0);
    ToolRun foreign = runTool("check " + quoted(folder) + " --fix");
    EXPECT_EQ(foreign.status, 1);
    EXPECT_THAT(foreign.output,
                HasSubstr((folder / "photo.bmp").string() + ": belongs to user " + std::to_string(kSomeOtherUser)));
    fs::remove(folder / "photo.bmp");
  }
  ToolRun clean = runTool("check " + quoted(folder));
  EXPECT_EQ(clean.status, 0) << clean.output;
  EXPECT_THAT(clean.output, HasSubstr("nothing found"));
  EXPECT_EQ(queryValue(folder / "hj.mdb", std::string(db::records::kPassword), "SELECT count(*) FROM student"), "0");
}

// A file the program makes in its folder, as a spreadsheet export or a card
// photo is made: with the mode the usual umask leaves.
mode_t modeOfAFileMadeIn(const fs::path& folder) {
  ScopedUmask usual(022);
  rt::limitNewFilesTo(folder.string());
  fs::path file = folder / "table.xlsx";
  std::ofstream(file) << "x";
  mode_t mode = modeOf(file);
  fs::remove(file);
  return mode;
}

TEST(FolderAccess, FilesTheProgramMakesGetNoMoreAccessThanItsFolderGives) {
  TempFolder temp;
  fs::path folder = temp / "school";
  ASSERT_EQ(runTool("init " + quoted(folder)).status, 0);
  EXPECT_EQ(modeOfAFileMadeIn(folder), 0600u);
  EXPECT_EQ(runTool("check " + quoted(folder)).status, 0);

  fs::path open = temp / "open";
  fs::create_directory(open);
  ASSERT_EQ(chmod(open.c_str(), 0755), 0);
  EXPECT_EQ(modeOfAFileMadeIn(open), 0644u) << "a folder open to all changes nothing";

  if (auto group = secondGroup()) {
    fs::path desks = temp / "desks";
    ASSERT_EQ(runTool("init " + quoted(desks) + " --group " + *group).status, 0);
    EXPECT_EQ(modeOfAFileMadeIn(desks), 0660u) << "the other desks of the group may replace it";
  }
}

TEST(FolderAccess, ASharedFolderLikeTmpIsNeverMadePrivate) {
  TempFolder temp;
  fs::path shared = temp / "shared";
  fs::create_directory(shared);
  ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
  ToolRun init = runTool("init " + quoted(shared));
  EXPECT_EQ(init.status, 1);
  EXPECT_THAT(init.output, HasSubstr("shared by all users"));
  EXPECT_EQ(modeOf(shared), 01777u);
  EXPECT_FALSE(fs::exists(shared / "hj.mdb"));
}

// Someone who may write the folder plants links under the names the tool
// writes or opens up: the files they name are neither written nor given the
// folder's mode; a link under a name the program uses is refused.
TEST(FolderAccess, InitWritesAndOpensUpNothingThroughAPlantedLink) {
  TempFolder temp;
  fs::path folder = temp / "school";
  fs::create_directory(folder);
  writeText(temp / "victim", "keep", 0644);
  fs::create_symlink(temp / "victim", folder / "table.xlsx.part");
  ToolRun init = runTool("init " + quoted(folder));
  ASSERT_EQ(init.status, 0) << init.output;
  EXPECT_FALSE(fs::is_symlink(folder / "table.xlsx"));

  fs::remove(folder / "log.log");
  fs::create_symlink(temp / "victim", folder / "log.log");
  ToolRun again = runTool("init " + quoted(folder) + " --force");
  EXPECT_EQ(again.status, 1);
  EXPECT_THAT(again.output, HasSubstr("log.log is a symbolic link"));
  std::ifstream victim(temp / "victim");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(victim), {}), "keep");
  EXPECT_EQ(modeOf(temp / "victim"), 0644u);
}

// A folder inside that check may not read is reported, and the rest of the
// folder is still looked at. (Root reads everything: it checks as nobody.)
TEST(FolderAccess, CheckReportsAnUnreadableFolderAndGoesOn) {
  TempFolder temp;
  fs::path folder = temp / "school";
  ASSERT_EQ(runTool("init " + quoted(folder)).status, 0);
  for (const char* sub : {"a", "locked", "z"}) {
    fs::create_directory(folder / sub);
    ASSERT_EQ(chmod((folder / sub).c_str(), 0700), 0);
    if (std::string(sub) != "locked") writeText(folder / sub / "x.so", "", 0600);
  }
  std::string runner;
  if (geteuid() == 0) {
    ASSERT_EQ(chmod(temp.path().c_str(), 0711), 0);
    for (const auto& entry : fs::recursive_directory_iterator(folder))
      ASSERT_EQ(lchown(entry.path().c_str(), kSomeOtherUser, kSomeOtherUser), 0);
    ASSERT_EQ(lchown(folder.c_str(), kSomeOtherUser, kSomeOtherUser), 0);
    ASSERT_EQ(lchown((folder / "locked").c_str(), 0, 0), 0);
    runner = "setpriv --reuid=" + std::to_string(kSomeOtherUser) + " --regid=" + std::to_string(kSomeOtherUser) +
             " --clear-groups ";
  } else {
    ASSERT_EQ(chmod((folder / "locked").c_str(), 0), 0);
  }
  ToolRun check = runTool("check " + quoted(folder), runner);
  EXPECT_EQ(check.status, 1);
  EXPECT_THAT(check.output, HasSubstr((folder / "locked").string() + ": cannot be read"));
  for (const char* planted : {"a/x.so", "z/x.so"})
    EXPECT_THAT(check.output, HasSubstr((folder / planted).string() + ": a library")) << planted;
  ASSERT_EQ(chmod((folder / "locked").c_str(), 0700), 0);
}

// What the program loads is followed out of the folder: the reader library
// behind a link, the photo decoder sdtapi.ini names (even one not there
// yet) and the files database.ini has the connection read.
TEST(FolderAccess, CheckFollowsWhatTheProgramLoadsWhereverItLies) {
  TempFolder temp;
  fs::path folder = temp / "school";
  ASSERT_EQ(runTool("init " + quoted(folder)).status, 0);
  fs::path elsewhere = temp / "elsewhere", open = temp / "open";
  fs::create_directory(elsewhere);
  fs::create_directory(open);
  ASSERT_EQ(chmod(open.c_str(), 0777), 0);
  writeText(elsewhere / "reader.so", "", 0666);
  writeText(elsewhere / "root.crt", "", 0644);
  writeText(elsewhere / "fine.so", "", 0644);
  fs::create_symlink(elsewhere / "reader.so", folder / "libsdtapi.so");
  writeText(folder / "sdtapi.ini", "[photo]\ndecoder = " + (open / "decoder.so").string() + "\nfunction = f\n", 0600);
  writeText(folder / "database.ini",
            "\xEF\xBB\xBF[数据库]\n连接=host=h sslrootcert=" + (elsewhere / "root.crt").string() + "\n", 0600);
  if (geteuid() == 0) {
    ASSERT_EQ(chown((elsewhere / "root.crt").c_str(), kSomeOtherUser, static_cast<gid_t>(-1)), 0);
  } else {
    ASSERT_EQ(chmod((elsewhere / "root.crt").c_str(), 0646), 0);
  }
  ToolRun check = runTool("check " + quoted(folder));
  EXPECT_EQ(check.status, 1);
  EXPECT_THAT(check.output, HasSubstr("libsdtapi.so: the reader library " + (elsewhere / "reader.so").string() +
                                      ": others may write it (mode 0666)"));
  EXPECT_THAT(check.output, HasSubstr("the photo decoder named in sdtapi.ini lies in " + open.string()));
  EXPECT_THAT(check.output,
              HasSubstr("the sslrootcert file named in database.ini " + (elsewhere / "root.crt").string()));

  // A decoder only its owner may change, in folders only theirs, is fine.
  fs::remove(folder / "libsdtapi.so");
  fs::remove(folder / "database.ini");
  writeText(folder / "sdtapi.ini", "[photo]\ndecoder = " + (elsewhere / "fine.so").string() + "\nfunction = f\n", 0600);
  ToolRun clean = runTool("check " + quoted(folder));
  EXPECT_EQ(clean.status, 0) << clean.output;
}

}  // namespace
}  // namespace dbtest
