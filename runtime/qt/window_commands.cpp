// The core commands that act on windows and controls.
#include "runtime/qt/window_commands.h"

#include <QApplication>

#include "runtime/commands/arguments.h"
#include "runtime/convert.h"
#include "runtime/desktop.h"
#include "runtime/error.h"
#include "runtime/heap.h"
#include "runtime/qt/qt_text.h"
#include "runtime/qt/window_manager.h"
#include "runtime/screen.h"

namespace rt::commands {
namespace {

// Argument positions.
constexpr int32_t kUnitArgument = 0;
constexpr int32_t kParentArgument = 1;
constexpr int32_t kModalArgument = 2;
constexpr int32_t kImmediateArgument = 1;
constexpr int32_t kMenuItemArgument = 1;
constexpr int32_t kPopupXArgument = 2;
constexpr int32_t kPopupYArgument = 3;
constexpr int32_t kMessageArgument = 0;
constexpr int32_t kStyleArgument = 1;
constexpr int32_t kCaptionArgument = 2;
constexpr int32_t kOwnerArgument = 3;
constexpr int32_t kItemTextArgument = 1;
constexpr int32_t kItemDataArgument = 2;

// A popup opens this far right of and below the cursor.
constexpr int32_t kPopupOffset = 3;

[[noreturn]] void missingUnit(const TypedValue& ref) {
  fatalUtf8("指定窗口或窗口组件不存在或尚未载入", ref.windowId(), ref.unitId());
}

LoadedWindow& requireWindow(const TypedValue& ref) {
  LoadedWindow* window = WindowManager::instance().find(ref.windowId());
  if (!window) missingUnit(ref);
  return *window;
}

template <typename Unit>
Unit* requireUnit(const TypedValue& ref) {
  return dynamic_cast<Unit*>(&requireUnitObject(ref));
}

// The pressed button as ShowMessage reports it.
int32_t buttonIndexOf(PressedButton pressed) {
  switch (pressed) {
    case PressedButton::Cancel: return 1;
    case PressedButton::Abort: return 2;
    case PressedButton::Retry: return 3;
    case PressedButton::Ignore: return 4;
    case PressedButton::Yes: return 5;
    case PressedButton::No: return 6;
    default: return 0;
  }
}

// The owner of a message box: a loaded window given by its UnitRef. The
// platform's numeric window handles do not exist here, so a number gives none.
void* messageOwner(int32_t count, const TypedValue* args) {
  if (count <= kOwnerArgument) return nullptr;
  TypedValue owner = argumentAt(count, args, kOwnerArgument);
  if (owner.tag != kind::kWindow) return nullptr;
  LoadedWindow* window = WindowManager::instance().find(owner.windowId());
  return window ? window->frame() : nullptr;
}

}  // namespace

void LoadWindow(TypedValue* result, int32_t count, TypedValue* args) {
  TypedValue window = argumentAt(count, args, kUnitArgument);
  TypedValue parent = argumentAt(count, args, kParentArgument);
  uint32_t ownerId = parent.omitted() ? 0 : parent.windowId();
  bool modal = boolArgument(count, args, kModalArgument, false);
  setBool(result, WindowManager::instance().load(window.windowId(), ownerId, modal));
}

void IsLoaded(TypedValue* result, int32_t count, TypedValue* args) {
  TypedValue unit = argumentAt(count, args, kUnitArgument);
  if (unit.tag == kind::kWindow) {
    LoadedWindow* window = WindowManager::instance().find(unit.windowId());
    setBool(result, window && window->frame());
    return;
  }
  auto* screenUnit = dynamic_cast<ScreenUnit*>(findUnitObject(unit.windowId(), unit.unitId()));
  setBool(result, screenUnit && screenUnit->widget());
}

void UnloadWindow(TypedValue* result, int32_t count, TypedValue* args) {
  (void)result;
  TypedValue ref = argumentAt(count, args, kUnitArgument);
  requireWindow(ref);
  if (count > kImmediateArgument && boolArgument(count, args, kImmediateArgument, false))
    WindowManager::instance().closeNow(ref.windowId());
  else
    WindowManager::instance().requestClose(ref.windowId());
}

void FocusControl(TypedValue* result, int32_t count, TypedValue* args) {
  (void)result;
  auto* unit = requireUnit<ScreenUnit>(argumentAt(count, args, kUnitArgument));
  QWidget* widget = unit ? unit->widget() : nullptr;
  if (!widget) return;
  if (widget->isWindow())
    widget->activateWindow();
  else
    widget->setFocus(Qt::OtherFocusReason);
}

void ShowPopupMenu(TypedValue* result, int32_t count, TypedValue* args) {
  (void)result;
  TypedValue windowRef = argumentAt(count, args, kUnitArgument);
  TypedValue itemRef = argumentAt(count, args, kMenuItemArgument);
  LoadedWindow& window = requireWindow(windowRef);
  if (itemRef.windowId() != windowRef.windowId()) return;
  std::vector<PopupEntry> entries = WindowManager::instance().popupEntriesBelow(window, itemRef.unitId());
  if (entries.empty()) return;

  int32_t x = 0, y = 0;
  desktop().cursorPosition(x, y);
  x = passed(count, args, kPopupXArgument) ? intArgument(count, args, kPopupXArgument, 0) : x + kPopupOffset;
  y = passed(count, args, kPopupYArgument) ? intArgument(count, args, kPopupYArgument, 0) : y + kPopupOffset;
  int32_t command = desktop().popupMenu(entries, x, y);
  if (command == 0) return;
  // The choice arrives like a menu-bar command: after the current handler.
  uint32_t windowId = windowRef.windowId();
  QMetaObject::invokeMethod(
      qApp, [windowId, command] { WindowManager::instance().runMenuCommand(windowId, command); }, Qt::QueuedConnection);
}

void OpenDialog(TypedValue* result, int32_t count, TypedValue* args) {
  auto* dialog = requireUnit<CommonDialogUnit>(argumentAt(count, args, kUnitArgument));
  bool fileDialog = dialog && (dialog->type() == kDialogOpenFile || dialog->type() == kDialogSaveFile);
  std::string chosen;
  bool confirmed = fileDialog && desktop().fileDialog(dialog->request(), chosen);
  if (confirmed) dialog->setFileName(std::move(chosen));
  setBool(result, confirmed);
}

void ShowMessage(TypedValue* result, int32_t count, TypedValue* args) {
  std::string text = valueToText(argumentAt(count, args, kMessageArgument));
  auto style = static_cast<uint32_t>(intArgument(count, args, kStyleArgument, 0));
  std::string caption =
      passed(count, args, kCaptionArgument) ? std::string(textArgument(count, args, kCaptionArgument)) : "信息："_gb;
  if ((style & mb::kSystemModal) == 0) style |= mb::kTaskModal;
  PressedButton pressed = desktop().messageBox(text, caption, style, messageOwner(count, args));
  setInt(result, buttonIndexOf(pressed));
}

void ProcessEvents(TypedValue* result, int32_t count, TypedValue* args) {
  (void)result;
  (void)count;
  (void)args;
  processPendingEvents();
}

void ComboAddItem(TypedValue* result, int32_t count, TypedValue* args) {
  auto* combo = requireUnit<ComboBoxUnit>(argumentAt(count, args, kUnitArgument));
  if (!combo || !combo->control()) {
    setInt(result, -1);
    return;
  }
  QString text = fromGb(textArgument(count, args, kItemTextArgument));
  setInt(result, combo->addItem(text, intArgument(count, args, kItemDataArgument, 0)));
}

void ComboClear(TypedValue* result, int32_t count, TypedValue* args) {
  (void)result;
  auto* combo = requireUnit<ComboBoxUnit>(argumentAt(count, args, kUnitArgument));
  if (combo && combo->control()) combo->clearItems();
}

}  // namespace rt::commands
