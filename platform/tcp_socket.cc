// POSIX sockets for the relay client and the relay server.
#include "platform/tcp_socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace telvora {

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds for poll until the deadline, rounded up so the wait never ends just before
// it; -1 waits without limit.
int PollTimeout(Clock::time_point deadline) {
  if (deadline == Clock::time_point::max()) {
    return -1;
  }
  const auto now = Clock::now();
  if (deadline <= now) {
    return 0;
  }
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
  return left > 1'000'000'000 ? 1'000'000'000 : static_cast<int>(left);
}

sockaddr_in MakeAddress(const Ipv4Address& address, std::uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  std::memcpy(&sa.sin_addr.s_addr, address.data(), 4);
  return sa;
}

// Waits until `fd` is ready for `events`, the deadline passes (0) or `wake` is set (-1).
int WaitFor(int fd, short events, Clock::time_point deadline, const WakeSignal* wake) {
  for (;;) {
    pollfd fds[2] = {{fd, events, 0}, {wake != nullptr ? wake->Handle() : -1, POLLIN, 0}};
    const int n = ::poll(fds, 2, PollTimeout(deadline));
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      return 1;  // let the caller's own call report what is wrong
    }
    if (fds[1].revents != 0) {
      return -1;
    }
    if (fds[0].revents != 0) {
      return 1;
    }
    if (Clock::now() >= deadline) {
      return 0;
    }
  }
}

}  // namespace

std::optional<Ipv4Address> LookupIpv4(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
    return std::nullopt;
  }
  std::optional<Ipv4Address> result;
  for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
    if (a->ai_family != AF_INET || a->ai_addr == nullptr) {
      continue;
    }
    sockaddr_in sa{};
    std::memcpy(&sa, a->ai_addr, sizeof sa);
    Ipv4Address address{};
    std::memcpy(address.data(), &sa.sin_addr.s_addr, 4);
    result = address;
    break;
  }
  ::freeaddrinfo(found);
  return result;
}

std::string FormatIpv4(const Ipv4Address& a) {
  return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." +
         std::to_string(a[3]);
}

WakeSignal::WakeSignal() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

WakeSignal::~WakeSignal() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

void WakeSignal::Wake() {
  const std::uint64_t one = 1;
  if (fd_ >= 0) {
    (void)!::write(fd_, &one, sizeof one);
  }
}

bool WakeSignal::IsSet() const {
  if (fd_ < 0) {
    return false;
  }
  pollfd p{fd_, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0;
}

TcpSocket::~TcpSocket() {
  Close();
}

TcpSocket::TcpSocket(TcpSocket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

bool TcpSocket::Create() {
  Close();
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  return fd_ >= 0;
}

bool TcpSocket::Connect(const Ipv4Address& address, std::uint16_t port) {
  if (fd_ < 0) {
    return false;
  }
  const sockaddr_in sa = MakeAddress(address, port);
  if (::connect(fd_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0) {
    return true;
  }
  if (errno != EINTR) {
    return false;
  }
  // An interrupted connect goes on by itself; its outcome is read once it is writable.
  if (WaitFor(fd_, POLLOUT, Clock::time_point::max(), nullptr) != 1) {
    return false;
  }
  int error = 0;
  socklen_t size = sizeof error;
  return ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

bool TcpSocket::SendAll(std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      return false;
    }
  }
  return true;
}

ReceiveStatus TcpSocket::Receive(std::uint8_t* buffer, std::size_t max, std::size_t& got,
                                 Deadline deadline, const WakeSignal* wake) {
  got = 0;
  if (fd_ < 0) {
    return ReceiveStatus::kError;
  }
  for (;;) {
    const int ready = WaitFor(fd_, POLLIN, deadline, wake);
    if (ready <= 0) {
      return ReceiveStatus::kTimeout;
    }
    const ssize_t n = ::recv(fd_, buffer, max, MSG_DONTWAIT);
    if (n > 0) {
      got = static_cast<std::size_t>(n);
      return ReceiveStatus::kData;
    }
    if (n == 0) {
      return ReceiveStatus::kClosed;
    }
    if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) {
      continue;
    }
    return ReceiveStatus::kError;
  }
}

void TcpSocket::ShutdownSend() {
  if (fd_ >= 0) {
    ::shutdown(fd_, SHUT_WR);
  }
}

void TcpSocket::Close() {
  if (fd_ >= 0) {
    ::close(std::exchange(fd_, -1));
  }
}

TcpListener::~TcpListener() {
  Close();
}

bool TcpListener::Listen(const std::string& address, std::uint16_t port, std::string* error) {
  Close();
  auto fail = [&](const std::string& what) {
    if (error != nullptr) {
      *error = what;
    }
    Close();
    return false;
  };
  const std::optional<Ipv4Address> ip = LookupIpv4(address);
  if (!ip) {
    return fail("the address " + address + " is not an IPv4 address or known host");
  }
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd_ < 0) {
    return fail(std::string("no socket: ") + std::strerror(errno));
  }
  const int on = 1;
  ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in sa = MakeAddress(*ip, port);
  if (::bind(fd_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
    return fail("cannot bind " + FormatIpv4(*ip) + ":" + std::to_string(port) + ": " +
                std::strerror(errno));
  }
  if (::listen(fd_, 16) != 0) {
    return fail(std::string("cannot listen: ") + std::strerror(errno));
  }
  socklen_t size = sizeof sa;
  if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &size) != 0) {
    return fail(std::string("no bound address: ") + std::strerror(errno));
  }
  port_ = ntohs(sa.sin_port);
  return true;
}

std::optional<TcpSocket> TcpListener::Accept(Deadline deadline, const WakeSignal* wake) {
  while (fd_ >= 0) {
    if (WaitFor(fd_, POLLIN, deadline, wake) <= 0) {
      return std::nullopt;
    }
    const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) {
      return TcpSocket(fd);
    }
    // A connection that was reset before it was taken is simply gone; wait for the next.
    if (errno != EINTR && errno != ECONNABORTED && errno != EAGAIN && errno != EPROTO) {
      return std::nullopt;
    }
  }
  return std::nullopt;
}

void TcpListener::Close() {
  if (fd_ >= 0) {
    ::close(std::exchange(fd_, -1));
  }
}

}  // namespace telvora
