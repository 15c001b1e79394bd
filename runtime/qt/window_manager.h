// Loaded windows: creation from the templates, closing, the menu bar and its
// commands.
#pragma once

#include <QEventLoop>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "runtime/desktop.h"
#include "runtime/qt/controls.h"

namespace rt {

// What every visual unit has besides its screen object: tag text (property
// 4) and mouse-pointer data (property 7).
struct CommonUnitState {
  std::string tagTextGb;
  std::vector<unsigned char> mousePointer;
};

// One window with a screen window: its unit objects and their state.
struct LoadedWindow {
  LoadedWindow() = default;
  LoadedWindow(const LoadedWindow&) = delete;
  LoadedWindow& operator=(const LoadedWindow&) = delete;
  // The widget tree goes first, then the unit objects.
  ~LoadedWindow();

  const WindowTemplate* tpl = nullptr;
  uint32_t ownerId = 0;
  bool closing = false;     // an unload was requested
  bool shown = false;       // shown once after the creation event
  bool wantVisible = true;  // visibility asked for before the first show
  WindowUnit* windowUnit = nullptr;
  std::vector<MenuItemUnit*> menuItems;  // in template order: command 20000 + index
  std::vector<std::unique_ptr<UnitObject>> units;
  std::unordered_map<uint32_t, UnitObject*> objects;  // by unit id; 0 = the window's own unit
  std::unordered_map<uint32_t, CommonUnitState> common;
  QPointer<QEventLoop> modalLoop;

  UnitObject* object(uint32_t unitId) const;
  CommonUnitState& commonState(uint32_t unitId);
  QWidget* frame() const;
};

class WindowManager {
 public:
  static WindowManager& instance();

  LoadedWindow* find(uint32_t windowId) const;
  size_t loadedCount() const { return windows_.size(); }

  // Creates the window from its template (the rules of LoadWindow: an already
  // loaded window is restored or activated; a closing one is destroyed and
  // created anew; an owner that is not loaded refuses). True when the window
  // exists afterwards.
  bool load(uint32_t windowId, uint32_t ownerId, bool modal);
  // Marks the window as closing and posts the close request: the window goes
  // once the current event handler has returned.
  void requestClose(uint32_t windowId);
  // Closes the window now (its screen objects are deleted at the next turn
  // of the event loop, never under a running handler).
  void closeNow(uint32_t windowId);
  void closedByUser(uint32_t windowId);
  // Closes every window; `deferDeletion` false deletes the screen objects at
  // once (the exit sequence).
  void closeAll(bool deferDeletion);

  // The window whose closing ends the message loop.
  void setStartWindow(uint32_t windowId) { startWindow_ = windowId; }
  // Called when the last window has gone or the start window was closed.
  void setLoopEnd(std::function<void()> end) { loopEnd_ = std::move(end); }

  // A menu command of a window (menu bar or popup) raises event 0 of its item.
  void runMenuCommand(uint32_t windowId, int32_t command);
  // The entries below a menu item for a popup; empty when the item has none.
  std::vector<PopupEntry> popupEntriesBelow(const LoadedWindow& window, uint32_t menuItemId) const;

 private:
  std::unique_ptr<LoadedWindow> create(const WindowTemplate& tpl, uint32_t ownerId);
  void buildMenu(LoadedWindow& window);
  UnitObject* ensureUnit(LoadedWindow& window, const UnitTemplate& unit);
  QWidget* parentFor(LoadedWindow& window, const UnitTemplate& unit);
  void configureScreenUnit(LoadedWindow& window, const UnitTemplate& unit, ScreenUnit& screenUnit);
  void addUnit(LoadedWindow& window, uint32_t unitId, std::unique_ptr<UnitObject> object);
  void showAfterCreation(uint32_t windowId, bool modal);
  void destroy(uint32_t windowId, bool deferDeletion);

  std::map<uint32_t, std::unique_ptr<LoadedWindow>> windows_;
  uint32_t startWindow_ = 0;
  std::function<void()> loopEnd_;
};

// The window and unit events the window layer raises itself.
inline constexpr int32_t kWindowEventAfterCreation1 = 3;
inline constexpr int32_t kWindowEventAfterCreation2 = 4;

}  // namespace rt
