#include "import/xls_dimensions.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace learner_import {
namespace {

constexpr std::string_view kSignature = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
constexpr size_t kHeaderBytes = 512;
constexpr size_t kHeaderDifatEntries = 109;
constexpr size_t kDirectoryEntryBytes = 128;
constexpr size_t kMiniSectorBytes = 64;
constexpr size_t kMaxStreams = 4;
constexpr uint32_t kLastRegularSector = 0xFFFFFFFA;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint8_t kStreamEntry = 2;
constexpr uint8_t kRootEntry = 5;
constexpr uint16_t kDimensionsRecord = 0x0200;
constexpr size_t kBiff8DimensionsBytes = 14;
constexpr size_t kBiff5DimensionsBytes = 10;

uint16_t u16(std::string_view bytes, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8);
}
uint32_t u32(std::string_view bytes, size_t at) {
  return u16(bytes, at) | static_cast<uint32_t>(u16(bytes, at + 2)) << 16;
}

class CompoundFile {
 public:
  explicit CompoundFile(std::string_view file) : file_(file) {}

  bool open() {
    if (file_.size() < kHeaderBytes || !file_.starts_with(kSignature)) return false;
    uint16_t shift = u16(file_, 0x1E);
    if (shift != 9 && shift != 12) return false;
    sectorBytes_ = size_t{1} << shift;
    if (file_.size() < 2 * sectorBytes_) return false;
    sectorCount_ = file_.size() / sectorBytes_ - 1;  // the header takes the first sector's room
    miniCutoff_ = u32(file_, 0x38);
    return readFat() && readChain(u32(file_, 0x30), fat_, directory_) && readMiniStream();
  }

  // The data of each stream entry named `name` (at most kMaxStreams of them:
  // a directory that names the same sectors over and over must not make the
  // reading grow with it); false when one cannot be read.
  template <typename Visit>
  bool forEachStreamNamed(std::string_view name, Visit&& visit) const {
    size_t seen = 0;
    for (size_t at = 0; at + kDirectoryEntryBytes <= directory_.size(); at += kDirectoryEntryBytes) {
      std::string_view entry(directory_.data() + at, kDirectoryEntryBytes);
      if (static_cast<uint8_t>(entry[66]) != kStreamEntry || entryName(entry) != name) continue;
      std::string data;
      if (++seen > kMaxStreams || !readStream(entry, data) || !visit(data)) return false;
    }
    return true;
  }

 private:
  // The entry's name; characters beyond ASCII read '?' (no stream of interest has one).
  static std::string entryName(std::string_view entry) {
    std::string name;
    size_t nameBytes = std::min<size_t>(u16(entry, 64), 64);
    for (size_t i = 0; i + 1 < nameBytes; i += 2) {
      uint16_t unit = u16(entry, i);
      if (unit == 0) break;
      name += unit < 0x80 ? static_cast<char>(unit) : '?';
    }
    return name;
  }

  std::string_view sector(uint32_t index) const {
    return file_.substr((index + size_t{1}) * sectorBytes_, sectorBytes_);
  }

  bool readFat() {
    // The table needs an entry for each sector of the file and no more.
    size_t needed = (sectorCount_ + sectorBytes_ / 4 - 1) / (sectorBytes_ / 4);
    std::vector<uint32_t> fatSectors;
    for (size_t i = 0; i < kHeaderDifatEntries; ++i) fatSectors.push_back(u32(file_, 0x4C + i * 4));
    uint32_t next = u32(file_, 0x44);
    size_t perDifatSector = sectorBytes_ / 4 - 1;
    for (size_t steps = 0; next <= kLastRegularSector && fatSectors.size() < needed + kHeaderDifatEntries; ++steps) {
      if (next >= sectorCount_ || steps > sectorCount_) return false;
      std::string_view difat = sector(next);
      for (size_t i = 0; i < perDifatSector; ++i) fatSectors.push_back(u32(difat, i * 4));
      next = u32(difat, perDifatSector * 4);
    }
    for (uint32_t s : fatSectors) {
      if (s > kLastRegularSector) continue;
      if (needed-- == 0) break;
      if (s >= sectorCount_) return false;
      std::string_view bytes = sector(s);
      for (size_t i = 0; i < sectorBytes_; i += 4) fat_.push_back(u32(bytes, i));
    }
    return !fat_.empty();
  }

  // The sectors of a chain in `table`, joined; false on a loop or a sector
  // outside the file.
  bool readChain(uint32_t start, const std::vector<uint32_t>& table, std::string& out) const {
    out.clear();
    for (uint32_t s = start, steps = 0; s != kEndOfChain; s = table[s], ++steps) {
      if (s > kLastRegularSector || s >= sectorCount_ || s >= table.size() || steps > sectorCount_) return false;
      out.append(sector(s));
    }
    return true;
  }

  bool readMiniStream() {
    std::string_view root(directory_.data(), std::min(directory_.size(), kDirectoryEntryBytes));
    if (root.size() < kDirectoryEntryBytes || static_cast<uint8_t>(root[66]) != kRootEntry) return false;
    std::string miniFat;
    if (u32(file_, 0x3C) <= kLastRegularSector && !readChain(u32(file_, 0x3C), fat_, miniFat)) return false;
    for (size_t i = 0; i + 4 <= miniFat.size(); i += 4) miniFat_.push_back(u32(miniFat, i));
    if (u32(root, 116) <= kLastRegularSector && !readChain(u32(root, 116), fat_, miniStream_)) return false;
    miniStream_.resize(std::min<size_t>(miniStream_.size(), u32(root, 120)));
    return true;
  }

  bool readStream(std::string_view entry, std::string& data) const {
    uint32_t start = u32(entry, 116);
    size_t size = u32(entry, 120);  // the high half is not used by version 3 files
    if (size == 0) return true;
    if (size >= miniCutoff_) {
      if (!readChain(start, fat_, data) || data.size() < size) return false;
      data.resize(size);
      return true;
    }
    size_t miniSectors = miniStream_.size() / kMiniSectorBytes;
    for (uint32_t s = start, steps = 0; s != kEndOfChain && data.size() < size; s = miniFat_[s], ++steps) {
      if (s >= miniSectors || s >= miniFat_.size() || steps > miniSectors) return false;
      data.append(miniStream_, s * kMiniSectorBytes, kMiniSectorBytes);
    }
    if (data.size() < size) return false;
    data.resize(size);
    return true;
  }

  std::string_view file_;
  size_t sectorBytes_ = 0;
  size_t sectorCount_ = 0;
  size_t miniCutoff_ = 0;
  std::vector<uint32_t> fat_;
  std::vector<uint32_t> miniFat_;
  std::string directory_;
  std::string miniStream_;
};

// The larger of the two readings a DIMENSIONS record allows (32-bit rows of
// BIFF8, 16-bit rows of BIFF5), last row and column taken as the counts.
uint64_t declaredCells(std::string_view record) {
  uint64_t cells = 0;
  if (record.size() >= kBiff8DimensionsBytes) {
    uint64_t rows = std::max(u32(record, 0), u32(record, 4));
    uint64_t columns = std::max(u16(record, 8), u16(record, 10));
    cells = rows * columns;
  }
  if (record.size() >= kBiff5DimensionsBytes - 2) {
    uint64_t rows = std::max(u16(record, 0), u16(record, 2));
    uint64_t columns = std::max(u16(record, 4), u16(record, 6));
    cells = std::max(cells, rows * columns);
  }
  return cells;
}

// The cells of the stream's DIMENSIONS records; nothing when a record runs
// past the end of the stream.
std::optional<uint64_t> workbookCells(std::string_view stream) {
  uint64_t cells = 0;
  size_t at = 0;
  while (at + 4 <= stream.size()) {
    uint16_t type = u16(stream, at), length = u16(stream, at + 2);
    if (at + 4 + length > stream.size()) return std::nullopt;
    if (type == kDimensionsRecord) cells += declaredCells(stream.substr(at + 4, length));
    at += 4 + length;
  }
  return cells;
}

}  // namespace

std::optional<uint64_t> declaredXlsCells(std::string_view file) {
  CompoundFile compound(file);
  if (!compound.open()) return std::nullopt;
  uint64_t cells = 0;
  bool found = false;
  bool complete = true;
  for (std::string_view name : {"Workbook", "Book"}) {
    complete = complete && compound.forEachStreamNamed(name, [&](const std::string& data) {
      auto counted = workbookCells(data);
      if (counted) cells += *counted;
      found = true;
      return counted.has_value();
    });
  }
  if (!complete || !found) return std::nullopt;
  return cells;
}

}  // namespace learner_import
