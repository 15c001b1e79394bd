#include "db/derived_keys.h"

// SHA1's own functions (deprecated in OpenSSL 3 in favour of EVP contexts,
// which allocate when copied) let a round copy a prepared state on the stack.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <fcntl.h>
#include <openssl/crypto.h>
#include <openssl/rand.h>
#include <openssl/sha.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <map>
#include <mutex>
#include <utility>

#include "base/text.h"
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

// A row of an engine pragma as text, none when it gives no row.
std::optional<std::string> pragmaText(sqlite3* database, const char* pragma) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(database, pragma, -1, &raw, nullptr) != SQLITE_OK) return std::nullopt;
  StatementHandle statement(raw);
  if (sqlite3_step(raw) != SQLITE_ROW) return std::nullopt;
  auto* text = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
  return std::string(text ? text : "");
}

// Versions of the engine from 4 on name their derivation; the 3.x versions
// all derived with HMAC-SHA1.
bool engineDerivesWithHmacSha1(sqlite3* database) {
  if (std::optional<std::string> algorithm = pragmaText(database, "PRAGMA cipher_kdf_algorithm"))
    return *algorithm == "PBKDF2_HMAC_SHA1";
  return pragmaText(database, "PRAGMA cipher_version").value_or("").starts_with("3.");
}

// The engine's rounds of PBKDF2-HMAC-SHA1 as it reports them; 0 when it
// derives otherwise. Asking does not derive anything.
int engineRounds() {
  static const int rounds = [] {
    sqlite3* raw = nullptr;
    int opened = sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE, nullptr);
    DatabaseHandle memory(raw);
    if (opened != SQLITE_OK || sqlite3_key(raw, "probe", 5) != SQLITE_OK) return 0;
    if (!engineDerivesWithHmacSha1(raw)) return 0;
    std::optional<std::string> iterations = pragmaText(raw, "PRAGMA kdf_iter");
    return iterations ? std::atoi(iterations->c_str()) : 0;
  }();
  return rounds;
}

// HMAC-SHA1 with the key's inner and outer pads hashed once (RFC 2104).
class HmacSha1 {
 public:
  static constexpr size_t kDigestBytes = SHA_DIGEST_LENGTH;
  using Digest = std::array<unsigned char, kDigestBytes>;

  explicit HmacSha1(std::string_view key) {
    std::array<unsigned char, SHA_CBLOCK> block{};
    if (key.size() > block.size())
      SHA1(reinterpret_cast<const unsigned char*>(key.data()), key.size(), block.data());
    else
      std::memcpy(block.data(), key.data(), key.size());
    std::array<unsigned char, SHA_CBLOCK> pad{};
    prepare(inner_, block, pad, 0x36);
    prepare(outer_, block, pad, 0x5c);
    OPENSSL_cleanse(block.data(), block.size());
    OPENSSL_cleanse(pad.data(), pad.size());
  }
  ~HmacSha1() {
    OPENSSL_cleanse(&inner_, sizeof inner_);
    OPENSSL_cleanse(&outer_, sizeof outer_);
    OPENSSL_cleanse(&work_, sizeof work_);
  }
  HmacSha1(const HmacSha1&) = delete;
  HmacSha1& operator=(const HmacSha1&) = delete;

  // The MAC of the parts, one after the other, into `digest`.
  void mac(std::initializer_list<std::span<const unsigned char>> parts, Digest& digest) {
    work_ = inner_;
    for (std::span<const unsigned char> part : parts) SHA1_Update(&work_, part.data(), part.size());
    SHA1_Final(digest.data(), &work_);
    work_ = outer_;
    SHA1_Update(&work_, digest.data(), digest.size());
    SHA1_Final(digest.data(), &work_);
  }

 private:
  static void prepare(SHA_CTX& context, const std::array<unsigned char, SHA_CBLOCK>& block,
                      std::array<unsigned char, SHA_CBLOCK>& pad, unsigned char with) {
    for (size_t i = 0; i < block.size(); ++i) pad[i] = block[i] ^ with;
    SHA1_Init(&context);
    SHA1_Update(&context, pad.data(), pad.size());
  }

  SHA_CTX inner_{};
  SHA_CTX outer_{};
  SHA_CTX work_{};  // the round's state, cleansed once at the end
};

std::optional<std::string> derive(std::string_view passphrase, const Salt& salt) {
  int rounds = engineRounds();
  if (rounds <= 0) return std::nullopt;
  std::array<unsigned char, kKeyBytes> key{};
  pbkdf2HmacSha1(passphrase, salt, rounds, key);
  std::string text = "x'" + base::hexDigits(key) + "'";
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

void pbkdf2HmacSha1(std::string_view passphrase, std::span<const unsigned char> salt, int rounds,
                    std::span<unsigned char> output) {
  HmacSha1 hmac(passphrase);
  HmacSha1::Digest round{};
  HmacSha1::Digest sum{};
  for (uint32_t block = 1; !output.empty(); ++block) {
    const std::array<unsigned char, 4> blockNumber{
        static_cast<unsigned char>(block >> 24), static_cast<unsigned char>(block >> 16),
        static_cast<unsigned char>(block >> 8), static_cast<unsigned char>(block)};
    hmac.mac({salt, blockNumber}, round);
    sum = round;
    for (int i = 1; i < rounds; ++i) {
      hmac.mac({round}, round);
      for (size_t j = 0; j < sum.size(); ++j) sum[j] ^= round[j];
    }
    size_t taken = std::min(output.size(), sum.size());
    std::memcpy(output.data(), sum.data(), taken);
    output = output.subspan(taken);
  }
  OPENSSL_cleanse(round.data(), round.size());
  OPENSSL_cleanse(sum.data(), sum.size());
}

std::optional<DerivedKey> keyForNewFile(std::string_view passphrase) {
  if (!keptKeys().ownDerivationFits()) return std::nullopt;
  Salt salt{};
  if (RAND_bytes(salt.data(), static_cast<int>(salt.size())) != 1) return std::nullopt;
  std::optional<std::string> derived = derive(passphrase, salt);
  if (!derived) return std::nullopt;
  return DerivedKey{salt, std::move(*derived), true};
}

std::string rawKeyTextWithSalt(const DerivedKey& key) {
  // The salt's digits follow the key's inside the quotes.
  std::string text = key.rawKeyText;
  text.insert(text.size() - 1, base::hexDigits(key.salt));
  return text;
}

void keepDerivedKey(std::string_view passphrase, const DerivedKey& key) {
  keptKeys().keep(passphrase, key.salt, key.rawKeyText);
}

void forgetDerivedKey(std::string_view passphrase, const DerivedKey& key) {
  keptKeys().forget(passphrase, key.salt, key.derivedNow);
}

}  // namespace db
