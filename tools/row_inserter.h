// Rows written in bulk into a table of the records file: one prepared
// insert of all the table's columns, the values bound as they are (UTF-8).
// The demo data and the import use it inside a transaction of their own.
#pragma once

#include <string>
#include <string_view>

#include "db/schema.h"
#include "db/sqlite.h"

namespace admin {

// Runs statements on the records file; throws Failure with the engine's
// reason when one fails.
void runStatements(sqlite3* database, const char* sql);

class RowInserter {
 public:
  // False from ok() (and the engine's reason in error()) when the insert
  // cannot be prepared.
  RowInserter(sqlite3* database, const db::records::Table& table);
  bool ok() const { return statement_ != nullptr; }
  const std::string& error() const { return error_; }

  // One row with a value for every column of the table, in their order.
  bool insert(const std::string_view* values, size_t count);

 private:
  sqlite3* database_;
  db::StatementHandle statement_;
  std::string error_;
};

}  // namespace admin
