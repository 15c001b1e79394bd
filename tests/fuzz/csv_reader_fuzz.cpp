// The CSV reader against an independent writer. Half the inputs are read as
// they are: whatever the bytes, the reader answers a table within its limits
// or a refusal, and a table's rows come in order with no empty cell at a
// row's end. The other half are rows of fields that this target writes
// itself the way RFC 4180 says (a field with a comma, a quote or a line break
// in double quotes, its quotes doubled; LF or CR LF between lines; blank
// lines; the text as UTF-8, with its byte order mark or as GB18030): the
// reader must give back exactly those fields under exactly those row numbers.
//
// Run by tests/fuzz/run.sh; links the learner import.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "import/csv_reader.h"
#include "runtime/encoding.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

using learner_import::Table;

constexpr size_t kMaxRows = 12, kMaxFields = 6, kMaxFieldBytes = 24;

void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "csv_reader_fuzz: %s\n", what);
    std::abort();
  }
}

// A field's text from fuzzer bytes, mapped onto the characters that matter
// to the format and a few CJK ones (valid UTF-8 by construction).
std::string field(fuzz::Input& in) {
  static const char* const kPieces[] = {",", "\"", "\r", "\n", " ", "a", "Z", "1", "张", "𠀀", "\t", "x,y"};
  std::string out;
  size_t length = in.below(kMaxFieldBytes);
  for (size_t i = 0; i < length; ++i) out += kPieces[in.below(std::size(kPieces))];
  return out;
}

std::string quotedIfNeeded(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

void checkShape(const Table& table) {
  uint32_t last = 0;
  for (size_t r = 0; r < table.rowCount(); ++r) {
    const Table::Row& row = table.row(r);
    require(row.number > last, "rows out of order");
    require(row.count > 0 && table.cells(row).back().length > 0, "an empty cell ends a row");
    last = row.number;
  }
}

void roundTrip(fuzz::Input& in) {
  std::vector<std::vector<std::string>> rows(in.below(kMaxRows) + 1);
  for (auto& row : rows) {
    row.resize(in.below(kMaxFields + 1));
    for (auto& f : row) f = field(in);
  }
  std::string text;
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t f = 0; f < rows[r].size(); ++f) text += (f ? "," : "") + quotedIfNeeded(rows[r][f]);
    if (r + 1 < rows.size() || in.below(2)) text += in.below(2) ? "\r\n" : "\n";
  }
  uint8_t encoding = in.byte() % 3;
  std::string bytes = encoding == 0 ? text : encoding == 1 ? "\xEF\xBB\xBF" + text : rt::utf8ToGb(text);

  learner_import::ReadError error;
  auto table = learner_import::readCsv(bytes, error);
  require(table != nullptr, "well-formed CSV refused");
  checkShape(*table);
  // What is kept of each written row: its fields up to the last non-empty one.
  size_t kept = 0;
  for (size_t r = 0; r < rows.size(); ++r) {
    std::vector<std::string> expected = rows[r];
    while (!expected.empty() && expected.back().empty()) expected.pop_back();
    if (expected.empty()) continue;
    require(kept < table->rowCount(), "a row is missing");
    const Table::Row& row = table->row(kept++);
    require(row.number == r + 1, "a row under another number");
    require(row.count == expected.size(), "a row with another number of cells");
    for (size_t f = 0; f < expected.size(); ++f)
      require(table->text(table->cellAt(row, f)) == expected[f], "a field read otherwise than written");
  }
  require(kept == table->rowCount(), "a row that was not written");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  if (in.byte() & 1) {
    roundTrip(in);
    return 0;
  }
  std::string bytes = in.bytes(in.remaining());
  learner_import::TableLimits limits;
  limits.maxCells = 64;
  limits.maxCellCharacters = 100;
  learner_import::ReadError error;
  auto table = learner_import::readCsv(bytes, error, limits);
  require((table != nullptr) != static_cast<bool>(error), "neither a table nor a reason, or both");
  if (table) checkShape(*table);
  return 0;
}
