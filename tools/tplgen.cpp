// tplgen: turns the readable window template sources (*.tpl) and the handler
// list (handlers.def) into the binary template block, written as a C++ source
// file that defines app::kTemplateBlock and app::kTemplateBlockSize, and into
// the header of unit constants the handlers address controls with (ids.h:
// every named unit's window, id and kind), so that the templates are the one
// source of both.
//
//   tplgen --handlers handlers.def --output template_block.cpp --ids ids.h a.tpl b.tpl
//
// Windows are stored in the order of the source files. The generator checks
// the sources thoroughly (ids, names, containers, handler names, fields that
// do not belong to a kind) so that a mistake stops the build instead of
// producing a block the runtime would misread.
//
// Source format. '#' starts a comment line. Tokens are separated by blanks; a
// text with blanks is written in double quotes (\" and \\ escape inside).
// Texts are UTF-8 in the source and GB18030 in the block.
//   window ID                 starts a window; until the first unit:
//     words A B               the window's words A and B
//     name TEXT, comment TEXT the window's name and comment
//     symbol NAME             the window id's constant in ids.h (not stored)
//   unit ID KIND              starts a unit record (KIND: window, menu,
//                             EditBox, PicBox, Label, Button, ComboBox,
//                             ProcessBar, Tab, DatePicker, CommonDlg, ListView,
//                             DBConnection, RecordSet, ExcelApp, ExcelWorkbooks);
//                             the lines up to the next unit are its fields:
//     name, comment, tag TEXT   unit name, comment and tag text
//     symbol NAME               the unit's constant in ids.h when the unit
//                               has no stored name (windows, menu items);
//                               not stored in the block
//     rect L T W H              pixels, relative to the container
//     container UNIT            a unit name or id; absent: the window itself
//     contains UNIT...          appends to the contained list; a literal 0
//                               separates the pages of a Tab
//     flags N                   bit 0 visible, bit 1 disabled, bit 2 tab stop;
//                               for menu items bit 0 hidden, bit 1 grayed
//     order N                   the stored ordering number
//     event NUMBER HANDLER      a binding to a handler named in the handler list
//     level N                   menu items: 0 menu bar, 1 entry of the menu above
//     font HEIGHT WEIGHT [FACE] logical font, character set 134
//     caption TEXT              label, button or menu caption; window title
//     items TEXT...             combo box items
//     pages TEXT...             tab page titles
//     column WIDTH TITLE        one list column, in order
//     single-selection 0|1      list selection style
//     border N, display N       picture box border style and display mode
//     maximum N, position N     progress bar range and position
//     dialog-type N, filter TEXT, filter-index N, folder TEXT,
//     dialog-title TEXT, default-ext TEXT, file TEXT   common dialogs
// Units are stored in the order written; a container must precede its units.
//
// The layout of the block and of the kind-specific data is described at the
// top of runtime/templates.cpp, which reads it back.

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/gb18030.h"

namespace {

// ------------------------------------------------------------------ errors

struct GenError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Location {
  std::string file;
  int line = 0;
  std::string text() const { return file + ":" + std::to_string(line); }
};

[[noreturn]] void fail(const Location& where, const std::string& message) {
  throw GenError(where.text() + ": " + message);
}

// ---------------------------------------------------------------- encoding

// Strict: a text that does not convert is an error in the source.
std::string toGb18030(const std::string& utf8, const Location& where) {
  std::optional<std::string> gb = base::utf8ToGb18030(utf8);
  if (!gb) fail(where, "text is not valid UTF-8: " + utf8);
  return *gb;
}

// ------------------------------------------------------------ source model

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

// -------------------------------------------------------------- unit kinds

enum class KindData { None, Window, EditBox, PicBox, Caption, Items, ProgressBar, Pages, CommonDlg, ListView, Menu };

struct KindInfo {
  uint32_t tag;
  const char* constant;  // its name in runtime/value.h
  KindData data;
  std::set<std::string> keys;  // the fields the kind accepts besides name and comment
};

const std::set<std::string> kPlacedKeys = {"rect", "container", "contains", "flags", "order", "event", "tag"};

std::set<std::string> placedWith(std::initializer_list<const char*> extra) {
  std::set<std::string> keys = kPlacedKeys;
  for (const char* k : extra) keys.insert(k);
  return keys;
}

const std::map<std::string, KindInfo>& kinds() {
  static const std::map<std::string, KindInfo> table = {
      {"window", {0x00010001, "kWindow", KindData::Window, placedWith({"caption"})}},
      {"menu", {0x00010003, "kMenu", KindData::Menu, {"level", "flags", "caption", "event"}}},
      {"EditBox", {0x00010005, "kEditBox", KindData::EditBox, placedWith({"font"})}},
      {"PicBox", {0x00010006, "kPicBox", KindData::PicBox, placedWith({"border", "display"})}},
      {"Label", {0x0001000A, "kLabel", KindData::Caption, placedWith({"font", "caption"})}},
      {"Button", {0x0001000B, "kButton", KindData::Caption, placedWith({"font", "caption"})}},
      {"ComboBox", {0x0001000E, "kComboBox", KindData::Items, placedWith({"font", "items"})}},
      {"ProcessBar", {0x00010013, "kProcessBar", KindData::ProgressBar, placedWith({"maximum", "position"})}},
      {"Tab", {0x00010015, "kTab", KindData::Pages, placedWith({"font", "pages"})}},
      {"DatePicker", {0x00010017, "kDatePicker", KindData::None, placedWith({})}},
      {"CommonDlg",
       {0x0001001F, "kCommonDlg", KindData::CommonDlg,
        placedWith({"dialog-type", "filter", "filter-index", "folder", "dialog-title", "default-ext", "file"})}},
      {"ListView", {0x00020004, "kListView", KindData::ListView, placedWith({"font", "column", "single-selection"})}},
      {"DBConnection", {0x00030001, "kDBConnection", KindData::None, placedWith({})}},
      {"RecordSet", {0x00030002, "kRecordSet", KindData::None, placedWith({})}},
      {"ExcelApp", {0x00040001, "kExcelApp", KindData::None, placedWith({})}},
      {"ExcelWorkbooks", {0x00040002, "kExcelWorkbooks", KindData::None, placedWith({})}},
  };
  return table;
}

bool carriesFont(KindData d) {
  return d == KindData::EditBox || d == KindData::Caption || d == KindData::Items || d == KindData::Pages ||
         d == KindData::ListView;
}

// ----------------------------------------------------------------- tokens

std::vector<std::string> tokenize(const std::string& line, const Location& where) {
  std::vector<std::string> tokens;
  size_t i = 0;
  while (i < line.size()) {
    char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
      continue;
    }
    std::string token;
    if (c == '"') {
      ++i;
      bool closed = false;
      while (i < line.size()) {
        char d = line[i++];
        if (d == '"') {
          closed = true;
          break;
        }
        if (d == '\\') {
          if (i >= line.size() || (line[i] != '"' && line[i] != '\\')) fail(where, "bad escape in quoted text");
          d = line[i++];
        }
        token += d;
      }
      if (!closed) fail(where, "unterminated quoted text");
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') token += line[i++];
    }
    tokens.push_back(token);
  }
  return tokens;
}

int64_t parseNumber(const std::string& token, const Location& where) {
  if (token.empty()) fail(where, "number expected");
  size_t used = 0;
  long long value = 0;
  try {
    value = std::stoll(token, &used, 0);
  } catch (const std::exception&) { fail(where, "number expected, found '" + token + "'"); }
  if (used != token.size()) fail(where, "number expected, found '" + token + "'");
  return value;
}

int32_t parseInt(const std::string& token, const Location& where) {
  int64_t v = parseNumber(token, where);
  if (v < INT32_MIN || v > INT32_MAX) fail(where, "number out of range: " + token);
  return static_cast<int32_t>(v);
}

uint32_t parseId(const std::string& token, const Location& where) {
  int64_t v = parseNumber(token, where);
  if (v <= 0 || v > UINT32_MAX) fail(where, "id out of range: " + token);
  return static_cast<uint32_t>(v);
}

bool looksNumeric(const std::string& token) {
  return !token.empty() && (std::isdigit(static_cast<unsigned char>(token[0])) || token[0] == '-');
}

// ----------------------------------------------------------- source reader

void expectArgs(const std::vector<std::string>& t, size_t count, const Location& where) {
  if (t.size() != count + 1) fail(where, "'" + t[0] + "' takes " + std::to_string(count) + " value(s)");
}

void readWindowField(SourceWindow& w, const std::vector<std::string>& t, const Location& where) {
  const std::string& key = t[0];
  if (key == "words") {
    expectArgs(t, 2, where);
    w.wordA = static_cast<int32_t>(parseNumber(t[1], where));
    w.wordB = static_cast<int32_t>(parseNumber(t[2], where));
  } else if (key == "name") {
    expectArgs(t, 1, where);
    w.name = t[1];
  } else if (key == "comment") {
    expectArgs(t, 1, where);
    w.comment = t[1];
  } else if (key == "symbol") {
    expectArgs(t, 1, where);
    w.symbol = t[1];
  } else {
    fail(where, "'" + key + "' is not a window field (units start with 'unit')");
  }
}

void readUnitField(SourceUnit& u, const std::vector<std::string>& t, const Location& where) {
  const std::string& key = t[0];
  const KindInfo& info = kinds().at(u.kindName);
  bool repeatable = key == "contains" || key == "event" || key == "column";
  if (key != "name" && key != "comment" && key != "symbol" && info.keys.count(key) == 0)
    fail(where, "'" + key + "' does not belong to a " + u.kindName);
  if (!repeatable && !u.seenKeys.insert(key).second) fail(where, "'" + key + "' given twice");

  if (key == "name") {
    expectArgs(t, 1, where);
    if (u.kind == 0x00010003 || u.kind == 0x00010001) fail(where, "windows and menu items have no name");
    u.name = t[1];
  } else if (key == "comment") {
    expectArgs(t, 1, where);
    u.comment = t[1];
  } else if (key == "symbol") {
    expectArgs(t, 1, where);
    u.symbol = t[1];
  } else if (key == "tag") {
    expectArgs(t, 1, where);
    u.tag = t[1];
  } else if (key == "rect") {
    expectArgs(t, 4, where);
    for (int i = 0; i < 4; ++i) u.rect[i] = parseInt(t[1 + i], where);
    if (u.rect[2] < 0 || u.rect[3] < 0) fail(where, "negative size");
  } else if (key == "container") {
    expectArgs(t, 1, where);
    u.containerRef = t[1];
  } else if (key == "contains") {
    if (t.size() < 2) fail(where, "'contains' needs at least one unit");
    u.containsRefs.insert(u.containsRefs.end(), t.begin() + 1, t.end());
  } else if (key == "flags") {
    expectArgs(t, 1, where);
    u.flags = parseInt(t[1], where);
  } else if (key == "order") {
    expectArgs(t, 1, where);
    u.order = parseInt(t[1], where);
  } else if (key == "event") {
    expectArgs(t, 2, where);
    u.events.push_back({parseInt(t[1], where), t[2], where});
  } else if (key == "level") {
    expectArgs(t, 1, where);
    u.level = parseInt(t[1], where);
  } else if (key == "font") {
    if (t.size() != 3 && t.size() != 4) fail(where, "'font' takes a height, a weight and an optional face");
    u.font = Font{parseInt(t[1], where), parseInt(t[2], where), t.size() == 4 ? t[3] : std::string()};
  } else if (key == "caption") {
    expectArgs(t, 1, where);
    u.caption = t[1];
  } else if (key == "items") {
    u.items.assign(t.begin() + 1, t.end());
  } else if (key == "pages") {
    u.pages.assign(t.begin() + 1, t.end());
  } else if (key == "column") {
    expectArgs(t, 2, where);
    u.columns.push_back({parseInt(t[1], where), t[2]});
  } else if (key == "single-selection") {
    expectArgs(t, 1, where);
    u.singleSelection = parseInt(t[1], where);
  } else if (key == "border") {
    expectArgs(t, 1, where);
    u.border = parseInt(t[1], where);
  } else if (key == "display") {
    expectArgs(t, 1, where);
    u.display = parseInt(t[1], where);
  } else if (key == "maximum") {
    expectArgs(t, 1, where);
    u.maximum = parseInt(t[1], where);
  } else if (key == "position") {
    expectArgs(t, 1, where);
    u.position = parseInt(t[1], where);
  } else if (key == "dialog-type") {
    expectArgs(t, 1, where);
    u.dialogType = parseInt(t[1], where);
  } else if (key == "filter-index") {
    expectArgs(t, 1, where);
    u.filterIndex = parseInt(t[1], where);
  } else {
    expectArgs(t, 1, where);
    std::string* text = key == "filter"         ? &u.filter
                        : key == "folder"       ? &u.folder
                        : key == "dialog-title" ? &u.dialogTitle
                        : key == "default-ext"  ? &u.defaultExt
                                                : &u.file;
    *text = t[1];
  }
}

std::vector<SourceWindow> readSource(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw GenError(path + ": cannot open");
  std::vector<SourceWindow> windows;
  std::string line;
  Location where{path, 0};
  while (std::getline(in, line)) {
    ++where.line;
    std::vector<std::string> t = tokenize(line, where);
    if (t.empty() || t[0].starts_with("#")) continue;
    if (t[0] == "window") {
      expectArgs(t, 1, where);
      windows.push_back(SourceWindow{where, parseId(t[1], where), 0, 0, {}, {}, {}, {}});
      continue;
    }
    if (windows.empty()) fail(where, "a source starts with 'window ID'");
    SourceWindow& w = windows.back();
    if (t[0] == "unit") {
      expectArgs(t, 2, where);
      auto k = kinds().find(t[2]);
      if (k == kinds().end()) fail(where, "unknown unit kind '" + t[2] + "'");
      SourceUnit u;
      u.where = where;
      u.id = parseId(t[1], where);
      u.kindName = t[2];
      u.kind = k->second.tag;
      w.units.push_back(std::move(u));
    } else if (w.units.empty()) {
      readWindowField(w, t, where);
    } else {
      readUnitField(w.units.back(), t, where);
    }
  }
  if (windows.empty()) throw GenError(path + ": no window");
  return windows;
}

// ------------------------------------------------------------ handler list

// The handler names in table order, read from JX_HANDLER(name) lines.
std::vector<std::string> readHandlerList(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw GenError(path + ": cannot open");
  std::vector<std::string> names;
  std::set<std::string> seen;
  std::string line;
  Location where{path, 0};
  const std::string macro = "JX_HANDLER(";
  while (std::getline(in, line)) {
    ++where.line;
    std::string code = line.substr(0, line.find("//"));
    size_t at = code.find(macro);
    if (at == std::string::npos) {
      if (code.find_first_not_of(" \t\r") != std::string::npos) fail(where, "expected JX_HANDLER(name)");
      continue;
    }
    size_t close = code.find(')', at);
    if (close == std::string::npos) fail(where, "unterminated JX_HANDLER(");
    std::string name = code.substr(at + macro.size(), close - at - macro.size());
    if (name.empty() ||
        name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_") != std::string::npos)
      fail(where, "bad handler name '" + name + "'");
    if (!seen.insert(name).second) fail(where, "handler '" + name + "' listed twice");
    names.push_back(name);
  }
  if (names.empty()) throw GenError(path + ": no handlers");
  return names;
}

// -------------------------------------------------------------- validation

constexpr uint32_t kWindowKind = 0x00010001;
constexpr uint32_t kMenuKind = 0x00010003;
constexpr uint32_t kTabKind = 0x00010015;

uint32_t idNature(uint32_t id) { return (id >> 24) & 0xF; }
uint32_t idClass(uint32_t id) { return id >> 28; }

void checkIdNature(const SourceUnit& u) {
  uint32_t expectedClass = u.kind == kWindowKind ? 0 : u.kind == kMenuKind ? 2 : 1;
  if (idNature(u.id) != 6 || idClass(u.id) != expectedClass) fail(u.where, "id does not fit a " + u.kindName + " unit");
}

uint32_t resolveUnit(const SourceWindow& w, const std::string& ref, const Location& where) {
  if (looksNumeric(ref)) {
    uint32_t id = parseId(ref, where);
    for (const SourceUnit& u : w.units)
      if (u.id == id) return id;
    fail(where, "no unit " + ref + " in this window");
  }
  for (const SourceUnit& u : w.units)
    if (u.name == ref) return u.id;
  fail(where, "no unit named '" + ref + "' in this window");
}

const SourceUnit& unitById(const SourceWindow& w, uint32_t id) {
  for (const SourceUnit& u : w.units)
    if (u.id == id) return u;
  throw GenError("internal: unit vanished");
}

void resolveContainers(SourceWindow& w) {
  std::map<uint32_t, size_t> position;
  for (size_t i = 0; i < w.units.size(); ++i) position[w.units[i].id] = i;
  for (SourceUnit& u : w.units) {
    if (!u.containerRef.empty()) {
      u.container = resolveUnit(w, u.containerRef, u.where);
      if (position[u.container] >= position[u.id]) fail(u.where, "the container must come before its units");
    }
    for (const std::string& ref : u.containsRefs) {
      if (ref == "0") {
        if (u.kind != kTabKind) fail(u.where, "only a Tab separates pages with 0");
        u.contained.push_back(0);
      } else {
        u.contained.push_back(resolveUnit(w, ref, u.where));
      }
    }
  }
  // The two directions must agree: each contained unit names this container,
  // and each unit with a container is listed there exactly once.
  for (const SourceUnit& u : w.units) {
    for (uint32_t child : u.contained)
      if (child != 0 && unitById(w, child).container != u.id)
        fail(u.where, "contains '" + unitById(w, child).name + "', whose container is another unit");
    if (u.container != 0) {
      const SourceUnit& parent = unitById(w, u.container);
      size_t listed = 0;
      for (uint32_t child : parent.contained) listed += child == u.id;
      if (listed != 1) fail(u.where, "not listed exactly once by its container");
    }
  }
}

void checkWindow(SourceWindow& w) {
  if (idNature(w.id) != 2) fail(w.where, "not a window id");
  std::set<uint32_t> ids;
  std::set<std::string> names;
  size_t ownUnits = 0;
  for (const SourceUnit& u : w.units) {
    checkIdNature(u);
    if (!ids.insert(u.id).second) fail(u.where, "unit id used twice");
    if (!u.name.empty() && !names.insert(u.name).second) fail(u.where, "unit name used twice");
    if (!u.name.empty() && !u.symbol.empty()) fail(u.where, "a named unit is known by its name, not a symbol");
    ownUnits += u.kind == kWindowKind;
    const KindInfo& info = kinds().at(u.kindName);
    if (carriesFont(info.data) && !u.font) fail(u.where, "a " + u.kindName + " needs a font");
    if (u.font && u.font->face.size() > 31) fail(u.where, "font face too long");
    if (u.kind == kMenuKind) {
      if (u.level < 0) fail(u.where, "negative menu level");
      if (u.events.size() > 1 || (u.events.size() == 1 && u.events[0].event != 0))
        fail(u.where, "a menu item has a single event 0");
    }
    std::set<int32_t> events;
    for (const Binding& b : u.events)
      if (!events.insert(b.event).second) fail(b.where, "event bound twice");
  }
  if (ownUnits != 1) fail(w.where, "a window has exactly one unit of kind window");
  resolveContainers(w);
  for (const SourceUnit& u : w.units)
    if (u.kind == kTabKind) {
      size_t pages = 1;
      for (uint32_t child : u.contained) pages += child == 0;
      if (pages != u.pages.size()) fail(u.where, "page titles and contained pages differ in number");
    }
}

// Each handler of the list is bound exactly once: a stale or missing entry
// would shift the table the block's offsets point into.
std::map<std::string, int32_t> handlerOffsets(const std::vector<std::string>& names,
                                              const std::vector<SourceWindow>& windows) {
  constexpr int32_t kHandlerEntrySize = 8;
  std::map<std::string, int32_t> offsets;
  for (size_t i = 0; i < names.size(); ++i) offsets[names[i]] = static_cast<int32_t>(i) * kHandlerEntrySize;
  std::set<std::string> bound;
  for (const SourceWindow& w : windows)
    for (const SourceUnit& u : w.units)
      for (const Binding& b : u.events) {
        if (!offsets.count(b.handler)) fail(b.where, "handler '" + b.handler + "' is not in the handler list");
        if (!bound.insert(b.handler).second) fail(b.where, "handler '" + b.handler + "' is bound twice");
      }
  for (const std::string& name : names)
    if (!bound.count(name)) throw GenError("handler '" + name + "' of the handler list is bound nowhere");
  return offsets;
}

// ------------------------------------------------------------------ writer

class Bytes {
 public:
  void i32(int64_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) data_.push_back(static_cast<unsigned char>(u >> (8 * i)));
  }
  void byte(unsigned char b) { data_.push_back(b); }
  void zeros(size_t n) { data_.insert(data_.end(), n, 0); }
  void raw(const std::string& s) { data_.insert(data_.end(), s.begin(), s.end()); }
  void raw(const std::vector<unsigned char>& v) { data_.insert(data_.end(), v.begin(), v.end()); }
  void cText(const std::string& s) {
    raw(s);
    byte(0);
  }
  void lengthText(const std::string& s) {
    i32(static_cast<int64_t>(s.size()));
    raw(s);
  }
  size_t size() const { return data_.size(); }
  const std::vector<unsigned char>& data() const { return data_; }

 private:
  std::vector<unsigned char> data_;
};

constexpr size_t kRunTimeScratch = 20;
constexpr size_t kReservedBytes = 20;
constexpr size_t kMenuTailBytes = 16;
constexpr size_t kFaceBytes = 32;
constexpr int32_t kNoHandler = -1;
constexpr unsigned char kGb2312Charset = 134;

class BlockWriter {
 public:
  BlockWriter(const std::map<std::string, int32_t>& handlers) : handlers_(handlers) {}

  std::vector<unsigned char> block(const std::vector<SourceWindow>& windows) {
    Bytes out;
    out.i32(static_cast<int64_t>(8 * windows.size()));
    for (const SourceWindow& w : windows) out.i32(w.id);
    for (size_t i = 0; i < windows.size(); ++i) out.i32(0);
    for (const SourceWindow& w : windows) window(out, w);
    return out.data();
  }

 private:
  std::string gb(const std::string& utf8, const Location& where) const { return toGb18030(utf8, where); }

  void window(Bytes& out, const SourceWindow& w) {
    out.i32(w.wordA);
    out.i32(w.wordB);
    out.lengthText(gb(w.name, w.where));
    out.lengthText(gb(w.comment, w.where));
    out.i32(static_cast<int64_t>(w.units.size()));
    Bytes records;
    std::vector<int64_t> offsets;
    for (const SourceUnit& u : w.units) {
      Bytes body = unitBody(u);
      offsets.push_back(static_cast<int64_t>(records.size()));
      records.i32(static_cast<int64_t>(body.size()));
      records.raw(body.data());
    }
    Bytes unitBlock;
    for (const SourceUnit& u : w.units) unitBlock.i32(u.id);
    for (int64_t o : offsets) unitBlock.i32(o);
    unitBlock.raw(records.data());
    out.i32(static_cast<int64_t>(unitBlock.size()));
    out.raw(unitBlock.data());
  }

  int32_t handlerOffset(const std::string& name) const { return handlers_.at(name); }

  Bytes unitBody(const SourceUnit& u) {
    Bytes b;
    b.i32(u.kind);
    b.zeros(kRunTimeScratch);
    b.cText(gb(u.name, u.where));
    b.cText(gb(u.comment, u.where));
    if (u.kind == kMenuKind) {
      b.i32(0);
      b.i32(u.level);
      b.i32(u.flags);
      b.cText(gb(u.caption, u.where));
      b.i32(u.events.empty() ? kNoHandler : handlerOffset(u.events[0].handler));
      b.zeros(kMenuTailBytes);
      return b;
    }
    b.i32(0);
    for (int32_t v : u.rect) b.i32(v);
    b.i32(0);
    b.i32(u.container);
    b.i32(static_cast<int64_t>(u.contained.size()));
    for (uint32_t id : u.contained) b.i32(id);
    b.i32(0);  // no mouse-pointer data
    b.cText(gb(u.tag, u.where));
    b.i32(0);
    b.i32(u.flags);
    b.i32(u.order);
    b.i32(static_cast<int64_t>(u.events.size()));
    for (const Binding& e : u.events) {
      b.i32(e.event);
      b.i32(handlerOffset(e.handler));
    }
    b.zeros(kReservedBytes);
    kindData(b, u);
    return b;
  }

  void font(Bytes& b, const SourceUnit& u) {
    const Font& f = *u.font;
    b.i32(f.height);
    b.i32(0);  // width
    b.i32(0);  // escapement
    b.i32(0);  // orientation
    b.i32(f.weight);
    b.byte(0);  // italic
    b.byte(0);  // underline
    b.byte(0);  // strike-out
    b.byte(kGb2312Charset);
    b.byte(0);  // output precision
    b.byte(0);  // clip precision
    b.byte(0);  // quality
    b.byte(0);  // pitch and family
    std::string face = gb(f.face, u.where);
    if (face.size() >= kFaceBytes) fail(u.where, "font face too long");
    b.raw(face);
    b.zeros(kFaceBytes - face.size());
  }

  void textList(Bytes& b, const SourceUnit& u, const std::vector<std::string>& texts) {
    b.i32(static_cast<int64_t>(texts.size()));
    for (const std::string& t : texts) b.lengthText(gb(t, u.where));
  }

  void kindData(Bytes& b, const SourceUnit& u) {
    switch (kinds().at(u.kindName).data) {
      case KindData::None:
      case KindData::Menu: break;
      case KindData::Window: b.lengthText(gb(u.caption, u.where)); break;
      case KindData::EditBox: font(b, u); break;
      case KindData::PicBox:
        b.i32(u.border);
        b.i32(u.display);
        b.i32(0);  // no stored picture
        break;
      case KindData::Caption:
        font(b, u);
        b.lengthText(gb(u.caption, u.where));
        break;
      case KindData::Items:
        font(b, u);
        textList(b, u, u.items);
        break;
      case KindData::ProgressBar:
        b.i32(u.maximum);
        b.i32(u.position);
        break;
      case KindData::Pages:
        font(b, u);
        textList(b, u, u.pages);
        break;
      case KindData::CommonDlg:
        b.i32(u.dialogType);
        b.lengthText(gb(u.filter, u.where));
        b.i32(u.filterIndex);
        b.lengthText(gb(u.folder, u.where));
        b.lengthText(gb(u.dialogTitle, u.where));
        b.lengthText(gb(u.defaultExt, u.where));
        b.lengthText(gb(u.file, u.where));
        break;
      case KindData::ListView: {
        font(b, u);
        Bytes columns;
        for (const Column& c : u.columns) {
          columns.byte(0);
          columns.i32(-1);  // no image
          columns.i32(0);   // left aligned
          columns.i32(c.width);
          columns.cText(gb(c.title, u.where));
        }
        b.i32(static_cast<int64_t>(columns.size()));
        b.raw(columns.data());
        b.i32(u.singleSelection);
        b.i32(-1);  // no row selected
        break;
      }
    }
  }

  const std::map<std::string, int32_t>& handlers_;
};

// ------------------------------------------------------------------ output

std::string cppSource(const std::vector<unsigned char>& block) {
  std::ostringstream s;
  s << "// Generated by tplgen from the window template sources and handlers.def.\n"
    << "// Do not edit: change the sources and rebuild.\n"
    << "#include \"app/windows/template_block.h\"\n\n"
    << "namespace app {\n\n"
    << "alignas(8) const unsigned char kTemplateBlock[] = {";
  char hex[8];
  for (size_t i = 0; i < block.size(); ++i) {
    if (i % 16 == 0) s << "\n   ";
    std::snprintf(hex, sizeof hex, " 0x%02X,", block[i]);
    s << hex;
  }
  s << "\n};\n\nconst int32_t kTemplateBlockSize = " << block.size() << ";\n\n}  // namespace app\n";
  return s.str();
}

// A constant's name must be an identifier: ASCII letters, digits and '_'
// (not first a digit), or any character beyond ASCII.
void checkIdentifier(const std::string& name, const Location& where) {
  bool good = !name.empty() && !std::isdigit(static_cast<unsigned char>(name[0]));
  for (unsigned char c : name) good = good && (c >= 0x80 || std::isalnum(c) || c == '_');
  if (!good) fail(where, "'" + name + "' cannot name a constant in ids.h");
}

std::string hexId(uint32_t id) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", id);
  return text;
}

// ids.h: one namespace of constants for every window and every unit that
// has a name or a symbol, in source order. Names are unique across windows.
std::string idsHeader(const std::vector<SourceWindow>& windows) {
  std::ostringstream s;
  s << "// Generated by tplgen from the window template sources: the windows and\n"
    << "// units of the templates, by the names the templates give them. Every\n"
    << "// handler addresses controls through these. Do not edit.\n"
    << "#pragma once\n\n#include <cstdint>\n\n#include \"runtime/api.h\"\n#include \"runtime/value.h\"\n\n"
    << "namespace ui {\n\nusing rt::api::Unit;\n\n";
  std::set<std::string> used;
  auto claim = [&](const std::string& name, const Location& where) {
    checkIdentifier(name, where);
    if (!used.insert(name).second) fail(where, "'" + name + "' names two constants in ids.h");
  };
  for (const SourceWindow& w : windows) {
    if (w.symbol.empty()) fail(w.where, "a window needs a 'symbol' for its id constant");
    claim(w.symbol, w.where);
    s << "inline constexpr uint32_t " << w.symbol << " = " << hexId(w.id) << ";\n";
  }
  for (const SourceWindow& w : windows) {
    s << "\n// Window " << w.symbol << ".\n";
    for (const SourceUnit& u : w.units) {
      const std::string& name = u.symbol.empty() ? u.name : u.symbol;
      if (name.empty()) continue;
      claim(name, u.where);
      s << "inline constexpr Unit " << name << "{" << w.symbol << ", " << hexId(u.id) << ", "
        << "rt::kind::" << kinds().at(u.kindName).constant << "};\n";
    }
  }
  s << "\n}  // namespace ui\n";
  return s.str();
}

// Writes through a temporary file so that a failed run leaves no half file.
void writeFile(const std::string& path, const std::string& content) {
  std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) throw GenError(temporary + ": cannot write");
    out << content;
    if (!out.flush()) throw GenError(temporary + ": write failed");
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) throw GenError(path + ": cannot replace");
}

int run(int argc, char** argv) {
  std::string handlersPath, outputPath, idsPath;
  std::vector<std::string> sources;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--handlers" && i + 1 < argc) {
      handlersPath = argv[++i];
    } else if (arg == "--output" && i + 1 < argc) {
      outputPath = argv[++i];
    } else if (arg == "--ids" && i + 1 < argc) {
      idsPath = argv[++i];
    } else if (arg.starts_with("--")) {
      throw GenError("unknown option " + arg);
    } else {
      sources.push_back(arg);
    }
  }
  if (handlersPath.empty() || outputPath.empty() || sources.empty())
    throw GenError("usage: tplgen --handlers FILE --output FILE [--ids FILE] SOURCE...");

  std::vector<SourceWindow> windows;
  for (const std::string& path : sources)
    for (SourceWindow& w : readSource(path)) windows.push_back(std::move(w));
  std::set<uint32_t> windowIds;
  for (SourceWindow& w : windows) {
    if (!windowIds.insert(w.id).second) fail(w.where, "window id used twice");
    checkWindow(w);
  }
  std::map<std::string, int32_t> offsets = handlerOffsets(readHandlerList(handlersPath), windows);
  BlockWriter writer(offsets);
  writeFile(outputPath, cppSource(writer.block(windows)));
  if (!idsPath.empty()) writeFile(idsPath, idsHeader(windows));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "tplgen: " << e.what() << "\n";
    return 1;
  }
}
