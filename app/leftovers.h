// Files that a run of the program keeps in its folder only while it works
// and removes when done, so that only a run cut off (a crash, a kill, a
// power loss) leaves them: the filled copy of the form template, the card
// photo and the photo being written, and the temporary files of workbook
// saves (the form's copy, an export saved into the folder). Start-up removes
// them before the main window opens.
//
// Only regular files with exactly these names, or the saves' temporary-name
// pattern, are removed; a symbolic link of such a name, a folder or any
// other file is left alone, and no link is followed.
#pragma once

#include <string_view>

namespace app {

bool isLeftoverName(std::string_view fileName);

// Removes the leftovers from the current directory (the program folder at
// start-up); the number removed.
int removeLeftoverFiles();

}  // namespace app
