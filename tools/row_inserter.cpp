#include "tools/row_inserter.h"

#include "tools/outcome.h"

namespace admin {

namespace {

std::string insertStatement(const db::records::Table& table) {
  std::string columns, marks;
  for (size_t i = 0; i < table.columns.size(); ++i) {
    columns.append(i ? ",\"" : "\"").append(table.columns[i]).append("\"");
    marks += i ? ",?" : "?";
  }
  return "INSERT INTO \"" + std::string(table.name) + "\" (" + columns + ") VALUES (" + marks + ")";
}

}  // namespace

void runStatements(sqlite3* database, const char* sql) {
  std::string error;
  if (!db::runScript(database, sql, &error)) throw Failure{"database error: " + error};
}

RowInserter::RowInserter(sqlite3* database, const db::records::Table& table) : database_(database) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(database, insertStatement(table).c_str(), -1, &raw, nullptr) == SQLITE_OK)
    statement_.reset(raw);
  else
    error_ = sqlite3_errmsg(database);
}

bool RowInserter::insert(const std::string_view* values, size_t count) {
  sqlite3_stmt* statement = statement_.get();
  sqlite3_reset(statement);
  // An empty value is bound as the empty text, never as NULL (a view of
  // nothing may have no data at all).
  for (size_t i = 0; i < count; ++i)
    sqlite3_bind_text(statement, static_cast<int>(i + 1), values[i].empty() ? "" : values[i].data(),
                      static_cast<int>(values[i].size()), SQLITE_STATIC);
  if (sqlite3_step(statement) == SQLITE_DONE) return true;
  error_ = sqlite3_errmsg(database_);
  return false;
}

}  // namespace admin
