// Starting programs, handing documents to the desktop, and waiting while
// events keep running.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "runtime/commands/arguments.h"
#include "runtime/commands/core_commands.h"
#include "runtime/desktop.h"
#include "runtime/encoding.h"
#include "runtime/screen.h"

extern char** environ;

namespace rt::commands {
namespace {

// Show commands handed to the desktop.
constexpr int32_t kShowHidden = 0;
constexpr int32_t kShowNormal = 1;
constexpr int32_t kShowMinimized = 2;
constexpr int32_t kShowMaximized = 3;
constexpr int32_t kShowMinimize = 6;
constexpr int32_t kShowCurrentNoActivate = 8;

// Show styles 1..6 of ShellOpen mapped to show commands.
constexpr int32_t kShellShowOfStyle[] = {
    kShowHidden, kShowNormal, kShowMinimized, kShowMaximized, kShowCurrentNoActivate, kShowMinimize};
constexpr int32_t kDefaultStyle = 2;
constexpr int32_t kFirstStyle = 1;
constexpr int32_t kLastStyle = 6;

constexpr const char* kShellVerbs[] = {"edit", "explore", "find", "open", "print"};

constexpr auto kDelayNap = std::chrono::milliseconds(2);

// A child started without waiting is reaped by a thread of its own, so it
// never stays a zombie, and the process-wide SIGCHLD disposition is left
// alone for everyone else who waits for children of their own.
void reapInBackground(pid_t pid) {
  try {
    std::thread([pid] {
      int status;
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    }).detach();
  } catch (const std::system_error&) {
    // No thread to spare: the child is reaped when the process ends.
  }
}

bool waitFor(pid_t pid) {
  int status;
  pid_t r;
  do r = waitpid(pid, &status, 0);
  while (r < 0 && errno == EINTR);
  return r == pid;
}

// Starts the program with the caller's environment and current directory. The
// child keeps only standard input, output and error, with default signal
// handling and no blocked signals. glibc's posix_spawnp returns only after
// the child has executed the program (or failed to, which it reports), so a
// started program is running when this returns.
bool spawn(const std::vector<std::string>& words, pid_t& pid) {
  std::vector<std::string> native;
  native.reserve(words.size());
  for (const std::string& w : words) native.push_back(gbToUtf8(w));
  std::vector<char*> argv;
  for (std::string& w : native) argv.push_back(w.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  posix_spawnattr_init(&attributes);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGCHLD);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  int rc = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0;
}

}  // namespace

// The show style (1..6 after clamping) has no meaning for a program started on
// this desktop: programs decide about their own windows.
void RunProgram(TypedValue* result, int32_t count, TypedValue* args) {
  setBool(result, false);
  bool wait = boolArgument(count, args, 1, false);
  std::vector<std::string> words;
  if (!splitCommandLine(textArgument(count, args, 0), words) || words.empty()) return;
  pid_t pid = 0;
  if (!spawn(words, pid)) return;
  if (wait)
    waitFor(pid);
  else
    reapInBackground(pid);
  setBool(result, true);
}

void ShellOpen(TypedValue*, int32_t count, TypedValue* args) {
  int32_t operation = intArgument(count, args, 0, 0);
  const char* verb =
      operation >= 1 && operation <= static_cast<int32_t>(std::size(kShellVerbs)) ? kShellVerbs[operation - 1] : "";
  int32_t show = kShowNormal;
  if (count > 4) {
    int32_t style = intArgument(count, args, 4, kDefaultStyle);
    if (style >= kFirstStyle && style <= kLastStyle) show = kShellShowOfStyle[style - kFirstStyle];
  }
  if (!hasDesktop()) return;
  desktop().shellExecute(verb, std::string(textArgument(count, args, 1)), std::string(textArgument(count, args, 2)),
                         std::string(textArgument(count, args, 3)), show);
}

void Delay(TypedValue*, int32_t count, TypedValue* args) {
  int32_t ms = intArgument(count, args, 0, 0);
  if (ms <= 0) return;
  const uint64_t start = tickCount();
  const uint64_t until = start + static_cast<uint64_t>(ms);
  for (;;) {
    processPendingEvents();
    processPendingEvents();
    uint64_t now = tickCount();
    if (now >= until) break;
    std::this_thread::sleep_for(std::min<std::chrono::milliseconds>(kDelayNap, std::chrono::milliseconds(until - now)));
  }
  processPendingEvents();
  processPendingEvents();
}

}  // namespace rt::commands
