// Saves a picture of the main window when JX_SCREENSHOT names a PNG file.
#include <QPixmap>
#include <cstdlib>
#include <gtest/gtest.h>

#include "tests/screen/screen_helpers.h"

using namespace jxtest;

namespace {

class ScreenshotTest : public RuntimeTest {};

TEST_F(ScreenshotTest, MainWindowPicture) {
  const char* path = std::getenv("JX_SCREENSHOT");
  if (!path) GTEST_SKIP() << "set JX_SCREENSHOT to a PNG path";
  loadMainWindow();
  settle();
  QWidget* frame = loadedWindow(kMainWindowId)->frame();
  EXPECT_TRUE(frame->grab().save(QString::fromLocal8Bit(path), "PNG"));
}

}  // namespace
