#include "sheet/engine/zip_package.h"

#include <zip.h>

namespace sheet {
namespace {

constexpr size_t kReadChunk = 64 * 1024;

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string percentDecoded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

std::unique_ptr<ZipPackage> ZipPackage::open(std::string_view bytes, const ReadLimits& limits, std::string& error) {
  if (bytes.size() > limits.maxPackageBytes) {
    error = "the package is larger than allowed";
    return nullptr;
  }
  zip_error_t zipError;
  zip_error_init(&zipError);
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &zipError);
  if (!source) {
    error = zip_error_strerror(&zipError);
    zip_error_fini(&zipError);
    return nullptr;
  }
  zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &zipError);
  if (!archive) {
    error = std::string("not a zip package: ") + zip_error_strerror(&zipError);
    zip_source_free(source);
    zip_error_fini(&zipError);
    return nullptr;
  }
  zip_error_fini(&zipError);
  zip_int64_t entries = zip_get_num_entries(archive, 0);
  if (entries < 0 || static_cast<size_t>(entries) > limits.maxEntries) {
    error = "the package has too many parts";
    zip_discard(archive);
    return nullptr;
  }
  return std::unique_ptr<ZipPackage>(new ZipPackage(archive, limits));
}

ZipPackage::~ZipPackage() { zip_discard(archive_); }

bool ZipPackage::has(std::string_view part) const {
  return zip_name_locate(archive_, std::string(part).c_str(), ZIP_FL_NOCASE) >= 0;
}

std::optional<std::string> ZipPackage::read(std::string_view part, std::string& error) {
  zip_int64_t index = zip_name_locate(archive_, std::string(part).c_str(), ZIP_FL_NOCASE);
  if (index < 0) {
    error = "missing part " + std::string(part);
    return std::nullopt;
  }
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &stat) != 0 ||
      ((stat.valid & ZIP_STAT_SIZE) && stat.size > limits_.maxPartBytes)) {
    error = "part too large: " + std::string(part);
    return std::nullopt;
  }
  zip_file_t* file = zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0);
  if (!file) {
    error = "cannot read part " + std::string(part) + ": " + zip_strerror(archive_);
    return std::nullopt;
  }
  // The declared size is not trusted: reading stops at the limits.
  std::string data;
  for (;;) {
    size_t at = data.size();
    if (at > limits_.maxPartBytes || totalRead_ + at > limits_.maxTotalBytes) {
      zip_fclose(file);
      error = "part too large: " + std::string(part);
      return std::nullopt;
    }
    data.resize(at + kReadChunk);
    zip_int64_t n = zip_fread(file, data.data() + at, kReadChunk);
    if (n < 0) {
      zip_fclose(file);
      error = "damaged part " + std::string(part);
      return std::nullopt;
    }
    data.resize(at + static_cast<size_t>(n));
    if (n == 0) break;
  }
  zip_fclose(file);
  totalRead_ += data.size();
  return data;
}

std::optional<std::string> resolveTarget(std::string_view sourcePart, std::string_view target) {
  std::string decoded = percentDecoded(target);
  std::string_view path = decoded;
  std::vector<std::string> segments;
  if (!path.empty() && path.front() == '/') {
    path.remove_prefix(1);
  } else {
    size_t slash = sourcePart.rfind('/');
    std::string_view folder = slash == std::string_view::npos ? std::string_view() : sourcePart.substr(0, slash);
    for (size_t start = 0; start < folder.size();) {
      size_t end = folder.find('/', start);
      if (end == std::string_view::npos) end = folder.size();
      if (end > start) segments.emplace_back(folder.substr(start, end - start));
      start = end + 1;
    }
  }
  for (size_t start = 0; start <= path.size();) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    std::string_view segment = path.substr(start, end - start);
    if (segment == "..") {
      if (segments.empty()) return std::nullopt;
      segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      if (segment.find('\\') != std::string_view::npos || segment.find('\0') != std::string_view::npos)
        return std::nullopt;
      segments.emplace_back(segment);
    }
    start = end + 1;
  }
  if (segments.empty()) return std::nullopt;
  std::string joined;
  for (const std::string& s : segments) {
    if (!joined.empty()) joined += '/';
    joined += s;
  }
  return joined;
}

std::string relationshipsPart(std::string_view part) {
  size_t slash = part.rfind('/');
  std::string folder = slash == std::string_view::npos ? std::string() : std::string(part.substr(0, slash + 1));
  std::string name(slash == std::string_view::npos ? part : part.substr(slash + 1));
  return folder + "_rels/" + name + ".rels";
}

}  // namespace sheet
