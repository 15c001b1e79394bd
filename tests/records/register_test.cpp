// Registering a learner from the form: refusals, the stored row, the refill,
// the selection of the new learner, the log entry.
#include <algorithm>
#include <cstdlib>

#include "records_test_support.h"
#include "tests/support/lock_holder.h"

namespace {

using namespace recordstest;

class RegisterTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    createDatabase(threeStudents());
  }

  void fillForm(const StudentFields& f) {
    for (size_t i = 0; i < f.size(); ++i) typeInto(app::form::kLearnerFields[i], f[i]);
  }

  StudentFields newcomer() {
    StudentFields f = student("赵六", "510105199506061234", "13600001111", "C1", "2024年5月6日", "", "");
    f[kAddress] = "成都市武侯区";
    return f;
  }

  void expectRefused(const std::string& text) {
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, text);
    EXPECT_EQ(messages()[0].caption, "添加学员失败");
    EXPECT_EQ(messages()[0].style & rt::mb::kIconMask, rt::mb::kIconStop);
    EXPECT_EQ(storedStudents(), threeStudents());
    EXPECT_EQ(readFileBytes("log.log"), "");
  }
};

TEST_F(RegisterTest, EachRequiredFieldLeftEmptyIsRefused) {
  startProgram();
  for (size_t required : {kName, kIdentity, kPhone, kVehicle, kRegistered}) {
    desktop().reset();
    StudentFields f = newcomer();
    f[required] = "";
    fillForm(f);
    click(ui::添加);
    expectRefused("请输入完整的学员报名信息！");
    EXPECT_EQ(formFields(), f) << "the form keeps what was typed";
  }
}

TEST_F(RegisterTest, ANewLearnerIsStoredListedSelectedAndLogged) {
  startProgram();
  StudentFields f = newcomer();
  fillForm(f);
  chooseItem(ui::组合框2, 2);  // 李教练 with telephone and plate
  chooseItem(ui::组合框5, 0);  // 所有教练: no coach for subject three
  typeInto(ui::组合框6, "13900000009");
  f[kCoach2] = "李教练";
  f[kCoach2Phone] = "13900000002";
  f[kCoach2Plate] = "京A2222学";

  QDateTime before = QDateTime::currentDateTime();
  click(ui::添加);
  QDateTime after = QDateTime::currentDateTime();

  std::vector<StudentFields> expected = threeStudents();
  expected.push_back(f);
  EXPECT_EQ(storedStudents(), expected);

  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0].text, "添加记录成功！");
  EXPECT_EQ(messages()[0].caption, "添加学员成功");
  EXPECT_EQ(messages()[0].style & (rt::mb::kIconMask | rt::mb::kButtonsMask), 0u);

  ASSERT_EQ(rowCount(ui::超级列表框1), 4);
  EXPECT_EQ(cell(ui::超级列表框1, 3, 0), "4");
  EXPECT_EQ(listedStudent(3), f);
  EXPECT_EQ(selectedRow(), 3);
  EXPECT_EQ(formFields(), f);
  EXPECT_EQ(windowTitle(), "赵六   510105199506061234");

  std::vector<LogEntry> log = logEntries(readFileBytes("log.log"));
  ASSERT_EQ(log.size(), 1u);
  EXPECT_TRUE(timestampsBetween(before, after).count(log[0].timestamp)) << log[0].timestamp;
  EXPECT_EQ(log[0].body, "\r\n添加学员赵六  510105199506061234");
}

TEST_F(RegisterTest, TheFormIsEmptiedBeforeTheSuccessMessage) {
  startProgram();
  fillForm(newcomer());
  StudentFields seen;
  desktop().setWhileMessageBox([&](const MessageBoxCall&) { seen = formFields(); });
  click(ui::添加);
  StudentFields expected = newcomer();
  for (size_t i : {kName, kIdentity, kPhone, kVehicle, kRegistered, kCoach2, kCoach2Phone, kCoach2Plate, kCoach3,
                   kCoach3Phone, kCoach3Plate})
    expected[i] = "";
  EXPECT_EQ(seen, expected);  // sex, nation, birth date and address stay
}

TEST_F(RegisterTest, CoachTextsAreEmptiedOnlyForAllCoachesOrNoCoach) {
  startProgram();
  StudentFields f = newcomer();
  f[kCoach2] = "";  // no coach: its telephone and plate go too
  f[kCoach2Phone] = "13900000001";
  f[kCoach2Plate] = "京A1111学";
  f[kCoach3] = "外聘教练";  // typed, not chosen: kept with its texts
  f[kCoach3Phone] = "13500000000";
  f[kCoach3Plate] = "川A0000学";
  fillForm(f);
  click(ui::添加);
  f[kCoach2Phone] = "";
  f[kCoach2Plate] = "";
  ASSERT_EQ(storedStudents().size(), 4u);
  EXPECT_EQ(storedStudents()[3], f);
}

// Typing over "所有教练" leaves no item chosen, so the typed coach, telephone
// and plate are the learner's.
TEST_F(RegisterTest, ACoachTypedOverAllCoachesIsKept) {
  startProgram();
  StudentFields f = newcomer();
  fillForm(f);
  chooseItem(ui::组合框2, 0);
  chooseItem(ui::组合框5, 0);
  f[kCoach2] = "外聘教练";
  f[kCoach2Phone] = "13500000000";
  f[kCoach2Plate] = "川A0000学";
  f[kCoach3] = "王";  // the first letter of an item is not the item
  f[kCoach3Phone] = "13500000001";
  f[kCoach3Plate] = "川A0001学";
  for (size_t i : {kCoach2, kCoach2Phone, kCoach2Plate, kCoach3, kCoach3Phone, kCoach3Plate})
    typeInto(app::form::kLearnerFields[i], f[i]);
  EXPECT_EQ(comboSelection(ui::组合框2), -1);
  EXPECT_EQ(comboSelection(ui::组合框5), -1);
  click(ui::添加);
  ASSERT_EQ(storedStudents().size(), 4u);
  EXPECT_EQ(storedStudents()[3], f);
}

TEST_F(RegisterTest, AKnownIdentityNumberIsRefusedAndItsRowShown) {
  startProgram();
  StudentFields f = newcomer();
  f[kIdentity] = threeStudents()[1][kIdentity];
  fillForm(f);
  click(ui::添加);
  expectRefused("已有此身份证号码！");
  EXPECT_EQ(selectedRow(), 1);
  EXPECT_EQ(formFields(), threeStudents()[1]);
  EXPECT_EQ(windowTitle(), "李四   110101199202022345");
}

// Another desk registers the same number after this desk's scan and before
// its insert (a trigger plays that desk, committing through a connection of
// its own): the server's unique number refuses the insert, and the clerk
// sees the duplicate message and the other desk's row, not an error code.
TEST_F(RegisterTest, ANumberAnotherDeskRegisteredMeanwhileIsReportedAsKnown) {
  if (!testServer()) GTEST_SKIP() << "a race between desks needs a server";
  auto variable = [](const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return std::string(value && *value ? value : fallback);
  };
  std::string otherDesk = "host=" + variable("PGHOST", "localhost") + " port=" + variable("PGPORT", "5432") +
                          " user=" + variable("PGUSER", "postgres") + " password=" + variable("PGPASSWORD", "") +
                          " dbname=" + variable("PGDATABASE", "postgres");
  runSql("CREATE EXTENSION IF NOT EXISTS dblink");
  runSql(
      "CREATE FUNCTION other_desk() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
      "IF NEW.姓名 <> '另一台' THEN PERFORM dblink_exec('" +
      otherDesk +
      "', "
      "format('INSERT INTO student (姓名, 身份证号码) VALUES (%L, %L)', '另一台', NEW.身份证号码)); END IF; "
      "RETURN NEW; END $$");
  runSql("CREATE TRIGGER other_desk BEFORE INSERT ON student FOR EACH ROW EXECUTE FUNCTION other_desk()");
  startProgram();
  StudentFields f = newcomer();
  fillForm(f);
  click(ui::添加);
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0].text, "已有此身份证号码！");
  EXPECT_EQ(messages()[0].caption, "添加学员失败");
  std::vector<StudentFields> stored = storedStudents();
  ASSERT_EQ(stored.size(), 4u);
  EXPECT_EQ(stored[3][kName], "另一台") << "only the other desk's row";
  EXPECT_EQ(stored[3][kIdentity], f[kIdentity]);
  EXPECT_EQ(selectedRow(), 3);
  EXPECT_EQ(readFileBytes("log.log"), "");
}

TEST_F(RegisterTest, TheDuplicatesPlaceInTheTableSelectsThatPlaceInTheShownList) {
  startProgram();
  typeInto(ui::编辑框1, "王");
  doubleClick(ui::编辑框1);  // the list shows 王五 alone
  StudentFields f = newcomer();
  f[kIdentity] = threeStudents()[0][kIdentity];  // the first stored learner
  fillForm(f);
  click(ui::添加);
  expectRefused("已有此身份证号码！");
  EXPECT_EQ(selectedRow(), 0);
  EXPECT_EQ(textOf(ui::编辑框1), "王五");
}

TEST_F(RegisterTest, AFailedInsertIsReportedAndKeepsTheForm) {
  refuseChanges("INSERT", "student");
  startProgram();
  StudentFields f = newcomer();
  fillForm(f);
  click(ui::添加);
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0].text, "错误代码Add#1！");
  EXPECT_EQ(messages()[0].caption, "添加学员失败");
  EXPECT_EQ(messages()[0].style & rt::mb::kIconMask, 0u);
  EXPECT_EQ(formFields(), f);
  EXPECT_EQ(storedStudents(), threeStudents());
  EXPECT_EQ(readFileBytes("log.log"), "");
}

// Another program holds hj.mdb locked while the program starts: the list
// stays empty, a registration meanwhile fails as any failed insert does, and
// the first one after the lock is gone stores the learner.
TEST_F(RegisterTest, ADatabaseLockedAtStartUpTakesTheFirstRegistrationAfterTheLockIsGone) {
  JX_SKIP_ON_SERVER("a lock on the file");
  ShortOpenLockWait shortWait(std::chrono::milliseconds(100));
  std::vector<std::string> filesBefore;
  for (const auto& entry : std::filesystem::directory_iterator(AppFolder::path()))
    filesBefore.push_back(entry.path().filename().string());
  LockHolder lock(AppFolder::file("hj.mdb"), std::string(db::records::kPassword));
  ASSERT_TRUE(lock.holding());
  startProgram();
  EXPECT_EQ(rowCount(ui::超级列表框1), 0);
  EXPECT_TRUE(messages().empty());

  StudentFields f = newcomer();
  fillForm(f);
  click(ui::添加);
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0].text, "错误代码Add#1！");
  EXPECT_EQ(messages()[0].caption, "添加学员失败");
  EXPECT_EQ(formFields(), f);

  lock.release();
  click(ui::添加);
  ASSERT_EQ(messages().size(), 2u);
  EXPECT_EQ(messages()[1].text, "添加记录成功！");
  std::vector<StudentFields> expected = threeStudents();
  expected.push_back(f);
  EXPECT_EQ(storedStudents(), expected);
  EXPECT_EQ(rowCount(ui::超级列表框1), 4);
  EXPECT_EQ(selectedRow(), 3);
  std::vector<std::string> filesAfter;
  for (const auto& entry : std::filesystem::directory_iterator(AppFolder::path()))
    filesAfter.push_back(entry.path().filename().string());
  std::sort(filesBefore.begin(), filesBefore.end());
  std::sort(filesAfter.begin(), filesAfter.end());
  EXPECT_EQ(filesAfter, filesBefore) << "no file was made";
}

TEST_F(RegisterTest, AnyTextTheFormHoldsIsStoredAndFoundAgainExactly) {
  startProgram();
  StudentFields f = newcomer();
  f[kName] = "  O'Neil \"小\" 100% a_b 𠀀𪚥";
  f[kAddress] = std::string(1000, 'x') + "'";
  f[kNation] = "'";
  f[kCoach3] = "教练'); drop table student; --";
  fillForm(f);
  click(ui::添加);
  ASSERT_EQ(lastMessage().text, "添加记录成功！");
  ASSERT_EQ(storedStudents().size(), 4u);
  EXPECT_EQ(storedStudents()[3], f);
  EXPECT_EQ(listedStudent(3), f);

  typeInto(ui::编辑框1, "O'Neil \"小\" 100% a_b 𠀀");
  doubleClick(ui::编辑框1);
  ASSERT_EQ(rowCount(ui::超级列表框1), 1);
  EXPECT_EQ(listedStudent(0), f);
}

TEST_F(RegisterTest, AMissingLogIsNeverCreatedAndTheRegistrationStillSucceeds) {
  removeFile("log.log");
  startProgram();
  fillForm(newcomer());
  click(ui::添加);
  EXPECT_EQ(lastMessage().text, "添加记录成功！");
  EXPECT_EQ(storedStudents().size(), 4u);
  EXPECT_FALSE(fileExists("log.log"));
}

TEST_F(RegisterTest, EntriesAreAppendedAfterWhatTheLogHolds) {
  const std::string earlier = kSeparatorLine + rt::utf8ToGb("2020年1月1日\r\n添加学员旧  1\r\n");
  writeFileBytes("log.log", earlier);
  startProgram();
  fillForm(newcomer());
  click(ui::添加);
  StudentFields second = newcomer();
  second[kIdentity] = "510105199506061235";
  second[kName] = "钱七";
  fillForm(second);
  click(ui::添加);

  std::string bytes = readFileBytes("log.log");
  ASSERT_EQ(bytes.compare(0, earlier.size(), earlier), 0);
  std::vector<LogEntry> log = logEntries(bytes);
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[1].body, "\r\n添加学员赵六  510105199506061234");
  EXPECT_EQ(log[2].body, "\r\n添加学员钱七  510105199506061235");
}

}  // namespace
