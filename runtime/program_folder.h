// The program folder: the folder of the program file as found at start-up,
// or the folder the program chose itself, a GB18030 text without a trailing
// separator (callers append "\" and a name).
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace rt {

// The folder of the running executable (a native path); empty when it
// cannot be determined.
std::string executableFolder();

// Makes the folder (a native path) the program folder and the process's
// current directory, and files the program makes from then on get no more
// access than that folder gives (limitNewFilesTo). Every way of entering
// the program folder at start-up ends here. False when the folder cannot be
// entered (it is the program folder all the same).
bool enterFolder(const std::string& nativeFolder);

// Start-up's default: enters the folder of the running executable. False
// when it cannot be determined or entered.
bool adoptExecutableFolder();

// A program that chooses its folder itself (an installed program works in a
// folder of the user's rather than beside its executable) installs its
// choice before start-up. Start-up asks it once the platform and the
// desktop are up, before any library or window, and enters the folder (a
// native path) it answers; no answer ends the program with status 0.
// Without a choice start-up takes the executable's folder. An empty
// function removes the choice.
using ProgramFolderChoice = std::function<std::optional<std::string>()>;
void setProgramFolderChoice(ProgramFolderChoice choice);
const ProgramFolderChoice& programFolderChoice();

// Narrows the process's file-creation mask so that new files give others no
// more access than the folder (a native path) does: a private folder keeps
// the program's files private. In a folder shared with its group (the
// set-group-ID bit) the group gets the folder's own access, so that another
// desk of the group can replace a file this one made.
void limitNewFilesTo(const std::string& nativeFolder);

// Sets the folder directly (tests give the runtime a folder of their own).
// A trailing separator is removed, except for the root itself.
void setProgramFolder(std::string folderGb);
const std::string& programFolder();

}  // namespace rt
