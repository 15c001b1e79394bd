#include "backup/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

extern char** environ;

namespace backup {
namespace {

constexpr size_t kKeptErrorText = 4096;
constexpr int kPollMs = 100;
constexpr size_t kPipeReadChunk = 1 << 16;

struct Pipe {
  int read = -1, write = -1;
  bool open() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return false;
    read = ends[0];
    write = ends[1];
    return true;
  }
  ~Pipe() {
    if (read >= 0) close(read);
    if (write >= 0) close(write);
  }
  void closeWrite() {
    if (write >= 0) close(write);
    write = -1;
  }
};

std::vector<std::string> mergedEnvironment(const std::vector<std::string>& extra) {
  std::map<std::string, std::string> entries;
  auto add = [&](std::string_view entry) {
    size_t equals = entry.find('=');
    if (equals != std::string_view::npos) entries[std::string(entry.substr(0, equals))] = std::string(entry);
  };
  for (char** entry = environ; entry && *entry; ++entry) add(*entry);
  for (const std::string& entry : extra) add(entry);
  std::vector<std::string> merged;
  for (auto& [name, entry] : entries) merged.push_back(std::move(entry));
  return merged;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

void keepEnd(std::string& kept, const char* bytes, size_t count) {
  kept.append(bytes, count);
  if (kept.size() > kKeptErrorText) kept.erase(0, kept.size() - kKeptErrorText);
}

// Reads what the child writes until both pipes are closed, or stops it.
bool drain(pid_t child, int outputFd, int errorFd, const ChildOutput& output, const Control& control,
           std::string& errorText) {
  std::vector<char> buffer(kPipeReadChunk);
  bool stopped = false;
  while (outputFd >= 0 || errorFd >= 0) {
    if (!stopped && control.cancelled()) {
      kill(child, SIGTERM);
      stopped = true;
    }
    pollfd fds[2];
    int count = 0;
    if (outputFd >= 0) fds[count++] = {outputFd, POLLIN, 0};
    if (errorFd >= 0) fds[count++] = {errorFd, POLLIN, 0};
    int ready = poll(fds, static_cast<nfds_t>(count), kPollMs);
    if (ready < 0 && errno != EINTR) break;
    for (int i = 0; i < count && ready > 0; ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      ssize_t n = read(fds[i].fd, buffer.data(), buffer.size());
      if (n < 0 && errno == EINTR) continue;
      bool isOutput = fds[i].fd == outputFd;
      if (n <= 0) {
        (isOutput ? outputFd : errorFd) = -1;
        continue;
      }
      if (!isOutput) {
        keepEnd(errorText, buffer.data(), static_cast<size_t>(n));
      } else if (!stopped && !output.consume(std::string_view(buffer.data(), static_cast<size_t>(n)))) {
        kill(child, SIGTERM);
        stopped = true;
      }
    }
  }
  return stopped;
}

std::string trimmedText(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace

ChildResult runChild(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                     const ChildOutput& output, const Control& control) {
  ChildResult result;
  Pipe errors, standardOutput;
  int outputFile = -1;
  const bool discard = output.file.empty() && !output.consume;
  bool pipesOpen = errors.open() && (!output.file.empty() || discard || standardOutput.open());
  if (!pipesOpen) {
    result.errorText = "cannot start " + arguments[0] + ": " + systemText(errno);
    return result;
  }
  if (!output.file.empty()) {
    outputFile = open(output.file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (outputFile < 0) {
      result.errorText = "cannot write " + output.file.string() + ": " + systemText(errno);
      return result;
    }
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (discard)
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  else
    posix_spawn_file_actions_adddup2(&actions, outputFile >= 0 ? outputFile : standardOutput.write, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errors.write, STDERR_FILENO);
  std::vector<std::string> argumentTexts = arguments;
  std::vector<std::string> environmentTexts = mergedEnvironment(environment);
  std::vector<char*> argv = pointersTo(argumentTexts);
  std::vector<char*> envp = pointersTo(environmentTexts);
  pid_t child = -1;
  int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (outputFile >= 0) close(outputFile);
  errors.closeWrite();
  standardOutput.closeWrite();
  if (spawned != 0) {
    result.errorText = "cannot start " + arguments[0] + ": " + systemText(spawned);
    return result;
  }
  result.started = true;
  result.cancelled = drain(child, standardOutput.read, errors.read, output, control, result.errorText);
  result.cancelled = result.cancelled && control.cancelled();
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {}
  result.succeeded = !result.cancelled && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  result.errorText = trimmedText(std::move(result.errorText));
  if (!result.succeeded && result.errorText.empty())
    result.errorText = arguments[0] + (WIFSIGNALED(status) ? " was stopped" : " failed");
  return result;
}

}  // namespace backup
