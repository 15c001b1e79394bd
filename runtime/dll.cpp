// DllCommand resolution: the first call of an index finds its library and
// function and caches the address with the module handle, so later calls
// jump straight to it. The search order and the built-in module are described
// in dll_search.h.
#include "runtime/dll.h"

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "runtime/desktop.h"
#include "runtime/dll_search.h"
#include "runtime/encoding.h"
#include "runtime/error.h"
#include "runtime/program_folder.h"

namespace rt {
namespace {

// The order in which an empty library name is tried.
constexpr std::array<std::string_view, 6> kSystemLibraryOrder = {"Kernel32.dll", "Gdi32.dll", "User32.dll",
                                                                 "Advapi32.dll", "Mpr.dll",   "Shell32.dll"};
constexpr std::array<std::string_view, 6> kSystemLibraryStems = {"kernel32", "user32", "gdi32",
                                                                 "advapi32", "mpr",    "shell32"};
constexpr std::string_view kDllSuffix = ".dll";
constexpr char kOrdinalMark = '#';
constexpr uint32_t kOrdinalMask = 0xFFFF;

// The built-in module.
int32_t builtinBeep(uint32_t frequency, uint32_t durationMs) {
  if (hasDesktop()) desktop().beep(frequency, durationMs);
  return 1;
}
static_assert(std::is_same_v<decltype(&builtinBeep), BeepFunction>);

struct BuiltinFunction {
  std::string_view name;
  void* address;
};
const BuiltinFunction kBuiltinFunctions[] = {
    {"Beep", reinterpret_cast<void*>(&builtinBeep)},
};

// A loaded library: a dlopen handle, or the built-in module (no handle).
struct Module {
  void* handle = nullptr;
  bool builtin = false;
};

struct Resolved {
  void* address = nullptr;
  Module module;
};

struct DllState {
  const DllCommand* table = nullptr;
  int32_t count = 0;
  std::vector<Resolved> cache;
  std::string searchFolderGb, secondFolderGb;
  int64_t openAttempts = 0;
};
DllState& state() {
  static DllState s;
  return s;
}

std::string lowered(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
  return out;
}

bool endsWithDll(std::string_view name) {
  return name.size() >= kDllSuffix.size() && lowered(name.substr(name.size() - kDllSuffix.size())) == kDllSuffix;
}

bool isSystemLibrary(std::string_view name) {
  std::string stem = lowered(endsWithDll(name) ? name.substr(0, name.size() - kDllSuffix.size()) : name);
  return std::find(kSystemLibraryStems.begin(), kSystemLibraryStems.end(), stem) != kSystemLibraryStems.end();
}

// The file names tried for a library name (native UTF-8): "x.dll" becomes
// "x.so" and "libx.so" (the prefix goes on the file name, not its folder).
std::vector<std::string> candidateFiles(const std::string& name) {
  if (!endsWithDll(name)) return {name};
  std::string stem = name.substr(0, name.size() - kDllSuffix.size());
  size_t slash = stem.rfind('/');
  size_t fileStart = slash == std::string::npos ? 0 : slash + 1;
  return {stem + ".so", stem.substr(0, fileStart) + "lib" + stem.substr(fileStart) + ".so"};
}

std::string joinFolder(const std::string& folderGb, const std::string& name) {
  std::string folder = toNativePath(folderGb);
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder + name;
}

std::optional<Module> openFile(const std::string& path) {
  ++state().openAttempts;
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) return std::nullopt;
  return Module{handle, false};
}

std::optional<Module> openInPlaces(const std::vector<std::string>& places, const std::string& nativeName) {
  std::vector<std::string> files = candidateFiles(nativeName);
  for (const std::string& place : places)
    for (const std::string& file : files)
      if (auto module = openFile(place + file)) return module;
  return std::nullopt;
}

std::optional<Module> loadLibrary(std::string_view nameGb) {
  if (isSystemLibrary(nameGb)) return Module{nullptr, true};
  std::string nativeName = toNativePath(nameGb);
  if (nameGb.find(':') != std::string_view::npos) return openInPlaces({""}, nativeName);
  DllState& s = state();
  std::vector<std::string> places;
  if (!s.searchFolderGb.empty()) places.push_back(joinFolder(s.searchFolderGb, ""));
  if (!programFolder().empty()) places.push_back(toNativePath(programFolder()) + "/");
  if (!s.secondFolderGb.empty()) places.push_back(joinFolder(s.secondFolderGb, ""));
  places.push_back("");  // the bare name: the dynamic loader's own search
  return openInPlaces(places, nativeName);
}

void unload(const Module& module) {
  if (module.handle) dlclose(module.handle);
}

std::string symbolName(std::string_view functionGb) {
  if (functionGb.empty() || functionGb.front() != kOrdinalMark) return std::string(functionGb);
  uint32_t ordinal = static_cast<uint32_t>(std::strtoul(std::string(functionGb.substr(1)).c_str(), nullptr, 10));
  return kOrdinalMark + std::to_string(ordinal & kOrdinalMask);
}

void* lookUp(const Module& module, std::string_view functionGb) {
  std::string symbol = symbolName(functionGb);
  if (module.builtin) {
    for (const BuiltinFunction& f : kBuiltinFunctions)
      if (f.name == symbol) return f.address;
    return nullptr;
  }
  return dlsym(module.handle, symbol.c_str());
}

[[noreturn]] void missingFunction(std::string_view libraryGb, std::string_view functionGb) {
  std::string message;
  if (libraryGb.empty())
    message = utf8ToGb("无法找到指定DLL库文件中的输出命令“") + std::string(functionGb) + utf8ToGb("”");
  else
    message = utf8ToGb("无法找到指定DLL库文件“") + std::string(libraryGb) + utf8ToGb("”中的输出命令“") +
              std::string(functionGb) + utf8ToGb("”");
  RunTimeError(message, 0, 0, 0);
}

// An empty library name: the first system library that has the function.
Resolved resolveInSystemLibraries(std::string_view functionGb) {
  for (std::string_view name : kSystemLibraryOrder) {
    std::optional<Module> module = loadLibrary(name);
    if (!module) continue;
    if (void* address = lookUp(*module, functionGb)) return {address, *module};
    unload(*module);
  }
  missingFunction({}, functionGb);
}

Resolved resolve(std::string_view libraryGb, std::string_view functionGb) {
  if (libraryGb.empty()) return resolveInSystemLibraries(functionGb);
  std::optional<Module> module = loadLibrary(libraryGb);
  if (module) {
    if (void* address = lookUp(*module, functionGb)) return {address, *module};
    unload(*module);  // the library is not kept when its function is missing
  }
  missingFunction(libraryGb, functionGb);
}

std::string_view textOrEmpty(const char* text) { return text ? std::string_view(text) : std::string_view(); }

}  // namespace

void setDllCommands(const DllCommand* table, int32_t count) {
  unloadDllModules();
  DllState& s = state();
  s.table = table;
  s.count = table ? std::max(count, 0) : 0;
  s.cache.assign(static_cast<size_t>(s.count), Resolved{});
}

void* resolveDllCommand(int32_t index) {
  DllState& s = state();
  if (index < 0 || index >= s.count) missingFunction({}, std::to_string(index));
  Resolved& cached = s.cache[static_cast<size_t>(index)];
  if (!cached.address) {
    const DllCommand& command = s.table[index];
    cached = resolve(textOrEmpty(command.library), textOrEmpty(command.function));
  }
  return cached.address;
}

void unloadDllModules() {
  DllState& s = state();
  for (Resolved& resolved : s.cache) unload(resolved.module);
  s.cache.clear();
  s.table = nullptr;
  s.count = 0;
}

void setDllSearchFolders(std::string searchFolderGb, std::string secondFolderGb) {
  state().searchFolderGb = std::move(searchFolderGb);
  state().secondFolderGb = std::move(secondFolderGb);
}

int64_t dllModuleOpenAttempts() { return state().openAttempts; }

}  // namespace rt
