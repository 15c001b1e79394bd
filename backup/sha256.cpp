#include "backup/sha256.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "base/text.h"

namespace backup {
namespace {

constexpr size_t kHashReadChunk = 1 << 20;
constexpr size_t kDigestTextLength = 64;

}  // namespace

void Sha256::Free::operator()(evp_md_ctx_st* context) const { EVP_MD_CTX_free(context); }

Sha256::Sha256() : context_(EVP_MD_CTX_new()) {
  if (!context_ || EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) != 1)
    throw std::runtime_error("SHA-256 is not available");
}

Sha256::~Sha256() = default;

void Sha256::add(const void* bytes, size_t count) { EVP_DigestUpdate(context_.get(), bytes, count); }

std::string Sha256::hexDigest() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_DigestFinal_ex(context_.get(), digest, &length);
  return base::hexDigits({digest, length});
}

std::optional<FileDigest> digestOfFile(const std::filesystem::path& file, std::string* why) {
  int descriptor = open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) {
    if (why) *why = "cannot read " + file.string() + ": " + std::strerror(errno);
    return std::nullopt;
  }
  Sha256 hash;
  FileDigest digest;
  std::vector<char> buffer(kHashReadChunk);
  for (;;) {
    ssize_t n = read(descriptor, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      if (why) *why = "cannot read " + file.string() + ": " + std::strerror(errno);
      close(descriptor);
      return std::nullopt;
    }
    if (n == 0) break;
    hash.add(buffer.data(), static_cast<size_t>(n));
    digest.size += static_cast<uint64_t>(n);
  }
  close(descriptor);
  digest.sha256 = hash.hexDigest();
  return digest;
}

bool isSha256Text(std::string_view text) {
  if (text.size() != kDigestTextLength) return false;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

}  // namespace backup
