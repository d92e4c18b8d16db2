// The tool's end of the simulated line, opened with plain POSIX calls the way a test peer sees it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "link/frame_header.h"

namespace telvora::test {

using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

struct Reply {
  FrameHeader header;
  std::vector<std::uint8_t> payload;
};

inline FrameHeader Request(std::uint8_t command, std::uint32_t address, std::uint32_t length,
                           std::uint8_t type, std::u16string_view password = u"5807") {
  FrameHeader h = MakeRequest(command, address, length, type);
  SetPasswordBytes(h, password);
  return h;
}

class SimPort {
 public:
  explicit SimPort(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return;
    termios tio{};
    tcgetattr(fd_, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd_, TCSANOW, &tio);
  }
  ~SimPort() {
    if (fd_ >= 0) ::close(fd_);
  }
  SimPort(const SimPort&) = delete;
  SimPort& operator=(const SimPort&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }

  bool SendRaw(std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
        continue;
      }
      pollfd p{fd_, POLLOUT, 0};
      if (::poll(&p, 1, 1000) <= 0) return false;
    }
    return true;
  }
  bool Send(const FrameHeader& h, std::span<const std::uint8_t> payload = {}) {
    return SendRaw(EncodeFrame(h, payload));
  }

  // Up to `count` bytes: fewer only when the timeout passes first.
  std::vector<std::uint8_t> Read(std::size_t count, milliseconds timeout) {
    std::vector<std::uint8_t> out;
    const auto deadline = SteadyClock::now() + timeout;
    while (out.size() < count) {
      const auto left =
          std::chrono::duration_cast<milliseconds>(deadline - SteadyClock::now()).count();
      if (left < 0) break;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left) + 1) <= 0) break;
      std::uint8_t buffer[512];
      const std::size_t want = std::min(sizeof buffer, count - out.size());
      const ssize_t n = ::read(fd_, buffer, want);
      if (n > 0) out.insert(out.end(), buffer, buffer + n);
      if (!firstByteAt_ && n > 0) firstByteAt_ = SteadyClock::now();
      if (n > 0) lastByteAt_ = SteadyClock::now();
    }
    return out;
  }

  // Everything that arrives until the line has been quiet for `quiet`.
  std::vector<std::uint8_t> ReadUntilQuiet(milliseconds quiet) {
    std::vector<std::uint8_t> out;
    for (;;) {
      auto more = Read(4096, quiet);
      if (more.empty()) return out;
      out.insert(out.end(), more.begin(), more.end());
    }
  }

  // One well-formed reply frame, or nothing when it does not come or is not well formed.
  std::optional<Reply> ReadReply(milliseconds timeout = milliseconds(2000)) {
    const auto head = Read(kHeaderSectionSize, timeout);
    if (head.size() != kHeaderSectionSize || head[0] != kSyncByte ||
        head[15] != Checksum8(std::span(head).first(kHeaderFieldsSize)) || head[16] != kLineFeed) {
      return std::nullopt;
    }
    Reply r{DecodeHeaderFields(head), {}};
    if (r.header.length == 0) return r;
    auto rest = Read(r.header.length + kPayloadOverhead, timeout);
    if (rest.size() != r.header.length + kPayloadOverhead) return std::nullopt;
    r.payload.assign(rest.begin(), rest.end() - 2);
    if (rest[r.header.length] != Checksum8(r.payload) || rest.back() != kLineFeed) {
      return std::nullopt;
    }
    return r;
  }

  std::optional<Reply> Ask(const FrameHeader& h, std::span<const std::uint8_t> payload = {}) {
    if (!Send(h, payload)) return std::nullopt;
    return ReadReply();
  }

  void ResetTimes() {
    firstByteAt_.reset();
    lastByteAt_ = {};
  }
  std::optional<SteadyClock::time_point> firstByteAt() const { return firstByteAt_; }
  SteadyClock::time_point lastByteAt() const { return lastByteAt_; }

 private:
  int fd_ = -1;
  std::optional<SteadyClock::time_point> firstByteAt_;
  SteadyClock::time_point lastByteAt_{};
};

}  // namespace telvora::test
