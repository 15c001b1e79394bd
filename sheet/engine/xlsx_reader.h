// Reading an .xlsx workbook: cells (shared and inline strings, numbers,
// booleans, errors, the cached results of formulas), the cell formats (number
// formats, fonts, fills, borders, alignment), column widths, row heights,
// merged cells, page setup and margins, and print areas. Parts the engine
// does not model stay in the package bytes the workbook keeps, so a save
// writes them back unchanged.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "sheet/engine/read_limits.h"
#include "sheet/engine/workbook.h"
#include "sheet/engine/zip_package.h"

namespace sheet {

// Null, with the failure and a reason in `error`, when the bytes are not a
// workbook package, a part is malformed, or the workbook is larger than the
// limits admit (read_limits.h). Sheets and shared strings are read as they
// inflate; merged ranges that overlap one before them are dropped, as the
// spreadsheet programs drop them; a row given twice makes the file malformed.
std::unique_ptr<Workbook> readXlsx(std::string bytes, ReadError* error = nullptr, const ReadLimits& limits = {});
// A cell of a row as readXlsxRows hands it over. Blank cells are not.
struct RowCell {
  uint32_t column = 0;
  CellKind kind = CellKind::kBlank;  // kText, kError, kNumber or kBool (1 or 0)
  uint32_t format = 0;               // index into the workbook's formats
  double number = 0;
  std::string_view text;  // UTF-8, for kText and kError; valid during the call
};
// Gets each row (0-based) and its cells in column order, with the workbook
// as read so far (its settings and styles; not yet its sheets); false stops
// the reading.
using RowSink = std::function<bool(const Workbook& workbook, uint32_t row, std::span<const RowCell> cells)>;

// Reads the workbook as readXlsx does, except that the cells of its first
// worksheet go to `sink` row by row, in the file's order, and are not kept:
// for a caller that copies the cells anyway (the learner import), the sheet's
// model is never built. Later sheets are listed without their cells; the
// bytes are not kept in the workbook (and must outlive the call). A row given
// twice or out of order is the sink's to judge. Null as readXlsx, and also
// when the sink stopped the reading (with no failure in `error`).
std::unique_ptr<Workbook> readXlsxRows(std::string_view bytes, const RowSink& sink, ReadError* error = nullptr,
                                       const ReadLimits& limits = {});
// The same for a file (UTF-8 path): a missing or unreadable file, or a pipe
// or device in its place, fails as kUnreadable.
std::unique_ptr<Workbook> readXlsxFile(const std::string& path, ReadError* error = nullptr,
                                       const ReadLimits& limits = {});

}  // namespace sheet
