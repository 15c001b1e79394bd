// The keys the engine derives from a passphrase, kept for the process.
//
// An encrypted file's key is derived from the passphrase and the random salt
// in the file's first 16 bytes with PBKDF2 (64 000 rounds of HMAC-SHA1 in
// the engine's version on Debian 12). That derivation is most of what an open
// costs (some 20 ms; several times that under the sanitizers), and the
// program opens its file three times as it starts, the admin tool and the
// backups open a file and its copies again and again. The key derived for a
// salt is therefore kept, and a file with that salt (the same file, or a copy
// of it) is opened with it as raw key data, which the engine takes without
// deriving anything.
//
// The first key for a salt is derived here with the engine's own iteration
// count. Should the engine derive differently (another version), the key
// derived here does not open the file, the open falls back to the passphrase,
// and this process derives no more keys of its own.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace db {

constexpr size_t kSaltBytes = 16;
using Salt = std::array<unsigned char, kSaltBytes>;

struct DerivedKey {
  Salt salt{};
  std::string rawKeyText;   // x'…', 64 hexadecimal digits, as the engine takes raw key data
  bool derivedNow = false;  // derived for this open, not kept from an earlier one
};

// The key for the file at `pathUtf8` with `passphrase`: kept from an earlier
// open of a file with its salt, or derived now. None when the file has no
// salt to read (missing, shorter than a salt, a database without
// encryption) or when keys derived here proved not to fit the engine.
std::optional<DerivedKey> derivedKeyFor(std::string_view pathUtf8, std::string_view passphrase);

// The key opened its file: later opens of a file with its salt use it.
void keepDerivedKey(std::string_view passphrase, const DerivedKey& key);

// The key did not open a file that the passphrase opened: it is forgotten,
// and when it was derived here, no key is derived here again.
void forgetDerivedKey(std::string_view passphrase, const DerivedKey& key);

}  // namespace db
