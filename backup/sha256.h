// SHA-256 of the files of a backup, through libcrypto (OpenSSL), which the
// program has loaded anyway: SQLCipher encrypts with it.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct evp_md_ctx_st;

namespace backup {

class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void add(const void* bytes, size_t count);
  void add(std::string_view bytes) { add(bytes.data(), bytes.size()); }
  // 64 lower-case hexadecimal digits; the object is spent afterwards.
  std::string hexDigest();

 private:
  struct Free {
    void operator()(evp_md_ctx_st* context) const;
  };
  std::unique_ptr<evp_md_ctx_st, Free> context_;
};

// Size and digest of a file; nothing when it cannot be read.
struct FileDigest {
  uint64_t size = 0;
  std::string sha256;
};
std::optional<FileDigest> digestOfFile(const std::filesystem::path& file, std::string* why = nullptr);

// Whether a text is 64 lower-case hexadecimal digits.
bool isSha256Text(std::string_view text);

}  // namespace backup
