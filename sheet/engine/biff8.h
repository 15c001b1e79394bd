// The vocabulary of Excel 97-2003 workbooks (BIFF8) that the engine's .xls
// writer and the learner import's .xls reader share: record types, the
// record header, versions and substream kinds, and little-endian fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace sheet::biff8 {

enum Record : uint16_t {
  kBof = 0x0809,
  kEof = 0x000A,
  kInterfaceHeader = 0x00E1,
  kInterfaceEnd = 0x00E2,
  kMms = 0x00C1,
  kCodePage = 0x0042,
  kWindowProtect = 0x0019,
  kProtect = 0x0012,
  kPassword = 0x0013,
  kFilePass = 0x002F,
  kWindow1 = 0x003D,
  kBackup = 0x0040,
  kHideObjects = 0x008D,
  kDateMode = 0x0022,
  kPrecision = 0x000E,
  kBookBool = 0x00DA,
  kFont = 0x0031,
  kFormat = 0x041E,
  kXf = 0x00E0,
  kStyle = 0x0293,
  kBoundSheet = 0x0085,
  kSupBook = 0x01AE,
  kExternSheet = 0x0017,
  kName = 0x0018,
  kSst = 0x00FC,
  kContinue = 0x003C,
  kExtSst = 0x00FF,
  kIndex = 0x020B,
  kCalcMode = 0x000D,
  kCalcCount = 0x000C,
  kRefMode = 0x000F,
  kIteration = 0x0011,
  kDelta = 0x0010,
  kPrintHeaders = 0x002A,
  kPrintGridLines = 0x002B,
  kGridSet = 0x0082,
  kGuts = 0x0080,
  kDefaultRowHeight = 0x0225,
  kWsBool = 0x0081,
  kHeader = 0x0014,
  kFooter = 0x0015,
  kHCenter = 0x0083,
  kVCenter = 0x0084,
  kLeftMargin = 0x0026,
  kRightMargin = 0x0027,
  kTopMargin = 0x0028,
  kBottomMargin = 0x0029,
  kSetup = 0x00A1,
  kDefColWidth = 0x0055,
  kColInfo = 0x007D,
  kDimensions = 0x0200,
  kRow = 0x0208,
  kNumber = 0x0203,
  kRk = 0x027E,
  kMulRk = 0x00BD,
  kLabelSst = 0x00FD,
  kLabel = 0x0204,
  kRichString = 0x00D6,
  kBoolErr = 0x0205,
  kBlank = 0x0201,
  kFormula = 0x0006,
  kString = 0x0207,
  kDbCell = 0x00D7,
  kWindow2 = 0x023E,
  kMergedCells = 0x00E5,
};

inline constexpr size_t kRecordHeader = 4;  // type and body length
inline constexpr size_t kMaxRecordBody = 8224;
inline constexpr uint16_t kBiff8 = 0x0600, kBiff5 = 0x0500;
inline constexpr uint16_t kGlobalsSubstream = 0x0005, kWorksheetSubstream = 0x0010;

inline uint16_t readU16(std::string_view bytes, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8);
}
inline uint32_t readU32(std::string_view bytes, size_t at) {
  return readU16(bytes, at) | static_cast<uint32_t>(readU16(bytes, at + 2)) << 16;
}

}  // namespace sheet::biff8
