// A loopback TCP peer that plays a relay server by script, written with plain POSIX calls so
// that it shares nothing with the socket layer it tests.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace telvora::test {

// What the server does with one connection once it has read the request.
struct Reply {
  std::vector<std::string> pieces;   // sent one after another, then the connection is closed
  std::chrono::milliseconds gap{0};  // between pieces
  bool never = false;                // answer nothing and wait until the client closes

  static Reply Body(std::string body) { return Reply{{std::move(body)}, {}, false}; }
  static Reply Pieces(std::vector<std::string> pieces, std::chrono::milliseconds gap) {
    return Reply{std::move(pieces), gap, false};
  }
  static Reply Never() { return Reply{{}, {}, true}; }
};

class ScriptedServer {
 public:
  // Replies are used in order; once they run out every request gets `fallback`.
  explicit ScriptedServer(Reply fallback = Reply::Body("200\n")) : fallback_(std::move(fallback)) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sa.sin_port = 0;
    socklen_t size = sizeof sa;
    // Without a port the tests that use it fail on their first connection.
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 && ::listen(fd_, 8) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &size) == 0) {
      port_ = ntohs(sa.sin_port);
    }
    ::pipe2(stopPipe_, O_CLOEXEC);
    thread_ = std::thread([this] { Run(); });
  }
  ~ScriptedServer() {
    const char x = 1;
    (void)!::write(stopPipe_[1], &x, 1);
    thread_.join();
    ::close(fd_);
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
  }
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  std::uint16_t port() const { return port_; }

  void Queue(Reply reply) {
    std::lock_guard lock(mutex_);
    script_.push_back(std::move(reply));
  }

  // Every request read so far, byte for byte, in order.
  std::vector<std::string> Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  int Connections() const { return connections_.load(); }
  // Connections of Reply::Never that the client has closed.
  int ClosedByClient() const { return closedByClient_.load(); }

  // Blocks until `count` connections have been finished with, or the timeout passes.
  bool WaitFinished(int count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return finished_ >= count; });
  }

 private:
  // Waits for `fd` to be readable; false when the server is stopping.
  bool WaitReadable(int fd) const {
    pollfd fds[2] = {{fd, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    for (;;) {
      if (::poll(fds, 2, -1) < 0) {
        continue;
      }
      if (fds[1].revents != 0) {
        return false;
      }
      if (fds[0].revents != 0) {
        return true;
      }
    }
  }

  void Run() {
    while (WaitReadable(fd_)) {
      const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) {
        continue;
      }
      ++connections_;
      Serve(client);
      ::close(client);
      {
        std::lock_guard lock(mutex_);
        ++finished_;
      }
      changed_.notify_all();
    }
  }

  void Serve(int client) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
      if (!WaitReadable(client)) {
        return;
      }
      const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
      if (n <= 0) {
        break;
      }
      request.append(buffer, static_cast<std::size_t>(n));
    }
    Reply reply;
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
      if (script_.empty()) {
        reply = fallback_;
      } else {
        reply = std::move(script_.front());
        script_.pop_front();
      }
    }
    if (reply.never) {
      // Hold the connection until the client gives up on it.
      while (WaitReadable(client)) {
        if (::recv(client, buffer, sizeof buffer, 0) <= 0) {
          ++closedByClient_;
          return;
        }
      }
      return;
    }
    for (std::size_t i = 0; i < reply.pieces.size(); ++i) {
      if (i > 0) {
        std::this_thread::sleep_for(reply.gap);
      }
      const std::string& p = reply.pieces[i];
      (void)::send(client, p.data(), p.size(), MSG_NOSIGNAL);
    }
  }

  Reply fallback_;
  int fd_ = -1;
  int stopPipe_[2] = {-1, -1};
  std::uint16_t port_ = 0;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::deque<Reply> script_;
  std::vector<std::string> requests_;
  int finished_ = 0;
  std::atomic<int> connections_{0};
  std::atomic<int> closedByClient_{0};
  std::thread thread_;
};

// The 6-bit text of a byte string, written out here independently of the client's encoder.
inline std::string SixBit(const std::vector<std::uint8_t>& part) {
  std::vector<std::uint8_t> b = part;
  while (b.size() % 3 != 0) {
    b.push_back(0);
  }
  std::string out;
  for (std::size_t i = 0; i < b.size(); i += 3) {
    const std::uint32_t v = (b[i] << 16) | (b[i + 1] << 8) | b[i + 2];
    for (const int shift : {18, 12, 6, 0}) {
      out.push_back(static_cast<char>(0x41 + ((v >> shift) & 63)));
    }
  }
  return out;
}

// The bytes of a 6-bit text (its length a multiple of four).
inline std::vector<std::uint8_t> FromSixBit(const std::string& text) {
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i + 4 <= text.size(); i += 4) {
    std::uint32_t v = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      v = (v << 6) | ((static_cast<std::uint8_t>(text[i + k]) - 0x41U) & 63U);
    }
    out.push_back(static_cast<std::uint8_t>(v >> 16));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
  }
  return out;
}

}  // namespace telvora::test
