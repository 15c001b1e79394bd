// The reader library's frame reader and base-information decoding on
// arbitrary bytes from the line, arriving in arbitrary pieces.
//
// Every frame found must stand in the input as it would be sent, the bytes
// kept must stay bounded, and the card's texts, whatever they hold, must fit
// the program's buffers (heap blocks of exactly n + 1 bytes) when cut.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "reader/card_text.h"
#include "reader/frame.h"

namespace {

constexpr size_t kCapacities[] = {31, 3, 10, 9, 19, 71, 31, 9, 9};
constexpr size_t kMostKept = sdt::kPreamble.size() + sdt::kLengthBytes + sdt::kMaxFrameLength;

// Feeds the stream in pieces of varying size; returns the payloads found.
std::vector<sdt::Bytes> readFrames(std::span<const uint8_t> stream, uint8_t piece) {
  sdt::FrameReader reader;
  sdt::Bytes payload;
  std::vector<sdt::Bytes> found;
  size_t at = 0;
  while (at < stream.size()) {
    size_t length = std::min<size_t>(stream.size() - at, piece % 64 + 1);
    reader.append(stream.subspan(at, length));
    at += length;
    piece = static_cast<uint8_t>(piece * 31 + 7);
    for (;;) {
      sdt::FrameReader::Status status = reader.next(payload);
      if (status == sdt::FrameReader::Status::kIncomplete) break;
      if (status != sdt::FrameReader::Status::kFrame) continue;
      if (payload.size() + 1 > sdt::kMaxFrameLength) std::abort();
      // A frame found stands in the stream exactly as it is sent.
      sdt::Bytes frame = sdt::frameOf(payload);
      if (std::search(stream.begin(), stream.end(), frame.begin(), frame.end()) == stream.end()) std::abort();
      if (auto answer = sdt::answerOf(payload)) (void)sdt::baseInfoOf(answer->data);
      found.push_back(payload);
    }
    if (reader.buffered() > kMostKept) std::abort();
  }
  return found;
}

// A line built from the input: frames (whole, damaged, or a bare preamble
// with what follows) and noise between them. Random bytes alone seldom hold
// a preamble, so the input chooses the pieces instead.
struct Line {
  sdt::Bytes stream;
  std::vector<sdt::Bytes> sentPayloads;
  bool onlyWholeFrames = true;
};

Line lineOf(std::span<const uint8_t> input) {
  Line line;
  size_t at = 0;
  while (at + 2 <= input.size()) {
    uint8_t kind = input[at] % 4;
    size_t length = std::min<size_t>(input[at + 1] * size_t{8} % 1400, input.size() - at - 2);
    std::span<const uint8_t> bytes = input.subspan(at + 2, length);
    at += 2 + length;
    if (kind == 0 || bytes.size() + 1 < sdt::kMinPayload + 1) {  // noise
      line.stream.insert(line.stream.end(), bytes.begin(), bytes.end());
      line.onlyWholeFrames = line.onlyWholeFrames && bytes.empty();
      continue;
    }
    sdt::Bytes frame = sdt::frameOf(bytes);
    if (kind == 2) frame.back() ^= 0xA5;
    if (kind == 3) frame.resize(sdt::kPreamble.size() + bytes.size() % 8);
    if (kind == 1) line.sentPayloads.emplace_back(bytes.begin(), bytes.end());
    line.onlyWholeFrames = line.onlyWholeFrames && kind == 1;
    line.stream.insert(line.stream.end(), frame.begin(), frame.end());
  }
  return line;
}

void checkFrames(std::span<const uint8_t> input) {
  uint8_t piece = input.empty() ? 1 : input[0];
  readFrames(input, piece);
  Line line = lineOf(input);
  std::vector<sdt::Bytes> found = readFrames(line.stream, piece);
  // Frames sent back to back arrive all, in order, whatever their pieces.
  if (line.onlyWholeFrames && found != line.sentPayloads) std::abort();
}

void checkTexts(std::span<const uint8_t> input) {
  sdt::Bytes data = {0x01, 0x00, 0x04, 0x00};
  data.insert(data.end(), input.begin(), input.begin() + std::min(input.size(), sdt::kTextBytes + sdt::kPhotoBytes));
  data.resize(sdt::kBaseInfoBytes, 0x20);
  std::optional<sdt::BaseInfo> info = sdt::baseInfoOf(data);
  if (!info) std::abort();
  const sdt::CardTexts& t = info->texts;
  const std::string* texts[] = {&t.name,    &t.sex,    &t.nation,    &t.birth,  &t.number,
                                &t.address, &t.issuer, &t.validFrom, &t.validTo};
  for (size_t i = 0; i < std::size(kCapacities); ++i) {
    auto buffer = std::make_unique<char[]>(kCapacities[i] + 1);
    sdt::writeCut(buffer.get(), kCapacities[i], *texts[i]);
    std::string written(buffer.get());
    if (written.size() > kCapacities[i] || texts[i]->compare(0, written.size(), written) != 0) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> input(data, size);
  checkFrames(input);
  checkTexts(input);
  return 0;
}
