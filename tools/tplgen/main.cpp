// tplgen: turns the readable window template sources (*.tpl) and the handler
// list (handlers.def) into the binary template block, written as a C++ source
// file that defines app::kTemplateBlock and app::kTemplateBlockSize, and into
// the header of unit constants the handlers address controls with (ids.h:
// every named unit's window, id and kind), so that the templates are the one
// source of both.
//
//   tplgen --handlers handlers.def --output template_block.cpp --ids ids.h a.tpl b.tpl
//
// Windows are stored in the order of the source files. The generator checks
// the sources thoroughly (ids, names, containers, handler names, fields that
// do not belong to a kind) so that a mistake stops the build instead of
// producing a block the runtime would misread.
//
// Source format. '#' starts a comment line. Tokens are separated by blanks; a
// text with blanks is written in double quotes (\" and \\ escape inside).
// Texts are UTF-8 in the source and GB18030 in the block.
//   window ID                 starts a window; until the first unit:
//     words A B               the window's words A and B
//     name TEXT, comment TEXT the window's name and comment
//     symbol NAME             the window id's constant in ids.h (not stored)
//   unit ID KIND              starts a unit record (KIND: window, menu,
//                             EditBox, PicBox, Label, Button, ComboBox,
//                             ProcessBar, Tab, DatePicker, CommonDlg, ListView,
//                             DBConnection, RecordSet, ExcelApp, ExcelWorkbooks,
//                             LearnerImport);
//                             the lines up to the next unit are its fields:
//     name, comment, tag TEXT   unit name, comment and tag text
//     symbol NAME               the unit's constant in ids.h when the unit
//                               has no stored name (windows, menu items);
//                               not stored in the block
//     rect L T W H              pixels, relative to the container
//     container UNIT            a unit name or id; absent: the window itself
//     contains UNIT...          appends to the contained list; a literal 0
//                               separates the pages of a Tab
//     flags N                   bit 0 visible, bit 1 disabled, bit 2 tab stop;
//                               for menu items bit 0 hidden, bit 1 grayed
//     order N                   the stored ordering number
//     event NUMBER HANDLER      a binding to a handler named in the handler list
//     level N                   menu items: 0 menu bar, 1 entry of the menu above
//     font HEIGHT WEIGHT [FACE] logical font, character set 134
//     caption TEXT              label, button or menu caption; window title
//     items TEXT...             combo box items
//     pages TEXT...             tab page titles
//     column WIDTH TITLE        one list column, in order
//     single-selection 0|1      list selection style
//     border N, display N       picture box border style and display mode
//     maximum N, position N     progress bar range and position
//     dialog-type N, filter TEXT, filter-index N, folder TEXT,
//     dialog-title TEXT, default-ext TEXT, file TEXT   common dialogs
// Units are stored in the order written; a container must precede its units.
//
// The layout of the block and of the kind-specific data is described in
// runtime/template_format.h, which the runtime reads it back by. The work is
// in three steps: reading (reading.h), checking (checking.h) and writing
// (writing.h).

#include <iostream>
#include <string>
#include <vector>

#include "tools/tplgen/checking.h"
#include "tools/tplgen/reading.h"
#include "tools/tplgen/writing.h"

namespace {

using namespace tplgen;

int run(int argc, char** argv) {
  std::string handlersPath, outputPath, idsPath;
  std::vector<std::string> sources;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--handlers" && i + 1 < argc) {
      handlersPath = argv[++i];
    } else if (arg == "--output" && i + 1 < argc) {
      outputPath = argv[++i];
    } else if (arg == "--ids" && i + 1 < argc) {
      idsPath = argv[++i];
    } else if (arg.starts_with("--")) {
      throw GenError("unknown option " + arg);
    } else {
      sources.push_back(arg);
    }
  }
  if (handlersPath.empty() || outputPath.empty() || sources.empty())
    throw GenError("usage: tplgen --handlers FILE --output FILE [--ids FILE] SOURCE...");

  std::vector<SourceWindow> windows;
  for (const std::string& path : sources)
    for (SourceWindow& w : readSource(path)) windows.push_back(std::move(w));
  checkWindows(windows);
  std::map<std::string, int32_t> offsets = handlerOffsets(readHandlerList(handlersPath), windows);
  writeFile(outputPath, cppSource(templateBlock(windows, offsets)));
  if (!idsPath.empty()) writeFile(idsPath, idsHeader(windows));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "tplgen: " << e.what() << "\n";
    return 1;
  }
}
