// The reader's serial line: opening the device exclusively in the reader's
// line settings, and one request/answer exchange bounded in time.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "reader/frame.h"

namespace sdt {

using Clock = std::chrono::steady_clock;

// The outcome of an exchange; the values are the library's results.
enum class Outcome : int32_t {
  kDone = 1,
  kNoPort = -1,
  kTimeout = -2,
  kBadFrame = -3,
  kRefused = -4,
  kDeviceFailed = -5,
};

class SerialPort {
 public:
  SerialPort() = default;
  ~SerialPort() { close(); }
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Opens the device at 115200 baud, 8N1, raw, for this process alone;
  // false when it cannot be opened, configured or claimed.
  bool open(const std::string& devicePath);
  void close();
  bool isOpen() const { return fd_ >= 0; }

  // Sends a request and waits, at most until `deadline`, for its answer.
  // Bytes left over from earlier exchanges are dropped first; bytes before
  // the answer's preamble are skipped.
  Outcome exchange(Command command, Clock::time_point deadline, Answer& answer);

 private:
  Outcome send(const Bytes& frame, Clock::time_point deadline);
  Outcome receive(Clock::time_point deadline, Answer& answer);

  int fd_ = -1;
  FrameReader reader_;
};

}  // namespace sdt
