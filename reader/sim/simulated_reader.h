// A simulated identity-card reader on a pseudo-terminal: it answers the
// reader protocol (frame.h) with a card given to it, or with the faults of a
// real line (no card, a wrong check byte, a frame cut short, garbage before
// the frame, silence). The tests talk to it through the real library; a
// person can point the program at it to try card reading without hardware.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "reader/card_text.h"
#include "reader/frame.h"

namespace sdt::sim {

// A card as it is written on it: UTF-8 texts, sex and nationality as codes.
struct Card {
  std::string name, sex, nation, birth, address, number, issuer, validFrom, validTo;
  Bytes photo;  // the compressed photo; padded with zeros (or cut) to 1024 bytes
};

// A made-up card holder for trying the program out.
Card sampleCard();

// The card's 256 text bytes: each field in UCS-2 little-endian, padded with
// blanks to its width. Fields that do not fit (or are not UTF-8) are named
// in `problems`, and cut (or left blank).
Bytes cardText(const Card& card, std::vector<std::string>* problems = nullptr);
// The data of the answer to "read base information".
Bytes baseInfoData(const Card& card);

enum class Mode { kGood, kNoCard, kBadCheck, kCutFrame, kGarbage, kSilent };
// The exchange a fault applies to ("no card" refuses all three).
enum class Stage { kFind, kSelect, kRead };

std::optional<Mode> modeNamed(std::string_view name);
std::optional<Stage> stageNamed(std::string_view name);

// The bytes sent before the answer in Mode::kGarbage: noise, broken and
// false preambles (one with an impossible length), then the start of the
// real preamble.
Bytes garbageBytes();

class SimulatedReader {
 public:
  // Opens the pseudo-terminal; devicePath() is empty when that failed.
  SimulatedReader();
  ~SimulatedReader();
  SimulatedReader(const SimulatedReader&) = delete;
  SimulatedReader& operator=(const SimulatedReader&) = delete;

  // The device the library opens (/dev/pts/N).
  const std::string& devicePath() const { return devicePath_; }

  void setCard(const Card& card);
  void setMode(Mode mode, Stage stage = Stage::kRead);
  // Receives one line per request: what was asked and how it was answered.
  void setLog(std::function<void(const std::string&)> log);

  // Serves on a thread of its own until stop() or destruction.
  void start();
  // Serves on the calling thread until stop().
  void serve();
  // Ends serving; safe to call from a signal handler.
  void stop();

  // The commands received so far.
  std::vector<Command> requests() const;

 private:
  void answer(const Request& request);
  void send(const Bytes& bytes);
  void log(const std::string& line);

  int master_ = -1;
  int slave_ = -1;  // held open so the terminal keeps its settings between the library's opens
  int wakeRead_ = -1, wakeWrite_ = -1;
  std::string devicePath_;
  std::thread thread_;

  mutable std::mutex lock_;
  Card card_;
  Mode mode_ = Mode::kGood;
  Stage stage_ = Stage::kRead;
  bool selected_ = false;
  std::vector<Command> requests_;
  std::function<void(const std::string&)> log_;
};

}  // namespace sdt::sim
