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

// The columns searched with like '%...%'. The vehicle class is not among
// them: its values are two characters, shorter than any trigram.
const std::vector<std::string_view> kSearchedLearnerColumns = {
    "姓名", "身份证号码", "电话号码", "报名日期", "科二教练", "科三教练",
};
constexpr std::string_view kSearchedExamColumn = "考试时间";

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

// Deleting a learner or a booking, and moving a learner between the
// registry and the graduates, find the rows by identity number through
// these. They are partial indexes (rows with a number), so only a statement
// with a comparison on the number can read through them; an equality lists
// the rows of one number in rowid order, which is insertion order. Every
// other statement, every "select *" and every like search among them, scans
// the table in rowid order.
std::string createIndexes() {
  std::string sql;
  for (const Table& table : kTables) {
    sql += "CREATE INDEX " + std::string(table.name) + "_by_identity ON " + quoted(table.name) + " (" +
           quoted(kIdentityColumn) + ") WHERE " + quoted(kIdentityColumn) + " IS NOT NULL;\n";
  }
  return sql;
}

std::string createServerTable(const Table& table) {
  std::string sql = createTable(table);
  sql.resize(sql.size() - 3);  // before ");\n"
  return sql + ", \"jx_row\" bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY);\n";
}

}  // namespace

std::span<const Table> tables() { return kTables; }
const Table& studentTable() { return kTables[0]; }
std::span<const Table> examTables() {
  return std::span<const Table>(kTables).subspan(kFirstExamTable, kExamTableCount);
}

std::string schemaScript() {
  std::string sql;
  for (const Table& table : kTables) sql += createTable(table);
  return sql + createIndexes();
}

std::string serverSchemaScript() {
  std::string sql;
  for (const Table& table : kTables) sql += createServerTable(table);
  for (const Table& table : kTables) {
    if (&table == &studentTable()) continue;  // unique, below
    sql += "CREATE INDEX " + std::string(table.name) + "_by_identity ON " + quoted(table.name) + " (" +
           quoted(kIdentityColumn) + ");\n";
  }
  sql += "CREATE UNIQUE INDEX " + std::string(kUniqueIdentityIndex) + " ON student (" + quoted(kIdentityColumn) +
         ") WHERE " + quoted(kIdentityColumn) + " <> '';\n";
  return sql;
}

std::string serverSearchIndexScript() {
  std::string sql = "CREATE EXTENSION IF NOT EXISTS pg_trgm;\n";
  auto index = [&sql](std::string_view table, std::string_view column) {
    sql += "CREATE INDEX IF NOT EXISTS " + quoted(std::string(table) + "_like_" + std::string(column)) + " ON " +
           quoted(table) + " USING gin (" + quoted(column) + " gin_trgm_ops);\n";
  };
  for (std::string_view column : kSearchedLearnerColumns) index(studentTable().name, column);
  for (const Table& table : examTables()) index(table.name, kSearchedExamColumn);
  return sql;
}

bool createSchema(sqlite3* database, std::string* error) {
  std::string sql = "BEGIN;\n" + schemaScript() + "COMMIT;";
  if (runScript(database, sql.c_str(), error)) return true;
  runScript(database, "ROLLBACK");
  return false;
}

}  // namespace db::records
