// The main window as the templates describe it, through its real widgets.
#include <gtest/gtest.h>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QTreeView>

#include "runtime/listview/list_library.h"
#include "tests/screen/screen_helpers.h"

using namespace jxtest;

namespace {

// Labels are not addressed by the application, so ui:: does not name them.
constexpr rt::api::Unit 标签2{ui::kMainWindow, 0x16011D2B, rt::kind::kLabel};

// Non-visual units of the database, spreadsheet and import libraries, counted so that
// a test sees them created and destroyed with their window.
int liveNonVisualUnits = 0;
class CountedUnit : public rt::UnitObject {
 public:
  CountedUnit() { ++liveNonVisualUnits; }
  ~CountedUnit() override { --liveNonVisualUnits; }
};
std::unique_ptr<rt::UnitObject> createCounted(const rt::UnitContext&) { return std::make_unique<CountedUnit>(); }

rt::Library makeLibrary(int32_t number, std::vector<uint32_t> kinds) {
  rt::Library library;
  library.number = number;
  for (uint32_t kindTag : kinds) library.kinds.push_back(rt::UnitKind{kindTag, "counted", false, &createCounted});
  return library;
}
const rt::Library kDatabase = makeLibrary(rt::lib::kDatabase, {rt::kind::kRecordSet, rt::kind::kDBConnection});
const rt::Library kSpreadsheet = makeLibrary(rt::lib::kSpreadsheet, {rt::kind::kExcelApp, rt::kind::kExcelWorkbooks});
const rt::Library kLearnerImport = makeLibrary(rt::lib::kLearnerImport, {rt::kind::kLearnerImport});

class MainWindowTest : public RuntimeTest {
 protected:
  RuntimeOptions options() const override {
    RuntimeOptions options;
    options.libraries = {&rt::coreLibrary(),  &rt::listViewLibrary(), &kDatabase,     &kSpreadsheet,
                         &rt::shellLibrary(), &rt::timingLibrary(),   &kLearnerImport};
    return options;
  }
  const rt::WindowTemplate& mainTemplate() { return *rt::findWindowTemplate(kMainWindowId); }
};

TEST_F(MainWindowTest, EveryUnitOfTheTemplateGetsItsObjectAndGoesWithTheWindow) {
  loadMainWindow();
  rt::LoadedWindow* window = loadedWindow(kMainWindowId);
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(mainTemplate().units.size(), 80u);
  for (const rt::UnitTemplate& unit : mainTemplate().units)
    EXPECT_NE(rt::findUnitObject(kMainWindowId, unit.id), nullptr) << rt::gbToUtf8(unit.nameGb);
  EXPECT_EQ(liveNonVisualUnits, 13);  // 7 record sets, 1 connection, 2 + 2 spreadsheet objects, 1 importer

  rt::closeAllWindows();
  settle();
  EXPECT_EQ(liveNonVisualUnits, 0);
  EXPECT_EQ(rt::findUnitObject(kMainWindowId, ui::编辑框1.id), nullptr);
}

TEST_F(MainWindowTest, ControlsSitAtTheirRectanglesOnTheirTabPages) {
  loadMainWindow();
  auto* tab = widgetOf<rt::TabWidget>(ui::选择夹1);
  ASSERT_NE(tab, nullptr);
  const rt::UnitTemplate* tabTemplate = mainTemplate().find(ui::选择夹1.id);
  int placed = 0;
  for (const rt::UnitTemplate& unit : mainTemplate().units) {
    auto* screenUnit = dynamic_cast<rt::ScreenUnit*>(rt::findUnitObject(kMainWindowId, unit.id));
    if (!screenUnit || unit.kind == rt::kind::kWindow) continue;
    QWidget* widget = screenUnit->widget();
    EXPECT_EQ(widget->geometry(), QRect(unit.left, unit.top, unit.width, unit.height)) << utf8(unit.nameGb);
    if (unit.container == ui::选择夹1.id) {
      // A page covers the whole Tab, so page positions are Tab positions.
      EXPECT_EQ(widget->parentWidget(), tab->page(tabTemplate->tabPageOf(unit.id))) << utf8(unit.nameGb);
      EXPECT_EQ(widget->parentWidget()->geometry(), tab->rect());
    }
    ++placed;
  }
  EXPECT_EQ(placed, 47);  // the Tab and its 46 controls
  EXPECT_EQ(widgetOf<QLineEdit>(ui::编辑框1)->parentWidget(), tab->page(0));
  EXPECT_EQ(widgetOf<QComboBox>(ui::组合框8)->parentWidget(), tab->page(1));
  EXPECT_EQ(widgetOf(ui::超级列表框3)->parentWidget(), tab->page(2));
  EXPECT_EQ(widgetOf(ui::超级列表框4)->parentWidget(), tab->page(3));
}

TEST_F(MainWindowTest, CaptionsItemsPagesColumnsAndFontsAreThoseOfTheTemplates) {
  loadMainWindow();
  EXPECT_EQ(widgetOf<QLabel>(标签2)->text(), qs("姓   名"));
  EXPECT_EQ(widgetOf<QPushButton>(ui::添加)->text(), qs("添 加"));
  EXPECT_EQ(widgetOf<QPushButton>(ui::成绩修改)->text(), qs("成绩修改"));

  auto* subjects = widgetOf<QComboBox>(ui::组合框8);
  ASSERT_EQ(subjects->count(), 4);
  EXPECT_EQ(subjects->itemText(3), qs("科目四"));
  EXPECT_EQ(subjects->currentIndex(), -1);
  EXPECT_TRUE(subjects->isEditable());
  EXPECT_EQ(widgetOf<QComboBox>(ui::组合框9)->itemText(1), qs("合格"));

  auto* tab = widgetOf<rt::TabWidget>(ui::选择夹1);
  ASSERT_EQ(tab->pageCount(), 4);
  EXPECT_EQ(tab->bar()->tabText(0), qs("学员信息"));
  EXPECT_EQ(tab->bar()->tabText(3), qs("结业学员"));
  EXPECT_EQ(tab->currentPage(), 0);
  EXPECT_TRUE(tab->page(0)->isVisibleTo(tab));
  EXPECT_FALSE(tab->page(1)->isVisibleTo(tab));

  auto* students = widgetOf<QTreeView>(ui::超级列表框1);
  ASSERT_EQ(students->header()->count(), 16);
  EXPECT_EQ(students->model()->headerData(6, Qt::Horizontal).toString(), qs("身份证号码"));
  EXPECT_EQ(students->columnWidth(1), 75);
  auto* exams = widgetOf<QTreeView>(ui::超级列表框2);
  ASSERT_EQ(exams->header()->count(), 7);
  EXPECT_EQ(exams->model()->headerData(6, Qt::Horizontal).toString(), qs("是否通过"));
  EXPECT_EQ(exams->columnWidth(4), 160);
  EXPECT_EQ(widgetOf<QTreeView>(ui::超级列表框3)->header()->count(), 11);

  EXPECT_EQ(widgetOf<QLabel>(标签2)->font().pixelSize(), 19);
  EXPECT_EQ(widgetOf<QLineEdit>(ui::编辑框5)->font().pixelSize(), 14);
  QFont buttonFont = widgetOf<QPushButton>(ui::修改)->font();
  EXPECT_EQ(buttonFont.pixelSize(), 16);
  EXPECT_EQ(buttonFont.weight(), QFont::Bold);
}

// However narrow: ID 35, 性别 36 and ID 30 as well as the wide ones.
TEST_F(MainWindowTest, EveryListColumnHasItsTemplateWidth) {
  loadMainWindow();
  settle();
  int columns = 0;
  for (const rt::UnitTemplate& unit : mainTemplate().units) {
    if (unit.kind != rt::kind::kListView) continue;
    auto* list =
        dynamic_cast<QTreeView*>(dynamic_cast<rt::ScreenUnit*>(rt::findUnitObject(kMainWindowId, unit.id))->widget());
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->header()->count(), static_cast<int>(unit.columns.size()));
    for (size_t column = 0; column < unit.columns.size(); ++column) {
      EXPECT_EQ(list->header()->sectionSize(static_cast<int>(column)), unit.columns[column].width)
          << utf8(unit.nameGb) << " " << utf8(unit.columns[column].titleGb);
      ++columns;
    }
  }
  EXPECT_EQ(columns, 16 + 7 + 11 + 16);
}

TEST_F(MainWindowTest, MenuBarShowsTwoMenusWithTheHiddenOnesLeftOut) {
  loadMainWindow();
  QMenuBar* bar = loadedWindow(kMainWindowId)->windowUnit->control()->menuBar();
  QList<QAction*> menus = bar->actions();
  ASSERT_EQ(menus.size(), 4);
  EXPECT_EQ(menus[0]->text(), qs("学员管理 "));
  EXPECT_TRUE(menus[0]->isVisible());
  EXPECT_EQ(menus[1]->text(), qs("添加考试"));
  EXPECT_FALSE(menus[1]->isVisible());
  EXPECT_EQ(menus[2]->text(), qs("选项"));
  EXPECT_EQ(menus[3]->text(), qs("结业学员"));
  EXPECT_FALSE(menus[3]->isVisible());
  ASSERT_NE(menus[0]->menu(), nullptr);
  QStringList entries;
  for (QAction* entry : menus[0]->menu()->actions()) entries << entry->text();
  EXPECT_EQ(entries, (QStringList{qs("读取身份证"), qs("打印报名表"), qs("删除学员"), qs("导入数据"), qs("导出数据"),
                                  qs("查看日志")}));
  ASSERT_EQ(menus[2]->menu()->actions().size(), 1);
  EXPECT_EQ(menus[2]->menu()->actions()[0]->text(), qs("参数设置"));
}

TEST_F(MainWindowTest, CreationEventRunsUnblockedBeforeTheWindowIsShown) {
  bool shownDuringCreation = true;
  int32_t blockDuringCreation = -1;
  handlers().onCall(handler::onMainWindowCreated, [&](const rt::EventArgs&) {
    shownDuringCreation = loadedWindow(kMainWindowId)->frame()->isVisible();
    blockDuringCreation = rt::eventBlockCounter();
    rt::api::writeText(ui::主窗口, rt::prop::kWindowTitle, "学员管理"_gb);
    return 0;
  });
  loadMainWindow();
  ASSERT_EQ(handlers().count(handler::onMainWindowCreated), 1);
  EXPECT_EQ(handlers().calls()[0].source.windowId, kMainWindowId);
  EXPECT_FALSE(shownDuringCreation);
  EXPECT_EQ(blockDuringCreation, 0);
  QWidget* frame = loadedWindow(kMainWindowId)->frame();
  EXPECT_TRUE(frame->isVisible());
  EXPECT_EQ(frame->windowTitle(), qs("学员管理"));
  // The outer rectangle is the template's.
  EXPECT_EQ(rt::api::readInt(ui::主窗口, rt::prop::kWidth), 1351);
  EXPECT_EQ(rt::api::readInt(ui::主窗口, rt::prop::kHeight), 718);
  EXPECT_EQ(rt::api::readInt(ui::主窗口, rt::prop::kLeft), 50);
}

}  // namespace
