// Reaching the real screen objects of loaded units from the screen tests.
#pragma once

#include <QWidget>
#include <string>

#include "app/ids.h"
#include "runtime/api.h"
#include "runtime/encoding.h"
#include "runtime/error.h"
#include "runtime/library.h"
#include "runtime/properties.h"
#include "runtime/qt/controls.h"
#include "runtime/qt/qt_text.h"
#include "runtime/qt/window_manager.h"
#include "tests/support/runtime_fixture.h"

namespace jxtest {

// The screen object of a loaded unit, or null.
template <typename W = QWidget>
W* widgetOf(const rt::api::Unit& unit) {
  auto* screenUnit = dynamic_cast<rt::ScreenUnit*>(rt::findUnitObject(unit.window, unit.id));
  return screenUnit ? qobject_cast<W*>(screenUnit->widget()) : nullptr;
}

inline rt::LoadedWindow* loadedWindow(uint32_t windowId) { return rt::WindowManager::instance().find(windowId); }

inline QString qs(const char* utf8) { return QString::fromUtf8(utf8); }
inline std::string utf8(const rt::api::Text& text) { return rt::gbToUtf8(text.view()); }
inline std::string utf8(const std::string& gb) { return rt::gbToUtf8(gb); }

// An argument list of a command call.
template <typename... Args>
rt::TypedValue callCore(rt::cmd::Core command, Args&&... args) {
  return rt::api::call(rt::cmd::core(command), std::forward<Args>(args)...);
}

}  // namespace jxtest
