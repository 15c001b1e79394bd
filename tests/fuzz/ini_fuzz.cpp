// The settings reader on arbitrary file contents and names, through a real
// file (a memory file reached by its /proc path).
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "runtime/commands/core_commands.h"
#include "runtime/commands/ini_reader.h"
#include "runtime/heap.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

int memoryFile() {
  static int fd = memfd_create("ini", 0);
  return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  std::string section = in.text(), key = in.text(), fallback = in.text();
  std::string content(reinterpret_cast<const char*>(data), size);

  std::optional<std::string> found = rt::ini::findValue(content, section, key);
  if (found && found->size() > content.size()) std::abort();

  int fd = memoryFile();
  if (ftruncate(fd, 0) != 0 || pwrite(fd, content.data(), content.size(), 0) != static_cast<ssize_t>(content.size()))
    return 0;
  std::string path = "/proc/self/fd/" + std::to_string(fd);
  rt::TypedValue args[] = {rt::TypedValue::ofText(path.c_str()), rt::TypedValue::ofText(section.c_str()),
                           rt::TypedValue::ofText(key.c_str()), rt::TypedValue::ofText(fallback.c_str())};
  rt::TypedValue result;
  rt::commands::ReadIniValue(&result, 4, args);
  const char* value = result.asText();
  if (value && std::string(value).size() >= rt::ini::kValueBufferBytes) std::abort();
  rt::Free(result.pointer<char>());
  return 0;
}
