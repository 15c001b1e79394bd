// Running a client program of the database server (pg_dump, pg_restore) as
// a child process: arguments passed directly (no shell), extra environment
// entries, its standard output into a file or handed over in pieces, its
// standard error kept for the report, stopped when the work is cancelled.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "backup/files.h"

namespace backup {

struct ChildOutput {
  // Standard output goes into this file (made new, private) when given...
  std::filesystem::path file;
  // ...or, piece by piece, to this function (which may answer false to stop
  // the child); with neither it is thrown away.
  std::function<bool(std::string_view)> consume;
};

struct ChildResult {
  bool started = false;
  bool succeeded = false;  // started, and ended by itself with status 0
  bool cancelled = false;
  std::string errorText;  // the end of its standard error, or why it did not start
};

// `arguments[0]` is looked up on PATH. `environment` entries "NAME=value"
// replace or add to the process's own.
ChildResult runChild(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                     const ChildOutput& output, const Control& control);

}  // namespace backup
