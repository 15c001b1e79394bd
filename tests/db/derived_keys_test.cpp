// Keys derived for a file's salt (db/derived_keys.h): the derivation gives
// the standard's answers; files made by the engine from the passphrase open
// with keys derived here and files made here open with the engine's own
// derivation; a kept key opens the file and its copies with the passphrase
// it was derived from and with no other, and a file that only shares the
// salt of a kept key is refused as before.
#include "db/derived_keys.h"

#include <openssl/evp.h>

#include "base/text.h"

#include "db_fixture.h"

namespace dbtest {
namespace {

std::string derivedHex(std::string_view passphrase, std::string_view salt, int rounds, size_t bytes) {
  std::vector<unsigned char> output(bytes);
  db::pbkdf2HmacSha1(passphrase, {reinterpret_cast<const unsigned char*>(salt.data()), salt.size()}, rounds, output);
  return base::hexDigits(output);
}

TEST(Pbkdf2HmacSha1, GivesTheStandardsAnswersAndOpenSslsForLongPassphrasesAndKeys) {
  // RFC 6070's test vectors.
  EXPECT_EQ(derivedHex("password", "salt", 1, 20), "0c60c80f961f0e71f3a9b524af6012062fe037a6");
  EXPECT_EQ(derivedHex("password", "salt", 2, 20), "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957");
  EXPECT_EQ(derivedHex("password", "salt", 4096, 20), "4b007901b765489abead49d926f721d065a429c1");
  EXPECT_EQ(derivedHex("passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096, 25),
            "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038");
  using namespace std::string_view_literals;
  EXPECT_EQ(derivedHex("pass\0word"sv, "sa\0lt"sv, 4096, 16), "56fa6aa75548099dcc37d7f03425e0c3");
  // A passphrase longer than a SHA1 block is hashed first; a key of two blocks.
  const std::string longPassphrase(100, 'k');
  const std::string salt = "0123456789abcdef";
  std::array<unsigned char, 32> expected{};
  ASSERT_EQ(PKCS5_PBKDF2_HMAC_SHA1(longPassphrase.data(), static_cast<int>(longPassphrase.size()),
                                   reinterpret_cast<const unsigned char*>(salt.data()), static_cast<int>(salt.size()),
                                   1000, static_cast<int>(expected.size()), expected.data()),
            1);
  EXPECT_EQ(derivedHex(longPassphrase, salt, 1000, expected.size()), base::hexDigits(expected));
}

// A query's first value with the engine deriving the key from the passphrase
// itself (no key kept or derived by the library).
std::string engineQuery(const fs::path& file, const std::string& passphrase, const char* sql) {
  sqlite3* raw = nullptr;
  int opened = sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
  db::DatabaseHandle database(raw);
  if (opened != SQLITE_OK || sqlite3_key(raw, passphrase.data(), static_cast<int>(passphrase.size())) != SQLITE_OK)
    return "<cannot open>";
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(raw, sql, -1, &statement, nullptr) != SQLITE_OK) return sqlite3_errmsg(raw);
  db::StatementHandle kept(statement);
  if (sqlite3_step(statement) != SQLITE_ROW) return "<no row>";
  return reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
}

// A file the engine makes from the passphrase, deriving its key itself.
void engineMakes(const fs::path& file, const std::string& passphrase, const char* script) {
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr), SQLITE_OK);
  db::DatabaseHandle database(raw);
  ASSERT_EQ(sqlite3_key(raw, passphrase.data(), static_cast<int>(passphrase.size())), SQLITE_OK);
  std::string error;
  ASSERT_TRUE(db::runScript(raw, script, &error)) << error;
}

class DerivedKeys : public ::testing::Test {
 protected:
  bool opens(const fs::path& file, const std::string& key) {
    return db::openDatabase(file.string(), key, db::OpenMode::kExistingOnly) != nullptr;
  }
  TempFolder folder_;
};

TEST_F(DerivedKeys, AKeptKeyOpensTheFileAndItsCopiesWithItsOwnPassphraseOnly) {
  fs::path file = folder_ / "hj.mdb";
  engineMakes(file, kKey, kPeople);
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

TEST_F(DerivedKeys, FilesMadeByTheEngineAndMadeHereOpenEitherWay) {
  fs::path byEngine = folder_ / "engine.mdb";
  engineMakes(byEngine, kKey, kPeople);
  std::optional<db::DerivedKey> derived = db::derivedKeyFor(byEngine.string(), kKey);
  ASSERT_TRUE(derived);
  EXPECT_TRUE(derived->derivedNow);
  EXPECT_EQ(queryValue(byEngine, kKey, "SELECT name FROM people"), "ann");
  EXPECT_FALSE(db::derivedKeyFor(byEngine.string(), kKey)->derivedNow) << "the key that opened it is kept";

  // New files get a salt of their own, and the engine opens them with the
  // passphrase alone.
  fs::path first = folder_ / "first.mdb";
  fs::path second = folder_ / "second.mdb";
  makeDatabase(first, kKey, kPeople);
  makeDatabase(second, kKey, kPeople);
  EXPECT_EQ(engineQuery(first, kKey, "SELECT age FROM people"), "30");
  EXPECT_EQ(engineQuery(second, kKey, "SELECT name FROM people"), "ann");
  EXPECT_EQ(engineQuery(first, "wrong", "SELECT age FROM people"), "file is encrypted or is not a database");
  std::string firstSalt = fileBytes(first).substr(0, db::kSaltBytes);
  EXPECT_NE(firstSalt, fileBytes(second).substr(0, db::kSaltBytes));
  EXPECT_NE(firstSalt, std::string("SQLite format 3\0", db::kSaltBytes));
  // Made here, its key is kept: the next open derives nothing.
  EXPECT_FALSE(db::derivedKeyFor(first.string(), kKey)->derivedNow);

  // "Making" a file that already has content opens it as it is.
  std::string error;
  db::DatabaseHandle again = db::openDatabase(byEngine.string(), kKey, db::OpenMode::kCreateNew, &error);
  ASSERT_TRUE(again) << error;
  again.reset();
  EXPECT_EQ(engineQuery(byEngine, kKey, "SELECT name FROM people"), "ann");
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
