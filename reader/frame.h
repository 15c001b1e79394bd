// Frames of the serial protocol that identity-card readers speak.
//
// A frame is the preamble AA AA AA 96 69, a big-endian length of two bytes
// that counts every byte after it (the check byte included), the payload and
// a check byte: the XOR of the two length bytes and every payload byte.
// A request's payload is command, parameter and data; an answer's payload is
// the status bytes SW1 SW2 SW3 and data.
//
// Written here by hand: no Debian library speaks this protocol.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace sdt {

using Bytes = std::vector<uint8_t>;

inline constexpr std::array<uint8_t, 5> kPreamble = {0xAA, 0xAA, 0xAA, 0x96, 0x69};
inline constexpr size_t kLengthBytes = 2;
inline constexpr size_t kCheckBytes = 1;
// The largest length a frame may announce. The longest answer of a reader
// (base information: 3 status bytes, 4 length bytes, 256 + 1024 data bytes
// and the check byte) stays far below it; a larger value is garbage.
inline constexpr size_t kMaxFrameLength = 4096;
// A payload holds at least a command and its parameter.
inline constexpr size_t kMinPayload = 2;

// Commands (command byte, parameter byte).
struct Command {
  uint8_t command;
  uint8_t parameter;
};
inline constexpr Command kFindCard{0x20, 0x01};
inline constexpr Command kSelectCard{0x20, 0x02};
inline constexpr Command kReadBaseInfo{0x30, 0x01};

// Answer status: SW1 SW2 are 00 00; SW3 tells the outcome.
inline constexpr uint8_t kStatusSuccess = 0x90;
inline constexpr uint8_t kStatusCardFound = 0x9F;

// The XOR of the length bytes and the payload.
uint8_t checkByte(std::span<const uint8_t> lengthAndPayload);
// A whole frame around a payload (at most kMaxFrameLength - 1 bytes).
Bytes frameOf(std::span<const uint8_t> payload);
Bytes requestFrame(Command command, std::span<const uint8_t> data = {});

struct Answer {
  uint8_t sw1 = 0, sw2 = 0, sw3 = 0;
  Bytes data;
};
// The answer a payload holds; nothing when it is shorter than the status.
std::optional<Answer> answerOf(std::span<const uint8_t> payload);

struct Request {
  Command command{};
  Bytes data;
};
// The request a payload holds; nothing when it is shorter than a command.
std::optional<Request> requestOf(std::span<const uint8_t> payload);

// Takes bytes as they arrive and finds frames in them. Bytes before a
// preamble are skipped; a preamble followed by an impossible length is
// skipped too, and the search goes on from its next byte. The bytes kept
// never exceed one preamble and one largest frame.
class FrameReader {
 public:
  enum class Status {
    kIncomplete,  // no whole frame yet
    kFrame,       // a frame whose check byte is right: its payload
    kBadCheck,    // a whole frame whose check byte is wrong (consumed)
  };

  void append(std::span<const uint8_t> bytes);
  // The next frame of the bytes appended so far.
  Status next(Bytes& payload);
  void clear() { buffer_.clear(); }
  size_t buffered() const { return buffer_.size(); }

 private:
  // Drops everything before the first place where a preamble starts or may
  // start (a preamble's first bytes at the very end).
  void skipToPreamble();

  Bytes buffer_;
};

}  // namespace sdt
