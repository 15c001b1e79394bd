// The tables of the records database. Every column is text and accepts the
// empty text. The tables are plain rowid tables: a new row always takes a
// rowid above every row present, and no index covers all the columns of any
// table, so "select * from <table>" (with or without a like condition)
// scans in rowid order and returns rows in the order they were inserted.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "db/sqlite.h"

namespace db::records {

struct Table {
  std::string_view name;
  std::vector<std::string_view> columns;  // UTF-8, in order
};

// student, one, two, three, four, graduation.
std::span<const Table> tables();
const Table& studentTable();
// The four exam tables, subject one to four.
std::span<const Table> examTables();

// The statements that create the tables and their lookup indexes (UTF-8).
std::string schemaScript();
// Creates the schema in an empty database.
bool createSchema(sqlite3* database, std::string* error = nullptr);

}  // namespace db::records
