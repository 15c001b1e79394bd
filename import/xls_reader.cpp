#include "import/xls_reader.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/utf8.h"
#include "import/cell_text.h"
#include "import/xls_stream.h"
#include "sheet/engine/biff8.h"
#include "sheet/engine/styles.h"
#include "sheet/engine/typed_input.h"

namespace learner_import {
namespace {

using namespace sheet::biff8;

constexpr uint8_t kWorksheetSheetType = 0x00;
constexpr uint8_t kWideCharacters = 0x01, kHasExtendedText = 0x04, kHasRichRuns = 0x08;
constexpr size_t kRichRunBytes = 4;
constexpr size_t kCellHeader = 6;  // row, column, extended format
constexpr size_t kMulRkEntryBytes = 6;
// A formula's cached result whose last two bytes are all ones is not a
// number; its first byte tells what it is.
constexpr uint16_t kNotANumberResult = 0xFFFF;
enum FormulaResult : uint8_t { kStringResult = 0, kBoolResult = 1, kErrorResult = 2, kEmptyResult = 3 };

double f64(std::string_view bytes, size_t at) {
  uint64_t bits = readU32(bytes, at) | static_cast<uint64_t>(readU32(bytes, at + 4)) << 32;
  return std::bit_cast<double>(bits);
}

ReadError failure(ReadFailure why, std::string detail) { return {why, 0, 0, std::move(detail)}; }

struct Record {
  uint16_t type = 0;
  std::string_view body;
};

// The records of the stream from an offset on; `damaged` once a record runs
// past the end.
class Records {
 public:
  Records(std::string_view stream, size_t from) : stream_(stream), at_(from) {}

  bool next(Record& record) {
    if (at_ + kRecordHeader > stream_.size()) return false;
    uint16_t length = readU16(stream_, at_ + 2);
    if (at_ + kRecordHeader + length > stream_.size()) {
      damaged_ = true;
      return false;
    }
    record = {readU16(stream_, at_), stream_.substr(at_ + kRecordHeader, length)};
    at_ += kRecordHeader + length;
    return true;
  }
  // The bodies of the CONTINUE records that follow, taken.
  void takeContinues(std::vector<std::string_view>& parts) {
    Record record;
    for (Records ahead = *this; ahead.next(record) && record.type == kContinue; *this = ahead)
      parts.push_back(record.body);
  }
  bool damaged() const { return damaged_; }

 private:
  std::string_view stream_;
  size_t at_;
  bool damaged_ = false;
};

// The bytes of a record and of the CONTINUE records after it, read in turn.
class ContinuedBytes {
 public:
  explicit ContinuedBytes(std::vector<std::string_view> parts) : parts_(std::move(parts)) {}

  bool byte(uint8_t& value) {
    if (!nextByteAvailable()) return false;
    value = static_cast<uint8_t>(parts_[part_][at_++]);
    return true;
  }
  bool u16(uint16_t& value) {
    uint8_t low = 0, high = 0;
    if (!byte(low) || !byte(high)) return false;
    value = static_cast<uint16_t>(low | high << 8);
    return true;
  }
  bool u32(uint32_t& value) {
    uint16_t low = 0, high = 0;
    if (!u16(low) || !u16(high)) return false;
    value = low | static_cast<uint32_t>(high) << 16;
    return true;
  }
  bool skip(size_t count) {
    while (count > 0) {
      if (!nextByteAvailable()) return false;
      size_t step = std::min(count, parts_[part_].size() - at_);
      at_ += step;
      count -= step;
    }
    return true;
  }
  // `count` characters, one byte each or two as `wide` says. Where they run
  // into the next part, that part starts with a byte that says again how
  // wide the characters after it are.
  bool characters(size_t count, bool wide, std::u16string& out) {
    while (count > 0) {
      if (part_ >= parts_.size()) return false;
      if (at_ == parts_[part_].size()) {
        if (++part_ >= parts_.size()) return false;
        at_ = 0;
        uint8_t flags = 0;
        if (!byte(flags)) return false;
        wide = flags & kWideCharacters;
        continue;
      }
      size_t width = wide ? 2 : 1;
      size_t take = std::min(count, (parts_[part_].size() - at_) / width);
      if (take == 0) return false;  // half a character at the end of a part
      std::string_view bytes = parts_[part_].substr(at_, take * width);
      for (size_t i = 0; i < take; ++i) out.push_back(wide ? readU16(bytes, i * 2) : static_cast<uint8_t>(bytes[i]));
      at_ += take * width;
      count -= take;
    }
    return true;
  }
  // An XLUnicodeRichExtendedString: the form of shared strings and number
  // format codes.
  bool unicodeString(std::string& utf8) {
    uint16_t count = 0;
    uint8_t flags = 0;
    uint16_t runs = 0;
    uint32_t extended = 0;
    if (!u16(count) || !byte(flags)) return false;
    if ((flags & kHasRichRuns) && !u16(runs)) return false;
    if ((flags & kHasExtendedText) && !u32(extended)) return false;
    std::u16string text;
    if (!characters(count, flags & kWideCharacters, text)) return false;
    utf8 = base::utf16ToUtf8(text);
    return skip(size_t{runs} * kRichRunBytes) && skip(extended);
  }
  // An XLUnicodeString: the characters alone, the form of LABEL, RSTRING
  // and STRING records.
  bool plainString(std::string& utf8) {
    uint16_t count = 0;
    uint8_t flags = 0;
    std::u16string text;
    if (!u16(count) || !byte(flags) || !characters(count, flags & kWideCharacters, text)) return false;
    utf8 = base::utf16ToUtf8(text);
    return true;
  }
  bool atEnd() { return !nextByteAvailable(); }

 private:
  bool nextByteAvailable() {
    while (part_ < parts_.size() && at_ == parts_[part_].size()) {
      ++part_;
      at_ = 0;
    }
    return part_ < parts_.size();
  }

  std::vector<std::string_view> parts_;
  size_t part_ = 0;
  size_t at_ = 0;
};

// What the globals substream holds for reading the cells of a sheet.
struct Globals {
  std::vector<std::string> sharedStrings;
  std::vector<uint16_t> numberFormatOfXf;
  std::unordered_map<uint16_t, std::string> numberFormats;  // the file's own codes by id
  bool date1904 = false;
  std::optional<size_t> firstWorksheet;  // offset of its BOF record
};

// Whether the record is the BOF of a BIFF8 substream of the kind; a BIFF5
// one says so in `detail`.
bool isBiff8Bof(const Record& record, uint16_t kind, std::string& detail) {
  if (record.type != kBof || record.body.size() < 4) {
    detail = "no BOF record where a substream starts";
    return false;
  }
  uint16_t version = readU16(record.body, 0);
  if (version != kBiff8) {
    detail = version == kBiff5 ? "an Excel 5.0/95 workbook (BIFF5)" : "not a BIFF8 workbook";
    return false;
  }
  if (readU16(record.body, 2) != kind) {
    detail = "a substream of another kind than expected";
    return false;
  }
  return true;
}

ReadError readSharedStrings(Records& records, const Record& sst, std::vector<std::string>& strings) {
  std::vector<std::string_view> parts{sst.body};
  records.takeContinues(parts);
  ContinuedBytes bytes(std::move(parts));
  uint32_t total = 0, unique = 0;
  if (!bytes.u32(total) || !bytes.u32(unique))
    return failure(ReadFailure::kNotReadable, "a shared string table cut short");
  // Each string takes three bytes at least: the count cannot ask for more
  // room than the table's bytes hold.
  for (uint32_t i = 0; i < unique && !bytes.atEnd(); ++i) {
    std::string text;
    if (!bytes.unicodeString(text)) return failure(ReadFailure::kNotReadable, "a shared string cut short");
    strings.push_back(std::move(text));
  }
  return {};
}

void readNumberFormat(std::string_view body, Globals& globals) {
  if (body.size() < 2) return;
  ContinuedBytes bytes({body.substr(2)});
  std::string code;
  if (bytes.unicodeString(code)) globals.numberFormats.emplace(readU16(body, 0), std::move(code));
}

ReadError readGlobals(std::string_view stream, Globals& globals) {
  Records records(stream, 0);
  Record record;
  std::string detail;
  if (!records.next(record) || !isBiff8Bof(record, kGlobalsSubstream, detail))
    return failure(ReadFailure::kNotReadable, detail.empty() ? "an empty workbook stream" : detail);
  while (records.next(record) && record.type != kEof) {
    switch (record.type) {
      case kFilePass: return failure(ReadFailure::kProtected, "the workbook is encrypted");
      case kDateMode:
        if (record.body.size() >= 2) globals.date1904 = readU16(record.body, 0) == 1;
        break;
      case kBoundSheet:
        if (record.body.size() >= 6 && !globals.firstWorksheet &&
            static_cast<uint8_t>(record.body[5]) == kWorksheetSheetType)
          globals.firstWorksheet = readU32(record.body, 0);
        break;
      case kFormat: readNumberFormat(record.body, globals); break;
      case kXf:
        if (record.body.size() >= 4) globals.numberFormatOfXf.push_back(readU16(record.body, 2));
        break;
      case kSst:
        if (ReadError error = readSharedStrings(records, record, globals.sharedStrings)) return error;
        break;
      default: break;
    }
  }
  if (records.damaged()) return failure(ReadFailure::kNotReadable, "a record runs past the end of the stream");
  if (!globals.firstWorksheet) return failure(ReadFailure::kNoWorksheet, "no worksheet");
  return {};
}

// A cell as found in the sheet; its text is a shared string or lies in the
// reader's own store, so that a cell naming a shared string takes no copy
// of it before the table (whose limits bound the texts) takes one.
struct FoundCell {
  uint32_t row;
  uint32_t column;
  uint32_t text;    // index of the shared string, or offset in the store
  uint32_t length;  // in the store
  CellKind kind;
  bool shared;
};

// Reads the cells of one worksheet into a list, then hands them to the
// table in the order of rows and columns, which a file need not keep.
class SheetReader {
 public:
  SheetReader(const Globals& globals, const TableLimits& limits) : globals_(globals), limits_(limits) {}

  ReadError read(std::string_view stream, size_t bof) {
    Records records(stream, bof);
    Record record;
    std::string detail;
    if (!records.next(record) || !isBiff8Bof(record, kWorksheetSubstream, detail))
      return failure(ReadFailure::kNotReadable, "the first worksheet: " + detail);
    // A chart inside the sheet brings a substream of its own, BOF to EOF.
    for (int depth = 1; depth > 0 && records.next(record);) {
      if (record.type == kBof) {
        ++depth;
      } else if (record.type == kEof) {
        --depth;
      } else if (depth == 1) {
        ReadError error = record.type == kString ? cachedText(records, record) : cellRecord(record);
        if (error) return error;
      }
    }
    if (records.damaged()) return failure(ReadFailure::kNotReadable, "a record runs past the end of the stream");
    return {};
  }

  std::unique_ptr<Table> table(ReadError& error) {
    std::stable_sort(cells_.begin(), cells_.end(), [](const FoundCell& a, const FoundCell& b) {
      return a.row != b.row ? a.row < b.row : a.column < b.column;
    });
    auto table = std::make_unique<Table>(limits_);
    for (size_t i = 0; i < cells_.size(); ++i) {
      const FoundCell& cell = cells_[i];
      bool rewritten = i + 1 < cells_.size() && cells_[i + 1].row == cell.row && cells_[i + 1].column == cell.column;
      if (rewritten) continue;  // the file's last word on a cell holds
      if (table->rowCount() == 0 || table->row(table->rowCount() - 1).number != cell.row + 1)
        table->startRow(cell.row + 1);
      std::string_view text = cell.shared ? std::string_view(globals_.sharedStrings[cell.text])
                                          : std::string_view(store_).substr(cell.text, cell.length);
      if ((error = table->addCell(cell.column, text, cell.kind))) return nullptr;
    }
    table->finishRow();
    return table;
  }

 private:
  ReadError cellRecord(const Record& record) {
    std::string_view body = record.body;
    switch (record.type) {
      case kLabelSst: {
        if (body.size() < kCellHeader + 4) return damaged("LABELSST");
        uint32_t index = readU32(body, kCellHeader);
        if (index >= globals_.sharedStrings.size())
          return failure(ReadFailure::kNotReadable, "a cell names shared string " + std::to_string(index) + " of " +
                                                        std::to_string(globals_.sharedStrings.size()));
        return addShared(body, index);
      }
      case kLabel:
      case kRichString: {  // the rich runs after an RSTRING's text are not part of it
        if (body.size() < kCellHeader) return damaged("LABEL");
        ContinuedBytes bytes({body.substr(kCellHeader)});
        std::string text;
        if (!bytes.plainString(text)) return damaged("LABEL");
        return add(body, {std::move(text), CellKind::kText});
      }
      case kNumber:
        if (body.size() < kCellHeader + 8) return damaged("NUMBER");
        return add(body, number(f64(body, kCellHeader), readU16(body, 4)));
      case kRk:
        if (body.size() < kCellHeader + 4) return damaged("RK");
        return add(body, number(rkValue(readU32(body, kCellHeader)), readU16(body, 4)));
      case kMulRk: return mulRk(body);
      case kBoolErr:
        if (body.size() < kCellHeader + 2) return damaged("BOOLERR");
        return add(body, truthOrError(static_cast<uint8_t>(body[kCellHeader]), body[kCellHeader + 1] != 0));
      case kFormula: return formula(body);
      default: return {};
    }
  }

  ReadError formula(std::string_view body) {
    if (body.size() < kCellHeader + 8) return damaged("FORMULA");
    std::string_view result = body.substr(kCellHeader, 8);
    if (readU16(result, 6) != kNotANumberResult) return add(body, number(f64(body, kCellHeader), readU16(body, 4)));
    switch (static_cast<uint8_t>(result[0])) {
      case kStringResult:  // the text follows in a STRING record
        pendingFormula_ = body.substr(0, kCellHeader);
        return {};
      case kBoolResult: return add(body, truthOrError(static_cast<uint8_t>(result[2]), false));
      case kErrorResult: return add(body, truthOrError(static_cast<uint8_t>(result[2]), true));
      default: return {};  // an empty text
    }
  }

  ReadError cachedText(Records& records, const Record& record) {
    std::vector<std::string_view> parts{record.body};
    records.takeContinues(parts);
    if (!pendingFormula_) return {};
    std::string_view cell = *pendingFormula_;
    pendingFormula_.reset();
    ContinuedBytes bytes(std::move(parts));
    std::string text;
    if (!bytes.plainString(text)) return damaged("STRING");
    return add(cell, {std::move(text), CellKind::kText});
  }

  ReadError mulRk(std::string_view body) {
    if (body.size() < kCellHeader) return damaged("MULRK");
    uint32_t row = readU16(body, 0), column = readU16(body, 2);
    size_t entries = (body.size() - 6) / kMulRkEntryBytes;  // row, first column, entries, last column
    for (size_t i = 0; i < entries; ++i, ++column) {
      size_t at = 4 + i * kMulRkEntryBytes;
      if (ReadError error = add(row, column, number(rkValue(readU32(body, at + 2)), readU16(body, at)))) return error;
    }
    return {};
  }

  // An RK value: a 30-bit integer or the high 30 bits of a double, either
  // divided by 100 when the lowest bit is set.
  static double rkValue(uint32_t rk) {
    double value = rk & 0x02 ? static_cast<double>(static_cast<int32_t>(rk) >> 2)
                             : std::bit_cast<double>(static_cast<uint64_t>(rk & 0xFFFFFFFC) << 32);
    return rk & 0x01 ? value / 100 : value;
  }

  static CellValue truthOrError(uint8_t value, bool isError) {
    if (!isError) return {value != 0 ? "TRUE" : "FALSE", CellKind::kText};
    switch (value) {
      case 0x00: return {"#NULL!", CellKind::kText};
      case 0x07: return {"#DIV/0!", CellKind::kText};
      case 0x0F: return {"#VALUE!", CellKind::kText};
      case 0x17: return {"#REF!", CellKind::kText};
      case 0x1D: return {"#NAME?", CellKind::kText};
      case 0x24: return {"#NUM!", CellKind::kText};
      default: return {"#N/A", CellKind::kText};
    }
  }

  // A number as its text, or a date when its format shows dates (a time
  // alone, below one day, stays a number).
  CellValue number(double value, uint16_t xf) {
    if (value >= 1 && xf < globals_.numberFormatOfXf.size() && isDateFormat(globals_.numberFormatOfXf[xf])) {
      if (auto date = sheet::civilDate(std::floor(value) + (globals_.date1904 ? k1904Offset : 0)))
        return {dateText(date->year, date->month, date->day), CellKind::kDate};
    }
    return numberCell(value);
  }

  // Each format's code is looked at once, however many cells use it.
  bool isDateFormat(uint16_t id) {
    int8_t& known = formatShowsDates_[id];
    if (known < 0) {
      auto own = globals_.numberFormats.find(id);
      known = sheet::isDateFormat(own != globals_.numberFormats.end() ? std::string_view(own->second)
                                                                      : sheet::builtInNumberFormat(id));
    }
    return known;
  }

  ReadError add(std::string_view cellHeader, const CellValue& value) {
    return add(readU16(cellHeader, 0), readU16(cellHeader, 2), value);
  }
  ReadError add(uint32_t row, uint32_t column, const CellValue& value) {
    pendingFormula_.reset();  // a STRING record belongs to the formula just before it
    if (value.text.empty()) return {};
    if (cells_.size() >= limits_.maxCells) return {ReadFailure::kTooManyCells, row + 1, column + 1, "too many cells"};
    if (store_.size() + value.text.size() > limits_.maxTextBytes)
      return {ReadFailure::kTooLarge, row + 1, column + 1, "more text than the table holds"};
    cells_.push_back({row, column, static_cast<uint32_t>(store_.size()), static_cast<uint32_t>(value.text.size()),
                      value.kind, false});
    store_ += value.text;
    return {};
  }
  ReadError addShared(std::string_view cellHeader, uint32_t index) {
    pendingFormula_.reset();
    uint32_t row = readU16(cellHeader, 0), column = readU16(cellHeader, 2);
    if (globals_.sharedStrings[index].empty()) return {};
    if (cells_.size() >= limits_.maxCells) return {ReadFailure::kTooManyCells, row + 1, column + 1, "too many cells"};
    cells_.push_back({row, column, index, 0, CellKind::kText, true});
    return {};
  }

  static ReadError damaged(const char* record) {
    return failure(ReadFailure::kNotReadable, std::string("a ") + record + " record cut short");
  }

  const Globals& globals_;
  const TableLimits& limits_;
  std::vector<FoundCell> cells_;
  std::string store_;
  std::vector<int8_t> formatShowsDates_ = std::vector<int8_t>(size_t{UINT16_MAX} + 1, -1);  // by format id; -1 unknown
  std::optional<std::string_view> pendingFormula_;  // the cell of a formula whose text comes next
};

}  // namespace

std::unique_ptr<Table> readXls(std::string_view bytes, ReadError& error, const TableLimits& limits) {
  std::optional<std::string> stream = workbookStream(bytes);
  if (!stream) {
    error = failure(ReadFailure::kNotReadable, "not a compound file with a workbook stream");
    return nullptr;
  }
  Globals globals;
  if ((error = readGlobals(*stream, globals))) return nullptr;
  SheetReader sheet(globals, limits);
  if ((error = sheet.read(*stream, *globals.firstWorksheet))) return nullptr;
  return sheet.table(error);
}

}  // namespace learner_import
