// IPv4 TCP behind a small seam: host lookup, blocking connect, send, receive with a deadline.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace telvora {

using Ipv4Address = std::array<std::uint8_t, 4>;

// The first IPv4 address of a host name or dotted address, as the system's resolver gives
// it; nothing when the name is not found. The name is passed on unchanged, empty included.
std::optional<Ipv4Address> LookupIpv4(const std::string& host);
std::string FormatIpv4(const Ipv4Address& address);

enum class ReceiveStatus {
  kData,     // at least one byte arrived
  kClosed,   // the peer has closed its side: no more bytes will come
  kTimeout,  // the deadline passed with nothing to take
  kError,    // the connection reports an error
};

// A flag that ends the waits of sockets from another thread (or a signal handler): once
// set, it stays set.
class WakeSignal {
 public:
  WakeSignal();
  ~WakeSignal();
  WakeSignal(const WakeSignal&) = delete;
  WakeSignal& operator=(const WakeSignal&) = delete;

  // Async-signal-safe.
  void Wake();
  bool IsSet() const;
  // For poll only; -1 when the system gave no descriptor.
  int Handle() const { return fd_; }

 private:
  int fd_ = -1;
};

// One stream socket; closes itself when destroyed. Not shared between threads.
class TcpSocket {
 public:
  using Deadline = std::chrono::steady_clock::time_point;

  TcpSocket() = default;
  // Takes over a connected descriptor (from TcpListener::Accept).
  explicit TcpSocket(int fd) : fd_(fd) {}
  ~TcpSocket();
  TcpSocket(TcpSocket&& other) noexcept;
  TcpSocket& operator=(TcpSocket&& other) noexcept;
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  // A fresh IPv4 stream socket; any previous one is closed first.
  bool Create();
  // Blocks until connected or refused, with the system's own connect time-out.
  bool Connect(const Ipv4Address& address, std::uint16_t port);
  // Every byte, or false when the connection fails first. Never raises SIGPIPE.
  bool SendAll(std::span<const std::uint8_t> bytes);
  // Blocks until bytes arrive, the peer closes, an error shows, the deadline passes or
  // `wake` is set (then kTimeout).
  ReceiveStatus Receive(std::uint8_t* buffer, std::size_t max, std::size_t& got, Deadline deadline,
                        const WakeSignal* wake = nullptr);
  // Stops sending; the peer sees the end of the stream while we can still read.
  void ShutdownSend();
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  int Handle() const { return fd_; }

 private:
  int fd_ = -1;
};

// A listening IPv4 socket.
class TcpListener {
 public:
  using Deadline = std::chrono::steady_clock::time_point;

  TcpListener() = default;
  ~TcpListener();
  TcpListener(const TcpListener&) = delete;
  TcpListener& operator=(const TcpListener&) = delete;

  // Binds to a dotted address (or a name that resolves) and `port` (0: any free one).
  bool Listen(const std::string& address, std::uint16_t port, std::string* error = nullptr);
  // The bound port, valid after Listen.
  std::uint16_t Port() const { return port_; }
  // Blocks until a connection comes, the deadline passes or `wake` is set.
  std::optional<TcpSocket> Accept(Deadline deadline = Deadline::max(),
                                  const WakeSignal* wake = nullptr);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
  std::uint16_t port_ = 0;
};

}  // namespace telvora
