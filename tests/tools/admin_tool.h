// Running the built admin tool from the database tests.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace dbtest {

struct ToolRun {
  int status;
  std::string output;
};

// Runs jiaxiao-admin with the arguments (already quoted for the shell);
// standard output and error together.
// `runner` goes before the tool (a command that runs it as another user).
inline ToolRun runTool(const std::string& arguments, const std::string& runner = "") {
  std::string command = runner + std::string(JX_ADMIN_TOOL) + " " + arguments + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  std::string output;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

inline std::string quoted(const std::filesystem::path& path) {
  std::string text = "'";
  return text.append(path.string()).append("'");
}

}  // namespace dbtest
