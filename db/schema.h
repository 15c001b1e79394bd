// The tables of the records database. Every column is text and accepts the
// empty text. The tables are plain rowid tables: a new row always takes a
// rowid above every row present, and the only indexes are partial ones that
// a statement can use only through a comparison on the identity number (see
// schema.cpp). So "select * from <table>", with or without a like condition,
// and a lookup of one identity number return rows in insertion order.
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

// The same tables on a database server shared by several desks (UTF-8).
// Each table also has the row-order column (server_dialect.h), which keeps
// the insertion order the file's engine gives for free; the learner's
// identity number is unique (when not empty) so that two desks registering
// the same learner at once cannot both succeed.
std::string serverSchemaScript();
// The name of that unique index: its violation means "already registered".
inline constexpr std::string_view kUniqueIdentityIndex = "student_identity_unique";

// Trigram indexes (the server's pg_trgm extension, created when missing) on
// the columns the searches match with like '%...%': the learners' name,
// identity and telephone numbers, registration date and coaches, and the
// bookings' dates. Without them every search scans its table on the server
// (15 ms at 100 000 learners); with them a pattern of three characters or
// more reads only the rows that hold it. Optional: a server without the
// extension answers the same searches by scanning.
std::string serverSearchIndexScript();

}  // namespace db::records
