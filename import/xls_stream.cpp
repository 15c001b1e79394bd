#include "import/xls_stream.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "sheet/engine/biff8.h"

namespace learner_import {
namespace {

constexpr std::string_view kSignature = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
constexpr size_t kHeaderBytes = 512;
constexpr size_t kHeaderDifatEntries = 109;
constexpr size_t kDirectoryEntryBytes = 128;
constexpr size_t kMiniSectorBytes = 64;
constexpr uint32_t kLastRegularSector = 0xFFFFFFFA;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint8_t kStreamEntry = 2;
constexpr uint8_t kRootEntry = 5;

using sheet::biff8::readU16;
using sheet::biff8::readU32;

class CompoundFile {
 public:
  explicit CompoundFile(std::string_view file) : file_(file) {}

  bool open() {
    if (file_.size() < kHeaderBytes || !file_.starts_with(kSignature)) return false;
    uint16_t shift = readU16(file_, 0x1E);
    if (shift != 9 && shift != 12) return false;
    sectorBytes_ = size_t{1} << shift;
    if (file_.size() < 2 * sectorBytes_) return false;
    sectorCount_ = file_.size() / sectorBytes_ - 1;  // the header takes the first sector's room
    miniCutoff_ = readU32(file_, 0x38);
    return readFat() && readChain(readU32(file_, 0x30), fat_, directory_) && readMiniStream();
  }

  // The data of the first stream entry named `name`: nothing when there is
  // none, or when it cannot be read (`damaged` is set then).
  std::optional<std::string> streamNamed(std::string_view name, bool& damaged) const {
    for (size_t at = 0; at + kDirectoryEntryBytes <= directory_.size(); at += kDirectoryEntryBytes) {
      std::string_view entry(directory_.data() + at, kDirectoryEntryBytes);
      if (static_cast<uint8_t>(entry[66]) != kStreamEntry || entryName(entry) != name) continue;
      std::string data;
      if (readStream(entry, data)) return data;
      damaged = true;
      return std::nullopt;
    }
    return std::nullopt;
  }

 private:
  // The entry's name; characters beyond ASCII read '?' (no stream of interest has one).
  static std::string entryName(std::string_view entry) {
    std::string name;
    size_t nameBytes = std::min<size_t>(readU16(entry, 64), 64);
    for (size_t i = 0; i + 1 < nameBytes; i += 2) {
      uint16_t unit = readU16(entry, i);
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
    for (size_t i = 0; i < kHeaderDifatEntries; ++i) fatSectors.push_back(readU32(file_, 0x4C + i * 4));
    uint32_t next = readU32(file_, 0x44);
    size_t perDifatSector = sectorBytes_ / 4 - 1;
    for (size_t steps = 0; next <= kLastRegularSector && fatSectors.size() < needed + kHeaderDifatEntries; ++steps) {
      if (next >= sectorCount_ || steps > sectorCount_) return false;
      std::string_view difat = sector(next);
      for (size_t i = 0; i < perDifatSector; ++i) fatSectors.push_back(readU32(difat, i * 4));
      next = readU32(difat, perDifatSector * 4);
    }
    for (uint32_t s : fatSectors) {
      if (s > kLastRegularSector) continue;
      if (needed-- == 0) break;
      if (s >= sectorCount_) return false;
      std::string_view bytes = sector(s);
      for (size_t i = 0; i < sectorBytes_; i += 4) fat_.push_back(readU32(bytes, i));
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
    if (readU32(file_, 0x3C) <= kLastRegularSector && !readChain(readU32(file_, 0x3C), fat_, miniFat)) return false;
    for (size_t i = 0; i + 4 <= miniFat.size(); i += 4) miniFat_.push_back(readU32(miniFat, i));
    if (readU32(root, 116) <= kLastRegularSector && !readChain(readU32(root, 116), fat_, miniStream_)) return false;
    miniStream_.resize(std::min<size_t>(miniStream_.size(), readU32(root, 120)));
    return true;
  }

  bool readStream(std::string_view entry, std::string& data) const {
    uint32_t start = readU32(entry, 116);
    size_t size = readU32(entry, 120);  // the high half is not used by version 3 files
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

}  // namespace

std::optional<std::string> workbookStream(std::string_view file) {
  CompoundFile compound(file);
  if (!compound.open()) return std::nullopt;
  bool damaged = false;
  for (std::string_view name : {"Workbook", "Book"}) {
    std::optional<std::string> stream = compound.streamNamed(name, damaged);
    if (stream || damaged) return stream;
  }
  return std::nullopt;
}

}  // namespace learner_import
