// The reader library's settings file on arbitrary contents, read through a
// real file (a memory file reached by its /proc path) as the library reads
// it, against the promises of its format: every mapped port has a one-line
// value the file holds, trimmed unless quotes in the file kept blanks at its
// ends; a decoder needs both of its keys and a
// relative one lies in the library's folder; line ends of either kind read
// the same; a file over the size limit is not read at all (a smaller limit
// than the program's, so that the fuzzer's inputs reach it).
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/regular_file.h"
#include "reader/settings.h"

namespace {

constexpr size_t kSizeLimit = 64 * 1024;

void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "broken promise: %s\n", what);
    std::abort();
  }
}

// One line, with no blank at either end unless the file quoted the value
// (the reader takes a value's enclosing quotes off and keeps what they hold).
bool valueLine(const std::string& text, const std::string& content) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  if (text.empty() || text.find('\n') != std::string::npos) return false;
  if (!blank(text.front()) && !blank(text.back())) return true;
  return content.find('\'' + text + '\'') != std::string::npos || content.find('"' + text + '"') != std::string::npos;
}

std::optional<std::string> readThroughFile(const std::string& content) {
  static int fd = memfd_create("sdtapi.ini", 0);
  if (ftruncate(fd, 0) != 0 || pwrite(fd, content.data(), content.size(), 0) != static_cast<ssize_t>(content.size()))
    std::abort();
  return base::readRegularFile("/proc/self/fd/" + std::to_string(fd), kSizeLimit);
}

bool sameSettings(const sdt::ReaderSettings& a, const sdt::ReaderSettings& b) {
  if (a.ports != b.ports || a.photoDecoder.has_value() != b.photoDecoder.has_value()) return false;
  return !a.photoDecoder ||
         (a.photoDecoder->library == b.photoDecoder->library && a.photoDecoder->function == b.photoDecoder->function);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string content(reinterpret_cast<const char*>(data), size);
  std::optional<std::string> text = readThroughFile(content);
  if (size > kSizeLimit) {
    require(!text, "a file over the limit is not read");
    return 0;
  }
  require(text == content, "a file within the limit is read whole");

  const std::filesystem::path folder = "/library/folder";
  sdt::ReaderSettings settings = sdt::parseSettings(*text, folder);
  for (const auto& [port, device] : settings.ports) {
    require(valueLine(device, content), "a port's device is one line, trimmed unless quoted");
    require(content.find(device) != std::string::npos, "a port's device comes from the file");
    require(sdt::devicePath(settings, port) == device, "a mapped port opens its device");
  }
  if (settings.photoDecoder) {
    require(valueLine(settings.photoDecoder->function, content),
            "the decoder's function is one line, trimmed unless quoted");
    require(settings.photoDecoder->library.is_absolute(), "the decoder's path is absolute");
  }

  std::string crlf;
  for (char c : content) c == '\n' ? crlf += "\r\n" : crlf += c;
  require(sameSettings(settings, sdt::parseSettings(crlf, folder)), "either line end reads the same");
  return 0;
}
