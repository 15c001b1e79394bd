#include "runtime/library.h"

#include <unordered_map>

#include "runtime/error.h"

namespace rt {
namespace {

struct Registry {
  std::vector<const Library*> libraries;  // index = number - 1
  std::unordered_map<uint32_t, const UnitKind*> kinds;
  std::unordered_map<uint64_t, UnitObject*> units;
};
Registry& registry() {
  static Registry r;
  return r;
}
uint64_t unitKey(uint32_t windowId, uint32_t unitId) { return (static_cast<uint64_t>(windowId) << 32) | unitId; }

}  // namespace

void registerLibraries(const Library* const* libraries, int32_t count) {
  auto& r = registry();
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
  if (!library || commandNumber < 0 || commandNumber >= static_cast<int32_t>(library->commands.size()))
    return nullptr;
  return library->commands[commandNumber];
}

void registerUnitObject(uint32_t windowId, uint32_t unitId, UnitObject* object) {
  registry().units[unitKey(windowId, unitId)] = object;
}

void unregisterUnitObject(uint32_t windowId, uint32_t unitId) { registry().units.erase(unitKey(windowId, unitId)); }

UnitObject* findUnitObject(uint32_t windowId, uint32_t unitId) {
  auto& units = registry().units;
  auto it = units.find(unitKey(windowId, unitId));
  return it == units.end() ? nullptr : it->second;
}

UnitObject& requireUnitObject(uint32_t windowId, uint32_t unitId) {
  UnitObject* object = findUnitObject(windowId, unitId);
  if (!object) fatalUtf8("指定窗口或窗口组件不存在或尚未载入", windowId, unitId);
  return *object;
}

}  // namespace rt
