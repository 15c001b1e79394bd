// The program folder: the folder of the program file as found at start-up,
// a GB18030 text without a trailing separator (callers append "\" and a name).
#pragma once

#include <string>

namespace rt {

// Start-up takes the folder of the running executable and makes it the
// process's current directory. False when either step failed (the folder is
// then whatever could be determined, possibly empty).
bool adoptExecutableFolder();

// Sets the folder directly (tests give the runtime a folder of their own).
// A trailing separator is removed, except for the root itself.
void setProgramFolder(std::string folderGb);
const std::string& programFolder();

}  // namespace rt
