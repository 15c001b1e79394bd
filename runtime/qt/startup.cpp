// Start-up of the runtime, the message loop with its idle routines, and the
// hooks through which the core reaches the windows.
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEventLoop>
#include <QThread>
#include <algorithm>
#include <filesystem>
#include <iterator>
#include <memory>
#include <system_error>
#include <vector>

#include "runtime/desktop.h"
#include "runtime/dll.h"
#include "runtime/encoding.h"
#include "runtime/error.h"
#include "runtime/program_folder.h"
#include "runtime/qt/qt_desktop.h"
#include "runtime/qt/window_manager.h"
#include "runtime/screen.h"
#include "runtime/templates.h"

namespace rt {
namespace {

struct RuntimeState {
  int32_t buildKind = 0;
  int32_t version = 0;  // the program's version word plus one
  const char* constantBlock = nullptr;
  int32_t constantBlockSize = 0;
  QEventLoop* loop = nullptr;
  bool idleRunning = false;
  bool idleConnected = false;
};
RuntimeState state;

struct IdleEntry {
  uint32_t windowId;
  IdleRoutine routine;
  intptr_t argument;
};
std::vector<IdleEntry> idleRoutines;  // oldest first

// The application object lives as long as the process. The exit sequence
// ends the process without running static destructors, and destroying Qt's
// application object during static destruction would touch Qt globals that
// are already gone, so it is deliberately never destroyed.
void ensureApplication() {
  if (QCoreApplication::instance()) return;
  static int argc = 1;
  static char programName[] = "jiaxiao";
  static char* argv[] = {programName, nullptr};
  static QApplication* const application = new QApplication(argc, argv);
  (void)application;
}

void runIdleRoutines() {
  if (!state.loop || state.idleRunning) return;
  auto& windows = WindowManager::instance();
  std::erase_if(idleRoutines, [&](const IdleEntry& entry) { return !windows.find(entry.windowId); });
  if (idleRoutines.empty()) return;
  state.idleRunning = true;
  std::vector<IdleEntry> due(idleRoutines.rbegin(), idleRoutines.rend());
  for (const IdleEntry& entry : due)
    if (windows.find(entry.windowId)) entry.routine(entry.argument);
  state.idleRunning = false;
}

void connectIdleProcessing() {
  if (state.idleConnected) return;
  QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(qApp->thread());
  if (!dispatcher) return;
  QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, qApp, &runIdleRoutines);
  state.idleConnected = true;
}

// --- hooks of the core ---

bool windowNameOf(uint32_t windowId, std::string& nameGb) {
  const WindowTemplate* window = findWindowTemplate(windowId);
  if (!window) return false;
  nameGb = window->nameGb;
  return true;
}

bool unitNameOf(uint32_t windowId, uint32_t unitId, std::string& nameGb, bool& isMenuItem) {
  const WindowTemplate* window = findWindowTemplate(windowId);
  const UnitTemplate* unit = window ? window->find(unitId) : nullptr;
  if (!unit) return false;
  nameGb = unit->nameGb;
  isMenuItem = unit->isMenuItem();
  return true;
}

void closeWindowsForExit() {
  idleRoutines.clear();
  WindowManager::instance().closeAll(false);
}

// An exit asked for on another thread runs on the GUI thread; this thread
// waits for it (the exit sequence ends the process there).
void forwardExitToGuiThread(int32_t code) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  QMetaObject::invokeMethod(app, [code] { ExitProgram(code); }, Qt::BlockingQueuedConnection);
}

bool onGuiThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return !app || QThread::currentThread() == app->thread();
}

void installHooks() {
  ScreenHooks hooks;
  hooks.windowName = &windowNameOf;
  hooks.unitName = &unitNameOf;
  hooks.closeAllWindows = &closeWindowsForExit;
  hooks.forwardExit = &forwardExitToGuiThread;
  hooks.onGuiThread = &onGuiThread;
  setScreenHooks(hooks);
  WindowManager::instance().setLoopEnd([] {
    if (state.loop) state.loop->quit();
  });
}

void enterProgramFolder() {
  if (programFolder().empty()) {
    adoptExecutableFolder();
    return;
  }
  // A folder given beforehand (tests) becomes the current directory as well.
  std::error_code ignored;
  std::filesystem::current_path(toNativePath(programFolder()), ignored);
}

// The unit kinds of the core library, built by this layer.
const UnitKind kCoreUnitKinds[] = {
    {kind::kWindow, "window", true, nullptr},        {kind::kMenu, "menu", true, nullptr},
    {kind::kEditBox, "EditBox", true, nullptr},      {kind::kPicBox, "PicBox", true, nullptr},
    {kind::kLabel, "Label", true, nullptr},          {kind::kButton, "Button", true, nullptr},
    {kind::kComboBox, "ComboBox", true, nullptr},    {kind::kProcessBar, "ProcessBar", true, nullptr},
    {kind::kTab, "Tab", true, nullptr},              {kind::kDatePicker, "DatePicker", true, nullptr},
    {kind::kCommonDlg, "CommonDlg", false, nullptr}, {kind::kComObject, "ComObject", false, nullptr},
};

void loadTemplates(const ProgramHeader& header) {
  try {
    installTemplates(parseTemplateBlock(header.templateBlock, static_cast<size_t>(std::max(header.templateBlockSize, 0)),
                                        header.codeBase));
  } catch (const TemplateError&) {
    fatalUtf8("载入窗口模板数据段出错!");
  }
}

}  // namespace

void startUpRuntime(const ProgramHeader& header) {
  ensureApplication();
  // A second start-up (tests) begins without windows of the first.
  WindowManager::instance().closeAll(false);
  if (!hasDesktop()) setDesktop(&qtDesktop());
  installHooks();
  state.buildKind = header.buildKind;
  state.version = header.versionWord + 1;
  enterProgramFolder();
  state.constantBlock = header.constantBlock;
  state.constantBlockSize = header.constantBlockSize;
  setDllCommands(header.dllCommands, header.dllCommandCount);
  registerLibraries(header.libraries, header.libraryCount);
  registerUnitKinds(kCoreUnitKinds, std::size(kCoreUnitKinds));
  for (int32_t i = 0; i < header.libraryCount; ++i) {
    const Library* library = header.libraries[i];
    if (library && library->notify) library->notify(kNotifyStart);
  }
  loadTemplates(header);
  connectIdleProcessing();
}

void registerIdleRoutine(uint32_t windowId, IdleRoutine routine, intptr_t argument) {
  if (routine) idleRoutines.push_back(IdleEntry{windowId, routine, argument});
}

void loadStartWindow(uint32_t windowId) {
  auto& windows = WindowManager::instance();
  windows.setStartWindow(windowId);
  if (!windows.load(windowId, 0, false)) fatalUtf8("载入启动窗口失败", windowId, 0);
}

void runMessageLoop() {
  if (!QCoreApplication::instance() || WindowManager::instance().loadedCount() == 0) return;
  QEventLoop loop;
  state.loop = &loop;
  loop.exec();
  state.loop = nullptr;
}

void closeAllWindows() { WindowManager::instance().closeAll(false); }

}  // namespace rt
