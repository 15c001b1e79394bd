#include "runtime/commands/ini_reader.h"

#include <optional>

#include "base/gb18030.h"
#include "base/ini.h"
#include "base/regular_file.h"
#include "base/text.h"
#include "runtime/commands/arguments.h"
#include "runtime/commands/core_commands.h"
#include "runtime/encoding.h"

namespace rt::ini {
namespace {

// Arguments of the read: leading control bytes and blanks (1..32) skipped.
std::string_view withoutLeadingControls(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) >= 1 && static_cast<unsigned char>(s.front()) <= 32)
    s.remove_prefix(1);
  return s;
}

// The longest prefix of at most `limit` bytes that ends on a character boundary.
std::string_view cutToFit(std::string_view text, size_t limit) {
  if (text.size() <= limit) return text;
  size_t end = 0;
  for (size_t next = 0; (next = base::gbk::next(text, end)) <= limit;) end = next;
  return text.substr(0, end);
}

}  // namespace

std::string readValue(std::string_view pathGb, std::string_view sectionGb, std::string_view keyGb,
                      std::string_view fallbackGb) {
  pathGb = withoutLeadingControls(pathGb);
  sectionGb = withoutLeadingControls(sectionGb);
  keyGb = withoutLeadingControls(keyGb);
  if (pathGb.empty() || sectionGb.empty() || keyGb.empty()) return {};
  constexpr size_t kLimit = kValueBufferBytes - 1;
  if (std::optional<std::string> content = base::readRegularFile(toNativePath(pathGb))) {
    if (std::optional<std::string_view> value = base::ini::findValue(*content, sectionGb, keyGb))
      return std::string(cutToFit(*value, kLimit));
  }
  return std::string(cutToFit(base::trimmedEnd(fallbackGb), kLimit));
}

}  // namespace rt::ini

namespace rt::commands {

void ReadIniValue(TypedValue* result, int32_t count, TypedValue* args) {
  setText(result, ini::readValue(textArgument(count, args, 0), textArgument(count, args, 1),
                                 textArgument(count, args, 2), textArgument(count, args, 3)));
}

}  // namespace rt::commands
