// The program folder: the folder of the program file as found at start-up,
// a GB18030 text without a trailing separator (callers append "\" and a name).
#pragma once

#include <string>

namespace rt {

// Start-up takes the folder of the running executable and makes it the
// process's current directory, and files the program makes from then on get
// no more access than that folder gives (limitNewFilesTo). False when either
// step failed (the folder is then whatever could be determined, possibly
// empty).
bool adoptExecutableFolder();

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
