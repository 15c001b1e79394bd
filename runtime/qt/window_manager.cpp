#include "runtime/qt/window_manager.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>

#include "runtime/error.h"
#include "runtime/events.h"
#include "runtime/properties.h"
#include "runtime/qt/fonts.h"
#include "runtime/qt/mouse_events.h"
#include "runtime/qt/qt_text.h"

namespace rt {
namespace {

// Holds a closed window until the event loop comes back to the level where
// it was closed, so that no handler still running on one of its screen
// objects finds it deleted.
class ClosedWindow : public QObject {
 public:
  explicit ClosedWindow(std::unique_ptr<LoadedWindow> window) : window_(std::move(window)) {}

 private:
  std::unique_ptr<LoadedWindow> window_;
};

bool handles(const UnitTemplate& unit, int32_t event) { return unit.handlerFor(event) != nullptr; }

}  // namespace

// ------------------------------------------------------------ LoadedWindow

LoadedWindow::~LoadedWindow() {
  // Deleting the top-level widget takes every screen object with it; the
  // unit objects go afterwards and no longer touch their widgets.
  if (QWidget* top = frame()) delete top;
  while (!units.empty()) units.pop_back();
}

UnitObject* LoadedWindow::object(uint32_t unitId) const {
  auto it = objects.find(unitId);
  return it == objects.end() ? nullptr : it->second;
}

CommonUnitState& LoadedWindow::commonState(uint32_t unitId) {
  if (unitId == 0 && tpl->ownUnit()) unitId = tpl->ownUnit()->id;
  auto it = common.find(unitId);
  if (it != common.end()) return it->second;
  CommonUnitState& state = common[unitId];
  if (const UnitTemplate* unit = tpl->find(unitId)) state.tagTextGb = unit->tagTextGb;
  return state;
}

QWidget* LoadedWindow::frame() const { return windowUnit ? windowUnit->widget() : nullptr; }

// ----------------------------------------------------------- WindowManager

WindowManager& WindowManager::instance() {
  static WindowManager manager;
  return manager;
}

LoadedWindow* WindowManager::find(uint32_t windowId) const {
  auto it = windows_.find(windowId);
  return it == windows_.end() ? nullptr : it->second.get();
}

bool WindowManager::load(uint32_t windowId, uint32_t ownerId, bool modal) {
  const WindowTemplate* tpl = findWindowTemplate(windowId);
  if (!tpl || !tpl->ownUnit()) return false;
  if (ownerId != 0 && !find(ownerId)) return false;
  if (LoadedWindow* loaded = find(windowId)) {
    if (!loaded->closing) {
      QWidget* top = loaded->frame();
      if (top->isMinimized())
        top->showNormal();
      else {
        top->raise();
        top->activateWindow();
      }
      return true;
    }
    destroy(windowId, true);
  }
  windows_[windowId] = create(*tpl, ownerId);
  // The application initialises the window in its creation event, before the
  // window is first shown.
  raiseEvent(windowId, 0, event::kWindowCreated);
  raiseEvent(windowId, 0, kWindowEventAfterCreation1);
  raiseEvent(windowId, 0, kWindowEventAfterCreation2);
  showAfterCreation(windowId, modal);
  return find(windowId) != nullptr;
}

std::unique_ptr<LoadedWindow> WindowManager::create(const WindowTemplate& tpl, uint32_t ownerId) {
  blockEvents();
  auto window = std::make_unique<LoadedWindow>();
  window->tpl = &tpl;
  window->ownerId = ownerId;
  const UnitTemplate& own = *tpl.ownUnit();
  window->wantVisible = (own.flags & kUnitVisible) != 0;
  QWidget* owner = ownerId != 0 ? find(ownerId)->frame() : nullptr;
  auto windowUnit = std::make_unique<WindowUnit>(UnitContext{tpl.id, own.id, &own}, tpl.id, owner);
  window->windowUnit = windowUnit.get();
  windowUnit->setOuterRect(QRect(own.left, own.top, own.width, own.height));
  if (own.hasFont) windowUnit->control()->setFont(fontOf(own.font));
  if (own.flags & kUnitDisabled) windowUnit->control()->setEnabled(false);
  installCommonEvents(windowUnit->context(), windowUnit->widget(), handles(own, event::kMouseMove));
  addUnit(*window, own.id, std::move(windowUnit));
  window->objects[0] = window->windowUnit;
  registerUnitObject(tpl.id, 0, window->windowUnit);

  buildMenu(*window);
  for (const UnitTemplate& unit : tpl.units)
    if (&unit != &own && !unit.isMenuItem()) ensureUnit(*window, unit);
  unblockEvents();
  return window;
}

void WindowManager::addUnit(LoadedWindow& window, uint32_t unitId, std::unique_ptr<UnitObject> object) {
  window.objects[unitId] = object.get();
  registerUnitObject(window.tpl->id, unitId, object.get());
  window.units.push_back(std::move(object));
}

UnitObject* WindowManager::ensureUnit(LoadedWindow& window, const UnitTemplate& unit) {
  if (UnitObject* existing = window.object(unit.id)) return existing;
  QWidget* parent = parentFor(window, unit);
  std::unique_ptr<UnitObject> object = createUnitObject(UnitContext{window.tpl->id, unit.id, &unit}, parent);
  // A kind whose library is not part of the program has no object; commands
  // addressing such a unit find it missing.
  if (!object) return nullptr;
  if (auto* screenUnit = dynamic_cast<ScreenUnit*>(object.get())) configureScreenUnit(window, unit, *screenUnit);
  UnitObject* created = object.get();
  addUnit(window, unit.id, std::move(object));
  return created;
}

QWidget* WindowManager::parentFor(LoadedWindow& window, const UnitTemplate& unit) {
  QWidget* client = window.windowUnit->control()->client();
  if (unit.container == 0) return client;
  const UnitTemplate* container = window.tpl->find(unit.container);
  if (!container || container == &unit || container->isMenuItem()) return client;
  auto* screenContainer = dynamic_cast<ScreenUnit*>(ensureUnit(window, *container));
  if (!screenContainer || !screenContainer->widget()) return client;
  if (auto* tab = qobject_cast<TabWidget*>(screenContainer->widget())) {
    QWidget* page = tab->page(container->tabPageOf(unit.id));
    return page ? page : tab;
  }
  return screenContainer->widget();
}

void WindowManager::configureScreenUnit(LoadedWindow& window, const UnitTemplate& unit, ScreenUnit& screenUnit) {
  QWidget* widget = screenUnit.widget();
  if (!widget) return;
  if (unit.hasFont) widget->setFont(fontOf(unit.font));
  widget->setGeometry(unit.left, unit.top, unit.width, unit.height);
  widget->setVisible((unit.flags & kUnitVisible) != 0);
  if (unit.flags & kUnitDisabled) widget->setEnabled(false);
  installCommonEvents(screenUnit.context(), widget, handles(unit, event::kMouseMove));
  (void)window;
}

void WindowManager::buildMenu(LoadedWindow& window) {
  std::vector<const UnitTemplate*> items;
  for (const UnitTemplate& unit : window.tpl->units)
    if (unit.isMenuItem()) items.push_back(&unit);
  if (items.empty()) return;

  QMenuBar* bar = window.windowUnit->control()->menuBar();
  uint32_t windowId = window.tpl->id;
  // Each item is a child of the nearest preceding item of a lower level.
  std::vector<std::pair<int32_t, QMenu*>> open;
  for (size_t position = 0; position < items.size(); ++position) {
    const UnitTemplate& unit = *items[position];
    int32_t command = kFirstMenuCommand + static_cast<int32_t>(position);
    auto item = std::make_unique<MenuItemUnit>(unit, command);
    while (!open.empty() && open.back().first >= unit.level) open.pop_back();
    bool hasEntries = position + 1 < items.size() && items[position + 1]->level > unit.level;
    QAction* action = nullptr;
    if (hasEntries) {
      QMenu* menu = open.empty() ? bar->addMenu(QString()) : open.back().second->addMenu(QString());
      action = menu->menuAction();
      open.emplace_back(unit.level, menu);
    } else {
      action = open.empty() ? bar->addAction(QString()) : open.back().second->addAction(QString());
      // The command arrives after the menu has closed.
      QObject::connect(action, &QAction::triggered, bar, [windowId, command] {
        QMetaObject::invokeMethod(
            qApp, [windowId, command] { WindowManager::instance().runMenuCommand(windowId, command); },
            Qt::QueuedConnection);
      });
    }
    item->attach(action);
    window.menuItems.push_back(item.get());
    addUnit(window, unit.id, std::move(item));
  }
}

void WindowManager::showAfterCreation(uint32_t windowId, bool modal) {
  LoadedWindow* window = find(windowId);
  if (!window || window->closing) return;
  window->shown = true;
  if (!window->wantVisible) return;
  QWidget* top = window->frame();
  if (modal) top->setWindowModality(Qt::ApplicationModal);
  top->show();
  top->activateWindow();
  if (!modal) return;
  // A modal window keeps its caller waiting until it has gone.
  QEventLoop loop;
  window->modalLoop = &loop;
  loop.exec();
}

void WindowManager::requestClose(uint32_t windowId) {
  LoadedWindow* window = find(windowId);
  if (!window) return;
  window->closing = true;
  QMetaObject::invokeMethod(
      qApp,
      [windowId] {
        auto& manager = WindowManager::instance();
        LoadedWindow* closing = manager.find(windowId);
        if (closing && closing->closing) manager.destroy(windowId, true);
      },
      Qt::QueuedConnection);
}

void WindowManager::closeNow(uint32_t windowId) { destroy(windowId, true); }

void WindowManager::closedByUser(uint32_t windowId) { destroy(windowId, true); }

void WindowManager::closeAll(bool deferDeletion) {
  startWindow_ = 0;
  while (!windows_.empty()) destroy(windows_.begin()->first, deferDeletion);
}

void WindowManager::destroy(uint32_t windowId, bool deferDeletion) {
  // Owned windows go with their owner.
  std::vector<uint32_t> owned;
  for (const auto& [id, window] : windows_)
    if (window->ownerId == windowId) owned.push_back(id);
  for (uint32_t id : owned) destroy(id, deferDeletion);

  auto it = windows_.find(windowId);
  if (it == windows_.end()) return;
  std::unique_ptr<LoadedWindow> window = std::move(it->second);
  windows_.erase(it);
  for (const auto& [unitId, object] : window->objects) unregisterUnitObject(windowId, unitId);
  if (window->modalLoop) window->modalLoop->quit();
  if (QWidget* top = window->frame()) top->hide();
  if (deferDeletion)
    (new ClosedWindow(std::move(window)))->deleteLater();
  else
    window.reset();

  bool startWindowClosed = windowId == startWindow_;
  if (startWindowClosed) {
    startWindow_ = 0;
    closeAll(deferDeletion);
  }
  if ((startWindowClosed || windows_.empty()) && loopEnd_) loopEnd_();
}

void WindowManager::runMenuCommand(uint32_t windowId, int32_t command) {
  LoadedWindow* window = find(windowId);
  if (!window) return;
  int32_t position = command - kFirstMenuCommand;
  if (position < 0 || position >= static_cast<int32_t>(window->menuItems.size())) return;
  raiseEvent(windowId, window->menuItems[static_cast<size_t>(position)]->tpl().id, event::kMenuChosen);
}

std::vector<PopupEntry> WindowManager::popupEntriesBelow(const LoadedWindow& window, uint32_t menuItemId) const {
  std::vector<PopupEntry> entries;
  const auto& items = window.menuItems;
  size_t at = 0;
  while (at < items.size() && items[at]->tpl().id != menuItemId) ++at;
  if (at >= items.size()) return entries;
  int32_t rootLevel = items[at]->tpl().level;
  int32_t hiddenBelowLevel = -1;  // entries under a hidden entry are left out with it
  for (size_t i = at + 1; i < items.size() && items[i]->tpl().level > rootLevel; ++i) {
    const MenuItemUnit& item = *items[i];
    int32_t level = item.tpl().level;
    if (hiddenBelowLevel >= 0 && level > hiddenBelowLevel) continue;
    hiddenBelowLevel = -1;
    if (item.hidden()) {
      hiddenBelowLevel = level;
      continue;
    }
    entries.push_back(PopupEntry{item.captionGb(), item.command(), level - rootLevel - 1, item.disabled()});
  }
  return entries;
}

}  // namespace rt
