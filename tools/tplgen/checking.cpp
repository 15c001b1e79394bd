#include "tools/tplgen/checking.h"

#include <cctype>
#include <set>

#include "runtime/template_format.h"
#include "runtime/value.h"

namespace tplgen {
namespace {

constexpr uint32_t kWindowKind = rt::kind::kWindow;
constexpr uint32_t kMenuKind = rt::kind::kMenu;
constexpr uint32_t kTabKind = rt::kind::kTab;

// A window's own unit, a menu item and a control each have ids of their own class.
void checkIdNature(const SourceUnit& u) {
  bool fits = u.kind == kWindowKind ? rt::ids::isWindowOwnUnit(u.id)
              : u.kind == kMenuKind ? rt::ids::isMenuItemId(u.id)
                                    : rt::ids::isControlId(u.id);
  if (!fits) fail(u.where, "id does not fit a " + u.kindName + " unit");
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
  if (!rt::ids::isWindowId(w.id)) fail(w.where, "not a window id");
  std::set<uint32_t> ids;
  std::set<std::string> names;
  size_t ownUnits = 0;
  for (const SourceUnit& u : w.units) {
    checkIdNature(u);
    if (!ids.insert(u.id).second) fail(u.where, "unit id used twice");
    if (!u.name.empty() && !names.insert(u.name).second) fail(u.where, "unit name used twice");
    if (!u.name.empty() && !u.symbol.empty()) fail(u.where, "a named unit is known by its name, not a symbol");
    ownUnits += u.kind == kWindowKind;
    if (rt::tpl::carriesFont(rt::tpl::kindDataOf(u.kind)) && !u.font)
      fail(u.where, "a " + u.kindName + " needs a font");
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

// A constant's name must be an identifier: ASCII letters, digits and '_'
// (not first a digit), or any character beyond ASCII.
void checkIdentifier(const std::string& name, const Location& where) {
  bool good = !name.empty() && !std::isdigit(static_cast<unsigned char>(name[0]));
  for (unsigned char c : name) good = good && (c >= 0x80 || std::isalnum(c) || c == '_');
  if (!good) fail(where, "'" + name + "' cannot name a constant in ids.h");
}

// ids.h has one constant for every window and every unit that has a name
// or a symbol; the names are unique across windows.
void checkSymbols(const std::vector<SourceWindow>& windows) {
  std::set<std::string> used;
  auto claim = [&](const std::string& name, const Location& where) {
    checkIdentifier(name, where);
    if (!used.insert(name).second) fail(where, "'" + name + "' names two constants in ids.h");
  };
  for (const SourceWindow& w : windows) {
    if (w.symbol.empty()) fail(w.where, "a window needs a 'symbol' for its id constant");
    claim(w.symbol, w.where);
  }
  for (const SourceWindow& w : windows)
    for (const SourceUnit& u : w.units) {
      const std::string& name = u.symbol.empty() ? u.name : u.symbol;
      if (!name.empty()) claim(name, u.where);
    }
}

}  // namespace

void checkWindows(std::vector<SourceWindow>& windows) {
  std::set<uint32_t> windowIds;
  for (SourceWindow& w : windows) {
    if (!windowIds.insert(w.id).second) fail(w.where, "window id used twice");
    checkWindow(w);
  }
  checkSymbols(windows);
}

// Each handler of the list is bound exactly once: a stale or missing entry
// would shift the table the block's offsets point into.
std::map<std::string, int32_t> handlerOffsets(const std::vector<std::string>& names,
                                              const std::vector<SourceWindow>& windows) {
  std::map<std::string, int32_t> offsets;
  for (size_t i = 0; i < names.size(); ++i) offsets[names[i]] = static_cast<int32_t>(i) * rt::tpl::kHandlerEntryBytes;
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

}  // namespace tplgen
