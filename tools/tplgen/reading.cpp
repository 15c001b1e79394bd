#include "tools/tplgen/reading.h"

#include <cctype>
#include <fstream>
#include <sstream>

#include "runtime/value.h"

namespace tplgen {
namespace {

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
    if (u.kind == rt::kind::kMenu || u.kind == rt::kind::kWindow) fail(where, "windows and menu items have no name");
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

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw GenError(path + ": cannot open");
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The lines of a text, each without its '\n'.
std::vector<std::string> linesOf(std::string_view text) {
  std::vector<std::string> lines;
  std::istringstream in{std::string(text)};
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace

std::vector<SourceWindow> readSourceText(std::string_view text, const std::string& name) {
  std::vector<SourceWindow> windows;
  Location where{name, 0};
  for (const std::string& line : linesOf(text)) {
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
  if (windows.empty()) throw GenError(name + ": no window");
  return windows;
}

std::vector<SourceWindow> readSource(const std::string& path) { return readSourceText(fileText(path), path); }

std::vector<std::string> readHandlerListText(std::string_view text, const std::string& fileName) {
  std::vector<std::string> names;
  std::set<std::string> seen;
  Location where{fileName, 0};
  const std::string macro = "JX_HANDLER(";
  for (const std::string& line : linesOf(text)) {
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
  if (names.empty()) throw GenError(fileName + ": no handlers");
  return names;
}

std::vector<std::string> readHandlerList(const std::string& path) { return readHandlerListText(fileText(path), path); }

}  // namespace tplgen
