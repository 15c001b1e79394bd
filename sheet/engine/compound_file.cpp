#include "sheet/engine/compound_file.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace sheet {
namespace {

constexpr size_t kSectorBytes = 512;
constexpr size_t kEntriesPerSector = kSectorBytes / 4;
constexpr size_t kHeaderDifatEntries = 109;
constexpr size_t kDirectoryEntryBytes = 128;
constexpr size_t kMiniStreamCutoff = 4096;
constexpr uint32_t kFreeSector = 0xFFFFFFFF;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFatSector = 0xFFFFFFFD;
constexpr uint32_t kDifatSector = 0xFFFFFFFC;
constexpr uint32_t kNoStream = 0xFFFFFFFF;
constexpr uint8_t kSignature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr uint8_t kTypeStream = 2, kTypeRoot = 5, kNodeBlack = 1;

void put16(std::string& out, size_t at, uint16_t v) {
  out[at] = static_cast<char>(v & 0xFF);
  out[at + 1] = static_cast<char>(v >> 8);
}
void put32(std::string& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

size_t sectorsFor(size_t bytes) { return (bytes + kSectorBytes - 1) / kSectorBytes; }

// A directory entry: name, type, colour, child, first sector and size.
void directoryEntry(std::string& out, size_t at, std::string_view name, uint8_t type, uint32_t child, uint32_t start,
                    uint32_t size) {
  for (size_t i = 0; i < name.size(); ++i) put16(out, at + 2 * i, static_cast<uint8_t>(name[i]));
  put16(out, at + 0x40, static_cast<uint16_t>((name.size() + 1) * 2));
  out[at + 0x42] = static_cast<char>(type);
  out[at + 0x43] = static_cast<char>(kNodeBlack);
  put32(out, at + 0x44, kNoStream);
  put32(out, at + 0x48, kNoStream);
  put32(out, at + 0x4C, child);
  put32(out, at + 0x74, start);
  put32(out, at + 0x78, size);
}

void emptyEntry(std::string& out, size_t at) {
  put32(out, at + 0x44, kNoStream);
  put32(out, at + 0x48, kNoStream);
  put32(out, at + 0x4C, kNoStream);
}

}  // namespace

std::string buildCompoundFile(std::string_view name, std::string data) {
  if (data.size() < kMiniStreamCutoff) data.resize(kMiniStreamCutoff, '\0');
  const size_t streamSectors = sectorsFor(data.size());
  const size_t directorySectors = 1;
  // The allocation table covers every sector, its own and the extension
  // sectors that list it when it outgrows the header.
  size_t fatSectors = 1, difatSectors = 0;
  for (;;) {
    difatSectors = fatSectors > kHeaderDifatEntries
                       ? (fatSectors - kHeaderDifatEntries + kEntriesPerSector - 2) / (kEntriesPerSector - 1)
                       : 0;
    size_t total = streamSectors + directorySectors + fatSectors + difatSectors;
    if (fatSectors * kEntriesPerSector >= total) break;
    ++fatSectors;
  }
  const auto directoryStart = static_cast<uint32_t>(streamSectors);
  const auto fatStart = directoryStart + directorySectors;
  const auto difatStart = fatStart + fatSectors;
  const size_t totalSectors = difatStart + difatSectors;

  std::string file(kSectorBytes * (1 + totalSectors), '\0');
  // Header.
  std::memcpy(file.data(), kSignature, sizeof kSignature);
  put16(file, 0x18, 0x003E);
  put16(file, 0x1A, 0x0003);
  put16(file, 0x1C, 0xFFFE);
  put16(file, 0x1E, 9);  // 512-byte sectors
  put16(file, 0x20, 6);  // 64-byte mini sectors
  put32(file, 0x2C, static_cast<uint32_t>(fatSectors));
  put32(file, 0x30, directoryStart);
  put32(file, 0x38, kMiniStreamCutoff);
  put32(file, 0x3C, kEndOfChain);
  put32(file, 0x44, difatSectors ? static_cast<uint32_t>(difatStart) : kEndOfChain);
  put32(file, 0x48, static_cast<uint32_t>(difatSectors));
  for (size_t i = 0; i < kHeaderDifatEntries; ++i)
    put32(file, 0x4C + 4 * i, i < fatSectors ? static_cast<uint32_t>(fatStart + i) : kFreeSector);

  auto sectorAt = [](size_t sector) { return kSectorBytes * (1 + sector); };
  std::memcpy(file.data() + sectorAt(0), data.data(), data.size());

  size_t dir = sectorAt(directoryStart);
  directoryEntry(file, dir, "Root Entry", kTypeRoot, 1, kEndOfChain, 0);
  directoryEntry(file, dir + kDirectoryEntryBytes, name, kTypeStream, kNoStream, 0, static_cast<uint32_t>(data.size()));
  emptyEntry(file, dir + 2 * kDirectoryEntryBytes);
  emptyEntry(file, dir + 3 * kDirectoryEntryBytes);

  std::vector<uint32_t> fat(fatSectors * kEntriesPerSector, kFreeSector);
  for (size_t i = 0; i < streamSectors; ++i)
    fat[i] = i + 1 < streamSectors ? static_cast<uint32_t>(i + 1) : kEndOfChain;
  fat[directoryStart] = kEndOfChain;
  for (size_t i = 0; i < fatSectors; ++i) fat[fatStart + i] = kFatSector;
  for (size_t i = 0; i < difatSectors; ++i) fat[difatStart + i] = kDifatSector;
  for (size_t i = 0; i < fat.size(); ++i) put32(file, sectorAt(fatStart) + 4 * i, fat[i]);

  // Extension sectors: 127 allocation-table sectors each, then the next one.
  size_t listed = kHeaderDifatEntries;
  for (size_t d = 0; d < difatSectors; ++d) {
    size_t at = sectorAt(difatStart + d);
    for (size_t k = 0; k < kEntriesPerSector - 1; ++k, ++listed)
      put32(file, at + 4 * k, listed < fatSectors ? static_cast<uint32_t>(fatStart + listed) : kFreeSector);
    put32(file, at + 4 * (kEntriesPerSector - 1),
          d + 1 < difatSectors ? static_cast<uint32_t>(difatStart + d + 1) : kEndOfChain);
  }
  return file;
}

}  // namespace sheet
