#include "import/xls_reader.h"

#include <freexl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "import/cell_text.h"
#include "import/xls_dimensions.h"

namespace learner_import {
namespace {

constexpr unsigned short kFirstSheet = 0;

struct WorkbookCloser {
  void operator()(const void* handle) const { freexl_close(handle); }
};
using WorkbookHandle = std::unique_ptr<const void, WorkbookCloser>;

ReadError failure(ReadFailure why, const std::string& detail) { return {why, 0, 0, detail}; }

// A file in memory holding the bytes, closed when the object goes.
class MemoryFile {
 public:
  explicit MemoryFile(std::string_view bytes) : fd_(::memfd_create("jx-import-xls", MFD_CLOEXEC)) {
    for (size_t done = 0; fd_ >= 0 && done < bytes.size();) {
      ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) {
        ::close(fd_);
        fd_ = -1;
        break;
      }
      done += static_cast<size_t>(n);
    }
  }
  ~MemoryFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;
  bool ok() const { return fd_ >= 0; }
  std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }

 private:
  int fd_;
};

CellValue valueOf(const FreeXL_CellValue& cell) {
  switch (cell.type) {
    case FREEXL_CELL_INT: return numberCell(cell.value.int_value);
    case FREEXL_CELL_DOUBLE: return numberCell(cell.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_TIME: return {cell.value.text_value ? cell.value.text_value : "", CellKind::kText};
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME: return isoDateCell(cell.value.text_value ? cell.value.text_value : "");
    default: return {};
  }
}

}  // namespace

std::unique_ptr<Table> readXls(std::string_view bytes, ReadError& error, const TableLimits& limits) {
  std::optional<uint64_t> declared = declaredXlsCells(bytes);
  if (!declared) {
    error = failure(ReadFailure::kNotReadable, "not a compound file with a workbook stream");
    return nullptr;
  }
  if (*declared > limits.maxCells) {
    error = failure(ReadFailure::kTooLarge, "the sheets declare " + std::to_string(*declared) + " cells");
    return nullptr;
  }
  MemoryFile file(bytes);
  if (!file.ok()) {
    error = failure(ReadFailure::kCannotOpen, "no file in memory");
    return nullptr;
  }
  const void* raw = nullptr;
  int status = freexl_open(file.path().c_str(), &raw);
  WorkbookHandle workbook(raw);  // closed even when the open failed, as the library asks
  if (status != FREEXL_OK) {
    error = failure(status == FREEXL_INSUFFICIENT_MEMORY ? ReadFailure::kTooLarge : ReadFailure::kNotReadable,
                    "freexl_open: " + std::to_string(status));
    return nullptr;
  }
  unsigned int info = 0;
  if (freexl_get_info(raw, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK && info == FREEXL_BIFF_OBFUSCATED) {
    error = failure(ReadFailure::kProtected, "the workbook is encrypted");
    return nullptr;
  }
  if (freexl_get_info(raw, FREEXL_BIFF_SHEET_COUNT, &info) != FREEXL_OK || info == 0) {
    error = failure(ReadFailure::kNoWorksheet, "no worksheet");
    return nullptr;
  }
  unsigned int rows = 0;
  unsigned short columns = 0;
  if (freexl_select_active_worksheet(raw, kFirstSheet) != FREEXL_OK ||
      freexl_worksheet_dimensions(raw, &rows, &columns) != FREEXL_OK) {
    error = failure(ReadFailure::kNotReadable, "the first worksheet cannot be read");
    return nullptr;
  }
  auto table = std::make_unique<Table>(limits);
  for (unsigned int row = 0; row < rows; ++row) {
    table->startRow(row + 1);
    for (unsigned short column = 0; column < columns; ++column) {
      FreeXL_CellValue cell;
      if (freexl_get_cell_value(raw, row, column, &cell) != FREEXL_OK) continue;
      CellValue value = valueOf(cell);
      if (value.text.empty()) continue;
      if ((error = table->addCell(column, value.text, value.kind))) return nullptr;
    }
    table->finishRow();
  }
  return table;
}

}  // namespace learner_import
