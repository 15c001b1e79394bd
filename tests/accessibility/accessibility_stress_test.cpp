// The program under a screen reader's eyes: while a separate process walks
// every accessible object of the program over the accessibility bus, the
// clerk's busiest gestures run again and again: the student list is refilled
// by searches and page changes, rows are clicked, and real message boxes are
// opened and closed with Return. Nothing may crash or touch freed memory
// (the sanitizer build turns either into a failure).
//
// run_stress.sh starts this program inside a private D-Bus session with the
// accessibility bus and a virtual X display; the walker's path comes in
// JX_A11Y_WALKER.
#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "runtime/desktop.h"
#include "runtime/qt/qt_desktop.h"
#include "tests/support/app_fixture.h"

namespace {

using namespace jxtest;

constexpr int kLearners = 400;
constexpr int kDefaultSeconds = 20;
// Time the walker gets beyond the gestures to find the program and finish.
constexpr int kWalkerGraceMs = 30000;
constexpr int kModalPollMs = 5;
// The event processing between two gestures, so the walker's questions are
// answered while the list and the dialogs change.
constexpr int kBreatheMs = 15;

int stressSeconds() {
  const char* value = std::getenv("JX_A11Y_STRESS_SECONDS");
  int seconds = value ? std::atoi(value) : 0;
  return seconds > 0 ? seconds : kDefaultSeconds;
}

std::vector<StudentFields> manyLearners() {
  std::vector<StudentFields> learners;
  for (int i = 0; i < kLearners; ++i) {
    std::string number = std::to_string(110101199001010000LL + i);
    learners.push_back(student("学员" + std::to_string(i), number, "1380000" + std::to_string(1000 + i),
                               i % 2 ? "C1" : "C2", "2024年3月" + std::to_string(1 + i % 28) + "日", "王教练",
                               "李教练"));
  }
  return learners;
}

// Presses Return on every message box once it has been shown for a moment
// (long enough for the walker to meet it), as a clerk who has read it does.
// The key comes as the platform delivers it, so the accessibility bridge
// holds it back until the registry has seen it. Only the press: the bridge
// of this Qt loses (leaks) a held-back key whose widget is gone when the
// registry answers, which the release would be, the press having closed
// the box.
class ReturnPresser {
 public:
  ReturnPresser() {
    timer_.setInterval(kModalPollMs);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box != shown_) {
        shown_ = box;
        pressedShown_ = false;
        since_.start();
      }
      if (box && !pressedShown_ && since_.elapsed() >= kReadingMs) {
        QTest::keyPress(box, Qt::Key_Return);
        pressedShown_ = true;
        ++pressed_;
      }
    });
    timer_.start();
  }
  int pressed() const { return pressed_; }

 private:
  static constexpr int kReadingMs = 40;
  QTimer timer_;
  QPointer<QMessageBox> shown_;
  bool pressedShown_ = false;
  QElapsedTimer since_;
  int pressed_ = 0;
};

class AccessibilityStressTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    createDatabase(manyLearners());
    startProgram();
    // Real message boxes: their accessible objects come and go with them.
    rt::setDesktop(&rt::qtDesktop());
  }
  void TearDown() override {
    rt::setDesktop(&desktop());
    AppTest::TearDown();
  }

  void breathe() { QTest::qWait(kBreatheMs); }
};

TEST_F(AccessibilityStressTest, WalkingEveryObjectWhileListsAndDialogsChangeIsSafe) {
  const char* walkerPath = std::getenv("JX_A11Y_WALKER");
  ASSERT_NE(walkerPath, nullptr) << "run this test through run_stress.sh";
  const int seconds = stressSeconds();

  QProcess walker;
  walker.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  walker.start(QString::fromLocal8Bit(walkerPath), {QString::number(seconds)});
  ASSERT_TRUE(walker.waitForStarted());

  ReturnPresser presser;
  QDeadlineTimer deadline(seconds * 1000);
  const char* const searches[] = {"", "学员1", "学员", "3", "学员39", ""};
  int round = 0;
  while (!deadline.hasExpired()) {
    // Refills: a search by name, then the first page shown again.
    typeInto(ui::编辑框1, searches[round % std::size(searches)]);
    doubleClick(ui::编辑框1);
    breathe();
    clickRow(round % 7);
    breathe();
    // The learner exists already: a message box, closed with Return, then
    // the list selects the learner's row.
    click(ui::添加);
    breathe();
    // An incomplete form: another message box.
    typeInto(ui::编辑框3, "");
    click(ui::添加);
    breathe();
    showPage(1);
    breathe();
    showPage(0);
    breathe();
    ++round;
  }

  // The walker's last questions are answered while waiting for it.
  ASSERT_TRUE(QTest::qWaitFor([&] { return walker.state() == QProcess::NotRunning; }, kWalkerGraceMs))
      << "the walker did not finish";
  QString report = QString::fromLocal8Bit(walker.readAllStandardOutput());
  std::printf("%s", report.toLocal8Bit().constData());
  EXPECT_EQ(walker.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(walker.exitCode(), 0) << "the walker never saw the program on the accessibility bus";
  EXPECT_GT(presser.pressed(), round) << "message boxes were shown and closed";
  EXPECT_GT(round, 1);
}

}  // namespace
