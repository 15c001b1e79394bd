#include "import/csv_reader.h"

#include <csv.h>

#include <algorithm>
#include <cerrno>

#include "base/gb18030.h"
#include "base/utf8.h"

namespace learner_import {
namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
// libcsv grows a field's buffer by this much at a time (its own default of
// 128 bytes would copy a long field over and over), and is given the text in
// pieces of this size, so that a field longer than a cell may be is refused
// as soon as it is, not once the whole of it has been gathered.
constexpr size_t kFieldBufferStep = 64 * 1024;
constexpr size_t kParsePiece = 64 * 1024;
// No character takes more than four bytes of UTF-8.
constexpr size_t kMaxUtf8BytesPerUnit = 4;

int noSpaces(unsigned char) { return 0; }

// Collects libcsv's fields and record ends into the table, numbering rows
// the way a spreadsheet program shows them.
class CsvCollector {
 public:
  explicit CsvCollector(Table& table) : table_(table) {}

  static void onField(void* data, size_t length, void* self) {
    static_cast<CsvCollector*>(self)->field(std::string_view(static_cast<const char*>(data), data ? length : 0));
  }
  static void onRecordEnd(int terminator, void* self) { static_cast<CsvCollector*>(self)->recordEnd(terminator); }

  const ReadError& error() const { return error_; }
  // The row being read (the one a parse error stands in) and the field being
  // read in it (1-based).
  uint32_t currentRow() const { return rowNumber_ + 1; }
  uint32_t currentColumn() const { return rowStarted_ ? column_ + 1 : 1; }

 private:
  void field(std::string_view text) {
    if (error_) return;
    if (!rowStarted_) {
      table_.startRow(rowNumber_ + 1);
      rowStarted_ = true;
      column_ = 0;
    }
    error_ = table_.addCell(column_++, text);
  }

  // libcsv reports every line break outside a field: the line feed of a
  // CR LF pair comes as a record of its own, which is no row.
  void recordEnd(int terminator) {
    bool empty = !rowStarted_;
    bool secondHalfOfCrLf = empty && terminator == CSV_LF && lastTerminator_ == CSV_CR && lastWasRow_;
    lastTerminator_ = terminator;
    lastWasRow_ = !secondHalfOfCrLf;
    if (secondHalfOfCrLf) return;
    if (rowStarted_) table_.finishRow();
    rowStarted_ = false;
    ++rowNumber_;
  }

  Table& table_;
  ReadError error_;
  uint32_t rowNumber_ = 0;  // rows ended so far
  uint32_t column_ = 0;
  bool rowStarted_ = false;
  int lastTerminator_ = -1;
  bool lastWasRow_ = false;
};

struct ParserCloser {
  void operator()(csv_parser* parser) const { csv_free(parser); }
};

}  // namespace

std::optional<std::string_view> decodeText(std::string_view bytes, std::string& converted) {
  if (bytes.starts_with(kUtf8ByteOrderMark)) {
    bytes.remove_prefix(kUtf8ByteOrderMark.size());
    if (!base::isWellFormedUtf8(bytes)) return std::nullopt;
    return bytes;
  }
  if (base::isWellFormedUtf8(bytes)) return bytes;
  std::optional<std::string> fromGb = base::gb18030ToUtf8(bytes);
  if (!fromGb) return std::nullopt;
  converted = std::move(*fromGb);
  return converted;
}

std::unique_ptr<Table> readCsv(std::string_view bytes, ReadError& error, const TableLimits& limits) {
  std::string converted;
  std::optional<std::string_view> text = decodeText(bytes, converted);
  if (!text) {
    error = {ReadFailure::kUnknownEncoding, 0, 0, "neither UTF-8 nor GB18030"};
    return nullptr;
  }
  auto table = std::make_unique<Table>(limits);
  // The cells' texts are at most the file's text; its cells at most one
  // more than its separators and line breaks.
  size_t separators = static_cast<size_t>(std::count(text->begin(), text->end(), ',')) +
                      static_cast<size_t>(std::count(text->begin(), text->end(), '\n'));
  table->reserve(text->size(), separators + 1);
  csv_parser parser;
  if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL) != 0) {
    error = {ReadFailure::kTooLarge, 0, 0, "no memory for the parser"};
    return nullptr;
  }
  std::unique_ptr<csv_parser, ParserCloser> owned(&parser);
  csv_set_space_func(&parser, noSpaces);
  csv_set_blk_size(&parser, kFieldBufferStep);
  CsvCollector collector(*table);
  const size_t maxFieldBytes = limits.maxCellCharacters * kMaxUtf8BytesPerUnit;
  bool parsed = true;
  for (size_t at = 0; parsed && at < text->size() && !collector.error(); at += kParsePiece) {
    size_t piece = std::min(kParsePiece, text->size() - at);
    parsed = csv_parse(&parser, text->data() + at, piece, &CsvCollector::onField, &CsvCollector::onRecordEnd,
                       &collector) == piece;
    if (parser.entry_pos > maxFieldBytes) {
      error = {ReadFailure::kCellTooLong, collector.currentRow(), collector.currentColumn(),
               "a field longer than a spreadsheet cell holds"};
      return nullptr;
    }
  }
  parsed = parsed && !collector.error() &&
           csv_fini(&parser, &CsvCollector::onField, &CsvCollector::onRecordEnd, &collector) == 0;
  if (collector.error()) {
    error = collector.error();
    return nullptr;
  }
  if (!parsed) {
    int code = csv_error(&parser);
    error = {code == CSV_EPARSE ? ReadFailure::kNotReadable : ReadFailure::kTooLarge, collector.currentRow(), 0,
             csv_strerror(code)};
    return nullptr;
  }
  return table;
}

}  // namespace learner_import
