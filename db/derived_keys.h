// The keys the engine derives from a passphrase, kept for the process.
//
// An encrypted file's key is derived from the passphrase and the random salt
// in the file's first 16 bytes with PBKDF2 (64 000 rounds of HMAC-SHA1 in
// the engine's version on Debian 12). That derivation is most of what an open
// costs, and the program opens its file three times as it starts, the admin
// tool and the backups open a file and its copies again and again. The key
// derived for a salt is therefore kept, and a file with that salt (the same
// file, or a copy of it) is opened with it as raw key data, which the engine
// takes without deriving anything.
//
// Keys are derived here, not by the engine: the engine derives through
// OpenSSL's PBKDF2, which allocates and frees a digest context in every round
// (some 30 ms a key in a release build, ten times that under the sanitizers'
// allocator); the derivation here keeps the two prepared HMAC states on the
// stack and copies them each round (some 14 ms, and the same under the
// sanitizers). A new file gets a random salt of ours and the key derived for
// it, given to the engine as raw key data with the salt.
//
// Keys are derived here only when the engine reports derivation parameters
// this derivation reproduces (PBKDF2-HMAC-SHA1 at its `kdf_iter`). Should a
// key derived here still not open a file the passphrase opens, the open falls
// back to the passphrase, and this process derives no more keys of its own,
// for existing files or new ones.
#pragma once

#include <array>
#include <optional>
#include <span>
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

// PBKDF2 with HMAC-SHA1 (RFC 8018), `output.size()` bytes.
void pbkdf2HmacSha1(std::string_view passphrase, std::span<const unsigned char> salt, int rounds,
                    std::span<unsigned char> output);

// The key for the file at `pathUtf8` with `passphrase`: kept from an earlier
// open of a file with its salt, or derived now. None when the file has no
// salt to read (missing, shorter than a salt, a database without
// encryption) or when keys derived here proved not to fit the engine.
std::optional<DerivedKey> derivedKeyFor(std::string_view pathUtf8, std::string_view passphrase);

// The key for a new file, with a new random salt: none when keys derived here
// do not fit the engine. `rawKeyTextWithSalt` is what the engine is given to
// make the file; keep the key once the file is made.
std::optional<DerivedKey> keyForNewFile(std::string_view passphrase);
std::string rawKeyTextWithSalt(const DerivedKey& key);

// The key opened its file: later opens of a file with its salt use it.
void keepDerivedKey(std::string_view passphrase, const DerivedKey& key);

// The key did not open a file that the passphrase opened: it is forgotten,
// and when it was derived here, no key is derived here again.
void forgetDerivedKey(std::string_view passphrase, const DerivedKey& key);

}  // namespace db
