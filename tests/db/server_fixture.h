// The database server of the tests: JX_TEST_SERVER holds a libpq connection
// string to a throw-away database that the tests may wipe (ctest starts a
// cluster of its own with pg_virtualenv and sets it). Without it the tests
// that need a server are skipped, saying so.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "db/schema.h"
#include "db/server_provider.h"
#include "db/server_settings.h"

namespace dbtest {

inline const char* testServer() { return std::getenv("JX_TEST_SERVER"); }

#define JX_REQUIRE_TEST_SERVER()                                                                  \
  if (!::dbtest::testServer())                                                                    \
  GTEST_SKIP() << "no database server for this test: JX_TEST_SERVER names one (ctest runs these " \
                  "tests again under pg_virtualenv when the PostgreSQL server is installed)"

// A connection of the test's own (not through the library under test).
inline db::ServerConnectionHandle serverConnection() {
  std::string error;
  db::ServerConnectionHandle connection = db::connectToServer(testServer(), &error);
  EXPECT_TRUE(connection) << error;
  return connection;
}

// Runs statements (UTF-8) on the server; the first value of the last one.
inline std::string onServer(const std::string& sqlUtf8) {
  db::ServerConnectionHandle connection = serverConnection();
  if (!connection) return "<no connection>";
  db::ServerResult result(PQexec(connection.get(), sqlUtf8.c_str()));
  ExecStatusType status = PQresultStatus(result.get());
  EXPECT_TRUE(status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) << PQresultErrorMessage(result.get()) << "\n"
                                                                       << sqlUtf8;
  if (status != PGRES_TUPLES_OK || PQntuples(result.get()) == 0) return "";
  return PQgetisnull(result.get(), 0, 0) ? "<null>" : PQgetvalue(result.get(), 0, 0);
}

// An empty database: every table of the tests' schema dropped.
inline void wipeServer() { onServer("DROP SCHEMA public CASCADE; CREATE SCHEMA public;"); }

// The records tables on a wiped server, with the searches' indexes as
// server-init makes them.
inline void makeServerRecords() {
  wipeServer();
  onServer(db::records::serverSchemaScript() + db::records::serverSearchIndexScript());
}

// A program folder whose database.ini names the test server (GB18030).
inline void nameServerIn(const std::filesystem::path& folder) {
  std::ofstream(folder / db::kServerSettingsFile, std::ios::binary)
      << "[\xCA\xFD\xBE\xDD\xBF\xE2]\r\n\xC1\xAC\xBD\xD3=" << testServer() << "\r\n";
}

}  // namespace dbtest
