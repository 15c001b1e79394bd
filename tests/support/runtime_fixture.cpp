#include "tests/support/runtime_fixture.h"

#include <QCoreApplication>
#include <QEvent>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include "app/windows/template_block.h"
#include "runtime/desktop.h"
#include "runtime/encoding.h"
#include "runtime/library.h"
#include "runtime/listview/list_library.h"
#include "runtime/program_folder.h"
#include "runtime/qt/qt_screen.h"
#include "tests/support/temp_folder.h"

namespace jxtest {
namespace {

constexpr int32_t kTableEntries = 64;
static_assert(app::kHandlerCount <= kTableEntries, "the recording table covers every handler of the templates");
constexpr int32_t kVersionWord = 84674;

template <int32_t Index>
int32_t recordingEntry(const rt::EventArgs& args) {
  return RecordingHandlers::instance().called(Index, args);
}

template <int32_t... Index>
constexpr std::array<rt::EventHandler, sizeof...(Index)> makeRecordingTable(std::integer_sequence<int32_t, Index...>) {
  return {&recordingEntry<Index>...};
}

constexpr auto kRecordingTable = makeRecordingTable(std::make_integer_sequence<int32_t, kTableEntries>());

const rt::DllCommand kDllCommands[] = {
    {"sdtapi.dll", "InitComm"}, {"sdtapi.dll", "Authenticate"}, {"sdtapi.dll", "ReadBaseInfos"},
    {"kernel32", "Beep"},       {"sdtapi.dll", "CloseComm"},
};

std::vector<const rt::Library*> defaultLibraries() {
  return {&rt::coreLibrary(), &rt::listViewLibrary(), nullptr, nullptr, &rt::shellLibrary(), &rt::timingLibrary()};
}

struct StartedRuntime {
  bool running = false;
  const rt::EventHandler* handlers = nullptr;
  std::vector<const rt::Library*> libraries;
  std::string folder;
  rt::ProgramHeader header{};
};

StartedRuntime& started() {
  static StartedRuntime runtime;
  return runtime;
}

// A temporary program folder, removed when the test program ends normally.
const std::string& temporaryFolder() {
  static const TempFolder folder("jx-runtime");
  static const std::string path = folder.path().string();
  return path;
}

}  // namespace

// ------------------------------------------------------- RecordingHandlers

RecordingHandlers& RecordingHandlers::instance() {
  static RecordingHandlers handlers;
  return handlers;
}

const rt::EventHandler* RecordingHandlers::table() const { return kRecordingTable.data(); }

int32_t RecordingHandlers::count(int32_t handler) const {
  int32_t n = 0;
  for (const HandlerCall& call : calls_)
    if (call.handler == handler) ++n;
  return n;
}

void RecordingHandlers::onCall(int32_t handler, std::function<int32_t(const rt::EventArgs&)> action) {
  if (handler < 0) return;
  if (static_cast<size_t>(handler) >= actions_.size()) actions_.resize(static_cast<size_t>(handler) + 1);
  actions_[static_cast<size_t>(handler)] = std::move(action);
}

void RecordingHandlers::clear() {
  calls_.clear();
  actions_.clear();
}

int32_t RecordingHandlers::called(int32_t handler, const rt::EventArgs& args) {
  calls_.push_back(HandlerCall{handler, rt::currentEventSource(), args});
  if (static_cast<size_t>(handler) < actions_.size() && actions_[static_cast<size_t>(handler)]) {
    // Copied: the action may replace itself.
    auto action = actions_[static_cast<size_t>(handler)];
    return action(args);
  }
  return 1;
}

// ------------------------------------------------------------------ runtime

ScriptedDesktop& scriptedDesktop() {
  static ScriptedDesktop desktop;
  return desktop;
}

const std::string& programFolder() { return started().folder; }

ScriptedDesktop& startRuntime(const RuntimeOptions& options) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  rt::qt::installQtScreen();
  StartedRuntime& runtime = started();
  std::string folder = options.programFolder.empty() ? temporaryFolder() : options.programFolder;
  rt::setDesktop(&scriptedDesktop());
  const rt::ProgramHeader* wanted = options.program;
  const rt::EventHandler* handlers = options.handlers ? options.handlers : kRecordingTable.data();
  std::vector<const rt::Library*> libraries = options.libraries.empty() ? defaultLibraries() : options.libraries;
  if (wanted) {
    handlers = wanted->codeBase;
    libraries.assign(wanted->libraries, wanted->libraries + wanted->libraryCount);
  }
  if (runtime.running && runtime.handlers == handlers && runtime.libraries == libraries && runtime.folder == folder)
    return scriptedDesktop();

  runtime.handlers = handlers;
  runtime.libraries = std::move(libraries);
  runtime.folder = folder;
  rt::setProgramFolder(rt::utf8ToGb(folder));
  if (wanted) {
    runtime.header = *wanted;
  } else {
    runtime.header = rt::ProgramHeader{rt::kBuildRelease,
                                       0,
                                       kVersionWord,
                                       handlers,
                                       nullptr,
                                       0,
                                       app::kTemplateBlock,
                                       app::kTemplateBlockSize,
                                       static_cast<int32_t>(runtime.libraries.size()),
                                       runtime.libraries.data(),
                                       static_cast<int32_t>(std::size(kDllCommands)),
                                       kDllCommands};
  }
  rt::entries().Service(rt::kServiceStartUp, reinterpret_cast<intptr_t>(&runtime.header));
  runtime.running = true;
  return scriptedDesktop();
}

void settle() {
  for (int round = 0; round < 3; ++round) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

void resetRuntime() {
  rt::closeAllWindows();
  settle();
  RecordingHandlers::instance().clear();
  scriptedDesktop().reset();
}

void loadMainWindow() { rt::entries().LoadStartWindow(kMainWindowId); }

}  // namespace jxtest
