// The settings files of the program, in the private-profile format:
//
//   ; comment
//   [section]
//   key = value
//
// One reader for all of them (systeminfo.ini through the runtime's settings
// command and the admin tool, database.ini, sdtapi.ini). We read these files
// ourselves: no library of the system gives exactly the behaviour programs
// written for this format rely on. The rules:
// - section and key names compare ignoring ASCII letter case; blanks around
//   names and values are dropped; the first key line in file order under a
//   matching section header wins (a section may appear more than once);
// - lines whose first non-blank byte is ';' are comments; a line without '='
//   is a key with an empty value; lines before the first header belong to no
//   section; a header's name ends at its first ']' (or the line's end);
// - a value enclosed in one pair of matching quotes (' or ") loses them;
// - every other byte, GB18030 characters included, passes unchanged: a ']'
//   or ';' that is the second byte of a double-byte character is part of it.
// Options cover the project's own files, whose formats are documented with
// them (database.ini, sdtapi.ini): UTF-8 text, '#' comment lines, and a
// comment after the value.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace base::ini {

enum class Characters {
  kGb18030,  // the program's settings: names compare character by character
  kUtf8,     // no ASCII byte is ever part of another character
};

struct Options {
  Characters characters = Characters::kGb18030;
  // '#' starts a comment line as ';' does.
  bool hashComments = false;
  // A comment mark after a blank ends the value ("a.so   ; why" reads "a.so").
  bool trailingComments = false;
};

struct Entry {
  std::string_view section, key, value;  // views into the content
};

// Every key line under a section header, in file order.
std::vector<Entry> entries(std::string_view content, const Options& options = {});

// The value of `key` in `section`; nothing when the section or the key is
// missing. A view into the content.
std::optional<std::string_view> findValue(std::string_view content, std::string_view section, std::string_view key,
                                          const Options& options = {});

// The keys of `section` in file order, each once with the value of its first
// line.
std::vector<Entry> sectionEntries(std::string_view content, std::string_view section, const Options& options = {});

// Whether two section or key names are the same name.
bool sameName(std::string_view a, std::string_view b, const Options& options = {});

}  // namespace base::ini
