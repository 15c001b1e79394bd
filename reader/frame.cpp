#include "reader/frame.h"

#include <algorithm>

namespace sdt {

uint8_t checkByte(std::span<const uint8_t> lengthAndPayload) {
  uint8_t check = 0;
  for (uint8_t b : lengthAndPayload) check ^= b;
  return check;
}

Bytes frameOf(std::span<const uint8_t> payload) {
  size_t length = payload.size() + kCheckBytes;
  Bytes frame(kPreamble.begin(), kPreamble.end());
  frame.push_back(static_cast<uint8_t>(length >> 8));
  frame.push_back(static_cast<uint8_t>(length & 0xFF));
  frame.insert(frame.end(), payload.begin(), payload.end());
  frame.push_back(checkByte(std::span<const uint8_t>(frame).subspan(kPreamble.size())));
  return frame;
}

Bytes requestFrame(Command command, std::span<const uint8_t> data) {
  Bytes payload = {command.command, command.parameter};
  payload.insert(payload.end(), data.begin(), data.end());
  return frameOf(payload);
}

std::optional<Answer> answerOf(std::span<const uint8_t> payload) {
  constexpr size_t kStatusBytes = 3;
  if (payload.size() < kStatusBytes) return std::nullopt;
  return Answer{payload[0], payload[1], payload[2], Bytes(payload.begin() + kStatusBytes, payload.end())};
}

std::optional<Request> requestOf(std::span<const uint8_t> payload) {
  if (payload.size() < kMinPayload) return std::nullopt;
  return Request{{payload[0], payload[1]}, Bytes(payload.begin() + kMinPayload, payload.end())};
}

void FrameReader::append(std::span<const uint8_t> bytes) {
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
  skipToPreamble();
}

void FrameReader::skipToPreamble() {
  auto at = std::search(buffer_.begin(), buffer_.end(), kPreamble.begin(), kPreamble.end());
  if (at == buffer_.end()) {
    // Keep a tail that may be the beginning of a preamble still arriving.
    size_t keep = std::min(buffer_.size(), kPreamble.size() - 1);
    while (keep > 0 && !std::equal(buffer_.end() - static_cast<ptrdiff_t>(keep), buffer_.end(), kPreamble.begin()))
      --keep;
    at = buffer_.end() - static_cast<ptrdiff_t>(keep);
  }
  buffer_.erase(buffer_.begin(), at);
}

FrameReader::Status FrameReader::next(Bytes& payload) {
  constexpr size_t kHeader = kPreamble.size() + kLengthBytes;
  for (;;) {
    skipToPreamble();
    if (buffer_.size() < kHeader) return Status::kIncomplete;
    size_t length = (size_t{buffer_[kPreamble.size()]} << 8) | buffer_[kPreamble.size() + 1];
    if (length < kMinPayload + kCheckBytes || length > kMaxFrameLength) {
      buffer_.erase(buffer_.begin());  // not a frame: look again from the next byte
      continue;
    }
    if (buffer_.size() < kHeader + length) return Status::kIncomplete;
    auto lengthAndPayload = std::span<const uint8_t>(buffer_).subspan(kPreamble.size(), kLengthBytes + length - 1);
    bool checked = checkByte(lengthAndPayload) == buffer_[kHeader + length - 1];
    if (checked)
      payload.assign(buffer_.begin() + kHeader, buffer_.begin() + static_cast<ptrdiff_t>(kHeader + length - 1));
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<ptrdiff_t>(kHeader + length));
    return checked ? Status::kFrame : Status::kBadCheck;
  }
}

}  // namespace sdt
