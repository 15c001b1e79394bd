#include "db/derived_keys.h"

#include <fcntl.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "db/sqlite.h"

namespace db {
namespace {

constexpr size_t kKeyBytes = 32;
// The header of a database without encryption: no salt there.
constexpr std::string_view kPlainHeader{"SQLite format 3\0", kSaltBytes};

class KeptKeys {
 public:
  std::optional<std::string> find(std::string_view passphrase, const Salt& salt) {
    std::lock_guard lock(mutex_);
    auto found = keys_.find({std::string(passphrase), salt});
    if (found == keys_.end()) return std::nullopt;
    return found->second;
  }
  void keep(std::string_view passphrase, const Salt& salt, const std::string& rawKeyText) {
    std::lock_guard lock(mutex_);
    keys_[{std::string(passphrase), salt}] = rawKeyText;
  }
  void forget(std::string_view passphrase, const Salt& salt, bool derivedHere) {
    std::lock_guard lock(mutex_);
    keys_.erase({std::string(passphrase), salt});
    if (derivedHere) ownDerivationFits_ = false;
  }
  bool ownDerivationFits() {
    std::lock_guard lock(mutex_);
    return ownDerivationFits_;
  }

 private:
  std::mutex mutex_;
  std::map<std::pair<std::string, Salt>, std::string> keys_;
  bool ownDerivationFits_ = true;
};

KeptKeys& keptKeys() {
  static KeptKeys keys;
  return keys;
}

std::optional<Salt> saltOf(std::string_view pathUtf8) {
  int descriptor = open(std::string(pathUtf8).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (descriptor < 0) return std::nullopt;
  Salt salt{};
  ssize_t read = pread(descriptor, salt.data(), salt.size(), 0);
  close(descriptor);
  if (read != static_cast<ssize_t>(salt.size())) return std::nullopt;
  if (std::memcmp(salt.data(), kPlainHeader.data(), kSaltBytes) == 0) return std::nullopt;
  return salt;
}

// The engine's rounds of key derivation, as it reports them (0 when it does
// not): asking does not derive anything.
int engineRounds() {
  static const int rounds = [] {
    sqlite3* raw = nullptr;
    if (sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      sqlite3_close(raw);
      return 0;
    }
    DatabaseHandle memory(raw);
    if (sqlite3_key(raw, "probe", 5) != SQLITE_OK) return 0;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(raw, "PRAGMA kdf_iter", -1, &statement, nullptr) != SQLITE_OK) return 0;
    StatementHandle rounds(statement);
    return sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int(statement, 0) : 0;
  }();
  return rounds;
}

std::optional<std::string> derive(std::string_view passphrase, const Salt& salt) {
  int rounds = engineRounds();
  if (rounds <= 0) return std::nullopt;
  std::array<unsigned char, kKeyBytes> key{};
  if (PKCS5_PBKDF2_HMAC_SHA1(passphrase.data(), static_cast<int>(passphrase.size()), salt.data(),
                             static_cast<int>(salt.size()), rounds, static_cast<int>(key.size()), key.data()) != 1)
    return std::nullopt;
  constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text = "x'";
  for (unsigned char byte : key) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0xF];
  }
  text += '\'';
  OPENSSL_cleanse(key.data(), key.size());
  return text;
}

}  // namespace

std::optional<DerivedKey> derivedKeyFor(std::string_view pathUtf8, std::string_view passphrase) {
  std::optional<Salt> salt = saltOf(pathUtf8);
  if (!salt) return std::nullopt;
  if (std::optional<std::string> kept = keptKeys().find(passphrase, *salt)) return DerivedKey{*salt, *kept, false};
  if (!keptKeys().ownDerivationFits()) return std::nullopt;
  std::optional<std::string> derived = derive(passphrase, *salt);
  if (!derived) return std::nullopt;
  return DerivedKey{*salt, std::move(*derived), true};
}

void keepDerivedKey(std::string_view passphrase, const DerivedKey& key) {
  keptKeys().keep(passphrase, key.salt, key.rawKeyText);
}

void forgetDerivedKey(std::string_view passphrase, const DerivedKey& key) {
  keptKeys().forget(passphrase, key.salt, key.derivedNow);
}

}  // namespace db
