#include "db/schema.h"

#include <array>

namespace db::records {
namespace {

// The fifteen fields of a learner, in the order of the registration form.
const std::vector<std::string_view> kLearnerColumns = {
    "姓名",     "性别",     "民族",         "出生日期", "住址",     "身份证号码",   "电话号码", "车型",
    "报名日期", "科二教练", "科二教练电话", "科二车牌", "科三教练", "科三教练电话", "科三车牌",
};
const std::vector<std::string_view> kExamColumns = {"身份证号码", "考试时间", "是否通过"};

constexpr std::string_view kIdentityColumn = "身份证号码";
constexpr std::string_view kExamDateColumn = "考试时间";

const std::array<Table, 6> kTables = {{
    {"student", kLearnerColumns},
    {"one", kExamColumns},
    {"two", kExamColumns},
    {"three", kExamColumns},
    {"four", kExamColumns},
    {"graduation", kLearnerColumns},
}};
constexpr size_t kFirstExamTable = 1;
constexpr size_t kExamTableCount = 4;

std::string quoted(std::string_view identifier) {
  std::string text;
  text.reserve(identifier.size() + 2);
  return text.append("\"").append(identifier).append("\"");
}

std::string createTable(const Table& table) {
  std::string sql = "CREATE TABLE " + quoted(table.name) + " (";
  for (size_t i = 0; i < table.columns.size(); ++i) {
    if (i) sql += ", ";
    sql += quoted(table.columns[i]) + " TEXT DEFAULT ''";
  }
  return sql + ");\n";
}

// Deleting a learner by identity number, and a booking by number and exam
// date, find their rows through these. None covers every column of its
// table, so no "select *" reads through them and row order stays the rowid's.
std::string createIndexes() {
  std::string sql = "CREATE INDEX student_by_identity ON student (" + quoted(kIdentityColumn) + ");\n";
  for (const Table& exam : examTables()) {
    sql += "CREATE INDEX " + std::string(exam.name) + "_by_identity ON " + quoted(exam.name) + " (" +
           quoted(kIdentityColumn) + ", " + quoted(kExamDateColumn) + ");\n";
  }
  return sql;
}

}  // namespace

std::span<const Table> tables() { return kTables; }
const Table& studentTable() { return kTables[0]; }
std::span<const Table> examTables() { return std::span<const Table>(kTables).subspan(kFirstExamTable, kExamTableCount); }

std::string schemaScript() {
  std::string sql;
  for (const Table& table : kTables) sql += createTable(table);
  return sql + createIndexes();
}

bool createSchema(sqlite3* database, std::string* error) {
  std::string sql = "BEGIN;\n" + schemaScript() + "COMMIT;";
  if (runScript(database, sql.c_str(), error)) return true;
  runScript(database, "ROLLBACK");
  return false;
}

}  // namespace db::records
