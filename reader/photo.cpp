#include "reader/photo.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include <cstdio>
#include <memory>
#include <vector>

#include "reader/sdtapi_photo.h"

namespace sdt {

namespace {

static_assert(SDTAPI_PHOTO_BYTES == kPhotoBytes);

struct LibraryCloser {
  void operator()(void* handle) const { dlclose(handle); }
};
using LibraryHandle = std::unique_ptr<void, LibraryCloser>;

bool writeAll(int fd, const std::vector<uint8_t>& bytes) {
  for (size_t done = 0; done < bytes.size();) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// The whole picture goes to a file beside photo.bmp first and takes its name
// only when complete: a reader of photo.bmp never sees half a picture. The
// folder may be writable by others, so the partial file is made afresh and
// exclusively (never through a link left under its name) and written only
// through the descriptor that made it.
bool replaceFile(const char* name, const std::vector<uint8_t>& bytes) {
  ::unlink(kPartialPhotoFileName);
  int fd = ::open(kPartialPhotoFileName, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool written = writeAll(fd, bytes);
  written = ::close(fd) == 0 && written;
  if (written && std::rename(kPartialPhotoFileName, name) == 0) return true;
  ::unlink(kPartialPhotoFileName);
  return false;
}

}  // namespace

void removePhotoFile() { std::remove(kPhotoFileName); }

bool writePhotoFile(const PhotoDecoderSetting& decoder, const std::array<uint8_t, kPhotoBytes>& photo) {
  LibraryHandle library(dlopen(decoder.library.c_str(), RTLD_NOW | RTLD_LOCAL));
  if (!library) return false;
  auto decode = reinterpret_cast<sdtapi_photo_decoder>(dlsym(library.get(), decoder.function.c_str()));
  if (!decode) return false;
  std::vector<uint8_t> picture(SDTAPI_PICTURE_CAPACITY);
  int32_t length =
      decode(photo.data(), static_cast<int32_t>(photo.size()), picture.data(), static_cast<int32_t>(picture.size()));
  if (length <= 0 || length > static_cast<int32_t>(picture.size())) return false;
  picture.resize(static_cast<size_t>(length));
  return replaceFile(kPhotoFileName, picture);
}

}  // namespace sdt
