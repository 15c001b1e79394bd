#include "runtime/library.h"

#include <array>
#include <unordered_map>

#include "runtime/entry.h"
#include "runtime/error.h"

namespace rt {
namespace {

// Commands look the same few units up again and again (a list fill
// alternates between the list and its record set, once per cell): the units
// found last are remembered, and any change of the table forgets them.
class RecentUnits {
 public:
  UnitObject* find(uint64_t key) const {
    for (const Entry& entry : entries_)
      if (entry.key == key) return entry.object;
    return nullptr;
  }
  void remember(uint64_t key, UnitObject* object) {
    entries_[next_] = {key, object};
    next_ = (next_ + 1) % entries_.size();
  }
  void forget() { entries_ = {}; }

 private:
  struct Entry {
    uint64_t key = 0;  // no unit has window id 0 and unit id 0
    UnitObject* object = nullptr;
  };
  std::array<Entry, 4> entries_{};
  size_t next_ = 0;
};

struct Registry {
  std::vector<const Library*> libraries;  // index = number - 1
  std::unordered_map<uint32_t, const UnitKind*> kinds;
  std::unordered_map<uint64_t, UnitObject*> units;
  RecentUnits recent;
};
Registry& registry() {
  static Registry r;
  return r;
}
uint64_t unitKey(uint32_t windowId, uint32_t unitId) { return (static_cast<uint64_t>(windowId) << 32) | unitId; }

}  // namespace

std::atomic<uint32_t> libraryRegistrations{0};

void registerLibraries(const Library* const* libraries, int32_t count) {
  auto& r = registry();
  libraryRegistrations.fetch_add(1, std::memory_order_release);
  r.libraries.clear();
  r.kinds.clear();
  for (int32_t i = 0; i < count; ++i) {
    const Library* library = libraries[i];
    if (!library) continue;
    if (static_cast<int32_t>(r.libraries.size()) < library->number) r.libraries.resize(library->number, nullptr);
    r.libraries[library->number - 1] = library;
    for (const UnitKind& k : library->kinds) r.kinds[k.tag] = &k;
  }
}

void registerUnitKinds(const UnitKind* kinds, size_t count) {
  for (size_t i = 0; i < count; ++i) registry().kinds[kinds[i].tag] = &kinds[i];
}

const Library* findLibrary(int32_t number) {
  auto& r = registry();
  if (number < 1 || number > static_cast<int32_t>(r.libraries.size())) return nullptr;
  return r.libraries[number - 1];
}

const UnitKind* findUnitKind(uint32_t kindTag) {
  auto& r = registry();
  auto it = r.kinds.find(kindTag);
  return it == r.kinds.end() ? nullptr : it->second;
}

CommandFn findCommand(int32_t libraryNumber, int32_t commandNumber) {
  const Library* library = findLibrary(libraryNumber);
  if (!library || commandNumber < 0 || static_cast<size_t>(commandNumber) >= library->commands.size()) return nullptr;
  return library->commands[static_cast<size_t>(commandNumber)];
}

void registerUnitObject(uint32_t windowId, uint32_t unitId, UnitObject* object) {
  auto& r = registry();
  r.recent.forget();
  r.units[unitKey(windowId, unitId)] = object;
}

void unregisterUnitObject(uint32_t windowId, uint32_t unitId) {
  auto& r = registry();
  r.recent.forget();
  r.units.erase(unitKey(windowId, unitId));
}

UnitObject* findUnitObject(uint32_t windowId, uint32_t unitId) {
  auto& r = registry();
  uint64_t key = unitKey(windowId, unitId);
  if (UnitObject* object = r.recent.find(key)) return object;
  auto it = r.units.find(key);
  if (it == r.units.end() || !it->second) return nullptr;
  r.recent.remember(key, it->second);
  return it->second;
}

UnitObject& requireUnitObject(uint32_t windowId, uint32_t unitId) {
  UnitObject* object = findUnitObject(windowId, unitId);
  if (!object) fatalUtf8("指定窗口或窗口组件不存在或尚未载入", windowId, unitId);
  return *object;
}

}  // namespace rt
