// Shared pieces of the database tests: a temporary folder, database files
// made directly with the engine, and the library's units registered as a
// loaded window would register them, reached through the command table.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/database_library.h"
#include "db/record_set.h"
#include "db/sqlite.h"
#include "db/texts.h"
#include "runtime/command_ids.h"
#include "runtime/encoding.h"
#include "runtime/heap.h"
#include "runtime/library.h"
#include "runtime/value.h"
#include "tests/support/temp_folder.h"

namespace dbtest {

namespace fs = std::filesystem;
using rt::TypedValue;

inline constexpr uint32_t kWindow = 0x52010001;
inline constexpr uint32_t kConnectionUnit = 0x16000001;
inline constexpr uint32_t kRecordSetUnit = 0x16000002;
inline constexpr uint32_t kSecondRecordSetUnit = 0x16000003;
inline constexpr const char* kKey = "58203917460";
// A table of one row for tests that only need a database with something in it.
inline constexpr const char* kPeople =
    "CREATE TABLE people (name TEXT, age INTEGER); INSERT INTO people VALUES ('ann', 30);";

// Each test's folder: "jx-db-…".
class TempFolder : public jxtest::TempFolder {
 public:
  TempFolder() : jxtest::TempFolder("jx-db") {}
};

inline std::string fileBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Makes a database file with the key (none when empty) and runs the script.
inline void makeDatabase(const fs::path& file, const std::string& key, const std::string& scriptUtf8) {
  std::string error;
  db::DatabaseHandle database = db::openDatabase(file.string(), key, db::OpenMode::kCreateNew, &error);
  ASSERT_TRUE(database) << error;
  ASSERT_TRUE(db::runScript(database.get(), scriptUtf8.c_str(), &error)) << error;
}

// One value of a query on a file, read directly with the engine.
inline std::string queryValue(const fs::path& file, const std::string& key, const std::string& sqlUtf8) {
  db::DatabaseHandle database = db::openDatabase(file.string(), key, db::OpenMode::kExistingOnly);
  if (!database) return "<cannot open>";
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(database.get(), sqlUtf8.c_str(), -1, &raw, nullptr) != SQLITE_OK) return "<bad query>";
  db::StatementHandle statement(raw);
  if (sqlite3_step(raw) != SQLITE_ROW) return "<no row>";
  auto* text = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
  return text ? text : "<null>";
}

inline TypedValue text(const char* gb) { return TypedValue::ofText(gb); }
inline TypedValue text(const std::string& gb) { return TypedValue::ofText(rt::internGb(gb)); }

// A window with one connection and two record sets, made by the kinds'
// factories and registered as the window layer does.
class DatabaseUnits : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const rt::UnitKind& kind : rt::databaseLibrary().kinds) {
      if (kind.tag == rt::kind::kDBConnection) connectionObject_ = kind.create({kWindow, kConnectionUnit, nullptr});
      if (kind.tag == rt::kind::kRecordSet) {
        recordsObject_ = kind.create({kWindow, kRecordSetUnit, nullptr});
        secondRecordsObject_ = kind.create({kWindow, kSecondRecordSetUnit, nullptr});
      }
    }
    ASSERT_TRUE(connectionObject_ && recordsObject_ && secondRecordsObject_);
    rt::registerUnitObject(kWindow, kConnectionUnit, connectionObject_.get());
    rt::registerUnitObject(kWindow, kRecordSetUnit, recordsObject_.get());
    rt::registerUnitObject(kWindow, kSecondRecordSetUnit, secondRecordsObject_.get());
  }
  void TearDown() override {
    rt::unregisterUnitObject(kWindow, kConnectionUnit);
    rt::unregisterUnitObject(kWindow, kRecordSetUnit);
    rt::unregisterUnitObject(kWindow, kSecondRecordSetUnit);
  }

  static TypedValue connectionRef() { return TypedValue::unitRef(kWindow, kConnectionUnit, rt::kind::kDBConnection); }
  static TypedValue recordsRef(uint32_t unit = kRecordSetUnit) {
    return TypedValue::unitRef(kWindow, unit, rt::kind::kRecordSet);
  }

  TypedValue call(rt::cmd::Database command, std::vector<TypedValue> args) {
    TypedValue result;
    rt::databaseLibrary().commands.at(command)(&result, static_cast<int32_t>(args.size()), args.data());
    return result;
  }
  bool ask(rt::cmd::Database command, std::vector<TypedValue> args) {
    TypedValue result = call(command, std::move(args));
    EXPECT_EQ(result.tag, rt::tag::kBool);
    return result.asBool();
  }

  bool openAccess(const fs::path& file, const char* password = kKey) {
    return ask(rt::cmd::kOpenAccess, {connectionRef(), text(rt::utf8ToGb(file.string())), text(password)});
  }
  bool execute(const std::string& sqlGb) { return ask(rt::cmd::kExecuteSql, {connectionRef(), text(sqlGb), {}}); }
  bool executeUtf8(const char* sqlUtf8) {
    return ask(rt::cmd::kExecuteSql, {connectionRef(), text(rt::internUtf8(sqlUtf8)), {}});
  }

  bool bind(uint32_t unit = kRecordSetUnit) {
    return ask(rt::cmd::kSetConnection, {recordsRef(unit), connectionRef()});
  }
  bool openRecords(const char* sourceUtf8, int32_t kind = 1, uint32_t unit = kRecordSetUnit) {
    return ask(rt::cmd::kOpenRecords,
               {recordsRef(unit), text(rt::internUtf8(sourceUtf8)), TypedValue::ofInt(kind), {}});
  }
  bool moveFirst() { return ask(rt::cmd::kMoveToFirst, {recordsRef()}); }
  bool moveNext() { return ask(rt::cmd::kMoveToNext, {recordsRef()}); }
  bool moveTo(int32_t n) { return ask(rt::cmd::kMoveToRecord, {recordsRef(), TypedValue::ofInt(n)}); }

  rt::TypedValue property(int32_t number, uint32_t unit = kRecordSetUnit) {
    TypedValue out;
    EXPECT_TRUE(rt::requireUnitObject(kWindow, unit).readProperty(number, out));
    return out;
  }
  int32_t recordCount() { return property(db::recordset_property::kRecordCount).asInt(); }
  bool isEof() { return property(db::recordset_property::kIsEof).asBool(); }

  // ReadFieldText into a fresh variable; the text in UTF-8, or nothing on false.
  std::optional<std::string> read(TypedValue field) {
    char* variable = nullptr;
    bool ok = ask(rt::cmd::kReadFieldText, {recordsRef(), field, TypedValue::ofPointer(&variable, rt::tag::kText)});
    std::string value = variable ? variable : "";
    rt::Free(variable);
    if (!ok) {
      EXPECT_EQ(value, "") << "a failed read leaves the empty text";
      return std::nullopt;
    }
    return db::toUtf8(value);
  }
  std::optional<std::string> read(const char* nameUtf8) { return read(text(rt::internUtf8(nameUtf8))); }
  std::optional<std::string> read(int32_t index) { return read(TypedValue::ofInt(index)); }

  // Every row of a statement, each as its fields joined by "|".
  std::vector<std::string> rows(const char* statementUtf8) {
    std::vector<std::string> result;
    EXPECT_TRUE(openRecords(statementUtf8)) << statementUtf8;
    int32_t columns = 0;
    while (read(columns)) ++columns;
    for (moveFirst(); !isEof(); moveNext()) {
      std::string row;
      for (int32_t i = 0; i < columns; ++i) row.append(i ? "|" : "").append(read(i).value_or("?"));
      result.push_back(row);
    }
    return result;
  }

  db::Connection& connection() { return static_cast<db::Connection&>(*connectionObject_); }

  TempFolder folder_;

 private:
  std::unique_ptr<rt::UnitObject> connectionObject_, recordsObject_, secondRecordsObject_;
};

}  // namespace dbtest
