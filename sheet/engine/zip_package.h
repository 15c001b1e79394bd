// Reading the parts of a zip package held in memory, within limits: a
// package of hostile origin cannot make the reader take unbounded memory or
// reach anything outside itself (parts are only read into memory; relationship
// targets that climb out of the package are refused).
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sheet/engine/read_limits.h"

struct zip;

namespace sheet {

class ZipPackage {
 public:
  // Null and a reason when the bytes are not a zip archive within the limits.
  // The bytes must outlive the package.
  static std::unique_ptr<ZipPackage> open(std::string_view bytes, const ReadLimits& limits, ReadError& error);
  ~ZipPackage();
  ZipPackage(const ZipPackage&) = delete;
  ZipPackage& operator=(const ZipPackage&) = delete;

  bool has(std::string_view part) const;
  // A part's bytes, at most maxPartBytes; nothing (and a reason) when it is
  // missing, damaged or too large.
  std::optional<std::string> read(std::string_view part, ReadError& error);
  // Hands the part's bytes to `sink` as they inflate. False when the part is
  // missing or damaged, when the package has inflated more than the limits
  // allow (a reason in `error`), or when `sink` answers false.
  using Sink = std::function<bool(std::string_view piece)>;
  bool stream(std::string_view part, const Sink& sink, ReadError& error);

 private:
  ZipPackage(zip* archive, const ReadLimits& limits, size_t inflationBudget)
      : archive_(archive), limits_(limits), inflationBudget_(inflationBudget) {}
  // Reads the part piece by piece, stopping after `partLimit` bytes.
  bool inflate(std::string_view part, size_t partLimit, const Sink& sink, ReadError& error);

  zip* archive_;
  ReadLimits limits_;
  size_t inflationBudget_;  // bytes all parts together may inflate to
  size_t totalRead_ = 0;
};

// The part a relationship of `sourcePart` points to: targets are relative to
// the source part's folder or absolute from the package root, and may be
// percent-encoded. Nothing when the target climbs above the root.
std::optional<std::string> resolveTarget(std::string_view sourcePart, std::string_view target);
// "xl/workbook.xml" -> "xl/_rels/workbook.xml.rels"; "" -> "_rels/.rels".
std::string relationshipsPart(std::string_view part);

}  // namespace sheet
