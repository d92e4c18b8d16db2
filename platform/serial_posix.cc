// POSIX termios implementation of the serial device.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "platform/serial_port.h"

namespace telvora {

namespace {

speed_t SpeedFor(int baud) {
  switch (baud) {
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    default:
      return B19200;
  }
}

// Holding RTS and DTR off keeps adapters that wire them to the unit's reset quiet.
// A pseudo-terminal has no modem lines, so a refusal here is not an error.
void DropModemLines(int fd) {
  int lines = TIOCM_RTS | TIOCM_DTR;
  (void)ioctl(fd, TIOCMBIC, &lines);
}

}  // namespace

SerialDevice::~SerialDevice() {
  Close();
}

SerialOpenResult SerialDevice::Open(const std::string& path, int baud) {
  Close();
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return SerialOpenResult::kCannotOpen;
  // Another program using the port must not see our bytes, nor we theirs.
  if (ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY && errno != EINVAL) {
    ::close(fd);
    return SerialOpenResult::kCannotOpen;
  }
  {
    std::lock_guard lock(mutex_);
    fd_ = fd;
    path_ = path;
  }
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) return SerialOpenResult::kGetSettings;
  cfmakeraw(&tio);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  cfsetispeed(&tio, SpeedFor(baud));
  cfsetospeed(&tio, SpeedFor(baud));
  if (tcsetattr(fd, TCSANOW, &tio) != 0) return SerialOpenResult::kSetSettings;
  DropModemLines(fd);
  if (tcgetattr(fd, &tio) != 0) return SerialOpenResult::kGetTimeouts;
  // Reads return what is there and never wait.
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (tcsetattr(fd, TCSANOW, &tio) != 0) return SerialOpenResult::kSetTimeouts;
  // Bytes that arrived before this open belong to nobody's request.
  (void)tcflush(fd, TCIOFLUSH);
  return SerialOpenResult::kOk;
}

void SerialDevice::Close() {
  std::lock_guard lock(mutex_);
  if (fd_ < 0) return;
  // The unit takes a break on the line as the end of a session.
  (void)tcsendbreak(fd_, 0);
  ::close(fd_);
  fd_ = -1;
}

bool SerialDevice::IsOpen() const {
  std::lock_guard lock(mutex_);
  return fd_ >= 0;
}

bool SerialDevice::Write(std::span<const std::uint8_t> bytes) {
  using Clock = std::chrono::steady_clock;
  // Far longer than the line needs for a frame; only a wedged driver reaches it.
  const auto deadline = Clock::now() + std::chrono::seconds(5) +
                        std::chrono::milliseconds(static_cast<long>(bytes.size()));
  std::size_t done = 0;
  while (done < bytes.size()) {
    int fd;
    {
      std::lock_guard lock(mutex_);
      fd = fd_;
      if (fd < 0) return false;
      const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd p{fd, POLLOUT, 0};
    if (::poll(&p, 1, static_cast<int>(left)) < 0 && errno != EINTR) return false;
  }
  std::lock_guard lock(mutex_);
  if (fd_ < 0) return false;
  return tcdrain(fd_) == 0 || errno == ENOTTY || errno == EINVAL;
}

SerialRead SerialDevice::ReadAvailable(std::uint8_t* buffer, std::size_t max, std::size_t& got) {
  got = 0;
  std::lock_guard lock(mutex_);
  if (fd_ < 0) return SerialRead::kFailed;
  const ssize_t n = ::read(fd_, buffer, max);
  if (n > 0) {
    got = static_cast<std::size_t>(n);
    return SerialRead::kData;
  }
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return SerialRead::kNothing;
  return SerialRead::kFailed;
}

int SerialDevice::BytesWaiting() const {
  std::lock_guard lock(mutex_);
  if (fd_ < 0) return -1;
  int n = 0;
  if (ioctl(fd_, FIONREAD, &n) != 0) return -1;
  return n;
}

int SerialDevice::PollHandle() const {
  std::lock_guard lock(mutex_);
  return fd_;
}

}  // namespace telvora
