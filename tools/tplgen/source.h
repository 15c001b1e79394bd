// The model of the window template sources (*.tpl) as tplgen reads them,
// and the unit kinds a source may name.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace tplgen {

// A mistake in a source, the handler list or the command line; the message
// names the file and line.
struct GenError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Location {
  std::string file;
  int line = 0;
  std::string text() const { return file + ":" + std::to_string(line); }
};

[[noreturn]] void fail(const Location& where, const std::string& message);

// Numbers of a source: decimal, or hexadecimal after 0x.
int64_t parseNumber(const std::string& token, const Location& where);
int32_t parseInt(const std::string& token, const Location& where);
// A window or unit id: above zero, at most 32 bits.
uint32_t parseId(const std::string& token, const Location& where);
// Whether a reference to a unit is its id rather than its name.
bool looksNumeric(const std::string& token);

struct Font {
  int32_t height = 0;
  int32_t weight = 400;
  std::string face;
};

struct Column {
  int32_t width = 0;
  std::string title;
};

struct Binding {
  int32_t event = 0;
  std::string handler;
  Location where;
};

struct SourceUnit {
  Location where;
  uint32_t id = 0;
  std::string kindName;
  uint32_t kind = 0;
  std::string name, comment, tag;
  std::string symbol;  // the constant's name in ids.h; empty: the unit's name
  int32_t rect[4] = {0, 0, 0, 0};
  std::string containerRef;  // empty: the window
  std::vector<std::string> containsRefs;
  int32_t flags = 0;
  int32_t order = 0;
  std::vector<Binding> events;
  int32_t level = 0;
  std::optional<Font> font;
  std::string caption;
  std::vector<std::string> items;
  std::vector<std::string> pages;
  std::vector<Column> columns;
  int32_t singleSelection = 0;
  int32_t border = 0, display = 0;
  int32_t maximum = 100, position = 0;
  int32_t dialogType = 0, filterIndex = 0;
  std::string filter, folder, dialogTitle, defaultExt, file;
  std::set<std::string> seenKeys;

  // Resolved.
  uint32_t container = 0;
  std::vector<uint32_t> contained;
};

struct SourceWindow {
  Location where;
  uint32_t id = 0;
  int32_t wordA = 0, wordB = 0;
  std::string name, comment;
  std::string symbol;  // the window id's constant in ids.h
  std::vector<SourceUnit> units;
};

// What a kind accepts in a source and what its constant is called.
struct KindInfo {
  uint32_t tag;                // its rt::kind constant's value
  const char* constant;        // that constant's name in runtime/value.h
  std::set<std::string> keys;  // the fields the kind accepts besides name and comment
};

// Source kind names ("EditBox") to what they are.
const std::map<std::string, KindInfo>& kinds();

}  // namespace tplgen
