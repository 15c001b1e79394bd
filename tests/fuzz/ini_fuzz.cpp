// The settings reader on arbitrary file contents and names, through a real
// file (a memory file reached by its /proc path), with values long enough to
// reach the cut of the value buffer: what the command returns is the file's
// value (or the fallback), cut to fewer bytes than the buffer holds at a
// character boundary and as long as such a cut can be.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "base/gb18030.h"
#include "base/ini.h"
#include "runtime/commands/core_commands.h"
#include "runtime/commands/ini_reader.h"
#include "runtime/heap.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

constexpr size_t kLimit = rt::ini::kValueBufferBytes - 1;
// Values a few times the buffer: a short input repeats a piece of value.
constexpr size_t kMostRepeats = 4 * rt::ini::kValueBufferBytes;

void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "broken promise: %s\n", what);
    std::abort();
  }
}

int memoryFile() {
  static int fd = memfd_create("ini", 0);
  return fd;
}

bool atBoundary(std::string_view text, size_t at) {
  size_t pos = 0;
  while (pos < at) pos = base::gbk::next(text, pos);
  return pos == at;
}

// `read` is `whole` cut as the buffer cuts it.
void requireCutOf(std::string_view whole, std::string_view read) {
  require(whole.substr(0, read.size()) == read, "the value read begins the value");
  require(read.size() <= kLimit, "the value read fits the buffer");
  if (whole.size() <= kLimit) {
    require(read.size() == whole.size(), "a value that fits is read whole");
    return;
  }
  require(atBoundary(whole, read.size()), "the cut falls between characters");
  require(base::gbk::next(whole, read.size()) > kLimit, "the cut keeps every character that fits");
}

std::string readThroughCommand(const std::string& content, const std::string& section, const std::string& key,
                               const std::string& fallback) {
  int fd = memoryFile();
  if (ftruncate(fd, 0) != 0 || pwrite(fd, content.data(), content.size(), 0) != static_cast<ssize_t>(content.size()))
    std::abort();
  std::string path = "/proc/self/fd/" + std::to_string(fd);
  rt::TypedValue args[] = {rt::TypedValue::ofText(path.c_str()), rt::TypedValue::ofText(section.c_str()),
                           rt::TypedValue::ofText(key.c_str()), rt::TypedValue::ofText(fallback.c_str())};
  rt::TypedValue result;
  rt::commands::ReadIniValue(&result, 4, args);
  const char* value = result.asText();
  std::string read = value ? value : "";
  rt::Free(result.pointer<char>());
  return read;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  std::string section = in.runtimeText(16), key = in.runtimeText(16), fallback = in.runtimeText(64);
  std::string piece = in.runtimeText(64);
  size_t repeats = in.below(kMostRepeats);
  std::string content;
  if (in.byte() & 1) {
    // The value under its section and key, with whatever else the input holds.
    content = "[" + section + "]\n" + key + "=";
    for (size_t i = 0; i < repeats && !piece.empty(); i += piece.size()) content += piece;
    content += "\n";
  }
  if (in.byte() & 1) fallback.append(repeats % (2 * rt::ini::kValueBufferBytes), 'x');
  content += in.bytes(in.remaining());

  // The reader skips leading control bytes and blanks of the names; none
  // left reads as the empty text.
  auto withoutLeadingControls = [](std::string_view name) {
    while (!name.empty() && static_cast<unsigned char>(name.front()) >= 1 &&
           static_cast<unsigned char>(name.front()) <= 32)
      name.remove_prefix(1);
    return name;
  };
  std::string_view sectionRead = withoutLeadingControls(section), keyRead = withoutLeadingControls(key);
  std::optional<std::string_view> found = base::ini::findValue(content, sectionRead, keyRead);
  if (found) require(found->size() <= content.size(), "a value comes from the file");
  std::string read = readThroughCommand(content, section, key, fallback);
  if (sectionRead.empty() || keyRead.empty()) {
    require(read.empty(), "no section or key reads as empty");
    return 0;
  }
  if (found) {
    requireCutOf(*found, read);
  } else {
    std::string_view trimmed = fallback;
    while (!trimmed.empty() && isBlank(trimmed.back())) trimmed.remove_suffix(1);
    requireCutOf(trimmed, read);
  }
  return 0;
}
