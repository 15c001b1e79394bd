#include "runtime/commands/ini_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/commands/arguments.h"
#include "runtime/commands/core_commands.h"
#include "runtime/commands/gbk.h"
#include "runtime/encoding.h"

namespace rt::ini {
namespace {

constexpr char kComment = ';';
constexpr char kSectionOpen = '[';
constexpr char kSectionClose = ']';
constexpr char kAssign = '=';

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Arguments of the read: leading control bytes and blanks (1..32) skipped.
std::string_view withoutLeadingControls(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) >= 1 && static_cast<unsigned char>(s.front()) <= 32)
    s.remove_prefix(1);
  return s;
}

std::string_view unquoted(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

// The longest prefix of at most `limit` bytes that ends on a character boundary.
std::string_view cutToFit(std::string_view text, size_t limit) {
  if (text.size() <= limit) return text;
  size_t end = 0;
  for (size_t next = 0; (next = gbk::next(text, end)) <= limit;) end = next;
  return text.substr(0, end);
}

// Reads a regular file whole; anything else (a folder, a device that never
// ends, a pipe that would block) counts as missing.
bool readWholeFile(const std::string& nativePath, std::string& content) {
  int fd;
  do fd = open(nativePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return false;
  }
  char buffer[8192];
  bool ok = true;
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    content.append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  return ok;
}

}  // namespace

std::optional<std::string> findValue(std::string_view content, std::string_view section, std::string_view key) {
  section = trimmed(section);
  key = trimmed(key);
  bool inSection = false;
  while (!content.empty()) {
    size_t end = content.find('\n');
    std::string_view line = trimmed(content.substr(0, end));
    content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
    if (line.empty() || line.front() == kComment) continue;
    if (line.front() == kSectionOpen) {
      std::string_view name = line.substr(1);
      name = trimmed(name.substr(0, gbk::find(name, kSectionClose)));
      inSection = gbk::equalIgnoringCase(name, section);
      continue;
    }
    if (!inSection) continue;
    size_t assign = line.find(kAssign);
    if (!gbk::equalIgnoringCase(trimmed(line.substr(0, assign)), key)) continue;
    if (assign == std::string_view::npos) return std::string();
    return std::string(unquoted(trimmed(line.substr(assign + 1))));
  }
  return std::nullopt;
}

std::string readValue(std::string_view pathGb, std::string_view sectionGb, std::string_view keyGb,
                      std::string_view fallbackGb) {
  pathGb = withoutLeadingControls(pathGb);
  sectionGb = withoutLeadingControls(sectionGb);
  keyGb = withoutLeadingControls(keyGb);
  if (pathGb.empty() || sectionGb.empty() || keyGb.empty()) return {};
  constexpr size_t kLimit = kValueBufferBytes - 1;
  std::string content;
  if (readWholeFile(toNativePath(pathGb), content)) {
    if (std::optional<std::string> value = findValue(content, sectionGb, keyGb))
      return std::string(cutToFit(*value, kLimit));
  }
  while (!fallbackGb.empty() && isBlank(fallbackGb.back())) fallbackGb.remove_suffix(1);
  return std::string(cutToFit(fallbackGb, kLimit));
}

}  // namespace rt::ini

namespace rt::commands {

void ReadIniValue(TypedValue* result, int32_t count, TypedValue* args) {
  setText(result, ini::readValue(textArgument(count, args, 0), textArgument(count, args, 1),
                                 textArgument(count, args, 2), textArgument(count, args, 3)));
}

}  // namespace rt::commands
