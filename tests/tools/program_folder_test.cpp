// A program folder as the admin tool makes it (init, demo): its settings,
// log and records database, read through the database library as the
// program reads them.
#include <gmock/gmock.h>

#include <cstdio>
#include <set>

#include "db/records_database.h"
#include "db/schema.h"
#include "runtime/encoding.h"
#include "tests/db/db_fixture.h"
#include "tests/tools/admin_tool.h"
#include "tools/demo_data.h"
#include "tools/settings.h"

namespace dbtest {
namespace {

using ::testing::ElementsAre;
using ::testing::IsSupersetOf;

// The check character by the identity-number standard, computed here apart
// from the tool's own.
bool validIdentityNumber(const std::string& number) {
  static const int weights[] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
  if (number.size() != 18) return false;
  int sum = 0;
  for (int i = 0; i < 17; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(number[i]))) return false;
    sum += (number[i] - '0') * weights[i];
  }
  return number[17] == "10X98765432"[sum % 11];
}

// The program's date text: year, "年", month, "月", day, "日", no leading zeros.
bool isDateText(const std::string& text) {
  auto number = [&](size_t& at, size_t minDigits, size_t maxDigits) {
    size_t start = at;
    while (at < text.size() && at - start < maxDigits && std::isdigit(static_cast<unsigned char>(text[at]))) ++at;
    return at - start >= minDigits && (maxDigits == 4 || text[start] != '0');
  };
  auto word = [&](size_t& at, std::string_view w) {
    if (text.compare(at, w.size(), w) != 0) return false;
    at += w.size();
    return true;
  };
  size_t at = 0;
  return number(at, 4, 4) && word(at, "年") && number(at, 1, 2) && word(at, "月") && number(at, 1, 2) &&
         word(at, "日") && at == text.size();
}

class RecordsDatabase : public DatabaseUnits {
 protected:
  fs::path database() const { return folder_ / std::string(db::records::kFileName); }
  bool openProgramDatabase() { return openAccess(database(), std::string(db::records::kPassword).c_str()); }

  // The columns "select *" gives, with their declared types.
  std::vector<std::string> columnNames(const fs::path& file, std::string_view table) {
    db::DatabaseHandle database =
        db::openDatabase(file.string(), std::string(db::records::kPassword), db::OpenMode::kExistingOnly);
    sqlite3_stmt* raw = nullptr;
    std::string sql = "select * from " + std::string(table);
    if (!database || sqlite3_prepare_v2(database.get(), sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) return {};
    db::StatementHandle statement(raw);
    std::vector<std::string> names;
    for (int i = 0; i < sqlite3_column_count(raw); ++i) {
      EXPECT_STREQ(sqlite3_column_decltype(raw, i), "TEXT");
      names.push_back(sqlite3_column_name(raw, i));
    }
    return names;
  }
};

TEST_F(RecordsDatabase, InitMakesAProgramFolderThatTheProgramOpens) {
  fs::path folder = folder_ / "新 school";
  ToolRun run = runTool("init " + quoted(folder));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(fs::file_size(folder / "log.log"), 0u);
  EXPECT_FALSE(fs::exists(folder / "hj.mdb.part"));

  auto settings = admin::readSettingsFile(folder / "systeminfo.ini");
  ASSERT_TRUE(settings);
  EXPECT_THAT(settings->vehicleClasses, IsSupersetOf({"C1", "C2", "B2", "A1"}));
  EXPECT_GE(settings->vehicleClasses.size(), 5u);
  ASSERT_GE(settings->coaches.size(), 2u);
  for (const auto& coach : settings->coaches)
    EXPECT_FALSE(coach.name.empty() || coach.phone.empty() || coach.plate.empty());
  std::string iniBytes = fileBytes(folder / "systeminfo.ini");
  EXPECT_NE(iniBytes.find(rt::utf8ToGb("[教练姓名设置]")), std::string::npos) << "written in GB18030";

  ASSERT_TRUE(openAccess(folder / "hj.mdb", std::string(db::records::kPassword).c_str()));
  ASSERT_TRUE(bind());
  EXPECT_THAT(rows("SELECT name FROM sqlite_master WHERE type = 'table'"),
              ElementsAre("student", "one", "two", "three", "four", "graduation"));
  fs::path file = folder / "hj.mdb";
  for (const db::records::Table& table : db::records::tables())
    EXPECT_EQ(columnNames(file, table.name), std::vector<std::string>(table.columns.begin(), table.columns.end()))
        << table.name;
  EXPECT_TRUE(executeUtf8("insert into one(身份证号码,考试时间) values ('','')")) << "empty text is accepted";
  EXPECT_THAT(rows("select * from one"), ElementsAre("||"));
}

TEST_F(RecordsDatabase, AnExistingDatabaseIsReplacedOnlyWhenAsked) {
  fs::path folder = folder_.path();
  ASSERT_EQ(runTool("init " + quoted(folder)).status, 0);
  std::ofstream(folder / "systeminfo.ini", std::ios::app) << "[mine]\n";
  std::string before = fileBytes(database());

  ToolRun again = runTool("demo " + quoted(folder) + " --learners 3");
  EXPECT_NE(again.status, 0);
  EXPECT_THAT(again.output, ::testing::HasSubstr("already exists"));
  EXPECT_EQ(fileBytes(database()), before);

  ASSERT_EQ(runTool("demo " + quoted(folder) + " --learners 3 --force").status, 0);
  EXPECT_NE(fileBytes(database()), before);
  EXPECT_THAT(fileBytes(folder / "systeminfo.ini"), ::testing::HasSubstr("[mine]")) << "the school's settings stay";

  std::ofstream(folder_ / "a file") << "x";
  EXPECT_NE(runTool("init " + quoted(folder_ / "a file")).status, 0);
  EXPECT_NE(runTool("sql " + quoted(folder_ / "nowhere")).status, 0);
  EXPECT_NE(runTool("demo " + quoted(folder) + " --learners many").status, 0);
  EXPECT_NE(runTool("unknown").status, 0);
  ToolRun help = runTool("--help");
  EXPECT_EQ(help.status, 0);
  // Every command the tool runs is in its help (the README names them all).
  for (const char* command :
       {"init", "demo", "check", "backup", "backups", "restore", "server-init", "server-index", "move", "sql"})
    EXPECT_NE(help.output.find(std::string("jiaxiao-admin ") + command + " "), std::string::npos) << command;
}

TEST_F(RecordsDatabase, DemoDataIsRealisticAndConsistent) {
  fs::path folder = folder_.path();
  ASSERT_EQ(runTool("demo " + quoted(folder) + " --learners 60 --bookings 150 --seed 7").status, 0);
  ASSERT_TRUE(openProgramDatabase());
  ASSERT_TRUE(bind());
  auto settings = admin::readSettingsFile(folder / "systeminfo.ini");
  ASSERT_TRUE(settings);

  std::set<std::string> identities;
  ASSERT_TRUE(openRecords("select * from student"));
  EXPECT_EQ(recordCount(), 60);
  for (moveFirst(); !isEof(); moveNext()) {
    std::string identity = *read("身份证号码");
    EXPECT_TRUE(validIdentityNumber(identity)) << identity;
    EXPECT_TRUE(identities.insert(identity).second) << "unique: " << identity;
    EXPECT_EQ(read("性别"), (identity[16] - '0') % 2 ? "男" : "女");
    EXPECT_EQ(*read("出生日期"),
              identity.substr(6, 4) + "年" + identity.substr(10, 2) + "月" + identity.substr(12, 2) + "日");
    EXPECT_TRUE(isDateText(*read("报名日期"))) << *read("报名日期");
    EXPECT_EQ(read("电话号码")->size(), 11u);
    EXPECT_NE(std::find(settings->vehicleClasses.begin(), settings->vehicleClasses.end(), *read("车型")),
              settings->vehicleClasses.end());
    auto coach = std::find_if(settings->coaches.begin(), settings->coaches.end(),
                              [&](const admin::Coach& c) { return c.name == *read("科二教练"); });
    ASSERT_NE(coach, settings->coaches.end());
    EXPECT_EQ(read("科二教练电话"), coach->phone);
    EXPECT_EQ(read("科二车牌"), coach->plate);
  }

  size_t bookings = 0;
  for (const char* exam : {"select * from one", "select * from two", "select * from three", "select * from four"}) {
    ASSERT_TRUE(openRecords(exam));
    for (moveFirst(); !isEof(); moveNext(), ++bookings) {
      EXPECT_TRUE(identities.count(*read("身份证号码")));
      EXPECT_TRUE(isDateText(*read("考试时间"))) << *read("考试时间");
      EXPECT_THAT(*read("是否通过"), ::testing::AnyOf("", "合格", "不合格"));
    }
  }
  EXPECT_EQ(bookings, 150u);
}

TEST_F(RecordsDatabase, TheFileShowsNothingWithoutThePassword) {
  fs::path folder = folder_.path();
  ASSERT_EQ(runTool("demo " + quoted(folder) + " --learners 40").status, 0);
  ASSERT_TRUE(openProgramDatabase());
  ASSERT_TRUE(bind());
  std::vector<std::string> secrets;
  for (const std::string& row : rows("select 姓名, 身份证号码, 电话号码 from student")) {
    for (size_t start = 0, bar; start <= row.size(); start = bar + 1) {
      bar = row.find('|', start);
      if (bar == std::string::npos) bar = row.size();
      secrets.push_back(row.substr(start, bar - start));
    }
  }
  ASSERT_EQ(secrets.size(), 120u);
  std::string bytes = fileBytes(database());
  for (const std::string& secret : secrets) {
    EXPECT_EQ(bytes.find(secret), std::string::npos) << secret;
    EXPECT_EQ(bytes.find(rt::utf8ToGb(secret)), std::string::npos) << secret;
  }
  EXPECT_EQ(bytes.find("student"), std::string::npos) << "not even the schema";
  EXPECT_FALSE(openAccess(database(), ""));
}

TEST(DateText, HasNoLeadingZeros) {
  EXPECT_EQ(
      admin::dateText(std::chrono::year_month_day{std::chrono::year{2024}, std::chrono::May, std::chrono::day{6}}),
      "2024年5月6日");
  EXPECT_TRUE(isDateText("2024年12月31日"));
  EXPECT_FALSE(isDateText("2024年05月06日"));
}

TEST(IdentityNumber, CheckCharacterOfTheStandardsExample) {
  EXPECT_EQ(admin::identityCheckCharacter("11010519491231002"), 'X');
  EXPECT_TRUE(validIdentityNumber("11010519491231002X"));
}

TEST(SettingsList, SplitsAtEverySeparatorButTheLast) {
  EXPECT_THAT(admin::splitList("a||b|"), ElementsAre("a", "", "b"));
  EXPECT_THAT(admin::splitList("|a"), ElementsAre("", "a"));
  EXPECT_TRUE(admin::splitList("").empty());
}

// The admin tool reads systeminfo.ini by the program's rules: quotes around a
// value go, names ignore ASCII case, the first line of a key counts.
TEST(SettingsFile, ReadsAsTheProgramReads) {
  jxtest::TempFolder folder("jx-settings");
  std::string text = rt::utf8ToGb(
      "[车型信息设置]\r\n车型信息设置 = \"C1|C2\"\r\n车型信息设置=B2\r\n"
      "[端口设置]\r\n端口设置='3'\r\n[教练姓名设置]\r\n教练姓名设置=王|李\r\n");
  jxtest::TempFolder::write(folder / "systeminfo.ini", text);
  std::optional<admin::Settings> settings = admin::readSettingsFile(folder / "systeminfo.ini");
  ASSERT_TRUE(settings);
  EXPECT_EQ(settings->port, 3);
  EXPECT_THAT(settings->vehicleClasses, ElementsAre("C1", "C2"));
  ASSERT_EQ(settings->coaches.size(), 2u);
  EXPECT_EQ(settings->coaches[1].name, "李");

  admin::Settings sample = admin::sampleSettings();
  jxtest::TempFolder::write(folder / "sample.ini", admin::settingsFileText(sample));
  std::optional<admin::Settings> back = admin::readSettingsFile(folder / "sample.ini");
  ASSERT_TRUE(back);
  EXPECT_EQ(back->vehicleClasses, sample.vehicleClasses);
  EXPECT_EQ(back->coaches.back().plate, sample.coaches.back().plate);
}

}  // namespace
}  // namespace dbtest
