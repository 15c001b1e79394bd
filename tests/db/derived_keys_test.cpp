// Files opened again with the key derived for their salt (db/derived_keys.h):
// a kept key opens the file and its copies with the passphrase it was derived
// from and with no other, and a file that only shares the salt of a kept key
// is refused as before.
#include "db/derived_keys.h"

#include "db_fixture.h"

namespace dbtest {
namespace {

constexpr const char* kPeople = "CREATE TABLE people (name TEXT, age INTEGER); INSERT INTO people VALUES ('ann', 30);";

class DerivedKeys : public ::testing::Test {
 protected:
  bool opens(const fs::path& file, const std::string& key) {
    return db::openDatabase(file.string(), key, db::OpenMode::kExistingOnly) != nullptr;
  }
  TempFolder folder_;
};

TEST_F(DerivedKeys, AKeptKeyOpensTheFileAndItsCopiesWithItsOwnPassphraseOnly) {
  fs::path file = folder_ / "hj.mdb";
  makeDatabase(file, kKey, kPeople);
  std::optional<db::DerivedKey> first = db::derivedKeyFor(file.string(), kKey);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->rawKeyText.size(), 67u);
  ASSERT_TRUE(opens(file, kKey));
  // The second open takes the key kept by the first.
  std::optional<db::DerivedKey> kept = db::derivedKeyFor(file.string(), kKey);
  ASSERT_TRUE(kept);
  EXPECT_FALSE(kept->derivedNow);
  EXPECT_EQ(kept->rawKeyText, first->rawKeyText);

  fs::path copy = folder_ / "copy.mdb";
  fs::copy_file(file, copy);
  EXPECT_EQ(queryValue(copy, kKey, "SELECT age FROM people"), "30");
  EXPECT_FALSE(opens(copy, "wrong"));
  EXPECT_FALSE(opens(file, "58203917461"));
  EXPECT_FALSE(opens(file, ""));
  EXPECT_EQ(queryValue(file, kKey, "SELECT name FROM people"), "ann");
}

TEST_F(DerivedKeys, AFileThatOnlySharesTheSaltOfAKeptKeyIsRefusedAndTheOtherStillOpens) {
  fs::path file = folder_ / "hj.mdb";
  makeDatabase(file, kKey, kPeople);
  ASSERT_TRUE(opens(file, kKey));
  // Another passphrase's file given the first file's salt: neither the kept
  // key nor the passphrase opens it.
  fs::path other = folder_ / "other.mdb";
  makeDatabase(other, "another passphrase", kPeople);
  std::string bytes = fileBytes(other);
  bytes.replace(0, db::kSaltBytes, fileBytes(file).substr(0, db::kSaltBytes));
  std::ofstream(other, std::ios::binary | std::ios::trunc) << bytes;
  EXPECT_FALSE(opens(other, kKey));
  EXPECT_FALSE(opens(other, "another passphrase"));
  EXPECT_TRUE(opens(file, kKey));
  std::optional<db::DerivedKey> kept = db::derivedKeyFor(file.string(), kKey);
  ASSERT_TRUE(kept);
  EXPECT_FALSE(kept->derivedNow) << "the refused file did not make the process forget the key";
}

TEST_F(DerivedKeys, NoKeyIsDerivedForAFileWithoutASalt) {
  fs::path plain = folder_ / "plain.db";
  makeDatabase(plain, "", kPeople);
  EXPECT_FALSE(db::derivedKeyFor(plain.string(), kKey));
  EXPECT_FALSE(db::derivedKeyFor((folder_ / "missing.mdb").string(), kKey));
  fs::path shortFile = folder_ / "short.mdb";
  std::ofstream(shortFile) << "short";
  EXPECT_FALSE(db::derivedKeyFor(shortFile.string(), kKey));
  EXPECT_FALSE(opens(shortFile, kKey));
}

}  // namespace
}  // namespace dbtest
