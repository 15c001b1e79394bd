// jiaxiao-reader-sim: a simulated identity-card reader on a pseudo-terminal.
// Prints the terminal's path on the first line of its output, then answers
// the reader protocol until interrupted. See reader/README.md.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "reader/sim/card_file.h"
#include "reader/sim/simulated_reader.h"

namespace {

using namespace sdt::sim;

constexpr const char* kUsage =
    "Usage: jiaxiao-reader-sim [options]\n"
    "  --card FILE        the card from a description file (key = value lines)\n"
    "  --name TEXT --sex CODE --nation CODE --birth YYYYMMDD --address TEXT --number TEXT\n"
    "  --issuer TEXT --valid_from YYYYMMDD --valid_to YYYYMMDD --photo FILE\n"
    "                     single fields (after --card, over it); unset fields are a sample card's\n"
    "  --mode MODE        good (default), no-card, bad-check, cut-frame, garbage, silent\n"
    "  --on STAGE         the exchange a fault applies to: find, select, read (default)\n"
    "  --link PATH        also make PATH a symbolic link to the terminal (removed at exit)\n"
    "  --quiet            do not log the requests on standard error\n";

SimulatedReader* running = nullptr;

void onSignal(int) {
  if (running) running->stop();
}

struct Options {
  Card card = sampleCard();
  Mode mode = Mode::kGood;
  Stage stage = Stage::kRead;
  std::string link;
  bool quiet = false;
};

bool fail(const std::string& message) {
  std::cerr << "jiaxiao-reader-sim: " << message << "\n";
  return false;
}

bool parse(int argc, char** argv, Options& options) {
  std::string error;
  for (int i = 1; i < argc; ++i) {
    std::string_view option = argv[i];
    if (option == "--quiet") {
      options.quiet = true;
      continue;
    }
    if (option.substr(0, 2) != "--" || i + 1 >= argc) return fail("unexpected argument " + std::string(option));
    std::string value = argv[++i];
    std::string_view key = option.substr(2);
    if (key == "card") {
      if (!readCardFile(value, options.card, error)) return fail(error);
    } else if (key == "mode") {
      auto mode = modeNamed(value);
      if (!mode) return fail("unknown mode " + value);
      options.mode = *mode;
    } else if (key == "on") {
      auto stage = stageNamed(value);
      if (!stage) return fail("unknown stage " + value);
      options.stage = *stage;
    } else if (key == "link") {
      options.link = value;
    } else if (!setCardField(options.card, key, value, std::filesystem::current_path(), error)) {
      return fail(error);
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::cout << kUsage;
    return 0;
  }
  if (!parse(argc, argv, options)) {
    std::cerr << kUsage;
    return 2;
  }
  std::vector<std::string> problems;
  cardText(options.card, &problems);
  for (const std::string& problem : problems) std::cerr << "jiaxiao-reader-sim: warning: " << problem << "\n";

  SimulatedReader reader;
  if (reader.devicePath().empty()) {
    std::perror("jiaxiao-reader-sim: cannot open a pseudo-terminal");
    return 1;
  }
  reader.setCard(options.card);
  reader.setMode(options.mode, options.stage);
  if (!options.quiet) reader.setLog([](const std::string& line) { std::cerr << line << std::endl; });
  if (!options.link.empty()) {
    std::error_code ignored;
    if (std::filesystem::is_symlink(options.link, ignored)) std::filesystem::remove(options.link, ignored);
    if (symlink(reader.devicePath().c_str(), options.link.c_str()) != 0) {
      std::perror(("jiaxiao-reader-sim: cannot make the link " + options.link).c_str());
      return 1;
    }
  }
  std::cout << reader.devicePath() << std::endl;

  running = &reader;
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  reader.serve();
  running = nullptr;
  if (!options.link.empty()) unlink(options.link.c_str());
  return 0;
}
