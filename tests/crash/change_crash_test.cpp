// Each change the program makes to the records database - a registration, a
// modification, a deletion, a result change, a graduation and its undoing -
// is killed just before its
// k-th write, sync or deletion of the database or its journal, for every k
// until the change completes. The program is started and the user's gestures
// up to the change are made in the test's own process; each run of the
// change itself is a child process of it, which gets the change's click
// through the window's event table and runs the real handlers. After each
// kill the database is opened as the program opens it: it must be sound and
// hold exactly the old or the new contents, with every learner once (in the
// registry or among the graduates, never both) and every booking's learner
// present.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "runtime/screen.h"
#include "tests/crash/write_step_vfs.h"
#include "tests/exams/exam_test_support.h"

namespace {

using namespace examtest;

constexpr const char* kDay = "2024年6月1日";
// More learners than fit on one page of the file, so that a change meets
// the tables' trees as they are in use.
constexpr int kMoreLearners = 150;
// A change reaches the disk in far fewer steps; more means it never ends.
constexpr int64_t kMostSteps = 2000;
constexpr unsigned kChildSeconds = 30;

// What the program finds in hj.mdb when it opens it (a journal left by a
// killed change is rolled back by that open).
struct Contents {
  std::string integrity;
  std::map<std::string, std::vector<std::string>> rows;  // table -> "rowid|cell|..." in rowid order
  bool operator==(const Contents&) const = default;
};

std::string databasePath() { return AppFolder::file(std::string(db::records::kFileName)).string(); }

std::vector<std::string> column(sqlite3* database, const std::string& sql) {
  std::vector<std::string> values;
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(database, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) return {"<" + sql + " failed>"};
  db::StatementHandle statement(raw);
  while (sqlite3_step(raw) == SQLITE_ROW) {
    const auto* text = sqlite3_column_text(raw, 0);
    values.emplace_back(text ? reinterpret_cast<const char*>(text) : "<null>");
  }
  return values;
}

Contents contentsAsOpened() {
  Contents contents;
  std::string error;
  db::DatabaseHandle database =
      db::openDatabase(databasePath(), db::records::kPassword, db::OpenMode::kExistingOnly, &error);
  if (!database) {
    contents.integrity = "cannot open: " + error;
    return contents;
  }
  std::vector<std::string> integrity = column(database.get(), "PRAGMA integrity_check");
  contents.integrity = integrity.size() == 1 ? integrity[0] : "<" + std::to_string(integrity.size()) + " problems>";
  for (const db::records::Table& table : db::records::tables()) {
    std::string cells = "rowid";
    for (std::string_view name : table.columns)
      cells.append(" || '|' || ifnull(\"").append(name).append("\", '<null>')");
    std::string name(table.name);
    contents.rows[name] = column(database.get(), "SELECT " + cells + " FROM " + name + " ORDER BY rowid");
  }
  return contents;
}

// What must hold in every state of the database; the faults found.
std::vector<std::string> faultsOf(const Contents& contents) {
  std::vector<std::string> faults;
  if (contents.integrity != "ok") faults.push_back("integrity: " + contents.integrity);
  std::set<std::string> learners;
  auto identityOf = [](const std::string& row, size_t field) {
    std::stringstream cells(row);
    std::string cell;
    for (size_t i = 0; i <= field && std::getline(cells, cell, '|'); ++i) {}
    return cell;
  };
  constexpr size_t kLearnerIdentityField = 1 + kIdentity;  // after the rowid
  constexpr size_t kBookingIdentityField = 1;
  for (const char* table : {"student", "graduation"})
    for (const std::string& row : contents.rows.at(table))
      if (!learners.insert(identityOf(row, kLearnerIdentityField)).second) faults.push_back("learner twice: " + row);
  for (const db::records::Table& table : db::records::examTables())
    for (const std::string& row : contents.rows.at(std::string(table.name)))
      if (!learners.count(identityOf(row, kBookingIdentityField)))
        faults.push_back("booking in " + std::string(table.name) + " without its learner: " + row);
  return faults;
}

std::string differences(const Contents& a, const Contents& b) {
  std::string text;
  for (const auto& [table, rows] : a.rows)
    if (rows != b.rows.at(table))
      text += table + ": " + std::to_string(rows.size()) + " rows against " + std::to_string(b.rows.at(table).size()) +
              "; ";
  return text;
}

// A learner of the filler: every field tells the learner apart.
StudentFields filler(int number) {
  std::string n = std::to_string(number);
  StudentFields f = student("学员" + n, "3301061990" + std::string(8 - n.size(), '0') + n, "1380000" + n);
  f[kAddress] = "浙江省杭州市西湖区文三路" + n + "号" + std::string(40, 'x');
  return f;
}

class CrashTest : public AppTest {
 protected:
  // The user's gestures up to the change run in the test's own process.
  // The child gets the click or menu choice that makes the change as the
  // screen object hands it on, raised through the window's event table: a
  // child of a process that has painted must not paint (the painter's
  // worker threads are not copied into it).
  struct Change {
    std::string name;
    std::function<void()> prepare;  // in the started program, before the change
    rt::api::Unit unit;             // the button or menu item of the change
    int32_t event;
    std::string successMessage;
  };

  void SetUp() override {
    AppTest::SetUp();
    createDatabase(learners());
    std::string sql = "BEGIN;";
    for (int i = 0; i < kMoreLearners; ++i) {
      StudentFields f = filler(i);
      sql += "INSERT INTO student VALUES (";
      for (size_t c = 0; c < f.size(); ++c) sql += (c ? ",'" : "'") + f[c] + "'";
      sql += ");INSERT INTO " + kSubjectTables[i % 4] + " VALUES ('" + f[kIdentity] + "', '" + kDay + "', NULL);";
    }
    for (const StudentFields& s : learners())
      for (const std::string& table : kSubjectTables)
        sql += "INSERT INTO " + table + " VALUES ('" + s[kIdentity] + "', '" + kDay + "', NULL);";
    runSql(sql + "COMMIT;");
  }

  // The change in a child process of the started and prepared program,
  // killed just before step `step` (0: never): kKilledAtStep, 0 when it
  // completed with its success message, 1 when not.
  int runInChild(const Change& change, int64_t step) {
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
      alarm(kChildSeconds);  // a child that hangs ends as one that failed
      size_t shown = messages().size();
      crashtest::killAtStep(step);
      rt::raiseEvent(change.unit.window, change.unit.id, change.event);
      // A question may come before the message.
      bool done = messages().size() > shown && messages().back().text == change.successMessage;
      _exit(done ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  void restore(const std::string& databaseBytes) {
    removeFile(std::string(db::records::kFileName) + "-journal");
    writeFileBytes(std::string(db::records::kFileName), databaseBytes);
    writeFileBytes("log.log", "");
  }

  void killAtEveryStep(const Change& change) {
    // The program's connection goes through the counting layer, as do the
    // checks' own, which only count.
    crashtest::installWriteStepCounter();
    crashtest::killAtStep(0);
    startProgram();
    change.prepare();
    const std::string initial = readFileBytes(std::string(db::records::kFileName));
    const Contents before = contentsAsOpened();
    ASSERT_EQ(faultsOf(before), std::vector<std::string>{});

    std::vector<std::pair<int64_t, Contents>> afterKills;
    int status = crashtest::kKilledAtStep;
    for (int64_t step = 1; status == crashtest::kKilledAtStep && step <= kMostSteps; ++step) {
      restore(initial);
      status = runInChild(change, step);
      if (status != crashtest::kKilledAtStep) break;
      afterKills.emplace_back(step, contentsAsOpened());
    }
    ASSERT_EQ(status, 0) << change.name << " did not complete when left alone";
    const Contents after = contentsAsOpened();
    ASSERT_EQ(faultsOf(after), std::vector<std::string>{});
    ASSERT_NE(after, before) << change.name << " changed nothing";

    int oldStates = 0, newStates = 0;
    for (const auto& [step, contents] : afterKills) {
      EXPECT_EQ(faultsOf(contents), std::vector<std::string>{}) << change.name << ", killed at step " << step;
      if (contents == before) {
        EXPECT_EQ(newStates, 0) << change.name << ": the old contents came back after the new at step " << step;
        ++oldStates;
      } else if (contents == after) {
        ++newStates;
      } else {
        ADD_FAILURE() << change.name << ", killed at step " << step
                      << ": neither the old nor the new contents; against the old: " << differences(contents, before)
                      << "against the new: " << differences(contents, after);
      }
    }
    std::printf("%s: %zu kill points; the old contents after %d, the new after %d\n", change.name.c_str(),
                afterKills.size(), oldStates, newStates);
    RecordProperty("kill_points", static_cast<int>(afterKills.size()));
    EXPECT_GT(afterKills.size(), 5u) << "the counter saw the change's writes";
  }
};

TEST_F(CrashTest, Registration) {
  StudentFields newcomer = student("赵六", "510105199506061234", "13600001111", "C1", "2024年5月6日");
  const std::array<rt::api::Unit, 15> form = {ui::编辑框1, ui::编辑框5, ui::编辑框7, ui::编辑框8, ui::编辑框9,
                                              ui::编辑框2, ui::编辑框3, ui::组合框1, ui::编辑框4, ui::组合框2,
                                              ui::组合框3, ui::组合框4, ui::组合框5, ui::组合框6, ui::组合框7};
  killAtEveryStep({"registration",
                   [&] {
                     for (size_t i = 0; i < form.size(); ++i) typeInto(form[i], newcomer[i]);
                   },
                   ui::添加, rt::event::kButtonClick, "添加记录成功！"});
}

TEST_F(CrashTest, Modification) {
  killAtEveryStep({"modification",
                   [] {
                     clickRow(1);
                     typeInto(ui::编辑框1, "李四四");
                     typeInto(ui::编辑框3, "13900009999");
                   },
                   ui::修改, rt::event::kButtonClick, "修改学员信息成功！"});
}

TEST_F(CrashTest, DeletionOfALearnerAndAllItsBookings) {
  killAtEveryStep({"deletion", [] { clickRow(1); }, ui::菜单删除学员, rt::event::kMenuChosen, "删除学员数据成功！"});
}

TEST_F(CrashTest, Graduation) {
  killAtEveryStep({"graduation", [] { clickRow(1); }, ui::菜单学员结业, rt::event::kMenuChosen, "学员结业成功！"});
}

TEST_F(CrashTest, UndoOfAGraduation) {
  runSql("INSERT INTO graduation SELECT * FROM student WHERE rowid = 2; DELETE FROM student WHERE rowid = 2;");
  killAtEveryStep({"undo of a graduation",
                   [] {
                     showPage(app::form::kPageGraduates);
                     clickAt(ui::超级列表框4, rowCentre(listView(ui::超级列表框4), 0));
                   },
                   ui::菜单撤销结业, rt::event::kMenuChosen, "撤销结业成功！"});
}

TEST_F(CrashTest, ResultChange) {
  constexpr int kSubjectTwo = 1;
  constexpr int kPassed = 1;  // item of 组合框9
  killAtEveryStep({"result change",
                   [] {
                     showPage(app::form::kPageExamDetails);
                     queryByDate(kSubjectTwo, kDay);
                     selectDetailRow(1);
                     chooseItem(ui::组合框9, kPassed);
                   },
                   ui::成绩修改, rt::event::kButtonClick, "修改学员信息成功！"});
}

}  // namespace
