#include "reader/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace sdt {

namespace {

constexpr speed_t kBaudRate = B115200;
constexpr size_t kReadChunk = 512;

int millisecondsUntil(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<decltype(left)>(left, 0, 60'000));
}

// 8 data bits, no parity, one stop bit, no flow control, raw bytes.
bool configureLine(int fd) {
  termios line{};
  if (tcgetattr(fd, &line) != 0) return false;
  cfmakeraw(&line);
  line.c_cflag &= ~(PARENB | CSTOPB | CSIZE | CRTSCTS);
  line.c_cflag |= CS8 | CLOCAL | CREAD;
  line.c_iflag &= ~(IXON | IXOFF | IXANY);
  line.c_cc[VMIN] = 0;
  line.c_cc[VTIME] = 0;
  if (cfsetispeed(&line, kBaudRate) != 0 || cfsetospeed(&line, kBaudRate) != 0) return false;
  return tcsetattr(fd, TCSANOW, &line) == 0;
}

}  // namespace

bool SerialPort::open(const std::string& devicePath) {
  close();
  int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  // Exclusive: no further open of the terminal (TIOCEXCL), and no other
  // process that locks serial devices the usual way (flock).
  if (!isatty(fd) || flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
    ::close(fd);
    return false;
  }
  if (!configureLine(fd)) {
    ioctl(fd, TIOCNXCL);
    ::close(fd);
    return false;
  }
  tcflush(fd, TCIOFLUSH);
  fd_ = fd;
  reader_.clear();
  return true;
}

void SerialPort::close() {
  if (fd_ < 0) return;
  // A pseudo-terminal outlives this close while its other side holds it;
  // the next open must not find it still exclusive.
  ioctl(fd_, TIOCNXCL);
  ::close(fd_);
  fd_ = -1;
}

Outcome SerialPort::exchange(Command command, Clock::time_point deadline, Answer& answer) {
  if (fd_ < 0) return Outcome::kNoPort;
  tcflush(fd_, TCIFLUSH);
  reader_.clear();
  if (Outcome sent = send(requestFrame(command), deadline); sent != Outcome::kDone) return sent;
  return receive(deadline, answer);
}

Outcome SerialPort::send(const Bytes& frame, Clock::time_point deadline) {
  size_t written = 0;
  while (written < frame.size()) {
    ssize_t n = ::write(fd_, frame.data() + written, frame.size() - written);
    if (n > 0) {
      written += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return Outcome::kDeviceFailed;
    pollfd wait{fd_, POLLOUT, 0};
    int ready = poll(&wait, 1, millisecondsUntil(deadline));
    if (ready == 0) return Outcome::kTimeout;
    if (ready < 0 && errno != EINTR) return Outcome::kDeviceFailed;
    if (wait.revents & (POLLERR | POLLHUP | POLLNVAL)) return Outcome::kDeviceFailed;
  }
  return Outcome::kDone;
}

Outcome SerialPort::receive(Clock::time_point deadline, Answer& answer) {
  uint8_t chunk[kReadChunk];
  Bytes payload;
  for (;;) {
    switch (reader_.next(payload)) {
      case FrameReader::Status::kFrame: {
        std::optional<Answer> parsed = answerOf(payload);
        if (!parsed) return Outcome::kBadFrame;
        answer = std::move(*parsed);
        return Outcome::kDone;
      }
      case FrameReader::Status::kBadCheck: return Outcome::kBadFrame;
      case FrameReader::Status::kIncomplete: break;
    }
    if (Clock::now() >= deadline) return Outcome::kTimeout;
    pollfd wait{fd_, POLLIN, 0};
    int ready = poll(&wait, 1, std::max(1, millisecondsUntil(deadline)));
    if (ready < 0 && errno != EINTR) return Outcome::kDeviceFailed;
    if (ready <= 0) continue;
    if (wait.revents & POLLIN) {
      ssize_t n = ::read(fd_, chunk, sizeof chunk);
      if (n > 0) {
        reader_.append(std::span<const uint8_t>(chunk, static_cast<size_t>(n)));
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) return Outcome::kDeviceFailed;
      if (n == 0 && (wait.revents & POLLHUP)) return Outcome::kDeviceFailed;
      continue;
    }
    if (wait.revents & (POLLERR | POLLHUP | POLLNVAL)) return Outcome::kDeviceFailed;
  }
}

}  // namespace sdt
