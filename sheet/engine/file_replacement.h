// A file written beside its target and renamed over it once complete, so
// that a reader never sees half of it and a failed write leaves the old one.
//
// The folder may be writable by others (a shared school folder), who could
// plant a symbolic link under any name the writer uses. So the temporary
// file gets an unpredictable name, is created exclusively (O_EXCL never
// follows a link), and is written only through the descriptor that created
// it; a library that insists on a file name gets descriptorPath(), which
// names that open file and no directory entry. The only operation on names
// is the final rename, which replaces the target's directory entry (a link
// there included) and never writes through it.
#pragma once

#include <string>
#include <string_view>

namespace sheet {

class FileReplacement {
 public:
  // Creates the temporary file beside `target` with `mode` (less the umask);
  // valid() tells whether that worked, and errno why not.
  explicit FileReplacement(const std::string& target, unsigned mode = 0666);
  ~FileReplacement();  // removes the temporary file unless committed
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  bool valid() const { return fd_ >= 0; }
  int descriptor() const { return fd_; }
  // "/proc/self/fd/N": opening it (even with truncation) reaches the same
  // open file, whatever has become of the temporary name meanwhile.
  std::string descriptorPath() const;
  bool write(std::string_view bytes);
  // Flushes the file to disk and renames it over the target, provided the
  // temporary name still names this file. False and a reason otherwise.
  bool commit(std::string& error);

 private:
  std::string target_;
  std::string temporary_;
  int fd_ = -1;
  bool committed_ = false;
};

}  // namespace sheet
