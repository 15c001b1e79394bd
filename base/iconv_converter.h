// One iconv conversion descriptor (glibc's iconv), owned. Every conversion of
// the program between GB18030, UTF-8 and UTF-16 that the hand-written fast
// paths do not take goes through this class.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace base {

class Converter {
 public:
  // Encoding names as iconv knows them ("GB18030", "UTF-8", "UTF-16LE").
  Converter(const char* to, const char* from);
  ~Converter();
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // False when iconv does not know one of the encodings: every conversion
  // then fails (convert) or gives the empty text (convertReplacing).
  bool usable() const;

  // The whole input converted, or nothing when any of it does not convert.
  std::optional<std::string> convert(std::string_view input);

  // The input converted where a unit of `unitBytes` that does not convert
  // (or a sequence cut short at the end) becomes `replacement` and the
  // conversion goes on after it.
  std::string convertReplacing(std::string_view input, std::string_view replacement, size_t unitBytes);

 private:
  // nullopt on a unit that does not convert when `replacement` is null.
  std::optional<std::string> run(std::string_view input, const std::string_view* replacement, size_t unitBytes);

  iconv_t descriptor_;
};

}  // namespace base
