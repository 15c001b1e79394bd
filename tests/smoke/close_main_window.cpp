// Loaded into the real program (LD_PRELOAD) by the smoke and package tests:
// once the program's QApplication exists, it waits for the main window to be
// shown, says so on stderr with the program's current folder, and closes it
// as a user closing the window would. A question asked before (the first
// start's) is answered with the button JX_SMOKE_ANSWER names; without one,
// or without such a button, it is closed unanswered.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMainWindow>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kPollMs = 100;

void answer(QMessageBox& box) {
  std::fprintf(stderr, "smoke: asked: %s\n", box.text().section(QLatin1Char('\n'), 0, 0).toUtf8().constData());
  const QString wanted = QString::fromUtf8(std::getenv("JX_SMOKE_ANSWER") ? std::getenv("JX_SMOKE_ANSWER") : "");
  for (QAbstractButton* button : box.buttons())
    if (!wanted.isEmpty() && button->text() == wanted) {
      std::fprintf(stderr, "smoke: answered: %s\n", wanted.toUtf8().constData());
      button->click();
      return;
    }
  std::fprintf(stderr, "smoke: closed the question unanswered\n");
  box.reject();
}

void closeWhenShown() {
  if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); box && box->isVisible()) {
    answer(*box);
    QTimer::singleShot(kPollMs, &closeWhenShown);
    return;
  }
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* window = qobject_cast<QMainWindow*>(widget);
    if (window && window->isVisible()) {
      std::fprintf(stderr, "smoke: main window shown: %s\n", window->windowTitle().toUtf8().constData());
      std::fprintf(stderr, "smoke: folder: %s\n", QDir::currentPath().toUtf8().constData());
      window->close();
      return;
    }
  }
  QTimer::singleShot(kPollMs, &closeWhenShown);
}

void onApplicationCreated() { QTimer::singleShot(kPollMs, &closeWhenShown); }

[[gnu::constructor]] void registerWithQt() { qAddPreRoutine(&onApplicationCreated); }

}  // namespace
