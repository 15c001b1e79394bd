// The Qt screen: the application object, the message loop with its idle
// routines, the window steps of start-up, and the window commands, supplied
// to the core through its Screen interface.
#include "runtime/qt/qt_screen.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEventLoop>
#include <QLibraryInfo>
#include <QLocale>
#include <QThread>
#include <QTranslator>
#include <iterator>
#include <vector>

#include "runtime/command_ids.h"
#include "runtime/desktop.h"
#include "runtime/error.h"
#include "runtime/qt/controls.h"
#include "runtime/qt/qt_desktop.h"
#include "runtime/qt/unit_properties.h"
#include "runtime/qt/window_commands.h"
#include "runtime/qt/window_manager.h"
#include "runtime/screen.h"

namespace rt::qt {
namespace {

struct IdleEntry {
  uint32_t windowId;
  IdleRoutine routine;
  intptr_t argument;
};

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

// The program speaks Chinese whatever the session's locale: Qt's own texts
// (standard dialog buttons, the calendar) come from Qt's Chinese
// translations, and dates and month and day names from the Chinese locale.
void speakChinese() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  QLocale chinese(QLocale::Chinese, QLocale::China);
  QLocale::setDefault(chinese);
  // Like the application object it serves, never destroyed.
  static QTranslator* const translator = new QTranslator;
  if (translator->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QCoreApplication::installTranslator(translator);
}

// The unit kinds of the core library, built by this layer.
template <typename Unit>
std::unique_ptr<UnitObject> makeControl(const UnitContext& context, ScreenParent* parent) {
  return std::make_unique<Unit>(context, widgetOf(parent));
}
std::unique_ptr<UnitObject> makeCommonDialog(const UnitContext& context, ScreenParent*) {
  return std::make_unique<CommonDialogUnit>(*context.tpl);
}

const UnitKind kCoreUnitKinds[] = {
    {kind::kWindow, "window", true, nullptr, nullptr},
    {kind::kMenu, "menu", true, nullptr, nullptr},
    {kind::kEditBox, "EditBox", true, nullptr, &makeControl<EditBoxUnit>},
    {kind::kPicBox, "PicBox", true, nullptr, &makeControl<PicBoxUnit>},
    {kind::kLabel, "Label", true, nullptr, &makeControl<LabelUnit>},
    {kind::kButton, "Button", true, nullptr, &makeControl<ButtonUnit>},
    {kind::kComboBox, "ComboBox", true, nullptr, &makeControl<ComboBoxUnit>},
    {kind::kProcessBar, "ProcessBar", true, nullptr, &makeControl<ProcessBarUnit>},
    {kind::kTab, "Tab", true, nullptr, &makeControl<TabUnit>},
    {kind::kDatePicker, "DatePicker", true, nullptr, &makeControl<DatePickerUnit>},
    {kind::kCommonDlg, "CommonDlg", false, nullptr, &makeCommonDialog},
    {kind::kComObject, "ComObject", false, nullptr, nullptr},
};

class QtScreen final : public Screen {
 public:
  void beginStartUp() override {
    ensureApplication();
    speakChinese();
    // A second start-up (tests) begins without windows of the first.
    WindowManager::instance().closeAll(false);
    if (!hasDesktop()) setDesktop(&qtDesktop());
    WindowManager::instance().setLoopEnd([this] {
      if (loop_) loop_->quit();
    });
  }

  void finishStartUp() override { connectIdleProcessing(); }

  std::span<const UnitKind> coreUnitKinds() override { return kCoreUnitKinds; }

  CommandFn windowCommand(int32_t number) override {
    using namespace commands;
    switch (number) {
      case cmd::kLoadWindow: return LoadWindow;
      case cmd::kShowMessage: return ShowMessage;
      case cmd::kIsLoaded: return IsLoaded;
      case cmd::kProcessEvents: return ProcessEvents;
      case cmd::kUnloadWindow: return UnloadWindow;
      case cmd::kFocusControl: return FocusControl;
      case cmd::kShowPopupMenu: return ShowPopupMenu;
      case cmd::kOpenDialog: return OpenDialog;
      case cmd::kComboAddItem: return ComboAddItem;
      case cmd::kComboClear: return ComboClear;
      default: return nullptr;
    }
  }

  uint64_t readUnitProperty(uint32_t windowId, uint32_t unitId, int32_t property, int32_t element) override {
    return readProperty(windowId, unitId, property, element);
  }
  void writeUnitProperty(uint32_t windowId, uint32_t unitId, int32_t property, int32_t element,
                         uint64_t data) override {
    writeProperty(windowId, unitId, property, element, data);
  }

  void loadStartWindow(uint32_t windowId) override {
    auto& windows = WindowManager::instance();
    windows.setStartWindow(windowId);
    if (!windows.load(windowId, 0, false)) fatalUtf8("载入启动窗口失败", windowId, 0);
  }

  void runMessageLoop() override {
    if (!QCoreApplication::instance() || WindowManager::instance().loadedCount() == 0) return;
    QEventLoop loop;
    loop_ = &loop;
    loop.exec();
    loop_ = nullptr;
  }

  void processPendingEvents() override {
    if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents);
  }

  void registerIdleRoutine(uint32_t windowId, IdleRoutine routine, intptr_t argument) override {
    if (routine) idleRoutines_.push_back(IdleEntry{windowId, routine, argument});
  }

  void closeAllWindows() override {
    idleRoutines_.clear();
    WindowManager::instance().closeAll(false);
  }

  bool onGuiThread() override {
    QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
  }

  // This thread waits while the GUI thread runs the exit sequence, which
  // ends the process there.
  void forwardExit(int32_t code) override {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    QMetaObject::invokeMethod(
        app, [code] { ExitProgram(code); }, Qt::BlockingQueuedConnection);
  }

 private:
  void runIdleRoutines() {
    if (!loop_ || idleRunning_) return;
    auto& windows = WindowManager::instance();
    std::erase_if(idleRoutines_, [&](const IdleEntry& entry) { return !windows.find(entry.windowId); });
    if (idleRoutines_.empty()) return;
    idleRunning_ = true;
    std::vector<IdleEntry> due(idleRoutines_.rbegin(), idleRoutines_.rend());
    for (const IdleEntry& entry : due)
      if (windows.find(entry.windowId)) entry.routine(entry.argument);
    idleRunning_ = false;
  }

  void connectIdleProcessing() {
    if (idleConnected_) return;
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(qApp->thread());
    if (!dispatcher) return;
    QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, qApp, [this] { runIdleRoutines(); });
    idleConnected_ = true;
  }

  QEventLoop* loop_ = nullptr;
  bool idleRunning_ = false;
  bool idleConnected_ = false;
  std::vector<IdleEntry> idleRoutines_;  // oldest first
};

}  // namespace

void installQtScreen() {
  static QtScreen screen;
  if (&rt::screen() != &screen) installScreen(&screen);
}

}  // namespace rt::qt
