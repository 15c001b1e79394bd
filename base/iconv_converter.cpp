#include "base/iconv_converter.h"

#include <algorithm>
#include <cerrno>

namespace base {
namespace {
const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(-1);
constexpr size_t kFailed = static_cast<size_t>(-1);
}  // namespace

Converter::Converter(const char* to, const char* from) : descriptor_(iconv_open(to, from)) {}

Converter::~Converter() {
  if (descriptor_ != kNoDescriptor) iconv_close(descriptor_);
}

bool Converter::usable() const { return descriptor_ != kNoDescriptor; }

std::optional<std::string> Converter::convert(std::string_view input) { return run(input, nullptr, 0); }

std::string Converter::convertReplacing(std::string_view input, std::string_view replacement, size_t unitBytes) {
  return run(input, &replacement, unitBytes).value_or(std::string());
}

std::optional<std::string> Converter::run(std::string_view input, const std::string_view* replacement,
                                          size_t unitBytes) {
  if (!usable()) return std::nullopt;
  iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);  // a fresh shift state
  std::string output;
  char chunk[512];
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  while (inLeft > 0) {
    char* out = chunk;
    size_t outLeft = sizeof chunk;
    size_t done = iconv(descriptor_, &in, &inLeft, &out, &outLeft);
    output.append(chunk, static_cast<size_t>(out - chunk));
    if (done != kFailed || errno == E2BIG) continue;
    // EILSEQ or EINVAL: a unit that does not convert, or one cut short.
    if (replacement == nullptr) return std::nullopt;
    size_t skip = std::min(inLeft, std::max<size_t>(unitBytes, 1));
    in += skip;
    inLeft -= skip;
    output += *replacement;
  }
  char* out = chunk;
  size_t outLeft = sizeof chunk;
  if (iconv(descriptor_, nullptr, nullptr, &out, &outLeft) == kFailed) return std::nullopt;
  output.append(chunk, static_cast<size_t>(out - chunk));
  return output;
}

}  // namespace base
