// The .xls path of the import: the compound file, then the records of the
// workbook stream. Half the inputs are files as they are: whatever the
// bytes, the import answers a table within its limits or a refusal, and
// never reads outside them. The other half are sheets of texts and numbers
// that the engine's own BIFF8 writer saves (an independent writer), read
// back by the import: every cell must come back as it was written; a few
// bytes of such a file changed by the fuzzer must still give a table or a
// refusal.
//
// Run by tests/fuzz/run.sh; links the learner import and the engine.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "import/cell_text.h"
#include "import/xls_reader.h"
#include "sheet/engine/xls_writer.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

using learner_import::Table;

constexpr size_t kMaxCells = 40;
constexpr uint32_t kMaxRow = 30, kMaxColumn = 12;

void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "xls_reader_fuzz: %s\n", what);
    std::abort();
  }
}

learner_import::TableLimits fuzzLimits() {
  learner_import::TableLimits limits;
  limits.maxCells = 20000;
  limits.maxTextBytes = 1 << 20;
  return limits;
}

std::string cellText(fuzz::Input& in) {
  static const char* const kPieces[] = {"a", "Z", "1", " ", "张", "三", "𠀀", "\"", "\n", "x"};
  std::string out;
  size_t length = in.below(8) + 1;
  for (size_t i = 0; i < length; ++i) out += kPieces[in.below(std::size(kPieces))];
  return out;
}

void writtenAndRead(fuzz::Input& in) {
  auto workbook = sheet::Workbook::createNew();
  sheet::Worksheet& sheet = *workbook->sheets.front();
  std::map<std::pair<uint32_t, uint32_t>, std::string> expected;
  size_t cells = in.below(kMaxCells) + 1;
  for (size_t i = 0; i < cells; ++i) {
    sheet::CellRef ref{static_cast<uint32_t>(in.below(kMaxRow)), static_cast<uint32_t>(in.below(kMaxColumn))};
    if (in.byte() & 1) {
      double value = static_cast<double>(in.int32()) / (in.byte() & 1 ? 1 : 8);
      sheet.setNumber(ref, value);
      expected[{ref.row, ref.column}] = learner_import::numberCell(value).text;
    } else {
      std::string text = cellText(in);
      sheet.setText(ref, text);
      expected[{ref.row, ref.column}] = text;
    }
  }
  std::string file, reason;
  require(sheet::buildXls(*workbook, file, reason), "the engine's writer failed");
  bool mutated = in.byte() & 1;
  while (mutated && in.remaining() >= 3) {
    size_t at = (static_cast<size_t>(in.byte()) << 8 | in.byte()) % file.size();
    file[at] = static_cast<char>(in.byte());
  }
  learner_import::ReadError error;
  auto table = learner_import::readXls(file, error, fuzzLimits());
  if (mutated) return;
  require(table != nullptr, "a file of the engine's writer refused");
  size_t found = 0;
  for (size_t r = 0; r < table->rowCount(); ++r) {
    const Table::Row& row = table->row(r);
    for (uint32_t c = 0; c < row.count; ++c) {
      std::string_view text = table->text(table->cellAt(row, c));
      if (text.empty()) continue;
      auto it = expected.find({row.number - 1, c});
      require(it != expected.end(), "a cell that was not written");
      require(text == it->second, "a cell read otherwise than written");
      ++found;
    }
  }
  require(found == expected.size(), "a written cell is missing");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  if (in.byte() & 1) {
    writtenAndRead(in);
    return 0;
  }
  std::string bytes = in.bytes(in.remaining());
  learner_import::ReadError error;
  auto table = learner_import::readXls(bytes, error, fuzzLimits());
  require((table != nullptr) != static_cast<bool>(error), "neither a table nor a reason, or both");
  return 0;
}
