// A temporary folder for tests and benchmarks, removed with everything in it
// when the object goes. Failing to make one stops the program at once with
// a message: every step after it would write somewhere unknown.
#pragma once

#include <stdlib.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace jxtest {

class TempFolder {
 public:
  // The folder's name starts with `prefix` (for example "jx-db"); it is made
  // in `parent`, the system's temporary folder unless given.
  explicit TempFolder(const std::string& prefix = "jx-test",
                      const std::filesystem::path& parent = std::filesystem::temp_directory_path()) {
    std::string pattern = (parent / (prefix + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) {
      std::fprintf(stderr, "cannot make a temporary folder %s: %s\n", pattern.c_str(), std::strerror(errno));
      std::abort();
    }
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& nameUtf8) const { return path_ / nameUtf8; }
  // A native (UTF-8) path inside the folder.
  std::string file(const std::string& nameUtf8) const { return (path_ / nameUtf8).string(); }

  static void write(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
  }
  static std::string read(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

 private:
  std::filesystem::path path_;
};

}  // namespace jxtest
