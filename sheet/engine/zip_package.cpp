#include "sheet/engine/zip_package.h"

#include <zip.h>

#include <cstdint>

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

std::unique_ptr<ZipPackage> ZipPackage::open(std::string_view bytes, const ReadLimits& limits, ReadError& error) {
  if (bytes.size() > limits.maxPackageBytes) {
    error = {ReadFailure::kBeyondLimits, "the package is larger than allowed"};
    return nullptr;
  }
  zip_error_t zipError;
  zip_error_init(&zipError);
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &zipError);
  if (!source) {
    error = {ReadFailure::kUnreadable, zip_error_strerror(&zipError)};
    zip_error_fini(&zipError);
    return nullptr;
  }
  zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &zipError);
  if (!archive) {
    error = {ReadFailure::kMalformed, std::string("not a zip package: ") + zip_error_strerror(&zipError)};
    zip_source_free(source);
    zip_error_fini(&zipError);
    return nullptr;
  }
  zip_error_fini(&zipError);
  zip_int64_t entries = zip_get_num_entries(archive, 0);
  if (entries < 0 || static_cast<size_t>(entries) > limits.maxEntries) {
    error = {ReadFailure::kBeyondLimits, "the package has too many parts"};
    zip_discard(archive);
    return nullptr;
  }
  size_t budget = limits.maxTotalBytes;
  if (limits.maxInflation > 0) {
    size_t room = budget > kInflationAllowance ? (budget - kInflationAllowance) / limits.maxInflation : 0;
    if (bytes.size() < room) budget = kInflationAllowance + bytes.size() * limits.maxInflation;
  }
  return std::unique_ptr<ZipPackage>(new ZipPackage(archive, limits, budget));
}

ZipPackage::~ZipPackage() { zip_discard(archive_); }

bool ZipPackage::has(std::string_view part) const {
  return zip_name_locate(archive_, std::string(part).c_str(), ZIP_FL_NOCASE) >= 0;
}

bool ZipPackage::inflate(std::string_view part, size_t partLimit, const Sink& sink, ReadError& error) {
  zip_int64_t index = zip_name_locate(archive_, std::string(part).c_str(), ZIP_FL_NOCASE);
  if (index < 0) {
    error = {ReadFailure::kMalformed, "missing part " + std::string(part)};
    return false;
  }
  zip_file_t* file = zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0);
  if (!file) {
    error = {ReadFailure::kMalformed, "cannot read part " + std::string(part) + ": " + zip_strerror(archive_)};
    return false;
  }
  struct Closer {
    zip_file_t* file;
    ~Closer() { zip_fclose(file); }
  } closer{file};
  // The declared size is not trusted: the bytes are counted as they come.
  std::string piece(kReadChunk, '\0');
  for (size_t partRead = 0;;) {
    zip_int64_t n = zip_fread(file, piece.data(), piece.size());
    if (n < 0) {
      error = {ReadFailure::kMalformed, "damaged part " + std::string(part)};
      return false;
    }
    if (n == 0) return true;
    partRead += static_cast<size_t>(n);
    totalRead_ += static_cast<size_t>(n);
    if (partRead > partLimit) {
      error = {ReadFailure::kBeyondLimits, "part too large: " + std::string(part)};
      return false;
    }
    if (totalRead_ > inflationBudget_) {
      error = {ReadFailure::kBeyondLimits, "the package inflates to more than allowed"};
      return false;
    }
    if (!sink(std::string_view(piece.data(), static_cast<size_t>(n)))) return false;
  }
}

std::optional<std::string> ZipPackage::read(std::string_view part, ReadError& error) {
  std::string data;
  auto append = [&](std::string_view piece) {
    data.append(piece);
    return true;
  };
  if (!inflate(part, limits_.maxPartBytes, append, error)) return std::nullopt;
  return data;
}

bool ZipPackage::stream(std::string_view part, const Sink& sink, ReadError& error) {
  return inflate(part, SIZE_MAX, sink, error);
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
