// Loaded into the real program (LD_PRELOAD) by the smoke test: once the
// program's QApplication exists, it waits for the main window to be shown,
// says so on stderr and closes it as a user closing the window would.
#include <QApplication>
#include <QMainWindow>
#include <QTimer>
#include <cstdio>

namespace {

constexpr int kPollMs = 100;

void closeWhenShown() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* window = qobject_cast<QMainWindow*>(widget);
    if (window && window->isVisible()) {
      std::fprintf(stderr, "smoke: main window shown: %s\n", window->windowTitle().toUtf8().constData());
      window->close();
      return;
    }
  }
  QTimer::singleShot(kPollMs, &closeWhenShown);
}

void onApplicationCreated() { QTimer::singleShot(kPollMs, &closeWhenShown); }

[[gnu::constructor]] void registerWithQt() { qAddPreRoutine(&onApplicationCreated); }

}  // namespace
