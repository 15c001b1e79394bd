// jiaxiao-screenshot: starts the program on a program folder without showing
// anything on screen (Qt's offscreen platform), lets the main window come up
// with its creation handler, and saves a picture of it.
//
//   jiaxiao-screenshot PROGRAM_FOLDER OUTPUT.png
#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

#include "app/ids.h"
#include "app/program.h"
#include "app/state.h"
#include "runtime/desktop.h"
#include "runtime/encoding.h"
#include "runtime/entry.h"
#include "runtime/program_folder.h"
#include "runtime/qt/qt_screen.h"
#include "runtime/qt/window_manager.h"
#include "runtime/screen.h"

namespace {

// Time given to posted events (list fills, deferred layouts) before the picture.
constexpr int kSettleMs = 500;

// Nobody is there to answer: message boxes are printed and confirmed,
// dialogs and popups cancelled.
class UnattendedDesktop : public rt::Desktop {
 public:
  rt::PressedButton messageBox(const std::string& textGb, const std::string& captionGb, uint32_t, void*) override {
    std::fprintf(stderr, "[%s] %s\n", rt::gbToUtf8(captionGb).c_str(), rt::gbToUtf8(textGb).c_str());
    return rt::PressedButton::Ok;
  }
  bool fileDialog(const rt::FileDialogRequest&, std::string&) override { return false; }
  int32_t popupMenu(const std::vector<rt::PopupEntry>&, int32_t, int32_t) override { return 0; }
  void cursorPosition(int32_t& x, int32_t& y) override { x = y = 0; }
  void shellExecute(const std::string&, const std::string&, const std::string&, const std::string&, int32_t) override {}
  void beep(uint32_t, uint32_t) override {}
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s PROGRAM_FOLDER OUTPUT.png\n", argv[0]);
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  UnattendedDesktop desktop;
  rt::setDesktop(&desktop);
  rt::setProgramFolder(rt::utf8ToGb(argv[1]));

  rt::qt::installQtScreen();
  const rt::EntryTable& entries = rt::entries();
  entries.Service(rt::kServiceStartUp, reinterpret_cast<intptr_t>(&app::programHeader()));
  app::initialiseProgramState();
  entries.Service(rt::kServiceRegisterExitRoutine, reinterpret_cast<intptr_t>(&app::exitRoutine));
  entries.LoadStartWindow(ui::kMainWindow);

  QElapsedTimer settling;
  settling.start();
  while (settling.elapsed() < kSettleMs) rt::processPendingEvents();
  rt::LoadedWindow* window = rt::WindowManager::instance().find(ui::kMainWindow);
  bool saved = window && window->frame()->grab().save(QString::fromLocal8Bit(argv[2]), "PNG");
  if (!saved) std::fprintf(stderr, "could not save %s\n", argv[2]);
  entries.ExitProgram(saved ? 0 : 1);
}
