// Property numbers read and write what a user sees in the real widgets.
#include <gtest/gtest.h>
#include <QAction>
#include <QBuffer>
#include <QImage>
#include <QMenuBar>
#include <QTest>

#include "runtime/convert.h"
#include "tests/screen/screen_helpers.h"

using namespace jxtest;
using rt::api::readBool;
using rt::api::readInt;
using rt::api::readText;
using rt::api::writeBool;
using rt::api::writeInt;
using rt::api::writeText;
namespace prop = rt::prop;

namespace {

class PropertiesTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    loadMainWindow();
  }
};

TEST_F(PropertiesTest, EditBoxContentIsTheFieldText) {
  writeText(ui::编辑框1, prop::kEditContent, "张三"_gb);
  EXPECT_EQ(widgetOf<QLineEdit>(ui::编辑框1)->text(), qs("张三"));
  widgetOf<QLineEdit>(ui::编辑框2)->setText(qs("110101199001011234"));
  EXPECT_EQ(utf8(readText(ui::编辑框2, prop::kEditContent)), "110101199001011234");
  // The empty text reads back as a null text.
  writeText(ui::编辑框1, prop::kEditContent, "");
  EXPECT_EQ(readText(ui::编辑框1, prop::kEditContent).get(), nullptr);
}

TEST_F(PropertiesTest, ComboBoxEditTextAndSelection) {
  auto* box = widgetOf<QComboBox>(ui::组合框8);
  EXPECT_EQ(readInt(ui::组合框8, prop::kComboSelection), -1);
  writeInt(ui::组合框8, prop::kComboSelection, 2);
  EXPECT_EQ(box->currentIndex(), 2);
  EXPECT_EQ(utf8(readText(ui::组合框8, prop::kComboText)), "科目三");

  writeText(ui::组合框8, prop::kComboText, "其他"_gb);
  EXPECT_EQ(box->currentText(), qs("其他"));
  writeText(ui::组合框8, prop::kComboText, "");
  EXPECT_EQ(box->currentText(), QString());

  writeInt(ui::组合框8, prop::kComboSelection, 1);
  writeInt(ui::组合框8, prop::kComboSelection, -1);
  EXPECT_EQ(box->currentIndex(), -1);
  EXPECT_EQ(box->currentText(), QString());
  // An index beyond the items removes the selection too.
  writeInt(ui::组合框8, prop::kComboSelection, 9);
  EXPECT_EQ(readInt(ui::组合框8, prop::kComboSelection), -1);
}

// The chosen item always describes the edit text: typing leaves none chosen,
// a written text chooses the item that reads exactly so, or none.
TEST_F(PropertiesTest, ComboBoxChosenItemFollowsTheText) {
  auto* box = widgetOf<QComboBox>(ui::组合框8);
  QLineEdit* edit = box->lineEdit();
  writeInt(ui::组合框8, prop::kComboSelection, 1);
  edit->setFocus();
  edit->end(false);
  QTest::keyClick(edit, Qt::Key_Backspace);
  EXPECT_EQ(readInt(ui::组合框8, prop::kComboSelection), -1);
  EXPECT_EQ(utf8(readText(ui::组合框8, prop::kComboText)), "科目");
  EXPECT_EQ(edit->cursorPosition(), 2) << "typing goes on where it was";
  edit->insert(qs("三"));
  EXPECT_EQ(utf8(readText(ui::组合框8, prop::kComboText)), "科目三");
  EXPECT_EQ(readInt(ui::组合框8, prop::kComboSelection), -1);

  writeText(ui::组合框8, prop::kComboText, "科目四"_gb);
  EXPECT_EQ(readInt(ui::组合框8, prop::kComboSelection), 3);
  writeText(ui::组合框8, prop::kComboText, "科目"_gb);
  EXPECT_EQ(readInt(ui::组合框8, prop::kComboSelection), -1);
  EXPECT_EQ(box->currentText(), qs("科目"));
  writeText(ui::组合框8, prop::kComboText, "科目一"_gb);
  writeText(ui::组合框8, prop::kComboText, "");
  EXPECT_EQ(readInt(ui::组合框8, prop::kComboSelection), -1);
}

TEST_F(PropertiesTest, TabPageAndDatePickerDate) {
  auto* tab = widgetOf<rt::TabWidget>(ui::选择夹1);
  writeInt(ui::选择夹1, prop::kTabPage, 2);
  EXPECT_EQ(tab->bar()->currentIndex(), 2);
  EXPECT_TRUE(tab->page(2)->isVisibleTo(tab));
  EXPECT_FALSE(tab->page(0)->isVisibleTo(tab));
  EXPECT_EQ(readInt(ui::选择夹1, prop::kTabPage), 2);

  rt::DateParts when{2008, 5, 6, 8, 30, 0};
  rt::api::writeRaw(ui::日期框1, prop::kPickedDate, rt::TypedValue::ofDateTime(rt::makeDateTime(when)).data());
  auto* picker = widgetOf<rt::DatePickerWidget>(ui::日期框1);
  EXPECT_EQ(picker->date(), QDate(2008, 5, 6));
  rt::DateParts read = rt::splitDateTime(rt::api::readDate(ui::日期框1, prop::kPickedDate));
  EXPECT_EQ(std::tie(read.year, read.month, read.day, read.hour, read.minute),
            std::tie(when.year, when.month, when.day, when.hour, when.minute));
  // A new picker shows today.
  rt::DateParts today = rt::splitDateTime(rt::api::readDate(ui::日期框2, prop::kPickedDate));
  EXPECT_EQ(QDate(today.year, today.month, today.day), QDate::currentDate());
}

TEST_F(PropertiesTest, WindowTitleGeometryVisibleDisabledAndTagText) {
  writeText(ui::主窗口, prop::kWindowTitle, "学员信息管理"_gb);
  QWidget* frame = loadedWindow(kMainWindowId)->frame();
  EXPECT_EQ(frame->windowTitle(), qs("学员信息管理"));
  EXPECT_EQ(utf8(readText(ui::主窗口, prop::kWindowTitle)), "学员信息管理");

  auto* edit = widgetOf<QLineEdit>(ui::编辑框3);
  writeInt(ui::编辑框3, prop::kLeft, 100);
  writeInt(ui::编辑框3, prop::kWidth, 200);
  EXPECT_EQ(edit->geometry(), QRect(100, 84, 200, 25));
  EXPECT_EQ(readInt(ui::编辑框3, prop::kTop), 84);

  EXPECT_TRUE(readBool(ui::编辑框3, prop::kVisible));
  writeBool(ui::编辑框3, prop::kVisible, false);
  EXPECT_TRUE(edit->isHidden());
  EXPECT_FALSE(readBool(ui::编辑框3, prop::kVisible));
  // A control on a page that is not shown is still visible as a property.
  EXPECT_TRUE(readBool(ui::编辑框6, prop::kVisible));

  EXPECT_FALSE(readBool(ui::添加, prop::kDisabled));
  writeBool(ui::添加, prop::kDisabled, true);
  EXPECT_FALSE(widgetOf(ui::添加)->isEnabled());
  EXPECT_TRUE(readBool(ui::添加, prop::kDisabled));

  writeText(ui::添加, prop::kTagText, "标记"_gb);
  EXPECT_EQ(utf8(readText(ui::添加, prop::kTagText)), "标记");
}

TEST_F(PropertiesTest, MenuItemCaptionAndFlags) {
  QMenuBar* bar = loadedWindow(kMainWindowId)->windowUnit->control()->menuBar();
  QAction* hiddenMenu = bar->actions()[1];
  EXPECT_FALSE(readBool(ui::菜单添加考试, prop::kMenuVisible));
  writeBool(ui::菜单添加考试, prop::kMenuVisible, true);
  EXPECT_TRUE(hiddenMenu->isVisible());

  writeBool(ui::菜单删除学员, prop::kMenuDisabled, true);
  QAction* remove = bar->actions()[0]->menu()->actions()[2];
  EXPECT_FALSE(remove->isEnabled());
  EXPECT_TRUE(readBool(ui::菜单删除学员, prop::kMenuDisabled));

  writeText(ui::菜单删除学员, prop::kMenuCaption, "删除"_gb);
  EXPECT_EQ(remove->text(), qs("删除"));
  EXPECT_EQ(utf8(readText(ui::菜单删除学员, prop::kMenuCaption)), "删除");
}

std::vector<unsigned char> pngBytes(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::red);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return std::vector<unsigned char>(bytes.begin(), bytes.end());
}

TEST_F(PropertiesTest, PictureBytesAreDecodedAndReplaced) {
  auto* box = widgetOf<rt::PictureBox>(ui::图片框1);
  EXPECT_FALSE(box->hasPicture());
  std::vector<unsigned char> png = pngBytes(4, 3);
  void* block = rt::newByteArray(png.data(), static_cast<int32_t>(png.size()));
  rt::api::writeBytes(ui::图片框1, prop::kPicture, block);
  rt::Free(block);
  EXPECT_TRUE(box->hasPicture());
  void* read = reinterpret_cast<void*>(rt::api::readRaw(ui::图片框1, prop::kPicture));
  ASSERT_EQ(rt::arrayCount(read), static_cast<int32_t>(png.size()));
  EXPECT_EQ(std::memcmp(rt::arrayElements(read), png.data(), png.size()), 0);
  rt::Free(read);

  unsigned char garbage[] = {1, 2, 3};
  block = rt::newByteArray(garbage, 3);
  rt::api::writeBytes(ui::图片框1, prop::kPicture, block);
  rt::Free(block);
  EXPECT_FALSE(box->hasPicture());
}

TEST_F(PropertiesTest, ProgressBarOfTheProgressWindow) {
  ASSERT_TRUE(rt::api::callBool(rt::cmd::core(rt::cmd::kLoadWindow), ui::进度窗口));
  auto* bar = widgetOf<QProgressBar>(ui::进度条1);
  ASSERT_NE(bar, nullptr);
  writeInt(ui::进度条1, prop::kProgressMaximum, 40);
  writeInt(ui::进度条1, prop::kProgressPosition, 10);
  EXPECT_EQ(bar->maximum(), 40);
  EXPECT_EQ(bar->value(), 10);
  EXPECT_EQ(readInt(ui::进度条1, prop::kProgressPosition), 10);
  EXPECT_EQ(bar->geometry(), QRect(0, 0, 350, 60));
}

TEST_F(PropertiesTest, GeometryOfAWindowNotLoadedComesFromTheTemplate) {
  EXPECT_EQ(readInt(ui::进度条1, prop::kWidth), 350);
  EXPECT_EQ(readInt(ui::进度窗口, prop::kHeight), 60);
  EXPECT_EQ(readInt(ui::进度窗口, prop::kLeft), 50);
}

// --- fatal reports: the child prints the message box of the report ---

class PropertyFailureTest : public RuntimeTest {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    RuntimeTest::SetUp();
    desktop().setPrintMessageBoxes(true);
  }
};

TEST_F(PropertyFailureTest, KindPropertyOfAWindowNotLoadedIsFatal) {
  EXPECT_EXIT(readInt(ui::进度条1, prop::kProgressPosition), ::testing::ExitedWithCode(255),
              "错误\n运行时出错!.*读取组件属性时发现指定窗口尚未载入");
  EXPECT_EXIT(writeInt(ui::进度条1, prop::kProgressPosition, 1), ::testing::ExitedWithCode(255),
              "修改组件属性时发现指定窗口尚未载入");
}

TEST_F(PropertyFailureTest, WindowOutsideTheTemplatesIsFatal) {
  constexpr rt::api::Unit kStranger{0x52000001, 0x16000001, rt::kind::kEditBox};
  EXPECT_EXIT(readInt(kStranger, prop::kWidth), ::testing::ExitedWithCode(255), "未载入欲访问窗口组件所在的窗口");
}

TEST_F(PropertyFailureTest, MissingUnitOfALoadedWindowIsFatal) {
  loadMainWindow();
  constexpr rt::api::Unit kMissing{ui::kMainWindow, 0x16000001, rt::kind::kEditBox};
  EXPECT_EXIT(readText(kMissing, prop::kEditContent), ::testing::ExitedWithCode(255),
              "指定窗口或窗口组件不存在或尚未载入");
}

}  // namespace
