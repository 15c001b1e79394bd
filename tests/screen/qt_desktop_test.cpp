// The program's own desktop: real Qt message boxes and file dialogs, driven
// the way a user drives them (a click, Escape, a typed file name).
#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QCalendarWidget>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <filesystem>
#include <functional>

#include "runtime/desktop.h"
#include "runtime/encoding.h"
#include "runtime/qt/qt_desktop.h"
#include "tests/screen/screen_helpers.h"
#include "tests/support/temp_folder.h"

using namespace jxtest;

namespace {

using rt::PressedButton;
using SB = QMessageBox::StandardButton;

// What a shown message box offered.
struct SeenBox {
  QString caption, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QList<SB> buttons;
  SB defaultButton = QMessageBox::NoButton;
};

class QtDesktopTest : public RuntimeTest {
 protected:
  // Shows a message box of this style and lets `act` answer it once it is
  // on screen; returns the pressed button the desktop reported.
  PressedButton showBox(uint32_t style, const std::function<void(QMessageBox&)>& act,
                        const std::string& textUtf8 = "第一行\r\n第二行", const std::string& captionUtf8 = "标题") {
    seen_ = SeenBox{};
    bool answered = false;
    answerWhenShown<QMessageBox>([&](QMessageBox& box) {
      seen_.caption = box.windowTitle();
      seen_.text = box.text();
      seen_.icon = box.icon();
      // In the order of their values: the platform's layout decides the order on screen.
      for (QAbstractButton* button : box.buttons()) seen_.buttons << box.standardButton(button);
      std::sort(seen_.buttons.begin(), seen_.buttons.end());
      if (box.defaultButton()) seen_.defaultButton = box.standardButton(box.defaultButton());
      answered = true;
      act(box);
    });
    PressedButton pressed =
        rt::qtDesktop().messageBox(rt::utf8ToGb(textUtf8), rt::utf8ToGb(captionUtf8), style, nullptr);
    EXPECT_TRUE(answered) << "the message box was never shown";
    return pressed;
  }

  // Runs `act` on the modal dialog of type D as soon as it is shown. The
  // polling timer belongs to the application and goes once it has answered.
  template <typename D>
  void answerWhenShown(std::function<void(D&)> act) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
      auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
      if (!dialog) return;
      timer->stop();
      timer->deleteLater();
      act(*dialog);
    });
    timer->start();
  }

  static void click(QMessageBox& box, SB which) { box.button(which)->click(); }
  static void escape(QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); }

  SeenBox seen_;
};

TEST_F(QtDesktopTest, MessageBoxShowsTheButtonsIconAndTextOfItsStyle) {
  EXPECT_EQ(showBox(rt::mb::kOk | rt::mb::kIconStop, [](QMessageBox& b) { click(b, QMessageBox::Ok); }),
            PressedButton::Ok);
  EXPECT_EQ(seen_.buttons, QList<SB>{QMessageBox::Ok});
  EXPECT_EQ(seen_.icon, QMessageBox::Critical);
  EXPECT_EQ(seen_.caption, qs("标题"));
  EXPECT_EQ(seen_.text, qs("第一行\n第二行"));  // CR LF breaks become lines

  EXPECT_EQ(showBox(rt::mb::kYesNoCancel | rt::mb::kIconQuestion, [](QMessageBox& b) { click(b, QMessageBox::No); }),
            PressedButton::No);
  EXPECT_EQ(seen_.buttons, (QList<SB>{QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}));
  EXPECT_EQ(seen_.icon, QMessageBox::Question);
  EXPECT_EQ(seen_.defaultButton, QMessageBox::Yes);

  EXPECT_EQ(
      showBox(rt::mb::kAbortRetryIgnore | rt::mb::kIconWarning, [](QMessageBox& b) { click(b, QMessageBox::Ignore); }),
      PressedButton::Ignore);
  EXPECT_EQ(seen_.buttons, (QList<SB>{QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore}));
  EXPECT_EQ(seen_.defaultButton, QMessageBox::Abort);
  EXPECT_EQ(seen_.icon, QMessageBox::Warning);

  EXPECT_EQ(
      showBox(rt::mb::kRetryCancel | rt::mb::kIconInformation, [](QMessageBox& b) { click(b, QMessageBox::Retry); }),
      PressedButton::Retry);
  EXPECT_EQ(seen_.icon, QMessageBox::Information);

  // No icon bits: no icon.
  showBox(rt::mb::kOk, [](QMessageBox& b) { click(b, QMessageBox::Ok); });
  EXPECT_EQ(seen_.icon, QMessageBox::NoIcon);
}

// A question with the program's own buttons: offered in order, the first the
// default; the index of the one clicked comes back, the last one's after Escape.
TEST_F(QtDesktopTest, QuestionOffersTheProgramsButtonsAndReportsTheOneClicked) {
  const std::vector<std::string> buttons{rt::utf8ToGb("新建"), rt::utf8ToGb("打开"), rt::utf8ToGb("退出")};
  QStringList offered;
  QString defaultCaption, text;
  answerWhenShown<QMessageBox>([&](QMessageBox& box) {
    text = box.text();
    for (QAbstractButton* button : box.buttons()) offered << button->text();
    defaultCaption = box.defaultButton() ? box.defaultButton()->text() : QString();
    for (QAbstractButton* button : box.buttons())
      if (button->text() == qs("打开")) button->click();
  });
  EXPECT_EQ(rt::qtDesktop().askChoice(rt::utf8ToGb("一\r\n二"), rt::utf8ToGb("标题"), buttons), 1);
  offered.sort();
  EXPECT_EQ(offered, (QStringList{qs("打开"), qs("新建"), qs("退出")}));
  EXPECT_EQ(defaultCaption, qs("新建"));
  EXPECT_EQ(text, qs("一\n二"));

  answerWhenShown<QMessageBox>([](QMessageBox& box) { escape(box); });
  EXPECT_EQ(rt::qtDesktop().askChoice("?", "", buttons), 2);
}

// Whatever the session's language (the tests run with LANG=C): the dialogs'
// buttons and the calendar speak Chinese.
TEST_F(QtDesktopTest, ButtonsAndCalendarSpeakChinese) {
  auto buttonTexts = [this](uint32_t style) {
    QStringList texts;
    showBox(style, [&](QMessageBox& box) {
      for (SB which : {QMessageBox::Ok, QMessageBox::Cancel, QMessageBox::Yes, QMessageBox::No})
        if (QAbstractButton* button = box.button(which))
          texts << button->text().remove(QRegularExpression("\\(&.\\)|&"));
      escape(box);
    });
    return texts;
  };
  EXPECT_EQ(buttonTexts(rt::mb::kOkCancel), (QStringList{qs("确定"), qs("取消")}));
  EXPECT_EQ(buttonTexts(rt::mb::kYesNo), (QStringList{qs("是"), qs("否")}));

  loadMainWindow();
  auto* picker = widgetOf<rt::DatePickerWidget>(ui::日期框1);
  ASSERT_NE(picker, nullptr);
  picker->setDate(QDate(2026, 12, 9));
  QCalendarWidget* calendar = picker->calendarWidget();
  ASSERT_NE(calendar, nullptr);
  auto* month = calendar->findChild<QToolButton*>(QStringLiteral("qt_calendar_monthbutton"));
  ASSERT_NE(month, nullptr);
  EXPECT_EQ(month->text(), qs("十二月"));
  auto* days = calendar->findChild<QTableView*>(QStringLiteral("qt_calendar_calendarview"));
  ASSERT_NE(days, nullptr);
  QStringList dayNames;
  for (int column = 0; column < days->model()->columnCount(); ++column)
    dayNames << days->model()->index(0, column).data().toString();
  EXPECT_TRUE(dayNames.contains(qs("周一"))) << dayNames.join(QLatin1Char(' ')).toStdString();
}

TEST_F(QtDesktopTest, DefaultButtonFollowsTheStyle) {
  constexpr uint32_t kSecondDefault = 0x100;
  constexpr uint32_t kThirdDefault = 0x200;
  showBox(rt::mb::kYesNoCancel | kSecondDefault, [](QMessageBox& b) { click(b, QMessageBox::Yes); });
  EXPECT_EQ(seen_.defaultButton, QMessageBox::No);
  showBox(rt::mb::kYesNoCancel | kThirdDefault, [](QMessageBox& b) { click(b, QMessageBox::Yes); });
  EXPECT_EQ(seen_.defaultButton, QMessageBox::Cancel);
  // A default beyond the buttons there are leaves the first one.
  showBox(rt::mb::kOkCancel | kThirdDefault, [](QMessageBox& b) { click(b, QMessageBox::Ok); });
  EXPECT_EQ(seen_.defaultButton, QMessageBox::Ok);
}

TEST_F(QtDesktopTest, EscapeAnswersAsTheBoxAllows) {
  EXPECT_EQ(showBox(rt::mb::kOk, escape), PressedButton::Ok);
  EXPECT_EQ(showBox(rt::mb::kOkCancel, escape), PressedButton::Cancel);
  EXPECT_EQ(showBox(rt::mb::kYesNoCancel, escape), PressedButton::Cancel);
  EXPECT_EQ(showBox(rt::mb::kRetryCancel, escape), PressedButton::Cancel);
}

TEST_F(QtDesktopTest, TextIsShownAsPlainText) {
  showBox(
      rt::mb::kOk, [](QMessageBox& b) { click(b, QMessageBox::Ok); }, "<b>张三</b> & 李四");
  EXPECT_EQ(seen_.text, qs("<b>张三</b> & 李四"));
  showBox(rt::mb::kOk, [](QMessageBox& b) {
    EXPECT_EQ(b.textFormat(), Qt::PlainText);
    click(b, QMessageBox::Ok);
  });
}

TEST(QtNameFilters, PairsOfNameAndPatternsUpToTheEmptyPair) {
  EXPECT_EQ(rt::qtNameFilters(qs("Excel文件|*.xls;*.xlsx|所有文件|*.*||")),
            (QStringList{qs("Excel文件 (*.xls *.xlsx)"), qs("所有文件 (*.*)")}));
  EXPECT_EQ(rt::qtNameFilters(qs("表格|*.xlsx|||忽略|*.txt")), QStringList{qs("表格 (*.xlsx)")});
  EXPECT_EQ(rt::qtNameFilters(qs("只有名字")), QStringList{});
  EXPECT_EQ(rt::qtNameFilters(QString()), QStringList{});
  EXPECT_EQ(rt::qtNameFilters(qs("名|*.a ; *.b|")), QStringList{qs("名 (*.a *.b)")});
}

class QtFileDialogTest : public QtDesktopTest {
 protected:
  rt::FileDialogRequest saveRequest() const {
    rt::FileDialogRequest request;
    request.save = true;
    request.filterGb = rt::utf8ToGb("文本|*.txt|表格|*.xlsx;*.xls||");
    request.filterIndex = 2;
    request.initialFolderGb = rt::utf8ToGb(folder_.path().string());
    request.titleGb = rt::utf8ToGb("保存名单");
    request.defaultExtensionGb = "xlsx";
    return request;
  }
  TempFolder folder_{"jx-dialog"};
};

TEST_F(QtFileDialogTest, SaveDialogOffersTheRequestAndReturnsTheTypedName) {
  QString title, chosenFilter, suffix;
  QStringList filters;
  QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
  answerWhenShown<QFileDialog>([&](QFileDialog& dialog) {
    title = dialog.windowTitle();
    filters = dialog.nameFilters();
    chosenFilter = dialog.selectedNameFilter();
    suffix = dialog.defaultSuffix();
    mode = dialog.acceptMode();
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    name->setText(qs("学员名单"));
    QMetaObject::invokeMethod(&dialog, "accept");
  });
  std::string chosen;
  ASSERT_TRUE(rt::qtDesktop().fileDialog(saveRequest(), chosen));
  EXPECT_EQ(title, qs("保存名单"));
  EXPECT_EQ(filters, (QStringList{qs("文本 (*.txt)"), qs("表格 (*.xlsx *.xls)")}));
  EXPECT_EQ(chosenFilter, qs("表格 (*.xlsx *.xls)"));
  EXPECT_EQ(suffix, qs("xlsx"));
  EXPECT_EQ(mode, QFileDialog::AcceptSave);
  // The name comes back in the runtime's encoding, in the folder, with the
  // default extension.
  EXPECT_EQ(rt::gbToUtf8(chosen), (folder_.path() / "学员名单.xlsx").string());
}

TEST_F(QtFileDialogTest, CancelledDialogChoosesNothing) {
  answerWhenShown<QFileDialog>([](QFileDialog& dialog) { dialog.reject(); });
  std::string chosen = "unchanged";
  EXPECT_FALSE(rt::qtDesktop().fileDialog(saveRequest(), chosen));
  EXPECT_EQ(chosen, "unchanged");
}

TEST_F(QtFileDialogTest, AFilterIndexOutOfRangeChoosesTheNearestFilter) {
  rt::FileDialogRequest request = saveRequest();
  request.filterIndex = 9;
  QString chosenFilter;
  answerWhenShown<QFileDialog>([&](QFileDialog& dialog) {
    chosenFilter = dialog.selectedNameFilter();
    dialog.reject();
  });
  std::string chosen;
  rt::qtDesktop().fileDialog(request, chosen);
  EXPECT_EQ(chosenFilter, qs("表格 (*.xlsx *.xls)"));
}

TEST_F(QtFileDialogTest, FolderDialogChoosesAnExistingFolder) {
  std::filesystem::create_directory(folder_ / "学校");
  rt::FileDialogRequest request;
  request.folder = true;
  request.initialFolderGb = rt::utf8ToGb(folder_.path().string());
  QFileDialog::FileMode mode = QFileDialog::AnyFile;
  answerWhenShown<QFileDialog>([&](QFileDialog& dialog) {
    mode = dialog.fileMode();
    dialog.selectFile((folder_ / "学校").c_str());
    QMetaObject::invokeMethod(&dialog, "accept");
  });
  std::string chosen;
  ASSERT_TRUE(rt::qtDesktop().fileDialog(request, chosen));
  EXPECT_EQ(mode, QFileDialog::Directory);
  EXPECT_EQ(rt::gbToUtf8(chosen), (folder_ / "学校").string());
}

}  // namespace
