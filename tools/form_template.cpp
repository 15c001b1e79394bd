// The forms are described below as tables of boxes, one per merged range or
// single cell, each with its look and its printed text; libxlsxwriter writes
// them. The program fills these cells (by worksheet):
//   1  C3 name, L3 sex, Q3 birth date, X3 nationality, C4 kind of identity
//      document, E4..V4 the identity number one character a box, C6 address,
//      C8 telephone, N8 postal code, E9 vehicle class, T29 registration date
//   2  B5 name, D5 sex, G5 year and month of birth, B6 identity number,
//      B7 address, B8 telephone
//   3-6 (C2, C1, B2, A1)  B3 name, E3 sex, H3 identity number,
//      K3 registration year, B4 address, I4 telephone
// Cells that receive numbers written as text (identity numbers, telephones,
// dates) have the text format "@", so that nothing is turned into a number.
#include "tools/form_template.h"

#include "sheet/engine/file_replacement.h"
#include "tools/outcome.h"

#include <xlsxwriter.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace admin {
namespace {

namespace fs = std::filesystem;

enum class Look {
  kTitle,       // the form's title: large, bold, centred
  kNote,        // a small remark without a box
  kSection,     // a shaded heading across the form
  kLabel,       // a boxed caption beside the box it names
  kField,       // a box the program or the applicant fills
  kShortField,  // such a box for a word or two, centred
  kTextField,   // such a box that keeps its text as typed (format "@")
  kDigitBox,    // one character of the identity number
  kStatement,   // a boxed paragraph that wraps
  kHeading,     // a column heading of a table to fill by hand
  kNumber,      // a running number of such a table
  kCount
};

struct Box {
  std::string range;  // "A3:B3", or one cell "L3"
  Look look;
  std::string text = {};
};

// The range of columns "D:E" (or the column "D") on one row: "D7:E7" ("D7").
std::string onRow(const std::string& columns, int row) {
  std::string number = std::to_string(row);
  size_t colon = columns.find(':');
  if (colon == std::string::npos) return columns + number;
  return columns.substr(0, colon) + number + ":" + columns.substr(colon + 1) + number;
}

enum class Paper { kPortrait, kLandscape };

struct RowHeight {
  int row;  // 1-based
  double points;
};

struct Form {
  const char* sheetName;
  const char* title;
  Paper paper;
  const char* printArea;
  std::vector<double> columnWidths;  // characters, from column A
  std::vector<RowHeight> rowHeights;
  std::vector<Box> boxes;
};

constexpr double kRowPoints = 22;
constexpr double kTitlePoints = 36;
constexpr double kTallPoints = 48;

// Worksheet 1: the application form.
Form applicationForm() {
  Form form{"报名申请表", "机动车驾驶人培训报名申请表", Paper::kPortrait, "A1:X29", {}, {}, {}};
  form.columnWidths = {5, 5, 5, 5};
  form.columnWidths.insert(form.columnWidths.end(), 18, 3.3);  // E..V: the identity number
  form.columnWidths.insert(form.columnWidths.end(), {5, 7});
  form.rowHeights = {{1, kTitlePoints}, {5, 14}, {11, kTallPoints}, {17, kTallPoints}, {21, kTallPoints}};
  form.boxes = {
      {"A1:X1", Look::kTitle, form.title},
      {"A2:X2", Look::kSection, "申请人基本信息"},
      {"A3:B3", Look::kLabel, "姓名"},
      {"C3:J3", Look::kField},
      {"K3", Look::kLabel, "性别"},
      {"L3", Look::kShortField},
      {"M3:P3", Look::kLabel, "出生日期"},
      {"Q3:V3", Look::kTextField},
      {"W3", Look::kLabel, "国籍"},
      {"X3", Look::kShortField},
      {"A4:B4", Look::kLabel, "身份证明"},
      {"C4:D4", Look::kField},
      {"W4:X4", Look::kField},
      {"E5:V5", Look::kNote, "公民身份号码，每格一位"},
      {"A6:B6", Look::kLabel, "住址"},
      {"C6:X6", Look::kField},
      {"A7:B7", Look::kLabel, "联系地址"},
      {"C7:X7", Look::kField},
      {"A8:B8", Look::kLabel, "联系电话"},
      {"C8:J8", Look::kTextField},
      {"K8:M8", Look::kLabel, "邮政编码"},
      {"N8:S8", Look::kTextField},
      {"T8:V8", Look::kLabel, "电子邮箱"},
      {"W8:X8", Look::kField},
      {"A9:D9", Look::kLabel, "申请准驾车型"},
      {"E9:H9", Look::kField},
      {"I9:L9", Look::kLabel, "申请类别"},
      {"M9:X9", Look::kField, "□初次申领　　□增加准驾车型"},
      {"A10:X10", Look::kSection, "身体条件申告"},
      {"A11:X11", Look::kStatement,
       "本人申告：身体条件符合所申请准驾车型的要求，没有妨碍安全驾驶的疾病；近三年内没有吸食、注射毒品的行为；"
       "以上所填内容真实有效。"},
      {"A12:D12", Look::kLabel, "申请人签字"},
      {"E12:L12", Look::kField},
      {"M12:P12", Look::kLabel, "签字日期"},
      {"Q12:X12", Look::kTextField},
      {"A13:X13", Look::kSection, "体检情况（由体检医院填写）"},
      {"A14:D14", Look::kLabel, "身高（厘米）"},
      {"E14:J14", Look::kField},
      {"K14:N14", Look::kLabel, "视力"},
      {"O14:X14", Look::kField, "左眼　　　　右眼"},
      {"A15:D15", Look::kLabel, "辨色力"},
      {"E15:J15", Look::kField},
      {"K15:N15", Look::kLabel, "听力"},
      {"O15:X15", Look::kField},
      {"A16:D16", Look::kLabel, "上肢"},
      {"E16:J16", Look::kField},
      {"K16:N16", Look::kLabel, "下肢"},
      {"O16:X16", Look::kField},
      {"A17:D17", Look::kLabel, "体检结论"},
      {"E17:X17", Look::kField},
      {"A18:D18", Look::kLabel, "医生签字"},
      {"E18:J18", Look::kField},
      {"K18:N18", Look::kLabel, "体检日期"},
      {"O18:X18", Look::kTextField},
      {"A19:X19", Look::kSection, "培训学校意见"},
      {"A20:D20", Look::kLabel, "培训学校"},
      {"E20:X20", Look::kField},
      {"A21:D21", Look::kLabel, "审核意见"},
      {"E21:X21", Look::kField},
      {"A22:D22", Look::kLabel, "经办人"},
      {"E22:J22", Look::kField},
      {"K22:N22", Look::kLabel, "审核日期"},
      {"O22:X22", Look::kTextField},
      {"A23:X23", Look::kSection, "受理情况（由车辆管理所填写）"},
      {"A24:D24", Look::kLabel, "受理人"},
      {"E24:J24", Look::kField},
      {"K24:N24", Look::kLabel, "受理日期"},
      {"O24:X24", Look::kTextField},
      {"A25:D25", Look::kLabel, "档案编号"},
      {"E25:X25", Look::kTextField},
      {"A26:D28", Look::kLabel, "备注"},
      {"E26:X28", Look::kField},
      {"A29:M29", Look::kNote, "本表一式两份，培训学校与学员各执一份。"},
      {"N29:S29", Look::kLabel, "报名日期"},
      {"T29:X29", Look::kTextField},
  };
  // The identity number, one character a box.
  for (char column = 'E'; column <= 'V'; ++column)
    form.boxes.push_back({onRow(std::string(1, column), 4), Look::kDigitBox});
  return form;
}

// Worksheet 2: the learner's record card.
Form recordCard() {
  Form form{"学员登记卡", "驾驶培训学员登记卡", Paper::kPortrait, "A1:H17", {10, 20, 8, 8, 8, 8, 14, 14}, {}, {}};
  form.rowHeights = {{1, kTitlePoints}, {3, 8}, {16, kTallPoints}};
  form.boxes = {
      {"A1:H1", Look::kTitle, form.title},
      {"A2:H2", Look::kNote, "（学员本人核对后签字）"},
      {"A4:H4", Look::kSection, "基本信息"},
      {"A5", Look::kLabel, "姓名"},
      {"B5", Look::kField},
      {"C5", Look::kLabel, "性别"},
      {"D5", Look::kShortField},
      {"E5:F5", Look::kLabel, "出生年月"},
      {"G5", Look::kTextField},
      {"H5:H8", Look::kLabel, "照片"},
      {"A6", Look::kLabel, "身份证号"},
      {"B6:G6", Look::kTextField},
      {"A7", Look::kLabel, "住址"},
      {"B7:G7", Look::kField},
      {"A8", Look::kLabel, "联系电话"},
      {"B8:G8", Look::kTextField},
      {"A9:H9", Look::kSection, "培训与考试"},
      {"A10", Look::kHeading, "科目"},
      {"B10", Look::kHeading, "培训起止日期"},
      {"C10:D10", Look::kHeading, "学时"},
      {"E10:F10", Look::kHeading, "教练员"},
      {"G10", Look::kHeading, "考试日期"},
      {"H10", Look::kHeading, "考试成绩"},
      {"A15:H15", Look::kSection, "学员承诺"},
      {"A16:H16", Look::kStatement,
       "本人自愿参加机动车驾驶培训，遵守培训学校的各项规定，服从教练员的指导；以上信息经本人核对无误。"},
      {"A17", Look::kLabel, "学员签字"},
      {"B17:D17", Look::kField},
      {"E17:F17", Look::kLabel, "日期"},
      {"G17:H17", Look::kTextField},
  };
  const char* const subjects[] = {"科目一", "科目二", "科目三", "科目四"};
  constexpr int kFirstSubjectRow = 11;
  for (int i = 0; i < 4; ++i) {
    int row = kFirstSubjectRow + i;
    form.boxes.push_back({onRow("A", row), Look::kLabel, subjects[i]});
    for (const char* columns : {"B", "C:D", "E:F", "G", "H"}) form.boxes.push_back({onRow(columns, row), Look::kField});
  }
  return form;
}

// Worksheets 3 to 6: the training record of one vehicle class.
Form trainingRecord(const char* sheetName, const char* title, const char* classNote) {
  Form form{sheetName, title, Paper::kLandscape, "A1:L19", {8, 12, 10, 8, 8, 8, 10, 16, 12, 10, 10, 12}, {}, {}};
  form.rowHeights = {{1, kTitlePoints}};
  form.boxes = {
      {"A1:L1", Look::kTitle, form.title},
      {"A2:L2", Look::kNote, classNote},
      {"A3", Look::kLabel, "姓名"},
      {"B3:C3", Look::kField},
      {"D3", Look::kLabel, "性别"},
      {"E3", Look::kShortField},
      {"F3:G3", Look::kLabel, "身份证号"},
      {"H3:I3", Look::kTextField},
      {"J3", Look::kLabel, "报名年份"},
      {"K3:L3", Look::kTextField},
      {"A4", Look::kLabel, "住址"},
      {"B4:F4", Look::kField},
      {"G4:H4", Look::kLabel, "联系电话"},
      {"I4:L4", Look::kTextField},
      {"A5:L5", Look::kSection, "培训记录"},
      {"A6", Look::kHeading, "序号"},
      {"B6", Look::kHeading, "日期"},
      {"C6", Look::kHeading, "科目"},
      {"D6:E6", Look::kHeading, "培训时段"},
      {"F6", Look::kHeading, "学时"},
      {"G6", Look::kHeading, "教练车号"},
      {"H6:I6", Look::kHeading, "培训内容"},
      {"J6", Look::kHeading, "教练员签字"},
      {"K6", Look::kHeading, "学员签字"},
      {"L6", Look::kHeading, "备注"},
      {"A19:C19", Look::kLabel, "累计学时"},
      {"D19:F19", Look::kField},
      {"G19:H19", Look::kLabel, "结业考核"},
      {"I19:L19", Look::kField},
  };
  // Twelve numbered lines to fill by hand.
  constexpr int kFirstLine = 7, kLines = 12;
  for (int line = 1; line <= kLines; ++line) {
    int row = kFirstLine + line - 1;
    form.boxes.push_back({onRow("A", row), Look::kNumber, std::to_string(line)});
    for (const char* columns : {"B", "C", "D:E", "F", "G", "H:I", "J", "K", "L"})
      form.boxes.push_back({onRow(columns, row), Look::kField});
  }
  return form;
}

std::vector<Form> allForms() {
  return {
      applicationForm(),
      recordCard(),
      trainingRecord("C2", "机动车驾驶培训教学日志", "准驾车型：C2（小型自动挡汽车）"),
      trainingRecord("C1", "机动车驾驶培训教学日志", "准驾车型：C1（小型汽车）"),
      trainingRecord("B2", "机动车驾驶培训教学日志", "准驾车型：B2（大型货车）"),
      trainingRecord("A1", "机动车驾驶培训教学日志", "准驾车型：A1（大型客车）"),
  };
}

// --- writing the workbook ---

constexpr uint8_t kPaperA4 = 9;
constexpr double kSideMargin = 0.4, kTopMargin = 0.5, kBottomMargin = 0.5;  // inches
const char* const kFontName = "宋体";
constexpr double kTitleSize = 18, kBodySize = 11, kNoteSize = 9;
constexpr lxw_color_t kShade = 0xE7E6E6;
// A fixed creation time (2024-01-01 00:00 UTC): the same description always
// gives the same bytes.
constexpr time_t kCreated = 1704067200;

struct WorkbookCloser {
  void operator()(lxw_workbook* book) const { workbook_close(book); }
};
using WorkbookHandle = std::unique_ptr<lxw_workbook, WorkbookCloser>;

lxw_format* makeFormat(lxw_workbook* book, Look look) {
  lxw_format* format = workbook_add_format(book);
  format_set_font_name(format, kFontName);
  format_set_font_size(format, kBodySize);
  format_set_align(format, LXW_ALIGN_VERTICAL_CENTER);
  auto boxed = [format] { format_set_border(format, LXW_BORDER_THIN); };
  switch (look) {
    case Look::kTitle:
      format_set_font_size(format, kTitleSize);
      format_set_bold(format);
      format_set_align(format, LXW_ALIGN_CENTER);
      break;
    case Look::kNote:
      format_set_font_size(format, kNoteSize);
      format_set_align(format, LXW_ALIGN_CENTER);
      break;
    case Look::kSection:
      boxed();
      format_set_bold(format);
      format_set_pattern(format, LXW_PATTERN_SOLID);
      format_set_bg_color(format, kShade);
      break;
    case Look::kLabel:
    case Look::kHeading:
    case Look::kNumber:
    case Look::kShortField:
      boxed();
      format_set_align(format, LXW_ALIGN_CENTER);
      if (look == Look::kHeading) format_set_bold(format);
      break;
    case Look::kField: boxed(); break;
    case Look::kTextField:
      boxed();
      format_set_num_format(format, "@");
      break;
    case Look::kDigitBox:
      boxed();
      format_set_align(format, LXW_ALIGN_CENTER);
      format_set_num_format(format, "@");
      break;
    case Look::kStatement:
      boxed();
      format_set_text_wrap(format);
      format_set_align(format, LXW_ALIGN_VERTICAL_TOP);
      break;
    case Look::kCount: break;
  }
  return format;
}

void check(lxw_error error, const std::string& what) {
  if (error != LXW_NO_ERROR) throw Failure{what + ": " + lxw_strerror(error)};
}

void writeBox(lxw_worksheet* sheet, const Box& box, lxw_format* format) {
  const std::string where = box.range;
  size_t colon = where.find(':');
  if (colon != std::string::npos) {
    check(worksheet_merge_range(sheet, RANGE(where.c_str()), box.text.c_str(), format), "merge " + where);
    return;
  }
  lxw_row_t row = lxw_name_to_row(where.c_str());
  lxw_col_t column = lxw_name_to_col(where.c_str());
  if (box.look == Look::kNumber)
    check(worksheet_write_number(sheet, row, column, std::stod(box.text), format), "number " + where);
  else if (box.text.empty())
    check(worksheet_write_blank(sheet, row, column, format), "box " + where);
  else
    check(worksheet_write_string(sheet, row, column, box.text.c_str(), format), "text " + where);
}

void writeForm(lxw_workbook* book, const Form& form, lxw_format* const* formats) {
  lxw_worksheet* sheet = workbook_add_worksheet(book, form.sheetName);
  if (!sheet) throw Failure{std::string("cannot add the sheet ") + form.sheetName};
  for (size_t column = 0; column < form.columnWidths.size(); ++column)
    check(worksheet_set_column(sheet, static_cast<lxw_col_t>(column), static_cast<lxw_col_t>(column),
                               form.columnWidths[column], nullptr),
          "column width");
  lxw_row_t lastRow = lxw_name_to_row_2(form.printArea);
  for (lxw_row_t row = 0; row <= lastRow; ++row) {
    double points = kRowPoints;
    for (const RowHeight& height : form.rowHeights)
      if (height.row == static_cast<int>(row) + 1) points = height.points;
    check(worksheet_set_row(sheet, row, points, nullptr), "row height");
  }
  for (const Box& box : form.boxes) writeBox(sheet, box, formats[static_cast<size_t>(box.look)]);

  if (form.paper == Paper::kLandscape)
    worksheet_set_landscape(sheet);
  else
    worksheet_set_portrait(sheet);
  worksheet_set_paper(sheet, kPaperA4);
  worksheet_set_margins(sheet, kSideMargin, kSideMargin, kTopMargin, kBottomMargin);
  worksheet_center_horizontally(sheet);
  worksheet_fit_to_pages(sheet, 1, 1);
  check(worksheet_print_area(sheet, RANGE(form.printArea)), "print area");
}

// Writes the template to `path`, a name of the file that becomes `file`.
void writeWorkbook(const std::string& path, const fs::path& file) {
  lxw_workbook_options options{};
  WorkbookHandle book(workbook_new_opt(path.c_str(), &options));
  if (!book) throw Failure{"cannot create " + file.string()};
  lxw_doc_properties properties{};
  char title[] = "报名表模板";  // the library's field is not const
  properties.title = title;
  properties.created = kCreated;
  check(workbook_set_properties(book.get(), &properties), "document properties");
  lxw_format* formats[static_cast<size_t>(Look::kCount)];
  for (size_t look = 0; look < static_cast<size_t>(Look::kCount); ++look)
    formats[look] = makeFormat(book.get(), static_cast<Look>(look));
  for (const Form& form : allForms()) writeForm(book.get(), form, formats);
  lxw_error closed = workbook_close(book.release());
  if (closed != LXW_NO_ERROR) throw Failure{"cannot write " + file.string() + ": " + lxw_strerror(closed)};
}

}  // namespace

Report writeFormTemplate(const fs::path& file) {
  // Written beside the target and moved over it once complete; the folder
  // may be writable by others, so never through a name they could replace.
  sheet::FileReplacement replacement(file.string());
  if (!replacement.valid())
    return {false, "cannot create a file beside " + file.string() + ": " + std::strerror(errno)};
  try {
    writeWorkbook(replacement.descriptorPath(), file);
    std::string error;
    if (!replacement.commit(error)) throw Failure{error};
  } catch (const Failure& failure) { return {false, failure.message}; }
  return {true, file.string() + ": made"};
}

Report makeFormTemplateIfMissing(const fs::path& folder) {
  const fs::path file = folder / kFormTemplateFileName;
  std::error_code error;
  if (fs::exists(file, error)) return {true, file.string() + ": kept (it existed)"};
  return writeFormTemplate(file);
}

}  // namespace admin
