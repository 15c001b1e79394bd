#include "db_fixture.h"

namespace dbtest {
namespace {

// Five rows; "nick" is NULL in the third.
constexpr const char* kPeople =
    "CREATE TABLE people (name TEXT, nick TEXT, age INTEGER);"
    "INSERT INTO people VALUES ('ann', 'a', 30), ('bob', 'b', 41), ('cy', NULL, 25), ('dee', 'd', 52), ('eve', 'e', "
    "19);";

class RecordSet : public DatabaseUnits {
 protected:
  void SetUp() override {
    DatabaseUnits::SetUp();
    file_ = folder_ / "hj.mdb";
    makeDatabase(file_, kKey, kPeople);
    ASSERT_TRUE(openAccess(file_));
    ASSERT_TRUE(bind());
  }
  fs::path file_;
};

TEST_F(RecordSet, AnEmptyResultHasNoFirstRecordAndIsAtItsEnd) {
  ASSERT_TRUE(openRecords("SELECT * FROM people WHERE age > 100"));
  EXPECT_FALSE(moveFirst());
  EXPECT_TRUE(isEof());
  EXPECT_EQ(recordCount(), 0);
  EXPECT_FALSE(read("name"));
  EXPECT_FALSE(moveNext());
  EXPECT_FALSE(moveTo(0));
}

TEST_F(RecordSet, TheEndProbeKeepsThePositionOnEveryRecord) {
  ASSERT_TRUE(openRecords("SELECT name FROM people"));
  EXPECT_EQ(recordCount(), 5);
  ASSERT_TRUE(moveFirst());
  std::vector<std::string> names;
  while (!isEof()) {
    EXPECT_FALSE(isEof()) << "asking twice moves nothing";
    names.push_back(read("name").value_or("?"));
    EXPECT_TRUE(moveNext());
  }
  EXPECT_EQ(names, (std::vector<std::string>{"ann", "bob", "cy", "dee", "eve"}));
  EXPECT_TRUE(isEof());
  EXPECT_FALSE(moveNext()) << "already past the end";
  EXPECT_FALSE(read("name"));
  EXPECT_EQ(recordCount(), 5);
}

TEST_F(RecordSet, MoveToRecordCountsFromTheFirst) {
  ASSERT_TRUE(openRecords("SELECT name FROM people"));
  ASSERT_TRUE(moveTo(3));
  EXPECT_EQ(read("name"), "dee");
  EXPECT_TRUE(moveTo(0));
  EXPECT_EQ(read("name"), "ann");
  EXPECT_TRUE(moveTo(5)) << "the end marker";
  EXPECT_TRUE(isEof());
  EXPECT_TRUE(moveTo(4));
  EXPECT_FALSE(moveTo(6));
  EXPECT_TRUE(isEof()) << "a failed move stands on no record";
  EXPECT_FALSE(moveTo(-1));
  EXPECT_TRUE(moveFirst());
  EXPECT_EQ(read("name"), "ann");
}

TEST_F(RecordSet, ReadsFieldsByNameOrIndex) {
  ASSERT_TRUE(openRecords("SELECT * FROM people"));
  ASSERT_TRUE(moveTo(2));
  EXPECT_EQ(read("name"), "cy");
  EXPECT_EQ(read("NAME"), "cy") << "names without case";
  EXPECT_EQ(read("nick"), "") << "a NULL reads as the empty text";
  EXPECT_EQ(read(0), "cy");
  EXPECT_EQ(read(2), "25");
  EXPECT_EQ(read(TypedValue::ofDouble(2.9)), "25") << "any number is an index";
  EXPECT_EQ(read(TypedValue::ofByte(1)), "");
  EXPECT_EQ(read(TypedValue::ofInt64(0)), "cy");
  EXPECT_FALSE(read(3)) << "an index equal to the field count";
  EXPECT_FALSE(read(-1));
  EXPECT_FALSE(read("height"));
  EXPECT_EQ(read("name"), "cy") << "a failed read keeps the position";
}

TEST_F(RecordSet, ReadFieldTextReplacesTheCallersText) {
  ASSERT_TRUE(openRecords("SELECT * FROM people"));
  char* variable = rt::newText("old text, freed by the read");
  auto readInto = [&](TypedValue field) {
    return ask(rt::cmd::kReadFieldText, {recordsRef(), field, TypedValue::ofPointer(&variable, rt::tag::kText)});
  };
  EXPECT_TRUE(readInto(text("name")));
  EXPECT_STREQ(variable, "ann");
  EXPECT_FALSE(rt::inConstantBlock(variable));
  EXPECT_FALSE(readInto(text("height")));
  EXPECT_EQ(variable, nullptr) << "a failed read stores the empty text";

  variable = const_cast<char*>("a literal"_gb);  // never freed
  EXPECT_TRUE(readInto(TypedValue::ofInt(1)));
  EXPECT_STREQ(variable, "a");

  char* kept = variable;
  EXPECT_FALSE(readInto(TypedValue::ofBool(true))) << "neither a name nor a number";
  EXPECT_EQ(variable, kept) << "the variable keeps its text";
  rt::Free(variable);
}

TEST_F(RecordSet, ASetIsASnapshotOfItsOpen) {
  ASSERT_TRUE(openRecords("SELECT name FROM people"));
  ASSERT_TRUE(execute("DELETE FROM people WHERE age < 40"));
  EXPECT_EQ(recordCount(), 5);
  EXPECT_EQ(read("name"), "ann");
  ASSERT_TRUE(openRecords("", 1)) << "an empty source reopens the remembered one";
  EXPECT_EQ(recordCount(), 2);
  EXPECT_EQ(read("name"), "bob");
}

// Another program changes the table between two reads: the second read has
// the table's columns as they are now, names and kinds, not the ones the
// connection knew when it compiled the statement.
TEST_F(RecordSet, ATableChangedByAnotherProgramReadsWithItsNewColumns) {
  ASSERT_TRUE(openRecords("SELECT * FROM people"));
  EXPECT_EQ(read(2), "30");
  {
    db::DatabaseHandle other = db::openDatabase(file_.string(), kKey, db::OpenMode::kExistingOnly);
    ASSERT_TRUE(other);
    ASSERT_TRUE(db::runScript(other.get(),
                              "DROP TABLE people; CREATE TABLE people (name TEXT, paid MONEY, since DATE, age REAL);"
                              "INSERT INTO people VALUES ('fay', 12.5, '2024-03-01', 30);"));
  }
  ASSERT_TRUE(openRecords("SELECT * FROM people"));
  EXPECT_EQ(recordCount(), 1);
  EXPECT_EQ(read("paid"), "12.5");
  EXPECT_EQ(read("since"), "2024-03-01 00:00:00");
  EXPECT_EQ(read(3), "30.00000000");
  EXPECT_FALSE(read("nick"));
}

TEST_F(RecordSet, AFailedOpenLeavesTheSetClosed) {
  ASSERT_TRUE(openRecords("SELECT name FROM people"));
  EXPECT_FALSE(openRecords("SELECT name FROM nowhere"));
  EXPECT_EQ(recordCount(), -1);
  EXPECT_TRUE(isEof());
  EXPECT_FALSE(moveFirst());
  EXPECT_FALSE(read("name"));
  EXPECT_FALSE(openRecords("SELEC name FROM people"));
  EXPECT_FALSE(openRecords("SELECT 1; SELECT 2"));
  EXPECT_FALSE(openRecords("DELETE FROM people")) << "a change is no source of records";
  EXPECT_EQ(queryValue(file_, kKey, "SELECT count(*) FROM people"), "5") << "and it did not run";

  EXPECT_TRUE(openRecords("SELECT name FROM people")) << "the remembered source was replaced";
  EXPECT_EQ(call(rt::cmd::kCloseRecords, {recordsRef()}).tag, rt::tag::kNone) << "no result";
  EXPECT_EQ(recordCount(), -1);
  EXPECT_TRUE(openRecords("")) << "closing keeps the source";
  EXPECT_EQ(recordCount(), 5);
}

TEST_F(RecordSet, CursorLocationsOutsideOneToThreeAreRefusedWithoutTouchingTheSet) {
  auto openAt = [&](TypedValue location) {
    return ask(rt::cmd::kOpenRecords,
               {recordsRef(), text("SELECT age FROM people WHERE age > 40"), TypedValue::ofInt(1), location});
  };
  ASSERT_TRUE(openRecords("SELECT name FROM people"));
  ASSERT_TRUE(moveTo(1));
  EXPECT_FALSE(openAt(TypedValue::ofInt(0)));
  EXPECT_FALSE(openAt(TypedValue::ofInt(4)));
  EXPECT_EQ(read("name"), "bob");
  EXPECT_EQ(recordCount(), 5);
  for (int location = 1; location <= 3; ++location) {
    EXPECT_TRUE(openAt(TypedValue::ofInt(location)));
    EXPECT_EQ(recordCount(), 2);
  }
}

TEST_F(RecordSet, OpensNeedABoundOpenConnection) {
  EXPECT_FALSE(openRecords("", 1, kSecondRecordSetUnit)) << "never opened, nothing remembered";
  EXPECT_FALSE(openRecords("SELECT * FROM people", 1, kSecondRecordSetUnit)) << "not bound";
  ASSERT_TRUE(bind(kSecondRecordSetUnit));
  EXPECT_TRUE(openRecords("SELECT * FROM people", 1, kSecondRecordSetUnit));

  EXPECT_FALSE(openAccess(folder_ / "missing.mdb"));
  EXPECT_FALSE(openRecords("SELECT * FROM people"));
  EXPECT_EQ(recordCount(), -1);
  EXPECT_TRUE(isEof());

  rt::unregisterUnitObject(kWindow, kConnectionUnit);  // the connection's window went away
  EXPECT_FALSE(openRecords("SELECT * FROM people"));
}

TEST_F(RecordSet, ATableNameOpensTheWholeTable) {
  ASSERT_TRUE(openRecords("people", 2));
  EXPECT_EQ(recordCount(), 5);
  EXPECT_EQ(read(2), "30");
  EXPECT_FALSE(openRecords("people\" WHERE 1 --", 2)) << "the name is a name, not a statement";
}

}  // namespace
}  // namespace dbtest
