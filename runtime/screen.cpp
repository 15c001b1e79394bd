// The installed screen, the headless stand-in used without one, and the
// runtime's start-up (Service 6), whose window steps the screen supplies.
#include "runtime/screen.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "base/allocator.h"
#include "runtime/commands/window_commands.h"
#include "runtime/dll.h"
#include "runtime/encoding.h"
#include "runtime/error.h"
#include "runtime/folder_lock.h"
#include "runtime/heap.h"
#include "runtime/program_folder.h"
#include "runtime/templates.h"

namespace rt {
namespace {

// No windows: a property of any unit is a unit that is not loaded, and the
// start window cannot load.
class HeadlessScreen final : public Screen {
 public:
  void beginStartUp() override {}
  void finishStartUp() override {}
  std::span<const UnitKind> coreUnitKinds() override { return {}; }
  CommandFn windowCommand(int32_t) override { return nullptr; }
  uint64_t readUnitProperty(uint32_t windowId, uint32_t unitId, int32_t, int32_t) override {
    fatalUtf8("指定窗口或窗口组件不存在或尚未载入", windowId, unitId);
  }
  void writeUnitProperty(uint32_t windowId, uint32_t unitId, int32_t, int32_t, uint64_t) override {
    fatalUtf8("指定窗口或窗口组件不存在或尚未载入", windowId, unitId);
  }
  void loadStartWindow(uint32_t windowId) override { fatalUtf8("载入启动窗口失败", windowId, 0); }
  void runMessageLoop() override {}
  void processPendingEvents() override {}
  void registerIdleRoutine(uint32_t, IdleRoutine, intptr_t) override {}
  void closeAllWindows() override {}
  bool onGuiThread() override { return true; }
  void forwardExit(int32_t) override {}
};

HeadlessScreen headless;
Screen* installedScreen = &headless;

struct RuntimeState {
  int32_t buildKind = 0;
  int32_t version = 0;  // the program's version word plus one
  const char* constantBlock = nullptr;
  int32_t constantBlockSize = 0;
};
RuntimeState runtimeState;

// However the folder was chosen, the program holds it for the whole run, so
// that a restore of a backup never replaces files under a running program.
void enterProgramFolder() {
  if (const ProgramFolderChoice& choice = programFolderChoice()) {
    std::optional<std::string> chosen = choice();
    if (!chosen) ExitProgram(0);
    enterFolder(*chosen);
  } else if (programFolder().empty()) {
    adoptExecutableFolder();
  } else {
    // A folder given beforehand (tests) becomes the current directory as well.
    std::error_code ignored;
    std::filesystem::current_path(toNativePath(programFolder()), ignored);
  }
  if (!programFolder().empty()) holdProgramFolder(toNativePath(programFolder()));
}

void loadTemplates(const ProgramHeader& header) {
  try {
    installTemplates(parseTemplateBlock(header.templateBlock,
                                        static_cast<size_t>(std::max(header.templateBlockSize, 0)), header.codeBase));
  } catch (const TemplateError&) { fatalUtf8("载入窗口模板数据段出错!"); }
}

}  // namespace

void installScreen(Screen* s) {
  installedScreen = s ? s : &headless;
  attachWindowCommands(*installedScreen);
}

Screen& screen() { return *installedScreen; }

void startUpRuntime(const ProgramHeader& header) {
  base::keepFreedMemoryForReuse();
  screen().beginStartUp();
  runtimeState.buildKind = header.buildKind;
  runtimeState.version = header.versionWord + 1;
  enterProgramFolder();
  runtimeState.constantBlock = header.constantBlock;
  runtimeState.constantBlockSize = header.constantBlockSize;
  setDllCommands(header.dllCommands, header.dllCommandCount);
  registerLibraries(header.libraries, header.libraryCount);
  std::span<const UnitKind> coreKinds = screen().coreUnitKinds();
  registerUnitKinds(coreKinds.data(), coreKinds.size());
  for (int32_t i = 0; i < header.libraryCount; ++i) {
    const Library* library = header.libraries[i];
    if (library && library->notify) library->notify(kNotifyStart);
  }
  loadTemplates(header);
  screen().finishStartUp();
}

}  // namespace rt
