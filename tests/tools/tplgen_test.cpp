// The template generator: every kind it writes is read back by the runtime's
// reader as written (the two share runtime/template_format.h), and each
// mistake in a source or the handler list stops it with the file and line.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "runtime/encoding.h"
#include "runtime/templates.h"
#include "tools/tplgen/checking.h"
#include "tools/tplgen/reading.h"
#include "tools/tplgen/writing.h"

namespace {

constexpr char kHandlers[] = "JX_HANDLER(onCreated)  // the window\nJX_HANDLER(onClick)\n";
constexpr char kCreatedOnly[] = "JX_HANDLER(onCreated)\n";

// A window with its own unit; `units` follow it.
std::string source(const std::string& units) {
  return "window 0x52000001\nsymbol kWin\nname \"主\"\n"
         "unit 0x06000001 window\nsymbol 窗口\nrect 0 0 640 480\ncaption 标题\nevent 0 onCreated\n" +
         units;
}

constexpr char kEveryKind[] =
    "unit 0x16000001 Tab\nname 选择夹1\nrect 0 0 600 400\nflags 5\nfont -19 400\npages 一 二\n"
    "contains 编辑框1 0 列表1\n"
    "unit 0x16000002 EditBox\nname 编辑框1\ncontainer 选择夹1\nrect 1 2 3 4\nfont -12 700 宋体\nevent -3 onClick\n"
    "unit 0x16000003 ListView\nname 列表1\ncontainer 选择夹1\nrect 5 6 7 8\nfont -12 400\n"
    "column 35 ID\ncolumn 75 \"姓 名\"\nsingle-selection 1\n"
    "unit 0x16000004 ComboBox\nname 组合框1\nrect 0 0 10 10\nfont -12 400\nitems a \"b c\"\n"
    "unit 0x16000005 PicBox\nname 图片框1\nrect 0 0 10 10\nborder 1\ndisplay 2\n"
    "unit 0x16000006 ProcessBar\nname 进度条1\nrect 0 0 10 10\nmaximum 50\nposition 5\n"
    "unit 0x16000007 CommonDlg\nname 对话框\ndialog-type 1\nfilter \"*.xlsx\"\nfile a.xlsx\n"
    "unit 0x16000008 DBConnection\nname 连接\n"
    "unit 0x26000001 menu\nsymbol 菜单1\nlevel 0\ncaption 文件\nevent 0 onMenu\n";

std::vector<rt::WindowTemplate> generate(const std::string& text, const std::string& handlers = kHandlers) {
  std::vector<tplgen::SourceWindow> windows = tplgen::readSourceText(text, "test.tpl");
  tplgen::checkWindows(windows);
  auto offsets = tplgen::handlerOffsets(tplgen::readHandlerListText(handlers, "handlers.def"), windows);
  std::vector<unsigned char> block = tplgen::templateBlock(windows, offsets);
  tplgen::idsHeader(windows);
  static const std::array<rt::EventHandler, 3> table = {[](const rt::EventArgs&) { return 0; },
                                                        [](const rt::EventArgs&) { return 1; },
                                                        [](const rt::EventArgs&) { return 2; }};
  return rt::parseTemplateBlock(block.data(), block.size(), table.data(), table.size());
}

std::string gb(const char* utf8) { return rt::utf8ToGb(utf8); }

TEST(TplgenTest, EveryKindReadsBackAsWritten) {
  std::vector<rt::WindowTemplate> windows =
      generate(source(kEveryKind), std::string(kHandlers) + "JX_HANDLER(onMenu)\n");
  ASSERT_EQ(windows.size(), 1u);
  const rt::WindowTemplate& w = windows[0];
  EXPECT_EQ(w.id, 0x52000001u);
  EXPECT_EQ(w.nameGb, gb("主"));
  ASSERT_EQ(w.units.size(), 10u);
  EXPECT_EQ(w.ownUnit()->captionGb, gb("标题"));
  EXPECT_NE(w.ownUnit()->handlerFor(0), nullptr);

  const rt::UnitTemplate& tab = *w.find(0x16000001);
  EXPECT_EQ(tab.itemsGb, std::vector<std::string>({gb("一"), gb("二")}));
  EXPECT_EQ(tab.tabPageOf(0x16000003), 1);
  EXPECT_EQ(tab.flags, 5);
  const rt::UnitTemplate& edit = *w.find(0x16000002);
  EXPECT_EQ(edit.container, 0x16000001u);
  EXPECT_EQ(std::vector<int32_t>({edit.left, edit.top, edit.width, edit.height}), std::vector<int32_t>({1, 2, 3, 4}));
  EXPECT_EQ(edit.font.weight, 700);
  EXPECT_EQ(edit.font.faceGb, gb("宋体"));
  EXPECT_EQ(edit.font.charset, 134);
  EXPECT_EQ(edit.handlerFor(-3)(rt::EventArgs{}), 1);
  const rt::UnitTemplate& list = *w.find(0x16000003);
  ASSERT_EQ(list.columns.size(), 2u);
  EXPECT_EQ(list.columns[1].titleGb, gb("姓 名"));
  EXPECT_EQ(list.columns[1].width, 75);
  EXPECT_TRUE(list.singleSelection);
  EXPECT_EQ(list.selectedRow, -1);
  EXPECT_EQ(w.find(0x16000004)->itemsGb, std::vector<std::string>({"a", "b c"}));
  EXPECT_EQ(w.find(0x16000005)->displayMode, 2);
  EXPECT_EQ(w.find(0x16000006)->progressMaximum, 50);
  EXPECT_EQ(w.find(0x16000007)->initialFileGb, "a.xlsx");
  EXPECT_EQ(w.find(0x16000007)->filterGb, "*.xlsx");
  EXPECT_TRUE(w.find(0x16000008)->kindData.empty());
  const rt::UnitTemplate& menu = *w.find(0x26000001);
  EXPECT_EQ(menu.captionGb, gb("文件"));
  EXPECT_EQ(menu.handlerFor(0)(rt::EventArgs{}), 2);
}

struct Refusal {
  std::string source;
  std::string handlers;
  std::string message;  // what the message says, file and line first where there is one
};

TEST(TplgenTest, MistakesStopItWithTheirPlace) {
  const std::string edit = "unit 0x16000002 EditBox\nname 编辑框1\nrect 1 2 3 4\nfont -12 400\n";  // lines 9-12
  const std::string tab = "unit 0x16000001 Tab\nname 选择夹1\nrect 0 0 9 9\nfont -12 400\n";
  const Refusal refusals[] = {
      // Reading.
      {source("unit 0x16000002 Slider\n"), kHandlers, "test.tpl:9: unknown unit kind 'Slider'"},
      {source(edit + "caption x\n"), kHandlers, "test.tpl:13: 'caption' does not belong to a EditBox"},
      {source(edit + "rect 1 1 1 1\n"), kHandlers, "test.tpl:13: 'rect' given twice"},
      {source(edit + "order x1\n"), kHandlers, "test.tpl:13: number expected, found 'x1'"},
      {source("unit 0x16000002 EditBox\nrect 1 1 -1 1\n"), kHandlers, "test.tpl:10: negative size"},
      {source("unit 0x16000002 Label\nname \"a\\x\"\n"), kHandlers, "test.tpl:10: bad escape in quoted text"},
      {source("unit 0x16000002 Label\nname \"a\n"), kHandlers, "test.tpl:10: unterminated quoted text"},
      {"# nothing\n", kHandlers, "test.tpl: no window"},
      {"unit 0x16000002 Label\n", kHandlers, "test.tpl:1: a source starts with 'window ID'"},
      // Checking.
      {"window 0x16000001\nsymbol k\nunit 0x06000001 window\n", kHandlers, "test.tpl:1: not a window id"},
      {source("unit 0x06000002 EditBox\nrect 0 0 1 1\nfont 1 1\n"), kHandlers, "test.tpl:9: id does not fit a EditBox"},
      {source(edit + "unit 0x16000002 Label\nname b\nfont 1 1\n"), kHandlers, "test.tpl:13: unit id used twice"},
      {source(edit + "unit 0x16000003 Label\nname 编辑框1\nfont 1 1\n"), kHandlers,
       "test.tpl:13: unit name used twice"},
      {source("unit 0x16000003 Label\nname b\nfont 1 1\ncontainer 选择夹1\n" + tab), kHandlers,
       "test.tpl:9: the container must come before its units"},
      {source(tab + "pages 一\n" + edit + "container 选择夹1\n"), kHandlers,
       "test.tpl:14: not listed exactly once by its container"},
      {source(tab + "pages 一\ncontains 编辑框1\n" + edit), kHandlers,
       "test.tpl:9: contains '编辑框1', whose container is another unit"},
      {source(tab + "pages 一 二\n"), kHandlers, "test.tpl:9: page titles and contained pages differ in number"},
      {source("unit 0x16000002 EditBox\nrect 0 0 1 1\n"), kHandlers, "test.tpl:9: a EditBox needs a font"},
      {source("unit 0x26000001 menu\nsymbol m\nevent 1 onClick\n"), kHandlers,
       "test.tpl:9: a menu item has a single event 0"},
      {source(edit + "event 1 onClick\nevent 1 onClick\n"), kHandlers, "test.tpl:14: event bound twice"},
      {source(edit + "event 1 onOther\n"), kHandlers, "test.tpl:13: handler 'onOther' is not in the handler list"},
      {source(edit + "event 1 onCreated\n"), kHandlers, "test.tpl:13: handler 'onCreated' is bound twice"},
      {source(edit), kHandlers, "handler 'onClick' of the handler list is bound nowhere"},
      {"window 0x52000001\nunit 0x06000001 window\n", kHandlers, "test.tpl:1: a window needs a 'symbol'"},
      {source(edit + "unit 0x26000001 menu\nsymbol 2m\n"), kHandlers, "test.tpl:13: '2m' cannot name a constant"},
      {source("unit 0x26000001 menu\nsymbol 窗口\n"), kHandlers, "test.tpl:9: '窗口' names two constants in ids.h"},
      // The handler list.
      {source(edit + "event 1 onClick\n"), "JX_HANDLER(onCreated)\nonClick\n",
       "handlers.def:2: expected JX_HANDLER(name)"},
      {source(edit + "event 1 onClick\n"), "JX_HANDLER(on-Click)\n", "handlers.def:1: bad handler name 'on-Click'"},
      {source(edit + "event 1 onClick\n"), "JX_HANDLER(onClick)\nJX_HANDLER(onClick)\n",
       "handlers.def:2: handler 'onClick' listed twice"},
      // Writing.
      {source("unit 0x16000002 Label\nname \"\xFF\"\nfont 1 1\n"), kCreatedOnly, "test.tpl:9: text is not valid UTF-8"},
      {source("unit 0x16000002 Label\nfont 1 1 " + std::string(32, 'f') + "\n"), kHandlers,
       "test.tpl:9: font face too long"},
  };
  for (const Refusal& refusal : refusals) {
    try {
      generate(refusal.source, refusal.handlers);
      ADD_FAILURE() << "accepted:\n" << refusal.source;
    } catch (const tplgen::GenError& error) {
      EXPECT_NE(std::string(error.what()).find(refusal.message), std::string::npos)
          << "expected: " << refusal.message << "\ngot: " << error.what();
    }
  }
}

}  // namespace
