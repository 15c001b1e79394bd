// Command routines of the core, shell and timing libraries (apart from the
// window and control commands, see window_commands.h). Each follows the
// command protocol: (result zeroed by the caller, declared count, arguments).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/library.h"

namespace rt::commands {

// Texts.
void TextLength(TypedValue* result, int32_t count, TypedValue* args);
void TextLeft(TypedValue* result, int32_t count, TypedValue* args);
void TextRight(TypedValue* result, int32_t count, TypedValue* args);
void TextMid(TypedValue* result, int32_t count, TypedValue* args);
void CharToText(TypedValue* result, int32_t count, TypedValue* args);
void FindText(TypedValue* result, int32_t count, TypedValue* args);
void ReplaceText(TypedValue* result, int32_t count, TypedValue* args);
void SplitText(TypedValue* result, int32_t count, TypedValue* args);
void Spaces(TypedValue* result, int32_t count, TypedValue* args);
void ZeroBytes(TypedValue* result, int32_t count, TypedValue* args);

// Conversions and the clock.
void ToInteger(TypedValue* result, int32_t count, TypedValue* args);
void ToText(TypedValue* result, int32_t count, TypedValue* args);
void Now(TypedValue* result, int32_t count, TypedValue* args);

// Folders and files.
void ProgramFolder(TypedValue* result, int32_t count, TypedValue* args);
void CurrentDirectory(TypedValue* result, int32_t count, TypedValue* args);
void RemoveFile(TypedValue* result, int32_t count, TypedValue* args);
void ReadFileBytes(TypedValue* result, int32_t count, TypedValue* args);
void OpenFile(TypedValue* result, int32_t count, TypedValue* args);
void SeekToEnd(TypedValue* result, int32_t count, TypedValue* args);
void WriteTextLine(TypedValue* result, int32_t count, TypedValue* args);
// Closes every file the runtime opened (the core library's shutdown).
void closeAllFiles();

// Settings.
void ReadIniValue(TypedValue* result, int32_t count, TypedValue* args);

// Programs, the shell and waiting.
void RunProgram(TypedValue* result, int32_t count, TypedValue* args);
void ShellOpen(TypedValue* result, int32_t count, TypedValue* args);
void Delay(TypedValue* result, int32_t count, TypedValue* args);
// Splits a command line into arguments as a POSIX shell would (blanks, single
// and double quotes, backslashes), without expansions. False on an unclosed
// quote. Bytes stay GB18030; double-byte characters are never taken apart.
bool splitCommandLine(std::string_view lineGb, std::vector<std::string>& arguments);

// Automation objects.
void ObjectGetProperty(TypedValue* result, int32_t count, TypedValue* args);
void ObjectSetProperty(TypedValue* result, int32_t count, TypedValue* args);
void ObjectRelease(TypedValue* result, int32_t count, TypedValue* args);

}  // namespace rt::commands
