#include "app/school_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <vector>

#include "base/ini.h"
#include "base/regular_file.h"
#include "db/records_database.h"
#include "db/server_settings.h"
#include "runtime/dll_search.h"
#include "runtime/encoding.h"
#include "runtime/program_folder.h"
#include "sheet/engine/file_replacement.h"
#include "tools/program_folder.h"

namespace app::school {
namespace {

constexpr std::string_view kUsage =
    "Usage: jiaxiao [--folder FOLDER]\n"
    "The driving-school records manager (驾校学员管理): learners, exam bookings and\n"
    "results, exported lists and printed registration forms, kept in a school folder.\n"
    "\n"
    "Without --folder the program works in the school folder it used last, else in\n"
    "$XDG_DATA_HOME/jiaxiao/school (~/.local/share/jiaxiao/school). When that folder\n"
    "holds no school yet (neither hj.mdb nor database.ini), a dialog offers to make\n"
    "a new school there, private to the user (what jiaxiao-admin init makes), to\n"
    "open an existing school folder, or to quit. A copy of the program placed in a\n"
    "school folder itself works in that folder unless --folder is given.\n"
    "\n"
    "Options:\n"
    "  --folder FOLDER  work in the school folder FOLDER and remember it\n"
    "  -h, --help       show this help and exit\n"
    "  --version        show the version and exit\n";

constexpr std::string_view kProgramName = "jiaxiao";
constexpr std::string_view kConfigFileName = "jiaxiao.ini";
constexpr std::string_view kDefaultFolderName = "school";
constexpr std::string_view kFolderOption = "--folder";
// The configuration file: [学校] 文件夹="FOLDER" (UTF-8).
constexpr std::string_view kSection = "学校";
constexpr std::string_view kFolderKey = "文件夹";
// A configuration file larger than this is not the program's.
constexpr size_t kConfigFileLimit = 64 * 1024;
// The configuration file is the user's alone.
constexpr unsigned kPrivateFile = 0600;

constexpr const char* kCaption = "驾校学员管理";
constexpr const char* kMakeSchool = "新建学校";
constexpr const char* kOpenSchool = "打开已有学校";
constexpr const char* kQuit = "退出";
enum Choice : int32_t { kChoiceMake = 0, kChoiceOpen = 1 };

CommandLine refused(std::string why) {
  CommandLine line;
  line.action = CommandLine::Action::kRefused;
  line.refusal = std::move(why);
  return line;
}

// An absolute value of the variable, or nothing.
std::optional<fs::path> absoluteVariable(const char* name) {
  const char* value = std::getenv(name);
  if (!value || value[0] != '/') return std::nullopt;
  return fs::path(value);
}

fs::path homeFolder() {
  if (auto home = absoluteVariable("HOME")) return *home;
  const passwd* entry = getpwuid(getuid());
  return entry && entry->pw_dir ? fs::path(entry->pw_dir) : fs::path("/");
}

std::string gb(std::string_view utf8) { return rt::utf8ToGb(utf8); }

std::string quoted(const fs::path& folder) { return "“" + folder.string() + "”"; }

void tell(rt::Desktop& desktop, const std::string& textUtf8) {
  desktop.messageBox(gb(textUtf8), gb(kCaption), rt::mb::kOk | rt::mb::kIconStop, nullptr);
}

// Missing folders above the school folder are made private to the user, as
// the base-directory convention asks of the folders a program makes.
void makePrivateAncestors(const fs::path& folder) {
  std::vector<fs::path> missing;
  std::error_code error;
  for (fs::path above = folder.parent_path(); !above.empty() && !fs::exists(above, error);
       above = above.parent_path()) {
    missing.push_back(above);
    if (above == above.root_path()) break;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it)
    if (fs::create_directory(*it, error)) fs::permissions(*it, fs::perms::owner_all, error);
}

bool makeSchool(const fs::path& folder, rt::Desktop& desktop) {
  makePrivateAncestors(folder);
  admin::FolderRequest request;
  request.folder = folder;
  admin::Report report = admin::makeProgramFolder(request);
  if (report.ok) return true;
  std::fprintf(stderr, "jiaxiao: %s\n", report.message.c_str());
  tell(desktop, "无法在文件夹" + quoted(folder) + "中新建学校。\r\n请确认这个文件夹可以写入，或打开已有学校。");
  return false;
}

// The folder the user picks, when it holds a school.
std::optional<fs::path> pickSchool(const fs::path& near, rt::Desktop& desktop) {
  rt::FileDialogRequest request;
  request.folder = true;
  request.titleGb = gb("选择学校文件夹");
  std::error_code error;
  fs::path start = near;
  while (!start.empty() && start != start.root_path() && !fs::is_directory(start, error)) start = start.parent_path();
  request.initialFolderGb = rt::utf8ToGb(start.string());
  std::string chosenGb;
  if (!desktop.fileDialog(request, chosenGb)) return std::nullopt;
  fs::path chosen = fs::absolute(rt::toNativePath(chosenGb), error).lexically_normal();
  if (holdsSchool(chosen)) return chosen;
  tell(desktop, "文件夹" + quoted(chosen) + "中没有学校的数据（hj.mdb 或 database.ini）。");
  return std::nullopt;
}

std::string firstStartQuestion(const fs::path& folder) {
  return "文件夹" + quoted(folder) +
         "中还没有学校的数据。\r\n\r\n"
         "新建学校：在这个文件夹中建立一所新的空白学校，只有您本人可以读写。\r\n"
         "打开已有学校：选择一个存有学校数据的文件夹。\r\n"
         "退出：不做任何改动。";
}

}  // namespace

std::string_view usage() { return kUsage; }

CommandLine parseCommandLine(int argc, const char* const* argv) {
  CommandLine line;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    std::optional<std::string_view> folder;
    if (arg == "-h" || arg == "--help") {
      line.action = CommandLine::Action::kHelp;
      return line;
    } else if (arg == "--version") {
      line.action = CommandLine::Action::kVersion;
      return line;
    } else if (arg == kFolderOption) {
      if (i + 1 >= argc) return refused("--folder needs a folder");
      folder = argv[++i];
    } else if (arg.starts_with(std::string(kFolderOption) + "=")) {
      folder = arg.substr(kFolderOption.size() + 1);
    } else if (arg.starts_with("-")) {
      return refused("unknown option " + std::string(arg));
    } else {
      return refused("unexpected argument " + std::string(arg) + " (a folder is given with --folder)");
    }
    if (folder) {
      if (folder->empty()) return refused("--folder needs a folder");
      if (line.folder) return refused("--folder is given twice");
      std::error_code error;
      fs::path absolute = fs::absolute(fs::path(*folder), error).lexically_normal();
      if (error) return refused("cannot tell where " + std::string(*folder) + " is: " + error.message());
      // "DIR/" names DIR.
      line.folder = absolute.has_filename() || absolute == absolute.root_path() ? absolute : absolute.parent_path();
    }
  }
  return line;
}

Places placesFromEnvironment() {
  fs::path home = homeFolder();
  fs::path config = absoluteVariable("XDG_CONFIG_HOME").value_or(home / ".config");
  fs::path data = absoluteVariable("XDG_DATA_HOME").value_or(home / ".local" / "share");
  return {config / kProgramName / kConfigFileName, data / kProgramName / kDefaultFolderName};
}

bool holdsSchool(const fs::path& folder) {
  std::error_code error;
  return fs::is_regular_file(folder / db::records::kFileName, error) ||
         fs::is_regular_file(folder / db::kServerSettingsFile, error);
}

bool worksInSchoolFolder(const CommandLine& line, const fs::path& executableFolder) {
  return line.folder || executableFolder.empty() || !holdsSchool(executableFolder);
}

std::optional<fs::path> rememberedFolder(const fs::path& configFile) {
  std::optional<std::string> content = base::readRegularFile(configFile, kConfigFileLimit);
  if (!content) return std::nullopt;
  base::ini::Options options;
  options.characters = base::ini::Characters::kUtf8;
  std::optional<std::string_view> folder = base::ini::findValue(*content, kSection, kFolderKey, options);
  if (!folder || folder->empty() || folder->front() != '/') return std::nullopt;
  return fs::path(std::string(*folder));
}

bool rememberFolder(const fs::path& configFile, const fs::path& folder) {
  const std::string name = folder.string();
  // One line, quoted so that blanks at either end survive.
  if (name.find_first_of("\r\n") != std::string::npos) return false;
  makePrivateAncestors(configFile);
  // Written like every file the program writes: an exclusive temporary file,
  // synced, renamed over the old one; never through a link.
  sheet::FileReplacement file(configFile.string(), kPrivateFile);
  std::string text = "; 驾校学员管理: the school folder used last\n[" + std::string(kSection) + "]\n" +
                     std::string(kFolderKey) + "=\"" + name + "\"\n";
  std::string error;
  return file.valid() && file.write(text) && file.commit(error);
}

fs::path startingFolder(const CommandLine& line, const Places& places) {
  if (line.folder) return *line.folder;
  return rememberedFolder(places.configFile).value_or(places.defaultFolder);
}

std::optional<fs::path> openSchool(const fs::path& folder, rt::Desktop& desktop) {
  if (holdsSchool(folder)) return folder;
  const std::vector<std::string> buttons{gb(kMakeSchool), gb(kOpenSchool), gb(kQuit)};
  for (;;) {
    switch (desktop.askChoice(gb(firstStartQuestion(folder)), gb(kCaption), buttons)) {
      case kChoiceMake:
        if (makeSchool(folder, desktop)) return folder;
        break;
      case kChoiceOpen:
        if (auto chosen = pickSchool(folder, desktop)) return chosen;
        break;
      default: return std::nullopt;
    }
  }
}

std::optional<fs::path> chooseSchool(const CommandLine& line, const Places& places, rt::Desktop& desktop) {
  std::optional<fs::path> school = openSchool(startingFolder(line, places), desktop);
  if (school && !rememberFolder(places.configFile, *school))
    std::fprintf(stderr, "jiaxiao: cannot remember the folder in %s\n", places.configFile.c_str());
  return school;
}

void installSchoolFolderChoice(const CommandLine& line, const fs::path& executableFolder) {
  rt::setProgramFolderChoice([line]() -> std::optional<std::string> {
    std::optional<fs::path> school = chooseSchool(line, placesFromEnvironment(), rt::desktop());
    if (!school) return std::nullopt;
    return school->string();
  });
  rt::setDllSearchFolders("", rt::utf8ToGb(executableFolder.string()));
}

}  // namespace app::school
