// jiaxiao-admin import: a school's first bulk load into a new program
// folder, with the checks, counts, log and report of 导入数据, run as the
// administrator runs it.
#include <sys/wait.h>

#include "db/records_database.h"
#include "db/sqlite.h"
#include "import_support.h"
#include "runtime/encoding.h"
#include "tools/program_folder.h"

namespace {

using namespace importtest;

class AdminImport : public ::testing::Test {
 protected:
  void SetUp() override {
    admin::FolderRequest request;
    request.folder = folder_.path() / "school";
    admin::Report report = admin::makeProgramFolder(request);
    ASSERT_TRUE(report.ok) << report.message;
  }

  fs::path school() const { return folder_.path() / "school"; }

  // The tool's exit status and what it printed.
  int runTool(const std::string& arguments, std::string* output = nullptr) {
    std::string command = quotedArgument(JX_ADMIN_TOOL) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    int status = pipe ? pclose(pipe) : -1;
    if (output) *output = out;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::vector<std::vector<std::string>> students() {
    std::string error;
    db::DatabaseHandle database = db::openDatabase((school() / db::records::kFileName).string(), db::records::kPassword,
                                                   db::OpenMode::kExistingOnly, &error);
    std::vector<std::vector<std::string>> rows;
    sqlite3_stmt* raw = nullptr;
    if (!database || sqlite3_prepare_v2(database.get(), "SELECT 姓名, 身份证号码, 电话号码 FROM student ORDER BY rowid",
                                        -1, &raw, nullptr) != SQLITE_OK) {
      ADD_FAILURE() << error;
      return rows;
    }
    db::StatementHandle statement(raw);
    while (sqlite3_step(raw) == SQLITE_ROW) {
      std::vector<std::string>& row = rows.emplace_back();
      for (int c = 0; c < 3; ++c) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(raw, c));
        row.emplace_back(text ? text : "<null>");
      }
    }
    return rows;
  }

  jxtest::TempFolder folder_{"jx-admin-import"};
};

TEST_F(AdminImport, LoadsTheGoodRowsLogsThemAndReportsTheRest) {
  fs::path file = folder_ / "名单.csv";
  jxtest::TempFolder::write(file, rt::utf8ToGb("姓名,电话号码,身份证号码\r\n张三,138," + kValid +
                                               "\r\n李四,139,110101199003071234\r\n王五,137," + kValid +
                                               "\r\n赵六,136,11010519491231002x\r\n"));
  std::string output;
  EXPECT_EQ(runTool("import " + quotedArgument(school().string()) + " " + quotedArgument(file.string()) + " --dry-run",
                    &output),
            1);
  EXPECT_NE(output.find("4 rows: 2 to import, 1 duplicates, 1 faulty"), std::string::npos) << output;
  EXPECT_TRUE(students().empty()) << "a dry run writes nothing";
  EXPECT_EQ(jxtest::TempFolder::read(school() / "log.log"), "");

  EXPECT_EQ(runTool("import " + quotedArgument(school().string()) + " " + quotedArgument(file.string()), &output), 1);
  const std::vector<std::vector<std::string>> expected = {{"张三", kValid, "138"}, {"赵六", kValidX, "136"}};
  EXPECT_EQ(students(), expected) << output;
  std::string log = rt::gbToUtf8(jxtest::TempFolder::read(school() / "log.log"));
  EXPECT_NE(log.find("\r\n导入学员张三  " + kValid + "\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("\r\n导入学员赵六  " + kValidX + "\r\n"), std::string::npos) << log;
  EXPECT_EQ(log.rfind("*********************************************\r\n2", 0), 0u) << log;
  fs::path report = folder_ / "名单_未导入.xlsx";
  EXPECT_TRUE(fs::exists(report));
  EXPECT_NE(output.find(report.string()), std::string::npos) << output;

  // Imported again, every row is a duplicate now or faulty still.
  EXPECT_EQ(runTool("import " + quotedArgument(school().string()) + " " + quotedArgument(file.string()), &output), 1);
  EXPECT_NE(output.find("4 rows: 0 to import, 3 duplicates, 1 faulty"), std::string::npos) << output;
  EXPECT_EQ(students().size(), 2u);
}

TEST_F(AdminImport, ExitsZeroOnlyWhenEveryRowWentIn) {
  fs::path file = folder_ / "ok.csv";
  jxtest::TempFolder::write(file, "姓名,身份证号码\n张三," + kValid + "\n");
  EXPECT_EQ(runTool("import " + quotedArgument(school().string()) + " " + quotedArgument(file.string())), 0);
  EXPECT_EQ(students(), (std::vector<std::vector<std::string>>{{"张三", kValid, ""}}))
      << "a missing column is empty text";
  EXPECT_FALSE(fs::exists(folder_ / "ok_未导入.xlsx"));

  std::string output;
  jxtest::TempFolder::write(folder_ / "bad.csv", "名字,身份证号码\n张三," + kValid + "\n");
  EXPECT_EQ(
      runTool("import " + quotedArgument(school().string()) + " " + quotedArgument((folder_ / "bad.csv").string()),
              &output),
      1);
  EXPECT_NE(output.find("表头（第 1 行）中没有“姓名”列。"), std::string::npos) << output;
  EXPECT_EQ(runTool("import " + quotedArgument(school().string())), 2) << "a file is needed";

  jxtest::TempFolder::write(school() / "database.ini", rt::utf8ToGb("[数据库]\n连接=host=localhost dbname=x\n"));
  EXPECT_EQ(runTool("import " + quotedArgument(school().string()) + " " + quotedArgument(file.string()), &output), 1);
  EXPECT_NE(output.find("names a database server"), std::string::npos) << output;
  EXPECT_EQ(students().size(), 1u);
}

}  // namespace
