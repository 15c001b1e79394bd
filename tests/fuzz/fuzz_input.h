// Cutting a fuzzer's input into the arguments of a call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace fuzz {

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  uint8_t byte() { return size_ ? (--size_, *data_++) : 0; }
  int32_t int32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | byte();
    return static_cast<int32_t>(v);
  }
  // A small int most of the time, any int sometimes: edge values get tried.
  int32_t position() {
    uint8_t choice = byte();
    if (choice < 200) return static_cast<int32_t>(choice % 40) - 5;
    return int32();
  }
  size_t remaining() const { return size_; }
  bool empty() const { return size_ == 0; }
  // A number below `bound` (0 when the bound is 0).
  size_t below(size_t bound) {
    if (bound == 0) return 0;
    return bound <= 256 ? byte() % bound : static_cast<uint32_t>(int32()) % bound;
  }
  // The next `count` bytes (fewer at the end), any values.
  std::string bytes(size_t count) {
    if (count > size_) count = size_;
    std::string out(reinterpret_cast<const char*>(data_), count);
    data_ += count;
    size_ -= count;
    return out;
  }
  // Bytes of a length the input gives (below `maxLength`), without NULs:
  // a runtime text ends at its first NUL.
  std::string runtimeText(size_t maxLength) {
    std::string out = bytes(below(maxLength));
    std::erase(out, '\0');
    return out;
  }
  // A NUL-free text up to the next 0xFF byte (or the end).
  std::string text() {
    std::string out;
    while (size_ && *data_ != 0xFF) {
      if (*data_) out += static_cast<char>(*data_);
      ++data_;
      --size_;
    }
    if (size_) byte();
    return out;
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

}  // namespace fuzz
