// The registration-form template the admin tool writes, read back with
// openpyxl: six forms in the order the printing expects, each cell the
// program fills a bordered box beside its label, the number and date boxes
// in text format, one A4 page per form in its orientation; the same bytes
// every time; a school's own template is never replaced.
#include <gmock/gmock.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <map>

#include "tests/sheet/workbook_readers.h"
#include "tools/form_template.h"
#include "tools/program_folder.h"

namespace {

namespace fs = std::filesystem;

struct FilledBox {
  std::string address;
  std::string label;  // the caption printed left of the box (one of them)
  std::string labelCell;
  bool keepsText = false;  // identity numbers, telephones and dates
};

const std::vector<FilledBox> kApplicationBoxes = {
    {"C3", "姓名", "A3"},           {"L3", "性别", "K3"},
    {"Q3", "出生日期", "M3", true}, {"X3", "国籍", "W3"},
    {"C4", "身份证明", "A4"},       {"C6", "住址", "A6"},
    {"C8", "联系电话", "A8", true}, {"N8", "邮政编码", "K8", true},
    {"E9", "申请准驾车型", "A9"},   {"T29", "报名日期", "N29", true},
};
const std::vector<FilledBox> kCardBoxes = {
    {"B5", "姓名", "A5"},           {"D5", "性别", "C5"}, {"G5", "出生年月", "E5", true},
    {"B6", "身份证号", "A6", true}, {"B7", "住址", "A7"}, {"B8", "联系电话", "A8", true},
};
const std::vector<FilledBox> kRecordBoxes = {
    {"B3", "姓名", "A3"},           {"E3", "性别", "D3"}, {"H3", "身份证号", "F3", true},
    {"K3", "报名年份", "J3", true}, {"B4", "住址", "A4"}, {"I4", "联系电话", "G4", true},
};

// Paper size, fit to pages (width x height) of every sheet, from openpyxl.
std::vector<std::string> pageFits(const fs::path& book) {
  std::string script =
      "import sys, openpyxl\n"
      "for ws in openpyxl.load_workbook(sys.argv[1]).worksheets:\n"
      "    p = ws.page_setup\n"
      "    # an absent fitToWidth or fitToHeight means 1 page\n"
      "    print(p.paperSize, ws.sheet_properties.pageSetUpPr.fitToPage, p.fitToWidth or 1, p.fitToHeight or 1)\n";
  std::istringstream lines(sheettest::run(sheettest::kPython + " -c " + sheettest::shellQuoted(script) + " " +
                                          sheettest::shellQuoted(book.string())));
  std::vector<std::string> fits;
  for (std::string line; std::getline(lines, line);) fits.push_back(line);
  return fits;
}

bool contains(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

class FormTemplate : public ::testing::Test {
 protected:
  sheettest::TempFolder folder_;
};

TEST_F(FormTemplate, SixFormsWithABorderedBoxBesideALabelForEveryFilledCell) {
  const fs::path file = folder_ / "table.xlsx";
  ASSERT_TRUE(admin::writeFormTemplate(file).ok);
  sheettest::ReadBack book = sheettest::readBack(file);

  ASSERT_EQ(book.sheets, (std::vector<std::string>{"报名申请表", "学员登记卡", "C2", "C1", "B2", "A1"}));
  const std::map<int, const std::vector<FilledBox>*> boxes = {{0, &kApplicationBoxes}, {1, &kCardBoxes},
                                                              {2, &kRecordBoxes},      {3, &kRecordBoxes},
                                                              {4, &kRecordBoxes},      {5, &kRecordBoxes}};
  for (const auto& [sheet, filled] : boxes) {
    SCOPED_TRACE(book.sheets[static_cast<size_t>(sheet)]);
    EXPECT_EQ(book.orientation[sheet], sheet < 2 ? "portrait" : "landscape");
    EXPECT_FALSE(book.printArea[sheet].empty());
    EXPECT_FALSE(book.text(sheet, "A1").empty()) << "a title";
    const auto& merges = book.merges[sheet];
    EXPECT_TRUE(std::any_of(merges.begin(), merges.end(), [](const std::string& m) { return m.starts_with("A1:"); }))
        << "the title spans the form";
    for (const FilledBox& box : *filled) {
      SCOPED_TRACE(box.address);
      EXPECT_EQ(book.cell(sheet, box.address), nullptr) << "the program's cells start empty";
      const std::string& style = book.styles[{sheet, box.address}];
      EXPECT_NE(style.find("thin"), std::string::npos) << style;
      EXPECT_EQ(style.substr(style.rfind('|') + 1), box.keepsText ? "@" : "General");
      EXPECT_EQ(book.text(sheet, box.labelCell), box.label);
    }
  }
  // The eighteen boxes of the identity number, one character each.
  for (char column = 'E'; column <= 'V'; ++column) {
    const std::string& style = book.styles[{0, std::string(1, column) + "4"}];
    EXPECT_NE(style.find("thin"), std::string::npos) << column;
    EXPECT_EQ(style.substr(style.rfind('|') + 1), "@") << column;
  }
  // Labels spanning several cells are merged with them.
  for (const char* merged : {"A1:X1", "A3:B3", "M3:P3", "A9:D9", "N29:S29", "C3:J3"})
    EXPECT_TRUE(contains(book.merges[0], merged)) << merged;
  for (const char* merged : {"E5:F5", "B6:G6", "H5:H8"}) EXPECT_TRUE(contains(book.merges[1], merged)) << merged;
  for (const char* merged : {"F3:G3", "H3:I3", "G4:H4", "I4:L4"})
    EXPECT_TRUE(contains(book.merges[3], merged)) << merged;

  // Each form fits one A4 page (paper 9).
  EXPECT_EQ(pageFits(file), std::vector<std::string>(6, "9 True 1 1"));
}

TEST_F(FormTemplate, IsTheSameBytesEveryTimeAndAProgramFolderKeepsItsOwn) {
  ASSERT_TRUE(admin::writeFormTemplate(folder_ / "first.xlsx").ok);
  admin::FolderRequest request;
  request.folder = folder_ / "school";
  admin::Report made = admin::makeProgramFolder(request);
  ASSERT_TRUE(made.ok) << made.message;
  EXPECT_NE(made.message.find("table.xlsx: made"), std::string::npos) << made.message;
  EXPECT_EQ(sheettest::fileBytes(folder_ / "school" / "table.xlsx"), sheettest::fileBytes(folder_ / "first.xlsx"));

  // The school's own template survives a new database.
  jxtest::TempFolder::write(folder_ / "school" / "table.xlsx", "our own form");
  request.replaceDatabase = true;
  made = admin::makeProgramFolder(request);
  ASSERT_TRUE(made.ok) << made.message;
  EXPECT_NE(made.message.find("table.xlsx: kept"), std::string::npos) << made.message;
  EXPECT_EQ(sheettest::fileBytes(folder_ / "school" / "table.xlsx"), "our own form");

  // A template that cannot be written (here: larger than the process may
  // write, which holds for root too) stops the folder before its database.
  request.folder = folder_ / "blocked";
  struct rlimit old {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  struct rlimit small = old;
  small.rlim_cur = 4096;
  sighandler_t oldHandler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  made = admin::makeProgramFolder(request);
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(made.ok);
  EXPECT_FALSE(fs::exists(request.folder / "table.xlsx"));
  EXPECT_FALSE(fs::exists(request.folder / "hj.mdb"));
}

}  // namespace
