// Starting the real runtime in a test: the generated template block, a
// handler table (by default one that records every call), the program's
// libraries, a program folder of the test's own, and the scripted desktop,
// all under Qt's offscreen platform.
//
//   class MyTest : public jxtest::RuntimeTest {};
//   TEST_F(MyTest, Something) {
//     jxtest::loadMainWindow();
//     rt::api::writeText(ui::编辑框1, rt::prop::kEditContent, "张三"_gb);
//     handlers().onCall(jxtest::handler::onAddClicked, [](const rt::EventArgs&) { return 0; });
//     desktop().answerMessageBox(rt::PressedButton::Ok);
//     ...
//   }
//
// The runtime starts once per process and starts again only when a test asks
// for other handlers or libraries; between tests every window is closed and
// the recorded calls, the desktop's answers and records are forgotten.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "runtime/entry.h"
#include "runtime/screen.h"
#include "tests/support/scripted_desktop.h"

namespace jxtest {

// Handler numbers, named as app/handlers.def names them (index into the table).
namespace handler {
enum : int32_t {
#define JX_HANDLER(name) name,
#include "app/windows/handlers.def"
#undef JX_HANDLER
};
}  // namespace handler

struct HandlerCall {
  int32_t handler = 0;
  rt::EventSource source;  // window, unit and event that ran the handler
  rt::EventArgs args;
};

// A handler table with one recording entry per handler of the templates.
class RecordingHandlers {
 public:
  static RecordingHandlers& instance();
  const rt::EventHandler* table() const;

  const std::vector<HandlerCall>& calls() const { return calls_; }
  int32_t count(int32_t handler) const;
  // Runs `action` whenever handler `handler` is called; its return value is
  // the handler's result (1 without an action).
  void onCall(int32_t handler, std::function<int32_t(const rt::EventArgs&)> action);
  // Forgets calls and actions.
  void clear();

  int32_t called(int32_t handler, const rt::EventArgs& args);

 private:
  std::vector<HandlerCall> calls_;
  std::vector<std::function<int32_t(const rt::EventArgs&)>> actions_;
};

struct RuntimeOptions {
  // The program's own header (app::programHeader()): its handlers,
  // libraries and outside functions, as the program starts with them. When
  // given, `handlers` and `libraries` are not used.
  const rt::ProgramHeader* program = nullptr;
  // Null: the recording table.
  const rt::EventHandler* handlers = nullptr;
  // Indexed by library number - 1; empty: core, list view, shell and timing
  // (the database and spreadsheet slots empty).
  std::vector<const rt::Library*> libraries;
  // UTF-8; empty: a fresh temporary folder.
  std::string programFolder;
};

// Starts the runtime (Service 6) unless it already runs with these handlers
// and libraries; installs the scripted desktop. Returns that desktop.
ScriptedDesktop& startRuntime(const RuntimeOptions& options = {});
ScriptedDesktop& scriptedDesktop();
// The program folder of the running test runtime (UTF-8).
const std::string& programFolder();

// Closes every window, deletes closed screen objects, forgets recorded
// handler calls and the desktop's records and answers.
void resetRuntime();

// Loads the main window as the program does (its creation event included).
void loadMainWindow();
// Handles pending events, including posted ones and deferred deletions.
void settle();

inline constexpr uint32_t kMainWindowId = 0x5201001B;
inline constexpr uint32_t kProgressWindowId = 0x52011CBD;

// A fixture that starts the runtime with the recording handlers.
class RuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override { desktop_ = &startRuntime(options()); }
  void TearDown() override { resetRuntime(); }
  // Override to start with other handlers or libraries.
  virtual RuntimeOptions options() const { return {}; }

  ScriptedDesktop& desktop() { return *desktop_; }
  RecordingHandlers& handlers() { return RecordingHandlers::instance(); }

 private:
  ScriptedDesktop* desktop_ = nullptr;
};

}  // namespace jxtest
