// Where outside libraries are looked for, and the functions of the built-in
// module that stands in for the Windows system libraries.
//
// A DllCommand's library is found in this order (names ending in ".dll" are
// tried as stem + ".so" and then "lib" + stem + ".so" at each place):
//   1. the library search folder (when set) + name;
//   2. the program folder + "/" + name;
//   3. the second configured folder (when set) + name;
//   4. the bare name through the dynamic loader's own search.
// A name containing ":" is loaded as given (with "\" turned into "/").
// The system library names ("kernel32", "user32", "gdi32", "advapi32", "mpr",
// "shell32", any case, with or without ".dll") name the built-in module; an
// empty library name tries "Kernel32.dll", "Gdi32.dll", "User32.dll",
// "Advapi32.dll", "Mpr.dll" and "Shell32.dll" in turn.
//
// A function name "#n" is an ordinal (n's low 16 bits). ELF has no ordinals:
// ordinal n is looked up as the symbol named "#" + n in decimal, which a
// library can only provide through an assembler label; otherwise it is
// reported like any missing function.
#pragma once

#include <cstdint>
#include <string>

namespace rt {

// Both folders are GB18030 texts; an empty text means "not set". A folder is
// joined to a name with "/" unless it already ends in a separator.
void setDllSearchFolders(std::string searchFolderGb, std::string secondFolderGb);

// How many times a library file was opened so far (each attempt counts):
// resolved DllCommands are cached, so a second call opens nothing.
int64_t dllModuleOpenAttempts();

// The built-in module's functions, as a program declares and calls them.
// Beep(frequency in Hz, duration in ms) sounds through the desktop and returns nonzero.
using BeepFunction = int32_t (*)(uint32_t frequency, uint32_t durationMs);

}  // namespace rt
