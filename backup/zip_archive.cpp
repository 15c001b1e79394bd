#include "backup/zip_archive.h"

#include <fcntl.h>
#include <unistd.h>
#include <zip.h>

#include <cerrno>

#include "backup/files.h"
#include "backup/names.h"

namespace backup {
namespace {

// libzip reports its progress in steps of a tenth of the archive.
constexpr double kProgressPrecision = 0.1;

std::string zipErrorText(int code) {
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  std::string text = zip_error_strerror(&error);
  zip_error_fini(&error);
  return text;
}

std::string archiveErrorText(zip_t* archive) { return zip_error_strerror(zip_get_error(archive)); }

struct Discard {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};

void onProgress(zip_t*, double, void* control) { static_cast<const Control*>(control)->tick(); }
int onCancel(zip_t*, void* control) { return static_cast<const Control*>(control)->cancelled() ? 1 : 0; }

struct FileCloser {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};

}  // namespace

bool writeArchive(const std::filesystem::path& path, const std::vector<EntrySource>& entries,
                  const std::string& manifestText, const Control& control, std::string* why) {
  int code = 0;
  std::unique_ptr<zip_t, Discard> archive(zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code));
  if (!archive) {
    if (why) *why = "cannot write " + path.string() + ": " + zipErrorText(code);
    return false;
  }
  auto failed = [&](const std::string& what) {
    if (why) *why = what + ": " + archiveErrorText(archive.get());
    return false;
  };
  for (const EntrySource& entry : entries) {
    zip_source_t* source = zip_source_file(archive.get(), entry.file.c_str(), 0, 0);
    if (!source) return failed("cannot read " + entry.file.string());
    zip_int64_t index = zip_file_add(archive.get(), entry.name.c_str(), source, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
      zip_source_free(source);
      return failed("cannot add " + entry.name);
    }
    auto method = entry.compress ? ZIP_CM_DEFLATE : ZIP_CM_STORE;
    if (zip_set_file_compression(archive.get(), static_cast<zip_uint64_t>(index), method, 0) != 0)
      return failed("cannot add " + entry.name);
  }
  zip_source_t* manifest = zip_source_buffer(archive.get(), manifestText.data(), manifestText.size(), 0);
  if (!manifest) return failed("cannot add the manifest");
  if (zip_file_add(archive.get(), std::string(kManifestEntry).c_str(), manifest, ZIP_FL_ENC_UTF_8) < 0) {
    zip_source_free(manifest);
    return failed("cannot add the manifest");
  }
  zip_register_progress_callback_with_state(archive.get(), kProgressPrecision, &onProgress, nullptr,
                                            const_cast<Control*>(&control));
  zip_register_cancel_callback_with_state(archive.get(), &onCancel, nullptr, const_cast<Control*>(&control));
  if (zip_close(archive.get()) != 0) {
    if (control.cancelled()) {
      if (why) *why = "cancelled";
      return false;
    }
    return failed("cannot write " + path.string());
  }
  archive.release();  // closed
  return true;
}

void ArchiveReader::Close::operator()(zip_t* archive) const { zip_discard(archive); }

ArchiveReader::ArchiveReader(zip_t* archive) : archive_(archive) {
  zip_int64_t count = zip_get_num_entries(archive, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
    names_.emplace_back(name ? name : "");
  }
}

std::optional<ArchiveReader> ArchiveReader::open(const std::filesystem::path& path, std::string* why) {
  int code = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
  if (!archive) {
    if (why) *why = "it is not a sound archive (" + zipErrorText(code) + ")";
    return std::nullopt;
  }
  return ArchiveReader(archive);
}

std::optional<std::string> ArchiveReader::readSmall(const std::string& name, size_t limit, std::string* why) const {
  zip_stat_t info;
  zip_stat_init(&info);
  if (zip_stat(archive_.get(), name.c_str(), 0, &info) != 0 || !(info.valid & ZIP_STAT_SIZE)) {
    if (why) *why = "it holds no " + name;
    return std::nullopt;
  }
  if (info.size > limit) {
    if (why) *why = "its " + name + " is too large";
    return std::nullopt;
  }
  std::unique_ptr<zip_file_t, FileCloser> file(zip_fopen(archive_.get(), name.c_str(), 0));
  if (!file) {
    if (why) *why = "its " + name + " cannot be read: " + archiveErrorText(archive_.get());
    return std::nullopt;
  }
  std::string bytes(static_cast<size_t>(info.size), '\0');
  zip_int64_t n = bytes.empty() ? 0 : zip_fread(file.get(), bytes.data(), bytes.size());
  if (n != static_cast<zip_int64_t>(bytes.size())) {
    if (why) *why = "its " + name + " cannot be read: " + zip_error_strerror(zip_file_get_error(file.get()));
    return std::nullopt;
  }
  return bytes;
}

std::optional<FileDigest> ArchiveReader::read(const std::string& name, const std::filesystem::path* target,
                                              const Access& access, const Control& control, std::string* why) const {
  std::unique_ptr<zip_file_t, FileCloser> file(zip_fopen(archive_.get(), name.c_str(), 0));
  if (!file) {
    if (why) *why = "its " + name + " cannot be read: " + archiveErrorText(archive_.get());
    return std::nullopt;
  }
  int output = -1;
  if (target) {
    output = ::open(target->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, access.file);
    if (output < 0 || !applyAccess(output, access.file, access, why)) {
      if (output < 0 && why) *why = "cannot write " + target->string() + ": " + systemText(errno);
      if (output >= 0) close(output);
      return std::nullopt;
    }
  }
  Sha256 hash;
  FileDigest digest;
  std::vector<char> buffer(kCopyChunk);
  bool ok = true;
  for (;;) {
    if (control.cancelled()) {
      if (why) *why = "cancelled";
      ok = false;
      break;
    }
    zip_int64_t n = zip_fread(file.get(), buffer.data(), buffer.size());
    if (n < 0) {
      if (why) *why = "its " + name + " is damaged (" + zip_error_strerror(zip_file_get_error(file.get())) + ")";
      ok = false;
      break;
    }
    if (n == 0) break;
    hash.add(buffer.data(), static_cast<size_t>(n));
    digest.size += static_cast<uint64_t>(n);
    if (output >= 0 && !writeAll(output, buffer.data(), static_cast<size_t>(n))) {
      if (why) *why = "cannot write " + target->string() + ": " + systemText(errno);
      ok = false;
      break;
    }
    control.tick();
  }
  if (output >= 0) {
    close(output);
    if (!ok) unlink(target->c_str());
  }
  if (!ok) return std::nullopt;
  digest.sha256 = hash.hexDigest();
  return digest;
}

}  // namespace backup
