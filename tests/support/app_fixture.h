// Running the real application in a test: the runtime with the real template
// block, the application's handler table and the program's libraries, on a
// program folder of the test's own holding a real encrypted hj.mdb, a
// systeminfo.ini and an empty log.log. The main window is loaded the way the
// program loads it and closed after each test.
//
//   class RegisterTest : public jxtest::AppTest {};
//   TEST_F(RegisterTest, Something) {
//     createDatabase({student("张三", "110101199001011234")});
//     startProgram();
//     typeInto(app::form::kName, "李四");
//     click(ui::添加);
//     EXPECT_EQ(lastMessage().text, "...");
//   }
//
// Texts given to and returned by the helpers are UTF-8.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTreeView>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "app/form.h"
#include "app/ids.h"
#include "app/learner.h"
#include "app/program.h"
#include "app/state.h"
#include "backup/automatic.h"
#include "db/records_database.h"
#include "db/schema.h"
#include "db/server_provider.h"
#include "db/server_settings.h"
#include "db/sqlite.h"
#include "runtime/api.h"
#include "runtime/encoding.h"
#include "runtime/library.h"
#include "runtime/properties.h"
#include "runtime/qt/controls.h"
#include "runtime/qt/screen_unit.h"
#include "runtime/qt/window_manager.h"
#include "tests/support/gestures.h"
#include "tests/support/runtime_fixture.h"
#include "tests/support/temp_folder.h"

namespace jxtest {

// ------------------------------------------------------------ the folder

// The program folder of the application tests: one per process, its files
// made anew by each test; removed when the process ends normally.
class AppFolder {
 public:
  static const std::filesystem::path& path() {
    static TempFolder folder("jx-app");
    return folder.path();
  }
  static std::filesystem::path file(const std::string& name) { return path() / name; }
};

inline std::string readFileBytes(const std::string& name) {
  std::ifstream in(AppFolder::file(name), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
inline void writeFileBytes(const std::string& name, const std::string& bytes) {
  std::ofstream(AppFolder::file(name), std::ios::binary | std::ios::trunc) << bytes;
}
inline bool fileExists(const std::string& name) { return std::filesystem::exists(AppFolder::file(name)); }
inline void removeFile(const std::string& name) {
  std::error_code ignored;
  std::filesystem::remove(AppFolder::file(name), ignored);
}

// ----------------------------------------------------------- the database

// A learner's fifteen fields in the student table's column order, by the
// short names the tests use for the fields of app/learner.h.
using StudentFields = std::array<std::string, app::learner::kFieldCount>;
enum StudentField : size_t {
  kName = app::learner::kName,
  kSex = app::learner::kSex,
  kNation = app::learner::kNation,
  kBirth = app::learner::kBirthDate,
  kAddress = app::learner::kAddress,
  kIdentity = app::learner::kIdentityNumber,
  kPhone = app::learner::kTelephone,
  kVehicle = app::learner::kVehicleClass,
  kRegistered = app::learner::kRegistrationDate,
  kCoach2 = app::learner::kSubjectTwoCoach,
  kCoach2Phone = app::learner::kSubjectTwoCoachTelephone,
  kCoach2Plate = app::learner::kSubjectTwoPlate,
  kCoach3 = app::learner::kSubjectThreeCoach,
  kCoach3Phone = app::learner::kSubjectThreeCoachTelephone,
  kCoach3Plate = app::learner::kSubjectThreePlate,
};

inline StudentFields student(const std::string& name, const std::string& identity,
                             const std::string& phone = "13800000000", const std::string& vehicle = "C1",
                             const std::string& registered = "2024年3月3日", const std::string& coach2 = "",
                             const std::string& coach3 = "") {
  StudentFields f;
  f[kName] = name;
  f[kSex] = "男";
  f[kNation] = "汉";
  f[kBirth] = "1990年01月01日";
  f[kAddress] = "北京市";
  f[kIdentity] = identity;
  f[kPhone] = phone;
  f[kVehicle] = vehicle;
  f[kRegistered] = registered;
  f[kCoach2] = coach2;
  f[kCoach3] = coach3;
  return f;
}

// The records may live on a database server instead of hj.mdb: when
// JX_TEST_SERVER names one (a libpq connection string to a throw-away
// database), every helper below works there and the program folder gets a
// database.ini naming it, so the program uses the server too.
inline const char* testServer() { return std::getenv("JX_TEST_SERVER"); }

// For the few tests that change the file's engine itself (triggers, locks).
#define JX_SKIP_ON_SERVER(why) \
  if (::jxtest::testServer()) GTEST_SKIP() << "not on a server: " << why

inline db::ServerConnectionHandle testServerConnection() {
  std::string error;
  db::ServerConnectionHandle connection = db::connectToServer(testServer(), &error);
  EXPECT_TRUE(connection) << error;
  return connection;
}

// A statement of the tests as the server takes it: the row order is the
// row-order column's, ifnull is coalesce.
inline std::string serverTestSql(std::string sql) {
  auto replace = [&](std::string_view from, std::string_view to) {
    for (size_t at = 0; (at = sql.find(from, at)) != std::string::npos; at += to.size())
      sql.replace(at, from.size(), to);
  };
  replace("ORDER BY rowid", "ORDER BY jx_row");
  replace("ifnull(", "coalesce(");
  return sql;
}

inline db::ServerResult onTestServer(const std::string& sql, const char* const* values = nullptr, int count = 0) {
  db::ServerConnectionHandle connection = testServerConnection();
  if (!connection) return nullptr;
  std::string text = serverTestSql(sql);
  db::ServerResult result(
      count == 0 ? PQexec(connection.get(), text.c_str())
                 : PQexecParams(connection.get(), text.c_str(), count, nullptr, values, nullptr, nullptr, 0));
  ExecStatusType status = PQresultStatus(result.get());
  EXPECT_TRUE(status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) << PQresultErrorMessage(result.get()) << sql;
  return result;
}

inline db::DatabaseHandle openTestDatabase(db::OpenMode mode = db::OpenMode::kExistingOnly) {
  std::string error;
  db::DatabaseHandle handle = db::openDatabase(AppFolder::file(std::string(db::records::kFileName)).string(),
                                               db::records::kPassword, mode, &error);
  EXPECT_TRUE(handle) << error;
  return handle;
}

// Runs statements (UTF-8) on hj.mdb through a connection of the test's own.
inline void runSql(const std::string& sql) {
  if (testServer()) {
    onTestServer(sql);
    return;
  }
  db::DatabaseHandle database = openTestDatabase();
  if (!database) return;
  std::string error;
  EXPECT_TRUE(db::runScript(database.get(), sql.c_str(), &error)) << error << "\n" << sql;
}

// Makes the database refuse every insert or delete ("INSERT", "DELETE") on a
// table, or only rows meeting a condition on NEW's columns, on either
// engine; allowChanges takes the refusal back.
inline void refuseChanges(const std::string& event, const std::string& table, const std::string& condition = "") {
  const std::string name = "refuse_" + table;
  if (!testServer()) {
    runSql("CREATE TRIGGER " + name + " BEFORE " + event + " ON " + table +
           (condition.empty() ? "" : " WHEN " + condition) + " BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    return;
  }
  std::string refusal = "RAISE EXCEPTION 'refused';";
  if (!condition.empty()) refusal = "IF " + condition + " THEN " + refusal + " END IF;";
  runSql("CREATE FUNCTION " + name + "() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN " + refusal + " RETURN " +
         (event == "DELETE" ? "OLD" : "NEW") + "; END $$");
  runSql("CREATE TRIGGER " + name + " BEFORE " + event + " ON " + table + " FOR EACH ROW EXECUTE FUNCTION " + name +
         "()");
}
inline void allowChanges(const std::string& table) {
  runSql("DROP TRIGGER refuse_" + table + (testServer() ? " ON " + table : std::string()));
}

// Every row of a query, every column as text (NULL as "<null>").
inline std::vector<std::vector<std::string>> queryRows(const std::string& sql) {
  std::vector<std::vector<std::string>> rows;
  if (testServer()) {
    db::ServerResult result = onTestServer(sql);
    for (int r = 0; result && r < PQntuples(result.get()); ++r) {
      std::vector<std::string> row;
      for (int c = 0; c < PQnfields(result.get()); ++c) {
        if (std::string_view(PQfname(result.get(), c)) == "jx_row") continue;
        row.emplace_back(PQgetisnull(result.get(), r, c) ? "<null>" : PQgetvalue(result.get(), r, c));
      }
      rows.push_back(std::move(row));
    }
    return rows;
  }
  db::DatabaseHandle database = openTestDatabase();
  if (!database) return rows;
  sqlite3_stmt* raw = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(database.get(), sql.c_str(), -1, &raw, nullptr), SQLITE_OK) << sql;
  db::StatementHandle statement(raw);
  while (raw && sqlite3_step(raw) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int c = 0; c < sqlite3_column_count(raw); ++c) {
      const auto* value = sqlite3_column_text(raw, c);
      row.emplace_back(value ? reinterpret_cast<const char*>(value) : "<null>");
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

inline std::vector<StudentFields> storedStudents() {
  std::vector<StudentFields> students;
  for (const auto& row : queryRows("SELECT * FROM student ORDER BY rowid")) {
    StudentFields f;
    for (size_t i = 0; i < f.size() && i < row.size(); ++i) f[i] = row[i];
    students.push_back(f);
  }
  return students;
}

inline void insertStudents(const std::vector<StudentFields>& students) {
  if (testServer()) {
    std::string columns;
    for (size_t i = 0; i < db::records::studentTable().columns.size(); ++i)
      columns += (i ? ",\"" : "\"") + std::string(db::records::studentTable().columns[i]) + "\"";
    for (const StudentFields& f : students) {
      std::array<const char*, 15> values;
      for (size_t i = 0; i < f.size(); ++i) values[i] = f[i].c_str();
      onTestServer("INSERT INTO student (" + columns + ") VALUES ($1,$2,$3,$4,$5,$6,$7,$8,$9,$10,$11,$12,$13,$14,$15)",
                   values.data(), static_cast<int>(values.size()));
    }
    return;
  }
  db::DatabaseHandle database = openTestDatabase();
  if (!database) return;
  sqlite3_stmt* raw = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(database.get(), "INSERT INTO student VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)", -1, &raw,
                               nullptr),
            SQLITE_OK);
  db::StatementHandle statement(raw);
  for (const StudentFields& f : students) {
    for (size_t i = 0; i < f.size(); ++i)
      sqlite3_bind_text(raw, static_cast<int>(i + 1), f[i].c_str(), static_cast<int>(f[i].size()), SQLITE_TRANSIENT);
    ASSERT_EQ(sqlite3_step(raw), SQLITE_DONE);
    sqlite3_reset(raw);
  }
}

// Exam table "one" to "four"; an empty result stays NULL as a booking leaves it.
inline void insertBooking(const std::string& table, const std::string& identity, const std::string& date,
                          const std::string& result = "") {
  std::string sql = "INSERT INTO " + table + " (身份证号码, 考试时间" + (result.empty() ? "" : ", 是否通过") +
                    ") VALUES ('" + identity + "', '" + date + "'" + (result.empty() ? "" : ", '" + result + "'") + ")";
  runSql(sql);
}

// A new hj.mdb with the program's schema and these learners, in this order.
inline void createDatabase(const std::vector<StudentFields>& students = {}) {
  removeFile(std::string(db::records::kFileName));
  if (testServer()) {
    onTestServer("DROP SCHEMA public CASCADE; CREATE SCHEMA public;");
    db::ServerConnectionHandle connection = testServerConnection();
    db::ServerResult made(
        PQexec(connection.get(), (db::records::serverSchemaScript() + db::records::serverSearchIndexScript()).c_str()));
    ASSERT_EQ(PQresultStatus(made.get()), PGRES_COMMAND_OK) << PQresultErrorMessage(made.get());
    writeFileBytes(std::string(db::kServerSettingsFile),
                   rt::utf8ToGb("[数据库]\r\n连接=" + std::string(testServer()) + "\r\n"));
    insertStudents(students);
    return;
  }
  {
    db::DatabaseHandle database = openTestDatabase(db::OpenMode::kCreateNew);
    std::string error;
    ASSERT_TRUE(database && db::records::createSchema(database.get(), &error)) << error;
  }
  insertStudents(students);
}

// -------------------------------------------------------------- settings

// The settings file from UTF-8 text, stored in GB18030 with CR LF lines.
inline void writeSettings(const std::string& utf8) {
  std::string crlf;
  for (char c : utf8) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  writeFileBytes("systeminfo.ini", rt::utf8ToGb(crlf));
}

// The tests' settings turn the daily automatic backup off; the tests of
// the backup turn it on.
inline constexpr const char* kSampleSettings =
    "[端口设置]\n端口设置=1001\n"
    "[车型信息设置]\n车型信息设置=C1|C2|B2\n"
    "[教练姓名设置]\n教练姓名设置=王教练|李教练|张教练\n"
    "[教练车牌设置]\n教练车牌设置=京A1111学|京A2222学|京A3333学\n"
    "[教练电话设置]\n教练电话设置=13900000001|13900000002|13900000003\n"
    "[自动备份保留份数]\n自动备份保留份数=0\n";

// ----------------------------------------------------------- the screen

using gestures::screenWidget;

inline std::string utf8Of(const rt::api::Text& text) { return rt::gbToUtf8(text.view()); }

// An edit box's content or a combo box's edit text, as the program reads it.
inline std::string textOf(const rt::api::Unit& unit) {
  int32_t property = unit.kind == rt::kind::kComboBox ? rt::prop::kComboText : rt::prop::kEditContent;
  return utf8Of(rt::api::readText(unit, property));
}
inline std::string windowTitle() { return utf8Of(rt::api::readText(ui::主窗口, rt::prop::kWindowTitle)); }

// The form's fifteen fields in the student table's column order.
inline StudentFields formFields() {
  StudentFields f;
  for (size_t i = 0; i < f.size(); ++i) f[i] = textOf(app::form::kLearnerFields[i]);
  return f;
}

inline int32_t rowCount(const rt::api::Unit& list) {
  return rt::api::callInt(rt::cmd::list(rt::cmd::kListRowCount), list);
}
inline std::string cell(const rt::api::Unit& list, int32_t row, int32_t column) {
  return utf8Of(rt::api::callText(rt::cmd::list(rt::cmd::kListGetCellText), list, row, column));
}
// Columns 1.. of a row of the student list: the learner's fields.
inline StudentFields listedStudent(int32_t row) {
  StudentFields f;
  for (const app::learner::Column& column : app::learner::kColumns)
    f[column.field] = cell(ui::超级列表框1, row, app::learner::listColumn(column.field));
  return f;
}
inline std::vector<std::string> columnOf(const rt::api::Unit& list, int32_t column) {
  std::vector<std::string> cells;
  for (int32_t row = 0; row < rowCount(list); ++row) cells.push_back(cell(list, row, column));
  return cells;
}
inline int32_t selectedRow() { return rt::api::readInt(ui::超级列表框1, rt::prop::kListSelectedRow); }

inline std::vector<std::string> comboItems(const rt::api::Unit& combo) {
  std::vector<std::string> items;
  auto* box = screenWidget<QComboBox>(combo);
  for (int i = 0; box && i < box->count(); ++i) items.push_back(box->itemText(i).toStdString());
  return items;
}
inline int32_t comboSelection(const rt::api::Unit& combo) { return rt::api::readInt(combo, rt::prop::kComboSelection); }

// ----------------------------------------------------------- user input

// Replaces the field's text the way typing does.
inline void typeInto(const rt::api::Unit& unit, const std::string& utf8) {
  ASSERT_TRUE(gestures::typeInto(unit, utf8));
}
inline void click(const rt::api::Unit& unit) {
  QTest::mouseClick(screenWidget(unit), Qt::LeftButton);
  settle();
}
inline void doubleClick(const rt::api::Unit& unit) {
  QTest::mouseDClick(gestures::doubleClickTarget(unit), Qt::LeftButton, {}, QPoint(5, 5));
  settle();
}
// The user picks item `index` from a combo box's list.
inline void chooseItem(const rt::api::Unit& combo, int index) {
  auto* box = screenWidget<QComboBox>(combo);
  ASSERT_NE(box, nullptr);
  box->setCurrentIndex(index);
  emit box->activated(index);
  settle();
}
inline void clickRow(int32_t row, Qt::MouseButton button = Qt::LeftButton) {
  EXPECT_TRUE(gestures::clickStudentRow(row, button)) << "the student list has no row " << row;
  settle();
}
inline void rightClickList() {
  EXPECT_TRUE(gestures::rightClickStudentList());
  settle();
}
// Chooses the entry of the menu bar with this caption (menu, then item;
// blanks around a caption do not count).
inline void chooseMenu(const std::string& menuCaption, const std::string& itemCaption) {
  QAction* item = gestures::menuEntry(menuCaption, itemCaption);
  if (!item) {
    ADD_FAILURE() << "no menu entry " << menuCaption << " / " << itemCaption;
    return;
  }
  item->trigger();
  settle();
}
// Right-clicks the student list and chooses this entry of its popup menu.
inline void chooseFromListPopup(ScriptedDesktop& desktop, const std::string& caption) {
  desktop.choosePopupEntry(caption);
  rightClickList();
}
inline void showPage(int index) {
  auto* tab = screenWidget<rt::TabWidget>(ui::选择夹1);
  ASSERT_NE(tab, nullptr);
  QTest::mouseClick(tab->bar(), Qt::LeftButton, {}, tab->bar()->tabRect(index).center());
  settle();
}

// -------------------------------------------------------------- fixture

class AppTest : public RuntimeTest {
 protected:
  RuntimeOptions options() const override {
    RuntimeOptions options;
    options.program = &app::programHeader();
    options.programFolder = AppFolder::path().string();
    return options;
  }

  // A program folder with an empty registry, the sample settings and an
  // empty log; the program's state as at start.
  void SetUp() override {
    RuntimeTest::SetUp();
    static bool programStateMade = false;
    if (!programStateMade) {
      app::initialiseProgramState();
      programStateMade = true;
    }
    app::ProgramState& s = app::state();
    s.selectedStudentId = rt::api::Text();
    s.readerPort = -1;
    s.examListCounter = -1;
    s.examDetailCounter = 0;
    s.logFileNumber = 0;
    forgetAutomaticBackups();
    createDatabase();
    writeSettings(kSampleSettings);
    writeFileBytes("log.log", "");
  }

  // A test whose settings leave the automatic backup on (no such setting)
  // lets its backup finish before the next test changes the folder.
  void TearDown() override {
    backup::AutomaticBackup::instance().stop();
    RuntimeTest::TearDown();
  }

  // No backup running, none made, no failure waiting to be shown.
  static void forgetAutomaticBackups() {
    backup::AutomaticBackup::instance().stop();
    backup::AutomaticBackup::instance().takeFailure(AppFolder::path());
    std::error_code ignored;
    std::filesystem::remove_all(AppFolder::path() / "备份", ignored);
  }

  // Loads the main window as the program does, creation handler included.
  void startProgram() {
    loadMainWindow();
    settle();
  }

  const std::vector<MessageBoxCall>& messages() { return desktop().messageBoxes(); }
  MessageBoxCall lastMessage() { return messages().empty() ? MessageBoxCall{} : messages().back(); }
};

}  // namespace jxtest
