// The school folder: where an installed program keeps a school's records.
//
// Built from source, the program works beside its executable (the runtime's
// default). Installed, the executable lies in a folder of the system, so the
// program works in a folder of the user's instead: the one named with
// --folder, else the one used last (remembered in jiaxiao.ini under
// $XDG_CONFIG_HOME/jiaxiao), else $XDG_DATA_HOME/jiaxiao/school. A folder
// that holds no school yet is made one at the first start, after asking the
// user through the desktop. The runtime's start-up then enters the folder
// (runtime/program_folder.h), and from there on it is the program folder in
// every respect.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/desktop.h"

namespace app::school {

namespace fs = std::filesystem;

// The command line of the program.
struct CommandLine {
  enum class Action { kRun, kHelp, kVersion, kRefused };
  Action action = Action::kRun;
  std::optional<fs::path> folder;  // --folder, made absolute
  std::string refusal;             // why the command line was refused
};
CommandLine parseCommandLine(int argc, const char* const* argv);
// The text of --help (the program's manual page is made from it).
std::string_view usage();

// Where the program looks, from HOME, XDG_CONFIG_HOME and XDG_DATA_HOME
// (relative values are ignored, as the base-directory convention says).
struct Places {
  fs::path configFile;     // $XDG_CONFIG_HOME/jiaxiao/jiaxiao.ini
  fs::path defaultFolder;  // $XDG_DATA_HOME/jiaxiao/school
};
Places placesFromEnvironment();

// A folder holds a school when it holds the records database or the
// settings that name a database server.
bool holdsSchool(const fs::path& folder);

// Whether the program works in a school folder rather than beside its
// executable: always with --folder, and whenever the executable's own
// folder holds no school (an installed program).
bool worksInSchoolFolder(const CommandLine& line, const fs::path& executableFolder);

// The folder remembered in the configuration file, if any (an absolute path).
std::optional<fs::path> rememberedFolder(const fs::path& configFile);
// Remembers the folder for the next start; false when it could not.
bool rememberFolder(const fs::path& configFile, const fs::path& folder);

// The folder to start in: --folder, else the remembered one, else the default.
fs::path startingFolder(const CommandLine& line, const Places& places);

// The folder as a school: as it is when it holds one; otherwise the user is
// asked through the desktop to make a new private school there (what
// `jiaxiao-admin init` makes), to open an existing school folder, or to quit,
// until a school is open or the user quits (nothing then).
std::optional<fs::path> openSchool(const fs::path& folder, rt::Desktop& desktop);

// The whole choice at start-up: the starting folder opened as a school and,
// when one is open, remembered.
std::optional<fs::path> chooseSchool(const CommandLine& line, const Places& places, rt::Desktop& desktop);

// Makes the runtime's start-up ask chooseSchool (with the desktop it has then)
// for the program folder, and look for outside libraries in the executable's
// own folder after the school folder, so that a library installed beside the
// program is found while a school's own copy still comes first.
void installSchoolFolderChoice(const CommandLine& line, const fs::path& executableFolder);

}  // namespace app::school
