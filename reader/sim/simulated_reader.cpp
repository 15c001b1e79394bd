#include "reader/sim/simulated_reader.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>

#include "base/iconv_converter.h"

namespace sdt::sim {

namespace {

constexpr uint8_t kStatusNoCard = 0x80;
constexpr uint8_t kStatusSelectFailed = 0x81;
constexpr uint8_t kStatusReadFailed = 0x41;
constexpr uint8_t kStatusUnknownCommand = 0x21;
constexpr uint8_t kBlankLow = 0x20, kBlankHigh = 0x00;
// A serial line hands the answer over in pieces; so does the simulator.
constexpr size_t kPieceBytes = 128;
constexpr auto kPiecePause = std::chrono::milliseconds(1);
constexpr size_t kReadChunk = 256;

bool sameCommand(Command a, Command b) { return a.command == b.command && a.parameter == b.parameter; }

void putField(Bytes& text, CardField field, const std::string& utf8, const char* name,
              std::vector<std::string>* problems) {
  FieldPlace place = placeOf(field);
  std::optional<std::string> ucs2 = base::Converter("UTF-16LE", "UTF-8").convert(utf8);
  if (!ucs2) {
    if (problems) problems->push_back(std::string(name) + ": not UTF-8 text");
    ucs2 = std::string();
  }
  if (ucs2->size() > place.bytes) {
    if (problems)
      problems->push_back(std::string(name) + ": longer than " + std::to_string(place.bytes / 2) + " characters");
    ucs2->resize(place.bytes);
  }
  for (size_t i = 0; i < place.bytes; i += 2) {
    bool filled = i < ucs2->size();
    text[place.offset + i] = filled ? static_cast<uint8_t>((*ucs2)[i]) : kBlankLow;
    text[place.offset + i + 1] = filled ? static_cast<uint8_t>((*ucs2)[i + 1]) : kBlankHigh;
  }
}

Bytes answerPayload(uint8_t status, const Bytes& data = {}) {
  Bytes payload(3 + data.size());
  payload[2] = status;  // SW1 and SW2 stay 00 00
  std::copy(data.begin(), data.end(), payload.begin() + 3);
  return payload;
}

std::string commandName(Command command) {
  if (sameCommand(command, kFindCard)) return "find card";
  if (sameCommand(command, kSelectCard)) return "select card";
  if (sameCommand(command, kReadBaseInfo)) return "read base information";
  char text[32];
  std::snprintf(text, sizeof text, "command %02X %02X", command.command, command.parameter);
  return text;
}

void makeRaw(int fd) {
  termios line{};
  if (tcgetattr(fd, &line) != 0) return;
  cfmakeraw(&line);
  tcsetattr(fd, TCSANOW, &line);
}

}  // namespace

Card sampleCard() {
  Card card{
      "张三",     "1",        "01", "19900307", "北京市东城区景山前街4号", "110101199003071234", "北京市公安局东城分局",
      "20150101", "20350101", {}};
  for (size_t i = 0; i < kPhotoBytes; ++i) card.photo.push_back(static_cast<uint8_t>(i * 7 % 251));
  return card;
}

Bytes cardText(const Card& card, std::vector<std::string>* problems) {
  Bytes text(kTextBytes);
  for (size_t i = 0; i < kTextBytes; i += 2) {
    text[i] = kBlankLow;
    text[i + 1] = kBlankHigh;
  }
  putField(text, CardField::kName, card.name, "name", problems);
  putField(text, CardField::kSex, card.sex, "sex", problems);
  putField(text, CardField::kNation, card.nation, "nation", problems);
  putField(text, CardField::kBirth, card.birth, "birth", problems);
  putField(text, CardField::kAddress, card.address, "address", problems);
  putField(text, CardField::kNumber, card.number, "number", problems);
  putField(text, CardField::kIssuer, card.issuer, "issuer", problems);
  putField(text, CardField::kValidFrom, card.validFrom, "valid_from", problems);
  putField(text, CardField::kValidTo, card.validTo, "valid_to", problems);
  return text;
}

Bytes baseInfoData(const Card& card) {
  Bytes data = {static_cast<uint8_t>(kTextBytes >> 8), static_cast<uint8_t>(kTextBytes & 0xFF),
                static_cast<uint8_t>(kPhotoBytes >> 8), static_cast<uint8_t>(kPhotoBytes & 0xFF)};
  Bytes text = cardText(card);
  data.insert(data.end(), text.begin(), text.end());
  Bytes photo = card.photo;
  photo.resize(kPhotoBytes);
  data.insert(data.end(), photo.begin(), photo.end());
  return data;
}

std::optional<Mode> modeNamed(std::string_view name) {
  if (name == "good") return Mode::kGood;
  if (name == "no-card") return Mode::kNoCard;
  if (name == "bad-check") return Mode::kBadCheck;
  if (name == "cut-frame") return Mode::kCutFrame;
  if (name == "garbage") return Mode::kGarbage;
  if (name == "silent") return Mode::kSilent;
  return std::nullopt;
}

std::optional<Stage> stageNamed(std::string_view name) {
  if (name == "find") return Stage::kFind;
  if (name == "select") return Stage::kSelect;
  if (name == "read") return Stage::kRead;
  return std::nullopt;
}

Bytes garbageBytes() {
  return {0x00, 0x13, 0xAA, 0x55,                    // noise
          0xAA, 0xAA, 0xAA, 0x96, 0x00,              // a broken preamble
          0xAA, 0xAA, 0xAA, 0x96, 0x69, 0xFF, 0xFF,  // a false preamble with an impossible length
          0x69, 0xAA};                               // more noise, then the real preamble's first byte
}

SimulatedReader::SimulatedReader() : card_(sampleCard()) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  char name[128];
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0)
    return;
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) return;
  makeRaw(slave_);
  int wake[2];
  if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) return;
  wakeRead_ = wake[0];
  wakeWrite_ = wake[1];
  devicePath_ = name;
}

SimulatedReader::~SimulatedReader() {
  stop();
  if (thread_.joinable()) thread_.join();
  for (int fd : {master_, slave_, wakeRead_, wakeWrite_})
    if (fd >= 0) ::close(fd);
}

void SimulatedReader::setCard(const Card& card) {
  std::lock_guard hold(lock_);
  card_ = card;
}

void SimulatedReader::setMode(Mode mode, Stage stage) {
  std::lock_guard hold(lock_);
  mode_ = mode;
  stage_ = stage;
}

void SimulatedReader::setLog(std::function<void(const std::string&)> log) {
  std::lock_guard hold(lock_);
  log_ = std::move(log);
}

std::vector<Command> SimulatedReader::requests() const {
  std::lock_guard hold(lock_);
  return requests_;
}

void SimulatedReader::start() {
  if (!thread_.joinable()) thread_ = std::thread([this] { serve(); });
}

void SimulatedReader::stop() {
  if (wakeWrite_ < 0) return;
  char wake = 1;
  [[maybe_unused]] ssize_t ignored = ::write(wakeWrite_, &wake, 1);
}

void SimulatedReader::serve() {
  if (devicePath_.empty()) return;
  FrameReader frames;
  uint8_t chunk[kReadChunk];
  Bytes payload;
  for (;;) {
    pollfd waits[] = {{master_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    if (poll(waits, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (waits[1].revents) return;
    if (!(waits[0].revents & POLLIN)) continue;
    ssize_t n = ::read(master_, chunk, sizeof chunk);
    if (n <= 0) continue;
    frames.append(std::span<const uint8_t>(chunk, static_cast<size_t>(n)));
    for (;;) {
      FrameReader::Status status = frames.next(payload);
      if (status == FrameReader::Status::kIncomplete) break;
      if (status == FrameReader::Status::kBadCheck) continue;  // a reader ignores a damaged request
      if (std::optional<Request> request = requestOf(payload)) answer(*request);
    }
  }
}

void SimulatedReader::answer(const Request& request) {
  Mode fault = Mode::kGood;
  Bytes payload;
  {
    std::lock_guard hold(lock_);
    requests_.push_back(request.command);
    bool noCard = mode_ == Mode::kNoCard;
    std::optional<Stage> stage;
    if (sameCommand(request.command, kFindCard)) {
      stage = Stage::kFind;
      payload = noCard ? answerPayload(kStatusNoCard) : answerPayload(kStatusCardFound, Bytes(4, 0x00));
    } else if (sameCommand(request.command, kSelectCard)) {
      stage = Stage::kSelect;
      selected_ = !noCard;
      payload = noCard ? answerPayload(kStatusSelectFailed) : answerPayload(kStatusSuccess, Bytes(8, 0x00));
    } else if (sameCommand(request.command, kReadBaseInfo)) {
      stage = Stage::kRead;
      payload =
          selected_ && !noCard ? answerPayload(kStatusSuccess, baseInfoData(card_)) : answerPayload(kStatusReadFailed);
      selected_ = false;  // the next read needs the card found and selected again
    } else {
      payload = answerPayload(kStatusUnknownCommand);
    }
    if (!noCard && stage == stage_) fault = mode_;
  }
  Bytes frame = frameOf(payload);
  switch (fault) {
    case Mode::kGood:
    case Mode::kNoCard: send(frame); break;
    case Mode::kBadCheck:
      frame.back() ^= 0x5A;
      send(frame);
      break;
    case Mode::kCutFrame:
      frame.resize(frame.size() / 2);
      send(frame);
      break;
    case Mode::kGarbage: {
      // Byte by byte: GCC 12 warns falsely on a range insert here when it
      // inlines across the program at link time.
      Bytes noisy = garbageBytes();
      for (unsigned char byte : frame) noisy.push_back(byte);
      send(noisy);
      break;
    }
    case Mode::kSilent: break;
  }
  char status[8];
  std::snprintf(status, sizeof status, "%02X", payload[2]);
  log(commandName(request.command) + ": status " + status + (fault == Mode::kGood ? "" : " (fault applied)"));
}

void SimulatedReader::send(const Bytes& bytes) {
  for (size_t at = 0; at < bytes.size();) {
    size_t piece = std::min(kPieceBytes, bytes.size() - at);
    ssize_t n = ::write(master_, bytes.data() + at, piece);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;
    }
    at += static_cast<size_t>(n);
    std::this_thread::sleep_for(kPiecePause);
  }
}

void SimulatedReader::log(const std::string& line) {
  std::function<void(const std::string&)> log;
  {
    std::lock_guard hold(lock_);
    log = log_;
  }
  if (log) log(line);
}

}  // namespace sdt::sim
