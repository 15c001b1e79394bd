// The generated template block read back by the runtime's parser: the two
// windows with their units as the program uses them, the handler bindings,
// and the parser's refusal of damaged blocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/form.h"
#include "app/learner.h"
#include "app/windows/template_block.h"
#include "db/schema.h"
#include "runtime/encoding.h"
#include "runtime/templates.h"
#include "runtime/value.h"

namespace {

enum Handler : int32_t {
#define JX_HANDLER(name) name,
#include "app/windows/handlers.def"
#undef JX_HANDLER
};

// One distinct function per handler-table entry.
template <size_t I>
int32_t dummyHandler(const rt::EventArgs&) {
  return static_cast<int32_t>(I);
}
template <size_t... I>
constexpr std::array<rt::EventHandler, sizeof...(I)> makeTable(std::index_sequence<I...>) {
  return {&dummyHandler<I>...};
}
constexpr auto kHandlerTable = makeTable(std::make_index_sequence<app::kHandlerCount>{});

constexpr uint32_t kMainWindow = 0x5201001B;
constexpr uint32_t kProgressWindow = 0x52011CBD;
constexpr uint32_t kTab = 0x16011CD7;

std::vector<unsigned char> storedBlock() {
  return {app::kTemplateBlock, app::kTemplateBlock + app::kTemplateBlockSize};
}

std::vector<rt::WindowTemplate> parse(const std::vector<unsigned char>& block) {
  return rt::parseTemplateBlock(block.data(), block.size(), kHandlerTable.data(), kHandlerTable.size());
}

std::string gb(const char* utf8) { return rt::utf8ToGb(utf8); }

class StoredTemplates : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { windows_ = parse(storedBlock()); }

  const rt::WindowTemplate& window(uint32_t id) const {
    for (const rt::WindowTemplate& w : windows_)
      if (w.id == id) return w;
    throw std::runtime_error("window missing");
  }
  const rt::UnitTemplate& unit(uint32_t id, uint32_t windowId = kMainWindow) const {
    const rt::UnitTemplate* u = window(windowId).find(id);
    if (u == nullptr) throw std::runtime_error("unit missing");
    return *u;
  }
  const rt::UnitTemplate& named(const char* utf8Name) const {
    for (const rt::UnitTemplate& u : window(kMainWindow).units)
      if (u.nameGb == gb(utf8Name)) return u;
    throw std::runtime_error(std::string("no unit ") + utf8Name);
  }
  const rt::UnitTemplate& menuItem(const char* utf8Caption) const {
    for (const rt::UnitTemplate& u : window(kMainWindow).units)
      if (u.isMenuItem() && u.captionGb == gb(utf8Caption)) return u;
    throw std::runtime_error(std::string("no menu item ") + utf8Caption);
  }

  static std::vector<rt::WindowTemplate> windows_;
};
std::vector<rt::WindowTemplate> StoredTemplates::windows_;

TEST_F(StoredTemplates, HoldsBothWindowsWithAllTheirUnits) {
  ASSERT_EQ(windows_.size(), 2u);
  EXPECT_EQ(windows_[0].id, kMainWindow);
  EXPECT_EQ(windows_[1].id, kProgressWindow);
  EXPECT_EQ(windows_[0].units.size(), 80u);
  EXPECT_EQ(windows_[1].units.size(), 2u);
  EXPECT_EQ(windows_[0].wordA, 0);
  EXPECT_EQ(windows_[0].wordB, 0x19010051);

  const rt::UnitTemplate* own = window(kMainWindow).ownUnit();
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own, window(kMainWindow).find(0));
  EXPECT_EQ(own->id, 0x0601001Au);
  EXPECT_EQ(own->kind, rt::kind::kWindow);
  EXPECT_EQ(std::vector<int32_t>({own->left, own->top, own->width, own->height}),
            std::vector<int32_t>({50, 50, 1351, 718}));
  EXPECT_EQ(own->flags, rt::kUnitVisible);
  EXPECT_TRUE(own->captionGb.empty());

  const rt::UnitTemplate& progressOwn = *window(kProgressWindow).ownUnit();
  EXPECT_EQ(progressOwn.id, 0x06011CBCu);
  EXPECT_EQ(std::vector<int32_t>({progressOwn.left, progressOwn.top, progressOwn.width, progressOwn.height}),
            std::vector<int32_t>({50, 50, 350, 60}));
  const rt::UnitTemplate& bar = unit(0x16011CBE, kProgressWindow);
  EXPECT_EQ(bar.kind, rt::kind::kProcessBar);
  EXPECT_EQ(bar.nameGb, gb("进度条1"));
  EXPECT_EQ(std::vector<int32_t>({bar.left, bar.top, bar.width, bar.height}), std::vector<int32_t>({0, 0, 350, 60}));
}

TEST_F(StoredTemplates, UnitKindsAndFlagsFollowTheirRole) {
  std::map<uint32_t, int> perKind;
  for (const rt::UnitTemplate& u : window(kMainWindow).units) {
    ++perKind[u.kind];
    if (u.isMenuItem()) {
      EXPECT_TRUE(rt::ids::isMenuItemId(u.id));
      EXPECT_TRUE(u.nameGb.empty());
      continue;
    }
    bool nonVisual = rt::kind::libraryOf(u.kind) >= 3 || u.kind == rt::kind::kCommonDlg;
    if (nonVisual) {
      EXPECT_EQ(u.flags, 0) << rt::gbToUtf8(u.nameGb);
      EXPECT_EQ(u.top, 0);
      EXPECT_EQ(u.container, 0u);
    } else if (u.kind == rt::kind::kLabel || u.kind == rt::kind::kPicBox || u.kind == rt::kind::kWindow) {
      EXPECT_EQ(u.flags, rt::kUnitVisible) << rt::gbToUtf8(u.nameGb);
    } else {
      EXPECT_EQ(u.flags, rt::kUnitVisible | rt::kUnitTabStop) << rt::gbToUtf8(u.nameGb);
    }
  }
  EXPECT_EQ(perKind[rt::kind::kMenu], 17);
  EXPECT_EQ(perKind[rt::kind::kRecordSet], 7);
  EXPECT_EQ(perKind[rt::kind::kListView], 4);
  EXPECT_EQ(perKind[rt::kind::kCommonDlg], 2);
  EXPECT_EQ(perKind[rt::kind::kExcelApp], 2);
  EXPECT_EQ(perKind[rt::kind::kExcelWorkbooks], 2);
  EXPECT_EQ(perKind[rt::kind::kDBConnection], 1);
  EXPECT_EQ(perKind[rt::kind::kWindow], 1);
}

TEST_F(StoredTemplates, ControlsKeepTheirRectanglesCaptionsAndFonts) {
  const rt::UnitTemplate& nameLabel = unit(0x16011D2B);
  EXPECT_EQ(nameLabel.kind, rt::kind::kLabel);
  EXPECT_EQ(nameLabel.captionGb, gb("姓   名"));
  EXPECT_EQ(std::vector<int32_t>({nameLabel.left, nameLabel.top, nameLabel.width, nameLabel.height}),
            std::vector<int32_t>({9, 44, 74, 25}));
  EXPECT_EQ(named("标签4").captionGb, gb("车  型"));
  EXPECT_EQ(named("标签17").captionGb, gb("住址"));

  const rt::UnitTemplate& add = unit(0x16011D2F);
  EXPECT_EQ(add.kind, rt::kind::kButton);
  EXPECT_EQ(add.captionGb, gb("添 加"));
  EXPECT_EQ(std::vector<int32_t>({add.left, add.top, add.width, add.height}), std::vector<int32_t>({534, 79, 80, 35}));
  EXPECT_EQ(named("考试查询").captionGb, gb("查 询"));
  EXPECT_EQ(named("成绩修改").captionGb, gb("成绩修改"));

  ASSERT_TRUE(add.hasFont);
  EXPECT_EQ(add.font.height, -16);
  EXPECT_EQ(add.font.weight, 700);
  EXPECT_EQ(nameLabel.font.height, -19);
  EXPECT_EQ(nameLabel.font.weight, 400);
  EXPECT_EQ(nameLabel.font.charset, 134);
  EXPECT_TRUE(nameLabel.font.faceGb.empty());
  EXPECT_EQ(named("编辑框1").font.height, -19);
  EXPECT_EQ(named("编辑框9").font.height, -14);
  EXPECT_EQ(named("标签12").font.faceGb, gb("微软雅黑"));
  EXPECT_EQ(named("标签13").font.faceGb, gb("微软雅黑"));
  EXPECT_EQ(named("选择夹1").font.height, -19);
  EXPECT_FALSE(named("日期框1").hasFont);

  const rt::UnitTemplate& photo = named("图片框1");
  EXPECT_EQ(photo.kind, rt::kind::kPicBox);
  EXPECT_EQ(photo.displayMode, rt::kPictureStretch);
  EXPECT_TRUE(photo.pictureBytes.empty());

  const char* ordered[] = {"编辑框1", "编辑框2", "编辑框3", "组合框1", "编辑框4", "组合框2",
                           "组合框3", "组合框4", "组合框5", "组合框6", "组合框7"};
  for (int i = 0; i < 11; ++i) EXPECT_EQ(named(ordered[i]).order, i + 1) << ordered[i];
}

TEST_F(StoredTemplates, ComboItemsListColumnsAndDialogs) {
  EXPECT_EQ(named("组合框8").itemsGb,
            std::vector<std::string>({gb("科目一"), gb("科目二"), gb("科目三"), gb("科目四")}));
  EXPECT_EQ(named("组合框9").itemsGb, std::vector<std::string>({gb("不合格"), gb("合格")}));
  EXPECT_TRUE(named("组合框1").itemsGb.empty());

  const rt::UnitTemplate& students = unit(0x16011D2E);
  ASSERT_EQ(students.columns.size(), 16u);
  EXPECT_EQ(students.columns[0].titleGb, "ID");
  EXPECT_EQ(students.columns[0].width, 35);
  EXPECT_EQ(students.columns[0].image, -1);
  EXPECT_EQ(students.columns[0].format, 0);
  EXPECT_EQ(students.columns[6].titleGb, gb("身份证号码"));
  EXPECT_EQ(students.columns[15].titleGb, gb("科三车牌"));
  EXPECT_EQ(students.columns[15].width, 70);
  EXPECT_EQ(students.font.height, -12);

  const rt::UnitTemplate& results = named("超级列表框2");
  ASSERT_EQ(results.columns.size(), 7u);
  EXPECT_EQ(results.columns[6].titleGb, gb("是否通过"));
  EXPECT_EQ(results.font.height, -16);
  ASSERT_EQ(named("超级列表框3").columns.size(), 11u);
  EXPECT_EQ(named("超级列表框3").columns[10].width, 74);
  EXPECT_EQ(named("超级列表框3").font.height, -14);
  ASSERT_EQ(named("超级列表框4").columns.size(), 16u);

  for (const char* list : {"超级列表框1", "超级列表框2", "超级列表框3", "超级列表框4"}) {
    EXPECT_TRUE(named(list).singleSelection) << list;
    EXPECT_EQ(named(list).selectedRow, -1) << list;
  }
  for (const char* dialog : {"通用对话框_公用", "通用对话框_公用1"}) {
    EXPECT_EQ(named(dialog).filterGb, gb("Excel表格（*.xls;*.xlsx）|*.xlsx;*.xls")) << dialog;
    EXPECT_EQ(named(dialog).dialogType, 0);
    EXPECT_TRUE(named(dialog).initialFolderGb.empty());
  }
}

// The handlers' description of the learner record (app/learner.h,
// app/form.h) agrees with the window and with the tables the database
// library creates.
TEST_F(StoredTemplates, TheLearnerRecordIsWhatTheListsTheFormAndTheTablesHold) {
  namespace learner = app::learner;
  for (const char* list : {"超级列表框1", "超级列表框4"}) {
    const std::vector<rt::ListColumnTemplate>& columns = named(list).columns;
    ASSERT_EQ(columns.size(), static_cast<size_t>(learner::kListColumnCount)) << list;
    EXPECT_EQ(columns[learner::kListNumberColumn].titleGb, learner::kListNumberTitleUtf8) << list;
    EXPECT_EQ(columns[learner::kListNumberColumn].width, learner::kListNumberWidth) << list;
    for (const learner::Column& column : learner::kColumns) {
      const rt::ListColumnTemplate& shown = columns[static_cast<size_t>(learner::listColumn(column.field))];
      EXPECT_EQ(rt::gbToUtf8(shown.titleGb), column.nameUtf8) << list;
      EXPECT_EQ(shown.width, column.listWidth) << list << " " << column.nameUtf8;
    }
  }
  const rt::UnitTemplate& tab = unit(kTab);
  std::set<uint32_t> fields;
  for (const rt::api::Unit& field : app::form::kLearnerFields) {
    EXPECT_TRUE(fields.insert(field.id).second) << "one field per column";
    EXPECT_EQ(tab.tabPageOf(field.id), 0);
    EXPECT_TRUE(field.kind == rt::kind::kEditBox || field.kind == rt::kind::kComboBox);
  }
  for (const db::records::Table& table : db::records::tables()) {
    if (table.name != "student" && table.name != "graduation") continue;
    ASSERT_EQ(table.columns.size(), learner::kFieldCount) << table.name;
    for (const learner::Column& column : learner::kColumns)
      EXPECT_EQ(table.columns[static_cast<size_t>(column.field)], column.nameUtf8) << table.name;
  }
}

TEST_F(StoredTemplates, TabHoldsThePageControls) {
  const rt::UnitTemplate& tab = unit(kTab);
  EXPECT_EQ(tab.kind, rt::kind::kTab);
  EXPECT_EQ(tab.itemsGb, std::vector<std::string>({gb("学员信息"), gb("考试详情"), gb("考试名单"), gb("结业学员")}));
  EXPECT_EQ(std::count(tab.contained.begin(), tab.contained.end(), 0u), 3);
  EXPECT_EQ(tab.contained.size(), 35u + 9u + 1u + 1u + 3u);

  EXPECT_EQ(tab.tabPageOf(0x16011D2B), 0);   // 标签2
  EXPECT_EQ(tab.tabPageOf(0x16011D2E), 0);   // 超级列表框1
  EXPECT_EQ(tab.tabPageOf(0x16011F50), 1);   // 成绩修改
  EXPECT_EQ(tab.tabPageOf(0x16011EE4), 2);   // 超级列表框3
  EXPECT_EQ(tab.tabPageOf(0x16012184), 3);   // 超级列表框4
  EXPECT_EQ(tab.tabPageOf(0x16011D32), -1);  // 数据库连接1 is not on a page
  EXPECT_EQ(tab.tabPageOf(0), -1);
  EXPECT_EQ(named("标签2").tabPageOf(0x16011D2B), -1);  // not a Tab

  for (uint32_t id : tab.contained) {
    if (id != 0) { EXPECT_EQ(unit(id).container, kTab); }
  }
  size_t onTab = 0;
  for (const rt::UnitTemplate& u : window(kMainWindow).units) onTab += u.container == kTab;
  EXPECT_EQ(onTab, 46u);
}

TEST_F(StoredTemplates, MenuItemsInOrderWithLevelsAndFlags) {
  std::vector<std::pair<std::string, int32_t>> menu;
  for (const rt::UnitTemplate& u : window(kMainWindow).units)
    if (u.isMenuItem()) menu.emplace_back(rt::gbToUtf8(u.captionGb), u.level);
  std::vector<std::pair<std::string, int32_t>> expected = {
      {"学员管理 ", 0}, {"读取身份证", 1}, {"打印报名表", 1}, {"删除学员", 1},   {"导入数据", 1},   {"导出数据", 1},
      {"查看日志", 1},  {"添加考试", 0},   {"添加科目一", 1}, {"添加科目二", 1}, {"添加科目三", 1}, {"添加科目四", 1},
      {"学员结业", 1},  {"选项", 0},       {"参数设置", 1},   {"结业学员", 0},   {"撤销结业", 1}};
  EXPECT_EQ(menu, expected);

  EXPECT_EQ(menuItem("添加考试").menuFlags, rt::kMenuHidden);
  EXPECT_EQ(menuItem("添加考试").id, 0x26011EDCu);
  EXPECT_EQ(menuItem("结业学员").menuFlags, rt::kMenuHidden);
  EXPECT_EQ(menuItem("学员管理 ").menuFlags, 0);
  EXPECT_EQ(menuItem("学员管理 ").handlerFor(0), nullptr);
  EXPECT_EQ(menuItem("参数设置").id, 0x260121ACu);
}

TEST_F(StoredTemplates, EventBindingsResolveToTheirHandlers) {
  struct Binding {
    uint32_t window, unit;
    int32_t event;
    Handler handler;
  };
  const Binding bindings[] = {
      {kMainWindow, 0, 0, onMainWindowCreated},
      {kMainWindow, kTab, 2, onTabPageChanged},
      {kMainWindow, 0x16011D2F, 0, onAddClicked},
      {kMainWindow, 0x16011D30, 0, onModifyClicked},
      {kMainWindow, 0x16011D2E, 4, onStudentListClick},
      {kMainWindow, 0x16011D2E, 5, onStudentListRightClick},
      {kMainWindow, 0x16011D2E, -3, onStudentListDoubleClick},
      {kMainWindow, 0x16011D2A, -3, onEditBox1DoubleClick},
      {kMainWindow, 0x16011D28, -3, onEditBox2DoubleClick},
      {kMainWindow, 0x16011D22, -3, onEditBox3DoubleClick},
      {kMainWindow, 0x16011D26, -3, onEditBox4DoubleClick},
      {kMainWindow, 0x16011D1F, -3, onComboBox1DoubleClick},
      {kMainWindow, 0x16011D2D, -3, onComboBox2DoubleClick},
      {kMainWindow, 0x16011D19, -3, onComboBox5DoubleClick},
      {kMainWindow, 0x16011D2D, 0, onCoach2Chosen},
      {kMainWindow, 0x16011D19, 0, onCoach3Chosen},
      {kMainWindow, 0x16011D2C, 0, onDatePicker1Changed},
      {kMainWindow, 0x16011D45, 0, onDatePicker2Changed},
      {kMainWindow, 0x16011E47, 0, onExamQueryClicked},
      {kMainWindow, 0x16011F50, 0, onResultChangeClicked},
      {kMainWindow, 0x16012184, 5, onGraduateListRightClick},
      {kMainWindow, 0x26011FD4, 0, onMenuReadCard},
      {kMainWindow, 0x26012069, 0, onMenuPrintForm},
      {kMainWindow, 0x26011C9D, 0, onMenuDeleteStudent},
      {kMainWindow, 0x26012143, 0, onMenuImportData},
      {kMainWindow, 0x26011C9E, 0, onMenuExportData},
      {kMainWindow, 0x26011E42, 0, onMenuViewLog},
      {kMainWindow, 0x26011EDD, 0, onMenuAddSubject1},
      {kMainWindow, 0x26011EDE, 0, onMenuAddSubject2},
      {kMainWindow, 0x26011EDF, 0, onMenuAddSubject3},
      {kMainWindow, 0x26011EE0, 0, onMenuAddSubject4},
      {kMainWindow, 0x26012144, 0, onMenuGraduate},
      {kMainWindow, 0x260121AC, 0, onMenuSettings},
      {kMainWindow, 0x260121B1, 0, onMenuUndoGraduation},
      {kProgressWindow, 0, 0, onProgressWindowCreated},
  };
  for (const Binding& b : bindings) {
    rt::EventHandler h = unit(b.unit, b.window).handlerFor(b.event);
    ASSERT_NE(h, nullptr) << std::hex << b.unit << " event " << std::dec << b.event;
    EXPECT_EQ(h(rt::EventArgs{}), b.handler) << std::hex << b.unit << " event " << std::dec << b.event;
  }

  // Nothing else is bound: every handler appears exactly once in the block.
  size_t bound = 0;
  for (const rt::WindowTemplate& w : windows_)
    for (const rt::UnitTemplate& u : w.units) {
      if (u.isMenuItem()) bound += u.menuHandler != nullptr;
      for (const rt::EventBinding& e : u.events) bound += e.handler != nullptr;
    }
  EXPECT_EQ(bound, std::size(bindings));
  EXPECT_EQ(static_cast<int32_t>(std::size(bindings)), app::kHandlerCount);

  EXPECT_EQ(unit(0x16011D35).handlerFor(4), nullptr);  // 超级列表框2 has no click handler
  EXPECT_EQ(unit(0x16011D2F).handlerFor(-3), nullptr);
}

TEST_F(StoredTemplates, TextsRoundTripThroughGb18030) {
  EXPECT_EQ(rt::gbToUtf8(named("通用对话框_公用").filterGb), "Excel表格（*.xls;*.xlsx）|*.xlsx;*.xls");
  EXPECT_EQ(rt::gbToUtf8(unit(0x160121A5).nameGb), "记录集考试名单");
  EXPECT_EQ(rt::gbToUtf8(unit(0x16011D2B).captionGb), "姓   名");
  // GB18030 bytes, not UTF-8: "姓" is two bytes.
  EXPECT_EQ(unit(0x16011D2B).captionGb.size(), 7u);
}

TEST(TemplateInstall, FindsInstalledWindows) {
  rt::installTemplates(parse(storedBlock()));
  ASSERT_NE(rt::findWindowTemplate(kProgressWindow), nullptr);
  EXPECT_EQ(rt::findWindowTemplate(kProgressWindow)->units.size(), 2u);
  EXPECT_EQ(rt::findWindowTemplate(0x52000001), nullptr);
  EXPECT_EQ(rt::loadedTemplates().size(), 2u);
  rt::installTemplates({});
  EXPECT_EQ(rt::findWindowTemplate(kMainWindow), nullptr);
}

// ------------------------------------------------------------ damaged blocks

int32_t readInt(const std::vector<unsigned char>& b, size_t at) {
  int32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}
void writeInt(std::vector<unsigned char>& b, size_t at, int32_t v) { std::memcpy(b.data() + at, &v, 4); }

// Where the main window's parts begin, found from the stored structure.
struct MainWindowLayout {
  static constexpr size_t kIndexSize = 0;
  static constexpr size_t kUnitCount = 4 + 16 + 16;  // index, words, empty name and comment
  static constexpr size_t kUnitBlockSize = kUnitCount + 4;
  static constexpr size_t kUnitIds = kUnitBlockSize + 4;
  size_t units;
  size_t offsets() const { return kUnitIds + 4 * units; }
  size_t records() const { return kUnitIds + 8 * units; }
  explicit MainWindowLayout(const std::vector<unsigned char>& b) : units(static_cast<size_t>(readInt(b, kUnitCount))) {}
};

size_t find(const std::vector<unsigned char>& b, const std::string& text) {
  const std::vector<unsigned char> bytes(text.begin(), text.end());
  auto at = std::search(b.begin(), b.end(), bytes.begin(), bytes.end());
  if (at == b.end()) throw std::runtime_error("pattern missing");
  return static_cast<size_t>(at - b.begin());
}

TEST(DamagedTemplateBlock, EveryTruncationIsRefused) {
  std::vector<unsigned char> block = storedBlock();
  for (size_t n = 0; n < block.size(); ++n) {
    std::vector<unsigned char> prefix(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_THROW(parse(prefix), rt::TemplateError) << "prefix of " << n << " bytes";
  }
  block.push_back(0);
  EXPECT_THROW(parse(block), rt::TemplateError) << "trailing byte";
}

// Any single damaged byte either still reads as a block or is refused with
// TemplateError; nothing reads outside the block (checked under the sanitizers).
TEST(DamagedTemplateBlock, EveryDamagedByteIsReadSafely) {
  const std::vector<unsigned char> good = storedBlock();
  for (size_t at = 0; at < good.size(); ++at) {
    std::vector<unsigned char> b = good;
    b[at] ^= 0xFF;
    try {
      parse(b);
    } catch (const rt::TemplateError&) {}
  }
}

TEST(DamagedTemplateBlock, CorruptedSizesAndCountsAreRefused) {
  const std::vector<unsigned char> good = storedBlock();
  ASSERT_NO_THROW(parse(good));
  MainWindowLayout layout(good);
  ASSERT_EQ(layout.units, 80u);

  auto refused = [&](size_t at, int32_t value) {
    std::vector<unsigned char> b = good;
    writeInt(b, at, value);
    EXPECT_THROW(parse(b), rt::TemplateError) << "value " << value << " at " << at;
  };
  refused(MainWindowLayout::kIndexSize, 12);  // not 8 per window
  refused(MainWindowLayout::kIndexSize, 24);  // a third window that is not there
  refused(MainWindowLayout::kIndexSize, -8);
  refused(4, 0x16011D2B);  // the index names a unit, not a window
  refused(MainWindowLayout::kUnitCount, readInt(good, MainWindowLayout::kUnitBlockSize) / 8 + 1);
  refused(MainWindowLayout::kUnitCount, 0x7FFFFFFF);
  refused(MainWindowLayout::kUnitCount, -1);
  refused(MainWindowLayout::kUnitBlockSize, readInt(good, MainWindowLayout::kUnitBlockSize) + 1);
  refused(MainWindowLayout::kUnitBlockSize, 0x7FFFFFF0);
  refused(layout.offsets(), -4);
  refused(layout.offsets() + 4, 0x10000000);
  refused(MainWindowLayout::kUnitIds + 4, readInt(good, MainWindowLayout::kUnitIds));  // a unit id twice

  // Record body sizes: too large, and one byte short of the record.
  size_t firstRecord = layout.records() + static_cast<size_t>(readInt(good, layout.offsets()));
  refused(firstRecord, 0x7FFFFFFF);
  refused(firstRecord, readInt(good, firstRecord) - 1);
  refused(firstRecord, 3);

  // A count inside kind data: 组合框9 stores two items.
  size_t firstItem = find(good, std::string("\x06\x00\x00\x00", 4) + gb("不合格"));
  ASSERT_EQ(readInt(good, firstItem - 4), 2);
  refused(firstItem - 4, 1);  // bytes left over
  refused(firstItem - 4, 3);  // runs past the record
}

TEST(DamagedTemplateBlock, MissingNulIsRefused) {
  std::vector<unsigned char> b = storedBlock();
  MainWindowLayout layout(b);
  size_t record = layout.records() + static_cast<size_t>(readInt(b, layout.offsets()));
  size_t bodySize = static_cast<size_t>(readInt(b, record));
  constexpr size_t kHeader = 4 + 4 + 20;  // size, kind, run-time bytes
  std::fill(b.begin() + static_cast<std::ptrdiff_t>(record + kHeader),
            b.begin() + static_cast<std::ptrdiff_t>(record + 4 + bodySize), 'x');
  try {
    parse(b);
    ADD_FAILURE() << "accepted a record without NUL";
  } catch (const rt::TemplateError& e) { EXPECT_NE(std::string(e.what()).find("NUL"), std::string::npos) << e.what(); }
}

TEST(DamagedTemplateBlock, HandlerOffsetsMustNameTableEntries) {
  const std::vector<unsigned char> good = storedBlock();
  size_t handler = find(good, gb("读取身份证") + std::string(1, '\0')) + gb("读取身份证").size() + 1;
  ASSERT_EQ(readInt(good, handler), onMenuReadCard * 8);
  for (int32_t offset : {3, -2, -8, app::kHandlerCount * 8, 0x7FFFFFF8}) {
    std::vector<unsigned char> b = good;
    writeInt(b, handler, offset);
    EXPECT_THROW(parse(b), rt::TemplateError) << offset;
  }

  // A table shorter than the block expects, or none at all.
  EXPECT_THROW(rt::parseTemplateBlock(good.data(), good.size(), kHandlerTable.data(), kHandlerTable.size() - 1),
               rt::TemplateError);
  EXPECT_THROW(rt::parseTemplateBlock(good.data(), good.size(), nullptr), rt::TemplateError);
  // Without a count the table is trusted up to the general bound.
  auto windows = rt::parseTemplateBlock(good.data(), good.size(), kHandlerTable.data());
  EXPECT_EQ(windows[1].ownUnit()->handlerFor(0), kHandlerTable[onProgressWindowCreated]);
}

}  // namespace
