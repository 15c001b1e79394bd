// Reading the parts of a zip package held in memory, within limits: a
// package of hostile origin cannot make the reader take unbounded memory or
// reach anything outside itself (parts are only read into memory; relationship
// targets that climb out of the package are refused).
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct zip;

namespace sheet {

struct ReadLimits {
  size_t maxPackageBytes = size_t{128} << 20;
  size_t maxEntries = 10000;
  size_t maxPartBytes = size_t{64} << 20;    // one part, uncompressed
  size_t maxTotalBytes = size_t{256} << 20;  // every part read, uncompressed
  size_t maxSheets = 1024;
};

class ZipPackage {
 public:
  // Null and a reason when the bytes are not a zip archive within the limits.
  // The bytes must outlive the package.
  static std::unique_ptr<ZipPackage> open(std::string_view bytes, const ReadLimits& limits, std::string& error);
  ~ZipPackage();
  ZipPackage(const ZipPackage&) = delete;
  ZipPackage& operator=(const ZipPackage&) = delete;

  bool has(std::string_view part) const;
  // A part's bytes; nothing (and a reason) when it is missing or too large.
  std::optional<std::string> read(std::string_view part, std::string& error);

 private:
  ZipPackage(zip* archive, const ReadLimits& limits) : archive_(archive), limits_(limits) {}
  zip* archive_;
  ReadLimits limits_;
  size_t totalRead_ = 0;
};

// The part a relationship of `sourcePart` points to: targets are relative to
// the source part's folder or absolute from the package root, and may be
// percent-encoded. Nothing when the target climbs above the root.
std::optional<std::string> resolveTarget(std::string_view sourcePart, std::string_view target);
// "xl/workbook.xml" -> "xl/_rels/workbook.xml.rels"; "" -> "_rels/.rels".
std::string relationshipsPart(std::string_view part);

}  // namespace sheet
