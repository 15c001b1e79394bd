#include "import/read_table.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/gb18030.h"
#include "import/csv_reader.h"
#include "import/xls_reader.h"
#include "import/xlsx_table.h"

namespace learner_import {
namespace {

struct Descriptor {
  explicit Descriptor(int fd) : fd(fd) {}
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int fd;
};

// An extension in any case (ASCII letters are folded, other bytes compared as they are).
bool endsWithNoCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && base::gbk::equalIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

bool readAll(int fd, size_t size, std::string& bytes) {
  bytes.resize(size);
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::read(fd, bytes.data() + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  // A file that grew meanwhile is read as it was when measured.
  return true;
}

std::string rowAndColumn(const ReadError& error) {
  std::string where = "第 " + std::to_string(error.row) + " 行";
  if (error.column > 0) where += "第 " + std::to_string(error.column) + " 列";
  return where;
}

}  // namespace

FileType fileTypeOf(std::string_view path) {
  if (endsWithNoCase(path, ".xlsx")) return FileType::kXlsx;
  if (endsWithNoCase(path, ".xls")) return FileType::kXls;
  if (endsWithNoCase(path, ".csv")) return FileType::kCsv;
  return FileType::kUnknown;
}

std::unique_ptr<Table> readTableFile(const std::string& path, ReadError& error, const TableLimits& limits) {
  FileType type = fileTypeOf(path);
  if (type == FileType::kUnknown) {
    error = {ReadFailure::kUnsupportedType, 0, 0, "not .xlsx, .xls or .csv"};
    return nullptr;
  }
  // Non-blocking, so that a named pipe planted under the name cannot hold the open.
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  struct stat status {};
  if (file.fd < 0 || ::fstat(file.fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    error = {ReadFailure::kCannotOpen, 0, 0, "not a readable regular file"};
    return nullptr;
  }
  if (static_cast<uint64_t>(status.st_size) > kMaxFileBytes) {
    error = {ReadFailure::kTooLarge, 0, 0, "the file is larger than the import reads"};
    return nullptr;
  }
  std::string bytes;
  if (!readAll(file.fd, static_cast<size_t>(status.st_size), bytes)) {
    error = {ReadFailure::kCannotOpen, 0, 0, "the file cannot be read"};
    return nullptr;
  }
  if (type == FileType::kCsv) return readCsv(bytes, error, limits);
  if (type == FileType::kXls) return readXls(bytes, error, limits);
  return readXlsxTable(std::move(bytes), error, limits);
}

std::string failureMessage(const ReadError& error) {
  switch (error.failure) {
    case ReadFailure::kNone: return {};
    case ReadFailure::kCannotOpen: return "无法读取这个文件。";
    case ReadFailure::kUnsupportedType: return "只能导入 .xlsx、.xls 或 .csv 文件。";
    case ReadFailure::kTooLarge: return "文件太大，或解压后超出了可以读取的大小。";
    case ReadFailure::kNotReadable:
      return error.row > 0 ? "文件" + rowAndColumn(error) + "的格式有误（引号不成对），无法读取。"
                           : "文件已损坏或不是这种格式的表格，无法读取。";
    case ReadFailure::kProtected: return "表格设有密码，请先取消密码再导入。";
    case ReadFailure::kNoWorksheet: return "表格中没有工作表。";
    case ReadFailure::kUnknownEncoding: return "无法识别文件的编码，请另存为 UTF-8 或 GB18030 编码的 CSV 文件。";
    case ReadFailure::kCellTooLong: return "文件" + rowAndColumn(error) + "的单元格超过 32767 个字符，无法导入。";
    case ReadFailure::kTooManyCells: return "文件中的单元格太多，超出了一次可以导入的数量。";
    case ReadFailure::kTooManyColumns: return "文件" + rowAndColumn(error) + "超出了表格的最后一列。";
  }
  return {};
}

}  // namespace learner_import
