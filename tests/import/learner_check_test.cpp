// The checks that decide which rows become learners, and the report of the
// rows they refuse, on tables built directly.
#include <sys/stat.h>
#include <unistd.h>

#include "import/import_report.h"
#include "import_support.h"

namespace {

using namespace importtest;
using learner_import::ImportPlan;
using learner_import::RegisteredNumbers;
using learner_import::Verdict;

const std::string kValidToo = "440304198512034512";
const std::string kShort = "110105491231002";

struct Cell {
  std::string text;
  CellKind kind = CellKind::kText;
  Cell(const char* t) : text(t) {}  // NOLINT: plain texts read best in the tables below
  Cell(std::string t, CellKind k = CellKind::kText) : text(std::move(t)), kind(k) {}
};
using Rows = std::vector<std::vector<Cell>>;

// Rows numbered from 1; an empty row stays a gap in the numbering.
std::unique_ptr<Table> tableOf(const Rows& rows) {
  auto table = std::make_unique<Table>();
  for (size_t r = 0; r < rows.size(); ++r) {
    table->startRow(static_cast<uint32_t>(r + 1));
    for (size_t c = 0; c < rows[r].size(); ++c)
      EXPECT_FALSE(table->addCell(static_cast<uint32_t>(c), rows[r][c].text, rows[r][c].kind));
    table->finishRow();
  }
  return table;
}

std::unique_ptr<ImportPlan> planOf(const Rows& rows, const RegisteredNumbers& registered = {}) {
  std::string refusal;
  auto plan = ImportPlan::forTable(tableOf(rows), refusal);
  EXPECT_TRUE(plan) << refusal;
  if (plan) plan->check(registered);
  return plan;
}

std::string refusalOf(const Rows& rows) {
  std::string refusal;
  EXPECT_FALSE(ImportPlan::forTable(tableOf(rows), refusal));
  return refusal;
}

std::vector<std::string> learner(const ImportPlan& plan, size_t index) {
  std::vector<std::string> fields;
  for (const app::learner::Column& column : app::learner::kColumns)
    fields.emplace_back(plan.field(index, column.field));
  return fields;
}

// The reason of each refused row, by its row number.
std::map<uint32_t, std::string> reasons(const ImportPlan& plan) {
  std::map<uint32_t, std::string> out;
  for (const auto& refused : plan.refused()) out[plan.table().row(refused.tableRow).number] = refused.reason;
  return out;
}

TEST(LearnerColumns, FoundByHeaderInAnyOrderAfterBlankRowsWithOtherColumnsIgnored) {
  auto plan = planOf({
      {},
      {" ", ""},
      {"备注", "身份证号码", "ID", " 姓名 ", "电话号码", "科三车牌", "车型"},
      {"老学员", kValid, "7", "张三", "13800138000", "京A1234学", "C1"},
  });
  ASSERT_TRUE(plan);
  EXPECT_EQ(plan->headerRow(), 1u) << "the first row that holds anything, blanks aside";
  ASSERT_EQ(plan->learnerCount(), 1u);
  std::vector<std::string> expected(15);
  expected[0] = "张三";
  expected[5] = kValid;
  expected[6] = "13800138000";
  expected[7] = "C1";
  expected[14] = "京A1234学";
  EXPECT_EQ(learner(*plan, 0), expected);
}

TEST(LearnerColumns, AFileWithoutBothRequiredColumnsOnceIsRefusedNamingTheHeader) {
  EXPECT_EQ(refusalOf({{"序号", "身份证号码"}, {"1", kValid}}), "表头（第 1 行）中没有“姓名”列。");
  EXPECT_EQ(refusalOf({{}, {"姓名", "电话号码"}, {"张三", "1"}}), "表头（第 2 行）中没有“身份证号码”列。");
  EXPECT_EQ(refusalOf({{"姓名", "身份证号码", "姓名"}}), "表头（第 1 行）中“姓名”列出现了不止一次。");
  EXPECT_EQ(refusalOf({{}, {"  "}}), "文件中没有任何内容。");
}

TEST(IdentityNumbers, EighteenWithTheCheckCharacterOrFifteenDigits) {
  struct Case {
    std::string number, problem;
  } cases[] = {
      {kValidX, ""},
      {kValid, ""},
      {kShort, ""},
      {"110101199003071234", "身份证号码的校验位不对"},
      {"11010519491231002Y", "身份证号码应为 18 位（最后一位可以是 X）或 15 位数字"},
      {"11010119900307123", "身份证号码应为 18 位（最后一位可以是 X）或 15 位数字"},
      {"1101051949123100X", "身份证号码应为 18 位（最后一位可以是 X）或 15 位数字"},
      {"１１０１０５４９１２３１００２", "身份证号码应为 18 位（最后一位可以是 X）或 15 位数字"},
      {"", "身份证号码为空"},
      {"1.10101199003071E+17",
       "“身份证号码”被存成了数字 1.10101199003071E+17，超过 15 位的数字已经丢失；请把这一列设为文本格式后重新输入"},
  };
  for (const Case& c : cases) EXPECT_EQ(learner_import::identityNumberProblem(c.number), c.problem) << c.number;
  EXPECT_EQ(learner_import::normalisedIdentityNumber(" 11010519491231002x\u3000"), kValidX);
}

// Faulty rows and duplicates are refused with their reasons and counted
// apart; blank rows are not rows at all; the first of two equal numbers
// stays; a number the table holds is a duplicate in either case of X.
TEST(LearnerRows, RefusedWithReasonsAndCountedApart) {
  RegisteredNumbers registered;
  registered.add("11010519491231002x");
  auto plan = planOf(
      {
          {"姓名", "身份证号码", "电话号码", "报名日期"},
          {"张三", kValid + " ", {"13800138000", CellKind::kNumber}, {"2024年3月5日", CellKind::kDate}},
          {"", "", "", ""},
          {" ", "\t"},
          {"李四", kValidX},
          {"王五", kValid, "139"},
          {"", kValidToo},
          {"赵六", kValidToo, {"1.38001380001234E+20", CellKind::kLostDigits}},
          {"钱七", {"1.10101199003071E+17", CellKind::kLostDigits}},
          {"孙八", "123"},
          {"周九", kShort},
      },
      registered);
  ASSERT_TRUE(plan);
  EXPECT_EQ(plan->rowCount(), 8u);
  EXPECT_EQ(plan->learnerCount(), 2u);
  EXPECT_EQ(plan->duplicateCount(), 2u);
  EXPECT_EQ(plan->faultyCount(), 4u);
  EXPECT_EQ(learner(*plan, 0)[0], "张三");
  EXPECT_EQ(learner(*plan, 0)[5], kValid) << "blanks around the number dropped";
  EXPECT_EQ(learner(*plan, 0)[8], "2024年3月5日");
  EXPECT_EQ(learner(*plan, 1)[5], kShort);
  EXPECT_EQ(plan->learnerRowNumber(1), 11u);
  const std::map<uint32_t, std::string> expected = {
      {5, "已有此身份证号码"},
      {6, "与第 2 行的身份证号码相同"},
      {7, "姓名为空"},
      {8,
       "“电话号码”被存成了数字 1.38001380001234E+20，超过 15 "
       "位的数字已经丢失；请把这一列设为文本格式后重新输入"},
      {9,
       "“身份证号码”被存成了数字 1.10101199003071E+17，超过 15 "
       "位的数字已经丢失；请把这一列设为文本格式后重新输入"},
      {10, "身份证号码应为 18 位（最后一位可以是 X）或 15 位数字"},
  };
  EXPECT_EQ(reasons(*plan), expected);
  size_t duplicates = 0;
  for (const auto& refused : plan->refused()) duplicates += refused.verdict == Verdict::kDuplicate;
  EXPECT_EQ(duplicates, 2u);

  // Checked again with nothing registered, 李四 is a learner after all.
  plan->check({});
  EXPECT_EQ(plan->learnerCount(), 3u);
  EXPECT_EQ(plan->duplicateCount(), 1u);
}

class ImportReport : public ::testing::Test {
 protected:
  std::unique_ptr<ImportPlan> refusingPlan() {
    return planOf({
        {"ID", "姓名", "身份证号码"},
        {"1", "张三", kValid},
        {"2", "", kValidToo, "多出的一列"},
        {"3", "王五", "110101199003071234"},
    });
  }

  // The cells of the report by address, read with openpyxl.
  std::map<std::string, std::string> cellsOf(const fs::path& report) {
    std::string script =
        "import openpyxl,sys\n"
        "for row in openpyxl.load_workbook(sys.argv[1]).active.iter_rows():\n"
        "  for c in row:\n"
        "    if c.value is not None: print(c.coordinate+'\\t'+c.number_format+'\\t'+str(c.value))\n";
    FILE* pipe =
        popen(("/usr/bin/python3 -c " + quotedArgument(script) + " " + quotedArgument(report.string())).c_str(), "r");
    std::map<std::string, std::string> cells;
    char line[4096];
    while (pipe && std::fgets(line, sizeof line, pipe)) {
      std::string text(line);
      if (!text.empty() && text.back() == '\n') text.pop_back();
      size_t first = text.find('\t'), second = text.find('\t', first + 1);
      EXPECT_EQ(text.substr(first + 1, second - first - 1), "@") << text;
      cells[text.substr(0, first)] = text.substr(second + 1);
    }
    EXPECT_EQ(pipe ? pclose(pipe) : -1, 0);
    return cells;
  }

  jxtest::TempFolder folder_{"jx-import"};
};

// The refused rows as they were, under the file's headers, each with its
// row number and reason after the widest row; only the owner may read it.
TEST_F(ImportReport, KeepsEveryRefusedRowAsItWasWithItsReasonPrivately) {
  auto plan = refusingPlan();
  ASSERT_TRUE(plan);
  std::string source = folder_.file("学员名单.csv"), error;
  std::string written = learner_import::writeReportBesideOr(*plan, source, "", error);
  ASSERT_EQ(written, folder_.file("学员名单_未导入.xlsx")) << error;
  struct stat status {};
  ASSERT_EQ(::stat(written.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  const std::map<std::string, std::string> expected = {
      {"A1", "ID"}, {"B1", "姓名"},    {"C1", "身份证号码"},         {"E1", "原行号"}, {"F1", "未导入原因"},
      {"A2", "2"},  {"C2", kValidToo}, {"D2", "多出的一列"},         {"E2", "3"},      {"F2", "姓名为空"},
      {"A3", "3"},  {"B3", "王五"},    {"C3", "110101199003071234"}, {"E3", "4"},      {"F3", "身份证号码的校验位不对"},
  };
  EXPECT_EQ(cellsOf(written), expected);
}

// A link planted under the report's name is replaced, never written
// through; where the report cannot be made beside the source it goes to the
// fallback folder.
TEST_F(ImportReport, NeverWritesThroughALinkAndFallsBackWhenItCannotBeMadeBeside) {
  auto plan = refusingPlan();
  ASSERT_TRUE(plan);
  std::string error;
  fs::path victim = folder_ / "victim.txt";
  jxtest::TempFolder::write(victim, "keep me");
  fs::create_symlink(victim, folder_ / "名单_未导入.xlsx");
  EXPECT_EQ(learner_import::writeReportBesideOr(*plan, folder_.file("名单.xlsx"), "", error),
            folder_.file("名单_未导入.xlsx"));
  EXPECT_EQ(jxtest::TempFolder::read(victim), "keep me");
  EXPECT_FALSE(fs::is_symlink(folder_ / "名单_未导入.xlsx"));

  fs::create_directory(folder_ / "blocked_未导入.xlsx");
  fs::create_directory(folder_ / "fallback");
  EXPECT_EQ(learner_import::writeReportBesideOr(*plan, folder_.file("blocked.xls"), folder_.file("fallback"), error),
            folder_.file("fallback/blocked_未导入.xlsx"));
  EXPECT_TRUE(fs::is_regular_file(folder_ / "fallback" / "blocked_未导入.xlsx"));
  EXPECT_EQ(learner_import::writeReportBesideOr(*plan, folder_.file("blocked.xls"), "", error), "");
}

}  // namespace
