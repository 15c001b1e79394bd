// The answers of kept tables (db/table_cache.h) against the engine's own. A
// fuzzed table - names, declared types, an index or none, rowid or not,
// cells of every storage class, texts that are not UTF-8 or hold NUL bytes -
// is read through a record set with "select *", a table name and like
// searches of fuzzed spellings and patterns, again and again, while the
// program's connection and another one change it between reads. Every read,
// answered from memory or not, must give what the engine gives a connection
// of its own for the same statement: the same rows in the same order, every
// field reading as the same text.
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/field_text.h"
#include "db/record_set.h"
#include "db/texts.h"
#include "runtime/encoding.h"
#include "runtime/heap.h"
#include "runtime/library.h"
#include "tests/fuzz/fuzz_database.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

using fuzz::require;

constexpr uint32_t kWindow = 0x52010001;
constexpr uint32_t kConnectionUnit = 0x16000001;
constexpr uint32_t kRecordSetUnit = 0x16000002;
constexpr int32_t kSourceIsText = 1;
constexpr int32_t kSourceIsTable = 2;
constexpr size_t kMostColumns = 4;
constexpr size_t kMostRows = 24;
constexpr size_t kLeastSteps = 6;
constexpr size_t kMostSteps = 24;

// Names that differ in ASCII case, need quotes or are not ASCII.
const std::vector<std::string> kTableNames = {"t", "T", "名单", "two words", "Tab\"q"};
const std::vector<std::string> kColumnNames = {"a", "B", "名字", "c d", "Ab"};
const std::vector<std::string> kDeclaredTypes = {
    "", "TEXT", "INTEGER", "REAL", "BLOB", "DATE", "MONEY", "TEXT COLLATE NOCASE", "VARCHAR(10)"};
// Pieces of texts and patterns: ASCII letters in both cases, letters beyond
// ASCII with case, a Chinese character, a quote; and the odd ones: the like
// wildcards, bytes that are never UTF-8 or cut a character, NUL. A column
// of clean texts (or NULL) is one whose like searches may be answered from
// memory; the odd pieces must send them to the engine.
const std::vector<std::string> kCleanPieces = {"a",  "A",        "b",        "B", "z",  " ", "名",
                                               "字", "\xC3\xA4", "\xC3\x84", "1", "\\", "'"};
const std::vector<std::string> kOddPieces = {"%", "_", "\xE5", "\x90", "\xFF", std::string(1, '\0')};

struct Fixture {
  fuzz::DatabaseFile file;
  db::DatabaseHandle writer;  // another program changing the file
  db::DatabaseHandle oracle;  // the engine's own answers
  std::unique_ptr<db::Connection> connection = std::make_unique<db::Connection>();
  std::unique_ptr<db::RecordSet> records = std::make_unique<db::RecordSet>();

  Fixture() {
    writer = db::openDatabase(file.path(), "", db::OpenMode::kCreateNew);
    require(writer != nullptr, "make the database");
    // The program opens only a file that holds a database already.
    fuzz::run(writer.get(), "PRAGMA synchronous=OFF; CREATE TABLE first (x);");
    rt::registerUnitObject(kWindow, kConnectionUnit, connection.get());
    rt::registerUnitObject(kWindow, kRecordSetUnit, records.get());
    require(connection->openAccess(rt::utf8ToGb(file.path()), ""), "open through the library");
    require(connection->executeSql("PRAGMA synchronous=OFF", std::nullopt), "no syncs");
    require(records->setConnection(kWindow, kConnectionUnit), "bind the record set");
    oracle = db::openDatabase(file.path(), "", db::OpenMode::kExistingOnly);
    require(oracle != nullptr, "open the engine's own connection");
  }
  static Fixture& instance() {
    static Fixture fixture;
    return fixture;
  }
};

// JX_FUZZ_TRACE=1 prints what each input does, to follow a finding.
void trace(const std::string& what) {
  static const bool on = std::getenv("JX_FUZZ_TRACE") != nullptr;
  if (on) std::fprintf(stderr, "%s\n", what.c_str());
}

std::string pick(fuzz::Input& in, const std::vector<std::string>& from) { return from[in.below(from.size())]; }

// Most inputs keep to clean texts, so that their columns can be answered
// from memory; the rest mix in odd pieces and cells of every storage class.
bool cleanOnly = true;

std::string pieces(fuzz::Input& in, size_t most) {
  std::string text;
  for (size_t n = in.below(most + 1); n > 0; --n) {
    uint8_t which = in.byte();
    bool odd = !cleanOnly && which >= 224;
    text += odd ? kOddPieces[which % kOddPieces.size()] : kCleanPieces[which % kCleanPieces.size()];
  }
  return text;
}

// A string literal of a statement text, which as a runtime text holds no NUL.
std::string quotedLiteral(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    if (c != '\0') out += c;
  }
  return out + "'";
}

// An identifier as a user might write it: bare when it can be, in any ASCII
// case (the engine does not mind), or quoted.
std::string spelled(fuzz::Input& in, const std::string& name) {
  uint8_t how = in.byte();
  bool bare = name.find_first_of(" \"") == std::string::npos;
  if (bare && how % 3 != 0) {
    std::string out = name;
    for (char& c : out)
      if (how & 4 && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
  }
  return db::quotedIdentifier(name);
}

struct Table {
  std::string name;
  std::vector<std::string> columns;
};

// A cell bound to parameter `at` of `statement`: mostly a text or NULL,
// now and then a number or a blob.
void bindCell(fuzz::Input& in, sqlite3_stmt* statement, int at) {
  uint8_t kind = in.byte();
  if (cleanOnly) kind %= 224;
  if (kind < 204) {
    std::string text = pieces(in, 6);
    sqlite3_bind_text(statement, at, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  } else if (kind < 224) {
    sqlite3_bind_null(statement, at);
  } else if (kind < 236) {
    sqlite3_bind_int64(statement, at, static_cast<int8_t>(in.byte()));
  } else if (kind < 248) {
    sqlite3_bind_double(statement, at, static_cast<int8_t>(in.byte()) / 4.0);
  } else {
    std::string blob = pieces(in, 3);
    sqlite3_bind_blob(statement, at, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
  }
}

void insertRows(fuzz::Input& in, sqlite3* database, const Table& table, size_t count) {
  std::string sql = "INSERT INTO " + db::quotedIdentifier(table.name) + " VALUES (";
  for (size_t i = 0; i < table.columns.size(); ++i) sql += i ? ",?" : "?";
  sqlite3_stmt* raw = nullptr;
  require(sqlite3_prepare_v2(database, (sql + ")").c_str(), -1, &raw, nullptr) == SQLITE_OK, "the insert");
  db::StatementHandle statement(raw);
  for (size_t row = 0; row < count; ++row) {
    sqlite3_reset(raw);
    for (size_t c = 0; c < table.columns.size(); ++c) bindCell(in, raw, static_cast<int>(c + 1));
    sqlite3_step(raw);  // a duplicate key of a table without rowid is refused: fine
  }
}

// A new table made by the other program, with its rows.
std::optional<Table> makeTable(fuzz::Input& in) {
  sqlite3* writer = Fixture::instance().writer.get();
  Table table{pick(in, kTableNames), {}};
  for (size_t n = 1 + in.below(kMostColumns); n > 0; --n) {
    std::string name = pick(in, kColumnNames);
    bool taken = false;
    for (const std::string& column : table.columns) taken = taken || db::equalNamesUtf8(column, name);
    if (!taken) table.columns.push_back(name);
  }
  std::string sql = "DROP TABLE IF EXISTS " + db::quotedIdentifier(table.name) + "; CREATE TABLE " +
                    db::quotedIdentifier(table.name) + " (";
  for (size_t i = 0; i < table.columns.size(); ++i)
    sql += (i ? ", " : "") + db::quotedIdentifier(table.columns[i]) + " " + pick(in, kDeclaredTypes);
  uint8_t shape = in.byte();
  if (shape % 5 == 4)
    sql += ", PRIMARY KEY (" + db::quotedIdentifier(table.columns[0]) + ")) WITHOUT ROWID;";
  else
    sql += ");";
  std::string column = db::quotedIdentifier(table.columns[in.below(table.columns.size())]);
  std::string index = "CREATE INDEX " + db::quotedIdentifier(table.name + "_i") + " ON " +
                      db::quotedIdentifier(table.name) + " (" + column;
  switch (shape / 5 % 4) {
    case 1: sql += index + ");"; break;
    case 2: sql += index + " COLLATE NOCASE);"; break;
    case 3: sql += index + ") WHERE " + column + " IS NOT NULL;"; break;
    default: break;
  }
  trace("other program: " + sql);
  if (!db::runScript(writer, sql.c_str())) return std::nullopt;
  insertRows(in, writer, table, (in.byte() + 3) % (kMostRows + 1));
  return table;
}

// The fields of every row as the record set reads them.
std::vector<std::vector<std::string>> readThroughRecordSet(db::RecordSet& records) {
  std::vector<std::vector<std::string>> rows;
  for (bool more = records.moveToFirst(); more && !records.isEof(); more = records.moveToNext()) {
    std::vector<std::string> row;
    for (int32_t column = 0;; ++column) {
      std::optional<char*> text = records.fieldByIndex(column);
      if (!text) break;
      row.emplace_back(*text ? *text : "");
      rt::Free(*text);
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

// The same statement on the engine's own connection, each field as the
// library's rules turn it into text; nothing when the engine refuses it.
std::optional<std::vector<std::vector<std::string>>> readThroughEngine(const std::string& sqlUtf8) {
  sqlite3_stmt* raw = nullptr;
  sqlite3* oracle = Fixture::instance().oracle.get();
  if (sqlite3_prepare_v2(oracle, sqlUtf8.c_str(), static_cast<int>(sqlUtf8.size()), &raw, nullptr) != SQLITE_OK || !raw)
    return std::nullopt;
  db::StatementHandle statement(raw);
  std::vector<std::vector<std::string>> rows;
  int rc;
  while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int c = 0; c < sqlite3_column_count(raw); ++c) {
      const char* declared = sqlite3_column_decltype(raw, c);
      db::FieldValue value;
      sqlite3_value* cell = sqlite3_column_value(raw, c);
      switch (sqlite3_value_type(cell)) {
        case SQLITE_INTEGER: value.storage = db::Storage::kInteger, value.integer = sqlite3_value_int64(cell); break;
        case SQLITE_FLOAT: value.storage = db::Storage::kReal, value.real = sqlite3_value_double(cell); break;
        case SQLITE_BLOB: value.storage = db::Storage::kBlob; break;
        case SQLITE_TEXT:
          value.storage = db::Storage::kText;
          value.text = std::string_view(reinterpret_cast<const char*>(sqlite3_value_text(cell)),
                                        static_cast<size_t>(sqlite3_value_bytes(cell)));
          break;
        default: break;
      }
      row.push_back(db::fieldText(value, db::classifyDeclaredType(declared ? declared : "")));
      // A runtime text ends at its first NUL.
      row.back().resize(std::strlen(row.back().c_str()));
    }
    rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) return std::nullopt;
  return rows;
}

void compareRead(const std::string& sourceUtf8, int32_t kind, const std::string& engineSqlUtf8) {
  Fixture& fixture = Fixture::instance();
  std::string sourceGb = rt::utf8ToGb(sourceUtf8);
  bool opened = fixture.records->openRecords(sourceGb, kind, std::nullopt);
  trace("read " + sourceUtf8 + (kind == kSourceIsTable ? " (table)" : "") + ": " +
        (opened ? std::to_string(fixture.records->recordCount()) + " rows" : "refused"));
  // The library runs the statement in its own conversion of the text.
  std::string runUtf8 = kind == kSourceIsTable ? engineSqlUtf8 : db::toUtf8(sourceGb);
  auto expected = readThroughEngine(runUtf8);
  require(opened == expected.has_value(), "the record set opens exactly when the engine reads");
  if (!opened) return;
  std::vector<std::vector<std::string>> read = readThroughRecordSet(*fixture.records);
  if (read != *expected || fixture.records->recordCount() != static_cast<int32_t>(expected->size())) {
    std::fprintf(stderr, "statement: %s\n", runUtf8.c_str());
    auto print = [](const char* who, const std::vector<std::vector<std::string>>& rows) {
      std::fprintf(stderr, "%s: %zu rows\n", who, rows.size());
      for (const auto& row : rows) {
        std::string line;
        for (const std::string& field : row) line += "[" + rt::gbToUtf8(field) + "]";
        std::fprintf(stderr, "  %s\n", line.c_str());
      }
    };
    print("record set", read);
    print("engine", *expected);
    require(false, "the engine's rows in its order, field for field");
  }
}

void likeSearch(fuzz::Input& in, const Table& table) {
  std::string column = spelled(in, table.columns[in.below(table.columns.size())]);
  std::string value = pieces(in, 4);
  std::string pattern = in.byte() % 8 == 7 ? value : "%" + value + "%";
  std::string sql = std::string(in.byte() & 1 ? "SELECT * FROM " : "select  *  from ") + spelled(in, table.name) +
                    " WHERE " + column + (in.byte() & 1 ? " like " : " LIKE ") + quotedLiteral(pattern);
  // Searches come in runs, as a user types one after another.
  for (size_t again = 1 + in.below(4); again > 0; --again) compareRead(sql, kSourceIsText, {});
}

// A change between reads: by the program's connection or by the other one.
void change(fuzz::Input& in, const Table& table) {
  Fixture& fixture = Fixture::instance();
  std::string name = db::quotedIdentifier(table.name);
  std::string column = db::quotedIdentifier(table.columns[in.below(table.columns.size())]);
  std::string literal = quotedLiteral(pieces(in, 3));
  switch (in.byte() % 5) {
    case 0: insertRows(in, fixture.writer.get(), table, 1 + in.below(3)); break;
    case 1: {
      std::string sql = "DELETE FROM " + name + " WHERE " + column + " IS NULL OR typeof(" + column + ") = 'integer'";
      require(db::runScript(fixture.writer.get(), sql.c_str()), "the other program's delete");
      break;
    }
    case 2:
      fixture.connection->executeSql(rt::utf8ToGb("UPDATE " + name + " SET " + column + " = " + literal), {});
      break;
    case 3:
      fixture.connection->executeSql(rt::utf8ToGb("DELETE FROM " + name + " WHERE " + column + " = " + literal), {});
      break;
    default: {
      // A LIKE that is not the default: the program's connection and the
      // engine's own alike.
      std::string setting = in.byte() & 1 ? "PRAGMA case_sensitive_like = 1" : "PRAGMA case_sensitive_like = 0";
      fixture.connection->executeSql(setting, {});
      fuzz::run(fixture.oracle.get(), setting);
    }
  }
}

// Every input starts from the same state: no table of an earlier input, the
// default LIKE, the program's connection opened anew.
void startAfresh() {
  Fixture& fixture = Fixture::instance();
  fixture.records->closeRecords();
  for (const std::string& name : kTableNames)
    fuzz::run(fixture.writer.get(), "DROP TABLE IF EXISTS " + db::quotedIdentifier(name));
  fuzz::run(fixture.oracle.get(), "PRAGMA case_sensitive_like = 0");
  require(fixture.connection->open({}), "open through the library again");
  require(fixture.connection->executeSql("PRAGMA synchronous=OFF", std::nullopt), "no syncs");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  startAfresh();
  cleanOnly = in.byte() < 192;
  auto table = makeTable(in);
  // A few steps even for a short input (its bytes then read as zeros).
  for (size_t step = 0; table && step < kMostSteps && (step < kLeastSteps || !in.empty()); ++step) {
    switch (in.byte() % 5) {
      case 0: likeSearch(in, *table); break;
      case 1: compareRead("select * from " + spelled(in, table->name), kSourceIsText, {}); break;
      case 2: compareRead(table->name, kSourceIsTable, "SELECT * FROM " + db::quotedIdentifier(table->name)); break;
      case 3: change(in, *table); break;
      default: table = makeTable(in); break;  // the other program makes a table anew
    }
  }
  return 0;
}
