// Frames of the reader protocol: their bytes, and finding them in a stream
// that arrives in pieces, with noise, false starts and damaged frames.
#include "reader/frame.h"

#include <gtest/gtest.h>

#include "reader/sim/simulated_reader.h"

namespace {

using sdt::Bytes;
using sdt::FrameReader;

std::span<const uint8_t> view(const Bytes& bytes) { return bytes; }

TEST(FrameTest, RequestsCarryLengthAndCheckOverLengthThroughData) {
  EXPECT_EQ(sdt::requestFrame(sdt::kFindCard), (Bytes{0xAA, 0xAA, 0xAA, 0x96, 0x69, 0x00, 0x03, 0x20, 0x01, 0x22}));
  EXPECT_EQ(sdt::requestFrame(sdt::kSelectCard), (Bytes{0xAA, 0xAA, 0xAA, 0x96, 0x69, 0x00, 0x03, 0x20, 0x02, 0x21}));
  EXPECT_EQ(sdt::requestFrame(sdt::kReadBaseInfo), (Bytes{0xAA, 0xAA, 0xAA, 0x96, 0x69, 0x00, 0x03, 0x30, 0x01, 0x32}));
  // A long answer: the length's high byte counts, and enters the check.
  Bytes payload(0x1FF, 0x00);
  payload[2] = 0x90;
  Bytes frame = sdt::frameOf(payload);
  ASSERT_EQ(frame.size(), 5u + 2 + 0x1FF + 1);
  EXPECT_EQ(frame[5], 0x02);
  EXPECT_EQ(frame[6], 0x00);
  EXPECT_EQ(frame.back(), 0x02 ^ 0x00 ^ 0x90);
}

TEST(FrameTest, FrameArrivingByteByByteIsFoundOnceWhole) {
  Bytes payload = {0x00, 0x00, 0x9F, 0x01, 0x02, 0x03, 0x04};
  Bytes frame = sdt::frameOf(payload);
  FrameReader reader;
  Bytes found;
  for (size_t i = 0; i + 1 < frame.size(); ++i) {
    reader.append(std::span<const uint8_t>(&frame[i], 1));
    ASSERT_EQ(reader.next(found), FrameReader::Status::kIncomplete) << "after byte " << i;
  }
  reader.append(std::span<const uint8_t>(&frame.back(), 1));
  ASSERT_EQ(reader.next(found), FrameReader::Status::kFrame);
  EXPECT_EQ(found, payload);
  EXPECT_EQ(reader.next(found), FrameReader::Status::kIncomplete);
  EXPECT_EQ(reader.buffered(), 0u);
}

TEST(FrameTest, NoiseFalsePreamblesAndImpossibleLengthsAreSkipped) {
  Bytes payload = {0x00, 0x00, 0x90, 0x11, 0x22};
  Bytes stream = sdt::sim::garbageBytes();
  // A preamble whose length is too short to hold a command, too.
  for (uint8_t b : {0xAA, 0xAA, 0xAA, 0x96, 0x69, 0x00, 0x01}) stream.push_back(b);
  Bytes frame = sdt::frameOf(payload);
  stream.insert(stream.end(), frame.begin(), frame.end());
  // Every split of the stream into two pieces gives the same frame.
  for (size_t split = 0; split <= stream.size(); ++split) {
    FrameReader reader;
    Bytes found;
    reader.append(view(stream).subspan(0, split));
    FrameReader::Status first = reader.next(found);
    reader.append(view(stream).subspan(split));
    if (first != FrameReader::Status::kFrame) { ASSERT_EQ(reader.next(found), FrameReader::Status::kFrame) << split; }
    EXPECT_EQ(found, payload) << split;
  }
}

TEST(FrameTest, DamagedFrameIsReportedAndTheNextOneStillFound) {
  Bytes first = sdt::frameOf(Bytes{0x00, 0x00, 0x90, 0x01});
  first.back() ^= 0x01;
  Bytes second = sdt::frameOf(Bytes{0x00, 0x00, 0x9F});
  Bytes stream = first;
  stream.insert(stream.end(), second.begin(), second.end());
  FrameReader reader;
  reader.append(stream);
  Bytes found;
  EXPECT_EQ(reader.next(found), FrameReader::Status::kBadCheck);
  ASSERT_EQ(reader.next(found), FrameReader::Status::kFrame);
  EXPECT_EQ(found, (Bytes{0x00, 0x00, 0x9F}));
}

TEST(FrameTest, EndlessNoiseKeepsOnlyAPossiblePreambleStart) {
  FrameReader reader;
  Bytes noise(10'000);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 37 % 251);
  noise.insert(noise.end(), {0xAA, 0xAA, 0xAA});
  Bytes found;
  reader.append(noise);
  EXPECT_EQ(reader.next(found), FrameReader::Status::kIncomplete);
  EXPECT_EQ(reader.buffered(), 3u);  // AA AA AA may begin a preamble
  reader.append(Bytes{0x96, 0x69, 0x00, 0x04, 0x00, 0x00, 0x90, 0x04 ^ 0x90});
  ASSERT_EQ(reader.next(found), FrameReader::Status::kFrame);
  EXPECT_EQ(found, (Bytes{0x00, 0x00, 0x90}));
}

}  // namespace
