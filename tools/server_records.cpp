#include "tools/server_records.h"

#include <vector>

#include "db/records_database.h"
#include "db/schema.h"
#include "db/server_provider.h"
#include "db/server_settings.h"
#include "db/sqlite.h"
#include "db/texts.h"
#include "runtime/encoding.h"
#include "tools/folder_access.h"
#include "tools/outcome.h"

namespace admin {
namespace {

namespace fs = std::filesystem;

db::ServerConnectionHandle connect(const std::string& conninfo) {
  std::string error;
  db::ServerConnectionHandle connection = db::connectToServer(conninfo, &error);
  if (!connection) throw Failure{"cannot connect to the server: " + error};
  return connection;
}

db::ServerResult run(PGconn* connection, const std::string& sql) {
  db::ServerResult result(PQexec(connection, sql.c_str()));
  ExecStatusType status = PQresultStatus(result.get());
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
    throw Failure{"server error: " + std::string(PQresultErrorMessage(result.get()))};
  return result;
}

// The tables of the records schema that the server already holds.
std::vector<std::string> presentTables(PGconn* connection) {
  std::vector<std::string> present;
  for (const db::records::Table& table : db::records::tables()) {
    db::ServerResult result = run(connection, "SELECT to_regclass('" + std::string(table.name) + "') IS NOT NULL");
    if (std::string_view(PQgetvalue(result.get(), 0, 0)) == "t") present.emplace_back(table.name);
  }
  return present;
}

int64_t serverRowCount(PGconn* connection, std::string_view table) {
  db::ServerResult result = run(connection, "SELECT count(*) FROM " + db::quotedIdentifier(table));
  return std::stoll(PQgetvalue(result.get(), 0, 0));
}

// A cell in the text form of COPY: backslash, tab, line breaks escaped.
void appendCopyCell(std::string& line, const unsigned char* text, int length) {
  if (!text) {
    line += "\\N";
    return;
  }
  for (int i = 0; i < length; ++i) {
    char c = static_cast<char>(text[i]);
    switch (c) {
      case '\\': line += "\\\\"; break;
      case '\t': line += "\\t"; break;
      case '\n': line += "\\n"; break;
      case '\r': line += "\\r"; break;
      default: line += c;
    }
  }
}

// Streams one table of the file into the server's table; the rows sent.
int64_t copyTable(sqlite3* file, PGconn* server, const db::records::Table& table) {
  std::string columns;
  for (std::string_view column : table.columns) {
    if (!columns.empty()) columns += ',';
    columns += db::quotedIdentifier(column);
  }
  std::string select = "SELECT " + columns + " FROM " + db::quotedIdentifier(table.name) + " ORDER BY rowid";
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(file, select.c_str(), -1, &raw, nullptr) != SQLITE_OK)
    throw Failure{"cannot read " + std::string(table.name) + " from the file: " + sqlite3_errmsg(file)};
  db::StatementHandle rows(raw);
  std::string copy = "COPY " + db::quotedIdentifier(table.name) + " (" + columns + ") FROM STDIN";
  db::ServerResult started(PQexec(server, copy.c_str()));
  if (PQresultStatus(started.get()) != PGRES_COPY_IN)
    throw Failure{"server error: " + std::string(PQresultErrorMessage(started.get()))};
  int64_t sent = 0;
  std::string line;
  int rc;
  while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
    line.clear();
    for (int i = 0; i < static_cast<int>(table.columns.size()); ++i) {
      if (i) line += '\t';
      appendCopyCell(line, sqlite3_column_text(raw, i), sqlite3_column_bytes(raw, i));
    }
    line += '\n';
    if (PQputCopyData(server, line.data(), static_cast<int>(line.size())) != 1)
      throw Failure{"server error: " + std::string(PQerrorMessage(server))};
    ++sent;
  }
  if (rc != SQLITE_DONE) {
    PQputCopyEnd(server, "the file could not be read to its end");
    throw Failure{"cannot read " + std::string(table.name) + " from the file: " + sqlite3_errmsg(file)};
  }
  if (PQputCopyEnd(server, nullptr) != 1) throw Failure{"server error: " + std::string(PQerrorMessage(server))};
  db::ServerResult result(PQgetResult(server));
  if (PQresultStatus(result.get()) != PGRES_COMMAND_OK)
    throw Failure{"cannot copy " + std::string(table.name) + ": " + PQresultErrorMessage(result.get())};
  while (db::ServerResult rest{PQgetResult(server)}) {}
  return sent;
}

// The server's message of a failed statement, without its line end.
std::string reasonOf(const PGresult* result) {
  std::string reason = PQresultErrorMessage(result);
  return reason.substr(0, reason.find_last_not_of('\n') + 1);
}

// The searches' trigram indexes, inside the caller's transaction; a server
// without the extension (or a role that may not create it) keeps the tables
// without them. Says which.
std::string makeSearchIndexes(PGconn* server) {
  run(server, "SAVEPOINT jx_search_indexes");
  db::ServerResult made(PQexec(server, db::records::serverSearchIndexScript().c_str()));
  if (PQresultStatus(made.get()) == PGRES_COMMAND_OK) {
    run(server, "RELEASE SAVEPOINT jx_search_indexes");
    return "searches read through trigram indexes (pg_trgm)\n";
  }
  std::string reason = reasonOf(made.get());
  run(server, "ROLLBACK TO SAVEPOINT jx_search_indexes");
  return "searches scan the tables: the trigram indexes could not be made (" + reason + ")\n";
}

// After a move: the searches' trigram indexes took the last rows into their
// pending lists, which every search reads through until a vacuum merges
// them, and the planner gets the tables' statistics. The rows are committed
// by then, so a vacuum that fails only says so.
std::string vacuumed(PGconn* server) {
  std::string tables;
  for (const db::records::Table& table : db::records::tables())
    tables += (tables.empty() ? "" : ", ") + db::quotedIdentifier(table.name);
  db::ServerResult result(PQexec(server, ("VACUUM (ANALYZE) " + tables).c_str()));
  if (PQresultStatus(result.get()) == PGRES_COMMAND_OK) return "";
  return "the tables were not vacuumed (" + reasonOf(result.get()) + "); the server's autovacuum will do it\n";
}

}  // namespace

std::string serverSettingsFileText(const std::string& conninfo) {
  return rt::utf8ToGb("; 这台电脑的学员记录保存在数据库服务器上。\r\n[" + std::string(db::kServerSection) + "]\r\n" +
                      std::string(db::kServerKey) + "=" + conninfo + "\r\n");
}

Report initServer(const std::string& conninfo) {
  try {
    db::ServerConnectionHandle server = connect(conninfo);
    std::vector<std::string> present = presentTables(server.get());
    if (!present.empty())
      throw Failure{"the database already holds the table " + present.front() + "; nothing was changed"};
    run(server.get(), "BEGIN");
    run(server.get(), db::records::serverSchemaScript());
    std::string searches = makeSearchIndexes(server.get());
    run(server.get(), "COMMIT");
    return {true, "the records tables were made on the server\n" + searches};
  } catch (const Failure& failure) { return {false, failure.message}; }
}

Report indexServer(const std::string& conninfo) {
  try {
    db::ServerConnectionHandle server = connect(conninfo);
    if (presentTables(server.get()).size() != db::records::tables().size())
      throw Failure{"the server database lacks the records tables (make them with: jiaxiao-admin server-init)"};
    run(server.get(), "BEGIN");
    std::string searches = makeSearchIndexes(server.get());
    run(server.get(), "COMMIT");
    return {true, searches};
  } catch (const Failure& failure) { return {false, failure.message}; }
}

Report moveToServer(const fs::path& folder, const std::string& conninfo) {
  try {
    fs::path file = folder / db::records::kFileName;
    std::string error;
    db::DatabaseHandle source =
        db::openDatabase(file.string(), db::records::kPassword, db::OpenMode::kExistingOnly, &error);
    if (!source) throw Failure{"cannot open " + file.string() + ": " + error};
    db::ServerConnectionHandle server = connect(conninfo);
    if (presentTables(server.get()).size() != db::records::tables().size())
      throw Failure{"the server database lacks the records tables (make them with: jiaxiao-admin server-init)"};
    // The file stays unchanged while it is read.
    if (!db::runScript(source.get(), "BEGIN", &error)) throw Failure{"cannot read " + file.string() + ": " + error};
    run(server.get(), "BEGIN");
    std::string summary;
    for (const db::records::Table& table : db::records::tables()) {
      if (serverRowCount(server.get(), table.name) != 0)
        throw Failure{"the server's table " + std::string(table.name) + " is not empty; nothing was changed"};
      int64_t sent = copyTable(source.get(), server.get(), table);
      int64_t stored = serverRowCount(server.get(), table.name);
      if (stored != sent)
        throw Failure{"the server holds " + std::to_string(stored) + " rows of " + std::string(table.name) +
                      " instead of " + std::to_string(sent) + "; nothing was changed"};
      summary += std::string(table.name) + ": " + std::to_string(sent) + " rows\n";
    }
    run(server.get(), "COMMIT");
    db::runScript(source.get(), "COMMIT");
    summary += vacuumed(server.get());
    writePrivateFile(folder / db::kServerSettingsFile, serverSettingsFileText(conninfo), sharingOf(folder));
    return {true, summary + (folder / db::kServerSettingsFile).string() +
                      ": made; the program in this folder now uses the server (hj.mdb is kept unchanged)\n"};
  } catch (const Failure& failure) { return {false, failure.message}; }
}

}  // namespace admin
