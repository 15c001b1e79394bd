// The real program, headless, for the benchmarks: the runtime with the
// program's templates, handlers and libraries on a program folder, the
// scripted desktop confirming every message box, and the user's gestures
// (typing, clicks, double-clicks, menus) sent to the real widgets under Qt's
// offscreen platform. Texts given and returned here are UTF-8.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

#include "app/ids.h"
#include "runtime/api.h"
#include "tests/support/scripted_desktop.h"

namespace bench {

// Starts the runtime on the folder (the start-up of the program: templates,
// libraries, program folder) and loads the main window, whose creation
// handler opens the database and lists the registry; returns once every
// pending event has been handled, i.e. the window is shown and painted.
void startProgram(const std::filesystem::path& folder);
// The main window on this folder, started when it is not already open there.
void ensureProgram(const std::filesystem::path& folder);
// Closes every window (the database closes with the main window).
void closeProgram();

jxtest::ScriptedDesktop& desktop();
// Handles every pending event, posted ones and deferred deletions included.
void settle();

// --- what the user does ---
void typeInto(const rt::api::Unit& field, const std::string& utf8);
void click(const rt::api::Unit& button);
void doubleClick(const rt::api::Unit& field);
// A click (or double-click) on a row of the student list, scrolled into view.
void clickStudentRow(int32_t row);
void doubleClickStudentRow(int32_t row);
// Right-click on the student list, choosing this entry of the popup menu.
void chooseFromStudentListPopup(const std::string& caption);
// An entry of the menu bar: menu caption, then item caption.
void chooseMenu(const std::string& menuCaption, const std::string& itemCaption);
void chooseComboItem(const rt::api::Unit& combo, int index);
void showPage(int index);
// Makes a page current without the user: no page-change handler runs.
void showPageQuietly(int index);

// --- what the user sees ---
int32_t rowCount(const rt::api::Unit& list);
std::string cellText(const rt::api::Unit& list, int32_t row, int32_t column);
std::string fieldText(const rt::api::Unit& field);
// The text of the last message box, empty when none was shown.
std::string lastMessage();

// A statement (UTF-8) run on the program's own connection 数据库连接1, for
// the untimed steps that put a registry back as it was; fatal on failure.
void executeOnProgramConnection(const std::string& sqlUtf8);

// Wall-clock seconds of one call, for benchmarks with manual timing.
template <typename Action>
double secondsOf(Action&& action) {
  auto start = std::chrono::steady_clock::now();
  action();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace bench
