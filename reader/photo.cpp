#include "reader/photo.h"

#include <dlfcn.h>

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

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};

// The whole picture goes to a file beside photo.bmp first and takes its name
// only when complete: a reader of photo.bmp never sees half a picture.
bool replaceFile(const char* name, const std::vector<uint8_t>& bytes) {
  {
    std::unique_ptr<FILE, FileCloser> file(std::fopen(kPartialPhotoFileName, "wb"));
    if (!file) return false;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() || std::fflush(file.get()) != 0) {
      file.reset();
      std::remove(kPartialPhotoFileName);
      return false;
    }
  }
  if (std::rename(kPartialPhotoFileName, name) == 0) return true;
  std::remove(kPartialPhotoFileName);
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
